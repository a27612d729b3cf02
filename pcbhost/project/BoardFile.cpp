#include "pcbhost/project/BoardFile.h"
#include "pcbhost/project/PadOutline.h"

#include "pcbhost/kicad/Uuid.h"
#include "permutor/host/Text.h"

#include <cmath>
#include <numbers>

namespace pcbhost::kicad {

using sexpr::Node;

namespace {

// Board units from KiCad millimetres, rounded to nearest.
TCoord ToUnits(double mm) {
    return static_cast<TCoord>(std::llround(mm * cUnitsPerMM));
}

TCoord UnitsAt(Node list, std::size_t index) {
    return ToUnits(list.doubleAt(index));
}

// The optional numeric atom `index` of a list, or `fallback`.
double OptionalDouble(Node list, std::size_t index, double fallback) {
    Node atom = list[index];
    return atom && atom.isAtom() ? atom.asDouble() : fallback;
}

bool IsCopperName(std::string_view name) {
    return name.size() > 3 && name.substr(name.size() - 3) == ".Cu" &&
           name.find('*') == std::string_view::npos && name.find('&') == std::string_view::npos;
}

bool YesValue(std::string_view value) {
    return permutor::host::Text_EqualNoCase(value, "yes");
}

// Whether an arc from `a` through `m` to `b` (a and b differ) is straight copper: its middle lies
// on the chord, or it bends so little that its centre would lie metres away, beyond the range of
// board coordinates.
bool IsStraightArc(TCoordPoint a, TCoordPoint m, TCoordPoint b) {
    const double dx = double(b.X) - a.X, dy = double(b.Y) - a.Y;
    const double chord = std::hypot(dx, dy);
    const double sagitta = std::abs(dx * (double(m.Y) - a.Y) - dy * (double(m.X) - a.X)) / chord;
    if (sagitta < 1.0)
        return true;
    const double radius = (sagitta * sagitta + chord * chord / 4) / (2 * sagitta);
    return radius > 1e9;
}

} // namespace

TBoardFile::TBoardFile(const std::string& path, TBoard& board)
    : FPath(path), FBoard(&board), FDoc(sexpr::Document::load(path, "kicad_pcb")) {
    Read();
}

void TBoardFile::Read() {
    Node root = FDoc.root();
    FVersion = root.require("version").intAt(1);
    if (FVersion < 20211014)
        root.require("version").fail(
            "this board was saved by a KiCad older than 6.0; open and save it in KiCad 6 "
            "or later first");
    ReadLayers(root.require("layers"));

    for (Node child : root.children()) {
        if (!child.is("net"))
            continue;
        FLastNetNode = child;
        if (child.size() < 3 || child[1].isQuoted())
            continue; // the named form has no table
        const std::int64_t ordinal = child.intAt(1);
        const std::string name(child.valueAt(2));
        FMaxOrdinal = std::max(FMaxOrdinal, ordinal);
        FOrdinalByName.emplace(name, ordinal);
        if (ordinal != 0 && !name.empty())
            FNetByOrdinal[ordinal] = &FBoard->EnsureNet(name);
    }

    for (Node child : root.children()) {
        if (child.is("footprint") || child.is("module"))
            ReadFootprint(child);
        else if (child.is("segment"))
            ReadTrack(child);
        else if (child.is("arc"))
            ReadArc(child);
        else if (child.is("via"))
            ReadVia(child);
        else if (child.is("zone"))
            ReadZone(child);
    }
    for (auto& source : FPrimitives)
        source.Primitive->ClearModified();
    for (auto& source : FComponents)
        source.Component->ClearModified();
    FBoard->SetModified(false);
}

void TBoardFile::ReadLayers(Node layers) {
    std::vector<std::string> copper;
    for (std::size_t i = 1; i < layers.size(); ++i) {
        Node entry = layers[i];
        if (!entry.isList() || entry.size() < 2)
            entry.fail("expected a layer entry (ORDINAL \"NAME\" TYPE)");
        const std::string_view name = entry.valueAt(1);
        if (IsCopperName(name))
            copper.emplace_back(name);
    }
    if (copper.empty())
        layers.fail("expected at least one copper layer in the layer table");
    // Stack order: F.Cu first, B.Cu last, inner layers in table order between.
    std::vector<TV6_Layer> stack;
    std::int32_t inner = 0;
    for (const auto& name : copper) {
        TV6_Layer layer;
        if (name == "F.Cu")
            layer = eV6_TopLayer;
        else if (name == "B.Cu")
            layer = eV6_BottomLayer;
        else
            layer = static_cast<TV6_Layer>(eV6_MidLayer1 + inner++);
        FLayerByName.emplace(name, layer);
        stack.push_back(layer);
    }
    std::sort(stack.begin(), stack.end());
    FCopper = stack;
    FBoard->SetCopperLayers(stack);
}

TV6_Layer TBoardFile::CopperLayer(Node atom) const {
    auto it = FLayerByName.find(atom.value());
    return it == FLayerByName.end() ? eV6_NoLayer : it->second;
}

TLayerSet TBoardFile::CopperLayers(Node layersList) const {
    TLayerSet set;
    for (std::size_t i = 1; i < layersList.size(); ++i) {
        const std::string_view name = layersList.valueAt(i);
        if (name == "*.Cu") {
            for (TV6_Layer l : FCopper)
                set.Include(l);
        } else if (name == "F&B.Cu") {
            set.Include(eV6_TopLayer).Include(eV6_BottomLayer);
        } else if (auto it = FLayerByName.find(name); it != FLayerByName.end()) {
            set.Include(it->second);
        }
    }
    return set;
}

TPcbNet* TBoardFile::NetOf(Node item) const {
    Node net = item.find("net");
    if (!net || net.size() < 2)
        return nullptr;
    if (net[1].isQuoted()) { // named form
        const std::string_view name = net.valueAt(1);
        return name.empty() ? nullptr : FBoard->FindNet(name);
    }
    auto it = FNetByOrdinal.find(net.intAt(1));
    if (it == FNetByOrdinal.end()) {
        if (net.intAt(1) != 0)
            net.fail("net " + std::to_string(net.intAt(1)) + " is not in the board's net table");
        return nullptr;
    }
    return it->second;
}

void TBoardFile::ReadFootprint(Node footprint) {
    if (footprint.is("module"))
        footprint.fail(
            "footprints in the KiCad 5 format are not supported; save the board in KiCad 6 or later");
    auto component = MakeObject<TPcbComponent>();
    Node at = footprint.require("at");
    const double fx = at.doubleAt(1), fy = at.doubleAt(2), angle = OptionalDouble(at, 3, 0.0);

    std::string reference, value, libName;
    if (footprint.size() > 1 && footprint[1].isAtom())
        libName = footprint.valueAt(1);
    bool pinSwap = false, partSwap = false;
    for (Node child : footprint.children()) {
        if (child.is("fp_text") && child.size() > 2) {
            if (child.valueAt(1) == "reference")
                reference = child.valueAt(2);
            else if (child.valueAt(1) == "value")
                value = child.valueAt(2);
        } else if (child.is("property") && child.size() > 2) {
            const std::string_view key = child.valueAt(1);
            if (key == "Reference")
                reference = child.valueAt(2);
            else if (key == "Value")
                value = child.valueAt(2);
            else if (key == cPinSwapField)
                pinSwap = YesValue(child.valueAt(2));
            else if (key == cPartSwapField)
                partSwap = YesValue(child.valueAt(2));
        }
    }
    component->SetNameText(reference);
    component->SetComment(value);
    component->SetFootprintName(libName);
    if (Node path = footprint.find("path")) {
        std::string id(path.valueAt(1));
        for (char& c : id)
            if (c == '/')
                c = '\\';
        component->SetSourceUniqueId(id);
    }
    if (Node uuid = footprint.find("uuid"); uuid && uuid.size() > 1)
        component->SetKey(std::string(uuid.valueAt(1)));
    else if (Node tstamp = footprint.find("tstamp"); tstamp && tstamp.size() > 1)
        component->SetKey(std::string(tstamp.valueAt(1)));
    // Net ties join nets on purpose. KiCad 7+ lists their pad groups; earlier files only show it
    // in the library name.
    if (footprint.find("net_tie_pad_groups") ||
        permutor::host::Text_FindNoCase(libName, "NetTie") != std::string::npos)
        component->SetComponentKind(eComponentKind_NetTie_BOM);
    component->SetPinSwappingEnabled(pinSwap);
    component->SetPartSwappingEnabled(partSwap);
    if (Node layer = footprint.find("layer"))
        component->SetLayerValue(layer.valueAt(1) == "B.Cu" ? eV6_BottomLayer : eV6_TopLayer);
    FBoard->Place(component.get());
    FComponents.push_back({component.get(), footprint, pinSwap, partSwap});

    for (Node child : footprint.children())
        if (child.is("pad"))
            ReadPad(child, component.get(), fx, fy, angle);
}

void TBoardFile::ReadPad(Node node, TPcbComponent* component, double fx, double fy, double angle) {
    auto pad = MakeObject<TPad>();
    pad->SetName(std::string(node.valueAt(1)));
    const std::string_view type = node.valueAt(2);
    const std::string_view shape = node.valueAt(3);

    Node at = node.require("at");
    const double px = at.doubleAt(1), py = at.doubleAt(2);
    const double theta = angle * std::numbers::pi / 180.0;
    const double bx = fx + px * std::cos(theta) + py * std::sin(theta);
    const double by = fy - px * std::sin(theta) + py * std::cos(theta);
    pad->SetPosition(ToUnits(bx), ToUnits(by));
    pad->SetRotation(OptionalDouble(at, 3, 0.0));
    if (Node size = node.find("size"))
        pad->SetSize(UnitsAt(size, 1), UnitsAt(size, 2));
    if (Node drill = node.find("drill")) {
        for (std::size_t i = 1; i < drill.size(); ++i)
            if (drill[i].isAtom() && drill[i].value() != "oval") {
                pad->SetDrill(ToUnits(drill[i].asDouble()));
                break;
            }
    }

    if (shape == "circle")
        pad->SetShape(ePad_Round);
    else if (shape == "oval")
        pad->SetShape(ePad_Oval);
    else if (shape == "roundrect") {
        pad->SetShape(ePad_RoundRect);
        if (Node ratio = node.find("roundrect_rratio"))
            pad->SetRoundRectRatio(ratio.doubleAt(1));
    } else if (shape == "custom") {
        Node size = node.find("size");
        auto outline =
            size ? CustomPadOutline(node, size.doubleAt(1), size.doubleAt(2)) : std::vector<TCoordPoint>();
        if (outline.size() >= 3) {
            pad->SetShape(ePad_Custom);
            pad->SetOutline(std::move(outline));
        } else {
            pad->SetShape(ePad_Rect);
        }
    } else {
        pad->SetShape(ePad_Rect); // rect, trapezoid
    }

    const TLayerSet copper = node.find("layers") ? CopperLayers(node.find("layers")) : TLayerSet();
    std::int32_t copperCount = 0;
    TV6_Layer single = eV6_NoLayer;
    for (TV6_Layer l : FCopper)
        if (copper.Contains(l)) {
            ++copperCount;
            single = l;
        }
    if (type == "thru_hole" || type == "np_thru_hole" || copperCount > 1)
        pad->SetLayerValue(eV6_MultiLayer);
    else if (copperCount == 1)
        pad->SetLayerValue(single);
    else
        pad->SetLayerValue(component->LayerValue() == eV6_BottomLayer ? eV6_BottomLayer : eV6_TopLayer);
    // A plain hole carries no copper to connect through.
    if (type == "np_thru_hole" || copperCount == 0)
        pad->SetExclusionFlags(cExclusion_NoConnectivity);

    if (Node uuid = node.find("uuid"); uuid && uuid.size() > 1)
        pad->SetSourceId(std::string(uuid.valueAt(1)));
    component->AddPad(pad.get());
    PlaceOnNet(pad.get(), node, NetOf(node));
}

void TBoardFile::PlaceOnNet(TPrimitive* primitive, Node node, TPcbNet* net) {
    FBoard->Place(primitive);
    primitive->AssignNet(net);
    FPrimitives.push_back({primitive, node, net ? net->Name() : std::string()});
}

void TBoardFile::ReadTrack(Node node) {
    auto track = MakeObject<TTrack>();
    Node start = node.require("start"), end = node.require("end");
    track->SetEnds({UnitsAt(start, 1), UnitsAt(start, 2)}, {UnitsAt(end, 1), UnitsAt(end, 2)});
    if (Node width = node.find("width"))
        track->SetWidth(UnitsAt(width, 1));
    track->SetLayerValue(CopperLayer(node.require("layer").atom(1)));
    PlaceOnNet(track.get(), node, NetOf(node));
}

void TBoardFile::ReadArc(Node node) {
    Node start = node.require("start"), mid = node.require("mid"), end = node.require("end");
    const TCoordPoint a{UnitsAt(start, 1), UnitsAt(start, 2)}, m{UnitsAt(mid, 1), UnitsAt(mid, 2)},
        b{UnitsAt(end, 1), UnitsAt(end, 2)};
    if (a != b && IsStraightArc(a, m, b)) {
        // KiCad keeps arcs whose middle lies on the chord (a router's tiny fillets): that copper
        // is a straight track, and a circle through three points on a line has no centre.
        auto track = MakeObject<TTrack>();
        track->SetEnds(a, b);
        if (Node width = node.find("width"))
            track->SetWidth(UnitsAt(width, 1));
        track->SetLayerValue(CopperLayer(node.require("layer").atom(1)));
        PlaceOnNet(track.get(), node, NetOf(node));
        return;
    }
    auto arc = MakeObject<TArc>();
    if (!arc->SetThroughPoints(a, m, b))
        node.fail("arc start, mid and end points lie on one line");
    if (Node width = node.find("width"))
        arc->SetWidth(UnitsAt(width, 1));
    arc->SetLayerValue(CopperLayer(node.require("layer").atom(1)));
    PlaceOnNet(arc.get(), node, NetOf(node));
}

void TBoardFile::ReadVia(Node node) {
    auto via = MakeObject<TVia>();
    Node at = node.require("at");
    via->SetPosition(UnitsAt(at, 1), UnitsAt(at, 2));
    Node size = node.find("size"), drill = node.find("drill");
    via->SetSize(size ? UnitsAt(size, 1) : 0, drill ? UnitsAt(drill, 1) : 0);
    TV6_Layer from = FCopper.front(), to = FCopper.back();
    if (Node layers = node.find("layers"); layers && layers.size() >= 3) {
        from = CopperLayer(layers.atom(1));
        to = CopperLayer(layers.atom(2));
        if (from == eV6_NoLayer || to == eV6_NoLayer)
            layers.fail("expected two copper layers of this board");
    }
    via->SetSpan(std::min(from, to), std::max(from, to));
    via->SetLayerValue(eV6_MultiLayer);
    PlaceOnNet(via.get(), node, NetOf(node));
}

void TBoardFile::ReadZone(Node node) {
    TPcbNet* net = nullptr;
    if (Node name = node.find("net_name"); name && name.size() > 1 && !name.valueAt(1).empty())
        net = FBoard->FindNet(name.valueAt(1));
    if (!net)
        net = NetOf(node);
    if (node.find("keepout"))
        return;
    for (Node fill : node.findAll("filled_polygon")) {
        Node layer = fill.find("layer");
        Node pts = fill.find("pts");
        if (!layer || !pts)
            continue;
        const TV6_Layer copper = CopperLayer(layer.atom(1));
        if (copper == eV6_NoLayer)
            continue;
        std::vector<TCoordPoint> outline;
        for (Node xy : pts.findAll("xy"))
            outline.push_back({UnitsAt(xy, 1), UnitsAt(xy, 2)});
        if (outline.size() < 3)
            continue;
        auto region = MakeObject<TRegion>();
        region->SetOutline(std::move(outline));
        region->SetLayerValue(copper);
        PlaceOnNet(region.get(), node, net);
    }
}

bool TBoardFile::Changed() const {
    for (const auto& source : FPrimitives) {
        TPcbNet* net = source.Primitive->OwnerNet();
        if ((net ? net->Name() : std::string()) != source.OriginalNet)
            return true;
    }
    for (const auto& source : FComponents)
        if (source.Component->PinSwappingEnabled() != source.PinSwap ||
            source.Component->PartSwappingEnabled() != source.PartSwap)
            return true;
    return false;
}

std::vector<TBoardFile::TPadChange> TBoardFile::ChangedPads() const {
    std::vector<TPadChange> changes;
    for (const auto& source : FPrimitives) {
        if (source.Primitive->Kind() != ePadObject || !source.Primitive->OwnerComponent())
            continue;
        TPcbNet* net = source.Primitive->OwnerNet();
        const std::string name = net ? net->Name() : std::string();
        if (name != source.OriginalNet)
            changes.push_back({source.Primitive->OwnerComponent()->NameText(),
                               static_cast<TPad*>(source.Primitive)->Name(), source.OriginalNet, name});
    }
    return changes;
}

std::string TBoardFile::Render() const {
    sexpr::Document doc = FDoc;
    std::map<std::string, std::int64_t, std::less<>> ordinals = FOrdinalByName;
    std::int64_t maxOrdinal = FMaxOrdinal;
    std::vector<std::string> newNets;
    auto ordinalOf = [&](const std::string& name) -> std::int64_t {
        if (name.empty())
            return 0;
        if (auto it = ordinals.find(name); it != ordinals.end())
            return it->second;
        ordinals.emplace(name, ++maxOrdinal);
        newNets.push_back(name);
        return maxOrdinal;
    };

    std::map<std::uint32_t, std::string> zoneNets; // zone node id -> new net name
    for (const auto& source : FPrimitives) {
        TPcbNet* net = source.Primitive->OwnerNet();
        const std::string name = net ? net->Name() : std::string();
        if (name == source.OriginalNet)
            continue;
        Node node = source.Node;
        if (node.is("zone")) {
            zoneNets[node.id()] = name;
            continue;
        }
        const std::int64_t ordinal = ordinalOf(name);
        Node netNode = node.find("net");
        const bool named = netNode && netNode.size() >= 2 && netNode[1].isQuoted();
        if (node.is("pad")) {
            if (named) {
                doc.setQuoted(netNode.atom(1), name);
            } else if (netNode) {
                if (name.empty())
                    doc.remove(netNode);
                else {
                    doc.setAtom(netNode.atom(1), std::to_string(ordinal));
                    doc.setQuoted(netNode.atom(2), name);
                }
            } else if (!name.empty()) {
                // KiCad writes the net before these children of a pad.
                Node before;
                for (const char* key :
                     {"pinfunction", "pintype", "die_length", "solder_mask_margin", "clearance",
                      "zone_connect", "thermal_bridge_angle", "options", "primitives", "uuid", "tstamp"})
                    if ((before = node.find(key)))
                        break;
                const std::string text = "(net " + std::to_string(ordinal) + " " + sexpr::quote(name) + ")";
                if (before)
                    doc.insertBefore(before, text);
                else
                    doc.splice(node.closeParen(), node.closeParen(), " " + text);
            }
        } else if (netNode) {
            if (named)
                doc.setQuoted(netNode.atom(1), name);
            else
                doc.setAtom(netNode.atom(1), std::to_string(ordinal));
        }
    }
    for (const auto& source : FPrimitives) {
        auto it = zoneNets.find(source.Node.id());
        if (it == zoneNets.end())
            continue;
        Node node = source.Node;
        if (Node netNode = node.find("net"); netNode && !netNode[1].isQuoted())
            doc.setAtom(netNode.atom(1), std::to_string(ordinalOf(it->second)));
        if (Node netName = node.find("net_name"))
            doc.setQuoted(netName.atom(1), it->second);
        zoneNets.erase(it);
    }

    for (const auto& source : FComponents) {
        const bool values[2] = {source.Component->PinSwappingEnabled(),
                                source.Component->PartSwappingEnabled()};
        const bool originals[2] = {source.PinSwap, source.PartSwap};
        const char* keys[2] = {cPinSwapField, cPartSwapField};
        for (int i = 0; i < 2; ++i) {
            if (values[i] == originals[i])
                continue;
            const char* value = values[i] ? "yes" : "no";
            Node existing, template_, lastProperty;
            for (Node child : source.Node.children()) {
                if (!child.is("property") || child.size() < 3)
                    continue;
                lastProperty = child;
                if (child.valueAt(1) == keys[i])
                    existing = child;
                else if (!template_ && (child.valueAt(1) == "Datasheet" || child.valueAt(1) == "Footprint" ||
                                        child.valueAt(1) == "Description"))
                    template_ = child;
            }
            if (existing) {
                doc.setQuoted(existing.atom(2), value);
                continue;
            }
            // A new field laid out like a hidden sibling field (KiCad 8+), or the plain
            // key/value form of earlier files.
            std::string text = "(property " + sexpr::quote(keys[i]) + " " + sexpr::quote(value) + ")";
            if (template_) {
                std::string copy(template_.text());
                const std::size_t keyAt = template_.atom(1).begin() - template_.begin();
                const std::size_t valueEnd = template_.atom(2).end() - template_.begin();
                copy.replace(keyAt, valueEnd - keyAt, sexpr::quote(keys[i]) + " " + sexpr::quote(value));
                if (Node uuid = template_.find("uuid"); uuid && uuid.size() > 1) {
                    const std::string old(uuid.atom(1).text());
                    if (auto at = copy.find(old); at != std::string::npos)
                        copy.replace(at, old.size(), sexpr::quote(NewUuid()));
                }
                text = copy;
            }
            if (lastProperty)
                doc.insertAfter(lastProperty, text);
            else if (Node at = source.Node.find("at"))
                doc.insertAfter(at, text);
        }
    }

    if (!newNets.empty()) {
        if (!FLastNetNode)
            FDoc.root().fail("the board has no net table to add nets to");
        for (std::size_t i = 0; i < newNets.size(); ++i) {
            const std::int64_t ordinal = FMaxOrdinal + 1 + std::int64_t(i);
            doc.insertLineAfter(FLastNetNode,
                                "(net " + std::to_string(ordinal) + " " + sexpr::quote(newNets[i]) + ")");
        }
    }
    return doc.render();
}

} // namespace pcbhost::kicad
