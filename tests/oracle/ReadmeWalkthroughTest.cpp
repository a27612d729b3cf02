// The README's walk-through "Optimise your own board", run as a newcomer would run it: every
// shell block of that section, in order, from a folder that has the shared boards at ../shared
// and `permutor` on the PATH. A command that stops working, or a step whose output no longer
// says what the README says it does, fails here first.
#include "CliTestSupport.h"
#include "Oracle.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace clitest;
namespace oracle = permutor::test::oracle;

namespace {

constexpr const char* cSection = "## Optimise your own board";

// The shell blocks of one section of a Markdown file, joined.
std::string SectionScript(const std::string& markdown, const std::string& heading) {
    const auto start = markdown.find("\n" + heading + "\n");
    if (start == std::string::npos)
        return {};
    auto end = markdown.find("\n## ", start + heading.size() + 1);
    if (end == std::string::npos)
        end = markdown.size();
    const std::string section = markdown.substr(start, end - start);
    std::string script;
    std::istringstream in(section);
    bool inBlock = false;
    for (std::string line; std::getline(in, line);) {
        if (!inBlock && line == "```sh") {
            inBlock = true;
            continue;
        }
        if (inBlock && line == "```") {
            inBlock = false;
            continue;
        }
        if (inBlock)
            script += line + "\n";
    }
    return script;
}

} // namespace

TEST(ReadmeWalkthrough, RunsEndToEndOnTheSharedFpgaBoard) {
    ORACLE_REQUIRE_KICAD();
    const std::string script = SectionScript(ReadFile(fs::path(PERMUTOR_SOURCE_DIR) / "README.md"), cSection);
    ASSERT_FALSE(script.empty()) << "README.md has no shell blocks under \"" << cSection << "\"";

    // A checkout with ../shared beside it, and `permutor` on the PATH.
    TTempFolder root;
    const fs::path repo = root.Path() / "permutor";
    const fs::path bin = root.Path() / "bin";
    fs::create_directories(repo);
    fs::create_directories(bin);
    fs::create_directory_symlink(fs::absolute(PERMUTOR_SHARED_DIR), root.Path() / "shared");
    {
        std::ofstream wrapper(bin / "permutor");
        wrapper << "#!/bin/sh\nexec " << Quote(PERMUTOR_CLI_PATH) << " \"$@\"\n";
    }
    fs::permissions(bin / "permutor", fs::perms::owner_all);
    {
        std::ofstream out(root.Path() / "walkthrough.sh");
        out << "set -euo pipefail\n" << script;
    }
    const std::string path =
        bin.string() + ":" + (std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin");
    const oracle::TRun run =
        oracle::Run({"/usr/bin/env", "-u", "PERMUTOR_MODULE", "PATH=" + path, "/bin/bash", "-c",
                     "cd " + Quote(repo) + " && bash " + Quote(root.Path() / "walkthrough.sh")});
    ASSERT_EQ(run.Status, 0) << "--- script\n" << script << "--- out\n" << run.Out << "--- err\n" << run.Err;

    // What the section says each step gives.
    const fs::path board = repo / "my-board";
    EXPECT_NE(run.Out.find("board     glasgow-unrouted.kicad_pcb: pin swapping yes"), std::string::npos)
        << run.Out;
    EXPECT_NE(run.Out.find("Results From Net/Pin Optimization"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("optimised in"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("schematic: "), std::string::npos) << run.Out;
    EXPECT_TRUE(fs::exists(board / "glasgow-unrouted.swaps.csv"));
    for (const char* picture : {"before.svg", "after.svg"})
        EXPECT_GT(fs::file_size(repo / picture), 1000u) << picture;
    // KiCad really compared the board with its schematic, and found it agreeing.
    EXPECT_EQ(run.Err.find("Failed to fetch schematic netlist"), std::string::npos) << run.Err;
    EXPECT_NE(run.Out.find("KiCad: 0 net conflicts"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("0 pins need a schematic edit"), std::string::npos) << run.Out;
}
