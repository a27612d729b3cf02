// The `permutor` command line run in-process on copies of the shared KiCad projects: usage,
// module commands and their reports, `info` figures, `swapinfo` round trips through the files,
// and what happens to files on disk when something fails.
#include "CliTestSupport.h"

#include "pcbhost/model/Host.h"
#include "pcbhost/project/KicadProject.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>

using namespace clitest;
using nlohmann::json;

namespace {

const char* const cSevenCommands[] = {"ConfigurePermutor",    "RunAutoPermutor",
                                      "RunManualPermutor",    "RunKESTRELPermutor",
                                      "RunManualPartSwapper", "RunManualDifferentialPairSwapper",
                                      "KESTRELPinSwap"};

// A component of the project with a footprint on its board and at least two pins: what the
// swap data tests work on, found in the project rather than named here.
struct TComponentPick {
    std::string Reference;
    std::vector<std::string> Pins;
    std::string Unit1UniqueId;
};

TComponentPick PickComponent(const fs::path& project) {
    pcbhost::THost host;
    auto p = pcbhost::kicad::TKicadProject::Open(host, project.string());
    for (const auto& symbol : p->Schematics()->Symbols()) {
        if (symbol->Pins().size() < 2 || symbol->Designator.empty() || symbol->Designator[0] == '#')
            continue;
        if (!p->Board() || !p->Board()->FindComponent(symbol->Designator))
            continue;
        TComponentPick pick{symbol->Designator, {}, {}};
        for (const auto& pin : symbol->Pins())
            pick.Pins.push_back(pin->DesignatorText());
        if (auto* unit = symbol->Unit(1))
            pick.Unit1UniqueId = unit->UniqueIdText();
        return pick;
    }
    ADD_FAILURE() << "no component with a footprint and two pins in " << project;
    return {};
}

std::set<std::string> Entries(const std::string& text) {
    std::set<std::string> entries;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto bar = text.find('|', start);
        if (bar == std::string::npos)
            bar = text.size();
        if (bar > start)
            entries.insert(text.substr(start, bar - start));
        start = bar + 1;
    }
    return entries;
}

// Each test works on its own copy of one shared project, with its own option storage.
class CliProjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder.CopyFilesOf(SharedProjectFolder("pico-ice.kicad_pro"));
        Project = (Folder.Path() / "pico-ice.kicad_pro").string();
        Board = (Folder.Path() / "pico-ice.kicad_pcb").string();
        Schematic = (Folder.Path() / "pico-ice.kicad_sch").string();
        setenv("XDG_CONFIG_HOME", (Folder.Path() / "config").c_str(), 1);
    }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }

    bool HasBackups() const {
        for (const auto& entry : fs::directory_iterator(Folder.Path()))
            if (entry.path().extension() == ".bak")
                return true;
        return false;
    }

    TTempFolder Folder;
    std::string Project, Board, Schematic;
};

} // namespace

// ---- usage ----

TEST(CliUsage, HelpListsSubCommandsAndExitCodes) {
    const TRun r = Permutor({"--help"});
    EXPECT_EQ(r.Code, 0);
    for (const char* word : {"optimize", "swap", "configure", "query", "commands", "run", "info", "swapinfo",
                             "--batch", "--answer", "--pick", "--seed", "--dry-run", "Exit codes"})
        EXPECT_NE(r.Out.find(word), std::string::npos) << word;
}

TEST(CliUsage, WrongCommandLinesExitWithTwo) {
    EXPECT_EQ(Permutor({}).Code, 2);
    EXPECT_EQ(Permutor({"frobnicate", "x.kicad_pcb"}).Code, 2);
    EXPECT_EQ(Permutor({"swap", "sideways", "x.kicad_pcb"}).Code, 2);
    EXPECT_EQ(Permutor({"--yes", "--no", "info", "x.kicad_pcb"}).Code, 2);
    EXPECT_EQ(Permutor({"swapinfo", "x.kicad_pro", "U1", "--enable-pins", "maybe"}).Code, 2);
    EXPECT_EQ(Permutor({"--seed", "many", "info", "x.kicad_pcb"}).Code, 2);
}

TEST(CliUsage, MalformedAnswersAndPicksAreRejectedBeforeAnyFileIsOpened) {
    TRun r = Permutor({"--answer", "Confirm", "info", "/nonexistent.kicad_pcb"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_NE(r.Err.find("--answer"), std::string::npos);
    r = Permutor({"--pick", "U1", "info", "/nonexistent.kicad_pcb"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_NE(r.Err.find("REF-PAD"), std::string::npos);
    r = Permutor({"--pick", "1,2,Silk", "info", "/nonexistent.kicad_pcb"});
    EXPECT_EQ(r.Code, 2);
}

TEST(CliUsage, AMissingFileExitsWithThree) {
    const TRun r = Permutor({"info", "/nonexistent/board.kicad_pcb"});
    EXPECT_EQ(r.Code, 3);
    EXPECT_NE(r.Err.find("/nonexistent/board.kicad_pcb"), std::string::npos);
}

TEST(CliUsage, AModuleThatCannotBeLoadedExitsWithThree) {
    TTempFolder folder;
    folder.CopyFilesOf(SharedProjectFolder("pico-ice.kicad_pro"));
    const TRun r = Permutor({"--module", (folder.Path() / "missing.so").string(), "commands",
                             (folder.Path() / "pico-ice.kicad_pcb").string()});
    EXPECT_EQ(r.Code, 3);
    EXPECT_NE(r.Err.find("missing.so"), std::string::npos);
}

// ---- module commands ----

TEST_F(CliProjectTest, CommandsOnABoardShowAllSevenWithTheExternalToolOnesHidden) {
    const TRun r = Permutor({"--json", "commands", Board});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const json doc = ParseJson(r);
    ASSERT_EQ(doc["commands"].size(), 7u);
    std::set<std::string> names;
    for (const auto& c : doc["commands"]) {
        const std::string name = c["command"];
        names.insert(name);
        const bool externalTool = name == "RunKESTRELPermutor" || name == "KESTRELPinSwap";
        EXPECT_EQ(c["visible"], !externalTool) << name;
        EXPECT_EQ(c["enabled"], !externalTool) << name;
        EXPECT_EQ(c["checked"], false) << name;
    }
    for (const char* name : cSevenCommands)
        EXPECT_TRUE(names.count(name)) << name;
    EXPECT_EQ(doc["view"], fs::absolute(Board).lexically_normal().string());
}

TEST_F(CliProjectTest, CommandsOnASchematicUseTheSchematicView) {
    const TRun r = Permutor({"commands", Schematic});
    ASSERT_EQ(r.Code, 0) << r.Err;
    for (const char* name : cSevenCommands)
        EXPECT_NE(r.Out.find(name), std::string::npos) << name;
    // One table row per command, with its state words.
    const std::regex hidden(R"(RunKESTRELPermutor\s+no\s+no\s+no)");
    EXPECT_TRUE(std::regex_search(r.Out, hidden)) << r.Out;
    const std::regex shown(R"(RunManualPermutor\s+yes\s+yes\s+no)");
    EXPECT_TRUE(std::regex_search(r.Out, shown)) << r.Out;
    const json doc = ParseJson(Permutor({"--json", "commands", Schematic}));
    EXPECT_EQ(doc["view"], fs::absolute(Schematic).lexically_normal().string());
}

TEST_F(CliProjectTest, ASwapCommandOnASchematicReportsItNeedsABoard) {
    const TRun r = Permutor({"run", "RunManualPermutor", Schematic});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("Pin Swapping must be run from a PCB Document"), std::string::npos) << r.Err;
    const TRun parts = Permutor({"swap", "parts", Schematic});
    EXPECT_EQ(parts.Code, 1);
    EXPECT_NE(parts.Err.find("Part Swapping must be run from a PCB Document"), std::string::npos)
        << parts.Err;
}

TEST_F(CliProjectTest, SwapsAndConfigureOnABoardWithoutSwapDataChangeNothing) {
    const auto before = Snapshot(Folder.Path());
    // The interactive swappers build the data set first: no component is enabled here.
    for (auto args :
         std::vector<std::vector<std::string>>{{"swap", "pins", Board}, {"swap", "pairs", Board}}) {
        const TRun r = Permutor(args);
        EXPECT_EQ(r.Code, 1) << args[1];
        EXPECT_NE(r.Err.find("No Components have been enabled for Swapping in PCB Document"),
                  std::string::npos)
            << r.Err;
    }
    // Without a terminal or --do, the list is shown and closed unapplied.
    const TRun configure = Permutor({"configure", Project});
    EXPECT_EQ(configure.Code, 0) << configure.Err;
    EXPECT_NE(configure.Out.find("Configure Swapping Information In Components"), std::string::npos);
    EXPECT_NE(configure.Out.find("nothing is written"), std::string::npos) << configure.Out;
    EXPECT_EQ(Snapshot(Folder.Path()), before);
}

TEST_F(CliProjectTest, BatchSendsBoxesToTheSinkAndJsonGathersThem) {
    const TRun r = Permutor({"--batch", "--json", "run", "RunManualPermutor", Schematic});
    EXPECT_EQ(r.Code, 1);
    const json doc = ParseJson(r);
    ASSERT_EQ(doc["messages"].size(), 1u) << r.Out;
    EXPECT_EQ(doc["messages"][0]["source"], "sink");
    EXPECT_EQ(doc["messages"][0]["caption"], "Error");
    EXPECT_EQ(doc["messages"][0]["text"], "Pin Swapping must be run from a PCB Document");
    EXPECT_EQ(doc["exit_code"], 1);
    EXPECT_EQ(doc["module_command"], "RunManualPermutor");
    // With an answer given the user interface is there: the same text arrives as a box.
    const json boxed = ParseJson(Permutor({"--yes", "--json", "run", "RunManualPermutor", Schematic}));
    ASSERT_EQ(boxed["messages"].size(), 1u);
    EXPECT_EQ(boxed["messages"][0]["source"], "box");
    EXPECT_EQ(boxed["messages"][0]["kind"], "error");
}

TEST_F(CliProjectTest, SeedIsKeptForTheOptimiser) {
    const json doc = ParseJson(Permutor({"--seed", "18446744073709551615", "--json", "optimize", Project}));
    EXPECT_EQ(doc["seed"].get<std::uint64_t>(), 18446744073709551615ull);
    EXPECT_EQ(doc["module_command"], "RunAutoPermutor");
    EXPECT_FALSE(ParseJson(Permutor({"--json", "optimize", Project})).contains("seed"));
}

TEST_F(CliProjectTest, UnknownAndDisabledCommandsAreNotLaunched) {
    TRun r = Permutor({"run", "NoSuchCommand", Board});
    EXPECT_EQ(r.Code, 2);
    EXPECT_NE(r.Err.find("NoSuchCommand"), std::string::npos);
    r = Permutor({"run", "KESTRELPinSwap", Board});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("disabled"), std::string::npos);
}

TEST_F(CliProjectTest, ConfigureNamesTheComponentByItsFirstUnitsUniqueId) {
    const TComponentPick pick = PickComponent(Project);
    ASSERT_FALSE(pick.Unit1UniqueId.empty());
    const json doc = ParseJson(Permutor({"--json", "configure", Project, pick.Reference}));
    EXPECT_EQ(doc["parameters"], "UniqueId=" + pick.Unit1UniqueId);
    EXPECT_EQ(doc["exit_code"], 1); // the dialogs are not built yet
    const TRun unknown = Permutor({"configure", Project, "NOPE99"});
    EXPECT_EQ(unknown.Code, 1);
    EXPECT_NE(unknown.Err.find("NOPE99"), std::string::npos);
    EXPECT_NE(unknown.Err.find(Project), std::string::npos);
}

// ---- swapinfo ----

TEST_F(CliProjectTest, SwapInfoSetThenReadBackThroughTheFiles) {
    const TComponentPick pick = PickComponent(Project);
    const std::string pinSwap = "Pin_" + pick.Pins[0] + "=A|Pin_" + pick.Pins[1] + "=A";
    TRun r = Permutor({"swapinfo", Project, pick.Reference, "--pin-swap", pinSwap, "--part-swap",
                       "PartPin_" + pick.Pins[0] + "=1", "--enable-pins", "yes", "--allow-net-label-changes",
                       "yes"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_NE(r.Out.find("wrote"), std::string::npos);
    EXPECT_TRUE(fs::exists(Board + ".bak"));
    EXPECT_TRUE(fs::exists(Schematic + ".bak"));
    EXPECT_TRUE(fs::exists(Folder.Path() / "pico-ice.pinswap.json"));
    EXPECT_NE(ReadFile(Schematic).find("PinSwap"), std::string::npos);

    // A second run loads the files afresh.
    const json doc = ParseJson(Permutor({"--json", "swapinfo", Project, pick.Reference}));
    EXPECT_EQ(Entries(doc["pin_swap"]), Entries(pinSwap));
    EXPECT_EQ(doc["part_swap"], "PartPin_" + pick.Pins[0] + "=1");
    EXPECT_EQ(doc["pair_swap"], "");
    EXPECT_EQ(doc["pin_swapping_enabled"], true);
    EXPECT_EQ(doc["part_swapping_enabled"], false);
    EXPECT_EQ(doc["allow_net_label_changes"], true);
    EXPECT_EQ(doc["allow_pin_changes"], true);
    EXPECT_FALSE(doc.contains("saved")) << "reading saves nothing";

    // And so does a host of its own, reading the model rather than the command line.
    pcbhost::THost host;
    auto p = pcbhost::kicad::TKicadProject::Open(host, Project);
    auto* symbol = p->FindSymbol(pick.Reference);
    ASSERT_TRUE(symbol);
    EXPECT_EQ(symbol->FindPin(pick.Pins[1])->SwapIdText(permutor::host::eSwapId_Pin), "A");
    EXPECT_TRUE(p->Board()->FindComponent(pick.Reference)->PinSwappingEnabled());
    EXPECT_TRUE(p->SwapOptions().AllowNetLabelChanges);
}

TEST_F(CliProjectTest, SwapInfoClearsATextWithAnEmptyValue) {
    const TComponentPick pick = PickComponent(Project);
    ASSERT_EQ(
        Permutor({"swapinfo", Project, pick.Reference, "--pin-swap", "Pin_" + pick.Pins[0] + "=X"}).Code, 0);
    ASSERT_EQ(Permutor({"--no-backup", "swapinfo", Project, pick.Reference, "--pin-swap", ""}).Code, 0);
    const json doc = ParseJson(Permutor({"--json", "swapinfo", Project, pick.Reference}));
    EXPECT_EQ(doc["pin_swap"], "");
}

TEST_F(CliProjectTest, DryRunWritesNothing) {
    const TComponentPick pick = PickComponent(Project);
    const auto before = Snapshot(Folder.Path());
    const TRun r =
        Permutor({"--dry-run", "--json", "swapinfo", Project, pick.Reference, "--pin-swap",
                  "Pin_" + pick.Pins[0] + "=A", "--enable-parts", "yes", "--allow-pin-changes", "no"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    const json doc = ParseJson(r);
    EXPECT_EQ(doc["changed"], true);
    EXPECT_EQ(doc["saved"].size(), 0u);
    EXPECT_EQ(doc["part_swapping_enabled"], true); // shown as it would be
    EXPECT_EQ(Snapshot(Folder.Path()), before);
}

TEST_F(CliProjectTest, NoBackupKeepsNoBakFiles) {
    const TComponentPick pick = PickComponent(Project);
    const TRun r = Permutor({"--no-backup", "swapinfo", Project, pick.Reference, "--pin-swap",
                             "Pin_" + pick.Pins[0] + "=A", "--enable-pins", "yes"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_FALSE(HasBackups());
    EXPECT_NE(ReadFile(Schematic).find("PinSwap"), std::string::npos);
}

TEST_F(CliProjectTest, OutputWritesTheBoardElsewhere) {
    const TComponentPick pick = PickComponent(Project);
    const std::string original = ReadFile(Board);
    const std::string output = (Folder.Path() / "copy.kicad_pcb").string();
    const TRun r =
        Permutor({"--output", output, "swapinfo", Project, pick.Reference, "--enable-parts", "yes"});
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(ReadFile(Board), original);
    ASSERT_TRUE(fs::exists(output));
    pcbhost::THost host;
    auto p = pcbhost::kicad::TKicadProject::Open(host, output);
    EXPECT_TRUE(p->Board()->FindComponent(pick.Reference)->PartSwappingEnabled());
}

TEST_F(CliProjectTest, UnknownReferenceNamesItAndTheProject) {
    const auto before = Snapshot(Folder.Path());
    const TRun r = Permutor({"swapinfo", Project, "ZZ404", "--enable-pins", "yes"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("ZZ404"), std::string::npos) << r.Err;
    EXPECT_NE(r.Err.find(Project), std::string::npos) << r.Err;
    EXPECT_EQ(Snapshot(Folder.Path()), before);
}

TEST_F(CliProjectTest, SwapTextsAreCheckedBeforeAnythingChanges) {
    const TComponentPick pick = PickComponent(Project);
    const auto before = Snapshot(Folder.Path());
    TRun r =
        Permutor({"swapinfo", Project, pick.Reference, "--enable-pins", "yes", "--pin-swap", "Pin_NOPIN=A"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("no pin \"NOPIN\""), std::string::npos) << r.Err;
    r = Permutor({"swapinfo", Project, pick.Reference, "--pin-swap", "Pair_" + pick.Pins[0] + "=A"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_NE(r.Err.find("Pin_<pin>"), std::string::npos) << r.Err;
    r = Permutor({"swapinfo", Project, pick.Reference, "--pair-swap", "garbage"});
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(Snapshot(Folder.Path()), before);
}

TEST_F(CliProjectTest, OptionsSubCommandSetsTheSidecar) {
    ASSERT_EQ(Permutor({"options", Project, "--allow-pin-changes", "no"}).Code, 0);
    const json sidecar = json::parse(ReadFile(Folder.Path() / "pico-ice.pinswap.json"));
    EXPECT_EQ(sidecar["allow_pin_changes"], false);
    EXPECT_EQ(sidecar["allow_net_label_changes"], false);
    const json doc = ParseJson(Permutor({"--json", "options", Project}));
    EXPECT_EQ(doc["allow_pin_changes"], false);
}

// ---- malformed files ----

TEST_F(CliProjectTest, ATruncatedBoardGivesALocatedErrorAndStaysAsItWas) {
    const std::string text = ReadFile(Board);
    {
        std::ofstream out(Board, std::ios::binary | std::ios::trunc);
        out << text.substr(0, text.size() / 2);
    }
    const auto before = Snapshot(Folder.Path());
    const TComponentPick pick{"U1", {}, {}};
    for (auto args :
         std::vector<std::vector<std::string>>{{"info", Board},
                                               {"swapinfo", Project, pick.Reference, "--enable-pins", "yes"},
                                               {"optimize", Board}}) {
        const TRun r = Permutor(args);
        EXPECT_EQ(r.Code, 3) << args[0];
        const std::regex located("pico-ice\\.kicad_pcb:[0-9]+:[0-9]+: ");
        EXPECT_TRUE(std::regex_search(r.Err, located)) << r.Err;
    }
    EXPECT_EQ(Snapshot(Folder.Path()), before);
}

TEST_F(CliProjectTest, JsonReportsFileErrorsToo) {
    {
        std::ofstream out(Board, std::ios::binary | std::ios::trunc);
        out << "(kicad_pcb (version 20221018) (generator pcbnew)\n  (net 0 \"\"\n";
    }
    const TRun r = Permutor({"--json", "info", Board});
    EXPECT_EQ(r.Code, 3);
    const json doc = ParseJson(r);
    ASSERT_EQ(doc["errors"].size(), 1u);
    EXPECT_NE(doc["errors"][0].get<std::string>().find("pico-ice.kicad_pcb:"), std::string::npos);
    EXPECT_EQ(doc["exit_code"], 3);
}
