// After our commands KiCad's schematic-parity check finds no net conflict that was not there
// before, but on the pins the command itself listed as needing a schematic edit: what we change
// on the board reaches the schematic too.
#include "CliTestSupport.h"
#include "Oracle.h"

#include <gtest/gtest.h>

#include <set>

using namespace clitest;
namespace oracle = permutor::test::oracle;

namespace {

void MakeWritable(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
}

// Runs `permutor --json ARGS` on the board and expects pads to change nets, and KiCad to find
// new net conflicts on exactly the pins the command reported as needing a schematic edit. Returns
// how many those were.
std::size_t ExpectConflictsOnlyWhereReported(const fs::path& board, std::vector<std::string> args) {
    const auto before = oracle::ParityConflicts(board.string());
    const TNets netsBefore = PadNets(board);

    args.insert(args.begin(), "--json");
    const TRun r = Permutor(args);
    EXPECT_TRUE(r.Code == 0 || r.Code == 4) << r.Out << r.Err;
    EXPECT_NE(PadNets(board), netsBefore) << "the command moved no pad to another net:\n" << r.Out;
    const auto doc = nlohmann::json::parse(r.Out);
    std::set<std::string> reported;
    for (const auto& pin : doc["back_annotation"]["needs_edit"])
        reported.insert("Pad " + pin["pin"].get<std::string>() + " [" + pin["net"].get<std::string>() +
                        "] of " + pin["reference"].get<std::string>());
    EXPECT_EQ(r.Code == 4, !reported.empty());

    std::set<std::string> conflicting;
    for (const auto& conflict :
         oracle::NewConflicts(before, oracle::ParityConflicts(board.string()), "net_conflict"))
        for (const auto& item : conflict.Items)
            conflicting.insert(item.substr(0, item.find(" on ")));
    EXPECT_EQ(conflicting, reported);
    return reported.size();
}

class Parity : public ::testing::Test {
protected:
    void SetUp() override { ORACLE_REQUIRE_KICAD(); }
    TTempFolder Folder;
};

} // namespace

TEST_F(Parity, AfterOptimisingTheExampleNone) {
    Folder.CopyFilesOf(cExample);
    MakeWritable(Folder.Path());
    const fs::path board = Folder.Path() / "demo.kicad_pcb";
    EXPECT_EQ(ExpectConflictsOnlyWhereReported(board, {"--batch", "--seed", "1", "optimize", board.string()}),
              0u);
}

TEST_F(Parity, AfterSwappingPinsOfTheExampleNone) {
    Folder.CopyFilesOf(cExample);
    MakeWritable(Folder.Path());
    const fs::path board = Folder.Path() / "demo.kicad_pcb";
    EXPECT_EQ(
        ExpectConflictsOnlyWhereReported(board, {"--batch", "--pick", "U1-A1", "--pick", "U1-B2", "--pick",
                                                 "U1-A7", "--pick", "U1-B8", "swap", "pins", board.string()}),
        0u);
}

// The FPGA's I/O banks as pin swap groups on the unrouted placement, opened as the project's board.
// Most of its pins get their nets from labels and follow; a few are wired straight to resistors
// and need the project's permission for net label changes; two, wired to another pin of the FPGA
// with the net's only label on their own end, are left for a hand edit.
TEST_F(Parity, AfterOptimisingTheFpgaBoardOnlyWhereReported) {
    Folder.CopyFilesOf(fs::path(PERMUTOR_SHARED_DIR) / "boards/glasgow/hardware/boards/glasgow");
    MakeWritable(Folder.Path());
    const fs::path board = Folder.Path() / "glasgow.kicad_pcb";
    fs::rename(Folder.Path() / "glasgow-unrouted.kicad_pcb", board);

    const TRun set = Permutor(
        {"--batch", "swapinfo", board.string(), "U30", "--group-by", "names", "--enable-pins", "yes"});
    ASSERT_EQ(set.Code, 0) << set.Out << set.Err;

    const fs::path copy = Folder.Path() / "start";
    fs::create_directories(copy);
    for (const auto& entry : fs::directory_iterator(Folder.Path()))
        if (entry.is_regular_file())
            fs::copy_file(entry.path(), copy / entry.path().filename());

    const std::size_t withoutLabelChanges =
        ExpectConflictsOnlyWhereReported(board, {"--batch", "--seed", "1", "optimize", board.string()});
    EXPECT_GT(withoutLabelChanges, 0u);

    const fs::path allowed = copy / "glasgow.kicad_pcb";
    ASSERT_EQ(Permutor({"--batch", "options", (copy / "glasgow.kicad_pro").string(),
                        "--allow-net-label-changes", "yes"})
                  .Code,
              0);
    const std::size_t withLabelChanges =
        ExpectConflictsOnlyWhereReported(allowed, {"--batch", "--seed", "1", "optimize", allowed.string()});
    EXPECT_LT(withLabelChanges, withoutLabelChanges);
}
