// Editing through splices: quoting, layout of inserted text, removal, overlap rules, re-reading.
#include "pcbhost/kicad/SExpr.h"

#include <gtest/gtest.h>

#include <random>

using namespace pcbhost::sexpr;

namespace {

Document parse(std::string text) {
    return Document::parse(std::move(text), "edit.kicad_pcb");
}

// A KiCad 8 pad: tabs, one child per line.
const char* const kTabPad = "(footprint \"R\"\n"
                            "\t(pad \"1\" smd roundrect\n"
                            "\t\t(at 0 0)\n"
                            "\t\t(layers \"F.Cu\")\n"
                            "\t\t(uuid \"u1\")\n"
                            "\t)\n"
                            ")\n";

} // namespace

TEST(SExprEdit, SetAtomKeepsTheAtomsQuotingStyle) {
    Document doc = parse("(net 12 \"GND\" bare)");
    doc.setAtom(doc.root()[1], "7");
    doc.setAtom(doc.root()[2], "+3V3");
    doc.setAtom(doc.root()[3], "two words");
    EXPECT_EQ(doc.render(), "(net 7 \"+3V3\" \"two words\")");

    // A bare atom stays bare only when the value reads back as that same single atom.
    const std::pair<const char*, const char*> bare[] = {{"a#b", "a#b"},
                                                        {"back\\slash", "back\\slash"},
                                                        {"", "\"\""},
                                                        {"#hash", "\"#hash\""},
                                                        {"a(b", "\"a(b\""},
                                                        {"q\"q", "\"q\\\"q\""},
                                                        {"tab\tin", "\"tab\tin\""},
                                                        {"line\nbreak", "\"line\\nbreak\""}};
    for (const auto& [value, written] : bare) {
        Document one = parse("(v x)");
        one.setAtom(one.root()[1], value);
        EXPECT_EQ(one.render(), std::string("(v ") + written + ")");
    }
    Document forced = parse("(v x)");
    forced.setQuoted(forced.root()[1], "x");
    EXPECT_EQ(forced.render(), "(v \"x\")");
    EXPECT_THROW(forced.setAtom(forced.root(), "x"), std::invalid_argument);
}

TEST(SExprEdit, QuoteWritesWhatKicadWritesAndRoundTrips) {
    EXPECT_EQ(quote(""), "\"\"");
    EXPECT_EQ(quote("a\"b\\c\nd\re\tf"), "\"a\\\"b\\\\c\\nd\\re\tf\"");
    EXPECT_EQ(quote("/~{MR}"), "\"/~{MR}\"");

    // Any byte string survives writing and reading back, including NUL, lone backslashes and text
    // that looks like an escape.
    std::mt19937 random(20240108);
    std::string alphabet = "\\\"nrtx0178aF\n\r\t() #\xC3\xAD";
    alphabet += '\0';
    for (int round = 0; round < 500; ++round) {
        std::string value;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i) {
            value += alphabet[random() % alphabet.size()];
        }
        const std::string written = quote(value);
        ASSERT_EQ(unescape(std::string_view(written).substr(1, written.size() - 2)), value);
        Document doc = parse("(v x)");
        doc.setAtom(doc.root()[1], value);
        ASSERT_EQ(doc.reparse().root()[1].value(), value) << written;
    }
}

TEST(SExprEdit, InsertBeforeCopiesTheIndentationOfTheNextChild) {
    Document tabs = parse(kTabPad);
    const Node pad = tabs.root().require("pad");
    tabs.insertBefore(pad.require("uuid"), "(net 3 \"SDA\")");
    EXPECT_EQ(tabs.render(), "(footprint \"R\"\n"
                             "\t(pad \"1\" smd roundrect\n"
                             "\t\t(at 0 0)\n"
                             "\t\t(layers \"F.Cu\")\n"
                             "\t\t(net 3 \"SDA\")\n"
                             "\t\t(uuid \"u1\")\n"
                             "\t)\n"
                             ")\n");

    // KiCad 6 keeps several children on one line; the new child joins them with the same space.
    Document spaces = parse("(footprint \"R\"\n"
                            "  (pad \"1\" smd rect (at 0 0) (size 1 1) (layers \"F.Cu\")\n"
                            "    (pinfunction \"A\") (tstamp 5B30))\n"
                            ")");
    const Node pad6 = spaces.root().require("pad");
    spaces.insertBefore(pad6.require("pinfunction"), "(net 1 \"X\")");
    spaces.insertBefore(pad6.require("tstamp"), "(pintype \"input\")");
    EXPECT_EQ(spaces.render(), "(footprint \"R\"\n"
                               "  (pad \"1\" smd rect (at 0 0) (size 1 1) (layers \"F.Cu\")\n"
                               "    (net 1 \"X\")\n"
                               "    (pinfunction \"A\") (pintype \"input\") (tstamp 5B30))\n"
                               ")");

    // No whitespace before the node: single spaces keep the elements apart.
    Document tight = parse("(lib (name a)(type KiCad)x(y))");
    tight.insertBefore(tight.root()[2], "(uri x)");
    tight.insertBefore(tight.root()[4], "z");
    EXPECT_EQ(tight.render(), "(lib (name a)(uri x) (type KiCad)x z (y))");
    EXPECT_THROW(tight.insertBefore(tight.root(), "(x)"), std::invalid_argument);
}

TEST(SExprEdit, InsertLineAfterFollowsIndentationAndLineEndings) {
    Document v6 =
        parse("(kicad_pcb (version 20211014)\n\n  (net 0 \"\")\n  (net 1 \"GND\")\n\n  (footprint x)\n)");
    v6.insertLineAfter(v6.root().findAll("net").back(), "(net 2 \"VCC\")");
    EXPECT_EQ(v6.render(), "(kicad_pcb (version 20211014)\n\n  (net 0 \"\")\n  (net 1 \"GND\")\n  (net 2 "
                           "\"VCC\")\n\n  (footprint x)\n)");

    Document crlf = parse("(kicad_pcb\r\n\t(net 0 \"\")\r\n\t(net 1 \"GND\")\r\n)\r\n");
    crlf.insertLineAfter(crlf.root().findAll("net").back(), "(net 2 \"VCC\")");
    crlf.insertLineAfter(crlf.root().findAll("net").back(), "(net 3 \"VEE\")");
    EXPECT_EQ(crlf.render(), "(kicad_pcb\r\n\t(net 0 \"\")\r\n\t(net 1 \"GND\")\r\n\t(net 2 "
                             "\"VCC\")\r\n\t(net 3 \"VEE\")\r\n)\r\n");

    // A node that shares its line takes the indentation of the line it starts on.
    Document shared = parse("(a\n    (b) (c)\n)");
    shared.insertLineAfter(shared.root()[1], "(d)");
    EXPECT_EQ(shared.render(), "(a\n    (b)\n    (d) (c)\n)");

    Document after = parse("(a\n\t(b)\n\t(c))");
    after.insertAfter(after.root()[1], "(b2)");
    EXPECT_EQ(after.render(), "(a\n\t(b)\n\t(b2)\n\t(c))");
}

TEST(SExprEdit, RemoveTakesTheWhitespaceBeforeTheNode) {
    Document pad = parse(kTabPad);
    pad.remove(pad.root().require("pad").require("layers"));
    EXPECT_EQ(pad.render(), "(footprint \"R\"\n"
                            "\t(pad \"1\" smd roundrect\n"
                            "\t\t(at 0 0)\n"
                            "\t\t(uuid \"u1\")\n"
                            "\t)\n"
                            ")\n");

    // Atoms that would touch after the removal are kept apart, whether or not whitespace preceded.
    for (const char* text : {"(v a(b)c)", "(v a (b)c)"}) {
        Document fused = parse(text);
        fused.remove(fused.root()[2]);
        EXPECT_EQ(fused.render(), "(v a c)");
    }
    Document hash = parse("(v a ()#comment\n)");
    hash.remove(hash.root()[2]);
    EXPECT_EQ(hash.render(), "(v a #comment\n)");

    // The line break that ends a comment must stay, or the comment would swallow what follows.
    Document commented = parse("(v # note\n  (b))");
    commented.remove(commented.root()[1]);
    EXPECT_EQ(commented.render(), "(v # note\n)");
    EXPECT_EQ(commented.reparse().root().size(), 1u);
}

TEST(SExprEdit, OverlappingSplicesAreRejected) {
    Document doc = parse("(a (net 12 \"GND\") (x))");
    const Node net = doc.root()[1];
    doc.setAtom(net[1], "3");
    EXPECT_THROW(doc.setAtom(net[1], "4"), std::logic_error);    // the same atom twice
    EXPECT_THROW(doc.replace(net, "(net 0)"), std::logic_error); // a range holding an edit
    EXPECT_THROW(doc.splice(net[1].begin() + 1, net[1].begin() + 1, "x"), std::logic_error);

    // Insertions at the edges of a replaced range are well defined.
    doc.splice(net[1].begin(), net[1].begin(), "<");
    doc.splice(net[1].end(), net[1].end(), ">");
    doc.splice(net[1].begin(), net[1].begin(), "[");
    doc.setAtom(net[2], "VCC");
    EXPECT_EQ(doc.render(), "(a (net <[3> \"VCC\") (x))");

    Document inserted = parse("(a (b) (c))");
    inserted.splice(5, 5, "!");
    EXPECT_THROW(inserted.replace(inserted.root()[1], "(z)"), std::logic_error);

    EXPECT_THROW(doc.splice(3, 2, ""), std::out_of_range);
    EXPECT_THROW(doc.splice(0, doc.source().size() + 1, ""), std::out_of_range);
    const Document other = parse("(a (b))");
    EXPECT_THROW(doc.replace(other.root()[1], "(c)"), std::invalid_argument);
    EXPECT_THROW(doc.replace(Node(), "(c)"), std::invalid_argument);

    try {
        doc.setAtom(net[2], "X");
        FAIL();
    } catch (const std::logic_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("edit.kicad_pcb:1:12: edit overlaps", 0), 0u) << e.what();
    }

    doc.discardEdits();
    EXPECT_FALSE(doc.edited());
    EXPECT_EQ(doc.render(), doc.source());
    doc.setAtom(net[1], "4");
    EXPECT_EQ(doc.render(), "(a (net 4 \"GND\") (x))");
}

TEST(SExprEdit, CopiesEditIndependentlyAndReparseSeesTheEdits) {
    Document original = parse("(a (net 1 \"A\")\n  (net 2 \"B\"))");
    Document copy = original;
    copy.setAtom(copy.root()[2][2], "renamed");
    copy.insertLineAfter(copy.root()[2], "(net 3 \"C\")");
    EXPECT_FALSE(original.edited());
    EXPECT_EQ(original.render(), original.source());

    const Document next = copy.reparse();
    EXPECT_EQ(next.source(), copy.render());
    const std::vector<Node> nets = next.root().findAll("net");
    ASSERT_EQ(nets.size(), 3u);
    EXPECT_EQ(nets[1].valueAt(2), "renamed");
    EXPECT_EQ(nets[2].intAt(1), 3);
    EXPECT_EQ(nets[2].line(), 3u);
    EXPECT_EQ(nets[2].column(), 3u);
    EXPECT_FALSE(next.edited());

    Document broken = original;
    broken.replace(broken.root()[1], "(net 1 \"A\"");
    EXPECT_THROW(broken.reparse(), ParseError);
}
