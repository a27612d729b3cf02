// Pin-mode and part-mode builds on the public KiCad boards, after giving swap identifiers to a
// few components the way a user would: the I/O pins of the FPGA or bus part in one pin group,
// the gates of multi-unit parts in one part group each.
#include "ModelFixture.h"

#include "pcbhost/project/KicadProject.h"

#include <filesystem>
#include <iostream>
#include <map>
#include <regex>
#include <set>

using namespace permutor::model;
using namespace pcbhost;
using namespace pcbhost::kicad;
namespace fs = std::filesystem;

namespace {

const fs::path cBoards = fs::path(PERMUTOR_SHARED_DIR) / "boards";

struct TBoardCase {
    std::string Name;
    std::string Path; // project or board, relative to the boards folder
    std::string PinComponent;
    std::vector<std::string> PartComponents;
    // Least number of swappable sub-nets of the pin component's group.
    std::size_t MinSwappablePins;
};

const TBoardCase cCases[] = {
    {"pico-ice", "pico-ice/Board/Rev3/pico-ice.kicad_pro", "U6", {"RN1"}, 0},
    {"ccpu-eth",
     "ccpu-eth/boards/eth/eth.kicad_pro",
     "U20",
     {"U1", "U5", "U6", "U7", "U8", "U9", "U33", "U37"},
     0},
    {"eurorack-pmod",
     "eurorack-pmod/hardware/eurorack-pmod-r3.3/eurorack-pmod-pcb.kicad_pro",
     "U10",
     {"U2", "U3", "U9", "RN1", "RN2"},
     0},
    {"icebreaker", "icebreaker/hardware/v1.0e/icebreaker.kicad_pro", "U6", {"R2", "R4", "R11"}, 0},
    // No gates on this board: the FPGA's banks of equal size stand in for them.
    {"glasgow", "glasgow/hardware/boards/glasgow/glasgow.kicad_pro", "U30", {"U30"}, 0},
    {"glasgow-unrouted", "glasgow/hardware/boards/glasgow/glasgow-unrouted.kicad_pcb", "U30", {"U30"}, 60},
};

bool IsSupplyNet(const std::string& name) {
    static const std::regex supply(R"((GND|VCC|VDD|VSS|VIO|VPP|VBUS|VREF|^\+|^-|[0-9]V[0-9]|[0-9]V$))",
                                   std::regex::icase);
    return std::regex_search(name, supply);
}

struct SharedBoardsTest : ::testing::TestWithParam<TBoardCase> {
    void SetUp() override {
        Project = TKicadProject::Open(Host, (cBoards / GetParam().Path).string());
        ASSERT_TRUE(Project->IsProject());
        permutor::host::Client_Set(Host.Client().get());
    }
    void TearDown() override {
        Set.reset();
        permutor::host::Client_Set(nullptr);
    }

    // Every pin of the component whose pad is on a signal net gets the pin swap id "IO".
    std::size_t GivePinIds(const std::string& reference) {
        TSchSymbol* symbol = Project->FindSymbol(reference);
        TPcbComponent* footprint = Project->Board()->FindComponent(reference);
        EXPECT_TRUE(symbol && footprint) << reference;
        if (!symbol || !footprint)
            return 0;
        std::string text;
        std::size_t count = 0;
        for (const auto& pin : symbol->Pins()) {
            TPad* pad = footprint->FindPad(pin->DesignatorText());
            if (!pad || !pad->OwnerNet() || IsSupplyNet(pad->OwnerNet()->Name()))
                continue;
            text += (text.empty() ? "" : "|") + std::string("Pin_") + pin->DesignatorText() + "=IO";
            ++count;
        }
        SwapFields_Apply(*symbol, text, "", "");
        footprint->SetPinSwappingEnabled(true);
        return count;
    }

    // The units with the most common count of signal pins are gates of one part group (supply
    // pins stay out); a pin's place in its unit is its part-pin id. Returns the number of gates.
    std::size_t GivePartIds(const std::string& reference) {
        TSchSymbol* symbol = Project->FindSymbol(reference);
        TPcbComponent* footprint = Project->Board()->FindComponent(reference);
        EXPECT_TRUE(symbol && footprint) << reference;
        if (!symbol || !footprint)
            return 0;
        std::map<std::int32_t, std::vector<std::string>> units;
        for (const auto& pin : symbol->Pins()) {
            TPad* pad = footprint->FindPad(pin->DesignatorText());
            if (pin->Unit() > 0 && !(pad && pad->OwnerNet() && IsSupplyNet(pad->OwnerNet()->Name())))
                units[pin->Unit()].push_back(pin->DesignatorText());
        }
        std::map<std::size_t, std::size_t> sizes;
        for (auto& [unit, pins] : units)
            ++sizes[pins.size()];
        std::size_t gateSize = 0, most = 0;
        for (auto [size, n] : sizes)
            if (n > most)
                most = n, gateSize = size;
        std::string text;
        std::size_t gates = 0;
        for (auto& [unit, pins] : units) {
            if (pins.size() != gateSize)
                continue;
            ++gates;
            for (std::size_t i = 0; i < pins.size(); ++i)
                text += (text.empty() ? "" : "|") + std::string("Part_") + pins[i] + "=G|PartPin_" + pins[i] +
                        "=" + std::to_string(i + 1);
        }
        std::string pin, part, pair;
        SwapFields_Compose(*symbol, pin, part, pair);
        SwapFields_Apply(*symbol, pin, text, pair);
        footprint->SetPartSwappingEnabled(true);
        return gates;
    }

    TSwapDataSet& BuildSet(TSwapMode mode) {
        Set = std::make_unique<TSwapDataSet>(Project->BoardPath(), mode);
        Set->SetSuppressDialogs(true);
        EXPECT_TRUE(Set->Build("", false));
        return *Set;
    }

    // What holds after every successful build.
    void CheckInvariants() {
        TSwapDataSet& set = *Set;
        for (const auto& entry : set.Nets)
            EXPECT_FALSE(entry.Object->FSubNets_All.Empty()) << entry.Object->NetName();
        std::size_t swappable = 0;
        for (TSwapSubNet* s : set.MasterSubNetList_All) {
            if (!s->SwapPin)
                continue;
            ++swappable;
            std::size_t pads = 0;
            for (auto& p : s->Primitives)
                pads += p->ObjectId() == ePadObject;
            EXPECT_EQ(pads, 1u) << s->GetState_Description();
            EXPECT_EQ(s->SwapPin->SubNet, s);
            EXPECT_EQ(set.FindSwapPinByPad(s->SwapPin->Pin_PCB().get()), s->SwapPin);
            TSwapGroup* group = set.SwapMode() == eSwap_Pins ? s->PinSwapGroup() : s->PartSwapGroup();
            ASSERT_NE(group, nullptr);
            EXPECT_TRUE(group->SubNets.Contains(s));
            if (s->PinSwapGroup()) {
                EXPECT_EQ(s->NetIndex_Current, s->NetIndex_Original);
                EXPECT_EQ(s->Net_Current(), s->Net_Original);
            }
        }
        EXPECT_EQ(swappable, set.MasterSubNetList_Swappable.Count());
        for (TSwapGroup* g : set.PinSwapGroups)
            for (TSwapPin* p : g->SwapPins) {
                EXPECT_EQ(p->PinSwapGroup, g);
                EXPECT_EQ(p->PartSwapGroup, nullptr);
            }

        // Totals against the pairs and costs counted out in full.
        const auto& list = set.MasterSubNetList_Swappable;
        std::int32_t crossings = 0;
        double cost = 0;
        for (std::size_t i = 0; i < list.Count(); ++i) {
            cost += list[i]->SubNetCost();
            for (std::size_t j = i + 1; j < list.Count(); ++j)
                crossings += list[i]->Crosses(list[j]);
        }
        EXPECT_EQ(set.TotalIntersectionCount(), crossings);
        EXPECT_NEAR(set.TotalSubNetCost(), cost, 1e-6 * (1 + cost));

        for (TPrimitive* p : Project->Board()->PrimitiveList()) {
            IPCB_Primitive* primitive = p->Interface();
            ASSERT_EQ(set.FindSubNetFromPrimitive(primitive), set.FindSubNetFromPrimitive_Scan(primitive));
            if (auto pad = QueryInterface<IPCB_Pad>(primitive)) {
                ASSERT_EQ(set.FindSwapPinByPad(pad.get()), set.FindSwapPinByPad_Scan(pad.get()));
            }
        }
    }

    static std::size_t GroupSubNets(const TPackedList<TSwapGroup>& groups, const std::string& reference) {
        std::size_t n = 0;
        for (TSwapGroup* g : groups)
            if (g->Component->GetState_Description() == reference)
                n += g->SubNets.Count();
        return n;
    }

    void PinAndPartBuilds(bool unrouted);

    THost Host;
    std::unique_ptr<TKicadProject> Project;
    std::unique_ptr<TSwapDataSet> Set;
};

} // namespace

// Builds in pin mode and in part mode and checks them; `unrouted` also wants most pins and some
// gates swappable.
void SharedBoardsTest::PinAndPartBuilds(bool unrouted) {
    const TBoardCase& c = GetParam();
    const std::string variant = c.Name + (unrouted ? " without tracks" : "");
    const std::size_t pinIds = GivePinIds(c.PinComponent);
    std::size_t gates = 0;
    for (const auto& reference : c.PartComponents)
        gates += GivePartIds(reference);
    ASSERT_GE(pinIds, 8u);
    ASSERT_GE(gates, 2 * c.PartComponents.size());

    TSwapDataSet& pins = BuildSet(eSwap_Pins);
    // Components with part ids and their part switch on are swap components too, without pins.
    EXPECT_EQ(pins.Components.Count(),
              1 + c.PartComponents.size() -
                  (std::count(c.PartComponents.begin(), c.PartComponents.end(), c.PinComponent)));
    std::size_t pinsOfComponents = 0;
    for (TSwapComponent* component : pins.Components) {
        const bool pinComponent = component->GetState_Description() == c.PinComponent;
        EXPECT_EQ(component->Pins().Count(), pinComponent ? pinIds : 0u) << component->GetState_Description();
        pinsOfComponents += component->Pins().Count();
    }
    EXPECT_EQ(pinsOfComponents, pinIds);
    for (TSwapGroup* g : pins.PinSwapGroups)
        EXPECT_EQ(g->Component->GetState_Description(), c.PinComponent);
    // Pads without a schematic pin of their name (exposed pads, mounting holes) are only counted.
    EXPECT_EQ(pins.ErrorCount_BadPins, 0);
    CheckInvariants();
    // Every net of a pin with an id keeps its sub-nets: on a routed board one island per net, which
    // reaches other pads and so is not swapped.
    std::set<TPcbNet*> pinNets;
    for (TPad* pad : Project->Board()->FindComponent(c.PinComponent)->Pads())
        if (pad->OwnerNet() && !IsSupplyNet(pad->OwnerNet()->Name()))
            pinNets.insert(pad->OwnerNet());
    EXPECT_EQ(pins.Nets.Count(), pinNets.size());
    const std::size_t pinSubNets = GroupSubNets(pins.PinSwapGroups, c.PinComponent);
    EXPECT_GE(pinSubNets, unrouted ? pinIds / 2 : c.MinSwappablePins);
    EXPECT_LE(pinSubNets, pinIds);
    if (pinSubNets > 0) {
        EXPECT_EQ(pins.PinSwapGroups.Count(), 1u);
        EXPECT_GT(pins.GetTotalCost(), 0.0);
    }
    std::cout << "[ " << variant << " ] pin mode: " << pinIds << " pins with ids, " << pins.Nets.Count()
              << " nets, " << pins.MasterSubNetList_All.Count() << " sub-nets, " << pinSubNets
              << " swappable, cost " << pins.TotalSubNetCost() << ", " << pins.TotalIntersectionCount()
              << " crossings, " << pins.ErrorCount_MissingPins << " pads without pin\n";

    const std::size_t components = pins.Components.Count();
    TSwapDataSet& parts = BuildSet(eSwap_Parts);
    EXPECT_EQ(parts.Components.Count(), components);
    EXPECT_EQ(parts.PartSwapGroups.Count(), c.PartComponents.size());
    EXPECT_TRUE(parts.PinSwapGroups.Empty());
    CheckInvariants();
    std::size_t subParts = 0;
    for (TSwapGroup* g : parts.PartSwapGroups) {
        subParts += g->SubParts.Count();
        for (const auto& entry : g->SubParts) {
            EXPECT_EQ(entry.Object->SwapGroup, g);
            for (const auto& pin : entry.Object->SubNets)
                EXPECT_EQ(pin.Object->SwapPin->SubPartNumber(), entry.Object->Id);
        }
    }
    EXPECT_LE(subParts, gates);
    if (unrouted) {
        EXPECT_GE(subParts, 2u);
    }
    std::cout << "[ " << variant << " ] part mode: " << gates << " gates with ids, " << subParts
              << " sub-parts, " << parts.MasterSubNetList_Swappable.Count() << " swappable sub-nets\n";
}

TEST_P(SharedBoardsTest, PinModeAndPartModeBuildsSucceedAsLoaded) {
    PinAndPartBuilds(false);
}

// Routed pins reach other pads and are not swapped; without tracks and vias they are.
TEST_P(SharedBoardsTest, PinModeAndPartModeBuildsSucceedWithoutTracksAndVias) {
    TBoard& board = *Project->Board();
    std::vector<TPrimitive*> routing;
    for (TPrimitive* p : board.PrimitiveList())
        if (p->Kind() == eTrackObject || p->Kind() == eArcObject || p->Kind() == eViaObject)
            routing.push_back(p);
    for (TPrimitive* p : routing)
        board.Unplace(p);
    PinAndPartBuilds(true);
}

INSTANTIATE_TEST_SUITE_P(Boards, SharedBoardsTest, ::testing::ValuesIn(cCases), [](const auto& info) {
    std::string name = info.param.Name;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});
