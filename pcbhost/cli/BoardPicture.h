// Pictures of a board for before/after comparisons: pads, tracks, vias, zone fills and the
// ratsnest as an SVG file, with the ratsnest figures in the caption.
#pragma once

#include "pcbhost/model/Board.h"

#include <string>

namespace pcbhost::cli {

// The SVG text of the board.
std::string BoardPicture_Svg(TBoard& board, const std::string& title);
// Writes the picture atomically; throws std::system_error naming the file.
void BoardPicture_Write(TBoard& board, const std::string& path, const std::string& title);

} // namespace pcbhost::cli
