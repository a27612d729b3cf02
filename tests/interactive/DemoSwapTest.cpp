// The three swap commands' runner on the example project, as the host's menu starts them: the
// project check, the build for the command's mode, the swapper and the runner's closing report.
#include "SwapperFixture.h"

#include "pcbhost/project/KicadProject.h"

#include <filesystem>

using namespace permutor::interactive;
using namespace permutor::interactive::testing;
using namespace permutor::optimizers;

namespace {

class DemoSwapTest : public ::testing::Test {
protected:
    void SetUp() override {
        Project = kicad::TKicadProject::Open(Host, std::string(PERMUTOR_SOURCE_DIR) +
                                                       "/examples/demo/demo.kicad_pro");
        ASSERT_NE(Project->Board(), nullptr);
        permutor::host::Client_Set(Host.Client().get());
        Swappers_Register();
    }
    void TearDown() override { permutor::host::Client_Set(nullptr); }

    TBoard& Board() { return *Project->Board(); }
    void Pick(const std::string& ref, const std::string& pad) {
        TPad* p = Board().FindComponent(ref)->FindPad(pad);
        ASSERT_NE(p, nullptr);
        Host.UI().QueuePickOf(p->X(), p->Y(), "Pad " + ref + "-" + pad + " ");
    }
    std::string NetOf(const std::string& ref, const std::string& pad) {
        TPcbNet* net = Board().FindComponent(ref)->FindPad(pad)->OwnerNet();
        return net ? net->Name() : std::string();
    }
    // Runs one swap command's swapper; the panel lines it left, the runner's report last.
    std::vector<TMessageLine> Run(TInteractiveSwapperKind kind, TSwapMode mode, const std::string& caption) {
        EXPECT_TRUE(InteractiveSwapper_Run(Project->BoardPath(), kind, mode, caption));
        for (const auto& box : Host.UI().Boxes())
            ADD_FAILURE() << box.Caption << ": " << box.Text;
        return Host.Messages();
    }

    THost Host;
    std::unique_ptr<kicad::TKicadProject> Project;
};

TEST_F(DemoSwapTest, PinSwapMovesAPinOfABankToAnotherPinsNet) {
    const std::string a1 = NetOf("U1", "A1"), b2 = NetOf("U1", "B2");
    ASSERT_NE(a1, b2);
    Pick("U1", "A1");
    Pick("U1", "B2");
    const auto lines = Run(eSwapper_InteractivePins, eSwap_Pins, "Pin/Net Swapper");
    EXPECT_EQ(NetOf("U1", "A1"), b2);
    EXPECT_EQ(NetOf("U1", "B2"), a1);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Text, "Interactive Pin-Swap:U1-A1(" + a1 + ") With U1-B2(" + b2 + ")");
    EXPECT_EQ(lines[0].DocumentName, "demo.kicad_pcb");
    // The runner's closing report of the run.
    EXPECT_EQ(lines[1].Source, "Pin/Net Swapper");
    EXPECT_EQ(lines[1].Text.rfind("Length ", 0), 0u) << lines[1].Text;
    EXPECT_EQ(Board().SwapLog().size(), 1u);
}

TEST_F(DemoSwapTest, PartSwapExchangesTwoGatesOfTheQuadNand) {
    const std::vector<std::string> gate1{NetOf("U2", "1"), NetOf("U2", "2"), NetOf("U2", "3")};
    const std::vector<std::string> gate2{NetOf("U2", "4"), NetOf("U2", "5"), NetOf("U2", "6")};
    Pick("U2", "3");
    Pick("U2", "5");
    const auto lines = Run(eSwapper_InteractiveParts, eSwap_Parts, "Part Swapper");
    EXPECT_EQ((std::vector<std::string>{NetOf("U2", "1"), NetOf("U2", "2"), NetOf("U2", "3")}), gate2);
    EXPECT_EQ((std::vector<std::string>{NetOf("U2", "4"), NetOf("U2", "5"), NetOf("U2", "6")}), gate1);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Text, "Interactive Sub-Part Swap: U2(1) With U2(2)");
    EXPECT_EQ(lines[1].Source, "Part Swapper");
}

TEST_F(DemoSwapTest, PairSwapExchangesTheTwoLvdsPairs) {
    // LVDS0 on G8 (P) and G7 (N), LVDS1 on H8 and H7.
    const std::string g8 = NetOf("U1", "G8"), g7 = NetOf("U1", "G7");
    const std::string h8 = NetOf("U1", "H8"), h7 = NetOf("U1", "H7");
    Pick("U1", "G8");
    Pick("U1", "H7");
    const auto lines = Run(eSwapper_InteractivePairs, eSwap_DifferentialPairs, "Differential Pair Swapper");
    EXPECT_EQ(NetOf("U1", "G8"), h8);
    EXPECT_EQ(NetOf("U1", "G7"), h7);
    EXPECT_EQ(NetOf("U1", "H8"), g8);
    EXPECT_EQ(NetOf("U1", "H7"), g7);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].Text, "Differential-Pair Swap: /LVDS0 With /LVDS1");
    EXPECT_EQ(lines[1].Source, "Differential Pair Swapper");
}

} // namespace
