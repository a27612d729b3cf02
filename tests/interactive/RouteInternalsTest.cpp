// Behind the route-time interface, in-process: the assertion handler a route permutor installs,
// and the gate lists in the shapes a pins-only route model never produces (gates of a part
// group with unequal numbers of swappable sub-nets, and sub-nets that lost their swap pin).
#include "../model/ModelFixture.h"

#include "permutor/host/Assert.h"
#include "permutor/interactive/RoutePermutor.h"

using namespace permutor::host;
using namespace permutor::model;
using namespace permutor::interactive;

namespace {

using RouteInternals = permutor::model::testing::TModelFixture;

std::string Name(IPCB_Pad* pad) {
    auto component = pad->Component();
    return (component ? component->NameText() : std::string("?")) + "-" + pad->Name();
}

// The lists as the router reads them: through Count and Get, "-" for nil entries.
std::vector<std::vector<std::string>> Rows(IInterfaceList* outer) {
    std::vector<std::vector<std::string>> rows;
    std::int32_t gates = 0;
    EXPECT_EQ(outer->Count(&gates), 0);
    for (std::int32_t g = 0; g < gates; ++g) {
        IUnknown* raw = nullptr;
        EXPECT_EQ(outer->Get(g, &raw), 0);
        auto inner = QueryInterface<IInterfaceList>(IPtr<IUnknown>::Adopt(raw));
        std::vector<std::string> row;
        std::int32_t pins = 0;
        if (inner) {
            EXPECT_EQ(inner->Count(&pins), 0);
        }
        for (std::int32_t k = 0; k < pins; ++k) {
            IUnknown* item = nullptr;
            EXPECT_EQ(inner->Get(k, &item), 0);
            auto pad = QueryInterface<IPCB_Pad>(IPtr<IUnknown>::Adopt(item));
            row.push_back(pad ? Name(pad.get()) : "-");
        }
        rows.push_back(row);
    }
    return rows;
}

TEST_F(RouteInternals, TheRoutePermutorsAssertionHandlerShowsAnErrorBoxAndGoesOn) {
    EXPECT_EQ(Assertion_Text("Swap.cpp", 12, "no pin"),
              "Assertion Failed: File: Swap.cpp, Line: 12, Msg :no pin");

    // Until a route permutor exists a failed assertion raises, with the same text.
    int line = __LINE__ + 2;
    try {
        PERMUTOR_ASSERT(1 + 1 == 3, "arithmetic");
        ADD_FAILURE() << "the default handler went on";
    } catch (const TAssertionFailure& e) {
        EXPECT_EQ(std::string(e.what()), Assertion_Text(__FILE__, line, "arithmetic"));
    }
    EXPECT_TRUE(Host.UI().Boxes().empty());

    // Creating one installs the reporting handler for good.
    MakeObject<TRoutePermutor>().reset();
    EXPECT_EQ(Assertion_Handler(), &RoutePermutor_AssertionHandler);
    bool wentOn = false;
    line = __LINE__ + 1;
    const bool held = PERMUTOR_ASSERT(line < 0, "a broken rule");
    wentOn = true;
    EXPECT_FALSE(held);
    EXPECT_TRUE(wentOn);
    EXPECT_TRUE(PERMUTOR_ASSERT(line > 0, "a kept rule"));
    ASSERT_EQ(Host.UI().Boxes().size(), 1u);
    const auto& box = Host.UI().Boxes().front();
    EXPECT_EQ(box.Kind, eMessageBox_Error);
    EXPECT_EQ(box.Caption, "Error");
    EXPECT_EQ(box.Text, "Assertion Failed: File: " + std::string(__FILE__) +
                            ", Line: " + std::to_string(line) + ", Msg :a broken rule");

    // Without a user interface the text goes to the host's sink instead.
    Host.UI().SetUserInterface(false);
    PERMUTOR_ASSERT(false, "quietly");
    ASSERT_FALSE(Host.SinkMessages().empty());
    EXPECT_NE(Host.SinkMessages().back().Text.find("Msg :quietly"), std::string::npos);
    Assertion_SetHandler(nullptr);
}

TEST_F(RouteInternals, GateListsKeepPositionsAlignedAcrossGatesOfDifferentSize) {
    TwoNandGates();
    // Gate 2's B input already reaches another pad: its sub-net takes part in no swap.
    Pcb.AddFootprint("X1").AddPad("1", 5, 10).Net("N5");
    Pcb.AddTrack("N5", {0, 10}, {5, 10}, 0.2);

    ASSERT_TRUE(Build(eSwap_Parts));
    ASSERT_EQ(Set->PartSwapGroups.Count(), 1u);
    TSwapGroup* group = Set->PartSwapGroups[0];
    auto lists = SwapParts_Lists(group);
    EXPECT_EQ(Rows(lists.get()),
              (std::vector<std::vector<std::string>>{{"U2-1", "U2-2", "U2-3"}, {"U2-4", "U2-6"}}));

    // A sub-net that lost its swap pin keeps its place as a nil entry.
    group->SubParts.Lookup("1")->SubNets.Lookup("B")->SwapPin = nullptr;
    EXPECT_EQ(Rows(SwapParts_Lists(group).get()),
              (std::vector<std::vector<std::string>>{{"U2-1", "-", "U2-3"}, {"U2-4", "U2-6"}}));
    // The lists hold their own references: they outlive the model.
    Set.reset();
    EXPECT_EQ(Rows(lists.get())[1], (std::vector<std::string>{"U2-4", "U2-6"}));
}

} // namespace
