// What the host's interactive router holds of the module: the route-time swap interface and the
// reference-counted interface list it answers gate correspondences with. Both use the safe-call
// convention: every operation returns a 32-bit status (0, or 0x8000FFFF when something failed
// inside) and hands its result through the last argument, which a failure leaves as it was.
#pragma once

#include "permutor/host/Pcb.h"
#include "permutor/host/Unknown.h"

#include <cstdint>
#include <string>

namespace permutor::host {

inline constexpr std::int32_t cSafeCall_OK = 0;
inline constexpr std::int32_t cSafeCall_Unexpected = static_cast<std::int32_t>(0x8000FFFF);

// A list of interface references; entries may be nil. An entry handed out carries one reference
// that the receiver releases.
class IInterfaceList : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{285DEA8A-B865-11D1-AAA7-00C04FB17A72}");
    virtual std::int32_t Count(std::int32_t* result) = 0;
    // Index 0 .. Count-1; another index is a failure.
    virtual std::int32_t Get(std::int32_t index, IUnknown** result) = 0;
};

// Asked by the router while the user routes: which pins may exchange nets, and how the gates of a
// multi-part component (or the pairs of a pair group) correspond position by position. Pads and
// lists handed out carry one reference each, for the router to release.
class IRoutePermutor : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{8D510271-8535-4E41-BA43-A37C88742271}");
    // Builds the swap model of the board document at `documentPath`; `differentialPairs` swaps
    // pairs within pair groups instead of pins within pin groups.
    virtual std::int32_t I_Init(const std::string& documentPath, bool differentialPairs, bool* result) = 0;
    virtual std::int32_t I_IsPinSwapable(IPCB_Primitive* primitive, bool* result) = 0;
    // Starts an enumeration of the pins that share the primitive's swap group, the primitive's
    // own pin included; nil when it has none.
    virtual std::int32_t I_FirstSwapPin(IPCB_Primitive* primitive, IPCB_Pad** result) = 0;
    // The next pin of the enumeration; nil at the end and on every call after it.
    virtual std::int32_t I_NextSwapPin(IPCB_Pad** result) = 0;
    virtual std::int32_t I_ArePinsSwapable(IPCB_Pad* padA, IPCB_Pad* padB, bool* result) = 0;
    // One inner list per gate of the primitive's part group, one pad (or nil) per position.
    virtual std::int32_t SwapParts(IPCB_Primitive* primitive, IInterfaceList** result) = 0;
};

} // namespace permutor::host
