// opt_bench: the automatic pin optimisation measured on synthetic FPGA boards and on the public
// KiCad boards, in each optimiser configuration, against the best possible assignment.
//
// For every board and configuration it loads the board afresh into a stand-in host (no user
// interface, fixed seed), gives the chosen components their pin swap groups in memory, builds the
// swap model once to take the starting figures and each group's optimum (a minimum-cost matching
// of the group's sub-nets to its target nets on the model's own connection cost), frees it, runs
// the whole automatic run (build, fast optimiser, iterative optimiser, export to the board) and
// builds the model again on the changed board to check the run's final figures. It prints one
// table row per run, and the rows as JSON with --json.
#include "bench/Assignment.h"

#include "permutor/host/Services.h"
#include "permutor/model/SwapCost.h"
#include "permutor/model/SwapDataSet.h"
#include "permutor/optimizers/RunDrivers.h"

#include "pcbhost/model/Host.h"
#include "pcbhost/project/KicadProject.h"
#include "pcbhost/project/SchematicFiles.h"

#include <CLI/CLI.hpp>
#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>

#include <unistd.h>

using namespace permutor::model;
using namespace permutor::host;
using namespace pcbhost;
using namespace pcbhost::kicad;
namespace opt = permutor::optimizers;
namespace fs = std::filesystem;

namespace {

constexpr double cUnitsPerMm = 10000000.0 / 25.4;

// The process's peak resident memory since the last reset, in MiB (Linux: VmHWM), and the reset
// (writing 5 to clear_refs), so that each run reports its own peak; -1 where unknown.
double PeakMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return -1;
}
void PeakMiB_Reset() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// ---------------------------------------------------------------- boards

struct TBoardCase {
    std::string Name;
    std::string Path;
    // Components whose I/O pins get pin swap groups in memory (generated boards carry theirs).
    std::vector<std::string> Components;
    // Take tracks, arcs and vias off the board after loading.
    bool StripRouting = false;
};

bool IsSupplyNet(const std::string& name) {
    static const std::regex supply(R"((GND|VCC|VDD|VSS|VIO|VPP|VBUS|VREF|^\+|^-|[0-9]V[0-9]|[0-9]V$))",
                                   std::regex::icase);
    return std::regex_search(name, supply);
}

// The swap group of an I/O pin by its name, or empty for pins that must stay: FPGA banks by the
// IOT_/IOB_/IOL_/IOR_ prefix without the configuration pins (SPI flash, boot select), and a
// microcontroller's GPIOs as one group.
std::string GroupOfPinName(const std::string& name) {
    static const std::regex bank(R"(^IO([TBLR])_)");
    static const std::regex config(R"((^|_)(CBSEL[0-9]*|SDO|SDI|SCK|SS|SPI|SO|SI|CDONE|CRESET)(_|$))");
    static const std::regex gpio(R"(^GPIO[0-9]+)");
    std::smatch m;
    if (std::regex_search(name, m, bank))
        return std::regex_search(name, config) ? "" : std::string("BANK_") + m[1].str();
    if (std::regex_search(name, gpio))
        return "GPIO";
    return "";
}

// Gives the component's I/O pins on signal nets their group ids; the number of pins given one.
std::size_t GivePinGroups(TKicadProject& project, const std::string& reference) {
    TSchSymbol* symbol = project.FindSymbol(reference);
    TPcbComponent* footprint = project.Board()->FindComponent(reference);
    if (!symbol || !footprint)
        throw std::runtime_error("no component " + reference);
    std::string text;
    std::size_t count = 0;
    for (const auto& pin : symbol->Pins()) {
        TPad* pad = footprint->FindPad(pin->DesignatorText());
        if (!pad || !pad->OwnerNet() || IsSupplyNet(pad->OwnerNet()->Name()))
            continue;
        const std::string group = GroupOfPinName(pin->PinName());
        if (group.empty())
            continue;
        text += (text.empty() ? "" : "|") + std::string("Pin_") + pin->DesignatorText() + "=" + group;
        ++count;
    }
    std::string pin, part, pair;
    SwapFields_Compose(*symbol, pin, part, pair);
    SwapFields_Apply(*symbol, text, part, pair);
    footprint->SetPinSwappingEnabled(true);
    return count;
}

// ---------------------------------------------------------------- model figures

struct TModelFigures {
    std::int32_t Groups = 0;
    std::int32_t Swappable = 0;
    double TotalCost = 0;
    double SubNetCost = 0;
    std::int32_t Crossings = 0;
    // Sum over pin groups of the least connection cost any assignment of the group could have.
    double Optimum = 0;
    // Nets with swappable pins in more than one pin group: each group's targets on such a net are
    // the other group's pins where the build found them, so the groups' costs depend on each
    // other, the run's final figures are taken on targets that have moved since, and the sum of
    // the groups' optima is no longer a bound of the joint problem.
    std::int32_t CoupledNets = 0;
    double BoardLength = 0;
    std::int32_t BoardCrossings = 0;
    double Seconds = 0;
};

// The model's cost of sub-net `s` carrying target net `k`, as its sub-net cost counts it.
double CostWithTarget(const TSwapSubNet* s, std::size_t k) {
    const THotSpot* a = s->Point1();
    const THotSpot* b = k < s->BestTargets.size() ? s->BestTargets[k] : nullptr;
    if (!a || !b)
        return 0.0;
    return HotSpots_ManhattanDistance(a, b) + (a->Layer != b->Layer ? cLayerChangePenalty : 0.0);
}

double GroupOptimum(const TSwapGroup* g) {
    const std::size_t n = g->SubNets.Count();
    if (g->FTargetNets.Count() != n)
        throw std::runtime_error(
            fmt::format("group {}: {} sub-nets but {} target nets", g->ID, n, g->FTargetNets.Count()));
    std::vector<double> cost(n * n);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t k = 0; k < n; ++k)
            cost[i * n + k] = g->FTargetNets[k] ? CostWithTarget(g->SubNets[i], k) : 0.0;
    return permutor::bench::Assignment_Solve(cost, n).Cost;
}

TModelFigures ModelFigures(const std::string& boardPath) {
    const auto start = std::chrono::steady_clock::now();
    TModelFigures f;
    TSwapDataSet set(boardPath, eSwap_Pins);
    set.SetSuppressDialogs(true);
    if (!set.Build("", false))
        throw std::runtime_error("the swap model could not be built");
    f.Groups = std::int32_t(set.PinSwapGroups.Count());
    f.Swappable = std::int32_t(set.MasterSubNetList_Swappable.Count());
    f.TotalCost = set.GetTotalCost();
    f.SubNetCost = set.TotalSubNetCost();
    f.Crossings = set.TotalIntersectionCount();
    for (const TSwapGroup* g : set.PinSwapGroups)
        f.Optimum += GroupOptimum(g);
    for (const auto& entry : set.Nets) {
        std::set<const TSwapGroup*> groups;
        for (const TSwapSubNet* s : entry.Object->FSubNets_All)
            if (s->SwapPin && s->PinSwapGroup())
                groups.insert(s->PinSwapGroup());
        f.CoupledNets += groups.size() > 1;
    }
    set.GetConnectionStatsFromBoard(f.BoardLength, f.BoardCrossings);
    f.Seconds = Seconds(std::chrono::steady_clock::now() - start);
    return f;
}

// ---------------------------------------------------------------- runs

struct TConfig {
    std::string Name;
    opt::TAutoRunOptions Options;
};

std::vector<TConfig> AllConfigs() {
    std::vector<TConfig> configs;
    opt::TAutoRunOptions o;
    o.Iterative = false;
    configs.push_back({"greedy", o});
    o.Iterative = true;
    o.IterativeSettings.ImproveOnlyFromStart = false;
    o.IterativeSettings.RefreshAfterReset = true;
    configs.push_back({"anneal", o});
    o.IterativeSettings.RefreshAfterReset = false;
    configs.push_back({"anneal-norefresh", o});
    o.IterativeSettings.ImproveOnlyFromStart = true;
    o.IterativeSettings.RefreshAfterReset = true;
    configs.push_back({"descent", o});
    return configs;
}

struct TRow {
    std::string Board, Config;
    std::size_t PinsWithIds = 0;
    TModelFigures Before, After;
    opt::TAutoRunResult Result;
    bool Completed = false;
    double LoadSeconds = 0, RunSeconds = 0;
    // Peak resident memory from loading to the end of the run.
    double PeakMiB = 0;
    std::vector<std::string> Problems;
};

TRow RunOne(const TBoardCase& board, const TConfig& config, std::uint32_t seed) {
    TRow row;
    row.Board = board.Name;
    row.Config = config.Name;
    THost host;
    host.UI().SetUserInterface(false);
    host.UI().SetDefaultAnswer(true);
    host.ClientModel().SetRandomSeed(seed);

    PeakMiB_Reset();
    auto start = std::chrono::steady_clock::now();
    auto project = TKicadProject::Open(host, board.Path);
    if (!project->Board())
        throw std::runtime_error(board.Path + ": no board");
    if (board.StripRouting) {
        TBoard& b = *project->Board();
        std::vector<TPrimitive*> routing;
        for (TPrimitive* p : b.PrimitiveList())
            if (p->Kind() == eTrackObject || p->Kind() == eArcObject || p->Kind() == eViaObject)
                routing.push_back(p);
        for (TPrimitive* p : routing)
            b.Unplace(p);
    }
    for (const auto& reference : board.Components)
        row.PinsWithIds += GivePinGroups(*project, reference);
    row.LoadSeconds = Seconds(std::chrono::steady_clock::now() - start);

    permutor::host::Client_Set(host.Client().get());
    const std::string path = project->BoardPath();
    try {
        row.Before = ModelFigures(path);
        start = std::chrono::steady_clock::now();
        row.Completed = opt::AutoPermutor_Run(path, config.Options, &row.Result);
        row.RunSeconds = Seconds(std::chrono::steady_clock::now() - start);
        row.PeakMiB = PeakMiB();
        row.After = ModelFigures(path);
    } catch (...) {
        permutor::host::Client_Set(nullptr);
        throw;
    }
    permutor::host::Client_Set(nullptr);

    // The model built on the changed board starts where the run ended, and the board's figures
    // are the ones the run reported.
    auto check = [&row](bool ok, const std::string& what) {
        if (!ok)
            row.Problems.push_back(what);
    };
    const auto& r = row.Result;
    auto near = [](double a, double b) { return std::abs(a - b) <= 1e-6 * (1 + std::abs(a) + std::abs(b)); };
    if (!r.Built || !r.Exported) {
        check(false, "the run did not build or export");
        for (const auto& m : host.Messages())
            row.Problems.push_back("message: " + m.Text);
        return row;
    }
    check(r.Swappable == row.Before.Swappable,
          fmt::format("swappable {} != {}", r.Swappable, row.Before.Swappable));
    check(near(r.CostStart, row.Before.TotalCost),
          fmt::format("start cost {} != {}", r.CostStart, row.Before.TotalCost));
    check(near(r.SubNetCostEnd, row.After.SubNetCost),
          fmt::format("end connection cost {} != rebuilt {}", r.SubNetCostEnd, row.After.SubNetCost));
    check(r.CrossingsEnd == row.After.Crossings,
          fmt::format("end crossings {} != rebuilt {}", r.CrossingsEnd, row.After.Crossings));
    check(near(r.CostEnd, row.After.TotalCost),
          fmt::format("end cost {} != rebuilt {}", r.CostEnd, row.After.TotalCost));
    check(near(row.Before.Optimum, row.After.Optimum),
          fmt::format("optimum before {} != after {}", row.Before.Optimum, row.After.Optimum));
    check(row.After.SubNetCost + 1e-6 >= row.After.Optimum, "connection cost below the optimum");
    check(r.Statistics.CrossingsBefore == row.Before.BoardCrossings &&
              near(r.Statistics.LengthBefore, row.Before.BoardLength),
          "board figures before differ from the run's");
    check(r.Statistics.CrossingsAfter == row.After.BoardCrossings &&
              near(r.Statistics.LengthAfter, row.After.BoardLength),
          "board figures after differ from the run's");
    return row;
}

// ---------------------------------------------------------------- output

std::string Ratio(double cost, double optimum) {
    if (optimum <= 0)
        return cost <= 0 ? "1.000" : "-";
    return fmt::format("{:.3f}", cost / optimum);
}

std::string Verdict(const TRow& row) {
    std::string text = row.Problems.empty() ? "ok" : row.Before.CoupledNets > 0 ? "differs" : "MISMATCH";
    if (row.Before.CoupledNets > 0)
        text += fmt::format(" (coupled: {} nets)", row.Before.CoupledNets);
    if (!row.Completed)
        text += " (not completed)";
    return text;
}

void PrintHeader() {
    fmt::print("{:<22} {:<16} {:>5} {:>4} {:>6} {:>7} {:>6} {:>7} {:>7} {:>13} {:>7} {:>7} {:>13} {:>13} "
               "{:>11} {:>11} {:>8} {:>7} {}\n",
               "board", "config", "pins", "grp", "load s", "run s", "MiB", "ratio0", "ratio", "model X b>a",
               "greedy", "end", "board X b>a", "length mm b>a", "optimum mm", "conn mm end", "iters",
               "nopair", "check");
}

void PrintRow(const TRow& row) {
    const auto& r = row.Result;
    fmt::print(
        "{:<22} {:<16} {:>5} {:>4} {:>6.2f} {:>7.2f} {:>6.0f} {:>7} {:>7} {:>13} {:>7} {:>7} {:>13} {:>13} "
        "{:>11.1f} {:>11.1f} {:>8} {:>7} {}\n",
        row.Board, row.Config, row.Before.Swappable, row.Before.Groups, row.LoadSeconds, row.RunSeconds,
        row.PeakMiB, Ratio(row.Before.SubNetCost, row.Before.Optimum),
        Ratio(r.SubNetCostEnd, row.Before.Optimum),
        fmt::format("{}>{}", row.Before.Crossings, r.CrossingsEnd),
        // Total model cost (crossings weighed in) relative to the start, after each optimiser.
        row.Before.TotalCost > 0 ? fmt::format("{:.3f}", r.CostAfterGreedy / row.Before.TotalCost) : "-",
        row.Before.TotalCost > 0 ? fmt::format("{:.3f}", r.CostEnd / row.Before.TotalCost) : "-",
        fmt::format("{}>{}", r.Statistics.CrossingsBefore, r.Statistics.CrossingsAfter),
        fmt::format("{:.0f}>{:.0f}", r.Statistics.LengthBefore / cUnitsPerMm,
                    r.Statistics.LengthAfter / cUnitsPerMm),
        row.Before.Optimum / cUnitsPerMm, r.SubNetCostEnd / cUnitsPerMm, r.Iterations, r.NoPairMoves,
        Verdict(row));
    for (const auto& p : row.Problems)
        fmt::print("    ! {}\n", p);
    std::fflush(stdout);
}

nlohmann::json RowJson(const TRow& row) {
    auto figures = [](const TModelFigures& f) {
        return nlohmann::json{{"groups", f.Groups},
                              {"swappable", f.Swappable},
                              {"total_cost", f.TotalCost},
                              {"connection_cost", f.SubNetCost},
                              {"crossings", f.Crossings},
                              {"optimum", f.Optimum},
                              {"coupled_nets", f.CoupledNets},
                              {"board_length_mm", f.BoardLength / cUnitsPerMm},
                              {"board_crossings", f.BoardCrossings},
                              {"build_seconds", f.Seconds}};
    };
    const auto& r = row.Result;
    return {{"board", row.Board},
            {"config", row.Config},
            {"pins_with_ids", row.PinsWithIds},
            {"load_seconds", row.LoadSeconds},
            {"run_seconds", row.RunSeconds},
            {"peak_mib", row.PeakMiB},
            {"completed", row.Completed},
            {"before", figures(row.Before)},
            {"after", figures(row.After)},
            {"result",
             {{"swappable", r.Swappable},
              {"locked", r.Locked},
              {"iterative_ran", r.IterativeRan},
              {"cost_start", r.CostStart},
              {"cost_after_greedy", r.CostAfterGreedy},
              {"cost_end", r.CostEnd},
              {"connection_cost_end", r.SubNetCostEnd},
              {"crossings_end", r.CrossingsEnd},
              {"board_length_before_mm", r.Statistics.LengthBefore / cUnitsPerMm},
              {"board_length_after_mm", r.Statistics.LengthAfter / cUnitsPerMm},
              {"board_crossings_before", r.Statistics.CrossingsBefore},
              {"board_crossings_after", r.Statistics.CrossingsAfter},
              {"elapsed_seconds", r.ElapsedSeconds},
              {"iterations", r.Iterations},
              {"no_pair_moves", r.NoPairMoves}}},
            {"ratio_start", row.Before.Optimum > 0 ? row.Before.SubNetCost / row.Before.Optimum : 1.0},
            {"ratio_end", row.Before.Optimum > 0 ? r.SubNetCostEnd / row.Before.Optimum : 1.0},
            {"problems", row.Problems}};
}

// Runs the generator for a board of `pins` swappable pins into `dir`; the project's path.
// Generated boards carry one FPGA up to 10,000 swappable pins and share larger counts among
// several (as optimize_bench.sh does): one symbol of 50,000 pins would not be a board anyone has.
std::string Generate(const fs::path& dir, std::int32_t pins, std::uint32_t seed) {
    const fs::path out = dir / fmt::format("fpga{}", pins);
    const std::int32_t devices = (pins + 9999) / 10000;
    const std::string command = fmt::format(
        "python3 '{}/bench/generate_fpga_board.py' --pins {} --devices {} --seed {} --out '{}' > /dev/null",
        PERMUTOR_SOURCE_DIR, pins, devices, seed, out.string());
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("generator failed: " + command);
    return (out / fmt::format("fpga{}.kicad_pro", pins)).string();
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Optimiser benchmark: automatic pin optimisation against the per-group optimum"};
    std::vector<std::int32_t> sizes = {100, 500, 2000};
    std::vector<std::string> extra, only, configNames;
    std::string json, workDir;
    std::uint32_t seed = 1;
    bool noShared = false;
    app.add_option("--sizes", sizes, "swappable pins of the generated boards (0 for none)")->delimiter(',');
    app.add_option("--board", extra, "NAME=PATH: a project or board that carries its own swap groups");
    app.add_option("--only", only, "run only these boards (by name)")->delimiter(',');
    app.add_option("--config", configNames, "greedy, anneal, anneal-norefresh, descent (default: all)")
        ->delimiter(',');
    app.add_option("--seed", seed, "seed of the optimisers' random choices and of the generated tangle");
    app.add_option("--work-dir", workDir, "where to generate the boards (default: a fresh temporary folder)");
    app.add_flag("--no-shared", noShared, "leave out the public boards");
    app.add_option("--json", json, "also write the rows as JSON to this file ('-' for standard output)");
    CLI11_PARSE(app, argc, argv);

    std::vector<TConfig> configs;
    for (const auto& c : AllConfigs())
        if (configNames.empty() ||
            std::find(configNames.begin(), configNames.end(), c.Name) != configNames.end())
            configs.push_back(c);
    if (configs.empty()) {
        fmt::print(stderr, "opt_bench: no such configuration\n");
        return 2;
    }

    std::vector<TBoardCase> boards;
    const bool removeWorkDir = workDir.empty();
    fs::path work = workDir.empty() ? fs::temp_directory_path() / fmt::format("opt_bench.{}", ::getpid())
                                    : fs::path(workDir);
    auto wanted = [&only](const std::string& name) {
        return only.empty() || std::find(only.begin(), only.end(), name) != only.end();
    };
    try {
        for (std::int32_t pins : sizes)
            if (pins > 0 && wanted(fmt::format("fpga{}", pins)))
                boards.push_back({fmt::format("fpga{}", pins), Generate(work, pins, seed), {}});
        for (const auto& e : extra) {
            const auto eq = e.find('=');
            if (eq == std::string::npos) {
                fmt::print(stderr, "opt_bench: --board wants NAME=PATH, not {}\n", e);
                return 2;
            }
            boards.push_back({e.substr(0, eq), e.substr(eq + 1), {}});
        }
    } catch (const std::exception& e) {
        fmt::print(stderr, "opt_bench: {}\n", e.what());
        return 1;
    }
    if (!noShared) {
        const fs::path shared = fs::path(PERMUTOR_SHARED_DIR) / "boards";
        const std::vector<TBoardCase> cases = {
            {"glasgow-unrouted",
             (shared / "glasgow/hardware/boards/glasgow/glasgow-unrouted.kicad_pcb").string(),
             {"U30"}},
            {"glasgow", (shared / "glasgow/hardware/boards/glasgow/glasgow.kicad_pro").string(), {"U30"}},
            {"icebreaker", (shared / "icebreaker/hardware/v1.0e/icebreaker.kicad_pro").string(), {"U6"}},
            {"icebreaker-notracks",
             (shared / "icebreaker/hardware/v1.0e/icebreaker.kicad_pro").string(),
             {"U6"},
             true},
            {"pico-ice", (shared / "pico-ice/Board/Rev3/pico-ice.kicad_pro").string(), {"U6", "U3"}},
            {"pico-ice-notracks",
             (shared / "pico-ice/Board/Rev3/pico-ice.kicad_pro").string(),
             {"U6", "U3"},
             true},
        };
        for (const auto& c : cases)
            if (wanted(c.Name) && fs::exists(c.Path))
                boards.push_back(c);
    }

    fmt::print(
        "seed {}; pins = swappable sub-nets, grp = pin swap groups; MiB = peak resident memory of loading "
        "and the run; ratio0/ratio = connection cost at the start/end over the sum of the groups' optimal "
        "assignments; model X = crossings among swappable "
        "sub-nets; greedy/end = total model cost after each optimiser over the starting cost; board X = "
        "ratsnest cross-overs\n",
        seed);
    PrintHeader();
    nlohmann::json rows = nlohmann::json::array();
    int status = 0;
    for (const auto& board : boards)
        for (const auto& config : configs) {
            try {
                const TRow row = RunOne(board, config, seed);
                PrintRow(row);
                rows.push_back(RowJson(row));
                status |= row.Problems.empty() || row.Before.CoupledNets > 0 ? 0 : 4;
            } catch (const std::exception& e) {
                fmt::print("{:<22} {:<16} failed: {}\n", board.Name, config.Name, e.what());
                status |= 1;
            }
        }
    if (json == "-")
        fmt::print("{}\n", rows.dump(2));
    else if (!json.empty())
        std::ofstream(json) << rows.dump(2) << "\n";
    if (removeWorkDir) {
        std::error_code ignored;
        fs::remove_all(work, ignored);
    }
    return status;
}
