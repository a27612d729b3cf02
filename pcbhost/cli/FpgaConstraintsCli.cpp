#include "pcbhost/cli/FpgaConstraintsCli.h"

#include "pcbhost/cli/Options.h"
#include "pcbhost/cli/Session.h"

#include <fmt/format.h>

#include <system_error>

namespace pcbhost::cli {

namespace {

// Moves listed without --verbose, per file.
constexpr std::size_t cMovesListed = 10;

} // namespace

void ConstraintFiles_Report(TReport& report, const std::vector<kicad::TConstraintFollow>& files,
                            bool verbose) {
    auto& json = report.Data()["fpga_constraints"];
    json = nlohmann::json::array();
    for (const auto& file : files) {
        nlohmann::json moves = nlohmann::json::array();
        for (const auto& move : file.Moves)
            moves.push_back({{"port", move.Port}, {"from", move.From}, {"to", move.To}, {"line", move.Line}});
        json.push_back({{"file", file.Path},
                        {"reference", file.Reference},
                        {"moves", moves},
                        {"problems", file.Problems}});
        const bool list = verbose || file.Moves.size() <= cMovesListed;
        report.Note(fmt::format("FPGA pin constraints {} ({}): {} port(s) follow their signals{}", file.Path,
                                file.Reference, file.Moves.size(), list ? "" : " (--verbose lists them)"));
        if (list)
            for (const auto& move : file.Moves)
                report.Note(fmt::format("  port {}: pin {} -> {} (line {})", move.Port, move.From, move.To,
                                        move.Line));
        for (const auto& problem : file.Problems)
            report.Note("not followed: " + problem);
    }
}

void ConstraintFiles_Check(TReport& report, const kicad::TKicadProject& project) {
    if (!project.Schematics())
        return;
    for (const auto& source : kicad::FpgaConstraints_Sources(*project.Schematics())) {
        std::string problem;
        try {
            kicad::ConstraintFile_Read(source.Path);
        } catch (const kicad::TConstraintError& e) {
            problem = e.what();
        } catch (const std::system_error& e) {
            problem = e.what();
        }
        if (!problem.empty())
            report.Message({"file", "warning", "warning",
                            problem + " (the pin constraint file of " + source.Reference +
                                "; a save that swaps its pins stops here)"});
    }
}

std::string ConstraintFiles_PinSwapText(TSession& session, TReport& report, const TSchSymbol& symbol) {
    const auto* schematics = session.Project().Schematics();
    const std::vector<std::string> paths =
        schematics ? kicad::FpgaConstraints_PathsOf(*schematics, symbol.Designator)
                   : std::vector<std::string>{};
    if (paths.empty())
        throw TCliError(eExit_CommandError, symbol.Designator +
                                                " has no pin constraint file: its symbol has no \"" +
                                                kicad::cFpgaConstraintsField + "\" field");
    if (paths.size() > 1)
        throw TCliError(eExit_CommandError, symbol.Designator + " names more than one pin constraint file (" +
                                                paths[0] + ", " + paths[1] +
                                                "); its units should name the same one");
    std::vector<std::string> problems;
    std::string text;
    try {
        text = kicad::FpgaConstraints_PinSwapText(kicad::ConstraintFile_Read(paths[0]), symbol, problems);
    } catch (const kicad::TConstraintError& e) {
        throw TCliError(eExit_File, e.what());
    } catch (const std::system_error& e) {
        throw TCliError(eExit_File, e.what());
    }
    report.Data()["swap_ids_from"] = paths[0];
    std::size_t pins = 0;
    for (std::size_t at = text.find("Pin_"); at != std::string::npos; at = text.find("|Pin_", at + 1))
        ++pins;
    report.Note(fmt::format("{} pin(s) take their swap id from {}", pins, paths[0]));
    for (const auto& problem : problems)
        report.Note("not imported: " + problem);
    return text;
}

} // namespace pcbhost::cli
