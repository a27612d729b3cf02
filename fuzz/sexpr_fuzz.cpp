// libFuzzer target for the s-expression reader and editor. Whatever bytes come in, the reader must
// either reject them with a ParseError or give a tree whose rendering is the input itself; a
// rendering with edits must read back with the values that were written.
#include "pcbhost/kicad/SExpr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

using namespace pcbhost::sexpr;

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

// Ranges, nesting and values agree with the bytes; returns the nodes in source order.
std::vector<Node> walk(const Document& doc) {
    std::vector<Node> order;
    std::vector<Node> stack{doc.root()};
    // Positions are counted alongside, so that large inputs stay linear.
    std::uint32_t cursor = 0;
    std::uint32_t line = 1;
    std::uint32_t lineStart = 0;
    while (!stack.empty()) {
        const Node node = stack.back();
        stack.pop_back();
        order.push_back(node);
        check(node.begin() >= cursor && node.begin() < node.end() && node.end() <= doc.source().size(),
              "range");
        for (; cursor < node.begin(); ++cursor) {
            if (doc.source()[cursor] == '\n') {
                ++line;
                lineStart = cursor + 1;
            }
        }
        check(line == node.line() && node.begin() - lineStart + 1 == node.column(), "position");
        const std::string_view text = node.text();
        if (node.isList()) {
            // A list read without its '(' starts at its keyword, glued to the ')' before it.
            const bool opened = text.front() == '(';
            check(opened != node.unopened() && text.back() == ')', "list parentheses");
            check(opened || (node.size() > 0 && node[0].begin() == node.begin() &&
                             doc.source()[node.begin() - 1] == ')' && !doc.warnings().empty()),
                  "unopened list");
            for (std::size_t i = node.size(); i-- > 0;) {
                check(node[i].parent() == node && node[i].indexInParent() == i, "parent");
                stack.push_back(node[i]);
            }
        } else if (node.isQuoted()) {
            check(text.size() >= 2 && text.front() == '"' && text.back() == '"', "quotes");
            check(unescape(text.substr(1, text.size() - 2)) == node.value(), "decoded value");
        } else {
            check(node.value() == text && !needsQuotes(text), "bare atom");
        }
    }
    check(order.size() == doc.nodeCount(), "node count");
    const Node last = order.back();
    const Document::Position pos = doc.positionOf(last.begin());
    check(pos.line == last.line() && pos.column == last.column(), "positionOf");
    return order;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::optional<Document> doc;
    try {
        doc.emplace(Document::parse(input, "fuzz"));
    } catch (const ParseError& e) {
        check(e.line() >= 1 && e.column() >= 1, "error position");
        return 0;
    }
    check(doc->render() == input, "unchanged document renders byte for byte");
    const Document again = doc->reparse();
    check(again.nodeCount() == doc->nodeCount() && again.render() == input, "re-read");
    const std::vector<Node> nodes = walk(*doc);

    // Atom rewrites keep the tree's shape, so every node can be compared with its counterpart.
    Document values = *doc;
    std::vector<std::string> expected(nodes.size());
    // In a file read leniently, the spelling of an atom glued to a ')' decides whether it opens a
    // list; such atoms are left as they are.
    const bool lenient = !doc->warnings().empty();
    const auto opensList = [&](const Node& node) { return lenient && input[node.begin() - 1] == ')'; };
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        if (nodes[i].isAtom()) {
            expected[i] = std::string(nodes[i].value());
            if (i % 3 == 0 && !opensList(nodes[i])) {
                expected[i] = input.substr(nodes[i].begin(), (i * 7) % 9);
                values.setAtom(nodes[i], expected[i]);
            }
        }
    }
    const Document valuesAgain = values.reparse();
    const std::vector<Node> valueNodes = walk(valuesAgain);
    check(valueNodes.size() == nodes.size(), "atom rewrites keep the shape");
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        check(valueNodes[i].isAtom() == nodes[i].isAtom(), "atom rewrites keep kinds");
        if (nodes[i].isAtom()) {
            check(valueNodes[i].value() == expected[i], "atom value reads back");
        }
    }

    // Insertions and removals: the text must read back with exactly the nodes added and removed.
    // In a file read leniently, new line breaks and lists can decide whether a keyword glued to a
    // ')' still closes on its line, so the count would change for reasons of its own: those files
    // are held to the checks above.
    if (lenient) {
        return 0;
    }
    Document shape = *doc;
    std::size_t count = nodes.size();
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        const Node node = nodes[i];
        if (node.isList() && i % 5 == 1) {
            shape.insertBefore(node, "(new \"x\\\"y\")");
            count += 3;
        } else if (node.isList() && i % 5 == 3 && node.size() == 0) {
            shape.remove(node);
            count -= 1;
        } else if (node.isAtom() && i % 7 == 2) {
            shape.insertLineAfter(node, "(line)");
            count += 2;
        }
    }
    check(walk(shape.reparse()).size() == count, "insertions and removals read back");
    return 0;
}
