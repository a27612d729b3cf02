// Net names as KiCad gives them: the strongest driver of each connected group of items names it,
// and the names travel through sheet pins, hierarchical labels and bus members.
#include "pcbhost/project/SchematicConnectivity.h"
#include "pcbhost/project/SchematicFiles.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

namespace pcbhost::kicad {

using sexpr::Node;

namespace {

// Driver strength, weakest first; from hierarchical labels up a driver is "strong".
enum TDriverPriority : int {
    ePriority_None = 0,
    ePriority_Pin,
    ePriority_SheetPin,
    ePriority_HierLabel,
    ePriority_LocalLabel,
    ePriority_LocalPower,
    ePriority_GlobalPower,
    ePriority_Global,
};

bool IsLocalPower(Node lib) {
    Node power = lib ? lib.find("power") : Node();
    return power && power.size() > 1 && power.valueAt(1) == "local";
}

// A pin that names its net by itself: the pin of a power symbol, or a hidden power input of an
// ordinary symbol (the old way of tying a part's supply pins to a global net).
bool IsPowerDriver(const TSchItem& item) {
    return item.Kind == TSchItemKind::PowerPin ||
           (item.Kind == TSchItemKind::Pin && item.Hidden && item.PinType == "power_in");
}

// Net names escape what would read as a path separator.
std::string EscapeNetName(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '/')
            out += "{slash}";
        else if (c == '\n')
            out += "{return}";
        else if (c != '\r')
            out += c;
    }
    return out;
}

// "A", "B", ... "Z", "AA", ...: the letter KiCad appends to the reference of a unit.
std::string UnitLetters(std::int32_t unit) {
    std::string suffix;
    do {
        const int u = (unit - 1) % 26;
        suffix.insert(suffix.begin(), char('A' + u));
        unit = (unit - u) / 26;
    } while (unit > 0);
    return suffix;
}

// The unit of a library sub-symbol "NAME_U_S"; -1 when the name is not of that form.
std::int32_t SubSymbolUnit(std::string_view name) {
    const auto last = name.rfind('_');
    const auto prev = last == std::string_view::npos || last == 0 ? last : name.rfind('_', last - 1);
    if (prev == std::string_view::npos)
        return -1;
    try {
        return std::stoi(std::string(name.substr(prev + 1, last - prev - 1)));
    } catch (...) {
        return -1;
    }
}

// What a pin's driver name needs of its library symbol, gathered once per symbol: the naming
// looks at every pin of the design, and scanning the symbol's pins for each of them made the pass
// quadratic in the pins of large parts.
struct TLibraryPins {
    std::int32_t UnitCount = 1;
    // unit of the sub-symbol ("NAME_U_S"; 0: every unit) -> pin name -> the numbers it carries
    std::map<std::int32_t, std::map<std::string, std::vector<std::string>, std::less<>>> Numbers;
};

class TLibraryPinCache {
public:
    const TLibraryPins& Of(Node lib) {
        auto [it, added] = FLibraries.try_emplace(lib.key());
        if (added)
            for (Node sub : lib.findAll("symbol")) {
                const std::int32_t unit = SubSymbolUnit(sub.valueAt(1));
                it->second.UnitCount = std::max(it->second.UnitCount, unit);
                for (Node pin : sub.findAll("pin")) {
                    Node name = pin.find("name"), number = pin.find("number");
                    if (name && number)
                        it->second.Numbers[unit][std::string(name.valueAt(1))].emplace_back(
                            number.valueAt(1));
                }
            }
        return it->second;
    }

private:
    std::map<std::pair<const void*, std::uint32_t>, TLibraryPins> FLibraries;
};

// The name KiCad gives a net that only pins drive: "Net-(U1-Pad3)", or with the pin's name
// "Net-(U1A-CLK)"; "unconnected-(…)" when the pin is alone or flagged, always with the pad then.
std::string PinDriverName(const TSchItem& pin, bool unconnected, TLibraryPinCache& libraries) {
    const std::string number = EscapeNetName(pin.Text);
    const std::string name = EscapeNetName(pin.PinName);
    const TLibraryPins* lib = pin.Library ? &libraries.Of(pin.Library) : nullptr;
    // Another pin of the same unit with this name: the name alone would not tell them apart.
    bool shared = false;
    if (lib)
        for (std::int32_t unit : {0, pin.Unit}) {
            auto inUnit = lib->Numbers.find(unit);
            if (inUnit == lib->Numbers.end())
                continue;
            auto numbers = inUnit->second.find(pin.PinName);
            if (numbers != inUnit->second.end())
                for (const std::string& other : numbers->second)
                    shared = shared || other != pin.Text;
        }
    unconnected = unconnected || pin.PinType == "no_connect";
    std::string out = unconnected ? "unconnected-(" : "Net-(";
    if (!name.empty() && name != number) {
        out += pin.Reference;
        if (lib && lib->UnitCount > 1)
            out += UnitLetters(pin.Unit);
        out += "-" + name;
        if (unconnected || shared)
            out += "-Pad" + number;
    } else {
        out += pin.Reference + "-Pad" + number;
    }
    return out + ")";
}

// The members of a bus label: "D[0..7]" gives D0..D7 with their position, "{A B[0..1]}" gives A, B0,
// B1, and "NAME{A B}" gives NAME.A, NAME.B. Empty when the text names a single net.
struct TBusMember {
    std::string Name, Local; // Local: without the group's name
    std::int64_t Index = -1;
};

bool ParseVector(std::string_view text, std::string& prefix, std::int64_t& first, std::int64_t& last) {
    const auto open = text.find('[');
    const auto dots = text.find("..", open == std::string_view::npos ? 0 : open);
    if (open == std::string_view::npos || dots == std::string_view::npos || text.back() != ']')
        return false;
    try {
        first = std::stoll(std::string(text.substr(open + 1, dots - open - 1)));
        last = std::stoll(std::string(text.substr(dots + 2, text.size() - dots - 3)));
    } catch (...) {
        return false;
    }
    prefix = std::string(text.substr(0, open));
    return true;
}

// Bus aliases of the design: a name standing for a list of members.
using TBusAliases = std::map<std::string, std::vector<std::string>, std::less<>>;

std::vector<TBusMember> BusMembers(std::string_view text, const TBusAliases& aliases) {
    std::vector<TBusMember> out;
    if (text.empty())
        return out;
    if (auto alias = aliases.find(text); alias != aliases.end()) {
        std::string group;
        for (const auto& m : alias->second)
            group += (group.empty() ? "{" : " ") + m;
        return BusMembers(group + "}", {});
    }
    std::string prefix;
    std::int64_t first = 0, last = 0;
    // "~{…}", "_{…}" and "^{…}" are overbar, subscript and superscript markup, not a group.
    auto brace = text.find('{');
    while (brace != std::string_view::npos && brace > 0 &&
           (text[brace - 1] == '~' || text[brace - 1] == '_' || text[brace - 1] == '^'))
        brace = text.find('{', brace + 1);
    if (brace != std::string_view::npos && !text.empty() && text.back() == '}') {
        const std::string group(text.substr(0, brace));
        std::string_view body = text.substr(brace + 1, text.size() - brace - 2);
        std::size_t at = 0;
        while (at < body.size()) {
            while (at < body.size() && (body[at] == ' ' || body[at] == ','))
                ++at;
            std::size_t end = at;
            while (end < body.size() && body[end] != ' ' && body[end] != ',')
                ++end;
            if (end == at)
                break;
            const std::string_view member = body.substr(at, end - at);
            auto add = [&](const std::string& local) {
                out.push_back({group.empty() ? local : group + "." + local, local, -1});
            };
            if (auto alias = aliases.find(member); alias != aliases.end()) {
                for (const auto& m : alias->second)
                    if (ParseVector(m, prefix, first, last))
                        for (std::int64_t i = std::min(first, last); i <= std::max(first, last); ++i)
                            add(prefix + std::to_string(i));
                    else
                        add(m);
            } else if (ParseVector(member, prefix, first, last)) {
                for (std::int64_t i = std::min(first, last); i <= std::max(first, last); ++i)
                    add(prefix + std::to_string(i));
            } else {
                add(std::string(member));
            }
            at = end;
        }
        return out;
    }
    // Vector members meet by position, lowest index first: "IO[8..15]" on one side and
    // "IO[0..7]" on the other join IO8 with IO0.
    if (ParseVector(text, prefix, first, last) && std::max(first, last) - std::min(first, last) < 100000)
        for (std::int64_t i = std::min(first, last); i <= std::max(first, last); ++i)
            out.push_back(
                {prefix + std::to_string(i), prefix + std::to_string(i), i - std::min(first, last)});
    return out;
}

bool IsBusText(std::string_view text, const TBusAliases& aliases) {
    return !BusMembers(text, aliases).empty();
}

struct TDriver {
    int Priority = ePriority_None;
    int Rank = 0;     // among equals: 0 before 1 (a power symbol before a part's hidden power pin)
    std::string Name; // the whole net name
    std::string Text; // what the driver says, without the sheet's path
    bool Global = false;
    std::int32_t Depth = 0;
};

// Orders candidates for naming one net: stronger first, then the one nearer the root, then the
// lower name.
bool Better(const TDriver& a, const TDriver& b) {
    return std::tie(b.Priority, a.Rank, a.Depth, a.Name) < std::tie(a.Priority, b.Rank, b.Depth, b.Name);
}

std::int32_t DepthOf(const std::string& namePath) {
    return std::int32_t(std::count(namePath.begin(), namePath.end(), '/'));
}

} // namespace

void TSchematicConnectivity::NameNets(const TSchematicSet& set) {
    TLibraryPinCache libraries;
    TBusAliases aliases;
    for (std::size_t f = 0; f < set.Files().size(); ++f)
        for (Node alias : set.Elements(f))
            if (Node list = alias.is("bus_alias") ? alias.find("members") : Node()) {
                auto& members = aliases[std::string(alias.valueAt(1))];
                for (std::size_t k = 1; k < list.size(); ++k)
                    members.emplace_back(list.valueAt(k));
            }
    // One record per subgraph of every instance.
    struct TSub {
        std::size_t Instance;
        std::int32_t Subgraph;
        TDriver Driver;
        bool Bus = false;
        std::int32_t PinCount = 0;
        bool NoConnect = false;
        std::vector<std::string> Aliases;
    };
    std::vector<TSub> subs;
    std::vector<std::vector<std::int32_t>> subOf(FInstances.size()); // instance, subgraph -> subs index
    std::vector<std::vector<std::vector<std::size_t>>> members(FInstances.size());
    for (std::size_t i = 0; i < FInstances.size(); ++i) {
        const auto& in = FInstances[i];
        members[i].resize(in.SubgraphNet.size());
        for (std::size_t k = 0; k < in.Items.size(); ++k)
            if (in.SubgraphOf[k] >= 0)
                members[i][std::size_t(in.SubgraphOf[k])].push_back(k);
        for (std::size_t s = 0; s < members[i].size(); ++s) {
            subOf[i].push_back(std::int32_t(subs.size()));
            subs.push_back({i, std::int32_t(s), {}, false, 0, false, {}});
        }
    }

    for (auto& sub : subs) {
        const auto& in = FInstances[sub.Instance];
        const std::int32_t depth = DepthOf(in.NamePath);
        const auto& items = members[sub.Instance][std::size_t(sub.Subgraph)];
        for (std::size_t k : items) {
            const auto& item = in.Items[k];
            sub.Bus = sub.Bus || item.Kind == TSchItemKind::Bus;
            sub.NoConnect = sub.NoConnect || item.Kind == TSchItemKind::NoConnect;
            if (item.Kind == TSchItemKind::Pin && !item.Reference.empty() && item.Reference[0] != '#')
                ++sub.PinCount;
        }
        std::vector<TDriver> candidates;
        std::vector<std::size_t> candidateItems;
        for (std::size_t k : items) {
            const auto& item = in.Items[k];
            TDriver d;
            d.Depth = depth;
            switch (item.Kind) {
            case TSchItemKind::GlobalLabel:
                d = {ePriority_Global, 0, EscapeNetName(item.Text), item.Text, true, depth};
                break;
            case TSchItemKind::Label:
                d = {
                    ePriority_LocalLabel, 0, in.NamePath + EscapeNetName(item.Text), item.Text, false, depth};
                break;
            case TSchItemKind::HierLabel:
                d = {ePriority_HierLabel, 0, in.NamePath + EscapeNetName(item.Text), item.Text, false, depth};
                break;
            case TSchItemKind::SheetPin:
                d = {ePriority_SheetPin, 0, in.NamePath + EscapeNetName(item.Text), item.Text, false, depth};
                break;
            case TSchItemKind::PowerPin:
            case TSchItemKind::Pin:
                if (IsPowerDriver(item)) {
                    const std::string text = item.Kind == TSchItemKind::PowerPin ? item.Text : item.PinName;
                    const int rank = item.Kind == TSchItemKind::PowerPin ? 0 : 1;
                    if (IsLocalPower(item.Library))
                        d = {ePriority_LocalPower,
                             rank,
                             in.NamePath + EscapeNetName(text),
                             text,
                             false,
                             depth};
                    else
                        d = {ePriority_GlobalPower, rank, EscapeNetName(text), text, true, depth};
                } else if (item.Kind == TSchItemKind::Pin && !item.Reference.empty() &&
                           item.Reference[0] != '#') {
                    const std::string name =
                        PinDriverName(item, sub.NoConnect || sub.PinCount == 1, libraries);
                    d = {ePriority_Pin, 0, name, name, true, depth};
                }
                break;
            default:
                break;
            }
            if (d.Priority == ePriority_None)
                continue;
            candidates.push_back(d);
            candidateItems.push_back(k);
        }
        if (candidates.empty())
            continue;
        int top = ePriority_None;
        for (const auto& c : candidates)
            top = std::max(top, c.Priority);
        std::size_t best = candidates.size();
        if (top == ePriority_SheetPin)
            for (std::size_t c = 0; c < candidates.size() && best == candidates.size(); ++c)
                if (candidates[c].Priority == top && in.Items[candidateItems[c]].Node.size() > 2 &&
                    in.Items[candidateItems[c]].Node.valueAt(2) == "output")
                    best = c;
        if (best == candidates.size())
            for (std::size_t c = 0; c < candidates.size(); ++c) {
                if (candidates[c].Priority != top)
                    continue;
                if (best == candidates.size()) {
                    best = c;
                    continue;
                }
                const auto& a = in.Items[candidateItems[c]];
                const auto& b = in.Items[candidateItems[best]];
                // A power symbol's pin names the net before a hidden power pin of a part does;
                // pad-numbered names come after named ones; then the lower name.
                const bool aSymbol = a.Kind == TSchItemKind::PowerPin,
                           bSymbol = b.Kind == TSchItemKind::PowerPin;
                if (aSymbol != bSymbol) {
                    if (aSymbol)
                        best = c;
                    continue;
                }
                const bool aLow = candidates[c].Name.find("-Pad") != std::string::npos;
                const bool bLow = candidates[best].Name.find("-Pad") != std::string::npos;
                if (aLow != bLow) {
                    if (!aLow)
                        best = c;
                    continue;
                }
                if (candidates[c].Name < candidates[best].Name)
                    best = c;
            }
        sub.Driver = candidates[best];
        // Every label and power name on the subgraph names the same net: another subgraph with
        // one of these names joins it.
        for (const auto& c : candidates)
            if (c.Priority >= ePriority_HierLabel && c.Name != sub.Driver.Name)
                sub.Aliases.push_back(c.Name);
        sub.Bus = sub.Bus || IsBusText(sub.Driver.Text, aliases);
    }

    // Nets join across the design: strong drivers of the same name are one net, a sheet pin
    // joins the hierarchical label of the same name in its sheet, and the members of a bus
    // passed through a sheet pin join the members of the child's bus of the same index or name.
    std::vector<std::int32_t> up(subs.size());
    for (std::size_t i = 0; i < up.size(); ++i)
        up[i] = std::int32_t(i);
    std::vector<TDriver> virtualDrivers(subs.size());
    auto find = [&](std::int32_t x) {
        while (up[std::size_t(x)] != x)
            x = up[std::size_t(x)] = up[std::size_t(up[std::size_t(x)])];
        return x;
    };
    auto join = [&](std::int32_t a, std::int32_t b) {
        a = find(a), b = find(b);
        if (a != b)
            up[std::size_t(std::max(a, b))] = std::min(a, b);
    };
    std::map<std::string, std::int32_t> nameNode;
    auto nodeOf = [&](const std::string& name, const TDriver& candidate) {
        auto [it, added] = nameNode.try_emplace(name, std::int32_t(up.size()));
        if (added) {
            up.push_back(it->second);
            virtualDrivers.push_back({});
        }
        TDriver& v = virtualDrivers[std::size_t(it->second)];
        if (candidate.Priority != ePriority_None && (v.Priority == ePriority_None || Better(candidate, v)))
            v = candidate;
        return it->second;
    };
    for (std::size_t s = 0; s < subs.size(); ++s)
        if (!subs[s].Bus && subs[s].Driver.Priority >= ePriority_HierLabel) {
            join(std::int32_t(s), nodeOf(subs[s].Driver.Name, {}));
            for (const auto& alias : subs[s].Aliases)
                join(std::int32_t(s), nodeOf(alias, {}));
        }

    for (std::size_t i = 0; i < FInstances.size(); ++i) {
        const auto& in = FInstances[i];
        for (std::size_t k = 0; k < in.Items.size(); ++k) {
            const auto& pin = in.Items[k];
            if (pin.Kind != TSchItemKind::SheetPin || pin.Child < 0 || in.SubgraphOf[k] < 0)
                continue;
            const auto child = std::size_t(pin.Child);
            const auto& parentSub = subs[std::size_t(subOf[i][std::size_t(in.SubgraphOf[k])])];
            const auto& cin = FInstances[child];
            for (std::size_t h = 0; h < cin.Items.size(); ++h) {
                const auto& label = cin.Items[h];
                if (label.Kind != TSchItemKind::HierLabel || label.Text != pin.Text || cin.SubgraphOf[h] < 0)
                    continue;
                const auto childIndex = subOf[child][std::size_t(cin.SubgraphOf[h])];
                const auto& childSub = subs[std::size_t(childIndex)];
                if (!parentSub.Bus && !childSub.Bus) {
                    join(subOf[i][std::size_t(in.SubgraphOf[k])], childIndex);
                    continue;
                }
                if (parentSub.Bus != childSub.Bus)
                    continue;
                const auto outer = BusMembers(parentSub.Driver.Text, aliases);
                const auto inner = BusMembers(childSub.Driver.Text, aliases);
                auto fullName = [&](const TSub& sub, const std::string& member) {
                    return sub.Driver.Global ? member : FInstances[sub.Instance].NamePath + member;
                };
                for (const auto& o : outer)
                    for (const auto& n : inner) {
                        const bool match =
                            o.Index >= 0 || n.Index >= 0 ? o.Index == n.Index : o.Local == n.Local;
                        if (!match)
                            continue;
                        TDriver po = parentSub.Driver, pn = childSub.Driver;
                        po.Name = fullName(parentSub, o.Name);
                        pn.Name = fullName(childSub, n.Name);
                        join(nodeOf(po.Name, po), nodeOf(pn.Name, pn));
                    }
            }
        }
    }

    // The best driver of each joined group names all of it.
    std::map<std::int32_t, TDriver> best;
    auto offer = [&](std::int32_t node, const TDriver& d) {
        if (d.Priority == ePriority_None)
            return;
        auto [it, added] = best.try_emplace(find(node), d);
        if (!added && Better(d, it->second))
            it->second = d;
    };
    for (std::size_t s = 0; s < subs.size(); ++s)
        if (!subs[s].Bus)
            offer(std::int32_t(s), subs[s].Driver);
    for (const auto& [name, node] : nameNode)
        offer(node, virtualDrivers[std::size_t(node)]);

    std::set<std::string> withPins;
    std::vector<std::string> names(subs.size());
    for (std::size_t s = 0; s < subs.size(); ++s) {
        auto it = best.find(find(std::int32_t(s)));
        names[s] = subs[s].Bus || it == best.end() ? subs[s].Driver.Name : it->second.Name;
        if (subs[s].PinCount > 0)
            withPins.insert(names[s]);
    }
    FPins.clear();
    FSubgraphNames.assign(FInstances.size(), {});
    for (std::size_t i = 0; i < FInstances.size(); ++i)
        FSubgraphNames[i].assign(FInstances[i].SubgraphNet.size(), std::string());
    for (std::size_t s = 0; s < subs.size(); ++s) {
        auto& in = FInstances[subs[s].Instance];
        in.SubgraphNet[std::size_t(subs[s].Subgraph)] = withPins.count(names[s]) ? names[s] : std::string();
        FSubgraphNames[subs[s].Instance][std::size_t(subs[s].Subgraph)] = names[s];
        for (std::size_t k : members[subs[s].Instance][std::size_t(subs[s].Subgraph)]) {
            const auto& item = in.Items[k];
            if (item.Kind != TSchItemKind::Pin || item.Reference.empty() || item.Reference[0] == '#')
                continue;
            auto [it, added] =
                FPins.try_emplace({item.Reference, item.Text}, TPinPlace{subs[s].Instance, k, names[s]});
            if (!added && it->second.Net.starts_with("unconnected-(") &&
                !names[s].starts_with("unconnected-("))
                it->second = {subs[s].Instance, k, names[s]};
        }
    }
}

} // namespace pcbhost::kicad
