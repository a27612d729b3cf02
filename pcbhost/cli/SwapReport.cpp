#include "pcbhost/cli/SwapReport.h"

#include <filesystem>
#include <set>

namespace pcbhost::cli {

namespace {

// RFC 4180 quoting, only where a field needs it.
std::string Field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string NetOf(const TPad* pad) {
    TPcbNet* net = pad->OwnerNet();
    return net ? net->Name() : std::string();
}

} // namespace

TPadNets PadNets_Of(TBoard& board) {
    TPadNets nets;
    for (TPcbComponent* component : board.ComponentList())
        for (TPad* pad : component->Pads())
            nets[pad] = NetOf(pad);
    return nets;
}

std::vector<TSwapRow> SwapRows_Between(TBoard& board, const TPadNets& before,
                                       const std::vector<TSwapLogEntry>& log) {
    std::set<std::string> swapped;
    for (const auto& e : log) {
        if (!e.ComponentA.empty())
            swapped.insert(e.ComponentA);
        if (!e.ComponentB.empty())
            swapped.insert(e.ComponentB);
    }
    std::vector<TSwapRow> rows;
    for (TPcbComponent* component : board.ComponentList()) {
        const std::string name = component->NameText();
        // Gate and pair swaps are not logged: a component enabled for swapping counts as well.
        if (!swapped.count(name) && !component->PinSwappingEnabled() && !component->PartSwappingEnabled())
            continue;
        struct TChange {
            TPad* Pad;
            std::string Now, Wanted;
        };
        std::vector<TChange> changes;
        for (TPad* pad : component->Pads()) {
            const auto was = before.find(pad);
            if (was == before.end())
                continue;
            std::string now = NetOf(pad);
            if (now != was->second)
                changes.push_back({pad, was->second, std::move(now)});
        }
        // Cycle by cycle: each swap puts one pad on its final net, taking that net from a later
        // pad that holds it now (one that wants this pad's net in return, when there is one, so
        // that a pair that only trade nets takes one swap).
        for (std::size_t i = 0; i < changes.size(); ++i) {
            TChange& a = changes[i];
            if (a.Now == a.Wanted)
                continue;
            TChange* holder = nullptr;
            for (std::size_t j = i + 1; j < changes.size(); ++j) {
                TChange& b = changes[j];
                if (b.Now != a.Wanted || b.Now == b.Wanted)
                    continue;
                if (!holder || b.Wanted == a.Now)
                    holder = &b;
                if (b.Wanted == a.Now)
                    break;
            }
            if (!holder) {
                rows.push_back({name, a.Pad->Name(), "", a.Now, "", a.Wanted, ""});
            } else {
                rows.push_back(
                    {name, a.Pad->Name(), holder->Pad->Name(), a.Now, holder->Now, holder->Now, a.Now});
                holder->Now = a.Now;
            }
            a.Now = a.Wanted;
        }
    }
    return rows;
}

std::string SwapRows_Csv(const std::vector<TSwapRow>& rows) {
    std::string csv = "component,pin_a,pin_b,net_a_before,net_b_before,net_a_after,net_b_after\n";
    for (const auto& r : rows)
        csv += Field(r.Component) + "," + Field(r.PinA) + "," + Field(r.PinB) + "," + Field(r.NetABefore) +
               "," + Field(r.NetBBefore) + "," + Field(r.NetAAfter) + "," + Field(r.NetBAfter) + "\n";
    return csv;
}

std::string SwapLog_PathFor(const std::string& boardPath) {
    std::filesystem::path p(boardPath);
    return (p.parent_path() / (p.stem().string() + ".swaps.csv")).string();
}

} // namespace pcbhost::cli
