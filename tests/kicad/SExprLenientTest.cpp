// Files that KiCad writes with a list's '(' missing, `(curved_edges no)filter_ratio 0.9)`: read on
// with a warning, rendered back byte for byte; every other early end of the root stays an error.
#include "pcbhost/kicad/SExpr.h"

#include <gtest/gtest.h>

using namespace pcbhost::sexpr;

namespace {

// Two pads in the shape KiCad 9.0 wrote teardrop settings in, with the stray keyword in the middle
// of the list and the settings that follow it still inside.
const std::string cPads = "(kicad_pcb\n"
                          "\t(footprint \"R\"\n"
                          "\t\t(pad \"1\" smd\n"
                          "\t\t\t(teardrops\n"
                          "\t\t\t\t(max_width 2)\n"
                          "\t\t\t\t(curved_edges no)filter_ratio 0.9)\n"
                          "\t\t\t(enabled yes)\n"
                          "\t\t\t(allow_two_segments yes)\n"
                          "\t\t)\n"
                          "\t\t(net 1 \"A\")\n"
                          "\t)\n"
                          "\t\t(pad \"2\" smd\n"
                          "\t\t\t(teardrops\n"
                          "\t\t\t\t(curved_edges no)filter_ratio 0.9)\n"
                          "\t\t\t(enabled no)\n"
                          "\t\t)\n"
                          "\t\t(net 2 \"B\")\n"
                          "\t)\n"
                          ")\n"
                          "(embedded_fonts no)\n"
                          ")\n";

std::string parseErrorText(const std::string& text) {
    try {
        Document::parse(text, "board.kicad_pcb", "kicad_pcb");
    } catch (const ParseError& e) {
        return e.what();
    }
    ADD_FAILURE() << "no error for: " << text;
    return {};
}

} // namespace

TEST(SExprLenient, MissingOpenParenIsReadAsKiCadReadsIt) {
    const Document doc = Document::parse(cPads, "board.kicad_pcb", "kicad_pcb");
    const Node root = doc.root();
    ASSERT_EQ(root.findAll("footprint").size(), 1u);
    EXPECT_TRUE(root.find("embedded_fonts")) << "the rest of the file stays in the root";

    const std::vector<Node> pads = root.find("footprint").findAll("pad");
    ASSERT_EQ(pads.size(), 2u);
    EXPECT_EQ(pads[0].find("net").valueAt(2), "A");
    EXPECT_EQ(pads[1].find("net").valueAt(2), "B");

    const Node teardrops = pads[0].find("teardrops");
    const Node ratio = teardrops.find("filter_ratio");
    ASSERT_TRUE(ratio);
    EXPECT_TRUE(ratio.unopened());
    EXPECT_FALSE(teardrops.unopened());
    EXPECT_DOUBLE_EQ(ratio.doubleAt(1), 0.9);
    EXPECT_EQ(ratio.text(), "filter_ratio 0.9)");
    EXPECT_EQ(ratio.line(), 6u);
    EXPECT_EQ(ratio.column(), 22u);
    EXPECT_EQ(teardrops.find("enabled").valueAt(1), "yes") << "settings after the stray keyword";
    EXPECT_EQ(pads[1].find("teardrops").find("enabled").valueAt(1), "no");

    ASSERT_EQ(doc.warnings().size(), 1u) << "one warning per keyword, not per place";
    const ParseWarning& warning = doc.warnings().front();
    EXPECT_EQ(warning.text(), "board.kicad_pcb:6:22: found 'filter_ratio 0.9)' without its '('; read as "
                              "'(filter_ratio 0.9)', as KiCad reads it (1 more like it in this file)");
    EXPECT_EQ(doc.render(), cPads);
}

TEST(SExprLenient, EditsOfALenientFileTouchOnlyTheirTokens) {
    Document doc = Document::parse(cPads, "board.kicad_pcb", "kicad_pcb");
    const std::vector<Node> pads = doc.root().find("footprint").findAll("pad");
    doc.setAtom(pads[0].find("net").atom(2), "B");
    doc.setAtom(pads[1].find("net").atom(2), "A");
    doc.setAtom(pads[0].find("teardrops").find("filter_ratio").atom(1), "0.5");

    std::string expected = cPads;
    expected.replace(expected.find("\"A\""), 3, "\"B\"");
    expected.replace(expected.rfind("\"B\""), 3, "\"A\"");
    expected.replace(expected.find("0.9"), 3, "0.5");
    EXPECT_EQ(doc.render(), expected);

    const Document again = doc.reparse();
    EXPECT_EQ(again.warnings().size(), 1u);
    const std::vector<Node> reread = again.root().find("footprint").findAll("pad");
    EXPECT_EQ(reread[0].find("net").valueAt(2), "B");
    EXPECT_EQ(reread[0].find("teardrops").find("filter_ratio").valueAt(1), "0.5");

    // A list inserted before the stray keyword keeps it glued: it still reads as a list.
    Document inserted = Document::parse(cPads, "board.kicad_pcb", "kicad_pcb");
    inserted.insertBefore(
        inserted.root().find("footprint").find("pad").find("teardrops").find("filter_ratio"),
        "(edge_ratio 1)");
    const Document insertedAgain = inserted.reparse();
    const Node teardrops = insertedAgain.root().find("footprint").find("pad").find("teardrops");
    EXPECT_TRUE(teardrops.find("edge_ratio"));
    EXPECT_TRUE(teardrops.find("filter_ratio").unopened());
    EXPECT_EQ(teardrops.find("enabled").valueAt(1), "yes");

    // Giving the list its '(' back makes the file well formed: no warning any more.
    Document mended = Document::parse(cPads, "board.kicad_pcb", "kicad_pcb");
    for (const Node pad : mended.root().find("footprint").findAll("pad")) {
        const Node ratio = pad.find("teardrops").find("filter_ratio");
        mended.splice(ratio.begin(), ratio.begin(), "(");
    }
    const Document wellFormed = mended.reparse();
    EXPECT_TRUE(wellFormed.warnings().empty());
    EXPECT_EQ(wellFormed.root().find("footprint").findAll("pad").size(), 2u);
}

TEST(SExprLenient, OtherEarlyEndsOfTheRootStayErrors) {
    // A well-formed file is never read leniently, even where a keyword follows a ')'.
    const Document plain = Document::parse("(a (b (c)d))", "x");
    EXPECT_TRUE(plain.warnings().empty());
    EXPECT_EQ(plain.root().find("b").size(), 3u);
    EXPECT_TRUE(plain.root().find("b")[2].isAtom());

    struct Case {
        const char* name;
        std::string text;
        std::string error; // after "board.kicad_pcb:"
    };
    // Each file below closes its root early; none is the shape KiCad writes.
    const std::string after = "expected end of file after the root list but found ";
    const Case cases[] = {
        {"a stray ')' with nothing missing", "(kicad_pcb\n (a 1))\n (b 2)\n)\n", "3:2: " + after + "'(b 2)'"},
        {"a keyword after whitespace is not glued", "(kicad_pcb\n (a (b 1) c 2))\n (d 1)\n)\n",
         "3:2: " + after + "'(d 1)'"},
        {"the glued word is quoted", "(kicad_pcb\n (a (b 1)\"c\" 2))\n (d 1)\n)\n",
         "3:2: " + after + "'(d 1)'"},
        {"the glued word is no keyword", "(kicad_pcb\n (a (b 1)Ratio 2))\n (d 1)\n)\n",
         "3:2: " + after + "'(d 1)'"},
        {"a list inside the unopened one", "(kicad_pcb\n (a (b 1)c (x) 2))\n (d 1)\n)\n",
         "3:2: " + after + "'(d 1)'"},
        {"the unopened list runs past its line", "(kicad_pcb\n (a (b 1)c 2\n ))\n (d 1)\n)\n",
         "4:2: " + after + "'(d 1)'"},
        {"one repair too few", "(kicad_pcb\n (a (b 1)c 2))\n (d (e 1) f 2))\n (g 1)\n)\n",
         "3:2: " + after + "'(d (e 1) f 2))'"},
        {"a surplus ')' besides the repair", "(kicad_pcb\n (a (b 1)c 2))\n)\n)\n", "3:1: " + after + "')'"},
        {"the repair leaves the root open", "(kicad_pcb\n (a (b 1)c 2))\n (d 1)\n",
         "3:2: " + after + "'(d 1)'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parseErrorText(c.text), "board.kicad_pcb:" + c.error);
    }
}
