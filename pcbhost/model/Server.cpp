// The PCB server: its boards, change brackets and undo history, objects the module creates.
#include "pcbhost/model/Board.h"

namespace pcbhost {

// ---------------------------------------------------------------- server

TPcbServer::TPcbServer() = default;
TPcbServer::~TPcbServer() {
    for (auto& b : FBoards)
        b->SetServer(nullptr);
}

void TPcbServer::AddBoard(TBoard* board) {
    if (!board || FindBoard(board->Path()) == board)
        return;
    board->SetServer(this);
    board->SetUI(FUI);
    FBoards.emplace_back(board);
}

void TPcbServer::RemoveBoard(TBoard* board) {
    std::erase_if(FBoards, [&](auto& b) { return b.get() == board; });
    if (board)
        board->SetServer(nullptr);
}

TBoard* TPcbServer::FindBoard(std::string_view path) const {
    for (auto& b : FBoards)
        if (b->Path() == path)
            return b.get();
    return nullptr;
}

void TPcbServer::SetUI(IPtr<IHostUI> ui) {
    FUI = std::move(ui);
    for (auto& b : FBoards)
        b->SetUI(FUI);
}

void TPcbServer::Record(TBoardChange change) {
    if (Recording())
        FOpenStep.push_back(std::move(change));
}

void TPcbServer::PreProcess() {
    ++FDepth;
}

void TPcbServer::PostProcess() {
    if (FDepth == 0)
        return;
    if (--FDepth > 0)
        return;
    ++FBracketCount;
    if (!FOpenStep.empty()) {
        FHistory.push_back(std::move(FOpenStep));
        FRedo.clear();
    }
    FOpenStep.clear();
}

bool TPcbServer::Undo() {
    if (FHistory.empty() || FDepth > 0)
        return false;
    auto step = std::move(FHistory.back());
    FHistory.pop_back();
    FRedo.push_back(Revert(step));
    return true;
}

bool TPcbServer::Redo() {
    if (FRedo.empty() || FDepth > 0)
        return false;
    auto step = std::move(FRedo.back());
    FRedo.pop_back();
    FHistory.push_back(Revert(step));
    return true;
}

std::vector<TBoardChange> TPcbServer::Revert(const std::vector<TBoardChange>& step) {
    // The inverse of each change is noted from the state just before it is taken back, so that
    // reverting the inverse restores exactly what was there (a switch set to the value it had,
    // connection ends moved twice).
    std::vector<TBoardChange> inverse;
    inverse.reserve(step.size());
    FUndoing = true;
    for (auto it = step.rbegin(); it != step.rend(); ++it) {
        auto* board = dynamic_cast<TBoard*>(it->Board.get());
        TPrimitive* p = it->Primitive ? ModelOf(it->Primitive.get()) : nullptr;
        TPcbNet* oldNet = it->OldNet ? ModelOf(it->OldNet.get()) : nullptr;
        TPcbNet* newNet = it->NewNet ? ModelOf(it->NewNet.get()) : nullptr;
        TBoardChange back = *it;
        switch (it->Kind) {
        case TBoardChange::eNet:
            back.OldNet = p->OwnerNet() ? IPtr<IPCB_Net>(p->OwnerNet()) : nullptr;
            back.NewNet = it->OldNet;
            p->AssignNet(oldNet);
            break;
        case TBoardChange::ePlace:
            back.Kind = TBoardChange::eUnplace;
            back.OldNet = p->OwnerNet() ? IPtr<IPCB_Net>(p->OwnerNet()) : nullptr;
            board->Unplace(p);
            break;
        case TBoardChange::eUnplace:
            back.Kind = TBoardChange::ePlace;
            board->Place(p);
            p->AssignNet(oldNet);
            break;
        case TBoardChange::eNetPlace:
            back.Kind = TBoardChange::eNetUnplace;
            board->UnplaceNet(newNet);
            break;
        case TBoardChange::eNetUnplace:
            back.Kind = TBoardChange::eNetPlace;
            board->PlaceNet(newNet);
            break;
        case TBoardChange::ePinSwitch:
        case TBoardChange::ePartSwitch: {
            auto* component = static_cast<TPcbComponent*>(p);
            const bool pin = it->Kind == TBoardChange::ePinSwitch;
            back.OldValue = pin ? component->PinSwappingEnabled() : component->PartSwappingEnabled();
            component->SetSwitch(pin, it->OldValue, false);
            break;
        }
        case TBoardChange::eEnds: {
            auto* connection = static_cast<TConnection*>(p);
            back.Ends[0] = connection->X1(), back.Ends[1] = connection->Y1();
            back.Ends[2] = connection->X2(), back.Ends[3] = connection->Y2();
            back.EndLayers[0] = connection->Layer1(), back.EndLayers[1] = connection->Layer2();
            connection->SetEnds(it->Ends[0], it->Ends[1], it->EndLayers[0], it->Ends[2], it->Ends[3],
                                it->EndLayers[1]);
            break;
        }
        }
        inverse.push_back(std::move(back));
    }
    FUndoing = false;
    return inverse;
}

IPtr<IPCB_Board> TPcbServer::BoardByDocumentPath(const std::string& path) {
    return IPtr<IPCB_Board>(FindBoard(path));
}

IPtr<IUnknown> TPcbServer::CreateObject(TObjectId kind) {
    IPtr<IPCB_Primitive> p;
    switch (kind) {
    case eConnectionObject:
        p = MakeObject<TConnection>();
        break;
    case eTrackObject:
        p = MakeObject<TTrack>();
        break;
    case eArcObject:
        p = MakeObject<TArc>();
        break;
    case eViaObject:
        p = MakeObject<TVia>();
        break;
    case ePadObject:
        p = MakeObject<TPad>();
        break;
    case eRegionObject:
        p = MakeObject<TRegion>();
        break;
    case eNetObject:
        return permutor::host::QueryInterface<IUnknown>(MakeObject<TPcbNet>(""));
    default:
        return nullptr;
    }
    FFloating.emplace(p->Handle(), p);
    return permutor::host::QueryInterface<IUnknown>(p);
}

IPtr<IPCB_Primitive> TPcbServer::ObjectFromHandle(std::uint64_t handle) {
    for (auto& b : FBoards)
        if (TPrimitive* p = b->FindByHandle(handle))
            return IPtr<IPCB_Primitive>(p->Interface());
    auto it = FFloating.find(handle);
    return it == FFloating.end() ? nullptr : it->second;
}

void TPcbServer::DestroyObject(IUnknown* object) {
    if (auto primitive = permutor::host::QueryInterface<IPCB_Primitive>(object)) {
        if (TPrimitive* p = ModelOf(primitive.get())) {
            if (p->OwnerBoard())
                p->OwnerBoard()->Unplace(p);
            p->AssignNet(nullptr);
        }
        if (auto it = FFloating.find(primitive->Handle()); it != FFloating.end() && it->second == primitive)
            FFloating.erase(it);
    } else if (auto net = permutor::host::QueryInterface<IPCB_Net>(object)) {
        if (TPcbNet* n = ModelOf(net.get()); n && n->OwnerBoard())
            n->OwnerBoard()->UnplaceNet(n);
    }
}

} // namespace pcbhost
