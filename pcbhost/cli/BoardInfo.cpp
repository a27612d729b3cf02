#include "pcbhost/cli/BoardInfo.h"

#include <fmt/format.h>

#include <cmath>
#include <ostream>

namespace pcbhost::cli {

double TBoardFigures::RatsnestLengthMM() const {
    return RatsnestLength / cUnitsPerMM;
}
double TBoardFigures::RatsnestLengthInch() const {
    return RatsnestLength / cUnitsPerInch;
}

std::vector<TSegment> Ratsnest_Segments(TBoard& board) {
    std::vector<TSegment> segments;
    for (TPcbNet* net : board.NetList())
        for (TConnection* line : net->Ratsnest())
            segments.push_back({line->X1(), line->Y1(), line->X2(), line->Y2()});
    return segments;
}

TBoardFigures BoardFigures_Of(TBoard& board) {
    TBoardFigures f;
    f.Path = board.Path();
    for (TPrimitive* p : board.PrimitiveList()) {
        switch (p->Kind()) {
        case ePadObject:
            ++f.Pads;
            break;
        case eTrackObject:
            ++f.Tracks;
            break;
        case eArcObject:
            ++f.Arcs;
            break;
        case eViaObject:
            ++f.Vias;
            break;
        case eRegionObject:
            ++f.ZoneFills;
            break;
        default:
            break;
        }
    }
    for (TPcbComponent* c : board.ComponentList()) {
        ++f.Footprints;
        if (c->PinSwappingEnabled() || c->PartSwappingEnabled())
            ++f.SwapEnabled;
    }
    f.Nets = std::int64_t(board.NetList().size());
    for (TPcbNet* net : board.NetList()) {
        f.Islands += std::int64_t(net->Islands().size());
        f.Connections += std::int64_t(net->Ratsnest().size());
    }
    const auto segments = Ratsnest_Segments(board);
    for (const auto& s : segments)
        f.RatsnestLength += std::hypot(double(s.X2 - s.X1), double(s.Y2 - s.Y1));
    f.CrossOvers = CrossOvers_Count(segments);
    return f;
}

TProjectFigures ProjectFigures_Of(const kicad::TKicadProject& project) {
    TProjectFigures f;
    f.Path = project.IsProject() ? project.ProjectPath() : project.RootSchematicPath();
    if (const auto* sheets = project.Schematics()) {
        f.Sheets = std::int64_t(sheets->Files().size());
        f.Components = std::int64_t(sheets->Symbols().size());
        for (const auto& symbol : sheets->Symbols()) {
            std::string pin, part, pair;
            kicad::SwapFields_Compose(*symbol, pin, part, pair);
            if (!pin.empty() || !part.empty() || !pair.empty())
                ++f.WithSwapData;
        }
    }
    return f;
}

nlohmann::json Figures_Json(const TDocumentFigures& figures) {
    nlohmann::json j;
    if (const auto& b = figures.Board)
        j["board"] = {{"path", b->Path},
                      {"footprints", b->Footprints},
                      {"swap_enabled_components", b->SwapEnabled},
                      {"nets", b->Nets},
                      {"pads", b->Pads},
                      {"tracks", b->Tracks},
                      {"arcs", b->Arcs},
                      {"vias", b->Vias},
                      {"zone_fills", b->ZoneFills},
                      {"islands", b->Islands},
                      {"connections", b->Connections},
                      {"ratsnest_length_mm", b->RatsnestLengthMM()},
                      {"ratsnest_length_in", b->RatsnestLengthInch()},
                      {"crossovers", b->CrossOvers}};
    if (const auto& p = figures.Project)
        j["project"] = {{"path", p->Path},
                        {"sheets", p->Sheets},
                        {"components", p->Components},
                        {"components_with_swap_data", p->WithSwapData}};
    j["elapsed_ms"] = figures.ElapsedMS;
    return j;
}

void Figures_Print(std::ostream& os, const TDocumentFigures& figures) {
    auto row = [&os](const char* name, const std::string& value) {
        os << fmt::format("  {:<24}{}\n", name, value);
    };
    if (const auto& b = figures.Board) {
        os << "Board " << b->Path << "\n";
        row("footprints", std::to_string(b->Footprints));
        row("swap-enabled", std::to_string(b->SwapEnabled));
        row("nets", std::to_string(b->Nets));
        row("pads", std::to_string(b->Pads));
        row("tracks / arcs / vias", fmt::format("{} / {} / {}", b->Tracks, b->Arcs, b->Vias));
        row("zone fills", std::to_string(b->ZoneFills));
        row("copper islands", std::to_string(b->Islands));
        row("ratsnest connections", std::to_string(b->Connections));
        row("ratsnest length",
            fmt::format("{:.3f} mm ({:.3f} in)", b->RatsnestLengthMM(), b->RatsnestLengthInch()));
        row("cross-overs", std::to_string(b->CrossOvers));
    }
    if (const auto& p = figures.Project) {
        os << "Project " << p->Path << "\n";
        row("sheets", std::to_string(p->Sheets));
        row("schematic components", std::to_string(p->Components));
        row("with swap data", std::to_string(p->WithSwapData));
    }
    os << fmt::format("Elapsed {:.0f} ms\n", figures.ElapsedMS);
}

} // namespace pcbhost::cli
