// What a designer meets in the first hour with their own board: the command line's own words
// (a mistyped sub-command, help, the commands table), a report that says what happened in plain
// terms, footprints the module's warning only hints at, switches that reach every board of the
// project, binary files shown printable, and a result that could not be saved found out before
// the work starts.
#include "CliTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include <unistd.h>

using namespace clitest;
using nlohmann::json;

namespace {

// The lines of a text.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A copy of the example project in a fresh folder.
struct TExampleCopy {
    TTempFolder Folder;
    TExampleCopy() { Folder.CopyFilesOf(cExample); }
    fs::path Path(const std::string& name) const { return Folder.Path() / name; }
};

// A copy of the glasgow project's folder (its board, the unrouted copy, the sheets).
struct TGlasgowCopy {
    TTempFolder Folder;
    TGlasgowCopy() {
        Folder.CopyFilesOf(fs::path(PERMUTOR_SHARED_DIR) / "boards/glasgow/hardware/boards/glasgow");
        for (const auto& entry : fs::directory_iterator(Folder.Path()))
            fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    }
    fs::path Path(const std::string& name) const { return Folder.Path() / name; }
};

} // namespace

TEST(FirstHour, CommandLineNamesItsSubCommandsAndGlobalOptions) {
    // A word that is no sub-command is named as such, with the list to choose from.
    for (const auto& args : {std::vector<std::string>{"frobnicate", "x.kicad_pcb"},
                             std::vector<std::string>{"--seed", "3", "--batch", "frobnicate"}}) {
        const TRun r = Permutor(args);
        EXPECT_EQ(r.Code, 2);
        EXPECT_NE(r.Err.find("\"frobnicate\" is not a sub-command"), std::string::npos) << r.Err;
        for (const char* sub :
             {"optimize", "swap", "configure", "query", "commands", "run", "info", "swapinfo", "options"})
            EXPECT_NE(r.Err.find("\n  " + std::string(sub) + " "), std::string::npos) << sub << "\n" << r.Err;
    }
    // Without any word the usual complaint stays.
    EXPECT_EQ(Permutor({"--batch"}).Code, 2);

    // A sub-command's help lists the global options (with their value names) but not the
    // program's long footer, which its own help keeps.
    const TRun help = Permutor({"info", "--help"});
    EXPECT_EQ(help.Code, 0);
    EXPECT_NE(help.Out.find("Global options"), std::string::npos) << help.Out;
    for (const char* option : {"--seed N", "--pick REF-PAD", "--no-back-annotate", "--json", "--batch"})
        EXPECT_NE(help.Out.find(option), std::string::npos) << option << "\n" << help.Out;
    EXPECT_EQ(help.Out.find("Exit codes:"), std::string::npos) << help.Out;
    const TRun main = Permutor({"--help"});
    EXPECT_NE(main.Out.find("Exit codes:"), std::string::npos);
    EXPECT_EQ(main.Out.find("Global options (before or after"), std::string::npos);

    // The commands table has no empty column: every command has its menu item.
    const TRun commands = Permutor({"commands", (cExample / "demo.kicad_pcb").string()});
    ASSERT_EQ(commands.Code, 0) << commands.Err;
    const auto lines = Lines(commands.Out);
    ASSERT_EQ(lines.size(), 8u) << commands.Out;
    EXPECT_NE(lines[0].find("Menu item"), std::string::npos);
    std::set<std::string> items;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        ASSERT_GT(lines[i].size(), 61u) << lines[i];
        items.insert(lines[i].substr(61));
    }
    EXPECT_EQ(items.size(), 7u) << commands.Out;
}

TEST(FirstHour, OptimiseReportSaysWhatHappenedInPlainTerms) {
    TExampleCopy copy;
    const TRun r = Permutor({"--batch", "--seed", "1", "optimize", copy.Path("demo.kicad_pro").string()});
    ASSERT_EQ(r.Code, 0) << r.Out << r.Err;

    // The pins that changed net, counted once each, as the swap report lists them.
    std::set<std::string> pins;
    const auto csv = Lines(ReadFile(copy.Path("demo.swaps.csv")));
    ASSERT_GT(csv.size(), 1u);
    for (std::size_t i = 1; i < csv.size(); ++i) {
        std::vector<std::string> cells;
        std::istringstream row(csv[i]);
        for (std::string cell; std::getline(row, cell, ',');)
            cells.push_back(cell);
        ASSERT_GE(cells.size(), 3u) << csv[i];
        pins.insert(cells[0] + "-" + cells[1]);
        if (!cells[2].empty())
            pins.insert(cells[0] + "-" + cells[2]);
    }
    const std::regex changed(R"((\d+) pins changed net \((\d+) exchanges tried and kept during the search)");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.Out, m, changed)) << r.Out;
    EXPECT_EQ(std::stoul(m[1]), pins.size());
    EXPECT_GT(std::stoul(m[2]), pins.size() / 2);

    // The board's own figure says what it counts, beside the module's differently counted one.
    EXPECT_NE(r.Out.find("Cross-Overs Reduced From"), std::string::npos);
    EXPECT_NE(r.Out.find("proper crossings of ratsnest lines"), std::string::npos) << r.Out;
    EXPECT_EQ(r.Out.find("cross-overs\n"), std::string::npos) << r.Out;

    // The real time of the run beside the module's whole seconds, also in the JSON.
    const std::regex took(R"(optimised in (\d+\.\d\d) s)");
    ASSERT_TRUE(std::regex_search(r.Out, m, took)) << r.Out;
    const double seconds = std::stod(m[1]);
    EXPECT_GT(seconds, 0.0);
    EXPECT_LT(seconds, 600.0);

    TExampleCopy again;
    const json doc = ParseJson(
        Permutor({"--batch", "--json", "--seed", "1", "optimize", again.Path("demo.kicad_pro").string()}));
    EXPECT_GT(doc.value("elapsed_s", 0.0), 0.0);
    EXPECT_EQ(doc.value("pins_changed", 0u), pins.size());
    // Where the time went, phase by phase; the phases add up to the total, and the module's part
    // is the run's time.
    ASSERT_TRUE(doc.contains("timings")) << doc.dump();
    const json& t = doc["timings"];
    double sum = 0, module = 0;
    for (const char* phase : {"load", "board figures", "build", "greedy", "iterative", "export", "save"}) {
        ASSERT_TRUE(t.contains(phase)) << phase << " in " << t.dump();
        EXPECT_GE(t[phase].get<double>(), 0.0) << phase;
    }
    for (const auto& [phase, seconds] : t.items())
        if (phase != "total") {
            sum += seconds.get<double>();
            if (phase != "load" && phase != "board figures" && phase != "save")
                module += seconds.get<double>();
        }
    EXPECT_NEAR(sum, t.value("total", -1.0), 1e-6);
    EXPECT_NEAR(module, doc.value("elapsed_s", 0.0), 1e-3);
    EXPECT_GT(t.value("iterative", 0.0), 0.0);
    TExampleCopy timed;
    const TRun withTimings =
        Permutor({"--batch", "optimize", "--timings", timed.Path("demo.kicad_pro").string()});
    EXPECT_TRUE(std::regex_search(
        withTimings.Out, std::regex(R"(timings: load \d+\.\d\d s, .*iterative \d+\.\d\d s, .*total)")))
        << withTimings.Out;
    EXPECT_EQ(r.Out.find("timings:"), std::string::npos) << "only with --timings";

    // By hand: one swap, two pins.
    TExampleCopy byHand;
    const TRun swap = Permutor(
        {"--pick", "U1-A1", "--pick", "U1-H2", "swap", "pins", byHand.Path("demo.kicad_pcb").string()});
    ASSERT_EQ(swap.Code, 0) << swap.Err;
    EXPECT_NE(swap.Out.find("2 pins changed net (1 swap made)"), std::string::npos) << swap.Out;
    EXPECT_EQ(swap.Out.find("optimised in"), std::string::npos);
}

TEST(FirstHour, ABoardWithoutSwapDataNamesUnlinkedFootprintsAndTheWayOn) {
    TGlasgowCopy copy;
    const std::string board = copy.Path("glasgow-unrouted.kicad_pcb").string();
    const TRun r = Permutor({"--batch", "optimize", board});
    EXPECT_EQ(r.Code, 1);
    // Right below the module's warning (on the stream it went to): which footprints it means.
    const auto lines = Lines(r.Out + r.Err);
    bool listed = false;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
        if (lines[i].find("Not all PCB components are linked to schematic components.") !=
            std::string::npos) {
            EXPECT_NE(lines[i + 1].find("footprints without a schematic symbol (15): FID1, FID2,"),
                      std::string::npos)
                << lines[i + 1];
            EXPECT_NE(lines[i + 1].find(" and 5 more"), std::string::npos) << lines[i + 1];
            listed = true;
        }
    EXPECT_TRUE(listed) << r.Err;
    // Below the error that every public board gives: how to get on.
    EXPECT_NE(r.Err.find("No Components have been enabled for Swapping"), std::string::npos);
    EXPECT_NE(r.Err.find("hint: give a component swap groups and switch it on, e.g. permutor swapinfo " +
                         copy.Path("glasgow.kicad_pro").string()),
              std::string::npos)
        << r.Err;

    const json doc = ParseJson(Permutor({"--batch", "--json", "optimize", board}));
    ASSERT_TRUE(doc["unlinked_footprints"].is_array());
    EXPECT_EQ(doc["unlinked_footprints"].size(), 15u);
    EXPECT_EQ(doc["unlinked_footprints"][0], "FID1");
    EXPECT_NE(doc.value("hint", std::string()).find("--enable-pins yes"), std::string::npos);
}

TEST(FirstHour, SwitchesReachEveryBoardOfTheProject) {
    TExampleCopy copy;
    // An unrouted copy and a panel beside the project's board.
    fs::copy_file(copy.Path("demo.kicad_pcb"), copy.Path("demo-unrouted.kicad_pcb"));
    fs::copy_file(copy.Path("demo.kicad_pcb"), copy.Path("panel.kicad_pcb"));
    // U2 (the quad NAND) has part swap data and its part swapping switched on: off everywhere.
    const TRun set =
        Permutor({"--batch", "swapinfo", copy.Path("demo.kicad_pro").string(), "U2", "--enable-parts", "no"});
    ASSERT_EQ(set.Code, 0) << set.Out << set.Err;
    for (const char* name : {"demo.kicad_pcb", "demo-unrouted.kicad_pcb", "panel.kicad_pcb"}) {
        EXPECT_NE(set.Out.find("wrote " + copy.Path(name).string()), std::string::npos) << name << "\n"
                                                                                        << set.Out;
        EXPECT_NE(set.Out.find(std::string(name) + ": pin swapping no, part swapping no"), std::string::npos)
            << set.Out;
        // Each board, opened on its own, has the switch off now.
        const json shown = ParseJson(Permutor({"--json", "swapinfo", copy.Path(name).string(), "U2"}));
        EXPECT_EQ(shown.value("part_swapping_enabled", true), false) << name;
    }
    // Nothing about the schematic: no pin moved.
    EXPECT_EQ(set.Out.find("schematic:"), std::string::npos) << set.Out;

    // --board: that file only.
    const std::string unrouted = ReadFile(copy.Path("demo-unrouted.kicad_pcb"));
    const TRun on = Permutor({"--batch", "swapinfo", copy.Path("demo.kicad_pro").string(), "U2",
                              "--enable-parts", "yes", "--board", copy.Path("panel.kicad_pcb").string()});
    ASSERT_EQ(on.Code, 0) << on.Err;
    EXPECT_EQ(CountOf(on.Out, "wrote "), 1u) << on.Out;
    EXPECT_EQ(ReadFile(copy.Path("demo-unrouted.kicad_pcb")), unrouted);
    EXPECT_EQ(ParseJson(Permutor({"--json", "swapinfo", copy.Path("panel.kicad_pcb").string(), "U2"}))
                  .value("part_swapping_enabled", false),
              true);
    EXPECT_EQ(ParseJson(Permutor({"--json", "swapinfo", copy.Path("demo.kicad_pcb").string(), "U2"}))
                  .value("part_swapping_enabled", true),
              false);

    // A footprint on no board, and --board without a switch, change nothing.
    const auto before = Snapshot(copy.Folder.Path());
    EXPECT_EQ(Permutor({"--batch", "swapinfo", copy.Path("demo.kicad_pro").string(), "U2", "--board",
                        copy.Path("panel.kicad_pcb").string()})
                  .Code,
              2);
    EXPECT_EQ(Snapshot(copy.Folder.Path()), before);
}

TEST(FirstHour, BinaryFileBytesAreShownPrintable) {
    TTempFolder folder;
    const fs::path board = folder.Path() / "x.kicad_pcb";
    {
        std::ofstream out(board, std::ios::binary);
        out << std::string("\x7f"
                           "ELF\x02\x01\x01\0\0\x1b[31m\xff\xfe",
                           16);
    }
    const TRun r = Permutor({"info", board.string()});
    EXPECT_EQ(r.Code, 3);
    EXPECT_NE(r.Err.find(board.string() + ":1:1:"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("\\x7FELF\\x02"), std::string::npos) << r.Err;
    for (char c : r.Err)
        EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(static_cast<unsigned char>(c));
}

TEST(FirstHour, AResultThatCannotBeSavedStopsBeforeTheRun) {
    TExampleCopy copy;
    // The swap report's name is taken by a folder: the run could not be saved.
    fs::create_directory(copy.Path("demo.swaps.csv"));
    const auto before = Snapshot(copy.Folder.Path());
    const TRun r = Permutor({"--batch", "optimize", copy.Path("demo.kicad_pro").string()});
    EXPECT_EQ(r.Code, 3);
    EXPECT_NE(r.Err.find(copy.Path("demo.swaps.csv").string()), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find("nothing was run or written"), std::string::npos) << r.Err;
    // Found out before the optimisers ran.
    EXPECT_EQ(r.Out.find("Results From Net/Pin Optimization"), std::string::npos) << r.Out;
    EXPECT_EQ(Snapshot(copy.Folder.Path()), before);
    // A sheet that follows the board counts too, and so does its backup.
    fs::remove(copy.Path("demo.swaps.csv"));
    fs::create_directory(copy.Path("demo.kicad_sch.bak"));
    EXPECT_EQ(Permutor({"--batch", "optimize", copy.Path("demo.kicad_pro").string()}).Code, 3);
    // ... unless the schematic is left alone, or nothing is saved.
    EXPECT_EQ(Permutor({"--batch", "--dry-run", "optimize", copy.Path("demo.kicad_pro").string()}).Code, 0);
    EXPECT_EQ(
        Permutor({"--batch", "--no-back-annotate", "optimize", copy.Path("demo.kicad_pro").string()}).Code,
        0);
    // A folder nobody may write to (only meaningful when not root, who may write anyway).
    if (::geteuid() != 0) {
        TExampleCopy locked;
        fs::permissions(locked.Folder.Path(), fs::perms::owner_write, fs::perm_options::remove);
        const TRun denied = Permutor({"--batch", "optimize", locked.Path("demo.kicad_pro").string()});
        fs::permissions(locked.Folder.Path(), fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(denied.Code, 3);
        EXPECT_EQ(denied.Out.find("Results From Net/Pin Optimization"), std::string::npos);
    }
}

TEST(FirstHour, DemoKeepsItsOutputAndAQuietSetUp) {
    TTempFolder folder;
    const fs::path out = folder.Path() / "demo-output";
    const std::string script = Quote(fs::path(PERMUTOR_SOURCE_DIR) / "scripts" / "demo.sh");
    // The program built for the tests stands in for the demo's own build.
    const std::string command = "env -u PERMUTOR_MODULE PERMUTOR_DEMO_OUTPUT=" + Quote(out) +
                                " PERMUTOR_DEMO_PERMUTOR=" + Quote(PERMUTOR_CLI_PATH) + " bash " + script;
    const TRun run = Shell(command);
    ASSERT_EQ(run.Code, 0) << run.Out << run.Err;
    const auto lines = Lines(run.Out);
    ASSERT_GT(lines.size(), 4u);
    // The set-up says one line; the figures follow at once.
    EXPECT_EQ(lines[0].rfind("Setting up:", 0), 0u) << run.Out;
    EXPECT_EQ(lines[1], "== before") << run.Out;
    // What it left, named last, is there.
    EXPECT_NE(lines[lines.size() - 2].find("optimised copy of the example: " + out.string() + "/demo/"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(lines.back().find(out.string() + "/before.svg, " + out.string() + "/after.svg"),
              std::string::npos)
        << run.Out;
    for (const char* name :
         {"demo/demo.kicad_pcb", "demo/demo.swaps.csv", "demo/demo.kicad_pcb.bak", "before.svg", "after.svg"})
        EXPECT_TRUE(fs::exists(out / name)) << name;
    EXPECT_NE(ReadFile(out / "demo" / "demo.kicad_pcb"), ReadFile(cExample / "demo.kicad_pcb"));

    // A set-up that fails shows why (the end of its log) and stops before the demo.
    const TRun failed = Shell("env PERMUTOR_DEMO_OUTPUT=" + Quote(out) +
                              " PERMUTOR_DEMO_BUILD=/proc/no-such-build bash " + script);
    EXPECT_EQ(failed.Code, 1);
    EXPECT_NE(failed.Err.find("demo: set-up failed: cmake"), std::string::npos) << failed.Err;
    EXPECT_NE(failed.Err.find("setup.log"), std::string::npos) << failed.Err;
    EXPECT_EQ(failed.Out.find("== before"), std::string::npos) << failed.Out;
    EXPECT_EQ(Lines(failed.Out).size(), 1u) << failed.Out;
}
