// Malformed files: every error names the file, the 1-based line and column, and what was expected.
#include "pcbhost/kicad/SExpr.h"

#include <gtest/gtest.h>

#include <system_error>

using namespace pcbhost::sexpr;

namespace {

struct Malformed {
    const char* name;
    std::string text;
    std::uint32_t line;
    std::uint32_t column;
    const char* message; // the start of the expected message
};

ParseError parseError(const std::string& text, std::string_view root = {}) {
    try {
        Document::parse(text, "board.kicad_pcb", root);
    } catch (const ParseError& e) {
        return e;
    }
    ADD_FAILURE() << "no error for: " << text;
    return ParseError("", 0, 0, "");
}

} // namespace

TEST(SExprErrors, MalformedInputsAreLocated) {
    const Malformed cases[] = {
        {"empty file", "", 1, 1, "expected '(' but the file is empty"},
        {"only whitespace", "  \n\t \n", 3, 1, "expected '(' but the file is empty"},
        {"only a comment", "# nothing\n", 2, 1, "expected '(' but the file is empty"},
        {"truncated", "(kicad_pcb\n  (net 1 \"A\")\n  (net 2", 3, 9,
         "expected ')' before end of file (the list '(net 2' opened at line 3, column 3 is not closed)"},
        {"missing close at end", "(a\n  (b c)\n", 3, 1, "expected ')' before end of file (the list '(a'"},
        {"unterminated string before line end", "(a\n  (b \"x)\n)", 2, 6,
         "unterminated string: expected '\"' before end of line"},
        {"unterminated string at end of file", "(a \"x", 1, 4,
         "unterminated string: expected '\"' before end of file"},
        {"escaped quote does not close", "(a \"x\\\")", 1, 4,
         "unterminated string: expected '\"' before end of file"},
        {"backslash before line break", "(a \"x\\\n\")", 1, 4,
         "unterminated string: expected '\"' before end of line"},
        {"second root list", "(a)\n(b)", 2, 1, "expected end of file after the root list but found '(b)'"},
        {"extra close", "(a (b)))\n", 1, 8, "expected end of file after the root list but found ')'"},
        {"junk after root", "(a) junk", 1, 5, "expected end of file after the root list but found 'junk'"},
        {"string after root", "(a)\n  \"s\"", 2, 3,
         "expected end of file after the root list but found '\"s\"'"},
        {"junk before root", "junk (a)", 1, 1, "expected '(' at the start of the file but found 'junk'"},
        {"close before root", "\n )", 2, 2, "expected '(' at the start of the file but found ')'"},
        {"CRLF lines", "(a\r\n  (b\r\n", 3, 1, "expected ')' before end of file (the list '(b'"},
    };
    for (const Malformed& c : cases) {
        SCOPED_TRACE(c.name);
        const ParseError e = parseError(c.text);
        EXPECT_EQ(e.file(), "board.kicad_pcb");
        EXPECT_EQ(e.line(), c.line);
        EXPECT_EQ(e.column(), c.column);
        EXPECT_EQ(e.message().rfind(c.message, 0), 0u) << e.message();
        const std::string prefix =
            "board.kicad_pcb:" + std::to_string(c.line) + ":" + std::to_string(c.column) + ": " + c.message;
        EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
    }
}

TEST(SExprErrors, WrongRootKeywordIsReportedFirst) {
    EXPECT_STREQ(parseError("(kicad_sch (version 20231120))", "kicad_pcb").what(),
                 "board.kicad_pcb:1:1: expected (kicad_pcb ...) but found (kicad_sch");
    // Reported even when the rest of the file is damaged: the wrong file is the real problem.
    EXPECT_STREQ(parseError("\n (kicad_sch (version", "kicad_pcb").what(),
                 "board.kicad_pcb:2:2: expected (kicad_pcb ...) but found (kicad_sch");
    EXPECT_EQ(parseError("(\"kicad_pcb\")", "kicad_pcb").message(),
              "expected (kicad_pcb ...) but found (\"kicad_pcb\"");
    EXPECT_EQ(parseError("((kicad_pcb))", "kicad_pcb").message(), "expected (kicad_pcb ...) but found ((");
    EXPECT_EQ(parseError("()", "kicad_pcb").message(), "expected (kicad_pcb ...) but found ()");
    EXPECT_EQ(parseError("(kicad_pcbx)", "kicad_pcb").message(),
              "expected (kicad_pcb ...) but found (kicad_pcbx");

    EXPECT_NO_THROW(Document::parse("(kicad_pcb (version 1))", "x", "kicad_pcb"));
    EXPECT_NO_THROW(Document::parse("()", "x"));
}

TEST(SExprErrors, DeepNestingIsNotARecursionLimit) {
    const std::size_t depth = 200000;
    std::string text(depth, '(');
    text += std::string(depth, ')');
    const Document doc = Document::parse(text, "deep");
    EXPECT_EQ(doc.nodeCount(), depth);
    EXPECT_EQ(doc.render(), text);
    text.pop_back();
    EXPECT_EQ(parseError(text).line(), 1u);
}

TEST(SExprErrors, LoadNamesTheFile) {
    try {
        Document::load("/nonexistent-folder/board.kicad_pcb");
        FAIL();
    } catch (const std::system_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent-folder/board.kicad_pcb"), std::string::npos);
    }
}

TEST(SExprErrors, WhatAFileHoldsIsQuotedPrintable) {
    // Well-formed UTF-8 and tabs stay; control bytes, DEL, stray continuation bytes, overlong
    // forms, surrogates and truncated sequences become \xHH.
    EXPECT_EQ(printable("R1 µF ±5% 電\t"), "R1 µF ±5% 電\t");
    EXPECT_EQ(printable(std::string("a\0b\x1b[m\x7f", 7)), "a\\x00b\\x1B[m\\x7F");
    EXPECT_EQ(printable("\x80x"), "\\x80x");
    EXPECT_EQ(printable("\xc0\xaf"), "\\xC0\\xAF");
    EXPECT_EQ(printable("\xed\xa0\x80"), "\\xED\\xA0\\x80");
    EXPECT_EQ(printable("\xe2\x82"), "\\xE2\\x82");
    EXPECT_EQ(printable("\xf4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80");
    EXPECT_EQ(printable("\xf0\x9f\x98\x80"), "\xf0\x9f\x98\x80");
    // A binary file read as a board: the message quotes it printable.
    const ParseError e = parseError(std::string("\x7f"
                                                "ELF\x02\x01\x01\0",
                                                8));
    EXPECT_NE(std::string(e.what()).find("'\\x7FELF\\x02\\x01\\x01\\x00'"), std::string::npos) << e.what();
}
