// KiCad 9's own files: a shared board rewritten by KiCad 9 reads as the original did and what we
// save from it opens in KiCad; the demo board that KiCad 9.0 wrote with a '(' missing reads as
// KiCad reads it and saves back byte for byte; every demo project that KiCad 9 ships opens.
#include "Oracle.h"

#include "../cli/CliTestSupport.h"
#include "pcbhost/kicad/SExpr.h"
#include "pcbhost/project/KicadProject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace permutor::test::oracle;
using namespace pcbhost;
using namespace pcbhost::kicad;
using clitest::PadNets;
using clitest::TNets;
using clitest::TTempFolder;

namespace {

const fs::path cDemos = "/usr/share/kicad/demos";

// What KiCad itself reads from a board: "REF-PAD" -> net name for every pad.
const char* const cPadNetsScript = R"(
import sys, pcbnew
board = pcbnew.LoadBoard(sys.argv[1])
for fp in board.GetFootprints():
    for pad in fp.Pads():
        print("%s-%s\t%s" % (fp.GetReference(), pad.GetNumber(), pad.GetNetname()))
)";

TNets KicadPadNets(const fs::path& board) {
    const TRun r = Python("-c", {cPadNetsScript, board.string()});
    EXPECT_EQ(r.Status, 0) << r.Err;
    TNets nets;
    std::istringstream lines(r.Out);
    for (std::string line; std::getline(lines, line);) {
        const auto tab = line.find('\t');
        if (tab != std::string::npos)
            nets[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return nets;
}

void RewriteWithKicad(const fs::path& from, const fs::path& to) {
    const TRun r = Python(ScriptPath("kicad_board.py"), {"resave", from.string(), to.string()});
    ASSERT_EQ(r.Status, 0) << r.Err;
}

// What we read from a board, in figures that do not depend on the file's spelling.
struct TBoardFigures {
    std::multiset<std::string> Footprints; // references repeat (mounting holes, logos)
    std::set<std::string> Nets;
    std::size_t Pads = 0, Islands = 0, Connections = 0;
    bool operator==(const TBoardFigures&) const = default;
};

TBoardFigures FiguresOf(const fs::path& board) {
    THost host;
    auto project = TKicadProject::Open(host, board.string());
    TBoardFigures f;
    for (TPcbComponent* c : project->Board()->ComponentList()) {
        f.Footprints.insert(c->NameText());
        f.Pads += c->Pads().size();
    }
    for (TPcbNet* net : project->Board()->NetList()) {
        f.Nets.insert(net->Name());
        f.Islands += net->Islands().size();
        f.Connections += net->Ratsnest().size();
    }
    return f;
}

// The swap data text that lets every user I/O pad of one FPGA bank ("IOB_...") swap with the others.
std::string BankSwapText(const fs::path& board, const std::string& reference) {
    const sexpr::Document doc = sexpr::Document::load(board, "kicad_pcb");
    std::string text;
    for (const sexpr::Node footprint : doc.root().findAll("footprint")) {
        bool found = false;
        for (const sexpr::Node property : footprint.findAll("property"))
            found = found || (property.valueAt(1) == "Reference" && property.valueAt(2) == reference);
        if (!found)
            continue;
        for (const sexpr::Node pad : footprint.findAll("pad")) {
            const sexpr::Node function = pad.find("pinfunction");
            if (!function || !pad.find("net") || !function.valueAt(1).starts_with("IOB_") ||
                function.valueAt(1).find('_', 4) != std::string_view::npos)
                continue;
            text += (text.empty() ? "" : "|") + std::string("Pin_") + std::string(pad.valueAt(1)) + "=B";
        }
    }
    return text;
}

// The demos come with KiCad's kicad-demos package; under CI their absence is a failure.
#define REQUIRE_DEMOS()                                                                                      \
    do {                                                                                                     \
        if (!fs::is_directory(cDemos)) {                                                                     \
            if (RunningInCi())                                                                               \
                FAIL() << cDemos << " is missing: install the kicad-demos package (scripts/deps.sh)";        \
            GTEST_SKIP() << cDemos << " is missing: install the kicad-demos package (scripts/deps.sh)";      \
        }                                                                                                    \
    } while (false)

} // namespace

TEST(Kicad9, ASharedBoardRewrittenByKicad9ReadsAsTheOriginalAndSavesForKicad) {
    ORACLE_REQUIRE_KICAD();
    const fs::path source = fs::path(PERMUTOR_SHARED_DIR) / "boards/glasgow/hardware/boards/glasgow";
    TTempFolder folder;
    folder.CopyFilesOf(source);
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    // KiCad writes a project file beside the board it saves: that goes to a folder of its own.
    const TTempFolder scratch;
    RewriteWithKicad(source / "glasgow-unrouted.kicad_pcb", scratch.Path() / "rewritten.kicad_pcb");
    const fs::path board = folder.Path() / "glasgow-unrouted.kicad_pcb";
    fs::copy_file(scratch.Path() / "rewritten.kicad_pcb", board, fs::copy_options::overwrite_existing);
    ASSERT_NE(clitest::ReadFile(board).find("(version 20241229)"), std::string::npos);

    const TBoardFigures original = FiguresOf(source / "glasgow-unrouted.kicad_pcb");
    EXPECT_EQ(original.Footprints.size(), 272u);
    EXPECT_TRUE(FiguresOf(board) == original) << "footprints, pads, nets, islands and connections";
    const TNets nets = PadNets(board);
    EXPECT_EQ(nets, PadNets(source / "glasgow-unrouted.kicad_pcb"));
    EXPECT_EQ(nets, KicadPadNets(board));

    const std::string swapText = BankSwapText(board, "U30");
    ASSERT_GT(std::count(swapText.begin(), swapText.end(), '|'), 10);
    const auto set = clitest::Permutor(
        {"swapinfo", board.string(), "U30", "--pin-swap", swapText, "--enable-pins", "yes"});
    ASSERT_EQ(set.Code, 0) << set.Err;
    const auto run = clitest::Permutor({"--batch", "--seed", "1", "optimize", board.string()});
    ASSERT_EQ(run.Code, 0) << run.Err;

    const TNets after = PadNets(board);
    std::size_t moved = 0;
    for (const auto& [pad, net] : after)
        moved += net != nets.at(pad);
    EXPECT_GT(moved, 0u) << "the optimiser swapped nothing";
    std::string why;
    ASSERT_TRUE(BoardOpens(board.string(), &why)) << why;
    EXPECT_EQ(KicadPadNets(board), after) << "KiCad reads the nets we wrote";
}

TEST(Kicad9, TheBoardWithAMissingParenthesisReadsAsKicadReadsIt) {
    ORACLE_REQUIRE_KICAD();
    REQUIRE_DEMOS();
    TTempFolder folder;
    fs::copy(cDemos / "royalblue54L_feather", folder.Path(), fs::copy_options::recursive);
    for (const auto& entry : fs::recursive_directory_iterator(folder.Path()))
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    const fs::path board = folder.Path() / "RoyalBlue54L-Feather.kicad_pcb";
    const std::string original = clitest::ReadFile(board);

    THost host;
    auto project = TKicadProject::Open(host, (folder.Path() / "RoyalBlue54L-Feather.kicad_pro").string());
    ASSERT_EQ(project->Warnings().size(), 1u);
    EXPECT_EQ(project->Warnings()[0].text(),
              board.string() +
                  ":602:22: found 'filter_ratio 0.9)' without its '('; read as '(filter_ratio 0.9)', as "
                  "KiCad reads it (348 more like it in this file)");
    TBoard& model = *project->Board();
    EXPECT_EQ(model.ComponentList().size(), 71u);
    EXPECT_EQ(PadNets(board), KicadPadNets(board));
    EXPECT_FALSE(project->Changed());
    EXPECT_EQ(project->BoardFile()->Render(), original);

    // Two pads trade nets: only their net tokens change.
    TPad* a = model.FindComponent("R1")->FindPad("1");
    TPad* b = model.FindComponent("R1")->FindPad("2");
    ASSERT_TRUE(a && b && a->OwnerNet() && b->OwnerNet() && a->OwnerNet() != b->OwnerNet());
    TPcbNet* netA = a->OwnerNet();
    TPcbNet* netB = b->OwnerNet();
    a->AssignNet(netB);
    b->AssignNet(netA);
    TSaveOptions options;
    options.KeepBackup = false;
    project->Save(options);

    // The same trade made by hand on the file's text: each pad's (net ...) takes the other's.
    sexpr::Document expected = sexpr::Document::parse(original, board.string(), "kicad_pcb");
    std::vector<sexpr::Node> padNets;
    for (const sexpr::Node footprint : expected.root().findAll("footprint"))
        for (const sexpr::Node property : footprint.findAll("property"))
            if (property.valueAt(1) == "Reference" && property.valueAt(2) == "R1")
                for (const sexpr::Node pad : footprint.findAll("pad"))
                    padNets.push_back(pad.require("net"));
    ASSERT_EQ(padNets.size(), 2u);
    const std::string netText0(padNets[0].text()), netText1(padNets[1].text());
    expected.replace(padNets[0], netText1);
    expected.replace(padNets[1], netText0);
    EXPECT_EQ(clitest::ReadFile(board), expected.render());

    std::string why;
    ASSERT_TRUE(BoardOpens(board.string(), &why)) << why;
    const TNets kicad = KicadPadNets(board);
    EXPECT_EQ(kicad.at("R1-1"), netB->Name());
    EXPECT_EQ(kicad.at("R1-2"), netA->Name());
}

// Every project that KiCad 9 ships as a demo: its board and whole schematic hierarchy open, and
// every footprint the board file holds is on the board.
class Kicad9Demo : public testing::TestWithParam<std::string> {};

TEST_P(Kicad9Demo, Opens) {
    REQUIRE_DEMOS();
    const fs::path pro = cDemos / GetParam();
    THost host;
    std::unique_ptr<TKicadProject> project;
    ASSERT_NO_THROW(project = TKicadProject::Open(host, pro.string()));
    ASSERT_TRUE(project->Board() || project->Schematics());
    if (project->Board()) {
        // A board file holds footprints nowhere but at its top level.
        const std::size_t count = clitest::CountOf(clitest::ReadFile(project->BoardPath()), "(footprint \"");
        EXPECT_EQ(project->Board()->ComponentList().size(), count);
    }
    if (project->Schematics()) {
        EXPECT_FALSE(project->Schematics()->Files().empty());
        const std::string root = clitest::ReadFile(project->RootSchematicPath());
        if (root.find("(lib_id ") != std::string::npos || root.find("(sheet") != std::string::npos) {
            EXPECT_FALSE(project->Schematics()->Symbols().empty()) << "no symbol read from " << pro;
        }
    }
}

std::vector<std::string> DemoProjects() {
    std::vector<std::string> projects;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(cDemos, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->path().extension() == ".kicad_pro")
            projects.push_back(fs::relative(it->path(), cDemos).string());
    std::sort(projects.begin(), projects.end());
    if (projects.empty())
        projects.push_back("missing.kicad_pro"); // REQUIRE_DEMOS decides
    return projects;
}

INSTANTIATE_TEST_SUITE_P(All, Kicad9Demo, testing::ValuesIn(DemoProjects()), [](const auto& info) {
    std::string name = fs::path(info.param).stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
});

// What the reader read on past reaches the user: a line on standard error, an entry in --json.
TEST(Kicad9Cli, WarnsOfWhatItReadOnPast) {
    TTempFolder folder;
    const fs::path board = folder.Path() / "odd.kicad_pcb";
    std::ofstream(board) << "(kicad_pcb\n\t(version 20241229)\n"
                            "\t(layers\n\t\t(0 \"F.Cu\" signal)\n\t\t(2 \"B.Cu\" signal)\n\t)\n"
                            "\t(setup\n\t\t(teardrops\n\t\t\t(curved_edges no)filter_ratio 0.9)\n"
                            "\t\t(enabled yes)\n\t\t)\n\t)\n)\n";
    const std::string warning = board.string() + ":9:21: found 'filter_ratio 0.9)' without its '('";

    const auto text = clitest::Permutor({"--batch", "commands", board.string()});
    ASSERT_EQ(text.Code, 0) << text.Err;
    EXPECT_EQ(text.Err.find("warning: " + warning), 0u) << text.Err;
    EXPECT_EQ(text.Out.find("warning"), std::string::npos);

    const auto json = clitest::Permutor({"--batch", "--json", "commands", board.string()});
    ASSERT_EQ(json.Code, 0) << json.Err;
    EXPECT_EQ(json.Err, "");
    bool listed = false;
    const auto doc = clitest::ParseJson(json);
    for (const auto& m : doc["messages"])
        listed = listed || (m["source"] == "file" && m["kind"] == "warning" &&
                            m["text"].get<std::string>().starts_with(warning));
    EXPECT_TRUE(listed) << json.Out;
}
