// KiCad 9 as the judge of what we write: runs kicad-cli and the pcbnew module of the system Python
// and reads back what they say about a board or a schematic. Tests built on this carry the ctest
// label "kicad".
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace permutor::test::oracle {

// Whether kicad-cli and the pcbnew module of /usr/bin/python3 are both there (asked once).
bool KicadAvailable();

// Why KiCad-backed tests cannot run and how to make them run.
std::string KicadMissingMessage();

// Whether the environment variable CI is "true": there a missing KiCad fails the test instead of
// skipping it, so a broken machine cannot pass silently.
bool RunningInCi();

// Put at the start of a test that needs KiCad.
#define ORACLE_REQUIRE_KICAD()                                                                               \
    do {                                                                                                     \
        if (!::permutor::test::oracle::KicadAvailable()) {                                                   \
            if (::permutor::test::oracle::RunningInCi())                                                     \
                FAIL() << ::permutor::test::oracle::KicadMissingMessage();                                   \
            GTEST_SKIP() << ::permutor::test::oracle::KicadMissingMessage();                                 \
        }                                                                                                    \
    } while (false)

// The outcome of one program run: its exit status (-1 when it did not exit normally or could not
// be started) and everything it wrote.
struct TRun {
    int Status = -1;
    std::string Out, Err;
};

// Runs a program with these arguments (call it as oracle::Run inside a test body, where
// testing::Test::Run hides the plain name) (argv[0] is the program, looked up on PATH when it has no
// "/"), without a shell, standard input from /dev/null.
TRun Run(const std::vector<std::string>& argv);

// Runs /usr/bin/python3 (the Python that has pcbnew) with a script and its arguments.
TRun Python(const std::string& script, const std::vector<std::string>& args);

// The folder of the oracle's Python scripts.
std::string ScriptPath(const std::string& name);

// KiCad's count of ratsnest lines on a board: LoadBoard, BuildConnectivity, then
// GetUnconnectedCount(False). Throws std::runtime_error naming the board when KiCad fails.
int KicadUnconnectedCount(const std::string& board);

// One finding of KiCad's schematic-parity check: its kind ("net_conflict", "missing_footprint",
// "extra_footprint", ...), its text and the descriptions of the items it names.
struct TParityConflict {
    std::string Type;
    std::string Description;
    std::vector<std::string> Items;
    bool operator==(const TParityConflict&) const = default;
    auto operator<=>(const TParityConflict&) const = default;
};
std::ostream& operator<<(std::ostream& out, const TParityConflict& c);

// `kicad-cli pcb drc --schematic-parity` on a board (the project's schematic beside it): the
// parity findings, sorted. Throws std::runtime_error when the check does not run.
std::vector<TParityConflict> ParityConflicts(const std::string& board);

// The findings of `after` that are not in `before` (both sorted), of one kind or of any kind when
// `type` is empty.
std::vector<TParityConflict> NewConflicts(const std::vector<TParityConflict>& before,
                                          const std::vector<TParityConflict>& after,
                                          const std::string& type = "");

// Whether KiCad loads the board (pcbnew.LoadBoard). `why` receives KiCad's complaint.
bool BoardOpens(const std::string& board, std::string* why = nullptr);
// Whether KiCad reads the schematic hierarchy: `kicad-cli sch export netlist` succeeds.
bool SchematicOpens(const std::string& rootSchematic, std::string* why = nullptr);

} // namespace permutor::test::oracle
