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
#include <string_view>
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

// A differential pair whose P and N nets sit crossed on the two pins of one pin pair of a
// component: the pin named as the positive one carries the negative net and the other way round.
struct TReversedPair {
    std::string Pair;      // the board pair's name, the nets' common stem
    std::string Component; // reference
    std::string PositiveNet, NegativeNet;
    std::string PadOfPositiveNet, PinNameOfPositiveNet; // pad number and symbol pin name
    std::string PadOfNegativeNet, PinNameOfNegativeNet;
};

// A pin's own polarity from its symbol pin name: 'P' or 'N', 0 when the name says none. Names
// end in _P/_N, +/- or (USB) DP/DM as the whole name or after a "_", or carry P/N right after a
// digit before a "_" or the end (IO_L1P_T0_34).
// `stem` is the name with the polarity marked out, equal for the two pins of one pin pair.
char PinName_Polarity(std::string_view pinName, std::string& stem);
// The board's differential pairs whose nets are crossed at a component, by pair and component.
// Pin names come from the project's schematic; without one nothing is found.
std::vector<TReversedPair> ReversedPairs_Of(TBoard& board, const kicad::TKicadProject& project);

// A pad whose net on the board is not the net the schematic gives its pin.
struct TNetMismatch {
    std::string Reference, Pin, Board, Schematic;
};
// The pads of the board whose net differs from their schematic pin's, by reference and pad;
// pads without a placed schematic pin are not compared, and names KiCad made up itself that
// pair one to one with the other side's (or a one-pin net without a board net) do not differ.
std::vector<TNetMismatch> NetMismatches_Of(TBoard& board, const kicad::TKicadProject& project);

struct TDocumentFigures {
    std::optional<TBoardFigures> Board;
    std::optional<TProjectFigures> Project;
    // Checked when there are both a board and a schematic to name the pins.
    std::optional<std::vector<TReversedPair>> ReversedPairs;
    std::optional<std::vector<TNetMismatch>> NetMismatches;
    double ElapsedMS = 0;
};

// The ratsnest lines of every net of the board (builds islands and ratsnest when out of date).
std::vector<TSegment> Ratsnest_Segments(TBoard& board);
TBoardFigures BoardFigures_Of(TBoard& board);
TProjectFigures ProjectFigures_Of(const kicad::TKicadProject& project);

nlohmann::json Figures_Json(const TDocumentFigures& figures);
void Figures_Print(std::ostream& os, const TDocumentFigures& figures);

} // namespace pcbhost::cli
