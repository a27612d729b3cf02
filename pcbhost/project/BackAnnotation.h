// Back-annotation: the schematic follows the pins whose nets changed on the board, so that the
// next "Update PCB from Schematic" keeps the swaps. A pin that gets its net only from labels (on
// its end, or on wires that reach no other pin) has those labels renamed; a pin wired to other
// pins is cut loose from the wire and given a label of its new net when the project allows net
// label changes. Whatever the schematic cannot be made to say is reported, pin by pin.
#pragma once

#include "pcbhost/project/SchematicConnectivity.h"
#include "pcbhost/project/SchematicFiles.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pcbhost::kicad {

// A pad whose net changed since the board was read.
struct TPinChange {
    std::string Reference, Pin, OldNet, NewNet;
};

struct TBackAnnotation {
    std::int32_t LabelsRenamed = 0, WiresCut = 0, LabelsPlaced = 0;
    // One line per edit: "U1-A1: label \"B0_IO0\" -> \"B0_IO6\" (demo.kicad_sch:120:3)".
    std::vector<std::string> Edits;
    struct TNeedsEdit {
        std::string Reference, Pin, Net, Reason;
    };
    // Pins the schematic could not be made to follow: they need a schematic edit by hand.
    std::vector<TNeedsEdit> NeedsEdit;
    // Nets the board must rename to match the schematic: a net KiCad had named after a pin
    // ("Net-(U1-Pad3)") that a label now names.
    std::map<std::string, std::string> NetRenames;
    // The sheet edits, by file index of the schematic set.
    std::map<std::size_t, std::vector<TSchematicSet::TSheetEdit>> SheetEdits;
};

// Works out the schematic edits that put every changed pin on its new net, and checks them by
// computing the edited schematic's connectivity: no pin outside `changes` may change net. Pure:
// the set is not modified (give it the result's SheetEdits to have them saved).
// `connectivity`, when given, is the set's own (computed anew otherwise); the plan takes it over
// and frees it as soon as it is no longer read. When every edit is a label's new text, the checks
// give that connectivity the new texts instead of reading the edited sheets again;
// `rereadSheets` has them read the sheets in any case (the plain form of the check).
TBackAnnotation BackAnnotation_Plan(const TSchematicSet& set, const std::vector<TPinChange>& changes,
                                    bool allowNetLabelChanges,
                                    std::unique_ptr<TSchematicConnectivity> connectivity = nullptr,
                                    bool rereadSheets = false);

} // namespace pcbhost::kicad
