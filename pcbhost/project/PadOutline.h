// The copper outline of a KiCad custom pad, from the pad's node in the board file.
#pragma once

#include "pcbhost/kicad/SExpr.h"
#include "pcbhost/model/Board.h"

#include <vector>

namespace pcbhost::kicad {

// A custom pad's copper: its anchor (a rectangle, or a circle when the options say so, of the
// pad's size) united with every drawn primitive (polygons, rectangles, circles, lines and arcs,
// each grown by half its line width). In board units relative to the pad centre, unrotated, as
// one outline: when primitives stand apart from the anchor, the piece around the anchor is kept
// (a missing piece shows as a ratsnest line to check, never as a false connection). Empty when
// the pad has no usable size.
std::vector<TCoordPoint> CustomPadOutline(sexpr::Node pad, double widthMM, double heightMM);

} // namespace pcbhost::kicad
