// Shared by the command-line tests: running the command line in-process with captured output,
// copies of the shared KiCad projects in temporary folders, and reading files back.
#pragma once

#include "pcbhost/cli/Cli.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace clitest {

namespace fs = std::filesystem;

struct TRun {
    int Code = -1;
    std::string Out, Err;
};

// Runs `permutor ARGS...` in this process, without a terminal, with the module built beside.
TRun Permutor(std::vector<std::string> args, const std::string& input = "");

// Runs the real `permutor` program as its own process with a shell command line (arguments quoted
// as the shell needs), without a terminal: its standard output and exit code.
TRun Program(const std::string& arguments);
// Runs a shell command line (bash -c) with standard input from /dev/null: its standard output,
// standard error and exit code.
TRun Shell(const std::string& command);
// The run's standard output as JSON; a test failure (and an empty object) when it is not.
nlohmann::json ParseJson(const TRun& r);
// A path quoted for the shell.
std::string Quote(const fs::path& path);

// The shared boards (every .kicad_pcb under the shared boards folder), sorted.
std::vector<fs::path> SharedBoards();
// The folder of one shared project, found by its .kicad_pro file name ("pico-ice.kicad_pro").
fs::path SharedProjectFolder(const std::string& projectFileName);

// A fresh temporary folder, removed with the object.
class TTempFolder {
public:
    TTempFolder();
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    const fs::path& Path() const { return FPath; }
    // Copies the files (not sub-folders) of `folder` here.
    void CopyFilesOf(const fs::path& folder) const;

private:
    fs::path FPath;
};

std::string ReadFile(const fs::path& path);
// Every file of a folder with its bytes: a snapshot to compare after a run.
std::map<std::string, std::string> Snapshot(const fs::path& folder);
// Occurrences of `token` in `text`.
std::size_t CountOf(const std::string& text, const std::string& token);

// `permutor --json info DOCUMENT`, parsed; a test failure when it does not succeed.
nlohmann::json InfoJson(const fs::path& document);

// The embedded example project.
inline const fs::path cExample = fs::path(PERMUTOR_SOURCE_DIR) / "examples" / "demo";

// "REF-PAD" -> net name, for every pad of the board a document opens with.
using TNets = std::map<std::string, std::string>;
TNets PadNets(const fs::path& document);

} // namespace clitest
