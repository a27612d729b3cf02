// Gates of a multi-part component and differential pairs inside their groups.
#include "ModelFixture.h"

using namespace permutor::model;
using namespace permutor::model::testing;

namespace {

using SubPartTest = TModelFixture;

std::vector<std::string> Keys(const TSortedStringList<TSwapSubNet*>& list) {
    std::vector<std::string> keys;
    for (const auto& e : list)
        keys.push_back(e.Key);
    return keys;
}

std::vector<std::string> Keys(const TSortedStringList<TSwapSubPart*>& list) {
    std::vector<std::string> keys;
    for (const auto& e : list)
        keys.push_back(e.Key);
    return keys;
}

} // namespace

TEST_F(SubPartTest, GatesAreSubPartsKeyedByTheirPartPinIds) {
    // Two gates of three pins each and a supply pin common to both.
    auto [u2, fp] = TwoNandGates();
    u2.AddPin("14", 0).PartSwap("NAND").PartPinSwap("PWR");
    fp.AddPad("14", 5, 0).Net("VCC");

    ASSERT_TRUE(Build(eSwap_Parts, false));
    ASSERT_EQ(Set->PartSwapGroups.Count(), 1u);
    TSwapGroup* group = Set->PartSwapGroups[0];
    EXPECT_EQ(group->SubNets.Count(), 7u);
    ASSERT_EQ(Keys(group->SubParts), (std::vector<std::string>{"1", "2"}));
    for (std::size_t i = 0; i < 2; ++i) {
        TSwapSubPart* gate = group->SubParts.Object(i);
        EXPECT_EQ(gate->Id, std::to_string(i + 1));
        EXPECT_EQ(gate->PartId(), std::to_string(i + 1));
        EXPECT_EQ(gate->SwapGroup, group);
        EXPECT_EQ(gate->Component(), group->Component);
        EXPECT_EQ(Keys(gate->SubNets), (std::vector<std::string>{"A", "B", "Y"}));
        for (const auto& entry : gate->SubNets) {
            EXPECT_EQ(entry.Object->SubPart(), gate);
            EXPECT_EQ(entry.Object->SwapPin->Pin_SCH->PartNumber(), std::int32_t(i + 1));
        }
        EXPECT_EQ(gate->GetState_Description(),
                  "SwapPart Component:U2 SwapGroupID:NAND SubPartId:" + std::to_string(i + 1) + " SubNets:3");
    }
    // The common pin joins no gate. For the automatic gate pass the part group carries its
    // sub-nets' starting nets as targets; nothing else on the board is on these nets, so nothing
    // costs yet.
    TSwapSubNet* supply = SubNetOf(PadOf("U2", "14"));
    ASSERT_NE(supply->SwapPin, nullptr);
    EXPECT_EQ(supply->SubPart(), nullptr);
    EXPECT_EQ(supply->PartSwapGroup(), group);
    EXPECT_EQ(supply->PinSwapGroup(), nullptr);
    EXPECT_EQ(supply->TargetGroup(), group);
    ASSERT_NE(supply->Net_Current(), nullptr);
    EXPECT_EQ(supply->Net_Current()->NetName(), "VCC");
    EXPECT_EQ(group->TargetNets().Count(), 7u);
    EXPECT_EQ(Set->GetTotalCost(), 0.0);
    // An interactive build, as the part swapper makes, gives part groups no target nets.
    ASSERT_TRUE(Build(eSwap_Parts, true));
    EXPECT_TRUE(Set->PartSwapGroups[0]->TargetNets().Empty());
    EXPECT_EQ(SubNetOf(PadOf("U2", "14"))->Net_Current(), nullptr);
}

TEST_F(SubPartTest, PairsAreSubPartsOfExactlyTwoSubNetsKeyedByPolarity) {
    Host.InstallDeviceManager()
        .AddDevice("DEV")
        .AddPin("9", "Q", 'P')
        .AddPin("10", "Q", 'N')
        .AddPin("11", "R")
        .AddPin("12", "R")
        .AddPin("13", "S", 'P');
    auto& u3 = Sch.AddComponent("U3").DeviceKey("DEV");
    auto& fp = Pcb.AddFootprint("U3", u3).PinSwapEnabled();
    const std::vector<std::pair<std::string, std::string>> pads = {
        {"1", "D0_P"},  {"2", "D0_N"},                // a board pair
        {"3", "D1_P"},  {"4", "D1_N"}, {"5", "D1_P"}, // three sub-nets in one pair
        {"6", ""},      {"7", ""},                    // no net, no device pin: unnamed, "X"
        {"8", "CLK"},                                 // a named net outside any pair
        {"9", ""},      {"10", ""},                   // device pins of pair Q
        {"11", ""},     {"12", ""},                   // device pins of R, neither P nor N
        {"13", "DATA"},                               // on a named net: device polarity unused
    };
    for (std::size_t i = 0; i < pads.size(); ++i) {
        u3.AddPin(pads[i].first).PairSwap("DP");
        fp.AddPad(pads[i].first, 3.0 * double(i % 5), 3.0 * double(i / 5)).Net(pads[i].second);
    }

    ASSERT_TRUE(Build(eSwap_DifferentialPairs));
    ASSERT_EQ(Set->PartSwapGroups.Count(), 1u);
    TSwapGroup* group = Set->PartSwapGroups[0];
    EXPECT_EQ(group->ID, "DP");
    // CLK and DATA pins are no pair pins: named nets, no board pair.
    EXPECT_EQ(PadNames(group->SwapPins),
              (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "9", "10", "11", "12"}));
    ASSERT_EQ(Keys(group->SubParts), (std::vector<std::string>{"", "D0", "Q", "R"}));

    auto pair = [&](const std::string& id) { return group->SubParts.Lookup(id); };
    EXPECT_EQ(Keys(pair("D0")->SubNets), (std::vector<std::string>{"N", "P"}));
    EXPECT_EQ(pair("D0")->SubNets.Lookup("P")->SwapPin->Pin_PCB()->Name(), "1");
    EXPECT_EQ(Keys(pair("Q")->SubNets), (std::vector<std::string>{"N", "P"}));
    EXPECT_EQ(pair("Q")->SubNets.Lookup("P")->SwapPin->Pin_PCB()->Name(), "9");
    // Equal keys both stay.
    EXPECT_EQ(Keys(pair("R")->SubNets), (std::vector<std::string>{"X", "X"}));
    EXPECT_EQ(Keys(pair("")->SubNets), (std::vector<std::string>{"X", "X"}));

    // D1 held three sub-nets and was dropped; its pins keep their link all the same.
    TSwapPin* d1 = SubNetOf(PadOf("U3", "3"))->SwapPin;
    ASSERT_NE(d1, nullptr);
    ASSERT_NE(d1->SubPart, nullptr);
    EXPECT_EQ(d1->SubPart->Id, "D1");
    EXPECT_EQ(d1->SubPart->SubNets.Count(), 3u);
    EXPECT_EQ(group->SubParts.IndexOf("D1"), -1);
    EXPECT_EQ(d1->DifferentialPairPolarity(), "P");
    EXPECT_EQ(SubNetOf(PadOf("U3", "4"))->SwapPin->DifferentialPairPolarity(), "N");
}

TEST_F(SubPartTest, PairMembershipFollowsTheBoardPairThenTheDevicePin) {
    Host.InstallDeviceManager().AddDevice("DEV").AddPin("1", "Q", 'N').AddPin("3", "T", 'P');
    auto& u3 = Sch.AddComponent("U3").DeviceKey("DEV");
    auto& fp = Pcb.AddFootprint("U3", u3).PinSwapEnabled();
    u3.AddPin("1").PairSwap("DP");
    fp.AddPad("1", 0, 0).Net("USB_P"); // the board pair wins over the device's polarity
    u3.AddPin("2").PairSwap("DP");
    fp.AddPad("2", 0, 3).Net("USB_N");
    u3.AddPin("3").PairSwap("DP");
    fp.AddPad("3", 0, 6).Net("CLK");
    u3.AddPin("4");
    fp.AddPad("4", 0, 9);
    ASSERT_TRUE(Build(eSwap_DifferentialPairs));

    TSwapComponent* c = ComponentNamed("U3");
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->Pins().Count(), 2u);
    TSwapPin* p1 = c->Pins()[0];
    ASSERT_TRUE(p1->PCBDifferentialPair());
    EXPECT_EQ(p1->DifferentialPairName(), "USB");
    EXPECT_EQ(p1->DifferentialPairPolarity(), "P");
    EXPECT_EQ(c->Pins()[1]->DifferentialPairPolarity(), "N");

    // Pins that were no candidates, looked at directly.
    auto pin3 = TSwapPin::Create(*Set, &PadOf("U3", "3"), c->DM_Component_SCH()->Pin(2).get(), nullptr, c);
    EXPECT_FALSE(pin3->IsDifferentialPairPin()); // pair id, but a named net outside a board pair
    EXPECT_EQ(pin3->DifferentialPairName(), "");
    auto pin4 = TSwapPin::Create(*Set, &PadOf("U3", "4"), c->DM_Component_SCH()->Pin(3).get(), nullptr, c);
    EXPECT_FALSE(pin4->IsDifferentialPairPin()); // no net, no pair id
    EXPECT_EQ(pin4->DifferentialPairPolarity(), "X");
}
