#include "permutor/schematic/Param.h"
#include "permutor/schematic/SchematicPinAndPartSwap.h"

#include <gtest/gtest.h>

using namespace permutor::schematic;

namespace {

std::vector<std::pair<std::string, std::string>> Parse(const std::string& text, bool trim = true) {
    TParameterList list;
    list.SetState_FromString(text, trim);
    std::vector<std::pair<std::string, std::string>> r;
    for (const auto& p : list.Items())
        r.emplace_back(p.Name, p.Value);
    return r;
}

using Items = std::vector<std::pair<std::string, std::string>>;

} // namespace

TEST(ParameterList, DropsEntriesWithoutEqualsOrNameAndKeepsLaterEqualsInValue) {
    EXPECT_EQ(Parse("Pin_1=A|word|Pin_2=B=C| Pin_3 =  x y  |=orphan"),
              (Items{{"Pin_1", "A"}, {"Pin_2", "B=C"}, {"Pin_3", "x y"}}));
}

TEST(ParameterList, EdgesOfTheText) {
    EXPECT_TRUE(Parse("").empty());
    EXPECT_TRUE(Parse("|||").empty());
    EXPECT_TRUE(Parse("   =   ").empty()); // name trims to nothing
    EXPECT_EQ(Parse("a="), (Items{{"a", ""}}));
    EXPECT_EQ(Parse("a=1|"), (Items{{"a", "1"}}));
    EXPECT_EQ(Parse("|a=1"), (Items{{"a", "1"}}));
    EXPECT_EQ(Parse("a==|b"), (Items{{"a", "="}}));
    // Tabs and control characters count as blanks when trimming.
    EXPECT_EQ(Parse("\tk\t=\r\nv\x01"), (Items{{"k", "v"}}));
}

TEST(ParameterList, TrimsValuesOnlyWhenAsked) {
    EXPECT_EQ(Parse(" n = v ", false), (Items{{"n", " v "}}));
    EXPECT_EQ(Parse(" n = v ", true), (Items{{"n", "v"}}));
}

TEST(ParameterList, RepeatedNamesAreKeptAndFirstWinsOnLookup) {
    TParameterList list;
    list.SetState_FromString("Pin_1=first|pin_1=second|PIN_1=third", true);
    EXPECT_EQ(list.Count(), 3u);
    std::string value;
    ASSERT_TRUE(list.GetState_ParameterAsString("pin_1", value));
    EXPECT_EQ(value, "first");
    ASSERT_TRUE(list.GetState_ParameterAsString("  PIN_1 ", value));
    EXPECT_EQ(value, "first");
}

TEST(ParameterList, LookupMissesLeaveAnEmptyValue) {
    TParameterList list;
    list.SetState_FromString("Pin_1=A", true);
    std::string value = "stale";
    EXPECT_FALSE(list.GetState_ParameterAsString("Pin_2", value));
    EXPECT_EQ(value, "");
    // Only ASCII letters fold: a different non-letter byte is a different name.
    EXPECT_FALSE(list.GetState_ParameterAsString("Pin-1", value));
    list.SetState_FromString("\xC3\xA9=1", true);                     // é
    EXPECT_FALSE(list.GetState_ParameterAsString("\xC3\x89", value)); // É
    EXPECT_TRUE(list.GetState_ParameterAsString("\xC3\xA9", value));
}

TEST(ParameterList, WritesBackWhatItReads) {
    TParameterList list;
    list.SetState_FromString("a=1|b=x=y|c=", true);
    EXPECT_EQ(list.GetState_ToString(), "a=1|b=x=y|c=");
    list.SetState_AddParameter("Process", "PCB:Jump");
    EXPECT_EQ(list.GetState_ToString(), "a=1|b=x=y|c=|Process=PCB:Jump");
}

TEST(SwapDataEntries, BuildersAndJoining) {
    EXPECT_EQ(SwapData_MakePinEntry("12", "A"), "Pin_12=A");
    EXPECT_EQ(SwapData_MakePinEntry("12", ""), "");
    EXPECT_EQ(SwapData_MakePinEntry("12", "0"), "Pin_12=0");
    EXPECT_EQ(SwapData_MakePairEntry("3", "D1"), "Pair_3=D1");
    EXPECT_EQ(SwapData_MakePairEntry("3", ""), "");
    EXPECT_EQ(SwapData_MakePartEntries("5", "G", "IN1"), "Part_5=G|PartPin_5=IN1");
    EXPECT_EQ(SwapData_MakePartEntries("5", "", "IN1"), "PartPin_5=IN1");
    EXPECT_EQ(SwapData_MakePartEntries("5", "G", ""), "Part_5=G");
    EXPECT_EQ(SwapData_MakePartEntries("5", "", ""), "");

    std::string text;
    SwapData_AddEntry(text, "");
    EXPECT_EQ(text, "");
    SwapData_AddEntry(text, "Pin_1=A");
    SwapData_AddEntry(text, "");
    SwapData_AddEntry(text, "Pin_2=A");
    EXPECT_EQ(text, "Pin_1=A|Pin_2=A");
}

TEST(SwapDataEntries, DesignatorsAndIdsWithSeparatorsReadBackShifted) {
    // No escaping: an "=" in the designator moves the rest of the name into the value.
    TParameterList list;
    list.SetState_FromString(SwapData_MakePinEntry("A=B", "X"), true);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Items()[0].Name, "Pin_A");
    EXPECT_EQ(list.Items()[0].Value, "B=X");
    // A "|" in the identifier splits the entry; the tail survives only if it holds an "=".
    list.SetState_FromString(SwapData_MakePinEntry("1", "X|Y"), true);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Items()[0].Value, "X");
    list.SetState_FromString(SwapData_MakePinEntry("1", "X|Y=Z"), true);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Items()[1].Name, "Y");
}

TEST(SwapDataCounts, CountOnlyParsedEntriesOfTheirPrefix) {
    EXPECT_EQ(PinSwapData_EntryCount(""), 0);
    EXPECT_EQ(PinSwapData_EntryCount("Pin_1=A|Pin_2=A|pin_3=B|Pin_4|Pair_1=x"), 3);
    EXPECT_EQ(PartSwapData_EntryCount("Part_1=G|Part_2=G|PartPin_1=I"), 2);
    EXPECT_EQ(PartSwapData_EntryCount("Part_1=G|PartPin_1=I|PartPin_2=I|PartPin_3=O"), 3);
    EXPECT_EQ(PartSwapData_EntryCount("Part_1|PartPin_2"), 0);
}

TEST(SwapIdNormalisation, ZeroMeansNoneExceptForPinIds) {
    using permutor::host::eSwapId_Pair;
    using permutor::host::eSwapId_Part;
    using permutor::host::eSwapId_PartPin;
    using permutor::host::eSwapId_Pin;
    EXPECT_EQ(SwapId_Normalise(eSwapId_Pin, " 0 "), "0");
    EXPECT_EQ(SwapId_Normalise(eSwapId_Part, " 0 "), "");
    EXPECT_EQ(SwapId_Normalise(eSwapId_PartPin, "0"), "");
    EXPECT_EQ(SwapId_Normalise(eSwapId_Pair, "\t0\n"), "");
    EXPECT_EQ(SwapId_Normalise(eSwapId_Pair, "00"), "00");
    EXPECT_EQ(SwapId_Normalise(eSwapId_Part, " G 1 "), "G 1");
}
