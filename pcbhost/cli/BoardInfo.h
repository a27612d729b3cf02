// Figures of an opened board and project for `permutor info`: what is on the board, how its nets
// fall apart into copper islands, how long its ratsnest is and how often its lines cross, and
// how much of the project carries swap data.
#pragma once

#include "pcbhost/cli/CrossOvers.h"

#include "pcbhost/model/Board.h"
#include "pcbhost/project/KicadProject.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace pcbhost::cli {

struct TBoardFigures {
    std::string Path;
    std::int64_t Footprints = 0;
    std::int64_t SwapEnabled = 0; // footprints with pin or part swapping enabled
    std::int64_t Nets = 0;
    std::int64_t Pads = 0, Tracks = 0, Arcs = 0, Vias = 0, ZoneFills = 0;
    std::int64_t Islands = 0;
    std::int64_t Connections = 0;
    double RatsnestLength = 0; // board units
    std::int64_t CrossOvers = 0;

    double RatsnestLengthMM() const;
    double RatsnestLengthInch() const;
};

struct TProjectFigures {
    std::string Path;
    std::int64_t Sheets = 0;
    std::int64_t Components = 0;
    std::int64_t WithSwapData = 0;
};

struct TDocumentFigures {
    std::optional<TBoardFigures> Board;
    std::optional<TProjectFigures> Project;
    double ElapsedMS = 0;
};

// The ratsnest lines of every net of the board (builds islands and ratsnest when out of date).
std::vector<TSegment> Ratsnest_Segments(TBoard& board);
TBoardFigures BoardFigures_Of(TBoard& board);
TProjectFigures ProjectFigures_Of(const kicad::TKicadProject& project);

nlohmann::json Figures_Json(const TDocumentFigures& figures);
void Figures_Print(std::ostream& os, const TDocumentFigures& figures);

} // namespace pcbhost::cli
