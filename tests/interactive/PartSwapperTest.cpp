// The interactive gate and differential-pair swappers on boards built in code.
#include "SwapperFixture.h"

using namespace permutor::interactive;
using namespace permutor::interactive::testing;

namespace {

class PartSwapperTest : public TSwapperFixture {
protected:
    // U2: gates 1 and 2 of pins A, B, Y (pads 1-3 and 4-6), gate 3 of A and B only (pads 7, 8),
    // a supply pin common to every gate (pad 14); each pin on a net of its own, wired to J2.
    void Gates() {
        auto& u2 = Sch.AddComponent("U2", 3);
        auto& fp = Pcb.AddFootprint("U2", u2).PartSwapEnabled();
        auto& j2 = Pcb.AddFootprint("J2");
        const std::vector<std::tuple<std::string, int, std::string>> pins = {
            {"1", 1, "A"}, {"2", 1, "B"}, {"3", 1, "Y"}, {"4", 2, "A"},   {"5", 2, "B"},
            {"6", 2, "Y"}, {"7", 3, "A"}, {"8", 3, "B"}, {"14", 0, "PWR"}};
        for (std::size_t i = 0; i < pins.size(); ++i) {
            const auto& [name, unit, key] = pins[i];
            u2.AddPin(name, unit).PartSwap("NAND").PartPinSwap(key);
            fp.AddPad(name, 0, 2.0 * double(i)).Net("G" + name);
            j2.AddPad(name, 10, 2.0 * double(i)).Net("G" + name);
        }
        ASSERT_TRUE(Build(eSwap_Parts));
    }
    // U3: board pairs D0 (pads 1, 2), D1 (pads 3, 4) and D2 of three pins (pads 5-7), wired to J3.
    void Pairs() {
        auto& u3 = Sch.AddComponent("U3");
        auto& fp = Pcb.AddFootprint("U3", u3).PinSwapEnabled();
        auto& j3 = Pcb.AddFootprint("J3");
        const std::vector<std::string> nets = {"D0_P", "D0_N", "D1_P", "D1_N", "D2_P", "D2_N", "D2_P"};
        for (std::size_t i = 0; i < nets.size(); ++i) {
            const std::string name = std::to_string(i + 1);
            u3.AddPin(name).PairSwap("DP");
            fp.AddPad(name, 0, 2.0 * double(i)).Net(nets[i]);
            j3.AddPad(name, 10, 2.0 * double(i)).Net(nets[i]);
        }
        ASSERT_TRUE(Build(eSwap_DifferentialPairs));
    }
    std::vector<std::string> Nets(const std::string& ref, const std::vector<std::string>& pads) {
        std::vector<std::string> r;
        for (const auto& pad : pads)
            r.push_back(NetOf(ref, pad));
        return r;
    }
    template <class TSwapper> bool RunSwapper() {
        TSwapper swapper(*Set);
        return swapper.Run();
    }
};

TEST_F(PartSwapperTest, SwappingTwoGatesMovesEveryNetPinByPinWithOneLine) {
    Gates();
    Pick("U2", "2"); // gate 1
    Pick("U2", "6"); // gate 2
    EXPECT_TRUE(RunSwapper<TSwapOptimizer_InteractiveParts>());
    EXPECT_EQ(Nets("U2", {"1", "2", "3", "4", "5", "6"}),
              (std::vector<std::string>{"G4", "G5", "G6", "G1", "G2", "G3"}));
    EXPECT_EQ(Nets("U2", {"7", "8", "14"}), (std::vector<std::string>{"G7", "G8", "G14"}));
    EXPECT_EQ(PanelTexts(), std::vector<std::string>{"Interactive Sub-Part Swap: U2(1) With U2(2)"});
    const auto line = SwapperLines().front();
    EXPECT_EQ(line.MessageClass, "[Information]");
    EXPECT_EQ(line.Source, "Part Swapper");
    EXPECT_EQ(line.DocumentName, "m.kicad_pcb");
    EXPECT_EQ(line.ImageIndex, 27);
    EXPECT_EQ(UI().PickPrompts(), (std::vector<std::string>{"Choose First Sub-Part to Swap",
                                                            "Choose a different Sub-Part from U2",
                                                            "Choose First Sub-Part to Swap"}));
    // The first highlight shows every gate pin, the second the gates other than the first pick's.
    const auto& shows = Pcb.Model().HighlightShows();
    ASSERT_EQ(shows.size(), 3u);
    EXPECT_EQ(HighlightedPads(shows[0]),
              (std::set<std::string>{"U2-1", "U2-2", "U2-3", "U2-4", "U2-5", "U2-6", "U2-7", "U2-8"}));
    EXPECT_EQ(HighlightedPads(shows[1]), (std::set<std::string>{"U2-4", "U2-5", "U2-6", "U2-7", "U2-8"}));
    // Gate swaps leave the pin-swap log alone; the whole exchange is one undo step.
    EXPECT_TRUE(Pcb.Model().SwapLog().empty());
    ASSERT_EQ(Host.PcbServer().UndoStepCount(), 1u);
    ASSERT_TRUE(Host.PcbServer().Undo());
    EXPECT_EQ(Nets("U2", {"1", "2", "3", "4", "5", "6"}),
              (std::vector<std::string>{"G1", "G2", "G3", "G4", "G5", "G6"}));
}

TEST_F(PartSwapperTest, GatePicksThatCannotSwapChangeNothing) {
    Gates();
    Pick("U2", "14"); // the supply pin belongs to no gate
    Pick("U2", "1");
    Pick("U2", "8"); // gate 3 lacks Y
    Pick("U2", "1");
    Pick("U2", "14"); // second pick without a gate: back to the first pick
    Pick("U2", "1");
    Pick("J2", "4"); // a connector pad: no gate either
    EXPECT_TRUE(RunSwapper<TSwapOptimizer_InteractiveParts>());
    EXPECT_EQ(ErrorBoxes(), (std::vector<std::string>{"This sub-net is part of an Invalid Sub-Part",
                                                      "The two Sub-Parts do not have matching pins"}));
    EXPECT_EQ(UI().PickPrompts().size(), 8u);
    EXPECT_TRUE(SwapperLines().empty());
    EXPECT_EQ(Host.PcbServer().UndoStepCount(), 0u);
    EXPECT_EQ(Nets("U2", {"1", "2", "3", "7", "8", "14"}),
              (std::vector<std::string>{"G1", "G2", "G3", "G7", "G8", "G14"}));
}

TEST_F(PartSwapperTest, SwappingTwoPairsNamesThemByTheirIds) {
    Pairs();
    Pick("U3", "1"); // D0
    Pick("U3", "4"); // D1
    EXPECT_TRUE(RunSwapper<TSwapOptimizer_InteractivePairs>());
    EXPECT_EQ(Nets("U3", {"1", "2", "3", "4"}), (std::vector<std::string>{"D1_P", "D1_N", "D0_P", "D0_N"}));
    EXPECT_EQ(PanelTexts(), std::vector<std::string>{"Differential-Pair Swap: D0 With D1"});
    EXPECT_EQ(SwapperLines().front().Source, "Part Swapper");
    EXPECT_EQ(UI().PickPrompts(),
              (std::vector<std::string>{"Choose First Differential Pair to Swap",
                                        "Choose a different Differential Pair from D0[U3]",
                                        "Choose First Differential Pair to Swap"}));
    EXPECT_EQ(Host.PcbServer().UndoStepCount(), 1u);
}

TEST_F(PartSwapperTest, PairPicksThatCannotSwapShowThePairErrors) {
    Pairs();
    Pick("J3", "1"); // the connector's end of D0_P has no pair
    Pick("U3", "1");
    Pick("U3", "5"); // D2 has three pins
    EXPECT_TRUE(RunSwapper<TSwapOptimizer_InteractivePairs>());
    EXPECT_EQ(ErrorBoxes(), (std::vector<std::string>{"This sub-net is part of an Invalid Differential Pair",
                                                      "The Differential Pairs do not have matching pins"}));
    EXPECT_TRUE(SwapperLines().empty());
    EXPECT_EQ(Nets("U3", {"1", "2", "5", "6", "7"}),
              (std::vector<std::string>{"D0_P", "D0_N", "D2_P", "D2_N", "D2_P"}));
}

} // namespace
