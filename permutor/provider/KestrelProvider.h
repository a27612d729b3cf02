// The module's side of the link to the external pin-configuration tool: asks it which pins a pin
// may be swapped with, remembers the answers for the run, and asks it to confirm a swap. One
// XML request and one XML response at a time go through the shared block, announced by
// sequence numbers and acknowledged in fixed slots.
#pragma once

#include "permutor/host/Pcb.h"
#include "permutor/provider/SharedBlock.h"

#include <cstdint>
#include <map>
#include <string>

namespace permutor::provider {

// The namespace of the query documents, on both sides of the link.
inline constexpr const char* cPinSettingsQueryNamespace =
    "http://permutor.invalid/schema/pinsettingsquery/v1.1";

// How long each wait for the tool lasts, and how often the block is looked at meanwhile.
inline constexpr std::int32_t cKestrelWaitMs = 5000;
inline constexpr std::int32_t cKestrelPollMs = 100;

// The request document for one command (three lines; values go in as they are).
std::string KestrelRequest_Text(const std::string& cfgPath, const std::string& command,
                                const std::string& args);
// The "result" of a response document; empty for anything that is not a well-formed response.
std::string KestrelResponse_Result(const std::string& text);
// The cached form of a candidate list: ",A1,B2," for "a1,b2".
std::string KestrelCandidates_Cached(const std::string& list);

class TKestrelProvider {
public:
    // `AWaitMs` and `APollMs` exist for tests and measurements; the tool is given the defaults.
    explicit TKestrelProvider(std::int32_t AWaitMs = cKestrelWaitMs, std::int32_t APollMs = cKestrelPollMs,
                              const std::string& ABlockPath = SharedBlock_DefaultPath());
    ~TKestrelProvider() = default;
    TKestrelProvider(const TKestrelProvider&) = delete;
    TKestrelProvider& operator=(const TKestrelProvider&) = delete;

    void ClearCache() { PinGroupCache.clear(); }
    const std::string& KESTRELCfgPath() const { return FKESTRELCfgPath; }
    // A path that differs from the current one in more than letter case empties the cache.
    void SetKESTRELCfgPath(const std::string& APath);

    // 200 allowed (and accepted when confirmed), 500 not a candidate or not accepted, -1 no
    // answer in time, anything else the tool's own status.
    std::int32_t SwapPins(host::IPCB_Pad* P1, host::IPCB_Pad* P2, bool QueryOnly);
    std::int32_t SwapPins(const std::string& P1, const std::string& P2, bool QueryOnly);

    // Why the block could not be used; empty when it is open.
    const std::string& OpenError() const { return Block.Error(); }
    bool IsOpen() const { return Block.IsOpen(); }
    std::int32_t LastACK() const { return FLastACK; }
    // Requests written to the block by this provider.
    std::int32_t RequestCount() const { return FRequestCount; }
    const std::map<std::string, std::string>& Cache() const { return PinGroupCache; }

private:
    std::string Query(const std::string& command, const std::string& args);
    void SendRequest(const std::string& text, std::int32_t timeout);
    void WaitForACK(std::int32_t seq, std::int32_t timeout);
    bool WaitForKESTRELMessage(std::int32_t timeout);
    void ConsumeKESTRELMessage();
    void get_swap_pins(const std::string& pin);
    std::int32_t confirm_swap_pins(const std::string& P1, const std::string& P2);
    // The block is there to touch (open, and not cut short under us).
    bool Usable() const;
    void Sleep() const;

    std::string FKESTRELCfgPath;
    std::map<std::string, std::string> PinGroupCache;
    TSharedBlock Block;
    std::int32_t FWaitingForACKSeq = -1;
    std::int32_t FLastACK = -1;
    std::int32_t FLastKESTRELSeq = 0;
    std::int32_t FWaitMs, FPollMs;
    std::int32_t FRequestCount = 0;
};

} // namespace permutor::provider
