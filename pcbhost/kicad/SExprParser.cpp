// Tokenizer and tree builder. One pass over the bytes with an explicit stack, so nesting depth is
// limited by memory rather than by the call stack, and every token costs one Item and no heap node.
#include "SExprTree.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fmt/format.h>
#include <limits>
#include <map>

namespace pcbhost::sexpr::detail {
namespace {

enum CharClass : std::uint8_t { Bare, Space, Newline, Open, Close, Quote };

constexpr std::array<std::uint8_t, 256> makeClasses() {
    std::array<std::uint8_t, 256> classes{};
    for (auto& c : classes) {
        c = Bare;
    }
    classes[' '] = classes['\t'] = classes['\r'] = classes['\f'] = classes['\v'] = Space;
    classes['\n'] = Newline;
    classes['('] = Open;
    classes[')'] = Close;
    classes['"'] = Quote;
    return classes;
}
constexpr std::array<std::uint8_t, 256> kClasses = makeClasses();

inline std::uint8_t classOf(char c) {
    return kClasses[static_cast<unsigned char>(c)];
}

// Shortened token text for messages; never splits a line.
std::string excerpt(std::string_view text) {
    constexpr std::size_t kMax = 40;
    std::size_t stop = 0;
    while (stop < text.size() && stop < kMax && text[stop] != '\n' && text[stop] != '\r') {
        ++stop;
    }
    std::string out = printable(text.substr(0, stop));
    if (stop < text.size() && text[stop] != '\n' && text[stop] != '\r') {
        out += "...";
    }
    return out;
}

// A word that KiCad uses as a keyword: lower-case letters, digits and '_', starting with a letter.
bool isKeyword(std::string_view text) {
    if (text.empty() || text[0] < 'a' || text[0] > 'z') {
        return false;
    }
    for (const char c : text) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) {
            return false;
        }
    }
    return true;
}

class Parser {
public:
    // `lenient`: read a keyword glued to a ')' as the start of a list whose '(' is missing.
    Parser(SourceBytes bytes, std::string fileName, std::string_view expectedRoot, bool lenient)
        : tree_(std::make_shared<Tree>()), lenient_(lenient) {
        tree_->source = std::move(bytes);
        tree_->bytes = tree_->source.view();
        tree_->fileName = std::move(fileName);
        tree_->expectedRoot = std::string(expectedRoot);
        data_ = tree_->bytes.data();
        size_ = tree_->bytes.size();
    }

    std::shared_ptr<Tree> run() {
        if (size_ >= std::numeric_limits<std::uint32_t>::max()) {
            fail(0, "file is too large (4 GiB or more)");
        }
        // Roughly one token per 7 bytes in KiCad files; reserving avoids regrowing a large vector.
        tree_->items.reserve(size_ / 7 + 16);
        tree_->children.reserve(size_ / 7 + 16);

        std::size_t pos = 0;
        if (size_ >= 3 && std::memcmp(data_, "\xEF\xBB\xBF", 3) == 0) {
            pos = 3; // a byte-order mark is trivia, kept as it was by rendering
        }
        while (pos < size_) {
            const char c = data_[pos];
            switch (classOf(c)) {
            case Space:
                ++pos;
                break;
            case Newline:
                ++pos;
                ++line_;
                lineStart_ = pos;
                break;
            case Open:
                openList(pos);
                ++pos;
                break;
            case Close:
                closeList(pos);
                ++pos;
                break;
            case Quote:
                pos = quotedAtom(pos);
                break;
            default:
                pos = c == '#' ? comment(pos) : bareAtom(pos);
                break;
            }
        }
        finish();
        tree_->fixHead();
        if (tree_->source.mapped()) {
            // Where lines start, found now while the bytes are at hand: a message's line number
            // would otherwise read the whole file again.
            tree_->positionOf(0);
        }
        return std::move(tree_);
    }

    // Whether the reading failed because the root list closed before the end of the file, the
    // one failure that a missing '(' explains.
    bool rootClosedEarly() const { return rootClosedEarly_; }
    // The bytes back after a failed run.
    SourceBytes takeBytes() { return std::move(tree_->source); }
    const std::string& fileName() const { return tree_->fileName; }

private:
    struct OpenList {
        std::uint32_t item;
        std::uint32_t scratchStart;
    };

    [[noreturn]] void failAfterRoot(std::size_t pos, std::string_view found) {
        rootClosedEarly_ = true;
        fail(pos, fmt::format("expected end of file after the root list but found '{}'", excerpt(found)));
    }

    [[noreturn]] void fail(std::size_t offset, std::string message) const {
        throw ParseError(tree_->fileName, line_, static_cast<std::uint32_t>(offset - lineStart_ + 1),
                         std::move(message));
    }
    // At a token read earlier (its line and column worked out from its offset).
    [[noreturn]] void failAt(std::size_t offset, std::string message) const {
        const Document::Position at = tree_->positionOf(offset);
        throw ParseError(tree_->fileName, at.line, at.column, std::move(message));
    }

    std::uint32_t newItem(std::size_t begin, Node::Kind kind) {
        Item item{};
        item.begin = static_cast<std::uint32_t>(begin);
        item.parent = open_.empty() ? kNoParent : open_.back().item;
        item.kind = kind;
        tree_->items.push_back(item);
        return static_cast<std::uint32_t>(tree_->items.size() - 1);
    }

    // Everything before the root's '(' and after its ')' must be trivia.
    void requireInsideRoot(std::size_t pos, std::string_view found) {
        if (!open_.empty()) {
            return;
        }
        if (rootDone_) {
            failAfterRoot(pos, found);
        }
        fail(pos, fmt::format("expected '(' at the start of the file but found '{}'", excerpt(found)));
    }

    void addChild(std::uint32_t item) {
        scratch_.push_back(item);
        if (open_.size() == 1 && scratch_.size() == 1) {
            checkRootKeyword(item);
        }
    }

    // Checked as soon as the root's first element is read, so that a schematic handed to the board
    // reader is reported as such even when the rest of the file is damaged.
    void checkRootKeyword(std::uint32_t first) const {
        const std::string& expected = tree_->expectedRoot;
        if (expected.empty()) {
            return;
        }
        const Item& item = tree_->items[first];
        std::string_view text(data_ + item.begin, item.end - item.begin);
        if (item.kind == Node::Kind::BareAtom && text == expected) {
            return;
        }
        const Item& root = tree_->items[0];
        const std::string found = item.kind == Node::Kind::List ? "(" : excerpt(text);
        failAt(root.begin, fmt::format("expected ({} ...) but found ({}", expected, found));
    }

    void openList(std::size_t pos) {
        if (open_.empty() && rootDone_) {
            failAfterRoot(pos, std::string_view(data_ + pos, size_ - pos));
        }
        const std::uint32_t item = newItem(pos, Node::Kind::List);
        if (!open_.empty()) {
            addChild(item);
        }
        open_.push_back({item, static_cast<std::uint32_t>(scratch_.size())});
    }

    void closeList(std::size_t pos) {
        if (open_.empty()) {
            requireInsideRoot(pos, ")");
        }
        const OpenList top = open_.back();
        open_.pop_back();
        Item& item = tree_->items[top.item];
        item.end = static_cast<std::uint32_t>(pos + 1);
        item.first = static_cast<std::uint32_t>(tree_->children.size());
        item.count = static_cast<std::uint32_t>(scratch_.size() - top.scratchStart);
        tree_->children.insert(tree_->children.end(), scratch_.begin() + top.scratchStart, scratch_.end());
        scratch_.resize(top.scratchStart);
        if (open_.empty()) {
            rootDone_ = true;
            if (item.count == 0 && !tree_->expectedRoot.empty()) {
                failAt(item.begin, fmt::format("expected ({} ...) but found ()", tree_->expectedRoot));
            }
        }
    }

    std::size_t bareAtom(std::size_t pos) {
        std::size_t stop = pos + 1;
        while (stop < size_ && classOf(data_[stop]) == Bare) {
            ++stop;
        }
        const std::string_view text(data_ + pos, stop - pos);
        requireInsideRoot(pos, text);
        if (lenient_ && data_[pos - 1] == ')' && isKeyword(text) && closesOnItsLine(stop)) {
            // `(curved_edges no)filter_ratio 0.9)`: the keyword opens a list of its own.
            const std::uint32_t list = newItem(pos, Node::Kind::List);
            tree_->items[list].unopened = true;
            addChild(list);
            open_.push_back({list, static_cast<std::uint32_t>(scratch_.size())});
            unopened_.push_back(list);
        }
        const std::uint32_t index = newItem(pos, Node::Kind::BareAtom);
        Item& item = tree_->items[index];
        item.end = static_cast<std::uint32_t>(stop);
        item.first = item.begin;
        item.count = item.end - item.begin;
        addChild(index);
        return stop;
    }

    // Whether only atoms follow `pos` up to a ')' on the same line: what a list whose '(' went
    // missing looks like after its keyword.
    bool closesOnItsLine(std::size_t pos) const {
        while (pos < size_) {
            switch (classOf(data_[pos])) {
            case Space:
                ++pos;
                break;
            case Close:
                return true;
            case Quote:
                for (++pos; pos < size_ && data_[pos] != '"' && data_[pos] != '\n'; ++pos) {
                    if (data_[pos] == '\\' && pos + 1 < size_ && data_[pos + 1] != '\n') {
                        ++pos;
                    }
                }
                if (pos >= size_ || data_[pos] != '"') {
                    return false;
                }
                ++pos;
                break;
            case Bare:
                if (data_[pos] == '#') {
                    return false;
                }
                while (pos < size_ && classOf(data_[pos]) == Bare) {
                    ++pos;
                }
                break;
            default: // a line break or a '('
                return false;
            }
        }
        return false;
    }

    std::size_t quotedAtom(std::size_t pos) {
        bool escaped = false;
        std::size_t stop = pos + 1;
        for (;;) {
            // Scan for the next byte that matters; strings are most of a schematic's bytes.
            while (stop < size_ && data_[stop] != '"' && data_[stop] != '\\' && data_[stop] != '\n') {
                ++stop;
            }
            if (stop >= size_) {
                fail(pos, "unterminated string: expected '\"' before end of file");
            }
            const char c = data_[stop];
            if (c == '"') {
                break;
            }
            if (c == '\n') {
                // KiCad writes every token on one line, so a line break here means the closing quote
                // is missing; reporting it here keeps the error near its cause.
                fail(pos, "unterminated string: expected '\"' before end of line");
            }
            escaped = true;
            if (stop + 1 < size_ && data_[stop + 1] != '\n') {
                stop += 2;
            } else {
                ++stop; // the loop reports the line break or end of file
            }
        }
        ++stop; // past the closing quote
        requireInsideRoot(pos, std::string_view(data_ + pos, stop - pos));
        const std::uint32_t index = newItem(pos, Node::Kind::QuotedAtom);
        Item& item = tree_->items[index];
        item.end = static_cast<std::uint32_t>(stop);
        const std::string_view body(data_ + pos + 1, stop - pos - 2);
        if (escaped) {
            const std::string value = unescape(body);
            if (tree_->decoded.size() + value.size() >= std::numeric_limits<std::uint32_t>::max()) {
                fail(pos, "too much escaped text");
            }
            item.first = static_cast<std::uint32_t>(tree_->decoded.size());
            item.count = static_cast<std::uint32_t>(value.size());
            item.inArena = true;
            tree_->decoded += value;
        } else {
            item.first = static_cast<std::uint32_t>(pos + 1);
            item.count = static_cast<std::uint32_t>(body.size());
        }
        addChild(index);
        return stop;
    }

    std::size_t comment(std::size_t pos) {
        const void* newline = std::memchr(data_ + pos, '\n', size_ - pos);
        const std::size_t stop = newline ? static_cast<const char*>(newline) - data_ : size_;
        tree_->comments.emplace_back(static_cast<std::uint32_t>(pos), static_cast<std::uint32_t>(stop));
        return stop;
    }

    void finish() {
        if (!open_.empty()) {
            const Item& innermost = tree_->items[open_.back().item];
            const Document::Position at = tree_->positionOf(innermost.begin);
            std::string_view head(data_ + innermost.begin, size_ - innermost.begin);
            std::size_t cut = 1;
            while (cut < head.size() && cut < 40 && classOf(head[cut]) != Newline &&
                   classOf(head[cut]) != Open && classOf(head[cut]) != Close && head[cut] != '\r') {
                ++cut;
            }
            while (cut > 1 && (head[cut - 1] == ' ' || head[cut - 1] == '\t')) {
                --cut;
            }
            fail(size_,
                 fmt::format("expected ')' before end of file (the list '{}' opened at line {}, column {} "
                             "is not closed)",
                             head.substr(0, cut), at.line, at.column));
        }
        if (!rootDone_) {
            fail(size_, "expected '(' but the file is empty");
        }
        warnUnopened();
        tree_->decoded.shrink_to_fit();
    }

    // One warning per keyword, at its first place: a writer that drops a '(' drops it everywhere
    // it writes that keyword, and hundreds of identical lines would hide everything else.
    void warnUnopened() {
        std::map<std::string_view, std::pair<std::uint32_t, std::size_t>> byKeyword;
        std::vector<std::string_view> order;
        for (const std::uint32_t list : unopened_) {
            const Item& first = tree_->items[tree_->children[tree_->items[list].first]];
            const std::string_view keyword(data_ + first.begin, first.end - first.begin);
            auto [it, added] = byKeyword.try_emplace(keyword, list, 0);
            ++it->second.second;
            if (added) {
                order.push_back(keyword);
            }
        }
        for (const std::string_view keyword : order) {
            const auto [list, count] = byKeyword[keyword];
            const Item& item = tree_->items[list];
            const std::string_view text(data_ + item.begin, item.end - item.begin);
            std::string message = fmt::format("found '{}' without its '('; read as '({}', as KiCad reads it",
                                              excerpt(text), excerpt(text));
            if (count > 1) {
                message += fmt::format(" ({} more like it in this file)", count - 1);
            }
            const Document::Position at = tree_->positionOf(item.begin);
            tree_->warnings.push_back({tree_->fileName, at.line, at.column, std::move(message)});
        }
    }

    std::shared_ptr<Tree> tree_;
    bool lenient_ = false;
    bool rootClosedEarly_ = false;
    std::vector<std::uint32_t> unopened_;
    const char* data_ = nullptr;
    std::size_t size_ = 0;
    std::uint32_t line_ = 1;
    std::size_t lineStart_ = 0;
    bool rootDone_ = false;
    std::vector<OpenList> open_;
    std::vector<std::uint32_t> scratch_;
};

} // namespace

std::shared_ptr<Tree> parseTree(SourceBytes bytes, std::string fileName, std::string_view expectedRoot) {
    Parser plain(std::move(bytes), std::move(fileName), expectedRoot, false);
    try {
        return plain.run();
    } catch (const ParseError& error) {
        if (!plain.rootClosedEarly()) {
            throw;
        }
        const ParseError first = error;
        Parser lenient(plain.takeBytes(), plain.fileName(), expectedRoot, true);
        try {
            return lenient.run();
        } catch (const ParseError&) {
            // The second reading's complaint would point at a repair the file never needed; the
            // first one names where the file went wrong.
            throw first;
        }
    }
}

Document::Position Tree::positionOf(std::size_t offset) const {
    std::call_once(linesFound_, [this] {
        lineStarts_.push_back(0);
        const char* data = bytes.data();
        std::size_t from = 0;
        while (const void* hit = std::memchr(data + from, '\n', bytes.size() - from)) {
            from = static_cast<const char*>(hit) - data + 1;
            lineStarts_.push_back(static_cast<std::uint32_t>(from));
        }
    });
    offset = std::min(offset, bytes.size());
    const auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
    const auto line = static_cast<std::uint32_t>(after - lineStarts_.begin());
    return {line, static_cast<std::uint32_t>(offset - *(after - 1) + 1)};
}

} // namespace pcbhost::sexpr::detail
