// FPGA pin data on the command line: the example BGA's pin report as the module reads it, swap
// groups made from its banks and pairs, banks from pin names on the shared iCE40 board, and
// reports that cannot be read named by file and line.
#include "CliTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>

using namespace clitest;
using nlohmann::json;

namespace {

// "Pin_A1=X|Pin_A2=Y" -> the pins of each group, as a set of sets (names aside).
std::set<std::set<std::string>> Partition(const std::string& text, const std::string& prefix) {
    std::map<std::string, std::set<std::string>> groups;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t bar = std::min(text.find('|', at), text.size());
        const std::string entry = text.substr(at, bar - at);
        const std::size_t eq = entry.find('=');
        if (entry.rfind(prefix, 0) == 0 && eq != std::string::npos)
            groups[entry.substr(eq + 1)].insert(entry.substr(prefix.size(), eq - prefix.size()));
        at = bar + 1;
    }
    std::set<std::set<std::string>> out;
    for (auto& [name, pins] : groups)
        out.insert(pins);
    return out;
}

std::map<std::string, json> GroupsByName(const json& doc) {
    std::map<std::string, json> out;
    for (const auto& g : doc["groups"])
        out[g["group"].get<std::string>()] = g;
    return out;
}

class FpgaPins : public ::testing::Test {
protected:
    void SetUp() override { Folder.CopyFilesOf(cExample); }
    std::string Project() const { return (Folder.Path() / "demo.kicad_pro").string(); }
    TTempFolder Folder;
};

TEST_F(FpgaPins, PinInfoShowsTheExampleReportAsTheModuleReadsIt) {
    const auto before = Snapshot(Folder.Path());
    const TRun r = Permutor({"--json", "pininfo", Project(), "U1"});
    ASSERT_EQ(r.Code, 0) << r.Out << r.Err;
    const json doc = ParseJson(r);
    EXPECT_EQ(doc["format"], "CSV pin table");
    EXPECT_NE(doc["report"].get<std::string>().find("fpga64_pins.csv"), std::string::npos);
    ASSERT_EQ(doc["pins"].size(), 64u);
    std::map<std::string, json> pins;
    for (const auto& p : doc["pins"])
        pins[p["FpgaData_PinName"].get<std::string>()] = p;
    EXPECT_EQ(pins["G8"]["FpgaData_DiffPair"], "G7");
    EXPECT_EQ(pins["G8"]["FpgaData_KnownField_2"], "1");
    EXPECT_EQ(pins["G8"]["FpgaData_KnownField_3"], "LVDS_25");
    EXPECT_EQ(pins["G8"]["FpgaData_KnownField_7"], true);
    EXPECT_EQ(pins["A3"]["FpgaData_KnownField_7"], false);
    EXPECT_EQ(pins["A3"]["FpgaData_DiffPair"], "");
    // "Pin Name" is the report's own column, under its title.
    bool titled = false;
    for (const auto& c : doc["columns"])
        titled = titled || (c["name"] == "FpgaData_1" && c["title"] == "Pin Name" && c["tag"] == -1);
    EXPECT_TRUE(titled) << doc["columns"];
    EXPECT_EQ(Snapshot(Folder.Path()), before);

    const TRun text = Permutor({"pininfo", Project(), "U1"});
    ASSERT_EQ(text.Code, 0) << text.Err;
    EXPECT_NE(text.Out.find("64 pins from"), std::string::npos) << text.Out;
    EXPECT_NE(text.Out.find("  Pin Net IO Bank IO Standard"), std::string::npos) << text.Out;

    const TRun none = Permutor({"pininfo", Project(), "J1"});
    EXPECT_EQ(none.Code, 1);
    EXPECT_NE(none.Err.find("J1 has no FPGA pin report"), std::string::npos) << none.Err;
}

TEST_F(FpgaPins, AReportThatCannotBeReadIsNamedByFileAndLine) {
    const fs::path report = Folder.Path() / "fpga64_pins.csv";
    std::string text = ReadFile(report);
    // Line 5 loses a value.
    std::size_t at = 0;
    for (int line = 1; line < 5; ++line)
        at = text.find('\n', at) + 1;
    text.erase(text.find(',', at), 1);
    std::ofstream(report, std::ios::trunc) << text;
    const auto before = Snapshot(Folder.Path());

    const TRun r = Permutor({"pininfo", Project(), "U1"});
    EXPECT_EQ(r.Code, 3) << r.Out << r.Err;
    EXPECT_NE(r.Err.find("fpga64_pins.csv:5: expected 12 values as in the header, found 11"),
              std::string::npos)
        << r.Err;
    const TRun g = Permutor({"--yes", "swapinfo", Project(), "U1", "--group-by", "bank"});
    EXPECT_EQ(g.Code, 3) << g.Out << g.Err;
    EXPECT_EQ(Snapshot(Folder.Path()), before);
}

// The report's banks and pairs give the same groups the example's hand-written swap data has.
TEST_F(FpgaPins, BankGroupsOfTheExampleBgaMatchItsHandWrittenData) {
    const json original = ParseJson(Permutor({"--json", "swapinfo", Project(), "U1"}));
    const auto before = Snapshot(Folder.Path());

    // Declined: the groups are shown, nothing is written.
    const TRun declined =
        Permutor({"--no", "swapinfo", Project(), "U1", "--group-by", "bank", "--pairs-from", "fpga"});
    ASSERT_EQ(declined.Code, 0) << declined.Err;
    EXPECT_NE(declined.Out.find("BANK_0"), std::string::npos) << declined.Out;
    EXPECT_EQ(Snapshot(Folder.Path()), before);

    const TRun r = Permutor(
        {"--json", "--yes", "swapinfo", Project(), "U1", "--group-by", "bank", "--pairs-from", "fpga"});
    ASSERT_EQ(r.Code, 0) << r.Out << r.Err;
    const json doc = ParseJson(r);
    auto groups = GroupsByName(doc);
    ASSERT_EQ(groups.size(), 3u) << doc["groups"];
    EXPECT_EQ(groups["BANK_0"]["pins"].size(), 16u);
    EXPECT_EQ(groups["BANK_0"]["pins_with_nets"], 16);
    EXPECT_EQ(groups["BANK_1"]["pins"].size(), 12u);
    EXPECT_EQ(groups["DP_BANK_1"]["kind"], "pair");
    EXPECT_EQ(groups["DP_BANK_1"]["pins"].size(), 4u);
    EXPECT_EQ(doc["left_out"]["not I/O"], 32);

    EXPECT_EQ(Partition(doc["pin_swap"], "Pin_"), Partition(original["pin_swap"], "Pin_"));
    EXPECT_EQ(Partition(doc["pair_swap"], "Pair_"), Partition(original["pair_swap"], "Pair_"));
    EXPECT_NE(ReadFile(Folder.Path() / "demo.kicad_sch"), before.at("demo.kicad_sch"));
}

TEST_F(FpgaPins, OtherGroupingsAndBadOptions) {
    const TRun standard =
        Permutor({"--json", "--dry-run", "--yes", "swapinfo", Project(), "U1", "--group-by", "iostandard"});
    ASSERT_EQ(standard.Code, 0) << standard.Err;
    auto groups = GroupsByName(ParseJson(standard));
    EXPECT_EQ(groups["LVCMOS33"]["pins"].size(), 16u);
    EXPECT_EQ(groups["LVCMOS25"]["pins"].size(), 12u);
    EXPECT_EQ(groups["LVDS_25"]["pins"].size(), 4u) << "without --pairs-from the pair pins group too";

    const TRun slew = Permutor(
        {"--json", "--dry-run", "--yes", "swapinfo", Project(), "U1", "--group-by", "field:pin name"});
    ASSERT_EQ(slew.Code, 0) << slew.Err;
    EXPECT_EQ(ParseJson(slew)["groups"].size(), 32u) << "every I/O pin has a name of its own";

    const auto before = Snapshot(Folder.Path());
    const TRun unknown = Permutor({"--yes", "swapinfo", Project(), "U1", "--group-by", "field:Voltage"});
    EXPECT_EQ(unknown.Code, 2);
    EXPECT_NE(unknown.Err.find("has no such column; it has"), std::string::npos) << unknown.Err;
    EXPECT_EQ(
        Permutor({"--yes", "swapinfo", Project(), "U1", "--group-by", "bank", "--include", "clock"}).Code, 2);
    EXPECT_EQ(Permutor({"--yes", "swapinfo", Project(), "U1", "--group-by", "banks"}).Code, 2);
    EXPECT_EQ(Snapshot(Folder.Path()), before);
}

// Without a pin report the iCE40's pin names give its banks (the device's sides); the SPI
// configuration pins and the global clock inputs stay out unless asked for.
TEST(FpgaPinNames, BankGroupsOfTheSharedIce40Board) {
    TTempFolder folder;
    folder.CopyFilesOf(fs::path(PERMUTOR_SHARED_DIR) / "boards/glasgow/hardware/boards/glasgow");
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    const std::string board = (folder.Path() / "glasgow-unrouted.kicad_pcb").string();
    const TRun r =
        Permutor({"--json", "--dry-run", "--yes", "swapinfo", board, "U30", "--group-by", "names"});
    ASSERT_EQ(r.Code, 0) << r.Out << r.Err;
    const json doc = ParseJson(r);
    auto groups = GroupsByName(doc);
    EXPECT_EQ(groups.size(), 4u) << doc["groups"];
    std::map<std::string, std::string> bankOf;
    for (const auto& [name, g] : groups)
        for (const auto& pin : g["pins"])
            bankOf[pin.get<std::string>()] = name;
    EXPECT_EQ(bankOf["H7"], "BANK_B");
    EXPECT_EQ(bankOf.count("H9"), 0u) << "IOB_104_CBSEL1 configures the device";
    EXPECT_GT(doc["left_out"]["clock"].get<int>(), 0);
    EXPECT_GT(doc["left_out"]["configuration"].get<int>(), 0);

    const TRun all = Permutor({"--json", "--dry-run", "--yes", "swapinfo", board, "U30", "--group-by",
                               "names", "--include", "clk,config"});
    ASSERT_EQ(all.Code, 0) << all.Err;
    const json allDoc = ParseJson(all);
    EXPECT_EQ(allDoc["left_out"].count("clock"), 0u);
    std::size_t grouped = 0, groupedAll = 0;
    for (const auto& g : doc["groups"])
        grouped += g["pins"].size();
    for (const auto& g : allDoc["groups"])
        groupedAll += g["pins"].size();
    EXPECT_EQ(groupedAll, grouped + std::size_t(doc["left_out"]["clock"].get<int>() +
                                                doc["left_out"]["configuration"].get<int>()));
}

// The committed example is what its generator writes, pin report included.
TEST(FpgaExample, TheCommittedExampleIsWhatTheGeneratorWrites) {
    TTempFolder folder;
    const std::string command = "python3 " +
                                Quote(fs::path(PERMUTOR_SOURCE_DIR) / "examples" / "generate_demo.py") +
                                " --out " + Quote(folder.Path()) + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const auto written = Snapshot(folder.Path());
    EXPECT_TRUE(written.count("fpga64_pins.csv"));
    for (const auto& [name, text] : written)
        EXPECT_EQ(text, ReadFile(cExample / name)) << name << " differs from the generator's";
}

} // namespace
