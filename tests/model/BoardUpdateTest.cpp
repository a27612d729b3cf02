// The board side of a run: statistics of the board's connection lines, hiding and restoring the
// host's lines, drawn connection lines on the temporary net, the export as one undoable change,
// and picking a sub-net on the board.
#include "ModelFixture.h"
#include "RandomBoard.h"

#include "permutor/model/SwapCost.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

using namespace permutor::model;
using namespace permutor::model::testing;
namespace ph = permutor::host;

namespace {

struct BoardUpdateTest : TModelFixture {
    std::string PadNet(const std::string& ref, const std::string& pad) {
        auto net = PadOf(ref, pad).Interface()->Net();
        return net ? net->Name() : "";
    }
    // Board connection objects on the temporary net.
    std::vector<IPtr<ph::IPCB_Connection>> DrawnLines() {
        std::vector<IPtr<ph::IPCB_Connection>> r;
        auto it = Pcb.Model().BoardIterator_Create();
        it->SetFilter_ObjectSet({ph::eConnectionObject});
        for (auto p = it->First(); p; p = it->Next())
            if (Set->FDummyNet && p->Net() == Set->FDummyNet)
                r.push_back(ph::QueryInterface<ph::IPCB_Connection>(p));
        return r;
    }
    // Commits swaps of sub-net pairs that change their nets; the number committed.
    int CommitSomeSwaps(int count) {
        int done = 0;
        for (TSwapGroup* g : Set->PinSwapGroups)
            for (std::size_t i = 0; i + 1 < g->SubNets.Count() && done < count; i += 2, ++done) {
                Set->SwapSubNets_Begin(g->SubNets[i], g->SubNets[i + 1]);
                Set->SwapSubNets_Commit(g->SubNets[i], g->SubNets[i + 1]);
            }
        return done;
    }
};

TEST_F(BoardUpdateTest, StatisticsOfTwoCrossingConnections) {
    auto& j = Pcb.AddFootprint("J1");
    j.AddPad("1", 0, 0).Net("A");
    j.AddPad("2", 10, 10).Net("A");
    j.AddPad("3", 0, 10).Net("B");
    j.AddPad("4", 10, 0).Net("B");
    j.AddPad("5", 20, 0).Net("C");
    j.AddPad("6", 20, 10).Net("C");
    auto& set = NewSet(eSwap_Pins);
    auto at = [&](const char* pad) { return &PadOf("J1", pad); };
    auto distance = [&](const char* p, const char* q) {
        return std::hypot(double(at(p)->X() - at(q)->X()), double(at(p)->Y() - at(q)->Y()));
    };
    double length = -1, plainLength = -1;
    std::int32_t crossings = -1, plainCrossings = -1;
    set.GetConnectionStatsFromBoard(length, crossings);
    set.GetConnectionStatsFromBoard_Plain(plainLength, plainCrossings);
    EXPECT_EQ(crossings, 1);
    EXPECT_EQ(plainCrossings, 1);
    EXPECT_NEAR(length, distance("1", "2") + distance("3", "4") + distance("5", "6"), 1e-6);
    EXPECT_EQ(length, plainLength);
}

TEST_F(BoardUpdateTest, IndexedAndPlainBoardStatisticsAgreeOnRandomBoards) {
    for (std::uint32_t seed : {1u, 2u, 3u}) {
        THost host;
        Client_Set(host.Client().get());
        auto& project = host.AddProject("/virtual/s/s.kicad_pro");
        auto& sch = project.AddSchematic("/virtual/s/s.kicad_sch");
        auto& pcb = project.AddBoard("/virtual/s/s.kicad_pcb");
        RandomBoard_Build(sch, pcb, {9, 8, 3, 14}, seed);
        TSwapDataSet set("/virtual/s/s.kicad_pcb", eSwap_Pins);
        double length = 0, plainLength = 0;
        std::int32_t crossings = 0, plainCrossings = 0;
        set.GetConnectionStatsFromBoard(length, crossings);
        set.GetConnectionStatsFromBoard_Plain(plainLength, plainCrossings);
        EXPECT_GT(plainCrossings, 10);
        EXPECT_EQ(crossings, plainCrossings) << seed;
        EXPECT_EQ(length, plainLength) << seed;
    }
    Client_Set(Host.Client().get());
}

TEST_F(BoardUpdateTest, ExportWritesTheNewNetsInOneUndoStep) {
    RandomBoard_Build(Sch, Pcb, {2, 6, 1, 8}, 5);
    ASSERT_TRUE(Build(eSwap_Pins, false));
    std::map<std::string, std::string> before;
    for (int c = 1; c <= 2; ++c)
        for (int p = 1; p <= 6; ++p)
            before["U" + std::to_string(c) + "-" + std::to_string(p)] =
                PadNet("U" + std::to_string(c), std::to_string(p));
    ASSERT_EQ(CommitSomeSwaps(4), 4);
    Set->RemoveAllConnectionDisplayLines();
    Set->RemoveDummyNetForConnections();

    auto& server = Host.PcbServer();
    const auto steps = server.UndoStepCount();
    const auto brackets = server.BracketCount();
    Set->ExportChanges_ToPCB();
    EXPECT_EQ(server.UndoStepCount(), steps + 1);
    EXPECT_EQ(server.BracketCount(), brackets + 1);
    int moved = 0;
    for (TSwapSubNet* s : Set->MasterSubNetList_Swappable) {
        ASSERT_EQ(s->Net_Previous, s->Net_Current());
        for (auto& p : s->Primitives)
            ASSERT_EQ(p->Net(), s->Net_Current()->Net_PCB());
        moved += s->Net_Current() != s->Net_Original;
    }
    EXPECT_EQ(moved, 8);
    const auto& progress = Host.UI().Progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().Caption, "Updating PCB with Pin/Net Changes...");
    EXPECT_EQ(progress.back().Total, 12);
    EXPECT_EQ(progress.back().Steps, 12);
    EXPECT_TRUE(progress.back().Ended);

    ASSERT_TRUE(server.Undo());
    for (const auto& [pin, net] : before)
        EXPECT_EQ(PadNet(pin.substr(0, 2), pin.substr(3)), net) << pin;
}

TEST_F(BoardUpdateTest, ExportOfAnUnchangedAssignmentStillMakesOneBracket) {
    RandomBoard_Build(Sch, Pcb, {1, 4, 1, 8}, 6);
    ASSERT_TRUE(Build(eSwap_Pins, false));
    auto& server = Host.PcbServer();
    const auto brackets = server.BracketCount();
    Set->ExportChanges_ToPCB();
    EXPECT_EQ(server.BracketCount(), brackets + 1);
    EXPECT_FALSE(server.InBracket());
    for (int p = 1; p <= 4; ++p)
        EXPECT_EQ(PadNet("U1", std::to_string(p)), "U1_N" + std::to_string(p));
}

TEST_F(BoardUpdateTest, CommitDrawsTheTwoConnectionsOnTheTemporaryNet) {
    RandomBoard_Build(Sch, Pcb, {1, 6, 2, 8}, 9);
    ASSERT_TRUE(Build(eSwap_Pins, false));
    EXPECT_FALSE(Set->FDummyNet);
    TSwapGroup* g = Set->PinSwapGroups[0];
    TSwapSubNet *a = g->SubNets[0], *b = g->SubNets[1];
    Set->SwapSubNets_Begin(a, b);
    Set->SwapSubNets_Commit(a, b);
    ASSERT_TRUE(Set->FDummyNet);
    auto lines = DrawnLines();
    ASSERT_EQ(lines.size(), 2u);
    for (TSwapSubNet* s : {a, b}) {
        auto drawn = Host.PcbServer().ObjectFromHandle(s->ConnectionLine->FDrawingLine);
        auto c = ph::QueryInterface<ph::IPCB_Connection>(drawn);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->X1(), s->Point1()->X);
        EXPECT_EQ(c->Y1(), s->Point1()->Y);
        EXPECT_EQ(c->X2(), s->Point2()->X);
        EXPECT_EQ(c->Y2(), s->Point2()->Y);
        EXPECT_EQ(c->Layer(), ph::eV6_ConnectLayer);
    }
    // A second commit moves the lines it already has.
    Set->SwapSubNets_Begin(a, b);
    Set->SwapSubNets_Commit(a, b);
    EXPECT_EQ(DrawnLines().size(), 2u);

    Set->RemoveAllConnectionDisplayLines();
    EXPECT_TRUE(DrawnLines().empty());
    EXPECT_EQ(a->ConnectionLine->FDrawingLine, 0u);
    Set->RemoveDummyNetForConnections();
    EXPECT_FALSE(Set->FDummyNet);
}

TEST_F(BoardUpdateTest, HidingAndRestoringTheHostsConnectionLines) {
    RandomBoard_Build(Sch, Pcb, {1, 4, 1, 8}, 2);
    ASSERT_TRUE(Build(eSwap_Pins, false));
    ASSERT_GT(Set->Nets.Count(), 0u);
    Set->NetConnects_RememberAndHide();
    for (const auto& e : Set->Nets)
        EXPECT_FALSE(e.Object->Net_PCB()->ConnectionsVisible());
    Set->NetConnects_RebuildAndShow();
    for (const auto& e : Set->Nets)
        EXPECT_TRUE(e.Object->Net_PCB()->ConnectionsVisible());
}

TEST_F(BoardUpdateTest, ChoosingASubNetRetriesUntilASwappablePrimitiveOrCancel) {
    PinComponent("U1", {"1", "1"}, {"A", "B"});
    Pcb.AddFreePad("1", 10, 0).Net("Z");
    ASSERT_TRUE(Build(eSwap_Pins, true));
    auto& ui = Host.UI();
    // At U1-2 the pad and its component both qualify: the host asks which one is meant. A first
    // look shows the candidates, so that the pad can be answered.
    const ph::TCoord x = PadOf("U1", "2").X(), y = PadOf("U1", "2").Y();
    EXPECT_FALSE(Pcb.Model().ObjectAtLocation(x, y, ph::TObjectSet::All(), Pcb.Model().VisibleLayers()));
    ASSERT_EQ(ui.Choices().size(), 1u);
    const auto& names = ui.Choices()[0].Candidates;
    const auto pad =
        std::find_if(names.begin(), names.end(), [](const std::string& n) { return n.find("Pad") == 0; });
    ASSERT_NE(pad, names.end());
    ui.QueueChoice(std::int32_t(pad - names.begin()));
    ui.QueuePickMM(50, 50); // nothing there
    ui.QueuePickMM(10, 0);  // copper on a net without swappable pins
    ui.QueuePick(x, y);     // U1-2
    TSwapSubNet* picked = nullptr;
    ASSERT_TRUE(Set->ChooseSubNet(picked, "Choose a pin"));
    EXPECT_EQ(picked, SubNetOf(PadOf("U1", "2")));
    EXPECT_EQ(ui.PickPrompts(), std::vector<std::string>(3, "Choose a pin"));
    ASSERT_EQ(ui.Boxes().size(), 1u);
    EXPECT_EQ(ui.Boxes()[0].Text, "Selected primitive does not belong to swappable subnet/component.");
    // An exhausted pick list cancels.
    EXPECT_FALSE(Set->ChooseSubNet(picked, "Choose a pin"));
}

} // namespace
