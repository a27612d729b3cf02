// The schematic's connectivity judged by KiCad itself: for the example and every shared board,
// each pin's net as we name it equals the net KiCad's own netlist gives that pin.
#include "pcbhost/kicad/SExpr.h"
#include "pcbhost/project/KicadProject.h"
#include "pcbhost/project/SchematicConnectivity.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using namespace pcbhost;
using namespace pcbhost::kicad;

namespace {

// kicad-cli on PATH, or "" when KiCad is not installed.
std::string KicadCli() {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && fs::exists(fs::path(dir) / "kicad-cli"))
            return (fs::path(dir) / "kicad-cli").string();
    return {};
}

// In CI a missing KiCad is a failure, elsewhere the judged tests are skipped.
#define REQUIRE_KICAD(cli)                                                                                   \
    do {                                                                                                     \
        if ((cli).empty()) {                                                                                 \
            const char* ci = std::getenv("CI");                                                              \
            if (ci && std::string(ci) == "true")                                                             \
                FAIL() << "kicad-cli is not installed, and CI needs it";                                     \
            GTEST_SKIP() << "kicad-cli is not installed";                                                    \
        }                                                                                                    \
    } while (0)

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// (reference, pin) -> net, as KiCad's netlist gives it.
std::map<std::pair<std::string, std::string>, std::string> KicadPinNets(const std::string& cli,
                                                                        const fs::path& root) {
    const fs::path dir = fs::temp_directory_path() / ("permutor-netlist-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path out = dir / (root.stem().string() + ".net");
    const std::string command = Quote(cli) + " sch export netlist --format kicadsexpr -o " +
                                Quote(out.string()) + " " + Quote(root.string()) + " > /dev/null 2>&1";
    std::map<std::pair<std::string, std::string>, std::string> nets;
    if (std::system(command.c_str()) != 0 || !fs::exists(out)) {
        ADD_FAILURE() << "kicad-cli could not export " << root;
        return nets;
    }
    auto doc = sexpr::Document::load(out, "export");
    fs::remove_all(dir);
    for (sexpr::Node net : doc.root().require("nets").findAll("net"))
        for (sexpr::Node node : net.findAll("node"))
            nets.emplace(std::pair{std::string(node.require("ref").valueAt(1)),
                                   std::string(node.require("pin").valueAt(1))},
                         std::string(net.require("name").valueAt(1)));
    return nets;
}

std::vector<fs::path> JudgedSchematics() {
    std::vector<fs::path> roots{fs::path(PERMUTOR_SOURCE_DIR) / "examples/demo/demo.kicad_sch"};
    for (const auto& e : fs::recursive_directory_iterator(fs::path(PERMUTOR_SHARED_DIR) / "boards"))
        if (e.path().extension() == ".kicad_pro")
            roots.push_back(fs::path(e.path()).replace_extension(".kicad_sch"));
    // More projects to judge, for a developer's run: PERMUTOR_EXTRA_SCHEMATICS="a.kicad_sch:b.kicad_sch".
    if (const char* extra = std::getenv("PERMUTOR_EXTRA_SCHEMATICS")) {
        std::stringstream list(extra);
        std::string one;
        while (std::getline(list, one, ':'))
            if (!one.empty())
                roots.emplace_back(one);
    }
    return roots;
}

} // namespace

TEST(SchematicNetsJudgedByKicad, EveryPinHasTheNetKicadGivesIt) {
    const std::string cli = KicadCli();
    REQUIRE_KICAD(cli);
    for (const fs::path& root : JudgedSchematics()) {
        SCOPED_TRACE(root.string());
        const auto expected = KicadPinNets(cli, root);
        ASSERT_FALSE(expected.empty());
        THost host;
        auto project = TKicadProject::Open(host, root.string());
        ASSERT_TRUE(project->Schematics());
        TSchematicConnectivity connectivity(*project->Schematics());
        std::map<std::pair<std::string, std::string>, std::string> ours;
        for (const auto& p : connectivity.PinNets())
            ours.emplace(std::pair{p.Reference, p.Pin}, p.Net);
        std::size_t differences = 0;
        std::ostringstream report;
        for (const auto& [pin, net] : expected) {
            auto it = ours.find(pin);
            const std::string mine = it == ours.end() ? "(not placed)" : it->second;
            if (mine != net && ++differences <= 30)
                report << "  " << pin.first << "-" << pin.second << ": KiCad " << net << ", ours " << mine
                       << "\n";
        }
        for (const auto& [pin, net] : ours)
            if (!expected.count(pin) && ++differences <= 30)
                report << "  " << pin.first << "-" << pin.second << ": not in KiCad's netlist, ours " << net
                       << "\n";
        EXPECT_EQ(differences, 0u) << expected.size() << " pins\n" << report.str();
    }
}
