// Swap data read from and written to the pins of schematic components, validated against
// design components, and the identifiers of design-model pins, on the stand-in host.
#include "permutor/schematic/SchematicPinAndPartSwap.h"

#include "pcbhost/model/Host.h"

#include <gtest/gtest.h>

using namespace permutor::host;
using namespace permutor::schematic;

namespace {

class SwapDataOnComponents : public ::testing::Test {
protected:
    void SetUp() override {
        auto& prj = Host.AddProject("/virtual/sd/sd.kicad_pro");
        Sheet = &prj.AddSchematic("/virtual/sd/sd.kicad_sch");
        // A two-gate part: pins 1-3 gate 1, 4-6 gate 2, 7 common. A field comes before the pins.
        U1 = &Sheet->AddComponent("U1", 2).AddField("Datasheet", "x");
        U1->AddPin("1", 1).PinSwap(" A ").PartSwap("G").PartPinSwap("IN");
        U1->AddPin("2", 1).PinSwap("0").PartSwap(" 0 ").PartPinSwap("0");
        U1->AddPin("3", 1).PartSwap("G").PartPinSwap("OUT").PairSwap(" 0 ");
        U1->AddPin("4", 2).PinSwap("A").PartSwap("G").PairSwap("D1");
        U1->AddPin("5", 2).PartPinSwap("IN");
        U1->AddPin("6", 2);
        U1->AddPin("7", 0).PairSwap("D1");
        Empty = &Sheet->AddComponent("R1");
        prj.Compile();
        Compiled = prj.Model().CompiledDocument();
        ASSERT_TRUE(Compiled);
    }

    IPtr<ISch_Component> Unit(pcbhost::TComponentBuilder& c, int unit = 1) {
        return IPtr<ISch_Component>(c.Unit(unit));
    }
    IPtr<IComponent> Design(const std::string& designator) {
        for (std::int32_t i = 0; i < Compiled->ComponentCount(); ++i)
            if (auto c = Compiled->Component(i); c->Designator() == designator)
                return c;
        ADD_FAILURE() << "no design component " << designator;
        return {};
    }
    IPtr<INetItem> DesignPin(const std::string& designator, const std::string& pin) {
        auto c = Design(designator);
        for (std::int32_t i = 0; c && i < c->PinCount(); ++i)
            if (c->Pin(i)->Designator() == pin)
                return c->Pin(i);
        ADD_FAILURE() << "no pin " << pin;
        return {};
    }

    pcbhost::THost Host;
    pcbhost::TSchematicBuilder* Sheet = nullptr;
    pcbhost::TComponentBuilder* U1 = nullptr;
    pcbhost::TComponentBuilder* Empty = nullptr;
    IPtr<IDocument> Compiled;
};

TEST_F(SwapDataOnComponents, ReadingNormalisesAndKeepsPinOrder) {
    const auto data = SchematicComponent_GetSwapData(Unit(*U1).get());
    // Pin ids keep "0"; part, part-pin and pair ids read "0" as none.
    EXPECT_EQ(data.Pin, "Pin_1=A|Pin_2=0|Pin_4=A");
    EXPECT_EQ(data.Part, "Part_1=G|PartPin_1=IN|Part_3=G|PartPin_3=OUT|Part_4=G|PartPin_5=IN");
    EXPECT_EQ(data.Pair, "Pair_4=D1|Pair_7=D1");
    // Each unit yields all pins of the component.
    EXPECT_EQ(SchematicComponent_GetPinSwapData(Unit(*U1, 2).get()), data.Pin);
    EXPECT_EQ(SchematicComponent_GetPartSwapData(Unit(*U1, 2).get()), data.Part);
    EXPECT_EQ(SchematicComponent_GetPairSwapData(Unit(*U1, 2).get()), data.Pair);
    // A component without swap information reads empty.
    const auto none = SchematicComponent_GetSwapData(Unit(*Empty).get());
    EXPECT_EQ(none.Pin + none.Part + none.Pair, "");
}

TEST_F(SwapDataOnComponents, WritingSetsEveryPinAndClearsThoseWithoutAnEntry) {
    auto unit = Unit(*U1);
    SchematicComponent_SetPinSwapData(unit.get(), "Pin_1= B |pin_6=B|Pin_99=B|junk");
    EXPECT_EQ(U1->Pin("1").Model().SwapId(eSwapId_Pin), "B");
    EXPECT_EQ(U1->Pin("6").Model().SwapId(eSwapId_Pin), "B"); // name found without regard to case
    EXPECT_EQ(U1->Pin("2").Model().SwapId(eSwapId_Pin), "");  // had "0", no entry now
    EXPECT_EQ(U1->Pin("4").Model().SwapId(eSwapId_Pin), "");
    // Part data writes both the part and the part-pin ids of every pin.
    SchematicComponent_SetPartSwapData(unit.get(), "PartPin_5=X|Part_5=H");
    EXPECT_EQ(U1->Pin("5").Model().SwapId(eSwapId_Part), "H");
    EXPECT_EQ(U1->Pin("5").Model().SwapId(eSwapId_PartPin), "X");
    EXPECT_EQ(U1->Pin("1").Model().SwapId(eSwapId_Part), "");
    EXPECT_EQ(U1->Pin("1").Model().SwapId(eSwapId_PartPin), "");
    EXPECT_EQ(U1->Pin("1").Model().SwapId(eSwapId_Pin), "B"); // other kinds untouched
    SchematicComponent_SetPairSwapData(unit.get(), "");
    EXPECT_EQ(SchematicComponent_GetPairSwapData(unit.get()), "");
    // What was written reads back the same through the other unit.
    EXPECT_EQ(SchematicComponent_GetPinSwapData(Unit(*U1, 2).get()), "Pin_1=B|Pin_6=B");
    EXPECT_EQ(SchematicComponent_GetPartSwapData(Unit(*U1, 2).get()), "Part_5=H|PartPin_5=X");
    // A component without pins reads empty and ignores writes.
    SchematicComponent_SetPinSwapData(nullptr, "Pin_1=A");
    EXPECT_EQ(SchematicComponent_GetPinSwapData(nullptr), "");
}

TEST_F(SwapDataOnComponents, ValidatorsCheckOnlyTheirOwnPrefix) {
    auto u1 = Design("U1");
    ASSERT_TRUE(u1);
    EXPECT_TRUE(PinSwapData_IsValidFor(u1.get(), ""));
    EXPECT_TRUE(PartSwapData_IsValidFor(u1.get(), ""));
    EXPECT_TRUE(PinSwapData_IsValidFor(u1.get(), "Pin_1=A|pin_7=A|Other_99=x"));
    EXPECT_FALSE(PinSwapData_IsValidFor(u1.get(), "Pin_1=A|Pin_8=A"));
    EXPECT_FALSE(PinSwapData_IsValidFor(Design("R1").get(), "Pin_1=A|Pin_2=A"));
    // Part data: "PartPin_" entries are not examined, whatever they name.
    EXPECT_TRUE(PartSwapData_IsValidFor(u1.get(), "Part_1=G|PartPin_99=IN"));
    EXPECT_FALSE(PartSwapData_IsValidFor(u1.get(), "Part_99=G"));
    // Entries without "=" are not entries at all.
    EXPECT_TRUE(PinSwapData_IsValidFor(u1.get(), "Pin_99"));
}

TEST_F(SwapDataOnComponents, DesignPinIdentifiersAreNormalised) {
    auto pin2 = DesignPin("U1", "2");
    EXPECT_EQ(NetItem_SwapIdPin(pin2.get()), "0");
    EXPECT_EQ(NetItem_SwapIdPart(pin2.get()), "");
    EXPECT_EQ(NetItem_SwapIdPartPin(pin2.get()), "");
    auto pin3 = DesignPin("U1", "3");
    EXPECT_EQ(NetItem_SwapIdPair(pin3.get()), ""); // " 0 "
    EXPECT_EQ(NetItem_SwapIdPartPin(pin3.get()), "OUT");
    auto pin1 = DesignPin("U1", "1");
    EXPECT_EQ(NetItem_SwapIdPin(pin1.get()), "A"); // " A " trimmed
    EXPECT_EQ(NetItem_SwapIdPin(nullptr), "");
    // The readers see schematic edits at once.
    U1->Pin("1").Model().SetSwapId(eSwapId_Pin, "  Z ");
    EXPECT_EQ(NetItem_SwapIdPin(pin1.get()), "Z");
}

// Swappable through net labels: at the pin's place exactly one port, at most one label, and
// those account for every pin-list member there.
TEST(NetLabelSwappability, CountsMembersAtThePinsPlace) {
    pcbhost::THost host;
    auto& prj = host.AddProject("/virtual/nl/nl.kicad_pro");
    auto& sheet = prj.AddSchematic("/virtual/nl/nl.kicad_sch");
    auto& u = sheet.AddComponent("U1");
    auto& withPort = u.AddPin("1").Net("N1").At(10, 10);
    auto& withPortAndLabel = u.AddPin("2").Net("N2").At(20, 10);
    auto& withLabelOnly = u.AddPin("3").Net("N3").At(30, 10);
    auto& withTwoPorts = u.AddPin("4").Net("N4").At(40, 10);
    auto& noNet = u.AddPin("5").At(50, 10);
    auto& portElsewhere = u.AddPin("6").Net("N6").At(60, 10);
    sheet.AddPort("N1", withPort);
    sheet.AddPort("N2", withPortAndLabel).AddNetLabel("N2", withPortAndLabel);
    sheet.AddNetLabel("N3", withLabelOnly);
    sheet.AddPort("N4", withTwoPorts).AddPort("N4", withTwoPorts);
    sheet.AddPort("N6", 99, 99);
    prj.Compile();
    auto compiled = prj.Model().CompiledDocument();
    ASSERT_EQ(compiled->ComponentCount(), 1);
    auto component = compiled->Component(0);
    std::map<std::string, bool> result;
    for (std::int32_t i = 0; i < component->PinCount(); ++i)
        result[component->Pin(i)->Designator()] = NetItem_IsSwappableByNetLabel(component->Pin(i).get());
    (void)noNet;
    (void)portElsewhere;
    // Pin 1: A=1 (itself), B=0, C=1 -> B+C=1=A. Pin 2: A=1, B=1, C=1 -> 2 != 1.
    EXPECT_EQ(result,
              (std::map<std::string, bool>{
                  {"1", true}, {"2", false}, {"3", false}, {"4", false}, {"5", false}, {"6", false}}));
    EXPECT_FALSE(NetItem_IsSwappableByNetLabel(nullptr));
}

} // namespace
