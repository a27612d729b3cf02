// `permutor optimize` end to end with the real module: on the embedded example and on an FPGA
// board from the shared set, what reaches the files (the board, its backup, the swap report) and
// what the options change; and Ctrl-C during a run without a user interface.
#include "CliTestSupport.h"

#include "pcbhost/cli/AbortKey.h"
#include "pcbhost/cli/SubCommands.h"
#include "pcbhost/model/Host.h"
#include "pcbhost/project/KicadProject.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

using namespace clitest;
using nlohmann::json;

namespace {

// `permutor info --json` of a document: its board figures.
json BoardInfo(const fs::path& document) {
    return InfoJson(document)["board"];
}

struct TCsvRow {
    std::string Component, PinA, PinB, NetABefore, NetBBefore, NetAAfter, NetBAfter;
};

// The swap report: net names here hold no commas or quotes, so a plain split reads it.
std::vector<TCsvRow> ReadSwapReport(const fs::path& path) {
    std::istringstream in(ReadFile(path));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "component,pin_a,pin_b,net_a_before,net_b_before,net_a_after,net_b_after");
    std::vector<TCsvRow> rows;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::size_t start = 0;
        for (;;) {
            const auto comma = line.find(',', start);
            f.push_back(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        EXPECT_EQ(f.size(), 7u) << line;
        f.resize(7);
        rows.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6]});
    }
    return rows;
}

// Replays the swap report on the nets the board had before and checks that it ends on the nets
// of the saved board, pad by pad, and that no pad changed net without a row. Returns the rows.
std::vector<TCsvRow> ExpectReportMatches(const fs::path& report, const TNets& before, const TNets& after) {
    const auto rows = ReadSwapReport(report);
    TNets replayed = before;
    std::set<std::string> named;
    for (const auto& r : rows) {
        const std::string a = r.Component + "-" + r.PinA, b = r.Component + "-" + r.PinB;
        EXPECT_EQ(replayed[a], r.NetABefore) << a;
        replayed[a] = r.NetAAfter;
        named.insert(a);
        if (r.PinB.empty())
            continue;
        EXPECT_EQ(replayed[b], r.NetBBefore) << b;
        EXPECT_EQ(r.NetAAfter, r.NetBBefore) << a;
        EXPECT_EQ(r.NetBAfter, r.NetABefore) << b;
        replayed[b] = r.NetBAfter;
        named.insert(b);
    }
    for (const auto& [pad, net] : after) {
        EXPECT_EQ(replayed[pad], net) << pad;
        if (before.at(pad) != net) {
            EXPECT_TRUE(named.count(pad)) << pad << " changed net without a row in the report";
        }
    }
    return rows;
}

} // namespace

// The main job: the example optimised with a seed, as `scripts/demo.sh` runs it.
TEST(Optimize, TheExampleGetsShorterAndUncrossedAndIsSavedWithItsReport) {
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    const fs::path project = folder.Path() / "demo.kicad_pro";
    const json before = BoardInfo(project);
    const TRun run = Permutor({"--batch", "--seed", "1", "--json", "optimize", project.string()});
    ASSERT_EQ(run.Code, 0) << run.Err << run.Out;
    const json after = BoardInfo(project);
    EXPECT_LT(after["ratsnest_length_mm"].get<double>(), before["ratsnest_length_mm"].get<double>());
    EXPECT_LT(after["crossovers"].get<std::int64_t>(), before["crossovers"].get<std::int64_t>());

    const json doc = ParseJson(run);
    EXPECT_EQ(doc["interrupted"], false);
    EXPECT_EQ(doc["parameters"], "");
    // The host's own figures before and after are those `info` gives.
    EXPECT_EQ(doc["board_before"]["crossovers"], before["crossovers"]);
    EXPECT_EQ(doc["board_after"]["crossovers"], after["crossovers"]);
    EXPECT_DOUBLE_EQ(doc["board_after"]["ratsnest_length_mm"].get<double>(),
                     after["ratsnest_length_mm"].get<double>());
    // The module's report, as text and in lines without the box's carriage returns.
    ASSERT_TRUE(doc.contains("result")) << run.Out;
    EXPECT_EQ(doc["result"]["caption"], "Results From Net/Pin Optimization");
    const auto lines = doc["result"]["lines"].get<std::vector<std::string>>();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("Length Reduced From 704.951 To ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("Cross-Overs Reduced From ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("Elapsed Time: ", 0), 0u) << lines[2];

    // The board and its sheet are replaced with backups of the originals: the labels on the
    // swapped pins follow them; nothing else is touched.
    for (const char* name : {"demo.kicad_pcb", "demo.kicad_sch"}) {
        const fs::path bak = folder.Path() / (std::string(name) + ".bak");
        ASSERT_TRUE(fs::exists(bak)) << name;
        EXPECT_TRUE(ReadFile(bak) == ReadFile(cExample / name)) << name;
        EXPECT_FALSE(ReadFile(folder.Path() / name) == ReadFile(cExample / name)) << name;
    }
    for (const char* name : {"demo.kicad_pro", "demo.pinswap.json"})
        EXPECT_TRUE(ReadFile(folder.Path() / name) == ReadFile(cExample / name)) << name;
    const json& annotation = doc["back_annotation"];
    EXPECT_GT(annotation["labels_renamed"].get<int>(), 0);
    EXPECT_EQ(annotation["wires_cut"], 0);
    EXPECT_TRUE(annotation["needs_edit"].empty()) << annotation.dump(2);

    // The written board reloads, and the swap report turns its old nets into its new ones.
    const TNets netsBefore = PadNets(cExample / "demo.kicad_pro");
    const TNets netsAfter = PadNets(project);
    ASSERT_EQ(netsAfter.size(), netsBefore.size());
    const auto rows = ExpectReportMatches(folder.Path() / "demo.swaps.csv", netsBefore, netsAfter);
    EXPECT_FALSE(rows.empty());
    for (const auto& r : rows)
        EXPECT_TRUE(r.Component == "U1" || r.Component == "U2") << r.Component;
    EXPECT_EQ(doc["swaps"].size(), rows.size());
    EXPECT_GE(doc["swaps_logged"].get<std::size_t>(), rows.size());
}

// Each run its own process, as a user runs it: the seed makes the optimisers' choices repeatable.
TEST(Optimize, TheSameSeedGivesTheSameBoard) {
    TTempFolder first, second;
    TRun runs[2];
    const TTempFolder* folders[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        folders[i]->CopyFilesOf(cExample);
        runs[i] = Program("--batch --seed 7 optimize " + Quote(folders[i]->Path() / "demo.kicad_pro"));
        ASSERT_EQ(runs[i].Code, 0) << runs[i].Out;
    }
    const std::string board = ReadFile(first.Path() / "demo.kicad_pcb");
    EXPECT_TRUE(board == ReadFile(second.Path() / "demo.kicad_pcb"));
    EXPECT_TRUE(board != ReadFile(cExample / "demo.kicad_pcb"));
    EXPECT_EQ(ReadFile(first.Path() / "demo.swaps.csv"), ReadFile(second.Path() / "demo.swaps.csv"));
    // The text report shows the box in lines and the board's figures before and after.
    const std::string& out = runs[0].Out;
    EXPECT_NE(out.find("Results From Net/Pin Optimization:\n  Length Reduced From"), std::string::npos)
        << out;
    EXPECT_NE(out.find("board: ratsnest 704.951 mm -> "), std::string::npos) << out;
    EXPECT_EQ(out.find('\r'), std::string::npos);
}

TEST(Optimize, ADryRunLeavesEveryFileAsItWas) {
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    const auto before = Snapshot(folder.Path());
    const TRun r = Permutor({"--batch", "--seed", "1", "--json", "--dry-run", "optimize", "--no-iterative",
                             (folder.Path() / "demo.kicad_pro").string()});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const json doc = ParseJson(r);
    EXPECT_EQ(doc["changed"], true); // there was something to save
    EXPECT_TRUE(doc["saved"].empty());
    EXPECT_TRUE(Snapshot(folder.Path()) == before);
}

// --no-iterative with --output, --no-backup and pictures: the fast optimiser alone improves the
// board, which goes to the other file with its report beside it, leaving the original alone.
TEST(Optimize, TheFastOptimiserAloneWritesWhereItIsTold) {
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    const auto original = Snapshot(folder.Path());
    const fs::path out = folder.Path() / "out" / "better.kicad_pcb";
    fs::create_directories(out.parent_path());
    const fs::path svgBefore = folder.Path() / "before.svg", svgAfter = folder.Path() / "after.svg";
    const TRun r = Permutor({"--batch", "--json", "--output", out.string(), "--no-backup", "--svg-before",
                             svgBefore.string(), "--svg-after", svgAfter.string(), "optimize",
                             "--no-iterative", (folder.Path() / "demo.kicad_pro").string()});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const json doc = ParseJson(r);
    EXPECT_EQ(doc["parameters"], "Iterative=False");
    // The fast optimiser fixes each swappable pin at most once, so it commits at most one swap
    // per pin; the iterative one would commit thousands on this board.
    std::size_t swappablePins = 0;
    for (const char* reference : {"U1", "U2"}) {
        const json info = ParseJson(
            Permutor({"--json", "swapinfo", (folder.Path() / "demo.kicad_pro").string(), reference}));
        swappablePins += CountOf(info["pin_swap"].get<std::string>(), "Pin_");
    }
    ASSERT_GT(swappablePins, 0u);
    EXPECT_GT(doc["swaps_logged"].get<std::size_t>(), 0u);
    EXPECT_LE(doc["swaps_logged"].get<std::size_t>(), swappablePins);
    for (const auto& q : doc["questions"])
        EXPECT_NE(q["caption"], "Confirm Iterative Optimizer?");

    EXPECT_LT(doc["board_after"]["crossovers"].get<std::int64_t>(),
              doc["board_before"]["crossovers"].get<std::int64_t>());
    EXPECT_LT(BoardInfo(out)["ratsnest_length_mm"].get<double>(),
              doc["board_before"]["ratsnest_length_mm"].get<double>());
    // The original folder holds what it held, plus the pictures; no backup anywhere.
    auto now = Snapshot(folder.Path());
    EXPECT_TRUE(now.erase("before.svg") && now.erase("after.svg"));
    EXPECT_TRUE(now == original);
    EXPECT_FALSE(fs::exists(out.string() + ".bak"));
    ExpectReportMatches(out.parent_path() / "better.swaps.csv", PadNets(cExample / "demo.kicad_pro"),
                        PadNets(out));
}

TEST(Optimize, OptionsBecomeTheRunsParameters) {
    using pcbhost::cli::OptimizeParameters;
    pcbhost::cli::TSubCommandArgs a;
    EXPECT_EQ(OptimizeParameters(a), "");
    a.IterativeStart = "ANNEAL";
    EXPECT_EQ(OptimizeParameters(a), "IterativeStart=Anneal");
    a.NoIterative = true;
    a.IterativeStart = "improve";
    EXPECT_EQ(OptimizeParameters(a), "Iterative=False|IterativeStart=Improve");
    a.Gates = a.Pairs = true;
    EXPECT_EQ(OptimizeParameters(a), "Iterative=False|IterativeStart=Improve|Gates=True|Pairs=True");

    EXPECT_EQ(Permutor({"optimize", "--iterative-start", "sideways", "x.kicad_pro"}).Code, 2);
    const TRun help = Permutor({"optimize", "--help"});
    EXPECT_EQ(help.Code, 0);
    for (const char* word : {"--no-iterative", "--iterative-start", "improve|anneal", "--gates", "--pairs"})
        EXPECT_NE(help.Out.find(word), std::string::npos) << word;
}

TEST(Optimize, ABoardWithoutSwapEnabledComponentsIsReportedAndLeftAlone) {
    TTempFolder folder;
    folder.CopyFilesOf(SharedProjectFolder("pico-ice.kicad_pro"));
    const auto before = Snapshot(folder.Path());
    const TRun r = Permutor({"--batch", "optimize", (folder.Path() / "pico-ice.kicad_pro").string()});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("No Components have been enabled for Swapping"), std::string::npos) << r.Err;
    EXPECT_TRUE(Snapshot(folder.Path()) == before);
}

// Ctrl-C in a run without a user interface stops the run, keeps the partial result and saves it.
// The press comes from another thread as soon as the command works, as the signal handler would
// make it; where the optimisers first look for it depends on timing, so the checks hold wherever
// the run stopped.
TEST(Optimize, CtrlCInBatchStopsAndKeepsThePartialResult) {
    namespace AbortKey = pcbhost::cli::AbortKey;
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    std::atomic<bool> done{false}, pressed{false};
    std::thread presser([&] {
        while (!done && !pressed) {
            if (AbortKey::OnInterrupt() == AbortKey::eInterrupt_Noted)
                pressed = true;
            else
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    const TRun r = Permutor(
        {"--batch", "--seed", "1", "--json", "optimize", (folder.Path() / "demo.kicad_pro").string()});
    done = true;
    presser.join();
    ASSERT_TRUE(pressed);
    ASSERT_EQ(r.Code, 0) << r.Err;
    const json doc = ParseJson(r);
    ASSERT_EQ(doc["interrupted"], true) << r.Out;
    // The abort question got the key's Yes; no further phase was started.
    bool abortAnswered = false;
    for (const auto& q : doc["questions"]) {
        if (q["text"] == "Abort Pin/Net Optimization Yes/No?") {
            EXPECT_EQ(q["answer"], "Yes");
            EXPECT_EQ(q["how"], "Ctrl-C");
            abortAnswered = true;
        }
        if (q["caption"] == "Confirm Iterative Optimizer?") {
            EXPECT_EQ(q["answer"], "No");
        }
        if (q["caption"] == "Confirm Continue With Net/Pin Assignment") {
            EXPECT_EQ(q["answer"], "Yes");
        }
    }
    EXPECT_TRUE(abortAnswered) << r.Out;
    // What was kept is saved whole, with a report that matches it.
    if (doc["changed"] == true) {
        ASSERT_TRUE(fs::exists(folder.Path() / "demo.kicad_pcb.bak"));
        ExpectReportMatches(folder.Path() / "demo.swaps.csv", PadNets(cExample / "demo.kicad_pro"),
                            PadNets(folder.Path() / "demo.kicad_pro"));
    }
}

// An FPGA's I/O pins swap within their banks: U30's pads carry the bank in their pin function
// (IOT_, IOR_, IOB_, IOL_). Configuration pins stay where they are.
namespace {

std::string BankSwapText(const std::string& boardText, const std::string& reference,
                         std::map<std::string, char>& bankOfPin) {
    const auto at = boardText.find("(property \"Reference\" \"" + reference + "\"");
    EXPECT_NE(at, std::string::npos);
    if (at == std::string::npos)
        return {};
    const auto start = boardText.rfind("(footprint", at);
    std::size_t end = start;
    for (int depth = 0; end < boardText.size(); ++end) {
        if (boardText[end] == '(')
            ++depth;
        else if (boardText[end] == ')' && --depth == 0)
            break;
    }
    const std::string footprint = boardText.substr(start, end - start);
    std::string text;
    for (auto pad = footprint.find("(pad \""); pad != std::string::npos;
         pad = footprint.find("(pad \"", pad + 1)) {
        const auto nameStart = pad + 6;
        const std::string name = footprint.substr(nameStart, footprint.find('"', nameStart) - nameStart);
        const auto next = footprint.find("(pad \"", nameStart);
        const auto function = footprint.find("(pinfunction \"", nameStart);
        if (function == std::string::npos || (next != std::string::npos && function > next))
            continue;
        const auto fStart = function + 14;
        const std::string f = footprint.substr(fStart, footprint.find('"', fStart) - fStart);
        if (f.size() < 4 || f.compare(0, 2, "IO") != 0 || f[3] != '_' ||
            std::string("TRBL").find(f[2]) == std::string::npos)
            continue;
        bool configuration = false;
        for (const char* suffix : {"_SDO", "_SDI", "_SCK", "_SS"})
            configuration =
                configuration || (f.size() > std::strlen(suffix) &&
                                  f.compare(f.size() - std::strlen(suffix), std::string::npos, suffix) == 0);
        if (configuration || f.find("_CBSEL") != std::string::npos)
            continue;
        bankOfPin[name] = f[2];
        text += (text.empty() ? "" : "|") + std::string("Pin_") + name + "=" + f[2];
    }
    return text;
}

} // namespace

// The FPGA's I/O banks as pin swap groups, the configuration pins left out: swaps stay within a
// bank, and length and cross-overs both fall.
TEST(Optimize, AnFpgaSwapsWithinItsBanksOnASharedBoard) {
    TTempFolder folder;
    folder.CopyFilesOf(fs::path(PERMUTOR_SHARED_DIR) / "boards/glasgow/hardware/boards/glasgow");
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    const fs::path board = folder.Path() / "glasgow-unrouted.kicad_pcb";
    std::map<std::string, char> bank;
    const std::string swapText = BankSwapText(ReadFile(board), "U30", bank);
    ASSERT_GT(bank.size(), 80u);
    EXPECT_EQ(bank.count("L10"), 0u); // IOB_107_SCK
    EXPECT_EQ(bank.count("H9"), 0u);  // IOB_104_CBSEL1
    const TRun set =
        Permutor({"swapinfo", board.string(), "U30", "--pin-swap", swapText, "--enable-pins", "yes"});
    ASSERT_EQ(set.Code, 0) << set.Err;

    const TNets before = PadNets(board);
    const json infoBefore = BoardInfo(board);
    const TRun r = Permutor({"--batch", "--seed", "1", "--json", "optimize", board.string()});
    // Some FPGA pins are wired straight to resistors, and the project does not allow net label
    // changes: those need a schematic edit, which the exit code says; the rest followed.
    ASSERT_EQ(r.Code, 4) << r.Err;
    const json annotation = json::parse(r.Out)["back_annotation"];
    EXPECT_GT(annotation["labels_renamed"].get<int>(), 0);
    ASSERT_FALSE(annotation["needs_edit"].empty());
    for (const auto& pin : annotation["needs_edit"]) {
        EXPECT_EQ(pin["reference"], "U30");
        EXPECT_NE(pin["reason"].get<std::string>().find("does not allow net label changes"), std::string::npos)
            << pin.dump();
    }
    const json infoAfter = BoardInfo(board);
    EXPECT_LT(infoAfter["ratsnest_length_mm"].get<double>(), infoBefore["ratsnest_length_mm"].get<double>());
    EXPECT_LT(infoAfter["crossovers"].get<std::int64_t>(), infoBefore["crossovers"].get<std::int64_t>());

    const auto rows =
        ExpectReportMatches(folder.Path() / "glasgow-unrouted.swaps.csv", before, PadNets(board));
    ASSERT_FALSE(rows.empty());
    for (const auto& row : rows) {
        EXPECT_EQ(row.Component, "U30");
        ASSERT_TRUE(bank.count(row.PinA) && bank.count(row.PinB)) << row.PinA << " " << row.PinB;
        EXPECT_EQ(bank[row.PinA], bank[row.PinB]) << row.PinA << " " << row.PinB;
    }
    EXPECT_TRUE(fs::exists(folder.Path() / "glasgow-unrouted.kicad_pcb.bak"));
}
