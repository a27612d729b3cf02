// The model's lists, the hot-spot key, and a component's swap information as the dialogs use it.
#include "ModelFixture.h"

#include "permutor/host/Text.h"

#include <algorithm>
#include <random>

using namespace permutor::model;
using namespace permutor::model::testing;

namespace {

using RecordsTest = TModelFixture;

} // namespace

TEST(SortedStringList, KeepsKeysSortedWithoutCaseAndFindsTheLatestOfEqualKeys) {
    TSortedStringList<int> list;
    list.Add("beta", 1);
    list.Add("Alpha", 2);
    list.Add("BETA", 3);
    list.Add("a_", 4);
    list.Add("gamma", 5);
    std::vector<std::string> keys;
    for (const auto& e : list)
        keys.push_back(e.Key);
    // "_" sorts after the letters, whose upper-case form is compared.
    EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "a_", "BETA", "beta", "gamma"}));
    EXPECT_EQ(list.Lookup("Beta"), 3);
    EXPECT_EQ(list.IndexOf("ALPHA"), 0);
    EXPECT_EQ(list.IndexOf("delta"), -1);
    EXPECT_EQ(list.Lookup("delta"), 0);
    list.Delete(2);
    EXPECT_EQ(list.Lookup("beta"), 1);
    EXPECT_EQ(list.Count(), 4u);
}

// Added keys wait and go in together when the list is read; the order and every look-up are those
// of putting each key in its place as it comes, equal keys (in any case) included.
TEST(SortedStringList, AddingInBatchesGivesTheOrderOfOneByOne) {
    std::mt19937 random(4);
    const std::vector<std::string> words = {"a",  "A",    "b",    "B",     "ab", "AB",
                                            "a_", "Net1", "NET1", "net10", "x"};
    TSortedStringList<int> list;
    std::vector<std::pair<std::string, int>> plain; // each key put in its place at once
    for (int i = 1; i <= 3000; ++i) {
        const std::string& key = words[random() % words.size()];
        list.Add(key, i);
        auto at = std::lower_bound(plain.begin(), plain.end(), key, [](const auto& e, const std::string& k) {
            return permutor::host::Text_CompareNoCase(e.first, k) < 0;
        });
        plain.insert(at, {key, i});
        const std::string& probe = words[random() % words.size()];
        const auto first =
            std::lower_bound(plain.begin(), plain.end(), probe, [](const auto& e, const std::string& k) {
                return permutor::host::Text_CompareNoCase(e.first, k) < 0;
            });
        const bool there =
            first != plain.end() && permutor::host::Text_CompareNoCase(first->first, probe) == 0;
        // Look-ups by key read the waiting entries without putting them in.
        ASSERT_EQ(list.Contains(probe), there) << probe << " after " << i;
        ASSERT_EQ(list.Lookup(probe), there ? first->second : 0) << probe << " after " << i;
        if (random() % 7 == 0) { // by index now and then, so that batches meet earlier entries
            std::size_t index = 0;
            ASSERT_EQ(list.Find(probe, index), there);
            ASSERT_EQ(index, std::size_t(first - plain.begin()));
            if (there) {
                EXPECT_EQ(list.Object(index), plain[index].second);
            }
        }
        if (random() % 50 == 0 && list.Count() > 0) {
            const std::size_t gone = random() % list.Count();
            list.Delete(gone);
            plain.erase(plain.begin() + std::ptrdiff_t(gone));
        }
    }
    ASSERT_EQ(list.Count(), plain.size());
    std::size_t i = 0;
    for (const auto& e : list) {
        EXPECT_EQ(e.Key, plain[i].first) << i;
        EXPECT_EQ(e.Object, plain[i].second) << i;
        ++i;
    }
}

TEST(SortedStringList, NetsAreKeyedByTheirReference) {
    pcbhost::THost host;
    auto& board = host.AddFreeBoard("/virtual/k/k.kicad_pcb");
    board.AddFreePad("1", 0, 0).Net("A");
    board.AddFreePad("2", 0, 0).Net("B");
    IPCB_Net* a = board.Model().FindNet("A");
    IPCB_Net* b = board.Model().FindNet("B");
    const std::string key = Net_Key(a);
    ASSERT_EQ(key.size(), 16u);
    EXPECT_EQ(std::stoull(key, nullptr, 16), reinterpret_cast<std::uintptr_t>(a));
    EXPECT_EQ(Net_Key(nullptr), "0000000000000000");

    TSortedStringList<int> nets;
    EXPECT_TRUE(nets.AddPCBObject(a, 1, true));
    EXPECT_FALSE(nets.AddPCBObject(a, 2, true));
    EXPECT_TRUE(nets.AddPCBObject(a, 3, false)); // unchecked: a second entry
    EXPECT_TRUE(nets.HasPCB(a));
    EXPECT_FALSE(nets.HasPCB(b));
    EXPECT_FALSE(nets.HasPCB(nullptr));
    EXPECT_TRUE(nets.AddPCBObject(nullptr, 4, true));
    EXPECT_TRUE(nets.HasPCB(nullptr));
    EXPECT_EQ(nets.Count(), 3u);
    EXPECT_EQ(nets.Lookup(Net_Key(a)), 3);
}

TEST(PackedList, PacksSortsAndCopies) {
    int v[6] = {5, 1, 4, 1, 3, 9};
    TPackedList<int> list;
    for (int& x : v)
        list.Add(&x);
    list.Pack([](int* x) { return *x == 1; });
    ASSERT_EQ(list.Count(), 4u);
    EXPECT_EQ(list.Items(), (std::vector<int*>{&v[0], &v[2], &v[4], &v[5]}));
    list.Sort([](int* a, int* b) { return *a - *b; });
    EXPECT_EQ(list.Items(), (std::vector<int*>{&v[4], &v[2], &v[0], &v[5]}));
    TPackedList<int> copy;
    copy.Add(&v[1]);
    copy.Assign(list);
    EXPECT_TRUE(copy == list);
    EXPECT_TRUE(copy.Remove(&v[2]));
    EXPECT_FALSE(copy.Remove(&v[1]));
    EXPECT_EQ(copy.IndexOf(&v[5]), 2);
    EXPECT_EQ(list.Count(), 4u);
}

TEST(HotSpotKey, HashesPositionAndLayerAndComparesTheSubNetToo) {
    const THotSpot h(0x12345678, 0x0000FFFF, eV6_MultiLayer, nullptr);
    // X xor (Y rotated right by 16) xor layer, as a signed 32-bit value widened to pointer size.
    EXPECT_EQ(h.Hash(), std::intptr_t(std::int32_t(0x12345678u ^ 0xFFFF0000u ^ 74u)));
    EXPECT_LT(h.Hash(), 0);
    int marker = 0;
    auto* subNet = reinterpret_cast<TSwapSubNet*>(&marker); // only compared, never used
    const THotSpot same(0x12345678, 0x0000FFFF, eV6_MultiLayer, nullptr);
    const THotSpot otherSubNet(0x12345678, 0x0000FFFF, eV6_MultiLayer, subNet);
    const THotSpot otherLayer(0x12345678, 0x0000FFFF, eV6_TopLayer, nullptr);
    EXPECT_TRUE(h.Equal(&same));
    EXPECT_FALSE(h.Equal(&otherSubNet));
    EXPECT_FALSE(h.Equal(&otherLayer));
    EXPECT_EQ(h.Hash(), otherSubNet.Hash());

    THotSpotList table;
    THotSpot a(1, 2, eV6_TopLayer, nullptr), b(1, 2, eV6_TopLayer, nullptr),
        c(1, 2, eV6_BottomLayer, nullptr);
    EXPECT_TRUE(table.Add(&a));
    EXPECT_FALSE(table.Add(&b));
    EXPECT_TRUE(table.Add(&c));
    EXPECT_EQ(table.Count(), 2u);
    EXPECT_EQ(table.Find(b), &a);
    EXPECT_EQ(table[1], &c);
    table.Clear();
    EXPECT_FALSE(table.Contains(a));
}

TEST_F(RecordsTest, AComponentsSwapDataComesFromItsSchematicComponent) {
    auto& u1 = Sch.AddComponent("U1", 2);
    u1.AddPin("1", 1).PinSwap("G").PartSwap("P").PartPinSwap("A");
    u1.AddPin("2", 2).PinSwap("G").PartSwap("P").PartPinSwap("A").PairSwap("Q");
    u1.AddPin("3", 2);
    u1.Unplace(2);
    auto& fp = Pcb.AddFootprint("U1", u1);
    for (const char* pad : {"1", "2", "3"})
        fp.AddPad(pad, 0, 0);
    NewSet(eSwap_Pins).Build_ComponentsOnly("");
    ASSERT_EQ(Set->Components.Count(), 1u);
    TSwapComponent* c = Set->Components[0];
    EXPECT_EQ(c->ImportFromSchematic_PinSwapData(), "Pin_1=G|Pin_2=G");
    EXPECT_EQ(c->ImportFromSchematic_PartSwapData(), "Part_1=P|PartPin_1=A|Part_2=P|PartPin_2=A");
    EXPECT_EQ(c->ImportFromSchematic_PairSwapData(), "Pair_2=Q");
    EXPECT_EQ(c->TotalSubPartCount(), 2);
    EXPECT_EQ(c->PlacedSubPartCount(), 1);
    // Every find is bracketed by its own begin and end.
    EXPECT_EQ(Project.Model().LookupBegins, Project.Model().LookupEnds);
}

TEST_F(RecordsTest, EditedSwapDataIsComparedWithWhatWasLoaded) {
    auto& u1 = Sch.AddComponent("U1");
    for (int i = 1; i <= 8; ++i)
        u1.AddPin(std::to_string(i));
    Pcb.AddFootprint("U1", u1);
    NewSet(eSwap_Pins).Build_ComponentsOnly("");
    TSwapComponent* c = Set->Components[0];
    EXPECT_EQ(c->PinSwapData_StatusString(), "");

    c->PinSwapData_Original = "Pin_1=A|Pin_2=A|Pin_3=A";
    c->PinSwapData_ExistAtStart = true;
    c->UpdatePinSwapData(c->PinSwapData_Original);
    EXPECT_FALSE(c->PinSwapData_Changed);
    EXPECT_TRUE(c->PinSwapData_ExistNow);
    EXPECT_EQ(c->PinSwapData_StatusString(), "(3/8)");
    c->UpdatePinSwapData("pin_1=A|Pin_2=A|Pin_3=A");
    EXPECT_TRUE(c->PinSwapData_Changed); // the comparison keeps case
    c->UpdatePinSwapData("");
    EXPECT_FALSE(c->PinSwapData_ExistNow);
    EXPECT_TRUE(c->PinSwapData_Changed);
    EXPECT_EQ(c->PinSwapData_StatusString(), "Removed");

    c->UpdatePartSwapData("Part_1=P|Part_2=P|PartPin_1=A");
    EXPECT_TRUE(c->PartSwapData_ExistNow);
    EXPECT_TRUE(c->PartSwapData_Changed);
    EXPECT_EQ(c->PartSwapData_StatusString(), "(2/8)");
    c->UpdatePairSwapData("Pair_1=D");
    EXPECT_EQ(c->PairSwapData_New, "Pair_1=D");
    EXPECT_TRUE(c->PairSwapData_Changed);
}

TEST_F(RecordsTest, WithoutASchematicComponentThereIsNoSwapDataToImport) {
    Set = std::make_unique<TSwapDataSet>("/virtual/none.kicad_pcb", eSwap_Pins);
    EXPECT_FALSE(Set->PCBBoard());
    EXPECT_FALSE(Set->Project());
    EXPECT_FALSE(Set->DM_Document());
    auto* c = TSwapComponent::Create(*Set, nullptr, nullptr, nullptr);
    EXPECT_EQ(c->ImportFromSchematic_PinSwapData(), "");
    EXPECT_EQ(c->TotalSubPartCount(), 0);
    EXPECT_EQ(c->PlacedSubPartCount(), 0);
    EXPECT_EQ(c->GetState_Description(), "");
    c->BuildPinAndSwapGroupLists(); // no board component: nothing
    EXPECT_TRUE(c->Pins().Empty());
    EXPECT_TRUE(Set->Build_ComponentsOnly("U1"));
    EXPECT_TRUE(Set->Components.Empty());
}
