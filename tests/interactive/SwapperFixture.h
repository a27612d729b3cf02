// Boards built in code for the interactive swappers, with picks on pads scripted the way a user
// clicks them, and short ways to read what the swappers showed and changed.
#pragma once

#include "../model/ModelFixture.h"

#include "permutor/interactive/PartSwapper.h"
#include "permutor/interactive/Swappers.h"
#include "permutor/optimizers/RunDrivers.h"

#include "pcbhost/model/Board.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace permutor::interactive::testing {

using namespace permutor::model;
using namespace permutor::model::testing;

class TSwapperFixture : public TModelFixture {
protected:
    void SetUp() override {
        TModelFixture::SetUp();
        Swappers_Register();
    }

    TScriptedUI& UI() { return Host.UI(); }
    // A click on the centre of the pad; where the component and ratsnest lines lie there too, the
    // pad is what was meant.
    void Pick(TBoard& board, const std::string& ref, const std::string& pad) {
        TPcbComponent* component = board.FindComponent(ref);
        ASSERT_NE(component, nullptr) << ref;
        TPad* p = component->FindPad(pad);
        ASSERT_NE(p, nullptr) << ref << "-" << pad;
        UI().QueuePickOf(p->X(), p->Y(), "Pad " + ref + "-" + pad + " ");
    }
    void Pick(const std::string& ref, const std::string& pad) { Pick(Pcb.Model(), ref, pad); }

    static std::string NetOf(TBoard& board, const std::string& ref, const std::string& pad) {
        TPcbNet* net = board.FindComponent(ref)->FindPad(pad)->OwnerNet();
        return net ? net->Name() : std::string();
    }
    std::string NetOf(const std::string& ref, const std::string& pad) { return NetOf(Pcb.Model(), ref, pad); }

    // The swappers' report lines (the build's warnings about the connectors left out).
    std::vector<TMessageLine> SwapperLines() const { return Lines("[Information]"); }
    std::vector<std::string> PanelTexts() const {
        std::vector<std::string> r;
        for (const auto& line : SwapperLines())
            r.push_back(line.Text);
        return r;
    }
    std::vector<std::string> ErrorBoxes() {
        std::vector<std::string> r;
        for (const auto& box : UI().Boxes())
            if (box.Kind == eMessageBox_Error)
                r.push_back(box.Text);
        return r;
    }
    // The pads among one highlight the board showed, as "REF-PAD".
    static std::set<std::string> HighlightedPads(const pcbhost::THighlightShow& show) {
        std::set<std::string> r;
        for (const auto& p : show.Objects)
            if (auto pad = permutor::host::QueryInterface<permutor::host::IPCB_Pad>(p)) {
                auto component = pad->Component();
                r.insert((component ? component->NameText() + "-" : std::string()) + pad->Name());
            }
        return r;
    }
};

} // namespace permutor::interactive::testing
