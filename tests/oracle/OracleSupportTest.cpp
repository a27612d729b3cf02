// The oracle's own plumbing: programs run without a shell with their output captured, and what
// KiCad says about the example project before and after a deliberate fault.
#include "Oracle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace permutor::test::oracle;
namespace oracle = permutor::test::oracle; // gtest's Test::Run hides a plain Run() in test bodies

namespace {

const fs::path cExample = fs::path(PERMUTOR_SOURCE_DIR) / "examples" / "demo";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// The example project copied into a fresh folder, removed with the object.
struct TExampleCopy {
    fs::path Folder;
    TExampleCopy() {
        std::string pattern = (fs::temp_directory_path() / "permutor-oracle-XXXXXX").string();
        Folder = ::mkdtemp(pattern.data());
        for (const auto& entry : fs::directory_iterator(cExample))
            fs::copy_file(entry.path(), Folder / entry.path().filename());
    }
    ~TExampleCopy() {
        std::error_code ec;
        fs::remove_all(Folder, ec);
    }
    fs::path Board() const { return Folder / "demo.kicad_pcb"; }
};

} // namespace

TEST(OracleRun, CapturesBothStreamsAndTheStatusWithoutAShell) {
    const TRun r =
        oracle::Run({"/bin/sh", "-c", "printf 'out %s' \"$1\"; printf err >&2; exit 3", "sh", "a b;c"});
    EXPECT_EQ(r.Status, 3);
    EXPECT_EQ(r.Out, "out a b;c");
    EXPECT_EQ(r.Err, "err");

    // Arguments reach the program as they are: no word splitting, no globbing.
    const TRun echo = oracle::Run({"echo", "*", "$HOME", "x  y"});
    EXPECT_EQ(echo.Status, 0);
    EXPECT_EQ(echo.Out, "* $HOME x  y\n");

    const TRun missing = oracle::Run({"/nonexistent/program"});
    EXPECT_EQ(missing.Status, -1);
    EXPECT_NE(missing.Err.find("/nonexistent/program"), std::string::npos);

    // Output larger than a pipe's buffer on both streams does not block the child.
    const TRun big = oracle::Run({"/bin/sh", "-c", "head -c 200000 /dev/zero; head -c 200000 /dev/zero >&2"});
    EXPECT_EQ(big.Status, 0);
    EXPECT_EQ(big.Out.size(), 200000u);
    EXPECT_EQ(big.Err.size(), 200000u);
}

TEST(OracleKicad, SeesASwappedPadAsANewNetConflictAndAMissingFootprint) {
    ORACLE_REQUIRE_KICAD();
    TExampleCopy copy;
    const auto before = ParityConflicts(copy.Board().string());
    const int unconnectedBefore = KicadUnconnectedCount(copy.Board().string());
    EXPECT_GT(unconnectedBefore, 0);

    // Pad A1 of U1 takes the net of its neighbour A2, and J3 leaves the board.
    std::string text = ReadText(copy.Board());
    const std::string from = "(net 3 \"/B0_IO0\") (uuid \"588f7fea";
    ASSERT_NE(text.find(from), std::string::npos);
    text.replace(text.find(from), from.size(), "(net 4 \"/B0_IO1\") (uuid \"588f7fea");
    const auto reference = text.find("(property \"Reference\" \"J3\"");
    ASSERT_NE(reference, std::string::npos);
    const auto start = text.rfind("\n\t(footprint ", reference), end = text.find("\n\t)", reference);
    ASSERT_TRUE(start != std::string::npos && end != std::string::npos);
    text.erase(start, end + 3 - start);
    WriteText(copy.Board(), text);
    EXPECT_TRUE(BoardOpens(copy.Board().string()));

    const auto after = ParityConflicts(copy.Board().string());
    const auto added = NewConflicts(before, after, "net_conflict");
    ASSERT_EQ(added.size(), 1u) << ::testing::PrintToString(after);
    EXPECT_NE(added[0].Description.find("/B0_IO0"), std::string::npos) << added[0];
    ASSERT_EQ(added[0].Items.size(), 1u);
    EXPECT_NE(added[0].Items[0].find("Pad A1"), std::string::npos) << added[0];
    const auto missing = NewConflicts(before, after, "missing_footprint");
    ASSERT_EQ(missing.size(), 1u) << ::testing::PrintToString(after);
    EXPECT_NE(missing[0].Description.find("J3"), std::string::npos) << missing[0];
    EXPECT_EQ(NewConflicts(before, after).size(), 2u);
    EXPECT_TRUE(NewConflicts(after, after).empty());

    // A1 now joins the /B0_IO1 net; its old net keeps its other pads, so KiCad's count moves.
    EXPECT_NE(KicadUnconnectedCount(copy.Board().string()), unconnectedBefore);
}

TEST(OracleKicad, TellsFilesThatOpenFromFilesThatDoNot) {
    ORACLE_REQUIRE_KICAD();
    TExampleCopy copy;
    std::string why;
    EXPECT_TRUE(BoardOpens(copy.Board().string(), &why)) << why;
    EXPECT_TRUE(SchematicOpens((copy.Folder / "demo.kicad_sch").string(), &why)) << why;

    const std::string text = ReadText(copy.Board());
    WriteText(copy.Folder / "cut.kicad_pcb", text.substr(0, text.size() / 2));
    EXPECT_FALSE(BoardOpens((copy.Folder / "cut.kicad_pcb").string(), &why));
    EXPECT_FALSE(why.empty());
    WriteText(copy.Folder / "cut.kicad_sch", "(kicad_sch (version 20231120) (lib_symbols");
    EXPECT_FALSE(SchematicOpens((copy.Folder / "cut.kicad_sch").string()));
    EXPECT_THROW(KicadUnconnectedCount((copy.Folder / "cut.kicad_pcb").string()), std::runtime_error);
}
