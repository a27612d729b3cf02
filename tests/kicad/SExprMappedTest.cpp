// Large files are mapped rather than copied into memory, and their pages are handed back to the
// file cache once read or written: the document must read, locate, edit and write exactly as one
// read into memory does, before and after its pages go.
#include "pcbhost/kicad/FileIO.h"
#include "pcbhost/kicad/SExpr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace pcbhost::sexpr;
namespace fs = std::filesystem;

namespace {

class MappedFile : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "sexpr-mapped-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        // A sheet past the size from which files are mapped: labels, a long quoted field with
        // escapes, a comment, CRLF line ends in one stretch and a missing '(' KiCad writes.
        std::string text = "(kicad_sch (version 20231120)\n";
        text += "  (property \"Long\" \"" + std::string(300000, 'x') + "\\\"end\")\n";
        for (int i = 0; text.size() < (std::size_t(17) << 20); ++i) {
            text += "  (label \"N" + std::to_string(i) + "\" (at " + std::to_string(i % 500) + " " +
                    std::to_string(i / 500) + " 0) (uuid \"u-" + std::to_string(i) + "\"))";
            text += i % 1000 == 7 ? "\r\n" : "\n";
        }
        text += "  # a comment (not a list\n";
        text += "  (setup (curved_edges no)filter_ratio 0.9)\n  )\n";
        text += "  (label \"LAST\" (at 1 2 0))\n)\n";
        bytes_ = text;
        path_ = dir_ / "big.kicad_sch";
        std::ofstream(path_, std::ios::binary) << bytes_;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_, path_;
    std::string bytes_;
};

// Line and column of an offset, counted the plain way.
std::pair<std::uint32_t, std::uint32_t> positionIn(const std::string& text, std::size_t offset) {
    const auto line =
        std::uint32_t(std::count(text.begin(), text.begin() + std::ptrdiff_t(offset), '\n') + 1);
    const std::size_t start = text.rfind('\n', offset == 0 ? 0 : offset - 1);
    const std::size_t column = start == std::string::npos || offset == 0 ? offset + 1 : offset - start;
    return {line, std::uint32_t(column)};
}

TEST_F(MappedFile, ReadsLocatesEditsAndWritesAsAFileReadIntoMemory) {
    const Document mapped = Document::load(path_, "kicad_sch");
    const Document read = Document::parse(readFile(path_), path_.string(), "kicad_sch");
    ASSERT_EQ(mapped.source(), bytes_);
    ASSERT_EQ(mapped.nodeCount(), read.nodeCount());
    ASSERT_EQ(mapped.warnings().size(), 1u); // the missing '('
    EXPECT_EQ(mapped.warnings()[0].text(), read.warnings()[0].text());

    // Each element as the in-memory reading has it, before and after the pages are let go.
    auto compare = [&](const char* when) {
        const auto ca = mapped.root().children(), cb = read.root().children();
        const std::vector<Node> a(ca.begin(), ca.end()), b(cb.begin(), cb.end());
        ASSERT_EQ(a.size(), b.size()) << when;
        for (std::size_t i = 0; i < a.size(); i += 997) {
            EXPECT_EQ(a[i].text(), b[i].text()) << when << " element " << i;
            EXPECT_EQ(a[i].keyword(), b[i].keyword()) << when;
        }
        const Node last = a.back();
        EXPECT_EQ(last.valueAt(1), "LAST") << when;
        const auto [line, column] = positionIn(bytes_, last.begin());
        EXPECT_EQ(last.line(), line) << when;
        EXPECT_EQ(last.column(), column) << when;
        EXPECT_EQ(last.location(), b.back().location()) << when;
        const Node field = mapped.root().find("property");
        EXPECT_EQ(field.valueAt(2), std::string(300000, 'x') + "\"end") << when;
    };
    compare("as read");
    mapped.releaseSource();
    compare("after the pages went back");
    mapped.releaseSource(mapped.root().find("property").text());
    mapped.releaseSource(std::string_view("not from the file")); // ignored
    compare("after one field's pages went back");

    // The same edits give the same text, whether rendered whole or written piece by piece (which
    // lets pages go behind it), and writing does not disturb the document.
    Document a = mapped, b = read;
    for (Document* doc : {&a, &b}) {
        const auto labels = doc->root().findAll("label");
        doc->setAtom(labels[3][1], "RENAMED");
        doc->remove(labels[40000]);
        doc->insertLineAfter(labels.back(), "(label \"ADDED\" (at 5 5 0))");
    }
    const std::string expected = b.render();
    ASSERT_NE(expected, bytes_);
    std::string pieces;
    std::size_t count = 0;
    a.write([&](std::string_view piece) {
        pieces += piece;
        ++count;
    });
    EXPECT_EQ(pieces, expected);
    EXPECT_GT(count, 6u); // the file's own bytes go out in slices
    EXPECT_EQ(a.render(), expected);
    compare("after writing");
    EXPECT_EQ(a.reparse().render(), expected);
}

TEST_F(MappedFile, StaysAsReadWhenTheFileIsReplaced) {
    const Document doc = Document::load(path_, "kicad_sch");
    const std::string before(doc.source());
    doc.releaseSource();
    // A save puts a new file in the old one's place; the document goes on reading what it read.
    writeFileAtomically(path_, "(kicad_sch (version 1))\n", false);
    EXPECT_EQ(doc.source(), before);
    EXPECT_EQ(doc.root().children().size(),
              Document::parse(before, "x", "kicad_sch").root().children().size());
    EXPECT_EQ(Document::load(path_).root().children().size(), 2u);
}

TEST_F(MappedFile, KnowsWhetherTheFileIsStillTheOneRead) {
    const Document doc = Document::load(path_, "kicad_sch");
    EXPECT_TRUE(doc.sourceUnchangedOnDisk());
    // Replaced by a save: another file, until the save is noted as ours.
    writeFileAtomically(path_, doc.render(), false);
    EXPECT_FALSE(doc.sourceUnchangedOnDisk());
    doc.noteSourceReplaced();
    EXPECT_TRUE(doc.sourceUnchangedOnDisk());
    // Written in place by another program: the same file, but no longer what was read.
    std::ofstream(path_, std::ios::binary | std::ios::app) << "\n";
    EXPECT_FALSE(doc.sourceUnchangedOnDisk());
    fs::remove(path_);
    EXPECT_FALSE(doc.sourceUnchangedOnDisk());
    EXPECT_EQ(doc.root().children().size(), Document::parse(bytes_, "x").root().children().size());
    // A document read into memory holds its own bytes.
    EXPECT_TRUE(Document::parse("(a)", "x").sourceUnchangedOnDisk());
}

TEST_F(MappedFile, ErrorsNameTheFileAndPlace) {
    // Damage far into the file: the message's line comes from the mapped bytes.
    std::string broken = bytes_;
    const std::size_t at = broken.rfind("(setup");
    broken.insert(at, ") ");
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << broken;
    const auto [line, column] = positionIn(broken, at + 2);
    try {
        Document::load(path_, "kicad_sch");
        FAIL() << "no error";
    } catch (const ParseError& e) {
        EXPECT_EQ(e.file(), path_.string());
        EXPECT_EQ(e.line(), line);
        EXPECT_EQ(e.column(), column);
    }
    EXPECT_THROW(Document::load(dir_ / "missing.kicad_sch"), std::system_error);
}

} // namespace
