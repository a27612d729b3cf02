// The files a component's symbol fields name (a pin-configuration file, a pin report...): the
// design component lists them as its child items, the way a design host attaches files to a part.
#pragma once

#include "pcbhost/kicad/SExpr.h"
#include "pcbhost/model/Schematic.h"

#include <string>

namespace pcbhost::kicad {

// Adds to the symbol's child items every field value of one placed unit that names an existing
// regular file, resolved against `sheetFolder` when relative; each file once.
void ChildItems_FromFields(TSchSymbol& symbol, sexpr::Node placedUnit, const std::string& sheetFolder);

} // namespace pcbhost::kicad
