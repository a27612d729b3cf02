// The FPGA design follows the board: a symbol's hidden field "FpgaConstraints" names the FPGA
// design's pin constraint file (see ConstraintFile.h). When the FPGA's pins change nets on the
// board, every port moves to the pin its signal now sits on. A port is tied to its signal through
// its pin: the port's pin before the swaps, that pin's net then, the pin that net sits on now.
// The same file gives the FPGA's pins their swap ids ("# SWAPID=<id>" on a port's line).
#pragma once

#include "pcbhost/project/BackAnnotation.h"
#include "pcbhost/project/ConstraintFile.h"

#include <map>
#include <string>
#include <vector>

namespace pcbhost {
class TBoard;
class TSchSymbol;
} // namespace pcbhost

namespace pcbhost::kicad {

class TSchematicSet;

inline constexpr const char* cFpgaConstraintsField = "FpgaConstraints";

// A component and the constraint file its symbol names, resolved against the sheet's folder.
struct TConstraintSource {
    std::string Reference, Path;
};
// Every (component, file) pair of the schematic, in reading order, each once.
std::vector<TConstraintSource> FpgaConstraints_Sources(const TSchematicSet& set);
// The files named by one component (usually one); empty when it names none.
std::vector<std::string> FpgaConstraints_PathsOf(const TSchematicSet& set, const std::string& reference);

// Pad name to net name ("" for no net) of one component, before and after the swaps.
struct TComponentPinNets {
    std::map<std::string, std::string> Before, After;
};

struct TConstraintMove {
    std::string Port, From, To;
    std::uint32_t Line = 0;
};

// What saving does to one constraint file.
struct TConstraintFollow {
    std::string Path, Reference;
    std::vector<TConstraintMove> Moves;
    // Ports and pins the file cannot be made to follow, each with the file and line where there
    // is one: reported, never guessed.
    std::vector<std::string> Problems;
    std::string OldText, NewText;
    bool Changed() const { return NewText != OldText; }
};

// Moves the ports of `file` with the signals of `reference`'s pins. Pure.
TConstraintFollow ConstraintFile_Follow(const TConstraintFile& file, const std::string& reference,
                                        const TComponentPinNets& nets);

// Plans every constraint file of a component with changed pins. `board` holds the nets after the
// swaps; `changes` are the pads whose nets changed. Throws TConstraintError for a file it cannot
// read or a line it cannot understand, std::system_error for a file it cannot open.
std::vector<TConstraintFollow> FpgaConstraints_Plan(const TSchematicSet& set, const TBoard& board,
                                                    const std::vector<TPinChange>& changes);

// The pin swap data text ("Pin_A1=BANK0|...") that the file's SWAPID comments give `symbol`'s
// pins, in the symbol's pin order; a pin without a port line with an id gets none. Records on
// pins the symbol lacks go to `problems`. Throws TConstraintError for an id that cannot stand in
// swap data text.
std::string FpgaConstraints_PinSwapText(const TConstraintFile& file, const TSchSymbol& symbol,
                                        std::vector<std::string>& problems);

} // namespace pcbhost::kicad
