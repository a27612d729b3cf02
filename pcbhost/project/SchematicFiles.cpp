#include "pcbhost/project/SchematicFiles.h"

#include "pcbhost/model/Board.h"
#include "pcbhost/model/PinInfo.h"
#include "pcbhost/project/ChildItems.h"
#include "pcbhost/project/FpgaConstraints.h"
#include "pcbhost/project/SchematicConnectivity.h"
#include "permutor/host/Text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <numbers>
#include <optional>
#include <set>
#include <tuple>
#include <unordered_map>

namespace pcbhost::kicad {

using sexpr::Node;
namespace fs = std::filesystem;

struct TSchematicSet::TFile {
    std::string Path;
    sexpr::Document Doc;
    // The root list's elements as the file reads with the document's edits; re-read elements live
    // in Pieces.
    std::vector<Node> Elements;
    std::optional<sexpr::Document> Pieces;
    TSchDocument* Sheet = nullptr;
    std::int64_t Version = 0;
};

// One placed unit as the file holds it: the symbol node its swap fields live in.
struct TSchematicSet::TUnitSource {
    TFile* File;
    Node Symbol;
    TSchSymbol* Component;
    // The fields as read: views of the file's bytes, which the set keeps (a large part repeats
    // its swap fields in each of hundreds of units).
    std::string_view Pin, Part, Pair;
};

struct TSchematicSet::TLabel {
    TSchDocument* Sheet;
    std::string Instance; // sheet uuid path of the instance it was seen in
    std::string SheetNames;
    double X, Y;
    std::string Name;
    bool Global, Port;
};

namespace {

const char* const cSwapPrefixes[4] = {"Pin_", "Part_", "PartPin_", "Pair_"};

// Pin positions of placed units per sheet instance, for finding what sits on a pin end.
struct TPinPlace {
    std::string Instance;
    double X, Y;
    TSchPin* Pin;
    TSchSymbol* Symbol;
};

// A sheet's name (field 0) or file name (field 1). KiCad names these fields "Sheetname" and
// "Sheetfile" ("Sheet name", "Sheet file" in version 6), but a KiCad 6 in another language writes
// them in the user's language ("Nom feuille", "Fichier de feuille") and reads them back by their
// field id, so the id decides when the name is not one of ours.
std::string SheetFieldValue(Node sheet, std::int64_t id, std::string_view name, std::string_view oldName) {
    std::string value = PropertyValue(sheet, name);
    if (value.empty())
        value = PropertyValue(sheet, oldName);
    if (!value.empty())
        return value;
    for (Node child : sheet.children())
        if (child.is("property") && child.size() > 2) {
            Node fieldId = child.find("id");
            if (fieldId && fieldId.size() > 1 && fieldId.intAt(1) == id)
                return std::string(child.valueAt(2));
        }
    return {};
}

struct TLibPin {
    std::string Number, Name, Type;
    std::int32_t Unit;
    double X, Y;
};

// The pins of a library symbol for body style `style`, in file order; the unit count.
std::vector<TLibPin> LibraryPins(Node lib, std::int32_t style, std::int32_t& unitCount) {
    std::vector<TLibPin> pins;
    std::set<std::string> seen;
    unitCount = 1;
    for (Node sub : lib.findAll("symbol")) {
        std::int32_t unit = 0, subStyle = 0;
        if (!SubSymbolUnit(sub.valueAt(1), unit, subStyle))
            continue;
        unitCount = std::max(unitCount, unit);
        if (subStyle != 0 && subStyle != style)
            continue;
        for (Node pin : sub.findAll("pin")) {
            Node number = pin.find("number"), name = pin.find("name"), at = pin.find("at");
            if (!number || !at)
                continue;
            std::string num(number.valueAt(1));
            if (!seen.insert(num).second)
                continue;
            pins.push_back({num, name ? std::string(name.valueAt(1)) : std::string(),
                            std::string(pin.valueAt(1)), unit, at.doubleAt(1), at.doubleAt(2)});
        }
    }
    return pins;
}

// A library symbol's pins for one body style, with the pins of each unit indexed: every placed
// unit of a symbol needs them, and a large part has hundreds of units.
struct TLibraryPinSet {
    std::vector<TLibPin> Pins;
    std::int32_t UnitCount = 1;
    std::map<std::int32_t, std::vector<std::size_t>> ByUnit;
};

const TLibraryPinSet&
LibraryPinsOf(std::map<std::pair<std::pair<const void*, std::uint32_t>, std::int32_t>, TLibraryPinSet>& cache,
              Node lib, std::int32_t style) {
    auto [it, added] = cache.try_emplace({lib.key(), style});
    if (added) {
        it->second.Pins = LibraryPins(lib, style, it->second.UnitCount);
        for (std::size_t k = 0; k < it->second.Pins.size(); ++k)
            it->second.ByUnit[it->second.Pins[k].Unit].push_back(k);
    }
    return it->second;
}

// Sheet coordinates of a library point on a placed symbol (rotation counter-clockwise as shown,
// then mirroring).
void PlacePoint(Node symbol, double px, double py, double& x, double& y) {
    Node at = symbol.find("at");
    const double sx = at ? at.doubleAt(1) : 0, sy = at ? at.doubleAt(2) : 0;
    const double angle = at && at.size() > 3 ? at.doubleAt(3) : 0;
    const double t = angle * std::numbers::pi / 180.0;
    const double lx = px, ly = -py;
    double rx = lx * std::cos(t) + ly * std::sin(t);
    double ry = -lx * std::sin(t) + ly * std::cos(t);
    if (Node mirror = symbol.find("mirror"); mirror && mirror.size() > 1) {
        if (mirror.valueAt(1) == "x")
            ry = -ry;
        else if (mirror.valueAt(1) == "y")
            rx = -rx;
    }
    x = sx + std::round(rx * 1e4) / 1e4;
    y = sy + std::round(ry * 1e4) / 1e4;
}

std::string JoinPath(const std::vector<std::string>& uuids, char separator) {
    std::string s;
    for (const auto& u : uuids) {
        s += separator;
        s += u;
    }
    return s;
}

// Parses "Key=Value|Key=Value": the first "=" splits, names and values trimmed, entries without
// a name or "=" dropped, the first of a repeated name wins.
std::map<std::string, std::string> ParseSwapText(std::string_view text) {
    std::map<std::string, std::string> entries;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('|', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view entry = text.substr(start, end - start);
        if (const auto eq = entry.find('='); eq != std::string_view::npos) {
            const std::string name =
                permutor::host::Text_Upper(permutor::host::Text_Trim(entry.substr(0, eq)));
            if (!name.empty())
                entries.emplace(name, std::string(permutor::host::Text_Trim(entry.substr(eq + 1))));
        }
        start = end + 1;
    }
    return entries;
}

// Whether a unit's swap fields say what its component's data does. The fields a component's data
// composes are made once per component: a large part has hundreds of units, whose fields normally
// all read alike.
class TSwapFieldCheck {
public:
    // Sets same[k] for the pin, part and pair fields; returns the component's three texts.
    const std::string* Compare(const TSchSymbol& component, const std::array<std::string_view, 3>& originals,
                               bool same[3]) {
        auto [entry, added] = FComposed.try_emplace(&component);
        TComposed& c = entry->second;
        if (added) {
            SwapFields_Compose(component, c.Texts[0], c.Texts[1], c.Texts[2]);
            for (int k = 0; k < 3; ++k)
                c.Parsed[k] = ParseSwapText(c.Texts[k]);
        }
        // Entries in another order, other letter case or spacing say the same thing: such a field
        // is left as the user wrote it.
        for (std::size_t k = 0; k < 3; ++k) {
            if (!c.HasLast[k] || c.LastOriginal[k] != originals[k]) {
                c.LastSame[k] = c.Parsed[k] == ParseSwapText(originals[k]);
                c.LastOriginal[k] = originals[k];
                c.HasLast[k] = true;
            }
            same[k] = c.LastSame[k];
        }
        return c.Texts;
    }

private:
    struct TComposed {
        std::string Texts[3];
        std::map<std::string, std::string> Parsed[3];
        std::string LastOriginal[3];
        bool LastSame[3] = {false, false, false};
        bool HasLast[3] = {false, false, false};
    };
    std::map<const TSchSymbol*, TComposed> FComposed;
};

} // namespace

std::string PropertyValue(Node symbol, std::string_view key) {
    return std::string(PropertyView(symbol, key));
}

std::string_view PropertyView(Node symbol, std::string_view key) {
    for (Node child : symbol.children())
        if (child.is("property") && child.size() > 2 && child.valueAt(1) == key)
            return child.valueAt(2);
    return {};
}

bool SubSymbolUnit(std::string_view name, std::int32_t& unit, std::int32_t& style) {
    const auto last = name.rfind('_');
    if (last == std::string_view::npos || last == 0)
        return false;
    const auto prev = name.rfind('_', last - 1);
    if (prev == std::string_view::npos)
        return false;
    try {
        unit = std::stoi(std::string(name.substr(prev + 1, last - prev - 1)));
        style = std::stoi(std::string(name.substr(last + 1)));
    } catch (...) {
        return false;
    }
    return true;
}

void SwapFields_Apply(TSchSymbol& symbol, const std::string& pinSwap, const std::string& partSwap,
                      const std::string& pairSwap) {
    const auto pins = ParseSwapText(pinSwap);
    const auto parts = ParseSwapText(partSwap);
    const auto pairs = ParseSwapText(pairSwap);
    auto lookup = [](const std::map<std::string, std::string>& m, const char* prefix,
                     const std::string& pin) {
        auto it = m.find(permutor::host::Text_Upper(std::string(prefix) + pin));
        return it == m.end() ? std::string() : it->second;
    };
    for (const auto& pin : symbol.Pins()) {
        const std::string& d = pin->DesignatorText();
        const std::string ids[4] = {lookup(pins, "Pin_", d), lookup(parts, "Part_", d),
                                    lookup(parts, "PartPin_", d), lookup(pairs, "Pair_", d)};
        for (int k = 0; k < 4; ++k)
            if (pin->SwapIdText(TSwapIdKind(k)) != ids[k])
                pin->SetSwapId(TSwapIdKind(k), ids[k]);
    }
    symbol.ClearSwapIdsChanged();
}

void SwapFields_Compose(const TSchSymbol& symbol, std::string& pinSwap, std::string& partSwap,
                        std::string& pairSwap) {
    pinSwap.clear();
    partSwap.clear();
    pairSwap.clear();
    auto add = [](std::string& text, const char* prefix, const std::string& designator,
                  const std::string& id) {
        if (id.empty())
            return;
        if (!text.empty())
            text += '|';
        text += prefix + designator + "=" + id;
    };
    for (const auto& pin : symbol.Pins()) {
        const std::string& d = pin->DesignatorText();
        add(pinSwap, cSwapPrefixes[0], d, pin->SwapIdText(eSwapId_Pin));
        add(partSwap, cSwapPrefixes[1], d, pin->SwapIdText(eSwapId_Part));
        add(partSwap, cSwapPrefixes[2], d, pin->SwapIdText(eSwapId_PartPin));
        add(pairSwap, cSwapPrefixes[3], d, pin->SwapIdText(eSwapId_Pair));
    }
}

TSchematicSet::TSchematicSet(const std::string& rootPath, const std::string& projectName,
                             TDocumentFactory factory, TSheetReader reader)
    : FRootPath(rootPath), FProjectName(projectName), FFactory(std::move(factory)),
      FReader(std::move(reader)) {
    TFile& root = FileOf(rootPath);
    if (root.Version < 20211123)
        FindElement(root.Elements, "version")
            .fail("this schematic was saved by a KiCad older than 6.0; open and save it in KiCad 6 or later "
                  "first");
    if (Node uuid = FindElement(root.Elements, "uuid"))
        FRootUuid = std::string(uuid.valueAt(1));
    if (Node instances = FindElement(root.Elements, "symbol_instances"))
        for (Node path : instances.findAll("path")) {
            Node ref = path.find("reference"), unit = path.find("unit");
            FLegacyInstances[std::string(path.valueAt(1))] = {
                ref ? std::string(ref.valueAt(1)) : std::string(), unit ? std::int32_t(unit.intAt(1)) : 1};
        }
    Visit(rootPath, {}, "/", 0, -1, Node());
}

const sexpr::Document& TSchematicSet::Document(std::size_t file) const {
    return FFiles.at(FFileOrder.at(file))->Doc;
}

const std::vector<Node>& TSchematicSet::Elements(std::size_t file) const {
    return FFiles.at(FFileOrder.at(file))->Elements;
}

Node FindElement(const std::vector<Node>& elements, std::string_view keyword) {
    for (Node element : elements)
        if (element.is(keyword))
            return element;
    return Node();
}

TSchematicSet::~TSchematicSet() = default;

std::vector<sexpr::ParseWarning> TSchematicSet::Warnings() const {
    std::vector<sexpr::ParseWarning> warnings;
    for (const auto& path : FFileOrder) {
        const auto& found = FFiles.at(path)->Doc.warnings();
        warnings.insert(warnings.end(), found.begin(), found.end());
    }
    return warnings;
}

TSchematicSet::TFile& TSchematicSet::FileOf(const std::string& path) {
    auto it = FFiles.find(path);
    if (it != FFiles.end())
        return *it->second;
    auto file = std::make_unique<TFile>(
        TFile{path, FReader ? FReader(path) : sexpr::Document::load(path, "kicad_sch"), {}, {}, nullptr, 0});
    file->Elements = file->Doc.editedElements(file->Pieces);
    const Node version = FindElement(file->Elements, "version");
    file->Version = (version ? version : file->Doc.root().require("version")).intAt(1);
    file->Sheet = FFactory ? &FFactory(path) : nullptr;
    FFileOrder.push_back(path);
    return *FFiles.emplace(path, std::move(file)).first->second;
}

void TSchematicSet::NoteSwapKinds(const TSchSymbol& component) {
    std::string fields[3];
    SwapFields_Compose(component, fields[0], fields[1], fields[2]);
    FSwapKinds[&component] = {!fields[0].empty(), !fields[1].empty(), !fields[2].empty()};
}

void TSchematicSet::Visit(const std::string& path, const std::vector<std::string>& sheetUuids,
                          const std::string& sheetNames, int depth, std::int32_t parent, Node sheetNode) {
    if (depth > 32)
        throw std::runtime_error(
            path + ": the sheet hierarchy is deeper than 32 levels (a sheet that contains itself?)");
    TFile& file = FileOf(path);
    const std::vector<Node>& elements = file.Elements;
    Node libSymbols = FindElement(elements, "lib_symbols");
    const std::string instance = JoinPath(sheetUuids, '/');
    const auto visit = std::int32_t(FVisits.size());
    const std::size_t fileIndex =
        std::size_t(std::find(FFileOrder.begin(), FFileOrder.end(), path) - FFileOrder.begin());
    FVisits.push_back({instance.empty() ? "/" : instance, sheetNames, fileIndex, parent, sheetNode});

    std::map<std::pair<std::pair<const void*, std::uint32_t>, std::int32_t>, TLibraryPinSet> libraryPins;
    // The sheet's library symbols by name, the first of a name where several share it.
    std::unordered_map<std::string_view, Node> libraryByName;
    if (libSymbols)
        for (Node candidate : libSymbols.findAll("symbol"))
            libraryByName.try_emplace(candidate.valueAt(1), candidate);
    for (Node symbol : elements) {
        if (!symbol.is("symbol") || !symbol.find("lib_id"))
            continue;
        const std::string uuid =
            symbol.find("uuid") ? std::string(symbol.find("uuid").valueAt(1)) : std::string();
        std::string libName(symbol.find("lib_id").valueAt(1));
        if (Node ln = symbol.find("lib_name"))
            libName = ln.valueAt(1);
        Node lib;
        if (auto it = libraryByName.find(libName); it != libraryByName.end())
            lib = it->second;
        // The fields wanted here, in one pass: a large part's units hold thousands of pin entries.
        std::string reference, value, constraints;
        bool haveReference = false, haveValue = false, haveConstraints = false;
        for (Node child : symbol.children()) {
            if (!child.is("property") || child.size() <= 2)
                continue;
            const std::string_view key = child.valueAt(1);
            if (key == "Reference" && !haveReference)
                reference = child.valueAt(2), haveReference = true;
            else if (key == "Value" && !haveValue)
                value = child.valueAt(2), haveValue = true;
            else if (key == cFpgaConstraintsField && !haveConstraints)
                constraints = child.valueAt(2), haveConstraints = true;
        }
        std::int32_t unit = symbol.find("unit") ? std::int32_t(symbol.find("unit").intAt(1)) : 1;
        if (Node instances = symbol.find("instances")) {
            // KiCad 7+: the block of this project (or the only/first one), the path of this sheet.
            Node project;
            for (Node p : instances.findAll("project")) {
                if (p.valueAt(1) == FProjectName) {
                    project = p;
                    break;
                }
                if (!project)
                    project = p;
            }
            const std::string wanted = "/" + FRootUuid + instance;
            if (project)
                for (Node p : project.findAll("path"))
                    if (p.valueAt(1) == wanted || (wanted == "/" + FRootUuid && p.valueAt(1) == "/")) {
                        if (Node r = p.find("reference"))
                            reference = r.valueAt(1);
                        if (Node u = p.find("unit"))
                            unit = std::int32_t(u.intAt(1));
                    }
        } else if (auto it = FLegacyInstances.find(instance + "/" + uuid); it != FLegacyInstances.end()) {
            reference = it->second.first;
            unit = it->second.second;
        }
        std::int32_t style = symbol.find("convert") ? std::int32_t(symbol.find("convert").intAt(1)) : 1;
        if (Node bodyStyle = symbol.find("body_style"))
            style = std::int32_t(bodyStyle.intAt(1));
        FPlaced.push_back({std::size_t(visit), symbol, lib, reference, unit, style, std::move(value),
                           std::move(constraints)});
        if (!file.Sheet || (lib && lib.find("power")) || reference.empty() || reference[0] == '#')
            continue;

        static const TLibraryPinSet noPins;
        const TLibraryPinSet& pinSet = lib ? LibraryPinsOf(libraryPins, lib, style) : noPins;
        const std::vector<TLibPin>& libPins = pinSet.Pins;
        const std::int32_t unitCount = pinSet.UnitCount;

        std::shared_ptr<TSchSymbol>& component = FSymbols[reference];
        if (!component) {
            component = file.Sheet->AddSymbol(reference, unitCount);
            component->Comment = PropertyValue(symbol, "Value");
            component->Footprint = PropertyValue(symbol, "Footprint");
            component->LibraryReference = std::string(symbol.find("lib_id").valueAt(1));
            for (const auto& p : libPins) {
                TSchPin& pin = component->AddPin(p.Number, p.Unit);
                pin.SetPinName(p.Name);
                pin.SetPinType(p.Type);
            }
            // An FPGA's pin report, relative to the sheet's folder: the component's pin
            // information model.
            if (const std::string report = PropertyValue(symbol, cPinInfoField); !report.empty())
                component->Implementations.push_back(
                    {cFpgaPinInfoModelType,
                     PropertyValue(symbol, cPinInfoPackageField),
                     (fs::path(path).parent_path() / report).lexically_normal().string(),
                     {{cPinInfoLinkKind, report}}});
            SwapFields_Apply(*component, PropertyValue(symbol, cPinSwapField),
                             PropertyValue(symbol, cPartSwapField), PropertyValue(symbol, cPairSwapField));
            NoteSwapKinds(*component);
            FSymbolList.push_back(component);
        } else {
            // Units should carry equal fields; a kind the first unit lacks is taken from the
            // first unit that has it (saving then writes it to every unit).
            const char* keys[3] = {cPinSwapField, cPartSwapField, cPairSwapField};
            const std::array<bool, 3>& has = FSwapKinds[component.get()];
            bool lacking = false;
            for (int k = 0; k < 3; ++k)
                lacking = lacking || (!has[std::size_t(k)] && !PropertyValue(symbol, keys[k]).empty());
            if (lacking) {
                std::string fields[3];
                SwapFields_Compose(*component, fields[0], fields[1], fields[2]);
                bool adopt = false;
                for (int k = 0; k < 3; ++k)
                    if (fields[k].empty() && !PropertyValue(symbol, keys[k]).empty()) {
                        fields[k] = PropertyValue(symbol, keys[k]);
                        adopt = true;
                    }
                if (adopt) {
                    SwapFields_Apply(*component, fields[0], fields[1], fields[2]);
                    NoteSwapKinds(*component);
                }
            }
        }
        ChildItems_FromFields(*component, symbol, fs::path(path).parent_path().string());
        const std::string uniqueId = JoinPath(sheetUuids, '\\') + "\\" + uuid;
        file.Sheet->PlaceUnit(component, unit, uniqueId);
        // The unit's own pins, and those common to all units where the first unit shows them.
        for (std::int32_t shown : {unit, 0}) {
            if (shown == 0 && (unit == 0 || component->PlacedUnits().size() > 1))
                continue;
            auto ofUnit = pinSet.ByUnit.find(shown);
            if (ofUnit != pinSet.ByUnit.end())
                for (std::size_t k : ofUnit->second)
                    if (TSchPin* pin = component->FindPin(libPins[k].Number)) {
                        double x, y;
                        PlacePoint(symbol, libPins[k].X, libPins[k].Y, x, y);
                        pin->SetPosition(x, y);
                    }
        }
        FUnits.push_back({&file, symbol, component.get(), PropertyView(symbol, cPinSwapField),
                          PropertyView(symbol, cPartSwapField), PropertyView(symbol, cPairSwapField)});
    }

    for (Node label : elements) {
        const bool local = label.is("label"), global = label.is("global_label"),
                   hier = label.is("hierarchical_label");
        if (!file.Sheet || !(local || global || hier) || !label.find("at"))
            continue;
        Node at = label.find("at");
        FLabels.push_back({file.Sheet, instance, sheetNames, at.doubleAt(1), at.doubleAt(2),
                           std::string(label.valueAt(1)), global, global || hier});
    }

    const fs::path rootDir = fs::path(FRootPath).parent_path();
    const fs::path hereDir = fs::path(path).parent_path();
    for (Node sheet : elements) {
        if (!sheet.is("sheet"))
            continue;
        const std::string name = SheetFieldValue(sheet, 0, "Sheetname", "Sheet name");
        const std::string fileName = SheetFieldValue(sheet, 1, "Sheetfile", "Sheet file");
        if (fileName.empty())
            sheet.fail("expected the sheet's file name (property \"Sheetfile\", or a property with (id 1))");
        fs::path child = rootDir / fileName;
        if (!fs::exists(child) && fs::exists(hereDir / fileName))
            child = hereDir / fileName;
        if (!fs::exists(child))
            sheet.fail("sheet file \"" + fileName + "\" not found beside " +
                       fs::path(FRootPath).filename().string());
        auto uuids = sheetUuids;
        uuids.push_back(sheet.find("uuid") ? std::string(sheet.find("uuid").valueAt(1)) : name);
        Visit(child.lexically_normal().string(), uuids, sheetNames + name + "/", depth + 1, visit, sheet);
    }
}

void TSchematicSet::ResolveNets(const TSchematicConnectivity& connectivity) {
    for (const auto& symbol : FSymbolList)
        for (const auto& pin : symbol->Pins())
            pin->SetNetName(connectivity.PinNetName(symbol->Designator, pin->DesignatorText()));
    // A label's net by its instance, point and text.
    std::map<std::tuple<std::string, TSchPoint, std::string>, std::string> labelNet;
    for (const auto& instance : connectivity.Instances())
        for (std::size_t k = 0; k < instance.Items.size(); ++k) {
            const auto& item = instance.Items[k];
            if ((item.Kind == TSchItemKind::Label || item.Kind == TSchItemKind::GlobalLabel ||
                 item.Kind == TSchItemKind::HierLabel) &&
                instance.SubgraphOf[k] >= 0)
                labelNet.emplace(
                    std::tuple{instance.UuidPath == "/" ? std::string() : instance.UuidPath,
                               item.Points.front(), item.Text},
                    connectivity.NetOfSubgraph(std::size_t(&instance - connectivity.Instances().data()),
                                               instance.SubgraphOf[k]));
        }

    // Pin ends of every placed unit, by instance.
    std::vector<TPinPlace> places;
    for (const auto& symbol : FSymbolList)
        for (const auto& pin : symbol->Pins()) {
            TSchComponent* placed = pin->PlacedUnit();
            if (!placed || !pin->HasPosition())
                continue;
            std::string instance = placed->UniqueIdText();
            instance = instance.substr(0, instance.rfind('\\'));
            for (char& c : instance)
                if (c == '\\')
                    c = '/';
            places.push_back({instance, 0, 0, pin.get(), symbol.get()});
        }
    // A label joins the first pin end of its instance and sheet at its point. Looked up by key
    // rather than walked: a board with thousands of labelled pins would otherwise spend seconds
    // here comparing every label with every pin.
    auto placeKey = [](const std::string& instance, const std::string& sheetPath, std::int32_t location) {
        return instance + '\n' + sheetPath + '\n' + std::to_string(location);
    };
    std::unordered_map<std::string, TPinPlace*> placeAt;
    placeAt.reserve(places.size());
    for (auto& place : places)
        placeAt.emplace(placeKey(place.Instance, place.Pin->SheetPath(), place.Pin->LocationKey()), &place);
    for (const auto& label : FLabels) {
        const std::string& sheetPath = label.Sheet->Path();
        const auto found =
            placeAt.find(placeKey(label.Instance, sheetPath, LocationKeyOf(sheetPath, label.X, label.Y)));
        TPinPlace* at = found == placeAt.end() ? nullptr : found->second;
        std::string net;
        if (auto it = labelNet.find({label.Instance, SchPoint_FromMm(label.X, label.Y), label.Name});
            it != labelNet.end())
            net = it->second;
        if (net.empty())
            net = label.Global ? label.Name : label.SheetNames + label.Name;
        TSchNetLabel& added = label.Sheet->AddLabel(net, label.Port);
        if (at)
            added.SetAtPin(at->Pin);
        else
            added.SetPosition(label.X, label.Y);
    }
}

void TSchematicSet::ReleaseSources() const {
    for (std::size_t file = 0; file < FFileOrder.size(); ++file)
        Document(file).releaseSource();
}

std::string TSchematicSet::ChangedOnDisk() const {
    for (std::size_t file = 0; file < FFileOrder.size(); ++file)
        if (!Document(file).sourceUnchangedOnDisk())
            return FFileOrder[file];
    return {};
}

void TSchematicSet::NoteReplaced(const std::string& path) const {
    if (auto it = FFiles.find(path); it != FFiles.end())
        it->second->Doc.noteSourceReplaced();
}

std::int64_t TSchematicSet::FileVersion(std::size_t index) const {
    return FFiles.at(FFileOrder.at(index))->Version;
}

void TSchematicSet::ReleaseFields(const TUnitSource& unit) const {
    // A large part's swap fields run to a few hundred kilobytes in each of its units: once
    // compared, their pages go back to the file cache (see sexpr::Document::releaseSource).
    for (const std::string_view text : {unit.Pin, unit.Part, unit.Pair})
        unit.File->Doc.releaseSource(text);
}

bool TSchematicSet::Changed() const {
    for (const auto& [index, edits] : FSheetEdits)
        if (!edits.empty())
            return true;
    TSwapFieldCheck check;
    for (const auto& unit : FUnits) {
        bool same[3];
        check.Compare(*unit.Component, {unit.Pin, unit.Part, unit.Pair}, same);
        ReleaseFields(unit);
        if (!same[0] || !same[1] || !same[2])
            return true;
    }
    return false;
}

void TSchematicSet::ApplyEdit(sexpr::Document& doc, const TSheetEdit& edit) {
    switch (edit.Kind) {
    case TSheetEdit::eSetText:
        doc.setQuoted(edit.Node, edit.Text);
        break;
    case TSheetEdit::eRemove:
        doc.remove(edit.Node);
        break;
    case TSheetEdit::eInsertLineAfter:
        doc.insertLineAfter(edit.Node, edit.Text);
        break;
    }
}

std::map<std::string, sexpr::Document> TSchematicSet::Edited() const {
    std::map<std::string, sexpr::Document> edited;
    for (const auto& [index, edits] : FSheetEdits) {
        if (edits.empty())
            continue;
        const TFile& file = *FFiles.at(FFileOrder.at(index));
        sexpr::Document& doc = edited.emplace(file.Path, file.Doc).first->second;
        for (const auto& edit : edits)
            ApplyEdit(doc, edit);
    }
    std::set<std::pair<const TFile*, std::uint32_t>> done;
    TSwapFieldCheck check;
    for (const auto& unit : FUnits) {
        bool same[3];
        const std::string* texts = check.Compare(*unit.Component, {unit.Pin, unit.Part, unit.Pair}, same);
        ReleaseFields(unit);
        if (same[0] && same[1] && same[2])
            continue;
        // A symbol of a sheet used more than once stands for several components; its fields
        // take the first one's data.
        if (!done.insert({unit.File, unit.Symbol.id()}).second)
            continue;
        auto it = edited.find(unit.File->Path);
        if (it == edited.end())
            it = edited.emplace(unit.File->Path, unit.File->Doc).first;
        sexpr::Document& doc = it->second;
        const char* keys[3] = {cPinSwapField, cPartSwapField, cPairSwapField};
        for (int k = 0; k < 3; ++k) {
            if (same[k])
                continue;
            Node existing, hiddenTemplate, lastProperty;
            std::int64_t maxId = -1;
            for (Node child : unit.Symbol.children()) {
                if (!child.is("property") || child.size() < 3)
                    continue;
                lastProperty = child;
                if (Node id = child.find("id"))
                    maxId = std::max(maxId, id.intAt(1));
                if (child.valueAt(1) == keys[k])
                    existing = child;
                else if (!hiddenTemplate && child.text().find("hide") != std::string_view::npos)
                    hiddenTemplate = child;
            }
            if (existing) {
                if (texts[k].empty())
                    doc.remove(existing);
                else
                    doc.setQuoted(existing.atom(2), texts[k]);
                continue;
            }
            if (texts[k].empty())
                continue;
            std::string text;
            if (hiddenTemplate) {
                text = std::string(hiddenTemplate.text());
                const std::size_t keyAt = hiddenTemplate.atom(1).begin() - hiddenTemplate.begin();
                const std::size_t valueEnd = hiddenTemplate.atom(2).end() - hiddenTemplate.begin();
                text.replace(keyAt, valueEnd - keyAt, sexpr::quote(keys[k]) + " " + sexpr::quote(texts[k]));
                if (Node id = hiddenTemplate.find("id")) {
                    const std::size_t idAt = id.atom(1).begin() - hiddenTemplate.begin();
                    text.replace(idAt, id.atom(1).end() - id.atom(1).begin(), std::to_string(maxId + 1));
                }
            } else {
                Node at = unit.Symbol.find("at");
                const std::string where =
                    at ? std::string(at.valueAt(1)) + " " + std::string(at.valueAt(2)) : "0 0";
                const std::string hide = unit.File->Version >= 20231120 ? "(hide yes)" : "hide";
                text = "(property " + sexpr::quote(keys[k]) + " " + sexpr::quote(texts[k]) + " (at " + where +
                       " 0) (effects (font (size 1.27 1.27)) " + hide + "))";
            }
            if (lastProperty)
                doc.insertAfter(lastProperty, text);
            else
                unit.Symbol.fail("expected the symbol's properties");
        }
    }
    return edited;
}

std::map<std::string, std::string> TSchematicSet::Render() const {
    std::map<std::string, std::string> out;
    for (auto& [path, doc] : Edited())
        out.emplace(path, doc.render());
    return out;
}

} // namespace pcbhost::kicad
