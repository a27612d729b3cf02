#include "pcbhost/cli/Query.h"

#include "pcbhost/cli/Session.h"

#include "permutor/entry/Exports.h"
#include "permutor/host/Route.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace pcbhost::cli {

namespace {

using permutor::host::IInterfaceList;
using permutor::host::IRoutePermutor;
using permutor::host::IUnknown;

// More answers than any board has pads means the enumeration would never end.
constexpr std::size_t cEnumerationLimit = 1'000'000;

// Every call goes through the safe-call status: anything but 0 ends the query with what failed.
void Check(std::int32_t status, const std::string& call) {
    if (status == 0)
        return;
    const auto code = static_cast<std::uint32_t>(status);
    throw TCliError(eExit_CommandError,
                    fmt::format("the route-time interface failed: {} returned status 0x{:08X}{}", call, code,
                                code == 0x8000FFFFu ? " (an unexpected failure inside the module)" : ""));
}

// A pad as the router sees it: REF-PAD and net, read through the host's interfaces.
struct TPadText {
    std::string Pad, Net;
};

TPadText PadText(IPCB_Pad* pad) {
    TPadText t;
    auto component = pad->Component();
    t.Pad = (component ? component->NameText() : std::string("?")) + "-" + pad->Name();
    auto net = pad->Net();
    t.Net = net ? net->Name() : std::string();
    return t;
}

std::string NetShown(const TPadText& t) {
    return t.Net.empty() ? "no net" : "net " + t.Net;
}

nlohmann::json PadJson(const TPadText& t) {
    return {{"pad", t.Pad}, {"net", t.Net.empty() ? nlohmann::json() : nlohmann::json(t.Net)}};
}

// The interface's list entry as `I`; empty for a nil entry (and for one that is not an `I`).
template <class I> IPtr<I> ListItem(IInterfaceList* list, std::int32_t index, const std::string& call) {
    IUnknown* raw = nullptr;
    Check(list->Get(index, &raw), call);
    auto item = IPtr<IUnknown>::Adopt(raw);
    return permutor::host::QueryInterface<I>(item);
}

std::int32_t ListCount(IInterfaceList* list, const std::string& call) {
    std::int32_t count = 0;
    Check(list->Count(&count), call);
    return count;
}

void QueryOnePad(IRoutePermutor* router, IPCB_Pad* pad, const TPadText& text, bool pairs, TReport& report) {
    bool swappable = false;
    Check(router->I_IsPinSwapable(pad, &swappable), "I_IsPinSwapable");
    nlohmann::json partners = nlohmann::json::array();
    std::vector<TPadText> rows;
    IPCB_Pad* raw = nullptr;
    Check(router->I_FirstSwapPin(pad, &raw), "I_FirstSwapPin");
    while (raw) {
        auto partner = IPtr<IPCB_Pad>::Adopt(raw);
        rows.push_back(PadText(partner.get()));
        partners.push_back(PadJson(rows.back()));
        if (rows.size() > cEnumerationLimit)
            throw TCliError(eExit_CommandError, "the route-time interface's enumeration did not end");
        raw = nullptr;
        Check(router->I_NextSwapPin(&raw), "I_NextSwapPin");
    }
    report.Data()["swappable"] = swappable;
    report.Data()["swap_partners"] = partners;

    auto& os = report.Text();
    os << text.Pad << " (" << NetShown(text) << "): " << (swappable ? "swappable" : "not swappable") << "\n";
    if (rows.empty()) {
        // The enumeration walks pin groups; a pair-mode model has pair groups only.
        if (pairs && swappable)
            os << "  no partners listed: in pair mode the enumeration walks pin groups only; give two "
                  "pads to ask whether they may swap\n";
        else
            os << "  no pads to swap with\n";
        return;
    }
    const bool self =
        std::any_of(rows.begin(), rows.end(), [&](const TPadText& r) { return r.Pad == text.Pad; });
    os << fmt::format("  may swap with ({} pad{}{}):\n", rows.size(), rows.size() == 1 ? "" : "s",
                      self ? ", itself included" : "");
    std::size_t width = 0;
    for (const auto& r : rows)
        width = std::max(width, r.Pad.size());
    for (const auto& r : rows)
        os << fmt::format("    {:<{}}  {}\n", r.Pad, width, r.Net.empty() ? "(no net)" : r.Net);
}

void QueryTwoPads(IRoutePermutor* router, IPCB_Pad* padA, IPCB_Pad* padB, const TPadText& a,
                  const TPadText& b, TReport& report) {
    bool swappable = false;
    Check(router->I_ArePinsSwapable(padA, padB, &swappable), "I_ArePinsSwapable");
    report.Data()["swappable"] = swappable;
    report.Text() << a.Pad << " (" << NetShown(a) << ") and " << b.Pad << " (" << NetShown(b)
                  << "): " << (swappable ? "may swap nets" : "may not swap nets") << "\n";
}

void QueryGates(IRoutePermutor* router, IPCB_Pad* pad, const TPadText& text, bool pairs, TReport& report) {
    IInterfaceList* raw = nullptr;
    Check(router->SwapParts(pad, &raw), "SwapParts");
    auto outer = IPtr<IInterfaceList>::Adopt(raw);
    auto& os = report.Text();
    if (!outer) {
        report.Data()["gates"] = nullptr;
        os << text.Pad << ": no " << (pairs ? "pair" : "part") << " swap group";
        // The pin-mode model keeps pin groups only: gates are never answered there.
        os << (pairs ? "" : " (the pin-mode model holds pin groups only; --pairs asks about pair groups)")
           << "\n";
        return;
    }
    std::vector<std::vector<std::string>> table;
    nlohmann::json gates = nlohmann::json::array();
    const std::int32_t gateCount = ListCount(outer.get(), "SwapParts list: Count");
    std::size_t columns = 0;
    for (std::int32_t g = 0; g < gateCount; ++g) {
        auto inner = ListItem<IInterfaceList>(outer.get(), g, "SwapParts list: Get");
        std::vector<std::string> row;
        nlohmann::json pins = nlohmann::json::array();
        const std::int32_t pinCount = inner ? ListCount(inner.get(), "SwapParts gate: Count") : 0;
        for (std::int32_t k = 0; k < pinCount; ++k) {
            auto pinPad = ListItem<IPCB_Pad>(inner.get(), k, "SwapParts gate: Get");
            if (!pinPad) {
                row.push_back("-");
                pins.push_back(nullptr);
                continue;
            }
            const TPadText t = PadText(pinPad.get());
            row.push_back(t.Pad);
            pins.push_back(PadJson(t));
        }
        columns = std::max(columns, row.size());
        table.push_back(std::move(row));
        gates.push_back(std::move(pins));
    }
    report.Data()["gates"] = gates;

    const char* noun = pairs ? "pair" : "gate";
    os << fmt::format("{} of the {} swap group of {} ({}):\n", pairs ? "Pairs" : "Gates",
                      pairs ? "pair" : "part", text.Pad, gateCount);
    std::vector<std::size_t> widths(columns + 1, 0);
    std::vector<std::vector<std::string>> lines;
    lines.push_back({noun});
    for (std::size_t k = 0; k < columns; ++k)
        lines.front().push_back("pin " + std::to_string(k + 1));
    for (std::size_t g = 0; g < table.size(); ++g) {
        lines.push_back({std::to_string(g + 1)});
        for (std::size_t k = 0; k < columns; ++k)
            lines.back().push_back(k < table[g].size() ? table[g][k] : "");
    }
    for (const auto& line : lines)
        for (std::size_t c = 0; c < line.size(); ++c)
            widths[c] = std::max(widths[c], line[c].size());
    for (const auto& line : lines) {
        std::string out;
        for (std::size_t c = 0; c < line.size(); ++c)
            out += fmt::format("  {:<{}}", line[c], widths[c]);
        out.erase(out.find_last_not_of(' ') + 1);
        os << out << "\n";
    }
}

} // namespace

int Query_Run(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args) {
    report.Data()["document"] = args.Document;
    report.Data()["mode"] = args.Pairs ? "pairs" : "pins";
    if (args.Pads.size() > 2)
        throw TCliError(eExit_Usage, "query takes one pad, or two pads to ask whether they may swap");
    TSession session(options, report);
    session.Open(args.Document);
    TBoard* board = session.Project().Board();
    if (!board)
        throw TCliError(eExit_CommandError, args.Document + " has no board to query");

    std::vector<IPtr<IPCB_Pad>> pads;
    std::vector<TPadText> texts;
    nlohmann::json padList = nlohmann::json::array();
    for (const auto& text : args.Pads) {
        TPickOption pick;
        std::string error;
        if (!Pick_Parse(text, pick, error) || pick.Kind != TPickOption::ePad)
            throw TCliError(eExit_Usage, "expected a pad as REF-PAD (e.g. U1-3), got \"" + text + "\"");
        TPad* pad = session.FindPadObject(pick, error);
        if (!pad)
            throw TCliError(eExit_CommandError, text + ": " + error);
        pads.emplace_back(static_cast<IPCB_Pad*>(pad));
        texts.push_back(PadText(pads.back().get()));
        auto entry = PadJson(texts.back());
        // A board unit is 2.54 nm: to the nanometre the centre reads as the board file gives it.
        entry["x_mm"] = std::round(pad->X() / cUnitsPerMM * 1e6) / 1e6;
        entry["y_mm"] = std::round(pad->Y() / cUnitsPerMM * 1e6) / 1e6;
        padList.push_back(std::move(entry));
    }
    report.Data()["pads"] = std::move(padList);

    session.LoadModule();
    auto getRoutePermutor =
        reinterpret_cast<TGetRoutePermutorProc>(session.Library().Symbol("GetRoutePermutor"));
    if (!getRoutePermutor)
        throw TCliError(eExit_CommandError, "the module " + session.Library().Path() +
                                                " does not export GetRoutePermutor, the route-time swap "
                                                "interface");
    IRoutePermutor* raw = nullptr;
    Check(getRoutePermutor(&raw), "GetRoutePermutor");
    // Released before the session, which shuts the module down and closes the documents.
    auto router = IPtr<IRoutePermutor>::Adopt(raw);
    if (!router)
        throw TCliError(eExit_CommandError, "GetRoutePermutor handed out no interface");

    const std::size_t panelMark = session.Host().Messages().size();
    bool built = false;
    const std::string boardPath = board->FileName();
    Check(router->I_Init(boardPath, args.Pairs, &built), "I_Init");
    const auto& panel = session.Host().Messages();
    for (std::size_t i = panelMark; i < panel.size(); ++i)
        report.Message({"panel", panel[i].MessageClass, panel[i].Source, panel[i].Text});
    report.Data()["initialised"] = built;
    if (!built) {
        if (!session.Project().IsProject())
            throw TCliError(eExit_CommandError, boardPath +
                                                    ": the route-time interface answers for a board of a "
                                                    "project only, and there is no .kicad_pro beside it");
        throw TCliError(eExit_CommandError,
                        boardPath + ": the route-time interface could not build a swap model of the board" +
                            (panel.size() > panelMark ? " (see the messages above)" : ""));
    }

    if (pads.size() == 1)
        QueryOnePad(router.get(), pads[0].get(), texts[0], args.Pairs, report);
    else
        QueryTwoPads(router.get(), pads[0].get(), pads[1].get(), texts[0], texts[1], report);
    if (args.Gates)
        QueryGates(router.get(), pads[0].get(), texts[0], args.Pairs, report);
    return eExit_OK;
}

} // namespace pcbhost::cli
