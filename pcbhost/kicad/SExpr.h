// Lossless reader and editor for KiCad's s-expression files (.kicad_pcb, .kicad_sch, .kicad_sym,
// library tables).
//
// A Document owns the file's bytes unchanged and a tree of nodes that point into them. Edits are
// recorded as splices on those bytes, so rendering a document writes every untouched byte back as it
// was read: indentation, line endings, number spellings and quoting survive a save.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pcbhost::sexpr {

namespace detail {
struct Item;
struct Tree;
// The parts of a tree that the inline accessors below read. A tree is never changed once read.
struct TreeHead {
    const Item* itemData = nullptr;
    const std::uint32_t* childData = nullptr;
    const char* byteData = nullptr;
};
[[noreturn]] void nullNode();
} // namespace detail

// A file that cannot be read, or content that a higher layer rejects, at a known place.
// what() reads "file:line:column: message", the form editors and terminals turn into links.
class ParseError : public std::runtime_error {
public:
    ParseError(std::string file, std::uint32_t line, std::uint32_t column, std::string message);

    const std::string& file() const { return file_; }
    std::uint32_t line() const { return line_; }
    std::uint32_t column() const { return column_; }
    // The message without the location prefix.
    const std::string& message() const { return message_; }

private:
    std::string file_;
    std::uint32_t line_;
    std::uint32_t column_;
    std::string message_;
};

// Something odd that the reader accepted and read on past, at a known place.
struct ParseWarning {
    std::string file;
    std::uint32_t line = 0;
    std::uint32_t column = 0;
    std::string message;
    // "file:line:column: message"
    std::string text() const;
};

// "file:line:column: message"; line and column are 1-based, the column counts bytes.
std::string formatLocated(std::string_view file, std::uint32_t line, std::uint32_t column,
                          std::string_view message);

// One element of the tree: a list `( ... )` or an atom (bare or quoted). A Node is a small handle
// into its Document's tree; it stays valid as long as a Document sharing that tree is alive.
// A default-constructed Node is null, which the lookup functions return for "not found".
class Node {
public:
    enum class Kind : std::uint8_t { List, BareAtom, QuotedAtom };

    Node() = default;

    explicit operator bool() const { return tree_ != nullptr; }
    bool operator==(const Node& other) const = default;

    Kind kind() const;
    bool isList() const { return kind() == Kind::List; }
    bool isAtom() const { return kind() != Kind::List; }
    bool isQuoted() const { return kind() == Kind::QuotedAtom; }
    // A list that the file wrote without its '(': `filter_ratio 0.9)`.
    bool unopened() const;

    // Source bytes [begin, end): for a list from its '(' through its ')', for a quoted atom including
    // both quotes. A list that the file wrote without its '(' (see Document::parse) starts at its
    // keyword.
    std::uint32_t begin() const;
    std::uint32_t end() const;
    // Offsets of a list's parentheses.
    std::uint32_t openParen() const { return begin(); }
    std::uint32_t closeParen() const { return end() - 1; }
    // 1-based position of begin(); the column counts bytes.
    std::uint32_t line() const;
    std::uint32_t column() const;
    // The raw source text of the node, quotes and escapes included.
    std::string_view text() const;

    // An atom's value: the decoded text of a quoted atom, the text of a bare atom. Throws a located
    // ParseError on a list.
    std::string_view value() const;
    // The atom parsed as a number or integer; throws a located ParseError when the text is not one.
    double asDouble() const;
    std::int64_t asInt() const;

    Node parent() const;
    // Position among the parent's elements (0 for the keyword); 0 for the root.
    std::size_t indexInParent() const;

    // Elements of a list (none for an atom). Element 0 is the keyword.
    std::size_t size() const;
    Node operator[](std::size_t index) const; // null when out of range
    class Children;
    Children children() const;

    // The first element when it is a bare atom, else empty: `pad` for `(pad "1" smd ...)`.
    std::string_view keyword() const;
    bool is(std::string_view keyword) const { return isList() && this->keyword() == keyword; }
    // The first / every child list with the given keyword.
    Node find(std::string_view keyword) const;
    std::vector<Node> findAll(std::string_view keyword) const;
    // Like find(), but a missing child is a located error naming what was expected.
    Node require(std::string_view keyword) const;

    // Element `index`, which must be an atom; otherwise a located error.
    Node atom(std::size_t index) const;
    std::string_view valueAt(std::size_t index) const { return atom(index).value(); }
    double doubleAt(std::size_t index) const { return atom(index).asDouble(); }
    std::int64_t intAt(std::size_t index) const { return atom(index).asInt(); }

    // Located errors for layers that interpret the tree: "file:line:col: message" at this node.
    ParseError error(std::string_view message) const;
    [[noreturn]] void fail(std::string_view message) const;
    // "file:line:col"
    std::string location() const;
    // A short rendering for messages: `(pad ...)`, `"GND"`, `12`.
    std::string describe() const;

    std::uint32_t id() const { return index_; }
    // Identity across documents, for maps keyed by node.
    std::pair<const void*, std::uint32_t> key() const { return {tree_, index_}; }

private:
    friend class Document;
    friend class Children;
    Node(const detail::TreeHead* tree, std::uint32_t index) : tree_(tree), index_(index) {}
    const detail::Item& item() const;
    const detail::Tree& tree() const;

    const detail::TreeHead* tree_ = nullptr;
    std::uint32_t index_ = 0;
};

class Node::Children {
public:
    class iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = Node;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = Node;

        iterator() = default;
        Node operator*() const { return Node(tree_, *pos_); }
        Node operator[](difference_type n) const { return Node(tree_, pos_[n]); }
        iterator& operator++() { return ++pos_, *this; }
        iterator operator++(int) { return iterator(tree_, pos_++); }
        iterator& operator--() { return --pos_, *this; }
        iterator operator--(int) { return iterator(tree_, pos_--); }
        iterator& operator+=(difference_type n) { return pos_ += n, *this; }
        iterator& operator-=(difference_type n) { return pos_ -= n, *this; }
        friend iterator operator+(iterator it, difference_type n) { return it += n; }
        friend iterator operator+(difference_type n, iterator it) { return it += n; }
        friend iterator operator-(iterator it, difference_type n) { return it -= n; }
        friend difference_type operator-(const iterator& a, const iterator& b) { return a.pos_ - b.pos_; }
        bool operator==(const iterator& other) const { return pos_ == other.pos_; }
        auto operator<=>(const iterator& other) const { return pos_ <=> other.pos_; }

    private:
        friend class Children;
        iterator(const detail::TreeHead* tree, const std::uint32_t* pos) : tree_(tree), pos_(pos) {}
        const detail::TreeHead* tree_ = nullptr;
        const std::uint32_t* pos_ = nullptr;
    };

    iterator begin() const { return iterator(tree_, first_); }
    iterator end() const { return iterator(tree_, first_ + count_); }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }

private:
    friend class Node;
    Children(const detail::TreeHead* tree, const std::uint32_t* first, std::size_t count)
        : tree_(tree), first_(first), count_(count) {}
    const detail::TreeHead* tree_;
    const std::uint32_t* first_;
    std::size_t count_;
};

namespace detail {
// One node, 24 bytes. Nodes live in one vector in document order, so a big board costs a few large
// allocations instead of one per token. Lines and columns are not kept: only messages want them,
// and they follow from `begin` (Tree::positionOf).
struct Item {
    std::uint32_t begin;
    std::uint32_t end;
    std::uint32_t parent;
    // List: first slot in Tree::children and the number of elements.
    // Atom: where the value lives (source bytes, or Tree::decoded when `inArena`) and its length.
    std::uint32_t first;
    std::uint32_t count;
    Node::Kind kind;
    bool inArena;
    // A list read without its '(' (see Parser): it starts at its keyword.
    bool unopened;
};
} // namespace detail

// The accessors that walking a tree calls most, inline.
inline const detail::Item& Node::item() const {
    if (tree_ == nullptr)
        detail::nullNode();
    return tree_->itemData[index_];
}
inline Node::Kind Node::kind() const {
    return item().kind;
}
inline bool Node::unopened() const {
    return item().unopened;
}
inline std::uint32_t Node::begin() const {
    return item().begin;
}
inline std::uint32_t Node::end() const {
    return item().end;
}
inline std::string_view Node::text() const {
    const detail::Item& it = item();
    return std::string_view(tree_->byteData + it.begin, it.end - it.begin);
}
inline std::size_t Node::size() const {
    const detail::Item& it = item();
    return it.kind == Kind::List ? it.count : 0;
}
inline Node Node::operator[](std::size_t index) const {
    const detail::Item& it = item();
    if (it.kind != Kind::List || index >= it.count)
        return Node();
    return Node(tree_, tree_->childData[it.first + index]);
}
inline Node::Children Node::children() const {
    const detail::Item& it = item();
    if (it.kind != Kind::List || it.count == 0)
        return Children(tree_, nullptr, 0);
    return Children(tree_, tree_->childData + it.first, it.count);
}
inline std::string_view Node::keyword() const {
    const detail::Item& it = item();
    if (it.kind != Kind::List || it.count == 0)
        return {};
    const detail::Item& first = tree_->itemData[tree_->childData[it.first]];
    if (first.kind != Kind::BareAtom)
        return {};
    return std::string_view(tree_->byteData + first.begin, first.end - first.begin);
}

// A parsed file plus the edits made to it since it was read.
//
// Copies share the immutable tree and carry their own edits. Nodes of a document remain valid after
// the document is moved or copied.
class Document {
public:
    // Parses `bytes`. `fileName` is used in error messages only. A non-empty `expectedRoot` demands
    // that the root list has that keyword: `(kicad_pcb ...)`. Throws ParseError.
    //
    // One malformation is read on past, because KiCad itself writes it and reads it back: a list
    // whose '(' is missing, `(curved_edges no)filter_ratio 0.9)`, seen as a keyword glued to the
    // ')' before it, followed by atoms and a ')' on the same line. Such a file has more ')' than
    // '(', so it is only tried when the plain reading closes the root list before the end of the
    // file, and only kept when every list then closes in its place; otherwise the plain reading's
    // error stands. Each such spot becomes a list of its own (unopened()) and warnings() says where.
    static Document parse(std::string bytes, std::string fileName, std::string_view expectedRoot = {});
    // Reads and parses a file; the path as given names the file in errors. A file of 16 MiB or more
    // is mapped rather than copied into memory; saving replaces files by renaming new ones over
    // them, which leaves a mapped file as it was read.
    static Document load(const std::filesystem::path& path, std::string_view expectedRoot = {});

    Node root() const;
    // The bytes as read, without edits.
    std::string_view source() const;
    // A large file's bytes are mapped from the file rather than copied into memory (see load);
    // this lets the system take their pages back until they are next read, as after a file is
    // opened with all that is needed of it, or while it is written out. No-op for other documents.
    void releaseSource() const;
    // The same for the whole pages within `part`, a stretch of source() such as a long value
    // that has been read and is not wanted again soon. Ignores text from elsewhere.
    void releaseSource(std::string_view part) const;
    // A mapped file changed in place would show its new bytes where this document expects the
    // ones it read: false when the file is no longer the one mapped (always true for documents
    // held in memory). Check before rendering a document that may be mapped.
    bool sourceUnchangedOnDisk() const;
    // Saving replaced the file with one written from this document: compare with that one now.
    void noteSourceReplaced() const;
    const std::string& fileName() const;
    std::size_t nodeCount() const;
    // What was odd but read on past; empty for a well-formed file.
    const std::vector<ParseWarning>& warnings() const;
    // "\r\n" when the file's first line break is CRLF, else "\n"; new lines follow the file's style.
    std::string_view lineEnding() const;

    // 1-based line and byte column of any offset in the source.
    struct Position {
        std::uint32_t line;
        std::uint32_t column;
    };
    Position positionOf(std::size_t offset) const;
    ParseError errorAt(std::size_t offset, std::string_view message) const;

    // --- Editing. Every edit is a splice on the source; splices must not overlap (std::logic_error).
    // Insertions at the same offset are applied in the order they were made, and before a
    // replacement that starts there.

    // Replaces source bytes [begin, end) with `replacement`.
    void splice(std::size_t begin, std::size_t end, std::string replacement);
    // Replaces the whole text of a node.
    void replace(Node node, std::string_view text);
    // Gives an atom a new value. A quoted atom stays quoted (escaped as KiCad writes it); a bare atom
    // stays bare when the value can be written bare, and is quoted otherwise.
    void setAtom(Node atom, std::string_view value);
    // Gives an atom a new value, always written quoted.
    void setQuoted(Node atom, std::string_view value);
    // The insertions and remove() below never let two atoms run together: where the neighbours
    // would touch, a single space separates them.

    // Inserts `text` before `node`, followed by a copy of the whitespace that precedes `node`, so
    // that the new element is laid out like the node it now precedes (a pad's missing `net`).
    // Before a list without its '(', `text` goes in without that whitespace and keeps the list's
    // keyword glued to it when it ends with ')'.
    void insertBefore(Node node, std::string_view text);
    // Inserts `text` after `node`, preceded by a copy of the whitespace that precedes `node`.
    void insertAfter(Node node, std::string_view text);
    // Inserts `text` on a new line after `node`, indented like the line `node` starts on, with the
    // file's line ending (a new entry after the last of the board's net table).
    void insertLineAfter(Node node, std::string_view text);
    // Removes a node together with the whitespace before it; a comment keeps its line break.
    // (Removing the list right before one without its '(' leaves that one unreadable.)
    void remove(Node node);

    bool edited() const { return !splices_.empty(); }
    std::size_t spliceCount() const { return splices_.size(); }
    void discardEdits();

    // The source with every splice applied; byte-identical to source() when nothing was edited.
    std::string render() const;
    // The same text handed to `out` piece by piece, for a file too large to hold twice.
    void write(const std::function<void(std::string_view)>& out) const;
    // Parses render() again (same file name and root keyword); throws ParseError when the edits made
    // the text unreadable.
    Document reparse() const;
    // The root list's elements as render() would read them, without rendering and reading the
    // whole file again: elements no edit touches are this document's own nodes; each run of
    // elements that edits touch is rendered on its own and read again into `pieces`, which must
    // outlive the nodes. (Locations in messages about re-read elements are within `pieces`, not
    // the file.) Throws ParseError when the edits made a run unreadable.
    std::vector<Node> editedElements(std::optional<Document>& pieces) const;

private:
    struct Splice {
        std::uint32_t begin;
        std::uint32_t end;
        std::string text;
    };

    explicit Document(std::shared_ptr<const detail::Tree> tree) : tree_(std::move(tree)) {}
    // Indexes of splices_ in the order render() applies them.
    std::vector<std::size_t> spliceOrder() const;
    void checkOwned(Node node, const char* operation) const;
    std::string_view whitespaceBefore(std::uint32_t offset) const;

    std::shared_ptr<const detail::Tree> tree_;
    std::vector<Splice> splices_;
    // Indexes of splices_ for overlap checks: replaced ranges (begin -> end) and insertion offsets.
    std::map<std::uint32_t, std::uint32_t> replaced_;
    std::set<std::uint32_t> insertedAt_;
};

// KiCad's way of writing a string: in double quotes, with `"`, `\`, LF and CR escaped.
std::string quote(std::string_view value);
// True when `value` cannot be written as a bare atom (empty, whitespace, parentheses, quotes, or a
// leading '#').
bool needsQuotes(std::string_view value);
// Decodes the text between a quoted atom's quotes: \" \\ \n \r \t, \xHH and 1–3 digit octal; any
// other escape is kept as written.
std::string unescape(std::string_view body);
// The text as a terminal can show it: well-formed UTF-8 and tabs stay, other control bytes and
// bytes that are not UTF-8 (a binary file read as a board) become \xHH.
std::string printable(std::string_view text);

} // namespace pcbhost::sexpr
