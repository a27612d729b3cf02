// What we write opens in KiCad, and saving it again changes nothing: the example project, a
// generated FPGA board and every shared board get swap data where they need it and are
// optimised with a fixed seed; KiCad then loads the board and exports the schematic's netlist,
// and our own reader opens the files and renders them byte for byte.
#include "CliTestSupport.h"
#include "Oracle.h"

#include "pcbhost/model/Host.h"
#include "pcbhost/project/KicadProject.h"

#include <gtest/gtest.h>

#include <set>

using namespace clitest;
namespace oracle = permutor::test::oracle;

namespace {

struct TCase {
    std::string Name;
    // Fills the folder and names the board to optimise in it.
    std::function<fs::path(const fs::path& folder)> Prepare;
    // Whether its components need swap data first (written by us into board and schematic).
    bool NeedsSwapData = false;
};

void PrintTo(const TCase& c, std::ostream* out) {
    *out << c.Name;
}

std::string TestName(const ::testing::TestParamInfo<TCase>& info) {
    return info.param.Name;
}

void MakeWritable(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
}

// Swap data for the footprint with the most pads: one pin group of the pads whose nets no other
// pad of that footprint shares (power pins, repeated, stay out). Enough to let the optimiser move
// nets, so the board and the schematic are both written.
std::string PinSwapText(const fs::path& board, std::string& reference) {
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> padsOf; // ref -> (pad, net)
    for (const auto& [refPad, net] : PadNets(board)) {
        const auto dash = refPad.find('-');
        padsOf[refPad.substr(0, dash)].emplace_back(refPad.substr(dash + 1), net);
    }
    std::size_t most = 0;
    for (const auto& [ref, pads] : padsOf)
        if (pads.size() > most)
            most = pads.size(), reference = ref;
    std::map<std::string, int> uses;
    for (const auto& [pad, net] : padsOf[reference])
        ++uses[net];
    std::string text;
    for (const auto& [pad, net] : padsOf[reference])
        if (!pad.empty() && !net.empty() && uses[net] == 1)
            text += (text.empty() ? "" : "|") + ("Pin_" + pad) + "=A";
    return text;
}

fs::path CopySharedBoard(const fs::path& source, const fs::path& folder) {
    // The board goes in under the project's name, so that it opens with its schematic.
    fs::path project;
    for (const auto& entry : fs::directory_iterator(source.parent_path()))
        if (entry.path().extension() == ".kicad_pro")
            project = entry.path();
    for (const auto& entry : fs::directory_iterator(source.parent_path()))
        if (entry.is_regular_file() && entry.path().extension() != ".kicad_pcb")
            fs::copy_file(entry.path(), folder / entry.path().filename());
    const fs::path board = folder / (project.stem().string() + ".kicad_pcb");
    fs::copy_file(source, board);
    MakeWritable(folder);
    return board;
}

std::vector<TCase> Cases() {
    std::vector<TCase> cases;
    cases.push_back({"example", [](const fs::path& folder) {
                         for (const auto& entry : fs::directory_iterator(cExample))
                             fs::copy_file(entry.path(), folder / entry.path().filename());
                         MakeWritable(folder);
                         return folder / "demo.kicad_pcb";
                     }});
    cases.push_back({"generated", [](const fs::path& folder) {
                         const oracle::TRun r = oracle::Python(
                             fs::path(PERMUTOR_SOURCE_DIR) / "bench" / "generate_fpga_board.py",
                             {"--pins", "50", "--out", folder.string(), "--name", "fpga"});
                         EXPECT_EQ(r.Status, 0) << r.Err;
                         return folder / "fpga.kicad_pcb";
                     }});
    for (const fs::path& source : SharedBoards()) {
        std::string name = source.stem().string();
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        cases.push_back({"shared_" + name,
                         [source](const fs::path& folder) { return CopySharedBoard(source, folder); }, true});
    }
    return cases;
}

class WrittenFiles : public ::testing::TestWithParam<TCase> {};

} // namespace

TEST_P(WrittenFiles, OpenInKicadAndSaveAgainUnchanged) {
    ORACLE_REQUIRE_KICAD();
    TTempFolder folder;
    const fs::path board = GetParam().Prepare(folder.Path());
    ASSERT_FALSE(HasFailure());
    const auto original = Snapshot(folder.Path());
    if (GetParam().NeedsSwapData) {
        std::string reference;
        const std::string text = PinSwapText(board, reference);
        const clitest::TRun set = Permutor({"--batch", "--no-backup", "swapinfo", board.string(), reference,
                                            "--pin-swap", text, "--enable-pins", "yes"});
        ASSERT_EQ(set.Code, 0) << set.Out << set.Err;
    }
    // A routed board has no ratsnest left to shorten: there the swap data alone is what we wrote.
    // Exit code 4: some swapped pins need a schematic edit by hand (the files are written all the same).
    const clitest::TRun run = Permutor({"--batch", "--seed", "1", "--no-backup", "optimize", board.string()});
    ASSERT_TRUE(run.Code == 0 || run.Code == 4) << run.Out << run.Err;
    const auto written = Snapshot(folder.Path());
    const std::string boardName = board.filename().string();
    EXPECT_TRUE(written.at(boardName) != original.at(boardName)) << "nothing of ours was written:\n"
                                                                 << run.Out;

    std::string why;
    EXPECT_TRUE(oracle::BoardOpens(board.string(), &why)) << why;
    pcbhost::THost host;
    auto project = pcbhost::kicad::TKicadProject::Open(host, board.string());
    ASSERT_TRUE(project->IsProject());
    EXPECT_TRUE(oracle::SchematicOpens(project->RootSchematicPath(), &why)) << why;

    // Our reader takes back exactly what it wrote: nothing to change, the board renders to the same
    // bytes, and a save writes no file.
    EXPECT_FALSE(project->Changed());
    EXPECT_TRUE(project->BoardFile()->Render() == written.at(boardName));
    EXPECT_TRUE(project->Save({.KeepBackup = false, .BoardOutput = {}}).empty());
    EXPECT_TRUE(Snapshot(folder.Path()) == written);
}

INSTANTIATE_TEST_SUITE_P(Projects, WrittenFiles, ::testing::ValuesIn(Cases()), TestName);
