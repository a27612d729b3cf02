// Components: the pads they own and their swap switches.
#include "pcbhost/model/Board.h"
#include "pcbhost/model/BoardInternal.h"

namespace pcbhost {

using namespace board_detail;

// ---------------------------------------------------------------- component

TPcbComponent::TPcbComponent() : TPrimitiveImpl(eComponentObject) {}

TPcbComponent::~TPcbComponent() {
    for (TPad* pad : FPads) {
        if (pad->FComponent == this)
            pad->FComponent = nullptr;
        Drop(pad);
    }
}

void TPcbComponent::AddPad(TPad* pad) {
    Retain(pad);
    pad->FComponent = this;
    FPads.push_back(pad);
    Touched(true);
}

TPad* TPcbComponent::FindPad(std::string_view name) const {
    for (TPad* pad : FPads)
        if (pad->Name() == name)
            return pad;
    return nullptr;
}

void TPcbComponent::SetSwitch(bool pin, bool value, bool record) {
    bool& field = pin ? FPinSwapping : FPartSwapping;
    if (field == value)
        return;
    TBoard* board = OwnerBoard();
    if (record && board && board->Server() && board->Server()->Recording()) {
        TBoardChange c;
        c.Kind = pin ? TBoardChange::ePinSwitch : TBoardChange::ePartSwitch;
        c.Board = board;
        c.Primitive = this;
        c.OldValue = field;
        board->Server()->Record(std::move(c));
    }
    field = value;
    Touched(false);
}

void TPcbComponent::SetPinSwappingEnabled(bool enabled) {
    SetSwitch(true, enabled, true);
}
void TPcbComponent::SetPartSwappingEnabled(bool enabled) {
    SetSwitch(false, enabled, true);
}

IPtr<IPCB_Iterator> TPcbComponent::IteratePrimitives(const TObjectSet& kinds) {
    std::vector<IPtr<IPCB_Primitive>> items;
    for (TPad* pad : FPads)
        if (kinds.Contains(pad->Kind()))
            items.emplace_back(pad);
    return MakeObject<TListIterator>(std::move(items));
}

TCoordRect TPcbComponent::Bounds() const {
    if (FPads.empty())
        return {};
    geo::TBox box = FPads.front()->Shape().Bounds();
    for (TPad* pad : FPads)
        geo::bg::expand(box, pad->Shape().Bounds());
    return RectOf(box);
}

std::string TPcbComponent::Describe() const {
    return "Component " + FNameText;
}

} // namespace pcbhost
