// The interactive pin swapper on a board built in code: U1 has a group "A" of four pins on N1..N4
// wired to the connector J1, and a group "B" of three pins, one on N3 as well, one on M1 (wired to
// J2) and one without a net.
#include "SwapperFixture.h"

using namespace permutor::interactive;
using namespace permutor::interactive::testing;

namespace {

class PinSwapperTest : public TSwapperFixture {
protected:
    void SetUp() override {
        TSwapperFixture::SetUp();
        PinComponent("U1", {"A", "A", "A", "A", "B", "B", "B"}, {"N1", "N2", "N3", "N4", "N3", "M1", ""});
        auto& j1 = Pcb.AddFootprint("J1");
        for (int i = 1; i <= 4; ++i)
            j1.AddPad(std::to_string(i), 10, 2.0 * (i - 1)).Net("N" + std::to_string(i));
        Pcb.AddFootprint("J2").AddPad("1", 10, 10).Net("M1");
        ASSERT_TRUE(Build(eSwap_Pins));
    }

    // Runs the swapper over the picks queued so far.
    bool RunSwapper() {
        TSwapOptimizer_InteractivePins swapper(*Set);
        return swapper.Run();
    }
    std::vector<std::string> U1Nets() {
        std::vector<std::string> r;
        for (int i = 1; i <= 7; ++i)
            r.push_back(NetOf("U1", std::to_string(i)));
        return r;
    }
    const std::vector<std::string> Start{"N1", "N2", "N3", "N4", "N3", "M1", ""};
    const std::string Move = "Choose Sub-Net to move";
};

TEST_F(PinSwapperTest, CancellingTheFirstPickEndsTheRunWithoutASwap) {
    EXPECT_TRUE(RunSwapper());
    EXPECT_EQ(UI().PickPrompts(), std::vector<std::string>{Move});
    // Every pin of a pin swap group is shown, the connectors' copper is not.
    const auto& shows = Pcb.Model().HighlightShows();
    ASSERT_EQ(shows.size(), 1u);
    EXPECT_EQ(HighlightedPads(shows[0]),
              (std::set<std::string>{"U1-1", "U1-2", "U1-3", "U1-4", "U1-5", "U1-6", "U1-7"}));
    EXPECT_TRUE(shows[0].Zoom && shows[0].Mask);
    EXPECT_TRUE(SwapperLines().empty());
    EXPECT_TRUE(UI().Boxes().empty());
    EXPECT_TRUE(Pcb.Model().SwapLog().empty());
    EXPECT_EQ(Host.PcbServer().UndoStepCount(), 0u);
    EXPECT_EQ(U1Nets(), Start);
}

TEST_F(PinSwapperTest, CancellingTheTargetPickGoesBackToTheFirstPickWithTheFullHighlight) {
    Pick("U1", "1");
    EXPECT_TRUE(RunSwapper());
    EXPECT_EQ(UI().PickPrompts(),
              (std::vector<std::string>{Move, "Choose Target Net for Sub-Net U1-1", Move}));
    const auto& shows = Pcb.Model().HighlightShows();
    ASSERT_EQ(shows.size(), 3u);
    // The targets: copper on the nets group A carries, but not on U1-1's own net.
    EXPECT_EQ(HighlightedPads(shows[1]),
              (std::set<std::string>{"U1-2", "U1-3", "U1-4", "U1-5", "J1-2", "J1-3", "J1-4"}));
    EXPECT_EQ(HighlightedPads(shows[2]), HighlightedPads(shows[0]));
    EXPECT_EQ(shows[2].Objects, shows[0].Objects);
    EXPECT_TRUE(SwapperLines().empty());
    EXPECT_EQ(U1Nets(), Start);
}

TEST_F(PinSwapperTest, EachSwapExchangesTwoNetsReportsTheOldOnesAndIsOneUndoStep) {
    Pick("U1", "1");
    Pick("U1", "2");
    Pick("U1", "1"); // now on N2
    Pick("U1", "3");
    Pick("U1", "4");
    Pick("U1", "4"); // with itself: reported, nothing moves
    EXPECT_TRUE(RunSwapper());
    EXPECT_EQ(U1Nets(), (std::vector<std::string>{"N3", "N1", "N2", "N4", "N3", "M1", ""}));
    EXPECT_EQ(PanelTexts(), (std::vector<std::string>{"Interactive Pin-Swap:U1-1(N1) With U1-2(N2)",
                                                      "Interactive Pin-Swap:U1-1(N2) With U1-3(N3)",
                                                      "Interactive Pin-Swap:U1-4(N4) With U1-4(N4)"}));
    const auto line = SwapperLines().front();
    EXPECT_EQ(line.MessageClass, "[Information]");
    EXPECT_EQ(line.Source, "Pin/Net Swapper");
    EXPECT_EQ(line.DocumentName, "m.kicad_pcb");
    EXPECT_EQ(line.ImageIndex, 27);
    EXPECT_TRUE(UI().Boxes().empty());
    // The host's log has every swap, for back-annotation.
    EXPECT_EQ(Pcb.Model().SwapLog().size(), 3u);

    // One undo step per swap, in reverse.
    auto& server = Host.PcbServer();
    ASSERT_EQ(server.UndoStepCount(), 3u);
    ASSERT_TRUE(server.Undo());
    ASSERT_TRUE(server.Undo());
    EXPECT_EQ(U1Nets(), (std::vector<std::string>{"N2", "N1", "N3", "N4", "N3", "M1", ""}));
    ASSERT_TRUE(server.Undo());
    EXPECT_EQ(U1Nets(), Start);
}

TEST_F(PinSwapperTest, ATargetOutsideTheGroupSwapsWithTheGroupsPinOnItsNet) {
    Pick("U1", "1");
    Pick("J1", "3"); // the connector's end of N3: U1-3 carries N3
    Pick("U1", "2");
    Pick("U1", "5"); // group B's pin on N3, which U1-1 carries now
    EXPECT_TRUE(RunSwapper());
    EXPECT_EQ(PanelTexts(), (std::vector<std::string>{"Interactive Pin-Swap:U1-1(N1) With U1-3(N3)",
                                                      "Interactive Pin-Swap:U1-2(N2) With U1-1(N3)"}));
    EXPECT_EQ(U1Nets(), (std::vector<std::string>{"N2", "N3", "N1", "N4", "N3", "M1", ""}));
    EXPECT_EQ(NetOf("J1", "3"), "N3");
    EXPECT_TRUE(UI().Boxes().empty());
}

TEST_F(PinSwapperTest, TargetsNoPinOfTheGroupCanTakeShowAnErrorAndChangeNothing) {
    Pick("J1", "1"); // a connector's pad has no pin to move: asked again
    Pick("U1", "1");
    Pick("J2", "1"); // M1: only group B carries it
    Pick("U1", "1");
    Pick("U1", "7"); // a pin without a net
    EXPECT_TRUE(RunSwapper());
    EXPECT_EQ(ErrorBoxes(), (std::vector<std::string>{"There is no valid swappable sub-net for this net",
                                                      "Invalid Net for this sub-net"}));
    ASSERT_FALSE(UI().Boxes().empty());
    EXPECT_EQ(UI().Boxes()[0].Text, "Selected primitive does not belong to swappable subnet/component.");
    EXPECT_EQ(UI().PickPrompts().size(), 6u);
    EXPECT_TRUE(SwapperLines().empty());
    EXPECT_EQ(Host.PcbServer().UndoStepCount(), 0u);
    EXPECT_EQ(U1Nets(), Start);
}

TEST_F(PinSwapperTest, TheTargetHighlightFollowsTheNetsAsTheyAreNow) {
    Pick("U1", "1");
    Pick("U1", "2");
    Pick("U1", "5"); // group B carries N3 (its own), M1 and no net
    EXPECT_TRUE(RunSwapper());
    const auto& shows = Pcb.Model().HighlightShows();
    ASSERT_EQ(shows.size(), 5u);
    EXPECT_EQ(HighlightedPads(shows[3]), (std::set<std::string>{"U1-6", "J2-1", "U1-7"}));
    TSwapOptimizer_InteractivePins swapper(*Set);
    swapper.CollectNetsUsedBySwapGroup(SubNetOf(PadOf("U1", "1"))->PinSwapGroup());
    // Four pins, each on a net of its own.
    EXPECT_EQ(swapper.NetsUsedBySwapGroup.Count(), 4u);
    EXPECT_EQ(swapper.FindSwappableSubNetOnNet(PadOf("U1", "1").Net().get(),
                                               SubNetOf(PadOf("U1", "1"))->PinSwapGroup()),
              SubNetOf(PadOf("U1", "1")));
}

} // namespace
