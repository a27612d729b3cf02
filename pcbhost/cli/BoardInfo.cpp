#include "pcbhost/cli/BoardInfo.h"

#include "pcbhost/model/Schematic.h"

#include "permutor/host/Text.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <ostream>
#include <tuple>
#include <unordered_map>

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

char PinName_Polarity(std::string_view name, std::string& stem) {
    auto upper = [](char c) { return char(std::toupper(static_cast<unsigned char>(c))); };
    auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    const std::size_t n = name.size();
    if (n >= 2 && (name[n - 1] == '+' || name[n - 1] == '-')) {
        stem = std::string(name.substr(0, n - 1)) + "*";
        return name[n - 1] == '+' ? 'P' : 'N';
    }
    if (n >= 3 && name[n - 2] == '_' && (upper(name[n - 1]) == 'P' || upper(name[n - 1]) == 'N')) {
        stem = std::string(name.substr(0, n - 1)) + "*";
        return upper(name[n - 1]);
    }
    // USB transceivers: DP and DM.
    if (n >= 2 && upper(name[n - 2]) == 'D' && (upper(name[n - 1]) == 'P' || upper(name[n - 1]) == 'M') &&
        (n == 2 || name[n - 3] == '_')) {
        stem = std::string(name.substr(0, n - 1)) + "*";
        return upper(name[n - 1]) == 'P' ? 'P' : 'N';
    }
    // FPGA banks: the last P or N that follows a digit and ends the name or a "_" field.
    for (std::size_t i = n; i-- > 1;) {
        const char c = upper(name[i]);
        if ((c == 'P' || c == 'N') && isDigit(name[i - 1]) && (i + 1 == n || name[i + 1] == '_')) {
            stem = std::string(name);
            stem[i] = '*';
            return c;
        }
    }
    return 0;
}

std::vector<TReversedPair> ReversedPairs_Of(TBoard& board, const kicad::TKicadProject& project) {
    std::vector<TReversedPair> found;
    if (!project.Schematics())
        return found;
    // The pin's name and polarity, when its pad is on `net` and its symbol names it.
    struct TPinOnNet {
        TPad* Pad;
        std::string Name, Stem;
        char Polarity;
    };
    auto pinsOn = [&project](TPcbNet* net, TPcbComponent* component) {
        std::vector<TPinOnNet> pins;
        TSchSymbol* symbol = project.FindSymbol(component->NameText());
        if (!symbol)
            return pins;
        for (TPad* pad : component->Pads()) {
            if (pad->OwnerNet() != net)
                continue;
            TSchPin* pin = symbol->FindPin(pad->Name());
            if (!pin)
                continue;
            TPinOnNet p{pad, pin->PinName(), {}, 0};
            p.Polarity = PinName_Polarity(p.Name, p.Stem);
            pins.push_back(std::move(p));
        }
        return pins;
    };
    for (TPcbDifferentialPair* pair : board.PairList()) {
        TPcbNet* positive = pair->Positive();
        TPcbNet* negative = pair->Negative();
        if (!positive || !negative)
            continue;
        std::vector<TPcbComponent*> components;
        for (TPrimitive* member : positive->Members())
            if (TPcbComponent* c = member->OwnerComponent();
                member->Kind() == ePadObject && c &&
                std::find(components.begin(), components.end(), c) == components.end())
                components.push_back(c);
        for (TPcbComponent* component : components) {
            const auto onPositive = pinsOn(positive, component);
            const auto onNegative = pinsOn(negative, component);
            for (const auto& p : onPositive)
                for (const auto& q : onNegative)
                    if (p.Polarity == 'N' && q.Polarity == 'P' && Text_EqualNoCase(p.Stem, q.Stem))
                        found.push_back({pair->Name(), component->NameText(), positive->Name(),
                                         negative->Name(), p.Pad->Name(), p.Name, q.Pad->Name(), q.Name});
        }
    }
    return found;
}

std::vector<TNetMismatch> NetMismatches_Of(TBoard& board, const kicad::TKicadProject& project) {
    std::vector<TNetMismatch> found;
    const kicad::TSchematicConnectivity* connectivity = project.Connectivity();
    if (!connectivity)
        return found;
    std::vector<TNetMismatch> pins;
    for (TPcbComponent* component : board.ComponentList())
        for (TPad* pad : component->Pads()) {
            const std::string schematic = connectivity->PinNetName(component->NameText(), pad->Name());
            if (!schematic.empty())
                pins.push_back({component->NameText(), pad->Name(),
                                pad->OwnerNet() ? pad->OwnerNet()->Name() : std::string(), schematic});
        }
    // A net KiCad named by itself may carry another such name on a board updated by an older
    // KiCad ("Net-(C11-Pad1)" for "Net-(U3-BYP)"), and a one-pin net may have no net on the
    // board at all: neither changes a connection. A name differs only when the two sides do not
    // pair one to one, or when both are names the user gave.
    // Per net, the one net its pins have on the other side, or that they have several.
    struct TOtherSide {
        std::string_view First;
        bool Several = false;
        std::size_t Pins = 0;
        void Add(std::string_view other) {
            if (Pins++ == 0)
                First = other;
            else if (other != First)
                Several = true;
        }
    };
    std::unordered_map<std::string_view, TOtherSide> boardOf, schematicOf;
    boardOf.reserve(pins.size());
    schematicOf.reserve(pins.size());
    for (const auto& p : pins) {
        boardOf[p.Schematic].Add(p.Board);
        if (!p.Board.empty())
            schematicOf[p.Board].Add(p.Schematic);
    }
    auto automatic = [](const std::string& net) {
        return net.empty() || net.starts_with("Net-(") || net.starts_with("unconnected-(");
    };
    for (const auto& p : pins) {
        if (p.Board == p.Schematic)
            continue;
        const TOtherSide& board = boardOf.at(p.Schematic);
        const bool pairs =
            !board.Several && (p.Board.empty() ? board.Pins == 1 : !schematicOf.at(p.Board).Several);
        if (pairs && (automatic(p.Board) || automatic(p.Schematic)))
            continue;
        found.push_back(p);
    }
    std::sort(found.begin(), found.end(), [](const TNetMismatch& a, const TNetMismatch& b) {
        return std::tie(a.Reference, a.Pin) < std::tie(b.Reference, b.Pin);
    });
    found.erase(std::unique(found.begin(), found.end(),
                            [](const TNetMismatch& a, const TNetMismatch& b) {
                                return a.Reference == b.Reference && a.Pin == b.Pin && a.Board == b.Board;
                            }),
                found.end());
    return found;
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
    if (const auto& reversed = figures.ReversedPairs) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& r : *reversed)
            list.push_back({{"pair", r.Pair},
                            {"component", r.Component},
                            {"positive_net", r.PositiveNet},
                            {"negative_net", r.NegativeNet},
                            {"pad_of_positive_net", r.PadOfPositiveNet},
                            {"pin_name_of_positive_net", r.PinNameOfPositiveNet},
                            {"pad_of_negative_net", r.PadOfNegativeNet},
                            {"pin_name_of_negative_net", r.PinNameOfNegativeNet}});
        j["reversed_pairs"] = std::move(list);
    }
    if (const auto& mismatches = figures.NetMismatches) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& m : *mismatches)
            list.push_back(
                {{"reference", m.Reference}, {"pin", m.Pin}, {"board", m.Board}, {"schematic", m.Schematic}});
        j["net_mismatches"] = std::move(list);
    }
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
        row("proper crossings", std::to_string(b->CrossOvers));
        if (const auto& reversed = figures.ReversedPairs) {
            row("reversed pairs", reversed->empty() ? "none" : std::to_string(reversed->size()));
            for (const auto& r : *reversed)
                os << fmt::format("    {} at {}: {} on pad {} ({}), {} on pad {} ({})\n", r.Pair, r.Component,
                                  r.PositiveNet, r.PadOfPositiveNet, r.PinNameOfPositiveNet, r.NegativeNet,
                                  r.PadOfNegativeNet, r.PinNameOfNegativeNet);
        }
    }
    if (const auto& p = figures.Project) {
        os << "Project " << p->Path << "\n";
        row("sheets", std::to_string(p->Sheets));
        row("schematic components", std::to_string(p->Components));
        row("with swap data", std::to_string(p->WithSwapData));
    }
    if (const auto& mismatches = figures.NetMismatches) {
        // The board was changed (or updated from another schematic) since KiCad last synced the
        // two: these pins carry on the board a net their schematic does not give them.
        constexpr std::size_t cShown = 20;
        os << "Pins whose board net differs from the schematic: " << mismatches->size() << "\n";
        for (std::size_t k = 0; k < mismatches->size() && k < cShown; ++k) {
            const auto& m = (*mismatches)[k];
            os << fmt::format("  {}-{}: board {}, schematic {}\n", m.Reference, m.Pin,
                              m.Board.empty() ? "(no net)" : m.Board, m.Schematic);
        }
        if (mismatches->size() > cShown)
            os << "  \u2026and " << mismatches->size() - cShown << " more\n";
    }
    os << fmt::format("Elapsed {:.0f} ms\n", figures.ElapsedMS);
}

} // namespace pcbhost::cli
