// Edits as splices on the original bytes, and rendering.
#include "SExpr.h"

#include "SExprTree.h"

#include <algorithm>
#include <cstdint>
#include <fmt/format.h>
#include <numeric>
#include <optional>

namespace pcbhost::sexpr {

namespace {

bool isInsertion(std::uint32_t begin, std::uint32_t end) {
    return begin == end;
}

// Text inserted at `at` must not run into the atoms on either side: `a(b)` with `c` inserted
// before `(b)` has to become `a c (b)`, not `ac (b)`. A '#' right after the insertion point starts a
// comment today and must still start one.
std::string keptApart(std::string_view bytes, std::uint32_t at, std::string text) {
    if (text.empty()) {
        return text;
    }
    if (at > 0 && !detail::isDelimiter(bytes[at - 1]) && !detail::isDelimiter(text.front())) {
        text.insert(text.begin(), ' ');
    }
    if (at < bytes.size() && !detail::isDelimiter(bytes[at]) && !detail::isDelimiter(text.back())) {
        text += ' ';
    }
    return text;
}

} // namespace

void Document::checkOwned(Node node, const char* operation) const {
    if (!node) {
        throw std::invalid_argument(fmt::format("{}: null node", operation));
    }
    if (node.tree_ != tree_.get()) {
        throw std::invalid_argument(fmt::format("{}: the node belongs to another document", operation));
    }
}

void Document::splice(std::size_t begin, std::size_t end, std::string replacement) {
    const std::size_t size = tree_->bytes.size();
    if (begin > end || end > size) {
        throw std::out_of_range(
            fmt::format("splice [{}, {}) is outside {} ({} bytes)", begin, end, tree_->fileName, size));
    }
    const auto b = static_cast<std::uint32_t>(begin);
    const auto e = static_cast<std::uint32_t>(end);
    // Replaced ranges may not share a byte, and an insertion may not fall strictly inside a replaced
    // range; insertions at a replacement's edges are well defined.
    std::optional<std::uint32_t> clash;
    const auto next = replaced_.lower_bound(b);
    if (next != replaced_.begin()) {
        const auto previous = std::prev(next);
        if (previous->second > b) {
            clash = previous->first;
        }
    }
    if (!isInsertion(b, e)) {
        if (next != replaced_.end() && next->first < e) {
            clash = next->first;
        }
        const auto inserted = insertedAt_.upper_bound(b);
        if (inserted != insertedAt_.end() && *inserted < e) {
            clash = *inserted;
        }
    }
    if (clash) {
        const Position here = positionOf(begin);
        const Position there = positionOf(*clash);
        throw std::logic_error(
            formatLocated(tree_->fileName, here.line, here.column,
                          fmt::format("edit overlaps an earlier edit at {}:{}", there.line, there.column)));
    }
    if (isInsertion(b, e)) {
        insertedAt_.insert(b);
    } else {
        replaced_.emplace(b, e);
    }
    splices_.push_back({b, e, std::move(replacement)});
}

void Document::replace(Node node, std::string_view text) {
    checkOwned(node, "replace");
    splice(node.begin(), node.end(), std::string(text));
}

void Document::setAtom(Node atom, std::string_view value) {
    checkOwned(atom, "setAtom");
    if (!atom.isAtom()) {
        throw std::invalid_argument(fmt::format("setAtom: {} is a list, not an atom", atom.location()));
    }
    const bool quoted = atom.isQuoted() || needsQuotes(value);
    splice(atom.begin(), atom.end(), quoted ? quote(value) : std::string(value));
}

void Document::setQuoted(Node atom, std::string_view value) {
    checkOwned(atom, "setQuoted");
    if (!atom.isAtom()) {
        throw std::invalid_argument(fmt::format("setQuoted: {} is a list, not an atom", atom.location()));
    }
    splice(atom.begin(), atom.end(), quote(value));
}

std::string_view Document::whitespaceBefore(std::uint32_t offset) const {
    const std::string_view bytes = tree_->bytes;
    std::uint32_t start = offset;
    while (start > 0 && detail::isSpace(bytes[start - 1])) {
        --start;
    }
    return bytes.substr(start, offset - start);
}

void Document::insertBefore(Node node, std::string_view text) {
    checkOwned(node, "insertBefore");
    if (!node.parent()) {
        throw std::invalid_argument("insertBefore: a file holds exactly one root list");
    }
    const std::string_view gap = whitespaceBefore(node.begin());
    std::string inserted(text);
    // A list without its '(' is one only while its keyword stays glued to the ')' before it.
    if (!node.unopened()) {
        inserted += gap.empty() ? std::string_view(" ") : gap;
    }
    splice(node.begin(), node.begin(), keptApart(tree_->bytes, node.begin(), std::move(inserted)));
}

void Document::insertAfter(Node node, std::string_view text) {
    checkOwned(node, "insertAfter");
    if (!node.parent()) {
        throw std::invalid_argument("insertAfter: a file holds exactly one root list");
    }
    const std::string_view gap = whitespaceBefore(node.begin());
    std::string inserted(gap.empty() ? std::string_view(" ") : gap);
    inserted += text;
    splice(node.end(), node.end(), keptApart(tree_->bytes, node.end(), std::move(inserted)));
}

void Document::insertLineAfter(Node node, std::string_view text) {
    checkOwned(node, "insertLineAfter");
    if (!node.parent()) {
        throw std::invalid_argument("insertLineAfter: a file holds exactly one root list");
    }
    const std::string_view bytes = tree_->bytes;
    const std::size_t newline = bytes.rfind('\n', node.begin() == 0 ? 0 : node.begin() - 1);
    std::size_t lineStart = newline == std::string_view::npos || newline >= node.begin() ? 0 : newline + 1;
    std::size_t indentEnd = lineStart;
    while (indentEnd < node.begin() && (bytes[indentEnd] == ' ' || bytes[indentEnd] == '\t')) {
        ++indentEnd;
    }
    std::string inserted(lineEnding());
    inserted += bytes.substr(lineStart, indentEnd - lineStart);
    inserted += text;
    splice(node.end(), node.end(), keptApart(bytes, node.end(), std::move(inserted)));
}

void Document::remove(Node node) {
    checkOwned(node, "remove");
    if (!node.parent()) {
        throw std::invalid_argument("remove: cannot remove the root list");
    }
    const std::string_view bytes = tree_->bytes;
    const std::uint32_t end = node.end();
    std::uint32_t begin = node.begin() - static_cast<std::uint32_t>(whitespaceBefore(node.begin()).size());

    // A comment runs to the end of its line: keep the line break that ends it, or the text after
    // the removed node would become part of the comment.
    const auto& comments = tree_->comments;
    const auto comment =
        std::lower_bound(comments.begin(), comments.end(), begin,
                         [](const auto& range, std::uint32_t at) { return range.second < at; });
    if (comment != comments.end() && comment->second == begin) {
        while (begin < node.begin() && bytes[begin] != '\n') {
            ++begin;
        }
        if (begin < node.begin()) {
            ++begin;
        }
    }

    // Neighbours that touch after the removal would fuse into one atom: `a (b)c` -> `a c`, not `ac`.
    const bool fuse = begin > 0 && end < bytes.size() && !detail::isDelimiter(bytes[begin - 1]) &&
                      !detail::isDelimiter(bytes[end]);
    splice(begin, end, std::string(fuse ? 1 : 0, ' '));
}

void Document::discardEdits() {
    splices_.clear();
    replaced_.clear();
    insertedAt_.clear();
}

std::vector<std::size_t> Document::spliceOrder() const {
    std::vector<std::size_t> order(splices_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    // Insertions at an offset go before a replacement starting there; equal keys keep edit order.
    std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
        const Splice& x = splices_[a];
        const Splice& y = splices_[b];
        if (x.begin != y.begin) {
            return x.begin < y.begin;
        }
        return isInsertion(x.begin, x.end) && !isInsertion(y.begin, y.end);
    });
    return order;
}

std::string Document::render() const {
    std::size_t size = tree_->bytes.size();
    for (const Splice& s : splices_) {
        size += s.text.size();
        size -= s.end - s.begin;
    }
    std::string out;
    out.reserve(size);
    write([&out](std::string_view piece) { out += piece; });
    return out;
}

void Document::write(const std::function<void(std::string_view)>& out) const {
    const std::string_view bytes = tree_->bytes;
    // The file's own bytes go out in slices. What has been handed on is not needed again for this
    // pass: a mapped file's pages go back to the file cache behind the writer instead of piling up.
    auto source = [&](std::size_t begin, std::size_t end) {
        constexpr std::size_t kSlice = std::size_t(4) << 20;
        if (begin == end) {
            out({});
            return;
        }
        for (std::size_t at = begin; at < end; at += kSlice) {
            const std::size_t stop = std::min(end, at + kSlice);
            out(bytes.substr(at, stop - at));
            tree_->source.release(at, stop);
        }
    };
    std::size_t copied = 0;
    for (const std::size_t index : spliceOrder()) {
        const Splice& s = splices_[index];
        source(copied, s.begin);
        out(s.text);
        copied = s.end;
    }
    source(copied, bytes.size());
}

std::vector<Node> Document::editedElements(std::optional<Document>& pieces) const {
    const Node top = root();
    const Node::Children elements = top.children();
    std::vector<Node> out(elements.begin(), elements.end());
    pieces.reset();
    if (splices_.empty()) {
        return out;
    }
    const std::uint32_t inside = top.begin() + (top.unopened() ? 0 : 1), insideEnd = top.end() - 1;
    const bool rootItself =
        out.empty() || std::any_of(splices_.begin(), splices_.end(),
                                   [&](const Splice& s) { return s.begin < inside || s.end > insideEnd; });
    if (rootItself) {
        pieces = reparse();
        const Node::Children all = pieces->root().children();
        return std::vector<Node>(all.begin(), all.end());
    }

    // Which elements each splice touches (sharing an edge counts). One that lies wholly in a gap
    // goes with the element after it, or the last one at the end: its run reaches over the gap.
    const std::vector<std::size_t> order = spliceOrder();
    const std::size_t n = out.size();
    std::vector<char> touched(n, 0);
    std::vector<std::size_t> anchor(splices_.size());
    for (const std::size_t index : order) {
        const Splice& s = splices_[index];
        const auto first = static_cast<std::size_t>(
            std::partition_point(out.begin(), out.end(), [&](Node e) { return e.end() < s.begin; }) -
            out.begin());
        for (std::size_t k = first; k < n && out[k].begin() <= s.end; ++k) {
            touched[k] = 1;
        }
        anchor[index] = std::min(first, n - 1);
        touched[anchor[index]] = 1;
    }
    // Runs of touched elements, each with the bytes its splices reach.
    struct Run {
        std::size_t first, last;
        std::uint32_t begin, end;
    };
    std::vector<Run> runs;
    std::vector<std::size_t> runOf(n, SIZE_MAX);
    for (std::size_t k = 0; k < n; ++k) {
        if (!touched[k]) {
            continue;
        }
        if (runs.empty() || runs.back().last + 1 != k) {
            runs.push_back({k, k, out[k].begin(), out[k].end()});
        }
        runs.back().last = k;
        runs.back().end = out[k].end();
        runOf[k] = runs.size() - 1;
    }
    for (const std::size_t index : order) {
        Run& run = runs[runOf[anchor[index]]];
        run.begin = std::min(run.begin, splices_[index].begin);
        run.end = std::max(run.end, splices_[index].end);
    }

    // All runs read at once, each as one list of the pieces' root: "((run) (run) ...)".
    const std::string_view bytes = tree_->bytes;
    std::string text = "(";
    // The splices in render order come run by run.
    std::size_t next = 0;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const Run& run = runs[r];
        text += '(';
        std::size_t copied = run.begin;
        for (; next < order.size() && runOf[anchor[order[next]]] == r; ++next) {
            const Splice& s = splices_[order[next]];
            text.append(bytes, copied, s.begin - copied);
            text += s.text;
            copied = s.end;
        }
        text.append(bytes, copied, run.end - copied);
        text += "\n)";
    }
    text += ')';
    pieces = parse(std::move(text), tree_->fileName);

    std::vector<Node> result;
    result.reserve(n);
    const Node reread = pieces->root();
    for (std::size_t k = 0; k < n; ++k) {
        if (runOf[k] == SIZE_MAX) {
            result.push_back(out[k]);
        } else if (k == runs[runOf[k]].first) {
            for (Node element : reread[runOf[k]].children()) {
                result.push_back(element);
            }
        }
    }
    return result;
}

Document Document::reparse() const {
    return parse(render(), tree_->fileName, tree_->expectedRoot);
}

} // namespace pcbhost::sexpr
