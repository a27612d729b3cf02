// Reading: tree shape, source ranges and positions, atoms and their values, accessors.
#include "pcbhost/kicad/SExpr.h"

#include <gtest/gtest.h>

using namespace pcbhost::sexpr;

namespace {

Document parse(std::string text) {
    return Document::parse(std::move(text), "test.kicad_pcb");
}

template <typename F> ParseError errorFrom(F&& action) {
    try {
        action();
    } catch (const ParseError& e) {
        return e;
    }
    ADD_FAILURE() << "no ParseError";
    return ParseError("", 0, 0, "");
}

} // namespace

TEST(SExprRead, TreeShapeKeywordsAndLookups) {
    const Document doc = parse("(kicad_pcb (version 20240108) (net 0 \"\") (net 1 \"GND\")\n"
                               "  (footprint \"R\" locked (pad \"1\" smd (net 1 \"GND\")))\n"
                               "  hide (\"quoted\" x) ((inner) y) ())");
    const Node root = doc.root();
    EXPECT_EQ(root.keyword(), "kicad_pcb");
    EXPECT_EQ(root.size(), 9u);
    EXPECT_FALSE(root.parent());

    const std::vector<Node> nets = root.findAll("net");
    ASSERT_EQ(nets.size(), 2u);
    EXPECT_EQ(root.find("net"), nets[0]);
    EXPECT_EQ(nets[1].intAt(1), 1);
    EXPECT_EQ(nets[1].valueAt(2), "GND");
    EXPECT_EQ(nets[0].valueAt(2), "");
    EXPECT_EQ(root.require("version").intAt(1), 20240108);
    EXPECT_FALSE(root.find("pad")) << "lookups search direct children only";

    const Node footprint = root.require("footprint");
    EXPECT_EQ(footprint.indexInParent(), 4u);
    EXPECT_EQ(footprint[2].value(), "locked");
    EXPECT_EQ(footprint.require("pad").parent(), footprint);
    EXPECT_EQ(root[5].value(), "hide");
    EXPECT_FALSE(root[5].isQuoted());
    EXPECT_FALSE(root[9]);

    // Only a leading bare atom is a keyword.
    std::vector<std::string_view> keywords;
    for (const Node child : root.children()) {
        keywords.push_back(child.keyword());
    }
    EXPECT_EQ(keywords,
              (std::vector<std::string_view>{"", "version", "net", "net", "footprint", "", "", "", ""}));
}

TEST(SExprRead, RangesParenthesesAndPositions) {
    const std::string text = "(a\r\n  (b \"Ra\xC3\xADz\" 1.5)\r\n\t(c)) ";
    const Document doc = parse(text);
    const Node b = doc.root()[1];
    EXPECT_EQ(b.text(), "(b \"Ra\xC3\xADz\" 1.5)");
    EXPECT_EQ(doc.source().substr(b[1].begin(), b[1].end() - b[1].begin()), "\"Ra\xC3\xADz\"");
    EXPECT_EQ(text[b.openParen()], '(');
    EXPECT_EQ(text[b.closeParen()], ')');
    EXPECT_EQ(doc.root().closeParen(), text.size() - 2);

    // CR is not a line break of its own; columns count bytes, so the UTF-8 name shifts `1.5`.
    const auto at = [](Node n) { return std::make_pair(n.line(), n.column()); };
    EXPECT_EQ(at(b), std::make_pair(2u, 3u));
    EXPECT_EQ(at(b[1]), std::make_pair(2u, 6u));
    EXPECT_EQ(at(b[2]), std::make_pair(2u, 14u));
    EXPECT_EQ(at(doc.root()[2]), std::make_pair(3u, 2u));
    const Document::Position close = doc.positionOf(doc.root().closeParen());
    EXPECT_EQ(std::make_pair(close.line, close.column), std::make_pair(3u, 5u));
    EXPECT_EQ(doc.lineEnding(), "\r\n");
}

TEST(SExprRead, BareAtomsCommentsAndByteOrderMark) {
    const std::string text = "\xEF\xBB\xBF# header\n(layers *.Cu F&B.Cu 0x00210f8_ffffffff a#b \\ # note (\n"
                             "  \"q\"tail(x)y \"#quoted\")\n# trailer";
    const Document doc = parse(text);
    std::vector<std::string_view> texts;
    for (const Node child : doc.root().children()) {
        texts.push_back(child.text());
    }
    EXPECT_EQ(texts, (std::vector<std::string_view>{"layers", "*.Cu", "F&B.Cu", "0x00210f8_ffffffff", "a#b",
                                                    "\\", "\"q\"", "tail", "(x)", "y", "\"#quoted\""}));
    EXPECT_EQ(doc.root().line(), 2u);
    EXPECT_EQ(doc.render(), text);
}

TEST(SExprRead, QuotedAtomsKeepRawTextAndDecodeEscapes) {
    const std::pair<std::string_view, std::string> cases[] = {
        {R"("")", ""},
        {R"("/~{RST} ${REFERENCE}")", "/~{RST} ${REFERENCE}"},
        {R"("say \"hi\" back\\slash\\")", "say \"hi\" back\\slash\\"},
        {R"("a\nb\rc\td")", "a\nb\rc\td"},
        {R"("\x41\x4a\x4 \x4142")", "AJ\x04 A42"},
        {R"("\101\60\0x \1011")", std::string("A0\0x A1", 7)},
        // Escapes this reader does not know are kept byte for byte.
        {R"x("\q\xZ\777\)")x", "\\q\\xZ\\777\\)"},
        {"\"tab\there\"", "tab\there"},
    };
    for (const auto& [raw, decoded] : cases) {
        SCOPED_TRACE(raw);
        const Document doc = parse("(v " + std::string(raw) + ")");
        const Node atom = doc.root()[1];
        EXPECT_TRUE(atom.isQuoted());
        EXPECT_EQ(atom.text(), raw);
        EXPECT_EQ(atom.value(), decoded);
        EXPECT_EQ(unescape(raw.substr(1, raw.size() - 2)), decoded);
    }
}

TEST(SExprRead, NumbersParseOrFailWithTheirLocation) {
    const Document doc =
        parse("(n 1.5 -90 +3 15.000000 1e3\n  abc 1.5x inf nan \"\" 99999999999999999999 0x10)");
    const Node n = doc.root();
    EXPECT_EQ(
        (std::vector<double>{n.doubleAt(1), n.doubleAt(2), n.doubleAt(3), n.doubleAt(4), n.doubleAt(5)}),
        (std::vector<double>{1.5, -90, 3, 15, 1000}));
    EXPECT_EQ(n.intAt(2), -90);
    EXPECT_EQ(n.intAt(3), 3);
    EXPECT_THROW(n.intAt(1), ParseError);
    // Hexadecimal masks and timestamps are not numbers in these files.
    for (const std::size_t bad : {6, 7, 8, 9, 10, 12}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(n.doubleAt(bad), ParseError);
        EXPECT_THROW(n.intAt(bad), ParseError);
    }
    EXPECT_STREQ(errorFrom([&] { n.doubleAt(7); }).what(),
                 "test.kicad_pcb:2:7: expected a number but found '1.5x'");
    const ParseError range = errorFrom([&] { n.intAt(11); });
    EXPECT_EQ(std::make_pair(range.line(), range.column()), std::make_pair(2u, 23u));
    EXPECT_EQ(range.message(), "integer out of range: '99999999999999999999'");
}

TEST(SExprRead, AccessorErrorsPointAtTheProblem) {
    const Document doc = parse("(pad \"1\"\n  (net)\n  (at (x) 2))");
    const Node pad = doc.root();
    // A missing element is reported where it should have been: before the closing parenthesis.
    EXPECT_STREQ(errorFrom([&] { pad.require("net").atom(1); }).what(),
                 "test.kicad_pcb:2:7: expected an atom at index 1 of (net)");
    EXPECT_STREQ(errorFrom([&] { pad.require("at").atom(1); }).what(),
                 "test.kicad_pcb:3:7: expected an atom at index 1 of (at ...) but found (x)");
    EXPECT_STREQ(errorFrom([&] { pad.require("uuid"); }).what(),
                 "test.kicad_pcb:1:1: expected (uuid ...) in (pad ...)");
    EXPECT_STREQ(errorFrom([&] { (void)pad.value(); }).what(),
                 "test.kicad_pcb:1:1: expected an atom but found (pad ...)");
    EXPECT_STREQ(pad[1].error("bad pad number").what(), "test.kicad_pcb:1:6: bad pad number");
    EXPECT_EQ(pad[2].location(), "test.kicad_pcb:2:3");
    EXPECT_THROW(Node().begin(), std::logic_error);
    EXPECT_THROW(Node().keyword(), std::logic_error);
    EXPECT_THROW(Node()[0], std::logic_error);
    EXPECT_THROW(Node().children(), std::logic_error);

    // Nodes stay usable when their document is moved or copied.
    Document original = parse("(a (b \"x\\\"y\"))");
    const Node atom = original.root()[1][1];
    const Document moved = std::move(original);
    EXPECT_EQ(atom.value(), "x\"y");
    EXPECT_EQ(Document(moved).root()[1][1], atom);
}
