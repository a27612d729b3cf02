#include "permutor/interactive/RoutePermutor.h"

#include "permutor/host/Assert.h"
#include "permutor/host/Services.h"

#include <stdexcept>

namespace permutor::interactive {

using namespace permutor::host;
using namespace permutor::model;

namespace {

// The router must never see an exception: whatever escapes the body becomes the failure status,
// and the result keeps what the body had stored in it so far. The body holds the router's
// interfaces for the length of the call, inside, since even that may fail.
template <class TResult, class TBody> std::int32_t SafeCall(TResult* result, TBody&& body) {
    if (!result)
        return cSafeCall_Unexpected;
    try {
        body(*result);
        return cSafeCall_OK;
    } catch (...) {
        return cSafeCall_Unexpected;
    }
}

IUnknown* AsUnknown(IPCB_Pad* pad) {
    return pad;
}

} // namespace

// ---------------------------------------------------------------- interface list

std::int32_t TInterfaceList::Count(std::int32_t* result) {
    return SafeCall(result, [&](std::int32_t& count) { count = static_cast<std::int32_t>(FItems.size()); });
}

std::int32_t TInterfaceList::Get(std::int32_t index, IUnknown** result) {
    return SafeCall(result, [&](IUnknown*& item) {
        if (index < 0 || std::size_t(index) >= FItems.size())
            throw std::out_of_range("interface list index " + std::to_string(index) + " outside 0.." +
                                    std::to_string(FItems.size()));
        item = IPtr<IUnknown>(FItems[std::size_t(index)]).detach();
    });
}

IPtr<TInterfaceList> SwapParts_Lists(TSwapGroup* group) {
    auto gates = MakeObject<TInterfaceList>();
    for (const auto& gateEntry : group->SubParts) {
        auto pins = MakeObject<TInterfaceList>();
        if (PERMUTOR_ASSERT(gateEntry.Object, "a part swap group holds an empty gate")) {
            for (const auto& entry : gateEntry.Object->SubNets) {
                TSwapSubNet* subNet = entry.Object;
                // A missing swap pin still takes its position, so that positions line up across gates.
                TSwapPin* pin = subNet ? subNet->SwapPin : nullptr;
                pins->Add(pin ? AsUnknown(pin->Pin_PCB().get()) : nullptr);
            }
        }
        gates->Add(static_cast<IInterfaceList*>(pins.get()));
    }
    return gates;
}

// ---------------------------------------------------------------- route permutor

void RoutePermutor_AssertionHandler(const char* file, int line, const char* message) {
    MessageBox_Error(Assertion_Text(file, line, message), "Error");
}

TRoutePermutor::TRoutePermutor() {
    Assertion_SetHandler(&RoutePermutor_AssertionHandler);
}

TRoutePermutor::~TRoutePermutor() = default;

bool TRoutePermutor::PairMode() const {
    return FSwapDataSet && FSwapDataSet->SwapMode() == eSwap_DifferentialPairs;
}

TSwapGroup* TRoutePermutor::SwapGroupOf(IPCB_Primitive* primitive) {
    TSwapSubNet* subNet = FSwapDataSet->FindSubNetFromPrimitive(primitive);
    if (!subNet)
        return nullptr;
    // Pair groups are the part groups of a pair-mode model.
    return PairMode() ? subNet->PartSwapGroup() : subNet->PinSwapGroup();
}

TSwapSubPart* TRoutePermutor::PairOf(IPCB_Primitive* primitive) {
    if (!PairMode())
        return nullptr;
    TSwapSubNet* subNet = FSwapDataSet->FindSubNetFromPrimitive(primitive);
    return subNet && subNet->SwapPin ? subNet->SwapPin->SubPart : nullptr;
}

void TRoutePermutor::Init(const std::string& documentPath, bool differentialPairs, bool& result) {
    result = false;
    // A board opened outside any project has nothing to say which pins may swap.
    auto project = Project_OfDocument(documentPath);
    if (!project)
        return;
    auto extended = host::QueryInterface<IExtendedProject>(project);
    if (!extended)
        return;
    if (extended->NeedsCompiling() != 0)
        project->Compile();
    if (!project->CompiledDocument())
        return;

    // The earlier model is not used again; the enumeration looked into it, so it goes too.
    FSwapPins = nullptr;
    FSwapPinIterator = -1;
    FSwapDataSet.reset();
    auto set = std::make_unique<TSwapDataSet>(documentPath,
                                              differentialPairs ? eSwap_DifferentialPairs : eSwap_Pins);
    set->SetPinsOnly(true);
    set->SetSuppressDialogs(true);
    result = set->Build("", true);
    if (result)
        FSwapDataSet = std::move(set);
}

std::int32_t TRoutePermutor::I_Init(const std::string& documentPath, bool differentialPairs, bool* result) {
    return SafeCall(result, [&](bool& built) { Init(documentPath, differentialPairs, built); });
}

std::int32_t TRoutePermutor::I_IsPinSwapable(IPCB_Primitive* primitive, bool* result) {
    return SafeCall(result, [&](bool& swappable) {
        IPtr<IPCB_Primitive> hold(primitive);
        swappable = false;
        if (FSwapDataSet && FSwapDataSet->FindSubNetFromPrimitive(primitive))
            swappable = true;
    });
}

void TRoutePermutor::NextSwapPin(IPCB_Pad*& result) {
    result = nullptr;
    if (!FSwapPins)
        return;
    if (!PERMUTOR_ASSERT(FSwapPinIterator >= 0, "swap pin enumeration without a start"))
        return;
    while (FSwapPinIterator < static_cast<std::int32_t>(FSwapPins->Count())) {
        TSwapPin* pin = (*FSwapPins)[std::size_t(FSwapPinIterator)];
        ++FSwapPinIterator;
        TSwapSubNet* subNet = pin->SubNet;
        if (!subNet || !subNet->SwapPin || !subNet->PinSwapGroup())
            continue;
        result = IPtr<IPCB_Pad>(pin->Pin_PCB()).detach();
        return;
    }
}

std::int32_t TRoutePermutor::I_FirstSwapPin(IPCB_Primitive* primitive, IPCB_Pad** result) {
    return SafeCall(result, [&](IPCB_Pad*& pad) {
        IPtr<IPCB_Primitive> hold(primitive);
        pad = nullptr;
        if (!FSwapDataSet)
            return;
        TSwapGroup* group = SwapGroupOf(primitive);
        if (!group)
            return;
        FSwapPins = &group->SwapPins;
        FSwapPinIterator = 0;
        NextSwapPin(pad);
    });
}

std::int32_t TRoutePermutor::I_NextSwapPin(IPCB_Pad** result) {
    return SafeCall(result, [&](IPCB_Pad*& pad) { NextSwapPin(pad); });
}

std::int32_t TRoutePermutor::I_ArePinsSwapable(IPCB_Pad* padA, IPCB_Pad* padB, bool* result) {
    return SafeCall(result, [&](bool& swappable) {
        IPtr<IPCB_Pad> holdA(padA), holdB(padB);
        swappable = false;
        if (!FSwapDataSet)
            return;
        TSwapGroup* groupA = SwapGroupOf(padA);
        if (!groupA || groupA != SwapGroupOf(padB))
            return;
        // The two pins of one pair never exchange with each other; pins without a pair are all
        // in the same (absent) pair.
        if (PairMode() && PairOf(padA) == PairOf(padB))
            return;
        swappable = true;
    });
}

std::int32_t TRoutePermutor::SwapParts(IPCB_Primitive* primitive, IInterfaceList** result) {
    return SafeCall(result, [&](IInterfaceList*& lists) {
        IPtr<IPCB_Primitive> hold(primitive);
        lists = nullptr;
        if (!FSwapDataSet)
            return;
        TSwapSubNet* subNet = FSwapDataSet->FindSubNetFromPrimitive(primitive);
        // The part group in every mode: in pair mode it is the pair group.
        TSwapGroup* group = subNet ? subNet->PartSwapGroup() : nullptr;
        if (!group)
            return;
        lists = IPtr<IInterfaceList>(SwapParts_Lists(group)).detach();
    });
}

} // namespace permutor::interactive
