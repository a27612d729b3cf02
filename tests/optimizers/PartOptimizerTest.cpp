// The automatic gate and pair passes: exchanges kept only when the cost falls, running totals
// that agree with a recount and decide as a recount would, the abort flag, the pass driver's
// export and message, and the example project's quad gate and LVDS pairs.
#include "../model/ModelFixture.h"

#include "permutor/optimizers/PartOptimizer.h"
#include "permutor/optimizers/RunDrivers.h"

#include "pcbhost/project/KicadProject.h"

#include <filesystem>
#include <random>

using namespace permutor::model;
using namespace permutor::model::testing;
using namespace permutor::optimizers;
namespace fs = std::filesystem;

namespace {

class PartOptimizerTest : public TModelFixture {
protected:
    void SetUp() override {
        TModelFixture::SetUp();
        Optimizer_SetAborted(false);
    }
    void TearDown() override {
        Optimizer_SetAborted(false);
        TModelFixture::TearDown();
    }

    // A part-swap component `ref` at x: one gate per entry of `gateNets` (pins A and Y, 2 mm apart,
    // gates 4 mm apart downwards), gate g's pins on nets ref_A<g>, ref_Y<g>; a connector 10 mm to
    // the right holds gate g's two nets at the height of gate gateAt[g]. So gate g best takes the
    // nets of the gate that sits where its connector pads are.
    void GateBank(const std::string& ref, const std::vector<int>& gateAt, double x = 0) {
        const auto units = std::int32_t(gateAt.size());
        auto& u = Sch.AddComponent(ref, units);
        auto& fp = Pcb.AddFootprint(ref, u).PartSwapEnabled();
        auto& connector = Pcb.AddFootprint("J" + ref);
        int pad = 1;
        for (std::int32_t g = 0; g < units; ++g)
            for (const char* key : {"A", "Y"}) {
                const std::string name = std::to_string(pad);
                const std::string net = ref + "_" + key + std::to_string(g + 1);
                const double dy = key[0] == 'A' ? 0.0 : 2.0;
                u.AddPin(name, g + 1).PartSwap("GATE").PartPinSwap(key);
                fp.AddPad(name, x, 4.0 * g + dy).Net(net);
                connector.AddPad(name, x + 10, 4.0 * gateAt[std::size_t(g)] + dy).Net(net);
                ++pad;
            }
    }
    std::string NetOn(const std::string& ref, const std::string& pad) {
        auto* net = PadOf(ref, pad).OwnerNet();
        return net ? net->Name() : "";
    }
    // Every swappable sub-net's current net index, in list order.
    std::vector<std::int32_t> Assignment() const {
        std::vector<std::int32_t> r;
        for (TSwapSubNet* s : Set->MasterSubNetList_Swappable)
            r.push_back(s->NetIndex_Current);
        return r;
    }
    TScriptedUI& UI() { return Host.UI(); }
};

} // namespace

TEST_F(PartOptimizerTest, KeepsAnExchangeThatLowersTheCostAndUndoesTheOthers) {
    // Gates 1 and 2 are crossed; gate 3 already faces its pads.
    GateBank("U1", {1, 0, 2});
    ASSERT_TRUE(Build(eSwap_Parts, false));
    ASSERT_EQ(Set->PartSwapGroups.Count(), 1u);
    EXPECT_EQ(TSwapOptimizer_Parts::Candidates(*Set), 3);
    const double before = Set->GetTotalCost();
    EXPECT_GT(Set->TotalIntersectionCount(), 0);

    TSwapOptimizer_Parts pass(*Set);
    ASSERT_TRUE(pass.Run());
    // The first sweep keeps 1<->2 and undoes 1<->3 and 2<->3; the second keeps nothing.
    EXPECT_EQ(pass.Kept, 1);
    EXPECT_EQ(pass.Trials, 6);
    EXPECT_LT(pass.CostAtEnd, before);
    EXPECT_EQ(Set->TotalIntersectionCount(), 0);
    // Both gates' pins went to the swap log pairwise: A with A, Y with Y.
    ASSERT_EQ(Pcb.Model().SwapLog().size(), 2u);

    Set->ExportChanges_ToPCB();
    EXPECT_EQ(NetOn("U1", "1"), "U1_A2");
    EXPECT_EQ(NetOn("U1", "2"), "U1_Y2");
    EXPECT_EQ(NetOn("U1", "3"), "U1_A1");
    EXPECT_EQ(NetOn("U1", "4"), "U1_Y1");
    EXPECT_EQ(NetOn("U1", "5"), "U1_A3");
    EXPECT_EQ(NetOn("U1", "6"), "U1_Y3");
}

TEST_F(PartOptimizerTest, GatesWithDifferentPinCountsAreNeverExchanged) {
    auto& u = Sch.AddComponent("U1", 2);
    auto& fp = Pcb.AddFootprint("U1", u).PartSwapEnabled();
    auto& j = Pcb.AddFootprint("J1");
    // Gate 1 has A and Y, gate 2 only A; their nets are crossed over to the connector.
    const char* nets[] = {"N1", "N2", "N3"};
    const int unit[] = {1, 1, 2};
    const char* key[] = {"A", "Y", "A"};
    for (int i = 0; i < 3; ++i) {
        const std::string name = std::to_string(i + 1);
        u.AddPin(name, unit[i]).PartSwap("G").PartPinSwap(key[i]);
        fp.AddPad(name, 0, 2.0 * i).Net(nets[i]);
        j.AddPad(name, 10, 2.0 * (2 - i)).Net(nets[i]);
    }
    ASSERT_TRUE(Build(eSwap_Parts, false));
    EXPECT_EQ(TSwapOptimizer_Parts::Candidates(*Set), 0);
    TSwapOptimizer_Parts pass(*Set);
    ASSERT_TRUE(pass.Run());
    EXPECT_EQ(pass.Trials, 0);
    EXPECT_EQ(pass.CostAtEnd, pass.CostAtStart);
}

TEST_F(PartOptimizerTest, RunningTotalsDecideExactlyAsARecountDoes) {
    // Three banks of five gates with shuffled connectors: the incremental pass and one that
    // recounts everything with the plain crossing walk after every trial keep the same exchanges.
    std::mt19937 random(7);
    for (int bank = 0; bank < 3; ++bank) {
        std::vector<int> at{0, 1, 2, 3, 4};
        std::shuffle(at.begin(), at.end(), random);
        GateBank("U" + std::to_string(bank + 1), at, 40.0 * bank);
    }
    struct TOutcome {
        std::int32_t Kept, Trials;
        double Cost;
        std::int32_t Crossings;
        std::vector<std::int32_t> Nets;
    };
    auto run = [this](bool recount) {
        EXPECT_TRUE(Build(eSwap_Parts, false));
        Set->SetFastCrossings(!recount);
        TSwapOptimizer_Parts pass(*Set);
        pass.RecountEachTrial = recount;
        pass.Run();
        TOutcome o{pass.Kept, pass.Trials, Set->GetTotalCost(), Set->TotalIntersectionCount(), Assignment()};
        // The running totals are those a recount finds.
        Set->Totals_Recount();
        EXPECT_EQ(Set->GetTotalCost(), o.Cost);
        EXPECT_EQ(Set->TotalIntersectionCount(), o.Crossings);
        return o;
    };
    const TOutcome fast = run(false);
    const TOutcome plain = run(true);
    EXPECT_GT(fast.Kept, 0);
    EXPECT_EQ(fast.Kept, plain.Kept);
    EXPECT_EQ(fast.Trials, plain.Trials);
    EXPECT_EQ(fast.Cost, plain.Cost);
    EXPECT_EQ(fast.Nets, plain.Nets);
}

TEST_F(PartOptimizerTest, AbortStopsThePassAndADroppedResultLeavesTheBoard) {
    GateBank("U1", {1, 0, 2});
    ASSERT_TRUE(Build(eSwap_Parts, false));
    Optimizer_SetAborted(true);
    TSwapOptimizer_Parts pass(*Set);
    ASSERT_TRUE(pass.Run());
    EXPECT_EQ(pass.Trials, 0);
    EXPECT_EQ(pass.CostAtEnd, pass.CostAtStart);
    Set.reset();

    // The driver asks whether to keep the partial result; No leaves every net where it was.
    UI().SetAnswerForCaption("Confirm Continue With Net/Pin Assignment", eModal_No);
    TPartPassResult result;
    EXPECT_FALSE(PartPass_Run(Pcb.Path(), eSwap_Parts, result));
    EXPECT_TRUE(Optimizer_Aborted());
    EXPECT_FALSE(result.Exported);
    EXPECT_EQ(NetOn("U1", "1"), "U1_A1");
    EXPECT_EQ(NetOn("U1", "3"), "U1_A2");
}

TEST_F(PartOptimizerTest, PassDriverExportsInOneStepOrSaysThereIsNothingToExchange) {
    GateBank("U1", {1, 0});
    TPartPassResult result;
    double length = 0;
    std::int32_t crossings = 0;
    ASSERT_TRUE(PartPass_Run(Pcb.Path(), eSwap_Parts, result, &length, &crossings));
    EXPECT_TRUE(result.Ran);
    EXPECT_TRUE(result.Exported);
    EXPECT_EQ(result.Kept, 1);
    EXPECT_LT(result.CostAfter, result.CostBefore);
    EXPECT_GT(length, 0.0);
    EXPECT_GT(crossings, 0);
    EXPECT_EQ(NetOn("U1", "1"), "U1_A2");
    EXPECT_EQ(PartPass_ReportLine(eSwap_Parts, result).rfind("Gate Swaps: 1 Of 2 Exchanges Kept", 0), 0u)
        << PartPass_ReportLine(eSwap_Parts, result);

    // No pair groups on this board: an information box, no error, nothing exported.
    TPartPassResult pairs;
    ASSERT_TRUE(PartPass_Run(Pcb.Path(), eSwap_DifferentialPairs, pairs));
    EXPECT_TRUE(pairs.Built);
    EXPECT_FALSE(pairs.Ran);
    EXPECT_FALSE(pairs.Exported);
    ASSERT_FALSE(UI().Boxes().empty());
    EXPECT_EQ(UI().Boxes().back().Caption, "Pair Swaps");
    EXPECT_EQ(PartPass_ReportLine(eSwap_DifferentialPairs, pairs), "Pair Swaps: none on this board");
}

// ---------------------------------------------------------------- the example project

class PartPassOnExample : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = fs::temp_directory_path() / ("permutor-partpass-" + std::to_string(::getpid()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        for (const auto& entry : fs::directory_iterator(fs::path(PERMUTOR_SOURCE_DIR) / "examples" / "demo"))
            fs::copy_file(entry.path(), Dir / entry.path().filename());
        Project = pcbhost::kicad::TKicadProject::Open(Host, (Dir / "demo.kicad_pro").string());
        permutor::host::Client_Set(Host.Client().get());
        Optimizer_SetAborted(false);
    }
    void TearDown() override {
        permutor::host::Client_Set(nullptr);
        Project.reset();
        fs::remove_all(Dir);
    }
    std::string NetOn(pcbhost::kicad::TKicadProject& project, const std::string& ref,
                      const std::string& pad) {
        auto* component = project.Board()->FindComponent(ref);
        for (auto* p : component->Pads())
            if (p->Name() == pad)
                return p->OwnerNet() ? p->OwnerNet()->Name() : "";
        return "?";
    }
    // The total cost of a fresh build in `mode` on the board as it is now.
    double CostOf(TSwapMode mode) {
        TSwapDataSet data(Project->BoardPath(), mode);
        EXPECT_TRUE(data.Build("", false));
        return data.GetTotalCost();
    }

    pcbhost::THost Host;
    fs::path Dir;
    std::unique_ptr<pcbhost::kicad::TKicadProject> Project;
};

TEST_F(PartPassOnExample, GatesAndPairsLowerOrKeepTheCostAndTheSavedBoardReloads) {
    const std::string before1 = NetOn(*Project, "U1", "G7");
    const double gatesBefore = CostOf(eSwap_Parts);
    TPartPassResult gates, pairs;
    ASSERT_TRUE(PartPass_Run(Project->BoardPath(), eSwap_Parts, gates));
    ASSERT_TRUE(gates.Ran);
    EXPECT_EQ(gates.CostBefore, gatesBefore);
    EXPECT_LE(gates.CostAfter, gates.CostBefore);
    // A new build on the changed board finds the cost the pass ended with.
    EXPECT_EQ(CostOf(eSwap_Parts), gates.CostAfter);

    ASSERT_TRUE(PartPass_Run(Project->BoardPath(), eSwap_DifferentialPairs, pairs));
    ASSERT_TRUE(pairs.Ran);
    EXPECT_EQ(pairs.Candidates, 1); // LVDS0 with LVDS1
    EXPECT_LE(pairs.CostAfter, pairs.CostBefore);
    EXPECT_EQ(CostOf(eSwap_DifferentialPairs), pairs.CostAfter);
    EXPECT_GT(gates.Kept + pairs.Kept, 0);

    // What the passes changed is saved and read back.
    std::map<std::string, std::string> nets;
    for (const char* ref : {"U1", "U2"})
        for (auto* pad : Project->Board()->FindComponent(ref)->Pads())
            nets[std::string(ref) + "-" + pad->Name()] = pad->OwnerNet() ? pad->OwnerNet()->Name() : "";
    Project->Save();
    pcbhost::THost other;
    auto reloaded = pcbhost::kicad::TKicadProject::Open(other, (Dir / "demo.kicad_pro").string());
    for (const auto& [key, net] : nets) {
        const auto dash = key.find('-');
        EXPECT_EQ(NetOn(*reloaded, key.substr(0, dash), key.substr(dash + 1)), net) << key;
    }
    if (pairs.Kept > 0) {
        EXPECT_NE(NetOn(*reloaded, "U1", "G7"), before1);
    }
}
