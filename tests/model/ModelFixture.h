// A project of the in-memory host (schematic and board built in code) with the module's client
// set, and short ways to build a swap data set on its board and look into it.
#pragma once

#include "permutor/host/Services.h"
#include "permutor/model/SwapDataSet.h"

#include "pcbhost/model/Host.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace permutor::model::testing {

using namespace pcbhost;
using permutor::host::Client_Set;

class TModelFixture : public ::testing::Test {
protected:
    void SetUp() override { Client_Set(Host.Client().get()); }
    void TearDown() override {
        Set.reset();
        Client_Set(nullptr);
    }

    // A data set on the board, for `mode`, dialogs suppressed unless told otherwise.
    TSwapDataSet& NewSet(TSwapMode mode, bool suppressDialogs = true) {
        Set = std::make_unique<TSwapDataSet>(Pcb.Path(), mode);
        Set->SetSuppressDialogs(suppressDialogs);
        return *Set;
    }
    // Builds a new data set; the build's result.
    bool Build(TSwapMode mode, bool interactive = true, bool suppressDialogs = true) {
        return NewSet(mode, suppressDialogs).Build("", interactive);
    }

    // A component whose pins 1..ids.size() carry the given pin swap ids, with a footprint whose
    // pads of the same names sit 2 mm apart from (x, 0) downwards, pad i on net nets[i].
    TComponentBuilder& PinComponent(const std::string& designator, const std::vector<std::string>& ids,
                                    const std::vector<std::string>& nets, double x = 0) {
        auto& component = Sch.AddComponent(designator);
        auto& footprint = Pcb.AddFootprint(designator, component).PinSwapEnabled();
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const std::string name = std::to_string(i + 1);
            component.AddPin(name).PinSwap(ids[i]);
            footprint.AddPad(name, x, 2.0 * double(i)).Net(i < nets.size() ? nets[i] : "");
        }
        return component;
    }

    // U2 with two gates of the part swap group "NAND": pins 1-3 in unit 1 and 4-6 in unit 2, with
    // part-pin ids A, B, Y; pad n sits 2n mm down from (0, 0) on net "Nn".
    struct TGates {
        TComponentBuilder& Symbol;
        TFootprintBuilder& Footprint;
    };
    TGates TwoNandGates() {
        auto& u2 = Sch.AddComponent("U2", 2);
        auto& fp = Pcb.AddFootprint("U2", u2).PartSwapEnabled();
        const char* keys[] = {"A", "B", "Y"};
        for (int unit = 1; unit <= 2; ++unit)
            for (int k = 0; k < 3; ++k) {
                const std::string name = std::to_string((unit - 1) * 3 + k + 1);
                u2.AddPin(name, unit).PartSwap("NAND").PartPinSwap(keys[k]);
                fp.AddPad(name, 0, 2.0 * std::stoi(name)).Net("N" + name);
            }
        return {u2, fp};
    }

    TSwapComponent* ComponentNamed(const std::string& designator) const {
        for (TSwapComponent* c : Set->Components)
            if (c->GetState_Description() == designator)
                return c;
        return nullptr;
    }
    static TSwapPin* PinNamed(const TSwapGroup* group, const std::string& padName) {
        for (TSwapPin* p : group->SwapPins)
            if (p->Pin_PCB()->Name() == padName)
                return p;
        return nullptr;
    }
    // The sub-nets of MasterSubNetList_All whose primitives hold the pad.
    std::vector<TSwapSubNet*> SubNetsHolding(TPad& pad) const {
        std::vector<TSwapSubNet*> r;
        for (TSwapSubNet* s : Set->MasterSubNetList_All)
            for (auto& p : s->Primitives)
                if (p.get() == pad.Interface())
                    r.push_back(s);
        return r;
    }
    TSwapSubNet* SubNetOf(TPad& pad) const {
        auto all = SubNetsHolding(pad);
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? nullptr : all.front();
    }
    TPad& PadOf(const std::string& designator, const std::string& name) {
        return Pcb.Footprint(designator).Pad(name).Model();
    }
    std::vector<std::string> GroupIds(const TPackedList<TSwapGroup>& groups) const {
        std::vector<std::string> ids;
        for (TSwapGroup* g : groups)
            ids.push_back(g->ID);
        return ids;
    }
    std::vector<std::string> PadNames(const TPackedList<TSwapPin>& pins) const {
        std::vector<std::string> names;
        for (TSwapPin* p : pins)
            names.push_back(p->Pin_PCB()->Name());
        return names;
    }
    // Panel lines of one class.
    std::vector<TMessageLine> Lines(const std::string& messageClass) const {
        std::vector<TMessageLine> r;
        for (const auto& line : Host.Messages())
            if (line.MessageClass == messageClass)
                r.push_back(line);
        return r;
    }

    THost Host;
    TProjectBuilder& Project = Host.AddProject("/virtual/m/m.kicad_pro");
    TSchematicBuilder& Sch = Project.AddSchematic("/virtual/m/m.kicad_sch");
    TBoardBuilder& Pcb = Project.AddBoard("/virtual/m/m.kicad_pcb");
    std::unique_ptr<TSwapDataSet> Set;
};

} // namespace permutor::model::testing
