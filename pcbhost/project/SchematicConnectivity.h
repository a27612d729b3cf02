// The schematic's own connectivity, computed the way KiCad computes it: wires, buses and bus
// entries, junctions, labels of every kind, hierarchical sheets and their pins, power symbols and
// no-connect flags, per sheet instance. Nets are named as KiCad names them, so that a pin's net
// here is the net name KiCad's netlist (and its board) gives that pin.
#pragma once

#include "pcbhost/kicad/SExpr.h"

#include <compare>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pcbhost::kicad {

class TSchematicSet;

// A point of a sheet in KiCad's internal unit (1 nm), as the file's millimetres give it.
struct TSchPoint {
    std::int64_t X = 0, Y = 0;
    auto operator<=>(const TSchPoint&) const = default;
};
TSchPoint SchPoint_FromMm(double x, double y);

enum class TSchItemKind {
    Pin,      // a pin of a placed unit of a component
    PowerPin, // the pin of a power symbol: Text is the net it gives
    Wire,
    Bus,
    BusEntry,
    Junction,
    NoConnect,
    Label, // local label
    GlobalLabel,
    HierLabel, // hierarchical label (a port of the sheet)
    SheetPin,  // a pin of a sheet symbol: joins a hierarchical label of the child sheet
};

// One connectable object of one sheet instance.
struct TSchItem {
    TSchItemKind Kind;
    std::size_t File = 0;  // index into TSchematicSet::Files()
    sexpr::Node Node;      // its node in that file: wire, label, junction, placed symbol, sheet pin
    std::string Text;      // labels and sheet pins: their text; power pins: the net; pins: the pin number
    std::string Reference; // pins: the component's reference in this instance
    std::vector<TSchPoint> Points; // where it connects: both ends of a wire or bus, else its one point
    double Angle = 0;              // labels: their orientation in degrees as written; pins: the direction
                      // from the pin end into the symbol body (0 right, 90 up, 180 left, 270 down)
    std::string PinName;     // pins: the library pin's name ("" for "~")
    std::string PinType;     // pins: the electrical type as written ("power_in", "passive", ...)
    std::int32_t Unit = 0;   // pins: the placed unit that shows it
    std::int32_t Child = -1; // sheet pins: the instance of the sheet they lead into
    bool Hidden = false;     // pins: hidden in the library
    sexpr::Node Library;     // pins: the library symbol
};

// One instance of a sheet: the root ("/"), or a sheet below it reached by a chain of sheet symbols.
struct TSchSheetInstance {
    std::string UuidPath; // "/" for the root, else "/<sheet uuid>/<sheet uuid>..."
    std::string NamePath; // the prefix KiCad gives local nets here: "/" or "/<name>/<name>/"
    std::size_t File = 0;
    std::vector<TSchItem> Items;
    // Item index -> connected group of items on this sheet instance ("subgraph"); -1 for items that
    // connect to nothing.
    std::vector<std::int32_t> SubgraphOf;
    // Subgraph index -> the name of the whole net it belongs to ("" for a subgraph of no pin).
    std::vector<std::string> SubgraphNet;
};

class TSchematicConnectivity {
public:
    explicit TSchematicConnectivity(const TSchematicSet& set);

    const std::vector<TSchSheetInstance>& Instances() const { return FInstances; }
    // The net of a component's pin as KiCad names it; "" when the pin is not placed or connects to
    // nothing (KiCad then names it "unconnected-(U1-Pad3)").
    std::string PinNet(std::string_view reference, std::string_view pin) const;
    // The net of a pin as KiCad's netlist names it, "unconnected-(U1-Pad3)" included; "" when not placed.
    std::string PinNetName(std::string_view reference, std::string_view pin) const;
    struct TPinNet {
        std::string Reference, Pin, Net;
    };
    // Every placed pin of every component (power symbols aside) with its PinNetName, sorted.
    std::vector<TPinNet> PinNets() const;
    // Where a placed pin is: its instance and item index. False when not placed.
    bool FindPin(std::string_view reference, std::string_view pin, std::size_t& instance,
                 std::size_t& item) const;
    // The name of the net a subgraph belongs to, also when no pin is on it ("" for a subgraph
    // that nothing names, such as a bare wire).
    std::string NetOfSubgraph(std::size_t instance, std::int32_t subgraph) const;
    // The items of one subgraph of an instance, in item order.
    std::vector<std::size_t> SubgraphItems(std::size_t instance, std::int32_t subgraph) const;

    // A new text for a label or a sheet pin, given by its node (the list, not its text atom) and
    // the index of the file that holds it.
    struct TRelabel {
        std::size_t File = 0;
        sexpr::Node Node;
        std::string Text;
    };
    // Gives labels and sheet pins new texts, in every instance of their sheet, and names the nets
    // again: the connectivity the sheets would have with those texts, without reading them again.
    // A label's text takes no part in what touches what, so the items and subgraphs stay. Of two
    // entries for one node the later wins. False, and nothing changed, when an entry names no
    // label or sheet pin of these sheets.
    bool Relabel(const TSchematicSet& set, const std::vector<TRelabel>& texts);

private:
    struct TPinPlace {
        std::size_t Instance, Item;
        std::string Net; // the whole name, "unconnected-(...)" included
    };
    void Collect(const TSchematicSet& set);
    void Connect(TSchSheetInstance& instance);
    void NameNets(const TSchematicSet& set);

    std::vector<TSchSheetInstance> FInstances;
    std::vector<std::vector<std::string>> FSubgraphNames;           // instance, subgraph -> name, pins or not
    std::map<std::pair<std::string, std::string>, TPinPlace> FPins; // (reference, pin number)
    // Per instance, the items of each subgraph in item order: Items[Start[g] .. Start[g + 1]).
    struct TMembers {
        std::vector<std::size_t> Start, Items;
    };
    mutable std::vector<TMembers> FMembers;
};

} // namespace pcbhost::kicad
