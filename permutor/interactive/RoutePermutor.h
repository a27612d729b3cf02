// The route-time swap interface: an object the host's interactive router creates through the
// library's GetRoutePermutor export and asks, while the user routes, which pins may exchange
// their nets and how the gates of a multi-part component correspond. It builds a private swap
// model of the board once and then only reads it; the router does any reassignment itself.
#pragma once

#include "permutor/host/Route.h"
#include "permutor/model/SwapDataSet.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace permutor::interactive {

using host::IPtr;

// The runtime's list of interface references: a reference-counted vector whose entries may be
// nil. Reading an index outside the list is a failure of the call.
class TInterfaceList final : public host::TUnknownImpl<host::IInterfaceList> {
public:
    std::int32_t Count(std::int32_t* result) override;
    std::int32_t Get(std::int32_t index, host::IUnknown** result) override;

    // Appends `item` (nil allowed), holding a reference to it.
    void Add(host::IUnknown* item) { FItems.emplace_back(item); }
    std::size_t Size() const { return FItems.size(); }

private:
    std::vector<IPtr<host::IUnknown>> FItems;
};

// The gates of a part swap group as lists: one inner list per sub-part in the group's order, each
// with the board pad of every sub-net's swap pin in the sub-part's order, nil where a sub-net has
// no swap pin, so that position k means the same pin function in every gate.
IPtr<TInterfaceList> SwapParts_Lists(model::TSwapGroup* group);

class TRoutePermutor final : public host::TUnknownImpl<host::IRoutePermutor> {
public:
    // Also installs the assertion handler that reports in an error box and carries on.
    TRoutePermutor();
    ~TRoutePermutor() override;

    std::int32_t I_Init(const std::string& documentPath, bool differentialPairs, bool* result) override;
    std::int32_t I_IsPinSwapable(host::IPCB_Primitive* primitive, bool* result) override;
    std::int32_t I_FirstSwapPin(host::IPCB_Primitive* primitive, host::IPCB_Pad** result) override;
    std::int32_t I_NextSwapPin(host::IPCB_Pad** result) override;
    std::int32_t I_ArePinsSwapable(host::IPCB_Pad* padA, host::IPCB_Pad* padB, bool* result) override;
    std::int32_t SwapParts(host::IPCB_Primitive* primitive, host::IInterfaceList** result) override;

    model::TSwapDataSet* SwapDataSet() const { return FSwapDataSet.get(); }
    const model::TPackedList<model::TSwapPin>* SwapPins() const { return FSwapPins; }
    std::int32_t SwapPinIterator() const { return FSwapPinIterator; }

private:
    void Init(const std::string& documentPath, bool differentialPairs, bool& result);
    void NextSwapPin(host::IPCB_Pad*& result);
    // The group whose members the primitive may exchange nets with: the pin group, or in pair
    // mode the pair group; none without a sub-net.
    model::TSwapGroup* SwapGroupOf(host::IPCB_Primitive* primitive);
    // In pair mode the pair the primitive's pin belongs to; none otherwise.
    model::TSwapSubPart* PairOf(host::IPCB_Primitive* primitive);
    bool PairMode() const;

    std::unique_ptr<model::TSwapDataSet> FSwapDataSet;
    // The SwapPins of the group that the last successful I_FirstSwapPin chose; a view into the
    // data set.
    const model::TPackedList<model::TSwapPin>* FSwapPins = nullptr;
    std::int32_t FSwapPinIterator = -1;
};

// The handler a TRoutePermutor installs: "Assertion Failed: ..." in an error box captioned
// "Error", after which execution goes on past the failed assertion.
void RoutePermutor_AssertionHandler(const char* file, int line, const char* message);

} // namespace permutor::interactive
