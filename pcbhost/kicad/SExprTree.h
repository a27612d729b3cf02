// Storage behind Document and Node; private to the s-expression library.
#pragma once

#include "SExpr.h"
#include "SExprSource.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace pcbhost::sexpr::detail {

inline constexpr std::uint32_t kNoParent = 0xFFFFFFFFu;

struct Tree : TreeHead {
    Tree() = default;
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    SourceBytes source;
    std::string_view bytes; // source.view()
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
    // Points the head at the arrays once they are complete.
    void fixHead() {
        itemData = items.data();
        childData = children.data();
        byteData = bytes.data();
    }
    std::string_view valueOf(const Item& item) const {
        const std::string_view store = item.inArena ? std::string_view(decoded) : bytes;
        return store.substr(item.first, item.count);
    }

private:
    mutable std::once_flag linesFound_;
    mutable std::vector<std::uint32_t> lineStarts_;
};

// Builds the tree; throws ParseError.
std::shared_ptr<Tree> parseTree(SourceBytes bytes, std::string fileName, std::string_view expectedRoot);

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
inline bool isDelimiter(char c) {
    return isSpace(c) || c == '(' || c == ')' || c == '"';
}

} // namespace pcbhost::sexpr::detail
