// The example's FPGA U1 names its pin constraint file (demo.pcf): a saved swap moves the ports with
// their signals in the same atomic save as the board and sheet, a bad line or a failed write
// leaves every file as it was, and the file's SWAPID comments become U1's pin swap data.
#include "CliTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace clitest;
using json = nlohmann::json;

namespace {

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

const std::string cPcf = "demo.pcf";
const std::string cA1Line = "set_io B0_IO0  A1  # SWAPID=BANK0\n";
const std::string cB2Line = "set_io B0_IO3  B2  # SWAPID=BANK0\n";

TRun SwapA1WithB2(const fs::path& folder, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"--json", "--pick", "U1-A1", "--pick", "U1-B2"};
    args.insert(args.end(), extra.begin(), extra.end());
    for (const char* word : {"swap", "pins"})
        args.push_back(word);
    args.push_back((folder / "demo.kicad_pcb").string());
    return Permutor(args);
}

// Every set_io line of the file: port -> pin.
std::map<std::string, std::string> PortPins(const std::string& pcf) {
    std::map<std::string, std::string> pins;
    std::istringstream in(pcf);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
        if (!w.empty() && w[0] == "set_io")
            pins[w[w.size() - 2]] = w.back();
    }
    return pins;
}

std::string PinSwapOf(const fs::path& project) {
    const json doc = ParseJson(Permutor({"--json", "swapinfo", project.string(), "U1"}));
    return doc.value("pin_swap", std::string("?"));
}

} // namespace

TEST(FpgaConstraintsCli, ThePortsFollowASwapInTheSameSave) {
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    const std::string original = ReadFile(cExample / cPcf);
    const TRun run = SwapA1WithB2(folder.Path());
    ASSERT_EQ(run.Code, 0) << run.Err << run.Out;

    // Only the two pin tokens change; the old file is kept as a backup.
    const std::string expected = Replaced(Replaced(original, cA1Line, "set_io B0_IO0  B2  # SWAPID=BANK0\n"),
                                          cB2Line, "set_io B0_IO3  A1  # SWAPID=BANK0\n");
    EXPECT_EQ(ReadFile(folder.Path() / cPcf), expected);
    EXPECT_EQ(ReadFile(folder.Path() / (cPcf + ".bak")), original);
    const json doc = ParseJson(run);
    EXPECT_NE(std::find(doc["saved"].begin(), doc["saved"].end(), (folder.Path() / cPcf).string()),
              doc["saved"].end())
        << doc["saved"];
    ASSERT_EQ(doc["fpga_constraints"].size(), 1u) << doc.dump(2);
    const json& file = doc["fpga_constraints"][0];
    EXPECT_EQ(file["reference"], "U1");
    EXPECT_TRUE(file["problems"].empty()) << file["problems"];
    ASSERT_EQ(file["moves"].size(), 2u);
    EXPECT_EQ(file["moves"][0], (json{{"port", "B0_IO0"}, {"from", "A1"}, {"to", "B2"}, {"line", 7}}));

    // Every port sits on the pad whose net carries its name, as before the swap.
    const TNets nets = PadNets(folder.Path() / "demo.kicad_pro");
    const auto ports = PortPins(ReadFile(folder.Path() / cPcf));
    EXPECT_EQ(ports.size(), 32u);
    for (const auto& [port, pin] : ports)
        EXPECT_EQ(nets.at("U1-" + pin), "/" + port) << port;

    // A dry run and a board saved elsewhere leave the file alone.
    TTempFolder dry;
    dry.CopyFilesOf(cExample);
    const TRun dryRun = SwapA1WithB2(dry.Path(), {"--dry-run"});
    EXPECT_EQ(dryRun.Code, 0) << dryRun.Err;
    EXPECT_EQ(ParseJson(dryRun)["fpga_constraints"][0]["moves"].size(), 2u);
    const TRun elsewhere = SwapA1WithB2(dry.Path(), {"--output", (dry.Path() / "copy.kicad_pcb").string()});
    EXPECT_EQ(elsewhere.Code, 0) << elsewhere.Err;
    EXPECT_TRUE(fs::exists(dry.Path() / "copy.kicad_pcb"));
    EXPECT_EQ(ReadFile(dry.Path() / cPcf), original);
    EXPECT_FALSE(fs::exists(dry.Path() / (cPcf + ".bak")));
}

TEST(FpgaConstraintsCli, ABadLineOrAFailedWriteLeavesEveryFileAsItWas) {
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    const fs::path pcf = folder.Path() / cPcf;
    WriteFile(pcf, Replaced(ReadFile(pcf), "set_io B0_IO2  B1", "set_io B0_IO2 B1 X"));
    const auto before = Snapshot(folder.Path());
    TRun run = SwapA1WithB2(folder.Path());
    EXPECT_EQ(run.Code, 3) << run.Out;
    EXPECT_NE(run.Err.find(pcf.string() + ":9: set_io: expected a port and a pin"), std::string::npos)
        << run.Err;
    EXPECT_NE(run.Err.find("nothing was saved"), std::string::npos) << run.Err;
    // Opening the project already warned of it, before the swap.
    EXPECT_NE(ParseJson(run)["messages"].dump().find(pcf.string() + ":9: set_io"), std::string::npos)
        << run.Out;
    EXPECT_EQ(Snapshot(folder.Path()), before);

    // The constraint file is written with the board and sheet as one step: when any of them
    // cannot be replaced (here: their backups cannot be made), none is.
    WriteFile(pcf, ReadFile(cExample / cPcf));
    for (const std::string& blocked : {cPcf + ".bak", std::string("demo.kicad_sch.bak")}) {
        fs::remove_all(folder.Path() / blocked);
        fs::create_directories(folder.Path() / blocked / "occupied");
        run = SwapA1WithB2(folder.Path());
        EXPECT_EQ(run.Code, 3) << blocked << run.Out;
        for (const char* name : {"demo.pcf", "demo.kicad_pcb", "demo.kicad_sch"})
            EXPECT_TRUE(ReadFile(folder.Path() / name) == ReadFile(cExample / name))
                << blocked << ": " << name;
        fs::remove_all(folder.Path() / blocked);
    }
}

TEST(FpgaConstraintsCli, SwapIdsComeFromTheConstraintFilesComments) {
    TTempFolder folder;
    folder.CopyFilesOf(cExample);
    const fs::path project = folder.Path() / "demo.kicad_pro";
    const fs::path pcf = folder.Path() / cPcf;
    // The example's file gives exactly the swap data U1 was drawn with.
    const std::string drawn = PinSwapOf(project);
    ASSERT_NE(drawn.find("Pin_A1=BANK0|"), std::string::npos) << drawn;
    TRun run = Permutor({"swapinfo", project.string(), "U1", "--pin-swap", "Pin_A1=X"});
    ASSERT_EQ(run.Code, 0) << run.Err;
    ASSERT_EQ(PinSwapOf(project), "Pin_A1=X");

    // A changed id, a port on a pin U1 lacks (reported), a line without an id (the pin gets none).
    std::string text = Replaced(ReadFile(pcf), cA1Line, "set_io B0_IO0  A1  # SWAPID=EDGE\n");
    text = Replaced(text, "set_io B0_IO3  B2  # SWAPID=BANK0", "set_io B0_IO3  B2");
    WriteFile(pcf, text + "set_io EXTRA Z9 # SWAPID=BANK0\n");
    run = Permutor({"--json", "swapinfo", project.string(), "U1", "--import-swap-ids"});
    ASSERT_EQ(run.Code, 0) << run.Err << run.Out;
    const std::string expected =
        Replaced(Replaced(drawn, "Pin_A1=BANK0", "Pin_A1=EDGE"), "Pin_B2=BANK0|", "");
    EXPECT_EQ(ParseJson(run)["pin_swap"], expected);
    EXPECT_EQ(PinSwapOf(project), expected);
    const std::string notes = ParseJson(run)["notes"].dump();
    EXPECT_NE(notes.find("demo.pcf:45: port EXTRA is on pin Z9, which U1 does not have"), std::string::npos)
        << notes;
    // Every unit of U1 carries the new data in the sheet.
    EXPECT_EQ(CountOf(ReadFile(folder.Path() / "demo.kicad_sch"), "\"" + expected + "\""), 3u);

    // With --pin-swap it is one or the other; a component without the field says what is missing.
    EXPECT_EQ(
        Permutor({"swapinfo", project.string(), "U1", "--import-swap-ids", "--pin-swap", "Pin_A1=X"}).Code,
        2);
    run = Permutor({"swapinfo", project.string(), "U2", "--import-swap-ids"});
    EXPECT_EQ(run.Code, 1);
    EXPECT_NE(run.Err.find("\"FpgaConstraints\""), std::string::npos) << run.Err;
}
