#include "pcbhost/project/BackAnnotation.h"

#include "pcbhost/kicad/Uuid.h"
#include "pcbhost/project/SchematicConnectivity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

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
    TPlanner(const TSchematicSet& set, const TSchematicConnectivity& conn, bool allow,
             const std::vector<TPinChange>& changes);

    // The edits that move one pin to its new net, added to `out`; false (with the reason) when
    // the schematic cannot be made to follow.
    bool PlanPin(const TPinChange& change, TBackAnnotation& out, std::string& reason);

private:
    std::optional<std::string> TextFor(std::size_t instance, TSchItemKind kind, const std::string& net) const;
    // The labels on an instance that are on `net`, in item order.
    const std::vector<std::size_t>& LabelsOf(std::size_t instance, const std::string& net) const;
    bool Rename(std::size_t file, Node label, const std::string& text, const std::string& pinName,
                TBackAnnotation& out, std::string& reason);
    void PlaceLabel(std::size_t instance, std::size_t pinItem, TSchItemKind kind, const std::string& text,
                    const std::string& pinName, TBackAnnotation& out);
    // Gives a net KiCad named after one of its pins ("Net-(U1-Pad3)") a name of its own: a label
    // on a pin of it that stays, and the same name for the board's net. False when no pin of it
    // on this sheet stays there.
    bool NameNet(const std::string& net, std::size_t instance, TBackAnnotation& out, std::string& reason);

    const TSchematicSet& FSet;
    const TSchematicConnectivity& FConn;
    bool FAllow;
    // Pins whose nets change ("REF\nPIN").
    std::set<std::string> FMoving;
    // Every net name the schematic has, so that new names are new.
    std::set<std::string> FNetNames;
    // Nets given a name of their own: net -> instance and label text.
    std::map<std::string, std::pair<std::size_t, std::string>> FNamed;
    // Labels renamed so far (file, node) -> text: a sheet used twice must say one thing.
    std::map<std::pair<std::size_t, std::uint32_t>, std::string> FRenamed;
    std::set<std::pair<std::size_t, std::uint32_t>> FRemoved;
    // Per instance: net -> its labels there (made on the first question).
    mutable std::vector<std::unordered_map<std::string, std::vector<std::size_t>>> FLabels;
};

TPlanner::TPlanner(const TSchematicSet& set, const TSchematicConnectivity& conn, bool allow,
                   const std::vector<TPinChange>& changes)
    : FSet(set), FConn(conn), FAllow(allow) {
    for (const auto& change : changes)
        FMoving.insert(change.Reference + "\n" + change.Pin);
    for (const auto& sheet : conn.Instances())
        FNetNames.insert(sheet.SubgraphNet.begin(), sheet.SubgraphNet.end());
}

const std::vector<std::size_t>& TPlanner::LabelsOf(std::size_t instance, const std::string& net) const {
    static const std::vector<std::size_t> none;
    if (FLabels.empty()) {
        FLabels.resize(FConn.Instances().size());
        for (std::size_t n = 0; n < FLabels.size(); ++n) {
            const TSchSheetInstance& sheet = FConn.Instances()[n];
            for (std::size_t i = 0; i < sheet.Items.size(); ++i)
                if (const std::int32_t subgraph = sheet.SubgraphOf[i];
                    subgraph >= 0 && IsLabel(sheet.Items[i].Kind))
                    FLabels[n][sheet.SubgraphNet[std::size_t(subgraph)]].push_back(i);
        }
    }
    const auto& labels = FLabels[instance];
    auto it = labels.find(net);
    return it == labels.end() ? none : it->second;
}

// The text a label of `kind` on this sheet instance needs to give `net`, if one can.
std::optional<std::string> TPlanner::TextFor(std::size_t instance, TSchItemKind kind,
                                             const std::string& net) const {
    if (auto named = FNamed.find(net); named != FNamed.end()) {
        if (kind == TSchItemKind::Label && named->second.first == instance)
            return named->second.second;
        return std::nullopt;
    }
    const TSchSheetInstance& sheet = FConn.Instances()[instance];
    // A label of the net already on this sheet names it as this sheet sees it (a hierarchical
    // label's text is not the net's name); local and hierarchical labels of one text join.
    for (std::size_t i : LabelsOf(instance, net)) {
        const TSchItem& item = sheet.Items[i];
        if (item.Kind == kind || (kind == TSchItemKind::Label && item.Kind == TSchItemKind::HierLabel))
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

void TPlanner::PlaceLabel(std::size_t instance, std::size_t pinItem, TSchItemKind kind,
                          const std::string& text, const std::string& pinName, TBackAnnotation& out) {
    const TSchItem& pin = FConn.Instances()[instance].Items[pinItem];
    out.SheetEdits[pin.File].push_back(
        {TSchematicSet::TSheetEdit::eInsertLineAfter, InsertionPoint(FSet.Document(pin.File)),
         LabelText(kind, text, pin.Points.front(), pin.Angle, FSet.FileVersion(pin.File))});
    ++out.LabelsPlaced;
    out.Edits.push_back(pinName + ": " + (kind == TSchItemKind::GlobalLabel ? "global label" : "label") +
                        " \"" + text + "\" placed on the pin");
}

bool TPlanner::NameNet(const std::string& net, std::size_t instance, TBackAnnotation& out,
                       std::string& reason) {
    if (FNamed.count(net))
        return true;
    if (!FAllow) {
        reason =
            "net " + net + " has no name a label could say, and the project does not allow net label changes";
        return false;
    }
    // "Net-(U30A-IOT_170)" becomes "U30A-IOT_170", made unique among the schematic's nets.
    std::string stem = net;
    if (const auto open = stem.find('('); open != std::string::npos && stem.back() == ')')
        stem = stem.substr(open + 1, stem.size() - open - 2);
    for (char& c : stem)
        if (c == '/' || c == ' ' || c == '{' || c == '}' || c == '[' || c == ']')
            c = '_';
    const TSchSheetInstance& sheet = FConn.Instances()[instance];
    std::string text = stem;
    for (int n = 2; FNetNames.count(sheet.NamePath + text); ++n)
        text = stem + "_" + std::to_string(n);
    // A pin of the net on this sheet that keeps it carries the label.
    bool staysElsewhere = false;
    for (std::size_t other = 0; other < FConn.Instances().size(); ++other) {
        const TSchSheetInstance& there = FConn.Instances()[other];
        for (std::size_t i = 0; i < there.Items.size() && other != instance && !staysElsewhere; ++i) {
            const std::int32_t subgraph = there.SubgraphOf[i];
            staysElsewhere = there.Items[i].Kind == TSchItemKind::Pin && subgraph >= 0 &&
                             there.SubgraphNet[std::size_t(subgraph)] == net &&
                             !FMoving.count(there.Items[i].Reference + "\n" + there.Items[i].Text);
        }
    }
    for (std::size_t i = 0; i < sheet.Items.size(); ++i) {
        const TSchItem& item = sheet.Items[i];
        const std::int32_t subgraph = sheet.SubgraphOf[i];
        if (item.Kind != TSchItemKind::Pin || item.Points.empty() || subgraph < 0 ||
            sheet.SubgraphNet[std::size_t(subgraph)] != net ||
            FMoving.count(item.Reference + "\n" + item.Text))
            continue;
        PlaceLabel(instance, i, TSchItemKind::Label, text, item.Reference + "-" + item.Text, out);
        FNamed.emplace(net, std::make_pair(instance, text));
        FNetNames.insert(sheet.NamePath + text);
        out.NetRenames[net] = sheet.NamePath + text;
        return true;
    }
    if (staysElsewhere) {
        reason = "net " + net + " has no name a label could say, and its pins are on another sheet";
        return false;
    }
    // No pin stays: the net is only what moves onto it, and the label on the moving pin names it.
    FNamed.emplace(net, std::make_pair(instance, text));
    FNetNames.insert(sheet.NamePath + text);
    out.NetRenames[net] = sheet.NamePath + text;
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
    const std::string oldNet = FConn.PinNetName(change.Reference, change.Pin);
    if (oldNet == change.NewNet)
        return true; // the schematic says so already
    const TSchSheetInstance& sheet = FConn.Instances()[instance];
    const TSchItem& pin = sheet.Items[item];
    const std::int32_t subgraph = sheet.SubgraphOf[item];
    std::vector<std::size_t> members =
        subgraph >= 0 ? FConn.SubgraphItems(instance, subgraph) : std::vector<std::size_t>{item};

    // A bus entry only draws a wire into a bus; the labels on the wire decide the net.
    std::vector<std::size_t> labels, others, atPin;
    for (std::size_t m : members) {
        if (m == item)
            continue;
        const TSchItem& it = sheet.Items[m];
        if (IsLabel(it.Kind))
            labels.push_back(m);
        else if (it.Kind == TSchItemKind::Pin || it.Kind == TSchItemKind::PowerPin ||
                 it.Kind == TSchItemKind::SheetPin || it.Kind == TSchItemKind::Bus)
            others.push_back(m);
        if (!pin.Points.empty() &&
            std::find(it.Points.begin(), it.Points.end(), pin.Points.front()) != it.Points.end())
            atPin.push_back(m);
    }
    const bool unnamed = IsGeneratedName(change.NewNet.substr(change.NewNet.rfind('/') + 1));
    if (unnamed && !NameNet(change.NewNet, instance, out, reason))
        return false;

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
    const auto wiresAtPin = std::count_if(
        atPin.begin(), atPin.end(), [&](std::size_t a) { return sheet.Items[a].Kind == TSchItemKind::Wire; });
    for (std::size_t m : atPin) {
        const TSchItem& it = sheet.Items[m];
        if (it.Kind == TSchItemKind::Junction || it.Kind == TSchItemKind::NoConnect ||
            (it.Kind == TSchItemKind::Wire && wiresAtPin == 1)) {
            removals.push_back(it.Node);
        } else {
            reason = "something other than a single wire ends on the pin";
            return false;
        }
    }
    // What stays on the old net keeps its name: a net named after this pin gets a name of its own.
    if (!others.empty() && IsGeneratedName(oldNet.substr(oldNet.rfind('/') + 1)) &&
        !NameNet(oldNet, instance, out, reason))
        return false;
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
    PlaceLabel(instance, item, kind, *text, pinName, out);
    return true;
}

// Every pin's net by "REF\nPIN".
std::map<std::string, std::string> PinNetsOf(const TSchematicConnectivity& conn) {
    std::map<std::string, std::string> nets;
    for (const auto& pin : conn.PinNets())
        nets.emplace(pin.Reference + "\n" + pin.Pin, pin.Net);
    return nets;
}

// The schematic's pin nets after `edits`, by "REF\nPIN". The sheets are read as they would be
// saved with these edits, but only the parts the edits touch are rendered and read again.
std::map<std::string, std::string>
NetsAfter(const TSchematicSet& set,
          const std::map<std::size_t, std::vector<TSchematicSet::TSheetEdit>>& edits) {
    std::map<std::string, sexpr::Document> edited;
    for (std::size_t f = 0; f < set.Files().size(); ++f)
        edited.emplace(set.Files()[f], set.Document(f));
    for (const auto& [file, fileEdits] : edits) {
        sexpr::Document& doc = edited.at(set.Files().at(file));
        for (const auto& edit : fileEdits)
            TSchematicSet::ApplyEdit(doc, edit);
    }
    TSchematicSet after(set.RootPath(), set.ProjectName(), {}, [&edited](const std::string& path) {
        auto doc = edited.find(path);
        return doc == edited.end() ? sexpr::Document::load(path, "kicad_sch") : doc->second;
    });
    // Reading the placed symbols went past their long fields: those pages are not wanted for
    // the connectivity.
    set.ReleaseSources();
    TSchematicConnectivity conn(after);
    return PinNetsOf(conn);
}

void Merge(TBackAnnotation& into, const TBackAnnotation& from) {
    into.LabelsRenamed += from.LabelsRenamed;
    into.WiresCut += from.WiresCut;
    into.LabelsPlaced += from.LabelsPlaced;
    into.Edits.insert(into.Edits.end(), from.Edits.begin(), from.Edits.end());
    for (const auto& [file, edits] : from.SheetEdits)
        into.SheetEdits[file].insert(into.SheetEdits[file].end(), edits.begin(), edits.end());
    for (const auto& [from_, to] : from.NetRenames)
        into.NetRenames[from_] = to;
}

} // namespace

TBackAnnotation BackAnnotation_Plan(const TSchematicSet& set, const std::vector<TPinChange>& changes,
                                    bool allowNetLabelChanges,
                                    std::unique_ptr<TSchematicConnectivity> connectivity, bool rereadSheets) {
    TBackAnnotation result;
    if (changes.empty())
        return result;
    if (!connectivity)
        connectivity = std::make_unique<TSchematicConnectivity>(set);
    const TSchematicConnectivity& conn = *connectivity;
    const std::map<std::string, std::string> before = PinNetsOf(conn);
    std::map<std::string, const TPinChange*> changed;
    for (const auto& change : changes)
        changed.emplace(change.Reference + "\n" + change.Pin, &change);

    // Each pin's own plan.
    struct TPinPlan {
        TBackAnnotation Plan;
        const TPinChange* Pin;
    };
    std::vector<TPinPlan> plans;
    {
        TPlanner planner(set, conn, allowNetLabelChanges, changes);
        for (const auto& change : changes) {
            TPinPlan plan{{}, &change};
            std::string reason;
            if (planner.PlanPin(change, plan.Plan, reason))
                plans.push_back(std::move(plan));
            else
                result.NeedsEdit.push_back({change.Reference, change.Pin, change.NewNet, reason});
        }
    }
    // Labels that only change their text leave what touches what as it was, so the checks can
    // rename them in the set's own connectivity. Otherwise it is not read from here on (`before`
    // holds what the checks need) and goes before they read the edited sheets.
    bool relabel = !rereadSheets;
    for (const auto& plan : plans)
        for (const auto& [file, edits] : plan.Plan.SheetEdits)
            for (const auto& edit : edits)
                relabel = relabel && edit.Kind == TSchematicSet::TSheetEdit::eSetText;
    if (!relabel)
        connectivity.reset();
    // The texts the sheets give the labels that a check renamed: a later check, which may leave
    // some of them out, puts them back.
    std::vector<TSchematicConnectivity::TRelabel> originals;
    std::set<std::pair<std::size_t, std::uint32_t>> saved;
    auto netsAfter = [&](const TBackAnnotation& trial) {
        if (connectivity) {
            std::vector<TSchematicConnectivity::TRelabel> texts = originals;
            for (const auto& [file, edits] : trial.SheetEdits)
                for (const auto& edit : edits) {
                    const Node label = edit.Node.parent();
                    texts.push_back({file, label, edit.Text});
                    if (label && saved.emplace(file, label.begin()).second)
                        originals.push_back({file, label, std::string(edit.Node.value())});
                }
            if (connectivity->Relabel(set, texts))
                return PinNetsOf(*connectivity);
            connectivity.reset();
        }
        return NetsAfter(set, trial.SheetEdits);
    };

    // What the edited schematic says: planned pins on their new nets, every other pin as it was
    // (under its net's new name where a net was given one), pins not yet done left out.
    std::string firstWrong;
    auto check = [&](const TBackAnnotation& trial, const std::set<const TPinChange*>& planned) {
        const auto after = netsAfter(trial);
        auto renamed = [&](const std::string& net) {
            auto it = trial.NetRenames.find(net);
            return it == trial.NetRenames.end() ? net : it->second;
        };
        for (const auto& [key, net] : before) {
            auto it = after.find(key);
            const std::string now = it == after.end() ? std::string() : it->second;
            std::string expected = renamed(net);
            if (auto c = changed.find(key); c != changed.end()) {
                if (!planned.count(c->second))
                    continue; // still to be done, or left for an edit by hand
                expected = renamed(c->second->NewNet);
            }
            if (now != expected) {
                firstWrong = key.substr(0, key.find('\n')) + "-" + key.substr(key.find('\n') + 1) +
                             " would be on " + (now.empty() ? "no net" : now) + " instead of " + expected;
                return false;
            }
        }
        return true;
    };

    // All at once when that holds (the usual case); else halves, down to the pins whose edits do
    // not hold, which are left for an edit by hand.
    TBackAnnotation kept;
    std::set<const TPinChange*> keptPins;
    std::function<void(std::size_t, std::size_t)> accept = [&](std::size_t from, std::size_t to) {
        if (from >= to)
            return;
        TBackAnnotation trial = kept;
        auto pins = keptPins;
        for (std::size_t i = from; i < to; ++i) {
            Merge(trial, plans[i].Plan);
            pins.insert(plans[i].Pin);
        }
        if (check(trial, pins)) {
            kept = std::move(trial);
            keptPins = std::move(pins);
            return;
        }
        if (to - from == 1) {
            const TPinChange* p = plans[from].Pin;
            result.NeedsEdit.push_back(
                {p->Reference, p->Pin, p->NewNet, "the schematic edit would not hold: " + firstWrong});
            return;
        }
        const std::size_t middle = from + (to - from) / 2;
        accept(from, middle);
        accept(middle, to);
    };
    accept(0, plans.size());
    Merge(result, kept);
    return result;
}

} // namespace pcbhost::kicad
