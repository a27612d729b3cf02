// Board pictures before and after a command, and the swap report written beside a saved board.
#include "CliTestSupport.h"

#include "pcbhost/cli/BoardInfo.h"
#include "pcbhost/cli/BoardPicture.h"
#include "pcbhost/cli/Options.h"
#include "pcbhost/cli/Report.h"
#include "pcbhost/cli/Session.h"
#include "pcbhost/cli/SwapReport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

using namespace clitest;
using namespace pcbhost;
using namespace pcbhost::cli;

namespace {

TEST(BoardPictures, ShowEveryPadAndEveryRatsnestLine) {
    THost host;
    auto project = kicad::TKicadProject::Open(host, (cExample / "demo.kicad_pro").string());
    TBoard& board = *project->Board();
    const std::string svg = BoardPicture_Svg(board, "demo <1> & co");
    const TBoardFigures figures = BoardFigures_Of(board);
    EXPECT_EQ(svg.rfind("<svg", 0), 0u);
    EXPECT_NE(svg.find("demo &lt;1&gt; &amp; co"), std::string::npos); // caption text escaped
    EXPECT_NE(svg.find(std::to_string(figures.CrossOvers) + " proper crossings"), std::string::npos);
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
    EXPECT_NE(ReadFile(after).find("proper crossings"), std::string::npos);
    // A picture that cannot be written is a file error.
    EXPECT_EQ(Permutor({"--batch", "--svg-before", (folder.Path() / "no/such/dir/x.svg").string(), "run",
                        "RunManualPermutor", (folder.Path() / "demo.kicad_pcb").string()})
                  .Code,
              3);
}

TEST(SwapReport, CsvQuotesOnlyWhatNeedsIt) {
    const std::vector<TSwapRow> rows = {
        {"U1", "A1", "B2", "/B0_IO0", "/B0_IO9", "/B0_IO9", "/B0_IO0"},
        {"U2", "1", "", "/G1,A", "", "/G2 \"A\"", ""},
    };
    EXPECT_EQ(SwapRows_Csv(rows), "component,pin_a,pin_b,net_a_before,net_b_before,net_a_after,net_b_after\n"
                                  "U1,A1,B2,/B0_IO0,/B0_IO9,/B0_IO9,/B0_IO0\n"
                                  "U2,1,,\"/G1,A\",,\"/G2 \"\"A\"\"\",\n");
    EXPECT_EQ(SwapLog_PathFor("/p/demo.kicad_pcb"), "/p/demo.swaps.csv");
}

// The rows replayed on the nets the board was read with give the nets it has now, for every pad
// of the swapped components, whatever the optimiser's log went through on the way.
TEST(SwapReport, RowsTurnTheOldNetsIntoTheNewOnes) {
    THost host;
    auto project = kicad::TKicadProject::Open(host, (cExample / "demo.kicad_pro").string());
    TBoard& board = *project->Board();
    const TPadNets before = PadNets_Of(board);
    TPcbComponent* u1 = board.FindComponent("U1");
    ASSERT_NE(u1, nullptr);
    TPad* p[5] = {u1->FindPad("A1"), u1->FindPad("A2"), u1->FindPad("A3"), u1->FindPad("B1"),
                  u1->FindPad("B2")};
    for (TPad* pad : p)
        ASSERT_TRUE(pad && pad->OwnerNet());
    TPcbNet* n[5];
    for (int i = 0; i < 5; ++i)
        n[i] = p[i]->OwnerNet();
    // A three-cycle, a pair that trade nets, and a second component that changed without a swap.
    p[0]->AssignNet(n[1]);
    p[1]->AssignNet(n[2]);
    p[2]->AssignNet(n[0]);
    p[3]->AssignNet(n[4]);
    p[4]->AssignNet(n[3]);
    TPcbComponent* other = nullptr;
    for (TPcbComponent* c : board.ComponentList())
        if (c != u1 && c->Pads().size() >= 2 && c->Pads()[0]->OwnerNet() != c->Pads()[1]->OwnerNet())
            other = c;
    ASSERT_NE(other, nullptr);
    TPcbNet* otherNet = other->Pads()[0]->OwnerNet();
    other->Pads()[0]->AssignNet(other->Pads()[1]->OwnerNet());
    // The log names the swapped component; its many entries do not become rows.
    for (int i = 0; i < 7; ++i)
        board.PinSwapLog()->RecordSwap(p[0], p[1], n[0], n[1]);

    // Replays the rows on the nets as read; true when they end on the board's nets.
    auto replays = [&](const std::vector<TSwapRow>& rows) {
        std::map<std::string, std::string> nets;
        for (TPad* pad : u1->Pads())
            nets[pad->Name()] = before.at(pad);
        for (const auto& r : rows) {
            EXPECT_EQ(r.Component, "U1");
            EXPECT_EQ(nets[r.PinA], r.NetABefore);
            nets[r.PinA] = r.NetAAfter;
            if (r.PinB.empty())
                continue;
            EXPECT_EQ(nets[r.PinB], r.NetBBefore);
            EXPECT_EQ(r.NetAAfter, r.NetBBefore);
            EXPECT_EQ(r.NetBAfter, r.NetABefore);
            nets[r.PinB] = r.NetBAfter;
        }
        bool same = true;
        for (TPad* pad : u1->Pads())
            same = same && nets[pad->Name()] == (pad->OwnerNet() ? pad->OwnerNet()->Name() : "");
        return same;
    };
    const auto rows = SwapRows_Between(board, before, board.SwapLog());
    EXPECT_EQ(rows.size(), 3u); // two for the cycle, one for the pair
    EXPECT_TRUE(replays(rows));

    // A net from outside the component is a row of its own.
    p[0]->AssignNet(otherNet);
    const auto withOutside = SwapRows_Between(board, before, board.SwapLog());
    EXPECT_TRUE(replays(withOutside));
    EXPECT_TRUE(std::any_of(withOutside.begin(), withOutside.end(), [&](const TSwapRow& r) {
        return r.PinA == "A1" && r.PinB.empty() && r.NetAAfter == otherNet->Name();
    }));
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
    // The board, the sheet whose labels followed the swap, U1's pin constraints, and the report.
    ASSERT_EQ(written.size(), 4u);
    EXPECT_EQ(fs::path(written[1]).filename(), "demo.kicad_sch");
    EXPECT_EQ(fs::path(written[2]).filename(), "demo.pcf");
    const std::string csv = ReadFile(folder.Path() / "demo.swaps.csv");
    EXPECT_EQ(CountOf(csv, "\n"), 2u);
    EXPECT_NE(csv.find("U1,A1,A2,"), std::string::npos);
}

} // namespace
