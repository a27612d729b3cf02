// Nets and their members, and the differential pairs the board finds among the net names.
#include "pcbhost/model/Board.h"
#include "pcbhost/model/BoardInternal.h"
#include "pcbhost/model/OrderedArena.h"

#include <algorithm>
#include <stdexcept>

namespace pcbhost {

using namespace board_detail;

// ---------------------------------------------------------------- differential pairs

TPcbDifferentialPair::TPcbDifferentialPair(std::string name, TPcbNet* positive, TPcbNet* negative)
    : TPrimitiveImpl(eDifferentialPairObject), FName(std::move(name)), FPositive(positive),
      FNegative(negative) {}

IPtr<IPCB_Net> TPcbDifferentialPair::PositiveNet() {
    return IPtr<IPCB_Net>(FPositive);
}
IPtr<IPCB_Net> TPcbDifferentialPair::NegativeNet() {
    return IPtr<IPCB_Net>(FNegative);
}

bool DifferentialPair_Split(std::string_view name, std::string& stem, bool& positive, std::string& partner) {
    std::size_t cut;
    std::string_view other;
    if (name.size() > 2 && (name.ends_with("_P") || name.ends_with("_N"))) {
        positive = name.back() == 'P';
        cut = 2;
        other = positive ? "_N" : "_P";
    } else if (name.size() > 1 && (name.back() == '+' || name.back() == '-')) {
        positive = name.back() == '+';
        cut = 1;
        other = positive ? "-" : "+";
    } else {
        return false;
    }
    stem = std::string(name.substr(0, name.size() - cut));
    partner = stem + std::string(other);
    return true;
}

void TBoard::RebuildPairs() {
    FPairsDirty = false;
    std::vector<IPtr<IPCB_DifferentialPair>> pairs;
    for (TPcbNet* net : FNets) {
        std::string stem, partnerName;
        bool positive;
        if (!DifferentialPair_Split(net->FName, stem, positive, partnerName) || !positive)
            continue;
        TPcbNet* partner = FindNet(partnerName);
        if (!partner)
            continue;
        // Keep the object of a pair that still exists: the module compares pairs by identity.
        IPtr<IPCB_DifferentialPair> pair;
        for (auto& old : FPairs) {
            auto* o = static_cast<TPcbDifferentialPair*>(old.get());
            if (o->Positive() == net && o->Negative() == partner && o->Name() == stem)
                pair = old;
        }
        if (!pair)
            pair = MakeObject<TPcbDifferentialPair>(stem, net, partner);
        pairs.push_back(pair);
    }
    FPairs = std::move(pairs);
}

TPcbDifferentialPair* TBoard::PairOf(const TPcbNet* net) {
    if (FPairsDirty)
        RebuildPairs();
    for (auto& p : FPairs) {
        auto* pair = static_cast<TPcbDifferentialPair*>(p.get());
        if (pair->Positive() == net || pair->Negative() == net)
            return pair;
    }
    return nullptr;
}

std::vector<TPcbDifferentialPair*> TBoard::PairList() {
    if (FPairsDirty)
        RebuildPairs();
    std::vector<TPcbDifferentialPair*> r;
    for (auto& p : FPairs)
        r.push_back(static_cast<TPcbDifferentialPair*>(p.get()));
    return r;
}

// ---------------------------------------------------------------- net

TPcbNet::TPcbNet(std::string name) : FName(std::move(name)) {}

void* TPcbNet::operator new(std::size_t size) {
    return OrderedArena_Allocate(size);
}

void TPcbNet::operator delete(void* p) noexcept {
    OrderedArena_Free(p);
}

TPcbNet::~TPcbNet() {
    DropRatsnest();
    for (TPrimitive* p : FMembers) {
        if (!p)
            continue;
        if (p->FNet == this)
            p->FNet = nullptr;
        Drop(p);
    }
}

void TPcbNet::SetName(std::string name) {
    FName = std::move(name);
    if (FBoard)
        FBoard->NetsChanged();
}

void TPcbNet::Attach(TPrimitive* p) {
    Retain(p);
    p->FNet = this;
    p->FNetSlot = std::uint32_t(FMembers.size());
    FMembers.push_back(p);
    FDirty = true;
}

void TPcbNet::Detach(TPrimitive* p) {
    if (p->FNet != this || p->FNetSlot >= FMembers.size() || FMembers[p->FNetSlot] != p)
        return;
    FMembers[p->FNetSlot] = nullptr;
    ++FGaps;
    p->FNet = nullptr;
    FDirty = true;
    Drop(p);
}

void TPcbNet::Compact() const {
    if (!FGaps)
        return;
    std::size_t to = 0;
    for (TPrimitive* p : FMembers)
        if (p) {
            p->FNetSlot = std::uint32_t(to);
            FMembers[to++] = p;
        }
    FMembers.resize(to);
    FGaps = 0;
}

void TPcbNet::AddPrimitive(IPCB_Primitive* primitive) {
    TPrimitive* p = ModelOf(primitive);
    if (!p)
        throw std::invalid_argument("AddPrimitive: the primitive is not an object of this host");
    IPtr<IPCB_Primitive> keep(primitive);
    p->AssignNet(this);
    if (FBoard && !p->OwnerBoard())
        FBoard->Place(p);
}

void TPcbNet::RemovePrimitive(IPCB_Primitive* primitive) {
    TPrimitive* p = ModelOf(primitive);
    if (p && p->OwnerNet() == this)
        p->AssignNet(nullptr);
}

IPtr<IPCB_Iterator> TPcbNet::IteratePrimitives() {
    Compact();
    return MakeObject<TListIterator>(Refs(FMembers));
}

bool TPcbNet::InDifferentialPair() {
    return FBoard && FBoard->PairOf(this);
}

IPtr<IPCB_DifferentialPair> TPcbNet::DifferentialPair() {
    return IPtr<IPCB_DifferentialPair>(FBoard ? FBoard->PairOf(this) : nullptr);
}

} // namespace pcbhost
