#include "pcbhost/cli/SwapReport.h"

#include <filesystem>
#include <map>
#include <set>
#include <unordered_map>

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

std::vector<TSwapRow> SwapRows_Between(TBoard& board, const TPadNets& before, const TSwapLogEntries& log) {
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
        // Nets by number, so that the pads holding a net are found without comparing names.
        std::vector<std::string> names;
        std::unordered_map<std::string, int> numbers;
        auto number = [&](std::string net) {
            auto [it, added] = numbers.try_emplace(std::move(net), int(names.size()));
            if (added)
                names.push_back(it->first);
            return it->second;
        };
        struct TChange {
            TPad* Pad;
            int Now, Wanted;
        };
        std::vector<TChange> changes;
        for (TPad* pad : component->Pads()) {
            const auto was = before.find(pad);
            if (was == before.end())
                continue;
            std::string now = NetOf(pad);
            if (now != was->second)
                changes.push_back({pad, number(was->second), number(std::move(now))});
        }
        // Cycle by cycle: each swap puts one pad on its final net, taking that net from a later
        // pad that holds it now (one that wants this pad's net in return, when there is one, so
        // that a pair that only trade nets takes one swap). The pads still to be settled are
        // indexed by the net they hold and by that net and the one they want, each in pad order.
        std::unordered_map<int, std::set<std::size_t>> holding;
        std::map<std::pair<int, int>, std::set<std::size_t>> trading;
        auto index = [&](std::size_t j, bool add) {
            const TChange& b = changes[j];
            if (b.Now == b.Wanted)
                return;
            if (add) {
                holding[b.Now].insert(j);
                trading[{b.Now, b.Wanted}].insert(j);
            } else {
                holding[b.Now].erase(j);
                trading[{b.Now, b.Wanted}].erase(j);
            }
        };
        for (std::size_t j = 0; j < changes.size(); ++j)
            index(j, true);
        for (std::size_t i = 0; i < changes.size(); ++i) {
            TChange& a = changes[i];
            if (a.Now == a.Wanted)
                continue;
            index(i, false);
            std::size_t holder = SIZE_MAX;
            if (auto t = trading.find({a.Wanted, a.Now}); t != trading.end() && !t->second.empty())
                holder = *t->second.begin();
            else if (auto h = holding.find(a.Wanted); h != holding.end() && !h->second.empty())
                holder = *h->second.begin();
            if (holder == SIZE_MAX) {
                rows.push_back({name, a.Pad->Name(), "", names[std::size_t(a.Now)], "",
                                names[std::size_t(a.Wanted)], ""});
            } else {
                TChange& b = changes[holder];
                const std::string& aNow = names[std::size_t(a.Now)];
                const std::string& bNow = names[std::size_t(b.Now)];
                rows.push_back({name, a.Pad->Name(), b.Pad->Name(), aNow, bNow, bNow, aNow});
                index(holder, false);
                b.Now = a.Now;
                index(holder, true);
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
