// The reader and editor on the real KiCad 7 and 8 projects in the shared boards folder.
#include "pcbhost/kicad/FileIO.h"
#include "pcbhost/kicad/SExpr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <random>

using namespace pcbhost::sexpr;
namespace fs = std::filesystem;

namespace {

const fs::path kBoards = fs::path(PERMUTOR_SHARED_DIR) / "boards";

// The root keyword each kind of s-expression file must have.
std::string rootKeywordOf(const fs::path& path) {
    static const std::map<std::string, std::string> byName = {
        {".kicad_pcb", "kicad_pcb"},        {".kicad_sch", "kicad_sch"},
        {".kicad_sym", "kicad_symbol_lib"}, {"fp-lib-table", "fp_lib_table"},
        {"sym-lib-table", "sym_lib_table"},
    };
    const auto byExtension = byName.find(path.extension().string());
    if (byExtension != byName.end()) {
        return byExtension->second;
    }
    const auto byFile = byName.find(path.filename().string());
    return byFile == byName.end() ? std::string() : byFile->second;
}

std::vector<fs::path> sharedSExprFiles() {
    std::vector<fs::path> files;
    if (!fs::is_directory(kBoards)) {
        return files;
    }
    for (const auto& entry : fs::recursive_directory_iterator(kBoards)) {
        if (entry.is_regular_file() && !rootKeywordOf(entry.path()).empty()) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

fs::path boardFile(std::string_view relative) {
    return kBoards / relative;
}
const char* const kGlasgowPcb = "glasgow/hardware/boards/glasgow/glasgow.kicad_pcb"; // KiCad 8
const char* const kEurorackPcb = "eurorack-pmod/hardware/eurorack-pmod-r3.3/eurorack-pmod-pcb.kicad_pcb"; // 7

// Walks the tree in source order and checks what the editor relies on: ranges that hold exactly
// the node's text, children in order inside their parent, and positions that agree with the bytes.
void checkTreeAgainstBytes(const Document& doc) {
    const std::string_view bytes = doc.source();
    std::size_t cursor = 0;
    std::uint32_t line = 1;
    std::size_t lineStart = 0;
    std::size_t visited = 0;
    std::vector<Node> stack{doc.root()};
    while (!stack.empty()) {
        const Node node = stack.back();
        stack.pop_back();
        ++visited;
        ASSERT_LT(node.begin(), node.end());
        ASSERT_GE(node.begin(), cursor) << node.location();
        for (; cursor < node.begin(); ++cursor) {
            if (bytes[cursor] == '\n') {
                ++line;
                lineStart = cursor + 1;
            }
        }
        ASSERT_EQ(node.line(), line);
        ASSERT_EQ(node.column(), node.begin() - lineStart + 1);
        const std::string_view text = node.text();
        if (node.isList()) {
            ASSERT_EQ(text.front(), '(');
            ASSERT_EQ(text.back(), ')');
            std::uint32_t previousEnd = node.begin() + 1;
            for (const Node child : node.children()) {
                ASSERT_EQ(child.parent(), node);
                ASSERT_GE(child.begin(), previousEnd);
                previousEnd = child.end();
            }
            ASSERT_LE(previousEnd, node.closeParen());
            for (std::size_t i = node.size(); i-- > 0;) {
                stack.push_back(node[i]);
            }
        } else if (node.isQuoted()) {
            ASSERT_EQ(text.front(), '"');
            ASSERT_EQ(text.back(), '"');
            if (text.find('\\') == std::string_view::npos) {
                ASSERT_EQ(node.value(), text.substr(1, text.size() - 2));
            }
        } else {
            ASSERT_EQ(node.value(), text);
            ASSERT_EQ(text.find_first_of(" \t\r\n()\""), std::string_view::npos);
        }
    }
    EXPECT_EQ(visited, doc.nodeCount());
}

// `edited` must equal `original` everywhere except the ranges that were deliberately changed.
void expectOnlyChanged(std::string_view original, std::string_view edited,
                       std::vector<std::pair<std::size_t, std::size_t>> changed,
                       const std::vector<std::string>& replacements) {
    std::size_t from = 0;
    std::size_t to = 0;
    for (std::size_t i = 0; i < changed.size(); ++i) {
        const auto [begin, end] = changed[i];
        ASSERT_EQ(original.substr(from, begin - from), edited.substr(to, begin - from));
        to += begin - from;
        ASSERT_EQ(edited.substr(to, replacements[i].size()), replacements[i]);
        to += replacements[i].size();
        from = end;
    }
    ASSERT_EQ(original.substr(from), edited.substr(to));
}

// A node's address as element indices from the root; edits that only change atoms or add elements
// after it leave the address valid in the re-read document.
std::vector<std::size_t> pathOf(Node node) {
    std::vector<std::size_t> path;
    for (; node.parent(); node = node.parent()) {
        path.insert(path.begin(), node.indexInParent());
    }
    return path;
}

Node nodeAt(const Document& doc, const std::vector<std::size_t>& path) {
    Node node = doc.root();
    for (const std::size_t index : path) {
        node = node[index];
    }
    return node;
}

// The whitespace between a node and the element before it.
std::string_view gapBefore(Node node) {
    const Node previous = node.parent()[node.indexInParent() - 1];
    return node.parent().text().substr(previous.end() - node.parent().begin(), node.begin() - previous.end());
}

// The first pad of any footprint that satisfies `wanted`; fails the test when there is none.
template <typename Predicate> Node firstPad(const Document& doc, Predicate wanted) {
    for (const Node footprint : doc.root().findAll("footprint")) {
        for (const Node pad : footprint.findAll("pad")) {
            if (wanted(pad)) {
                return pad;
            }
        }
    }
    ADD_FAILURE() << "no such pad in " << doc.fileName();
    return doc.root();
}

class SharedFile : public testing::TestWithParam<fs::path> {};

} // namespace

TEST(SExprBoards, SharedBoardsArePresent) {
    // Guards the parameterised test below against silently running on nothing.
    EXPECT_GE(sharedSExprFiles().size(), 10u) << "no KiCad files under " << kBoards;
}

TEST_P(SharedFile, ParsesAndRendersByteForByte) {
    const fs::path& path = GetParam();
    const Document doc = Document::load(path, rootKeywordOf(path));
    const std::string original = readFile(path);
    EXPECT_EQ(doc.source(), original);
    EXPECT_EQ(doc.render(), original);
    checkTreeAgainstBytes(doc);
}

INSTANTIATE_TEST_SUITE_P(AllSharedFiles, SharedFile, testing::ValuesIn(sharedSExprFiles()),
                         [](const testing::TestParamInfo<fs::path>& info) {
                             std::string name = fs::relative(info.param, kBoards).string();
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

TEST(SExprBoards, NetChangesTouchOnlyTheirTokens) {
    for (const char* relative : {kGlasgowPcb, kEurorackPcb}) {
        SCOPED_TRACE(relative);
        Document doc = Document::load(boardFile(relative), "kicad_pcb");
        const Node target = doc.root().findAll("net").back();
        const Node padNet = firstPad(doc, [&](Node pad) {
                                const Node net = pad.find("net");
                                return net && net.intAt(1) != target.intAt(1);
                            }).require("net");
        const std::vector<Node> segments = doc.root().findAll("segment");
        ASSERT_FALSE(segments.empty());
        const Node segmentNet = segments[segments.size() / 2].require("net");
        ASSERT_EQ(segmentNet.size(), 2u);
        ASSERT_LT(padNet.end(), segmentNet.begin());

        const std::string name(target.valueAt(2));
        const std::string ordinal = std::to_string(segmentNet.intAt(1) + 1);
        doc.setAtom(padNet[1], target.valueAt(1));
        doc.setAtom(padNet[2], name);
        doc.setAtom(segmentNet[1], ordinal);
        expectOnlyChanged(doc.source(), doc.render(),
                          {{padNet[1].begin(), padNet[1].end()},
                           {padNet[2].begin(), padNet[2].end()},
                           {segmentNet[1].begin(), segmentNet[1].end()}},
                          {std::string(target.valueAt(1)), quote(name), ordinal});

        const Document again = doc.reparse();
        EXPECT_EQ(again.nodeCount(), doc.nodeCount());
        EXPECT_EQ(nodeAt(again, pathOf(padNet)).intAt(1), target.intAt(1));
        EXPECT_EQ(nodeAt(again, pathOf(padNet)).valueAt(2), name);
        EXPECT_EQ(nodeAt(again, pathOf(segmentNet)).valueAt(1), ordinal);
    }
}

TEST(SExprBoards, SymbolPropertyValueIsEscapedAndRoundTrips) {
    const fs::path path = boardFile("glasgow/hardware/boards/glasgow/glasgow.kicad_sch");
    Document doc = Document::load(path, "kicad_sch");
    Node property;
    for (const Node symbol : doc.root().findAll("symbol")) {
        for (const Node candidate : symbol.findAll("property")) {
            if (candidate.valueAt(1) == "Value") {
                property = candidate;
                break;
            }
        }
        if (property) {
            break;
        }
    }
    ASSERT_TRUE(property);
    const std::string value = "10k \"1%\" C:\\path\nsecond line";
    doc.setAtom(property[2], value);
    const std::string edited = doc.render();
    expectOnlyChanged(doc.source(), edited, {{property[2].begin(), property[2].end()}},
                      {"\"10k \\\"1%\\\" C:\\\\path\\nsecond line\""});
    const Document again = doc.reparse();
    EXPECT_EQ(again.nodeCount(), doc.nodeCount());
    const Node reread = nodeAt(again, pathOf(property));
    EXPECT_EQ(reread.valueAt(1), "Value");
    EXPECT_EQ(reread.valueAt(2), value);
}

TEST(SExprBoards, UnconnectedPadGetsANewNetLaidOutLikeItsSiblings) {
    for (const char* relative : {kGlasgowPcb, kEurorackPcb}) {
        SCOPED_TRACE(relative);
        Document doc = Document::load(boardFile(relative), "kicad_pcb");
        const std::vector<Node> table = doc.root().findAll("net");
        const Node last = table.back();
        const std::int64_t ordinal = last.intAt(1) + 1;
        const std::string entry = "(net " + std::to_string(ordinal) + " \"/new net\")";

        const Node pad = firstPad(doc, [](Node pad) { return !pad.find("net") && pad.valueAt(1) != ""; });
        Node before;
        for (const char* keyword :
             {"pinfunction", "pintype", "zone_connect", "options", "primitives", "uuid", "tstamp"}) {
            if ((before = pad.find(keyword))) {
                break;
            }
        }
        ASSERT_TRUE(before);
        doc.insertLineAfter(last, entry);
        doc.insertBefore(before, entry);

        const Document again = doc.reparse();
        const std::vector<Node> newTable = again.root().findAll("net");
        ASSERT_EQ(newTable.size(), table.size() + 1);
        const Node added = newTable.back();
        EXPECT_EQ(added.intAt(1), ordinal);
        EXPECT_EQ(added.valueAt(2), "/new net");
        EXPECT_EQ(added.line(), last.line() + 1);
        EXPECT_EQ(added.column(), last.column());

        // The new net takes the place of `before`, which moves one on.
        std::vector<std::size_t> padPath = pathOf(pad);
        ASSERT_GT(padPath[0], last.indexInParent());
        ++padPath[0]; // the footprint follows the net table, which grew by one
        const Node newPad = nodeAt(again, padPath);
        const Node padNet = newPad[before.indexInParent()];
        EXPECT_EQ(padNet.text(), entry);
        const Node follower = newPad[before.indexInParent() + 1];
        EXPECT_EQ(follower.text(), before.text());
        EXPECT_EQ(gapBefore(padNet), gapBefore(before));
        EXPECT_EQ(gapBefore(follower), gapBefore(before));
    }
}

// Reading only the edited stretches of a file must give the elements a full re-read gives, for any
// mix of edits at any depth: renamed atoms, removed elements and children, lines and text inserted
// inside elements and in the gaps between them.
TEST(SExprBoards, EditedElementsReadAsTheWholeRenderedFileDoes) {
    const std::vector<const char*> sheets = {
        "pico-ice/Board/Rev3/pico-ice.kicad_sch",
        "glasgow/hardware/boards/glasgow/io_banks.kicad_sch",
        "eurorack-pmod/hardware/eurorack-pmod-r3.3/power_conn.kicad_sch",
    };
    std::mt19937 random(7);
    for (const char* sheet : sheets) {
        const Document original = Document::load(boardFile(sheet), "kicad_sch");
        std::vector<Node> nodes;
        std::vector<Node> pending = {original.root()};
        while (!pending.empty()) {
            const Node node = pending.back();
            pending.pop_back();
            nodes.push_back(node);
            for (Node child : node.children()) {
                pending.push_back(child);
            }
        }
        const std::vector<Node> elements(original.root().children().begin(),
                                         original.root().children().end());
        for (int round = 0; round < 24; ++round) {
            SCOPED_TRACE(std::string(sheet) + ", round " + std::to_string(round));
            Document doc = original;
            const int edits = round < 4 ? 1 : int(random() % 40) + 1;
            if (round % 5 == 1) {
                // Into the gap after the last element, before the file's closing parenthesis.
                const std::size_t close = original.root().end() - 1;
                doc.splice(close, close, "  (junction (at 9 9))\n");
            }
            for (int e = 0; e < edits; ++e) {
                // Half the edits on whole elements, half anywhere in the tree.
                const Node node = random() % 2 ? elements[1 + random() % (elements.size() - 1)]
                                               : nodes[1 + random() % (nodes.size() - 1)];
                if (node == original.root()[0]) {
                    continue; // the file's own keyword
                }
                try {
                    switch (random() % 6) {
                    case 0:
                        if (node.isAtom()) {
                            doc.setQuoted(node, "renamed " + std::to_string(e));
                        }
                        break;
                    case 1:
                        doc.remove(node);
                        break;
                    case 2:
                        doc.insertLineAfter(node, "(label \"N" + std::to_string(e) + "\" (at 1 2 0))");
                        break;
                    case 3:
                        doc.insertBefore(node, "(junction (at 3 4))");
                        break;
                    case 4:
                        // Into the gap before a node, touching neither neighbour.
                        if (node.begin() >= 2 && doc.source()[node.begin() - 1] == '\n' &&
                            doc.source()[node.begin() - 2] == '\n')
                            doc.splice(node.begin() - 1, node.begin() - 1, "(no_connect (at 5 6))\n");
                        else
                            doc.insertAfter(node, "(wire (pts (xy 0 0) (xy 1 1)))");
                        break;
                    default:
                        doc.replace(node, node.isList() ? "(bus (pts (xy 7 8)))" : "swapped");
                        break;
                    }
                } catch (const std::logic_error&) {
                    // overlaps an earlier edit: left out
                }
            }
            std::optional<Document> pieces;
            const std::vector<Node> read = doc.editedElements(pieces);
            const Document whole = doc.reparse();
            ASSERT_EQ(read.size(), whole.root().size());
            std::size_t own = 0;
            for (std::size_t k = 0; k < read.size(); ++k) {
                ASSERT_EQ(read[k].text(), whole.root()[k].text()) << "element " << k;
                own += read[k].key().first == original.root().key().first;
            }
            if (doc.edited()) {
                ASSERT_TRUE(pieces.has_value());
            }
            // Few edits leave most elements as they were read.
            if (doc.spliceCount() == 1) {
                EXPECT_GE(own + 3, read.size());
            }
        }
    }

    // An edit outside the root list, and one that makes a stretch unreadable.
    Document doc = Document::load(boardFile(sheets[0]), "kicad_sch");
    doc.splice(doc.source().size(), doc.source().size(), "\n");
    std::optional<Document> pieces;
    EXPECT_EQ(doc.editedElements(pieces).size(), doc.root().size());
    doc.discardEdits();
    doc.replace(doc.root()[5], "(wire (pts (xy 0 0)");
    EXPECT_THROW(doc.editedElements(pieces), ParseError);
}
