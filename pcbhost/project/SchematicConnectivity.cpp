#include "pcbhost/project/SchematicConnectivity.h"

#include "pcbhost/project/SchematicFiles.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>
#include <tuple>
#include <unordered_map>

namespace pcbhost::kicad {

using sexpr::Node;

namespace {

// KiCad keeps schematic coordinates in units of 100 nm: points that round to the same unit are
// the same point there, so they are here too.
std::int64_t Units(double mm) {
    return std::llround(mm * 1e4);
}

// The rotation and mirroring of a placed symbol as an integer matrix on library coordinates
// (already turned to the sheet's downward Y).
struct TTransform {
    int XX = 1, XY = 0, YX = 0, YY = 1;
    void Apply(std::int64_t x, std::int64_t y, std::int64_t& outX, std::int64_t& outY) const {
        outX = XX * x + XY * y;
        outY = YX * x + YY * y;
    }
};

TTransform TransformOf(Node symbol) {
    Node at = symbol.find("at");
    const int quarter = at && at.size() > 3 ? int(std::lround(at.doubleAt(3) / 90.0)) : 0;
    const int c[4] = {1, 0, -1, 0}, s[4] = {0, 1, 0, -1};
    const int k = ((quarter % 4) + 4) % 4;
    // Counter-clockwise as the sheet shows it (Y pointing down).
    TTransform t{c[k], s[k], -s[k], c[k]};
    if (Node mirror = symbol.find("mirror"); mirror && mirror.size() > 1) {
        if (mirror.valueAt(1) == "x")
            t.YX = -t.YX, t.YY = -t.YY;
        else if (mirror.valueAt(1) == "y")
            t.XX = -t.XX, t.XY = -t.XY;
    }
    return t;
}

bool Hidden(Node item) {
    for (Node child : item.children()) {
        if (child.isAtom() && child.value() == "hide")
            return true;
        if (child.is("hide") && child.size() > 1 && child.valueAt(1) == "yes")
            return true;
    }
    return false;
}

TSchPoint PointOf(Node at) {
    return {Units(at.doubleAt(1)) * 100, Units(at.doubleAt(2)) * 100};
}

// Whether p lies on the segment a-b, its ends excluded.
bool Inside(const TSchPoint& a, const TSchPoint& b, const TSchPoint& p) {
    if (p == a || p == b)
        return false;
    const __int128 cross = __int128(b.X - a.X) * (p.Y - a.Y) - __int128(b.Y - a.Y) * (p.X - a.X);
    if (cross != 0)
        return false;
    return std::min(a.X, b.X) <= p.X && p.X <= std::max(a.X, b.X) && std::min(a.Y, b.Y) <= p.Y &&
           p.Y <= std::max(a.Y, b.Y);
}

struct TUnion {
    std::vector<std::int32_t> Up;
    explicit TUnion(std::size_t n) : Up(n) { std::iota(Up.begin(), Up.end(), 0); }
    std::int32_t Find(std::int32_t x) {
        while (Up[std::size_t(x)] != x)
            x = Up[std::size_t(x)] = Up[std::size_t(Up[std::size_t(x)])];
        return x;
    }
    void Join(std::int32_t a, std::int32_t b) {
        a = Find(a), b = Find(b);
        if (a != b)
            Up[std::size_t(std::max(a, b))] = std::min(a, b);
    }
    std::int32_t Add() {
        Up.push_back(std::int32_t(Up.size()));
        return Up.back();
    }
};

} // namespace

TSchPoint SchPoint_FromMm(double x, double y) {
    return {Units(x) * 100, Units(y) * 100};
}

TSchematicConnectivity::TSchematicConnectivity(const TSchematicSet& set) {
    Collect(set);
    for (auto& instance : FInstances)
        Connect(instance);
    NameNets(set);
}

void TSchematicConnectivity::Collect(const TSchematicSet& set) {
    const auto& visits = set.SheetVisits();
    FInstances.resize(visits.size());
    for (std::size_t v = 0; v < visits.size(); ++v) {
        TSchSheetInstance& instance = FInstances[v];
        instance.UuidPath = visits[v].UuidPath;
        instance.NamePath = visits[v].NamePath;
        instance.File = visits[v].File;
        const std::size_t file = instance.File;
        auto add = [&](TSchItemKind kind, Node node, std::string text) -> TSchItem& {
            TSchItem& item = instance.Items.emplace_back();
            item.Kind = kind;
            item.File = file;
            item.Node = node;
            item.Text = std::move(text);
            return item;
        };
        for (Node node : set.Elements(file)) {
            if (node.is("wire") || node.is("bus")) {
                Node pts = node.find("pts");
                if (!pts)
                    continue;
                auto& item = add(node.is("wire") ? TSchItemKind::Wire : TSchItemKind::Bus, node, {});
                for (Node xy : pts.findAll("xy"))
                    item.Points.push_back(PointOf(xy));
                if (item.Points.size() != 2)
                    instance.Items.pop_back();
            } else if (node.is("bus_entry")) {
                Node at = node.find("at"), size = node.find("size");
                if (!at || !size)
                    continue;
                auto& item = add(TSchItemKind::BusEntry, node, {});
                const TSchPoint p = PointOf(at);
                item.Points = {p, {p.X + Units(size.doubleAt(1)) * 100, p.Y + Units(size.doubleAt(2)) * 100}};
            } else if (node.is("junction") || node.is("no_connect")) {
                if (Node at = node.find("at"))
                    add(node.is("junction") ? TSchItemKind::Junction : TSchItemKind::NoConnect, node, {})
                        .Points = {PointOf(at)};
            } else if (node.is("label") || node.is("global_label") || node.is("hierarchical_label")) {
                Node at = node.find("at");
                if (!at)
                    continue;
                const auto kind = node.is("label")          ? TSchItemKind::Label
                                  : node.is("global_label") ? TSchItemKind::GlobalLabel
                                                            : TSchItemKind::HierLabel;
                auto& item = add(kind, node, std::string(node.valueAt(1)));
                item.Points = {PointOf(at)};
                item.Angle = at.size() > 3 ? at.doubleAt(3) : 0;
            }
        }
    }
    // Sheet pins join the instance of the sheet they lead into.
    for (std::size_t v = 1; v < visits.size(); ++v) {
        const auto parent = std::size_t(visits[v].Parent);
        TSchSheetInstance& instance = FInstances[parent];
        for (Node pin : visits[v].Sheet.findAll("pin")) {
            Node at = pin.find("at");
            if (!at)
                continue;
            TSchItem& item = instance.Items.emplace_back();
            item.Kind = TSchItemKind::SheetPin;
            item.File = instance.File;
            item.Node = pin;
            item.Text = std::string(pin.valueAt(1));
            item.Points = {PointOf(at)};
            item.Angle = at.size() > 3 ? at.doubleAt(3) : 0;
            item.Child = std::int32_t(v);
        }
    }
    // Pins of placed symbols: the pins of the placed unit and those common to all units, in the
    // placed body style.
    for (const auto& placed : set.PlacedSymbols()) {
        if (!placed.Lib)
            continue;
        TSchSheetInstance& instance = FInstances[placed.Visit];
        const bool power = bool(placed.Lib.find("power"));
        // Files from before KiCad 7's editable power values name a power net after the pin.
        const bool valueNames = set.FileVersion(instance.File) >= 20230221;
        const std::string& value = placed.Value;
        Node at = placed.Symbol.find("at");
        const TSchPoint origin = at ? PointOf(at) : TSchPoint{};
        const TTransform t = TransformOf(placed.Symbol);
        for (Node sub : placed.Lib.findAll("symbol")) {
            std::int32_t unit = 0, style = 0;
            if (!SubSymbolUnit(sub.valueAt(1), unit, style))
                continue;
            if ((unit != 0 && unit != placed.Unit) || (style != 0 && style != placed.Style))
                continue;
            for (Node pin : sub.findAll("pin")) {
                Node number = pin.find("number"), name = pin.find("name"), pinAt = pin.find("at");
                if (!number || !pinAt)
                    continue;
                // "~" stands for an empty name or number.
                std::string pinNumber(number.valueAt(1));
                if (pinNumber == "~")
                    pinNumber.clear();
                const std::string type(pin.valueAt(1));
                const bool powerPin = power && type == "power_in";
                std::int64_t dx, dy;
                t.Apply(Units(pinAt.doubleAt(1)), -Units(pinAt.doubleAt(2)), dx, dy);
                // The pin's direction from its end into the body, turned like the symbol.
                const double a = (pinAt.size() > 3 ? pinAt.doubleAt(3) : 0) * M_PI / 180.0;
                std::int64_t ux, uy;
                t.Apply(std::llround(std::cos(a) * 1000), -std::llround(std::sin(a) * 1000), ux, uy);
                double angle = std::atan2(double(-uy), double(ux)) * 180.0 / M_PI;
                if (angle < 0)
                    angle += 360;
                std::string pinName = name ? std::string(name.valueAt(1)) : std::string();
                if (pinName == "~")
                    pinName.clear();
                TSchItem& item = instance.Items.emplace_back();
                item.Kind = powerPin ? TSchItemKind::PowerPin : TSchItemKind::Pin;
                item.File = instance.File;
                item.Node = placed.Symbol;
                item.Text = !powerPin ? pinNumber : valueNames ? value : pinName;
                item.Reference = placed.Reference;
                item.Points = {{origin.X + dx * 100, origin.Y + dy * 100}};
                item.Angle = std::fmod(std::round(angle), 360.0);
                item.PinName = std::move(pinName);
                item.PinType = type;
                item.Unit = placed.Unit;
                item.Hidden = Hidden(pin);
                item.Library = placed.Lib;
            }
        }
    }
}

void TSchematicConnectivity::Connect(TSchSheetInstance& instance) {
    auto& items = instance.Items;
    std::map<TSchPoint, std::vector<std::int32_t>> at;
    for (std::size_t i = 0; i < items.size(); ++i)
        for (const auto& p : items[i].Points)
            at[p].push_back(std::int32_t(i));
    // Junctions and labels sitting on the middle of a wire or bus join it there, as if the
    // segment were cut at that point; a bare crossing, or a pin on a segment's middle, does not.
    std::vector<std::int32_t> segments;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].Kind == TSchItemKind::Wire || items[i].Kind == TSchItemKind::Bus)
            segments.push_back(std::int32_t(i));
    std::set<TSchPoint> busPoints;
    for (std::int32_t s : segments)
        if (items[std::size_t(s)].Kind == TSchItemKind::Bus)
            for (const auto& p : items[std::size_t(s)].Points)
                busPoints.insert(p);
    for (auto& [point, list] : at) {
        bool splits = false, entry = false;
        for (std::int32_t i : list) {
            const auto kind = items[std::size_t(i)].Kind;
            splits = splits || kind == TSchItemKind::Junction || kind == TSchItemKind::Label ||
                     kind == TSchItemKind::GlobalLabel || kind == TSchItemKind::HierLabel;
            entry = entry || kind == TSchItemKind::BusEntry;
        }
        if (!splits && !entry)
            continue;
        for (std::int32_t s : segments) {
            const auto& seg = items[std::size_t(s)];
            if (!Inside(seg.Points[0], seg.Points[1], point))
                continue;
            if (seg.Kind == TSchItemKind::Bus)
                busPoints.insert(point);
            if (splits)
                list.push_back(s);
        }
    }
    TUnion u(items.size());
    for (const auto& [point, list] : at) {
        // Where a bus entry meets a bus, it belongs to the bus side only: the net items that
        // happen to lie there are not joined through it.
        const bool onBus = busPoints.count(point) > 0;
        for (std::size_t a = 0; a < list.size(); ++a)
            for (std::size_t b = a + 1; b < list.size(); ++b) {
                const auto ka = items[std::size_t(list[a])].Kind, kb = items[std::size_t(list[b])].Kind;
                if (ka == TSchItemKind::BusEntry || kb == TSchItemKind::BusEntry) {
                    if (onBus)
                        continue;
                    if (ka == TSchItemKind::Bus || kb == TSchItemKind::Bus)
                        continue;
                }
                u.Join(list[a], list[b]);
            }
    }
    std::vector<std::int32_t> size(items.size(), 0);
    for (std::size_t i = 0; i < items.size(); ++i)
        ++size[std::size_t(u.Find(std::int32_t(i)))];
    std::map<std::int32_t, std::int32_t> number;
    instance.SubgraphOf.assign(items.size(), -1);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto root = u.Find(std::int32_t(i));
        const auto kind = items[i].Kind;
        const bool namesOrCounts = kind == TSchItemKind::Pin || kind == TSchItemKind::PowerPin ||
                                   kind == TSchItemKind::Label || kind == TSchItemKind::GlobalLabel ||
                                   kind == TSchItemKind::HierLabel || kind == TSchItemKind::SheetPin;
        if (size[std::size_t(root)] < 2 && !namesOrCounts)
            continue;
        auto [it, added] = number.try_emplace(root, std::int32_t(number.size()));
        instance.SubgraphOf[i] = it->second;
    }
    instance.SubgraphNet.assign(number.size(), std::string());
}

bool TSchematicConnectivity::Relabel(const TSchematicSet& set, const std::vector<TRelabel>& texts) {
    auto key = [](std::size_t file, const Node& node) { return (std::uint64_t(file) << 32) | node.begin(); };
    std::unordered_map<std::uint64_t, std::size_t> last; // node -> its last entry
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (!texts[i].Node)
            return false;
        last[key(texts[i].File, texts[i].Node)] = i;
    }
    std::vector<bool> found(texts.size(), false);
    std::vector<std::pair<TSchItem*, std::size_t>> changes;
    for (auto& instance : FInstances)
        for (auto& item : instance.Items) {
            const bool text = item.Kind == TSchItemKind::Label || item.Kind == TSchItemKind::GlobalLabel ||
                              item.Kind == TSchItemKind::HierLabel || item.Kind == TSchItemKind::SheetPin;
            if (!text)
                continue;
            auto it = last.find(key(item.File, item.Node));
            if (it == last.end() || !(texts[it->second].Node == item.Node))
                continue;
            found[it->second] = true;
            changes.emplace_back(&item, it->second);
        }
    for (const auto& [node, i] : last)
        if (!found[i])
            return false;
    for (auto& [item, i] : changes)
        item->Text = texts[i].Text;
    NameNets(set);
    return true;
}

std::string TSchematicConnectivity::NetOfSubgraph(std::size_t instance, std::int32_t subgraph) const {
    if (instance >= FSubgraphNames.size() || subgraph < 0 ||
        std::size_t(subgraph) >= FSubgraphNames[instance].size())
        return {};
    return FSubgraphNames[instance][std::size_t(subgraph)];
}

std::vector<std::size_t> TSchematicConnectivity::SubgraphItems(std::size_t instance,
                                                               std::int32_t subgraph) const {
    const auto& in = FInstances.at(instance);
    // Items by subgraph, made on the first question: planning a change asks once per pin.
    if (FMembers.size() != FInstances.size())
        FMembers.resize(FInstances.size());
    TMembers& members = FMembers[instance];
    if (members.Start.empty()) {
        std::int32_t count = 0;
        for (std::int32_t g : in.SubgraphOf)
            count = std::max(count, g + 1);
        members.Start.assign(std::size_t(count) + 1, 0);
        for (std::int32_t g : in.SubgraphOf)
            if (g >= 0)
                ++members.Start[std::size_t(g) + 1];
        for (std::size_t g = 1; g < members.Start.size(); ++g)
            members.Start[g] += members.Start[g - 1];
        members.Items.resize(members.Start.back());
        std::vector<std::size_t> next(members.Start.begin(), members.Start.end() - 1);
        for (std::size_t i = 0; i < in.SubgraphOf.size(); ++i)
            if (const std::int32_t g = in.SubgraphOf[i]; g >= 0)
                members.Items[next[std::size_t(g)]++] = i;
    }
    if (subgraph < 0 || std::size_t(subgraph) + 1 >= members.Start.size())
        return {};
    return {members.Items.begin() + std::ptrdiff_t(members.Start[std::size_t(subgraph)]),
            members.Items.begin() + std::ptrdiff_t(members.Start[std::size_t(subgraph) + 1])};
}

bool TSchematicConnectivity::FindPin(std::string_view reference, std::string_view pin, std::size_t& instance,
                                     std::size_t& item) const {
    auto it = FPins.find({std::string(reference), std::string(pin)});
    if (it == FPins.end())
        return false;
    instance = it->second.Instance;
    item = it->second.Item;
    return true;
}

std::string TSchematicConnectivity::PinNetName(std::string_view reference, std::string_view pin) const {
    auto it = FPins.find({std::string(reference), std::string(pin)});
    return it == FPins.end() ? std::string() : it->second.Net;
}

std::string TSchematicConnectivity::PinNet(std::string_view reference, std::string_view pin) const {
    std::string net = PinNetName(reference, pin);
    return net.starts_with("unconnected-(") ? std::string() : net;
}

std::vector<TSchematicConnectivity::TPinNet> TSchematicConnectivity::PinNets() const {
    std::vector<TPinNet> out;
    for (const auto& [key, place] : FPins)
        out.push_back({key.first, key.second, place.Net});
    return out;
}

} // namespace pcbhost::kicad
