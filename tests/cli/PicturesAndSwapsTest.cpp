// Board pictures before and after a command, and the swap report written beside a saved board.
#include "CliTestSupport.h"

#include "pcbhost/cli/BoardInfo.h"
#include "pcbhost/cli/BoardPicture.h"
#include "pcbhost/cli/Options.h"
#include "pcbhost/cli/Report.h"
#include "pcbhost/cli/Session.h"
#include "pcbhost/cli/SwapReport.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace clitest;
using namespace pcbhost;
using namespace pcbhost::cli;

namespace {

const fs::path cExample = fs::path(PERMUTOR_SOURCE_DIR) / "examples" / "demo";

TEST(BoardPictures, ShowEveryPadAndEveryRatsnestLine) {
    THost host;
    auto project = kicad::TKicadProject::Open(host, (cExample / "demo.kicad_pro").string());
    TBoard& board = *project->Board();
    const std::string svg = BoardPicture_Svg(board, "demo <1> & co");
    const TBoardFigures figures = BoardFigures_Of(board);
    EXPECT_EQ(svg.rfind("<svg", 0), 0u);
    EXPECT_NE(svg.find("demo &lt;1&gt; &amp; co"), std::string::npos); // caption text escaped
    EXPECT_NE(svg.find(std::to_string(figures.CrossOvers) + " cross-overs"), std::string::npos);
    // Pads are circles or rectangles; ratsnest lines are the yellow lines.
    EXPECT_EQ(CountOf(svg, "<circle") + CountOf(svg, "<rect ") - 1 /* background */,
              std::size_t(figures.Pads));
    EXPECT_EQ(CountOf(svg, "stroke=\"#f2e85c\""), std::size_t(figures.Connections));
}

TEST(BoardPictures, WrittenByModuleCommandsBeforeAndAfter) {
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    const fs::path before = folder.Path() / "before.svg", after = folder.Path() / "after.svg";
    const TRun run = Permutor({"--batch", "--svg-before", before.string(), "--svg-after", after.string(),
                               "run", "RunManualPermutor", (folder.Path() / "demo.kicad_pcb").string()});
    EXPECT_TRUE(fs::exists(before)) << run.Err;
    EXPECT_TRUE(fs::exists(after));
    EXPECT_NE(ReadFile(after).find("cross-overs"), std::string::npos);
    // A picture that cannot be written is a file error.
    EXPECT_EQ(Permutor({"--batch", "--svg-before", (folder.Path() / "no/such/dir/x.svg").string(), "run",
                        "RunManualPermutor", (folder.Path() / "demo.kicad_pcb").string()})
                  .Code,
              3);
}

TEST(SwapReport, RowsSayWhatEachSwapDid) {
    std::vector<TSwapLogEntry> log = {
        {"U1-A1", "U1-B2", "/B0_IO0", "/B0_IO9", "U1", "U1", "A1", "B2"},
        {"U2-1", "U2-4", "/G1,A", "/G2 \"A\"", "U2", "U2", "1", "4"},
    };
    EXPECT_EQ(SwapLog_Csv(log), "component,pin_a,pin_b,net_a_before,net_b_before,net_a_after,net_b_after\n"
                                "U1,A1,B2,/B0_IO0,/B0_IO9,/B0_IO9,/B0_IO0\n"
                                "U2,1,4,\"/G1,A\",\"/G2 \"\"A\"\"\",\"/G2 \"\"A\"\"\",\"/G1,A\"\n");
    EXPECT_EQ(SwapLog_PathFor("/p/demo.kicad_pcb"), "/p/demo.swaps.csv");
}

TEST(SwapReport, WrittenBesideTheSavedBoardOnly) {
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    auto swapInSession = [&](TGlobalOptions options) {
        std::istringstream in;
        std::ostringstream out, err;
        TConsole console{in, out, err};
        TReport report(console, false, true);
        TSession session(options, report);
        session.Open((folder.Path() / "demo.kicad_pro").string());
        TBoard& board = *session.Project().Board();
        TPcbComponent* u1 = board.FindComponent("U1");
        TPad* a = u1->FindPad("A1");
        TPad* b = u1->FindPad("A2");
        TPcbNet* netA = a->OwnerNet();
        TPcbNet* netB = b->OwnerNet();
        board.PinSwapLog()->RecordSwap(a, b, netA, netB);
        a->AssignNet(netB);
        b->AssignNet(netA);
        return session.Save();
    };
    TGlobalOptions dry;
    dry.DryRun = true;
    EXPECT_TRUE(swapInSession(dry).empty());
    EXPECT_FALSE(fs::exists(folder.Path() / "demo.swaps.csv"));

    TGlobalOptions save;
    save.NoBackup = true;
    const auto written = swapInSession(save);
    ASSERT_EQ(written.size(), 2u);
    const std::string csv = ReadFile(folder.Path() / "demo.swaps.csv");
    EXPECT_EQ(CountOf(csv, "\n"), 2u);
    EXPECT_NE(csv.find("U1,A1,A2,"), std::string::npos);
}

} // namespace
