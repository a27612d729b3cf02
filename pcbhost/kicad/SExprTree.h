// Storage behind Document and Node; private to the s-expression library.
#pragma once

#include "SExpr.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace pcbhost::sexpr::detail {

inline constexpr std::uint32_t kNoParent = 0xFFFFFFFFu;

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

struct Tree {
    Tree() = default;
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    std::string bytes;
    std::string fileName;
    std::string expectedRoot;
    std::vector<Item> items;
    // The element indices of every list, one contiguous run per list.
    std::vector<std::uint32_t> children;
    // Decoded values of quoted atoms that contain escapes; atoms without escapes point into `bytes`.
    std::string decoded;
    // [begin, end) of each `#` comment, in source order.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> comments;
    // What the reader accepted although the file is not well formed.
    std::vector<ParseWarning> warnings;

    // Line and column of a byte offset. The first call finds where every line starts.
    Document::Position positionOf(std::size_t offset) const;
    std::string_view valueOf(const Item& item) const {
        const std::string& store = item.inArena ? decoded : bytes;
        return std::string_view(store).substr(item.first, item.count);
    }

private:
    mutable std::once_flag linesFound_;
    mutable std::vector<std::uint32_t> lineStarts_;
};

// Builds the tree; throws ParseError.
std::shared_ptr<Tree> parseTree(std::string bytes, std::string fileName, std::string_view expectedRoot);

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
inline bool isDelimiter(char c) {
    return isSpace(c) || c == '(' || c == ')' || c == '"';
}

} // namespace pcbhost::sexpr::detail
