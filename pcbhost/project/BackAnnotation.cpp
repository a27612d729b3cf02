#include "pcbhost/project/BackAnnotation.h"

#include "pcbhost/kicad/Uuid.h"
#include "pcbhost/project/SchematicConnectivity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

namespace pcbhost::kicad {

using sexpr::Node;

namespace {

bool IsLabel(TSchItemKind kind) {
    return kind == TSchItemKind::Label || kind == TSchItemKind::GlobalLabel ||
           kind == TSchItemKind::HierLabel;
}

// Names KiCad makes up for nets no label names: not something a label can say.
bool IsGeneratedName(std::string_view name) {
    return name.starts_with("Net-(") || name.starts_with("unconnected-(");
}

std::string Millimetres(std::int64_t nm) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", double(nm) / 1e6);
    std::string s = buf;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

std::string FileName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A new label's text as KiCad writes it in a file of `version`: placed on a pin end, reading
// away from the symbol body.
std::string LabelText(TSchItemKind kind, const std::string& name, TSchPoint at, double bodyAngle,
                      std::int64_t version) {
    const int angle = (int(std::lround(bodyAngle)) + 180) % 360;
    const char* justify = angle == 0 || angle == 90 ? "left" : "right";
    const bool v8 = version >= 20231120;
    const std::string where =
        "(at " + Millimetres(at.X) + " " + Millimetres(at.Y) + " " + std::to_string(angle) + ")";
    const std::string uuid = v8 ? sexpr::quote(NewUuid()) : NewUuid();
    const std::string autoplaced = v8 ? "(fields_autoplaced yes)" : "(fields_autoplaced)";
    if (kind == TSchItemKind::GlobalLabel) {
        const std::string refs = version < 20220101
                                     ? "(property \"Intersheet References\" \"${INTERSHEET_REFS}\" (id 0) "
                                     : "(property \"Intersheetrefs\" \"${INTERSHEET_REFS}\" ";
        return "(global_label " + sexpr::quote(name) + " (shape bidirectional) " + where + " " + autoplaced +
               " (effects (font (size 1.27 1.27)) (justify " + justify + ")) (uuid " + uuid + ") " + refs +
               where + " (effects (font (size 1.27 1.27)) (justify " + justify + ") " +
               (v8 ? "(hide yes)" : "hide") + ")))";
    }
    return "(label " + sexpr::quote(name) + " " + where + " " + autoplaced +
           " (effects (font (size 1.27 1.27)) (justify " + justify + " bottom)) (uuid " + uuid + "))";
}

// Where new items go in a sheet: after the last wire, label or junction, else after the
// library symbols.
Node InsertionPoint(const sexpr::Document& doc) {
    Node last, libs;
    for (Node child : doc.root().children()) {
        if (child.is("wire") || child.is("bus") || child.is("junction") || child.is("no_connect") ||
            child.is("label") || child.is("global_label") || child.is("hierarchical_label") ||
            child.is("bus_entry"))
            last = child;
        if (child.is("lib_symbols"))
            libs = child;
    }
    if (last)
        return last;
    if (libs)
        return libs;
    return doc.root().find("uuid") ? doc.root().find("uuid") : doc.root().find("version");
}

class TPlanner {
public:
    TPlanner(const TSchematicSet& set, const TSchematicConnectivity& conn, bool allow)
        : FSet(set), FConn(conn), FAllow(allow) {}

    // The edits that move one pin to its new net, added to `edits`; false (with the reason) when
    // the schematic cannot be made to follow.
    bool PlanPin(const TPinChange& change, TBackAnnotation& out, std::string& reason);

private:
    std::optional<std::string> TextFor(std::size_t instance, TSchItemKind kind, const std::string& net) const;
    bool Rename(std::size_t file, Node label, const std::string& text, const std::string& pinName,
                TBackAnnotation& out, std::string& reason);

    const TSchematicSet& FSet;
    const TSchematicConnectivity& FConn;
    bool FAllow;
    // Labels renamed so far (file, node) -> text: a sheet used twice must say one thing.
    std::map<std::pair<std::size_t, std::uint32_t>, std::string> FRenamed;
    std::set<std::pair<std::size_t, std::uint32_t>> FRemoved;
};

// The text a label of `kind` on this sheet instance needs to give `net`, if one can.
std::optional<std::string> TPlanner::TextFor(std::size_t instance, TSchItemKind kind,
                                             const std::string& net) const {
    const TSchSheetInstance& sheet = FConn.Instances()[instance];
    // A label of the net already on this sheet names it as this sheet sees it (a hierarchical
    // label's text is not the net's name); local and hierarchical labels of one text join.
    for (std::size_t i = 0; i < sheet.Items.size(); ++i) {
        const TSchItem& item = sheet.Items[i];
        const bool usable =
            item.Kind == kind || (kind == TSchItemKind::Label && item.Kind == TSchItemKind::HierLabel);
        const std::int32_t subgraph = sheet.SubgraphOf[i];
        if (usable && subgraph >= 0 && sheet.SubgraphNet[std::size_t(subgraph)] == net)
            return item.Text;
    }
    if (kind == TSchItemKind::Label && net.size() > sheet.NamePath.size() &&
        net.starts_with(sheet.NamePath)) {
        const std::string rest = net.substr(sheet.NamePath.size());
        if (rest.find('/') == std::string::npos && !IsGeneratedName(rest))
            return rest;
    }
    if (kind == TSchItemKind::GlobalLabel && !net.empty() && net[0] != '/' && !IsGeneratedName(net))
        return net;
    return std::nullopt;
}

bool TPlanner::Rename(std::size_t file, Node label, const std::string& text, const std::string& pinName,
                      TBackAnnotation& out, std::string& reason) {
    const auto key = std::make_pair(file, label.id());
    if (auto it = FRenamed.find(key); it != FRenamed.end()) {
        if (it->second == text)
            return true;
        reason =
            "its label is on a sheet used more than once, and the other use needs \"" + it->second + "\"";
        return false;
    }
    FRenamed.emplace(key, text);
    out.SheetEdits[file].push_back({TSchematicSet::TSheetEdit::eSetText, label.atom(1), text});
    ++out.LabelsRenamed;
    out.Edits.push_back(pinName + ": label \"" + std::string(label.valueAt(1)) + "\" -> \"" + text + "\" (" +
                        FileName(FSet.Files()[file]) + ":" + std::to_string(label.line()) + ")");
    return true;
}

bool TPlanner::PlanPin(const TPinChange& change, TBackAnnotation& out, std::string& reason) {
    const std::string pinName = change.Reference + "-" + change.Pin;
    std::size_t instance = 0, item = 0;
    if (!FConn.FindPin(change.Reference, change.Pin, instance, item)) {
        reason = "the pin is not on any sheet";
        return false;
    }
    if (change.NewNet.empty()) {
        reason = "the pad has no net on the board";
        return false;
    }
    if (FConn.PinNet(change.Reference, change.Pin) == change.NewNet)
        return true; // the schematic says so already
    const TSchSheetInstance& sheet = FConn.Instances()[instance];
    const TSchItem& pin = sheet.Items[item];
    const std::int32_t subgraph = sheet.SubgraphOf[item];
    std::vector<std::size_t> members =
        subgraph >= 0 ? FConn.SubgraphItems(instance, subgraph) : std::vector<std::size_t>{item};

    std::vector<std::size_t> labels, others, atPin;
    for (std::size_t m : members) {
        if (m == item)
            continue;
        const TSchItem& it = sheet.Items[m];
        if (IsLabel(it.Kind))
            labels.push_back(m);
        else if (it.Kind == TSchItemKind::Pin || it.Kind == TSchItemKind::PowerPin ||
                 it.Kind == TSchItemKind::SheetPin || it.Kind == TSchItemKind::Bus ||
                 it.Kind == TSchItemKind::BusEntry)
            others.push_back(m);
        if (!pin.Points.empty() &&
            std::find(it.Points.begin(), it.Points.end(), pin.Points.front()) != it.Points.end())
            atPin.push_back(m);
    }

    // The net reaches the pin only through labels: they take the new net's name.
    if (others.empty() && !labels.empty()) {
        for (std::size_t l : labels) {
            const TSchItem& label = sheet.Items[l];
            const auto text = TextFor(instance, label.Kind, change.NewNet);
            if (!text) {
                reason = "no " +
                         std::string(label.Kind == TSchItemKind::HierLabel ? "hierarchical label" : "label") +
                         " on this sheet can give it net " + change.NewNet;
                return false;
            }
            if (!Rename(label.File, label.Node, *text, pinName, out, reason))
                return false;
        }
        return true;
    }

    // Wired to other pins (or to nothing): a label of the new net goes on the pin end, which is
    // a change of the schematic's labels the project must allow.
    if (!FAllow) {
        reason = others.empty()
                     ? "it connects to nothing in the schematic, and the project does not allow net "
                       "label changes"
                     : "a wire joins it to other pins, and the project does not allow net label changes";
        return false;
    }
    if (pin.Points.empty()) {
        reason = "the pin's place on the sheet is unknown";
        return false;
    }
    // The pin comes off its wire when exactly one wire ends on it; anything else on the pin end
    // (another pin, a label, a second wire running on) would stay joined.
    std::vector<Node> removals;
    for (std::size_t m : atPin) {
        const TSchItem& it = sheet.Items[m];
        if (it.Kind == TSchItemKind::Junction || it.Kind == TSchItemKind::NoConnect)
            removals.push_back(it.Node);
        else if (it.Kind == TSchItemKind::Wire &&
                 std::count_if(atPin.begin(), atPin.end(),
                               [&](std::size_t a) { return sheet.Items[a].Kind == TSchItemKind::Wire; }) == 1)
            removals.push_back(it.Node);
        else {
            reason = "something other than a single wire ends on the pin";
            return false;
        }
    }
    TSchItemKind kind = TSchItemKind::Label;
    auto text = TextFor(instance, TSchItemKind::Label, change.NewNet);
    if (!text) {
        kind = TSchItemKind::GlobalLabel;
        text = TextFor(instance, TSchItemKind::GlobalLabel, change.NewNet);
    }
    if (!text) {
        reason = "no label on this sheet can give it net " + change.NewNet;
        return false;
    }
    for (Node node : removals) {
        if (!FRemoved.insert({pin.File, node.id()}).second)
            continue;
        out.SheetEdits[pin.File].push_back({TSchematicSet::TSheetEdit::eRemove, node, {}});
        if (node.is("wire")) {
            ++out.WiresCut;
            out.Edits.push_back(pinName + ": wire cut at the pin (" + FileName(FSet.Files()[pin.File]) + ":" +
                                std::to_string(node.line()) + ")");
        }
    }
    const sexpr::Document& doc = FSet.Document(pin.File);
    out.SheetEdits[pin.File].push_back(
        {TSchematicSet::TSheetEdit::eInsertLineAfter, InsertionPoint(doc),
         LabelText(kind, *text, pin.Points.front(), pin.Angle, FSet.FileVersion(pin.File))});
    ++out.LabelsPlaced;
    out.Edits.push_back(pinName + ": " + (kind == TSchItemKind::GlobalLabel ? "global label" : "label") +
                        " \"" + *text + "\" placed on the pin");
    return true;
}

// The schematic's pin nets after `edits`, by "REF\nPIN".
std::map<std::string, std::string>
NetsAfter(const TSchematicSet& set,
          const std::map<std::size_t, std::vector<TSchematicSet::TSheetEdit>>& edits) {
    const auto texts = set.RenderWith(edits);
    std::vector<IPtr<TSchDocument>> sheets;
    TSchematicSet edited(
        set.RootPath(), set.ProjectName(),
        [&sheets](const std::string& path) -> TSchDocument& {
            sheets.push_back(MakeObject<TSchDocument>(path, false));
            return *sheets.back();
        },
        &texts);
    TSchematicConnectivity conn(edited);
    std::map<std::string, std::string> nets;
    for (const auto& sheet : conn.Instances())
        for (const auto& item : sheet.Items)
            if (item.Kind == TSchItemKind::Pin)
                nets.emplace(item.Reference + "\n" + item.Text, conn.PinNet(item.Reference, item.Text));
    return nets;
}

void Merge(TBackAnnotation& into, TBackAnnotation&& from) {
    into.LabelsRenamed += from.LabelsRenamed;
    into.WiresCut += from.WiresCut;
    into.LabelsPlaced += from.LabelsPlaced;
    for (auto& e : from.Edits)
        into.Edits.push_back(std::move(e));
    for (auto& [file, edits] : from.SheetEdits)
        for (auto& e : edits)
            into.SheetEdits[file].push_back(std::move(e));
}

} // namespace

TBackAnnotation BackAnnotation_Plan(const TSchematicSet& set, const std::vector<TPinChange>& changes,
                                    bool allowNetLabelChanges) {
    TBackAnnotation result;
    if (changes.empty())
        return result;
    const TSchematicConnectivity conn(set);
    std::map<std::string, std::string> before;
    for (const auto& sheet : conn.Instances())
        for (const auto& item : sheet.Items)
            if (item.Kind == TSchItemKind::Pin)
                before.emplace(item.Reference + "\n" + item.Text, conn.PinNet(item.Reference, item.Text));

    // Swaps happen within a component: its pins are planned, and checked, together.
    std::map<std::string, std::vector<const TPinChange*>> byComponent;
    for (const auto& change : changes)
        byComponent[change.Reference].push_back(&change);
    std::map<std::string, const TPinChange*> changed;
    for (const auto& change : changes)
        changed.emplace(change.Reference + "\n" + change.Pin, &change);

    TPlanner planner(set, conn, allowNetLabelChanges);
    struct TGroup {
        TBackAnnotation Plan;
        std::vector<const TPinChange*> Pins;
    };
    std::vector<TGroup> groups;
    for (const auto& [reference, pins] : byComponent) {
        TGroup group;
        for (const TPinChange* change : pins) {
            TBackAnnotation one;
            std::string reason;
            if (planner.PlanPin(*change, one, reason)) {
                Merge(group.Plan, std::move(one));
                group.Pins.push_back(change);
            } else {
                result.NeedsEdit.push_back({change->Reference, change->Pin, change->NewNet, reason});
            }
        }
        if (!group.Pins.empty())
            groups.push_back(std::move(group));
    }

    // What the edited schematic says: planned pins on their new nets, every other pin as it was.
    auto check = [&](const std::map<std::size_t, std::vector<TSchematicSet::TSheetEdit>>& edits,
                     const std::vector<const TPinChange*>& planned, std::vector<std::string>* wrong) {
        const auto after = NetsAfter(set, edits);
        std::set<std::string> plannedKeys;
        for (const TPinChange* p : planned)
            plannedKeys.insert(p->Reference + "\n" + p->Pin);
        bool ok = true;
        for (const auto& [key, net] : before) {
            auto it = after.find(key);
            const std::string now = it == after.end() ? std::string() : it->second;
            std::string expected = net;
            if (plannedKeys.count(key))
                expected = changed.at(key)->NewNet;
            else if (changed.count(key))
                continue; // a pin still to be done, or one that needs an edit by hand
            if (now != expected) {
                ok = false;
                if (wrong)
                    wrong->push_back(key.substr(0, key.find('\n')) + "-" + key.substr(key.find('\n') + 1) +
                                     " would be on " + (now.empty() ? "no net" : now));
            }
        }
        return ok;
    };

    TBackAnnotation all;
    std::vector<const TPinChange*> planned;
    for (auto& g : groups) {
        Merge(all, TBackAnnotation(g.Plan));
        planned.insert(planned.end(), g.Pins.begin(), g.Pins.end());
    }
    if (planned.empty() || check(all.SheetEdits, planned, nullptr)) {
        Merge(result, std::move(all));
        return result;
    }
    // Something went further than planned: take the components one at a time and keep those
    // whose edits leave the rest of the schematic as it was.
    TBackAnnotation kept;
    std::vector<const TPinChange*> keptPins;
    for (auto& g : groups) {
        TBackAnnotation trial = kept;
        Merge(trial, TBackAnnotation(g.Plan));
        auto pins = keptPins;
        pins.insert(pins.end(), g.Pins.begin(), g.Pins.end());
        std::vector<std::string> wrong;
        if (check(trial.SheetEdits, pins, &wrong)) {
            kept = std::move(trial);
            keptPins = std::move(pins);
            continue;
        }
        const std::string why =
            "the schematic edit would not hold: " + (wrong.empty() ? std::string() : wrong.front());
        for (const TPinChange* p : g.Pins)
            result.NeedsEdit.push_back({p->Reference, p->Pin, p->NewNet, why});
    }
    Merge(result, std::move(kept));
    return result;
}

} // namespace pcbhost::kicad
