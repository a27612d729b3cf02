// Points where a connection to a sub-net's copper can end, and the hash table that keeps each
// point of a sub-net once.
#pragma once

#include "permutor/host/Host.h"

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace permutor::model {

class TSwapDataSet;
class TSwapSubNet;

// What a data set's destruction list holds: every record and hot spot of the set.
class TOwnedObject {
public:
    virtual ~TOwnedObject() = default;
};

// A key of the generic hash table: its hash and equality are the key's own.
class TBucketKey : public TOwnedObject {
public:
    virtual std::intptr_t Hash() const = 0;
    virtual bool Equal(const TBucketKey* other) const = 0;
};

class THotSpot : public TBucketKey {
public:
    // A hot spot owned by `ASwapData` (in its destruction list).
    static THotSpot* Create(TSwapDataSet& ASwapData, host::TCoord Ax, host::TCoord Ay, host::TV6_Layer ALayer,
                            TSwapSubNet* ASubNet);
    // A key on its own, owned by whoever made it (look-ups).
    THotSpot(host::TCoord Ax, host::TCoord Ay, host::TV6_Layer ALayer, TSwapSubNet* ASubNet)
        : X(Ax), Y(Ay), SubNet(ASubNet), Layer(ALayer) {}

    host::TCoord X = 0;
    host::TCoord Y = 0;
    TSwapSubNet* SubNet = nullptr;
    host::TV6_Layer Layer = host::eV6_NoLayer;

    // X xor (Y rotated right by 16 bits) xor layer, sign-extended to pointer size.
    std::intptr_t Hash() const override;
    // Same X, Y, layer and sub-net.
    bool Equal(const TBucketKey* other) const override;
    // "X:<x> Y:<y> Layer:<layer>".
    std::string GetState_Description() const;
};

// A hash set of hot spots keyed by their Hash/Equal. It never frees them (the data set does) and
// walks them in the order they were entered.
class THotSpotList {
public:
    // Enters the hot spot unless an equal one is there; true when it was entered.
    bool Add(THotSpot* spot);
    // The entered hot spot equal to `key`, or none.
    THotSpot* Find(const THotSpot& key) const;
    bool Contains(const THotSpot& key) const { return Find(key) != nullptr; }
    void Clear();
    std::size_t Count() const { return FItems.size(); }
    bool Empty() const { return FItems.empty(); }
    THotSpot* operator[](std::size_t index) const { return FItems[index]; }
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    struct THash {
        std::size_t operator()(const THotSpot* h) const { return std::size_t(h->Hash()); }
    };
    struct TEqual {
        bool operator()(const THotSpot* a, const THotSpot* b) const { return a->Equal(b); }
    };
    std::vector<THotSpot*> FItems;
    std::unordered_set<const THotSpot*, THash, TEqual> FSet;
};

} // namespace permutor::model
