#include "permutor/provider/KestrelProvider.h"

#include "permutor/host/Text.h"

#include <pugixml.hpp>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace permutor::provider {

using host::Text_EqualNoCase;
using host::Text_Trim;
using host::Text_Upper;

namespace {

// Request numbers are shared by every provider of the module and start at a random point, so
// that a tool still holding an old session's last number does not take a new request for it.
std::int32_t FirstRequestNumber() {
    std::random_device device;
    std::uniform_int_distribution<std::int32_t> r(0, 99999);
    return 10000 + r(device);
}

std::atomic<std::int32_t> GRequestCounter{FirstRequestNumber()};

} // namespace

std::string KestrelRequest_Text(const std::string& cfgPath, const std::string& command,
                                const std::string& args) {
    return std::string("<v1:pinSettingsQuery xmlns:v1=\"") + cPinSettingsQueryNamespace + "\">\r\n" +
           "<v1:query pincfg=\"" + cfgPath + "\" command=\"" + command + "\" args=\"" + args + "\" />\r\n" +
           "</v1:pinSettingsQuery>";
}

std::string KestrelResponse_Result(const std::string& text) {
    pugi::xml_document document;
    if (!document.load_string(text.c_str()))
        return {};
    pugi::xml_node root = document.first_child();
    if (!root || !Text_EqualNoCase(root.name(), "v1:pinSettingsQuery"))
        return {};
    pugi::xml_node response = root.child("v1:response");
    return response ? response.attribute("result").value() : std::string();
}

std::string KestrelCandidates_Cached(const std::string& list) {
    return "," + Text_Upper(Text_Trim(list)) + ",";
}

TKestrelProvider::TKestrelProvider(std::int32_t AWaitMs, std::int32_t APollMs, const std::string& ABlockPath)
    : FWaitMs(AWaitMs), FPollMs(APollMs > 0 ? APollMs : 1) {
    if (!Block.Open(ABlockPath))
        return;
    // Whatever the tool left from an earlier session is consumed unread.
    FLastKESTRELSeq = Block.ReadInt(cSlot_ToolSeq);
    ConsumeKESTRELMessage();
}

void TKestrelProvider::SetKESTRELCfgPath(const std::string& APath) {
    if (Text_EqualNoCase(APath, FKESTRELCfgPath))
        return;
    ClearCache();
    FKESTRELCfgPath = APath;
}

std::int32_t TKestrelProvider::SwapPins(host::IPCB_Pad* P1, host::IPCB_Pad* P2, bool QueryOnly) {
    if (!P1 || !P2 || P1 == P2)
        return 500;
    return SwapPins(P1->Name(), P2->Name(), QueryOnly);
}

std::int32_t TKestrelProvider::SwapPins(const std::string& P1, const std::string& P2, bool QueryOnly) {
    std::int32_t status = cStatus_OK;
    const std::string key = Text_Upper(P1);
    if (!PinGroupCache.contains(key)) {
        get_swap_pins(P1);
        status = FLastACK;
    }
    if (status == cStatus_OK)
        status = PinGroupCache[key].find("," + Text_Upper(P2) + ",") != std::string::npos ? cStatus_OK : 500;
    if (status == cStatus_OK && !QueryOnly)
        status = confirm_swap_pins(P1, P2);
    return status;
}

bool TKestrelProvider::Usable() const {
    return Block.IsOpen() && Block.StillWhole();
}

void TKestrelProvider::Sleep() const {
    std::this_thread::sleep_for(std::chrono::milliseconds(FPollMs));
}

void TKestrelProvider::get_swap_pins(const std::string& pin) {
    const std::string answer = Query("get_swap_pins", pin);
    PinGroupCache[Text_Upper(pin)] = KestrelCandidates_Cached(FLastACK != -1 ? answer : std::string());
}

std::int32_t TKestrelProvider::confirm_swap_pins(const std::string& P1, const std::string& P2) {
    Query("confirm_swap_pins", P1 + ", " + P2);
    return FLastACK;
}

std::string TKestrelProvider::Query(const std::string& command, const std::string& args) {
    SendRequest(KestrelRequest_Text(FKESTRELCfgPath, command, args), FWaitMs);
    WaitForACK(FWaitingForACKSeq, FWaitMs);
    if (FLastACK != cStatus_OK || !WaitForKESTRELMessage(FWaitMs))
        return {};
    ConsumeKESTRELMessage();
    if (!Usable())
        return {};
    return KestrelResponse_Result(
        Block.ReadText(cResponseTextOffset, cResponseTextBytes, cResponseReadUnits));
}

void TKestrelProvider::SendRequest(const std::string& text, std::int32_t timeout) {
    if (FWaitingForACKSeq != -1)
        WaitForACK(FWaitingForACKSeq, timeout);
    const std::int32_t seq = ++GRequestCounter;
    FWaitingForACKSeq = seq;
    FLastACK = -1;
    if (!Usable())
        return;
    Block.WriteText(cRequestTextOffset, cRequestTextBytes, text);
    Block.WriteInt(cSlot_RequestCommand, cRequestCommand_Xml);
    // The number goes last: its change tells the tool that the whole request is there.
    Block.WriteInt(cSlot_RequestSeq, seq);
    ++FRequestCount;
}

void TKestrelProvider::WaitForACK(std::int32_t seq, std::int32_t timeout) {
    if (seq == -1)
        return;
    std::int32_t remaining = timeout;
    for (;;) {
        if (!Usable())
            break;
        if (Block.ReadInt(cSlot_AckSeq) == seq) {
            if (seq == FWaitingForACKSeq)
                FWaitingForACKSeq = -1;
            FLastACK = Block.ReadInt(cSlot_AckStatus);
            return;
        }
        Sleep();
        remaining -= FPollMs;
        if (remaining < 0)
            break;
    }
    FLastACK = -1;
}

bool TKestrelProvider::WaitForKESTRELMessage(std::int32_t timeout) {
    std::int32_t remaining = timeout;
    for (;;) {
        if (!Usable())
            return false;
        const std::int32_t seq = Block.ReadInt(cSlot_ToolSeq);
        if (seq != FLastKESTRELSeq) {
            FLastKESTRELSeq = seq;
            return true;
        }
        Sleep();
        remaining -= FPollMs;
        if (remaining < 0)
            return false;
    }
}

void TKestrelProvider::ConsumeKESTRELMessage() {
    if (!Usable())
        return;
    Block.WriteInt(cSlot_ConsumedSeq, Block.ReadInt(cSlot_ToolSeq));
    Block.WriteInt(cSlot_ConsumedStatus, cStatus_OK);
}

} // namespace permutor::provider
