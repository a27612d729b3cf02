// The board document: copper layers, placing and removing nets and primitives, the pin-swap log.
#include "pcbhost/model/Board.h"
#include "pcbhost/model/BoardInternal.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace pcbhost {

using namespace board_detail;

// ---------------------------------------------------------------- board

TBoard::TBoard(std::string path) : FPath(std::move(path)), FSwapLog(MakeObject<TPinSwapLog>()) {}

TBoard::~TBoard() {
    FPairs.clear();
    for (TPcbNet* net : FNets) {
        net->DropRatsnest();
        net->FBoard = nullptr;
    }
    Compact();
    FComponents.clear();
    Identity_Changed();
    for (TPrimitive* p : FPrimitives)
        p->FBoard = nullptr;
    auto primitives = std::move(FPrimitives);
    for (TPrimitive* p : primitives)
        Drop(p);
    auto nets = std::move(FNets);
    for (TPcbNet* net : nets)
        net->Release();
}

void TBoard::SetCopperLayers(std::vector<TV6_Layer> layers) {
    std::sort(layers.begin(), layers.end());
    layers.erase(std::unique(layers.begin(), layers.end()), layers.end());
    if (layers.empty())
        layers = {eV6_TopLayer, eV6_BottomLayer};
    FCopperLayers = std::move(layers);
    for (TPcbNet* net : FNets)
        net->MarkDirty();
    FSpatialDirty = true;
}

void TBoard::SetCopperLayerCount(std::int32_t count) {
    std::vector<TV6_Layer> layers{eV6_TopLayer};
    for (std::int32_t i = 1; i + 1 < count && i <= 30; ++i)
        layers.push_back(TV6_Layer(eV6_TopLayer + i));
    layers.push_back(eV6_BottomLayer);
    SetCopperLayers(std::move(layers));
}

TLayerSet TBoard::CopperSpan(TV6_Layer start, TV6_Layer stop) const {
    if (start > stop)
        std::swap(start, stop);
    TLayerSet s;
    for (TV6_Layer l : FCopperLayers)
        if (l >= start && l <= stop)
            s.Include(l);
    return s;
}

TPcbNet* TBoard::FindNet(std::string_view name) const {
    if (!FNetIndexValid) {
        FNetByName.clear();
        for (TPcbNet* net : FNets)
            FNetByName.try_emplace(net->FName, net);
        FNetIndexValid = true;
    }
    auto it = FNetByName.find(std::string(name));
    return it == FNetByName.end() ? nullptr : it->second;
}

TPcbNet& TBoard::EnsureNet(const std::string& name) {
    if (TPcbNet* net = FindNet(name))
        return *net;
    auto net = MakeObject<TPcbNet>(name);
    PlaceNet(net.get());
    return *net;
}

void TBoard::PlaceNet(TPcbNet* net) {
    if (!net || net->FBoard == this)
        return;
    if (net->FBoard)
        net->FBoard->UnplaceNet(net);
    if (FServer && FServer->Recording()) {
        TBoardChange c;
        c.Kind = TBoardChange::eNetPlace;
        c.Board = this;
        c.NewNet = net;
        FServer->Record(std::move(c));
    }
    net->AddRef();
    net->FBoard = this;
    net->FDirty = true;
    FNets.push_back(net);
    if (FNetIndexValid)
        FNetByName.try_emplace(net->FName, net);
    FPairsDirty = true;
    NoteChange();
}

void TBoard::UnplaceNet(TPcbNet* net) {
    auto it = std::find(FNets.begin(), FNets.end(), net);
    if (it == FNets.end())
        return;
    IPtr<IPCB_Net> keep(net);
    if (FServer && FServer->Recording()) {
        TBoardChange c;
        c.Kind = TBoardChange::eNetUnplace;
        c.Board = this;
        c.NewNet = net;
        FServer->Record(std::move(c));
    }
    auto members = net->Members();
    for (TPrimitive* p : members)
        p->AssignNet(nullptr);
    net->DropRatsnest();
    net->FBoard = nullptr;
    FNets.erase(std::find(FNets.begin(), FNets.end(), net));
    FNetIndexValid = false;
    FPairsDirty = true;
    NoteChange();
    net->Release();
}

void TBoard::Place(TPrimitive* p) {
    if (!p || p->FBoard == this)
        return;
    IPtr<IPCB_Primitive> keep(p->Interface());
    if (p->FBoard)
        p->FBoard->Unplace(p);
    if (FServer && FServer->Recording()) {
        TBoardChange c;
        c.Kind = TBoardChange::ePlace;
        c.Board = this;
        c.Primitive = keep;
        FServer->Record(std::move(c));
    }
    Retain(p);
    p->FBoard = this;
    FPosition[p] = FPrimitives.size();
    FPrimitives.push_back(p);
    // Only components are of the component kind: the kind test spares a cast.
    if (p->Kind() == eComponentObject) {
        FComponents.push_back(static_cast<TPcbComponent*>(p));
        Identity_Changed();
    }
    FByHandle[p->HandleValue()] = p;
    if (!p->SourceId().empty())
        std::erase(FRemovedSourceIds, p->SourceId());
    FSpatialDirty = true;
    NoteChange();
    if (p->FNet)
        p->FNet->MarkDirty();
    if (auto* component = dynamic_cast<TPcbComponent*>(p))
        for (TPad* pad : component->Pads())
            Place(pad);
}

void TBoard::Unplace(TPrimitive* p) {
    if (!FPosition.count(p))
        return;
    IPtr<IPCB_Primitive> keep(p->Interface());
    if (auto* component = dynamic_cast<TPcbComponent*>(p))
        for (TPad* pad : component->Pads())
            Unplace(pad);
    if (FServer && FServer->Recording()) {
        TBoardChange c;
        c.Kind = TBoardChange::eUnplace;
        c.Board = this;
        c.Primitive = keep;
        c.OldNet = p->FNet;
        FServer->Record(std::move(c));
    }
    if (p->FNet)
        p->FNet->Detach(p);
    if (!p->SourceId().empty())
        FRemovedSourceIds.push_back(p->SourceId());
    p->FBoard = nullptr;
    auto at = FPosition.find(p);
    FPrimitives[at->second] = nullptr;
    FPosition.erase(at);
    if (p->Kind() == eComponentObject) {
        FComponents.erase(std::find(FComponents.begin(), FComponents.end(), p));
        Identity_Changed();
    }
    ++FUnplaced;
    FByHandle.erase(p->HandleValue());
    if (FCurrentObject == p)
        FCurrentObject = nullptr;
    std::erase(FContext, p);
    FSpatialDirty = true;
    NoteChange();
    Drop(p);
}

void TBoard::Compact() const {
    if (!FUnplaced)
        return;
    std::size_t to = 0;
    for (std::size_t from = 0; from < FPrimitives.size(); ++from)
        if (TPrimitive* p = FPrimitives[from]) {
            if (to != from)
                FPosition[p] = to;
            FPrimitives[to++] = p;
        }
    FPrimitives.resize(to);
    FUnplaced = 0;
}

void TBoard::ClearModifiedFlags() {
    Compact();
    FModified = false;
    for (TPrimitive* p : FPrimitives)
        p->ClearModified();
}

TPcbComponent* TBoard::FindComponent(std::string_view designator) const {
    for (TPcbComponent* c : FComponents)
        if (c->NameText() == designator)
            return c;
    return nullptr;
}

TPrimitive* TBoard::FindByHandle(std::uint64_t handle) const {
    if (auto it = FByHandle.find(handle); it != FByHandle.end())
        return it->second;
    for (TPcbNet* net : FNets)
        for (TConnection* c : net->FRatsnest)
            if (c->HandleValue() == handle)
                return c;
    return nullptr;
}

const TSwapLogEntries& TBoard::SwapLog() const {
    return FSwapLog->Entries();
}

void TBoard::AddNet(IPCB_Net* net) {
    TPcbNet* model = net ? ModelOf(net) : nullptr;
    if (net && !model)
        throw std::invalid_argument("AddNet: the net is not an object of this host");
    PlaceNet(model);
}

void TBoard::RemoveNet(IPCB_Net* net) {
    if (TPcbNet* model = net ? ModelOf(net) : nullptr)
        UnplaceNet(model);
}

void TBoard::AddPrimitive(IPCB_Primitive* primitive) {
    TPrimitive* p = primitive ? ModelOf(primitive) : nullptr;
    if (primitive && !p)
        throw std::invalid_argument("AddPrimitive: the primitive is not an object of this host");
    Place(p);
}

void TBoard::RemoveObject(IPCB_Primitive* primitive) {
    if (TPrimitive* p = primitive ? ModelOf(primitive) : nullptr)
        Unplace(p);
}

void TBoard::HighlightList_Add(IPCB_Primitive* primitive) {
    if (primitive)
        FHighlightList.emplace_back(primitive);
}

void TBoard::HighlightList_Show(bool zoom, bool mask) {
    FHighlightShows.push_back({FHighlightList, zoom, mask});
    if (!FUI)
        return;
    std::vector<std::uintptr_t> ids;
    for (auto& p : FHighlightList)
        ids.push_back(ObjectIdentity(p.get()));
    FUI->Highlight_Show(ids);
}

IPtr<IPCB_PinSwapLog> TBoard::PinSwapLog() {
    return FSwapLog;
}

void TBoard::LayerSet_IncludeMultiLayer(TLayerSet& set) {
    for (TV6_Layer l : FCopperLayers)
        set.Include(l);
}

TLayerSet TBoard::VisibleLayers() {
    if (FVisibleLayersSet)
        return FVisibleLayers;
    TLayerSet s;
    LayerSet_IncludeMultiLayer(s);
    return s.Include(eV6_MultiLayer).Include(eV6_ConnectLayer);
}

// ---------------------------------------------------------------- swap log

std::uint32_t TSwapLogEntries::Intern(const std::string& text) {
    auto [it, added] = FNumbers.try_emplace(text, std::uint32_t(FNames.size()));
    if (added)
        FNames.push_back(&it->first);
    return it->second;
}

void TSwapLogEntries::push_back(const TSwapLogEntry& e) {
    FEntries.push_back({Intern(e.PadA), Intern(e.PadB), Intern(e.NetA), Intern(e.NetB), Intern(e.ComponentA),
                        Intern(e.ComponentB), Intern(e.PinA), Intern(e.PinB)});
}

TSwapLogEntry TSwapLogEntries::operator[](std::size_t index) const {
    const auto& n = FEntries.at(index);
    return {*FNames[n[0]], *FNames[n[1]], *FNames[n[2]], *FNames[n[3]],
            *FNames[n[4]], *FNames[n[5]], *FNames[n[6]], *FNames[n[7]]};
}

void TPinSwapLog::RecordSwap(IPCB_Pad* padA, IPCB_Pad* padB, IPCB_Net* netA, IPCB_Net* netB) {
    auto padName = [](IPCB_Pad* pad) {
        if (!pad)
            return std::string();
        auto component = pad->Component();
        return component ? component->NameText() + "-" + pad->Name() : pad->Name();
    };
    auto netName = [](IPCB_Net* net) { return net ? net->Name() : std::string(); };
    auto componentName = [](IPCB_Pad* pad) {
        auto component = pad ? pad->Component() : nullptr;
        return component ? component->NameText() : std::string();
    };
    FEntries.push_back({padName(padA), padName(padB), netName(netA), netName(netB), componentName(padA),
                        componentName(padB), padA ? padA->Name() : std::string(),
                        padB ? padB->Name() : std::string()});
}

} // namespace pcbhost
