#include "CliTestSupport.h"

#include "pcbhost/model/Host.h"
#include "pcbhost/project/KicadProject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>

namespace clitest {

nlohmann::json ParseJson(const TRun& r) {
    try {
        return nlohmann::json::parse(r.Out);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "not JSON: " << e.what() << "\n" << r.Out << "\n" << r.Err;
        return nlohmann::json::object();
    }
}

TRun Permutor(std::vector<std::string> args, const std::string& input) {
    args.insert(args.begin(), {"--module", PERMUTOR_MODULE_PATH});
    std::istringstream in(input);
    std::ostringstream out, err;
    pcbhost::cli::TConsole console{in, out, err};
    TRun r;
    r.Code = pcbhost::cli::Cli_Main(args, console);
    r.Out = out.str();
    r.Err = err.str();
    return r;
}

namespace {

// Runs a shell command line, reading its standard output into `r.Out` and its exit code into `r.Code`.
void RunPipe(const std::string& line, TRun& r) {
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe)
        return;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        r.Out.append(buffer, n);
    const int status = pclose(pipe);
    r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TRun Program(const std::string& arguments) {
    TRun r;
    RunPipe(std::string("env -u PERMUTOR_MODULE '") + PERMUTOR_CLI_PATH + "' " + arguments +
                " </dev/null 2>/dev/null",
            r);
    return r;
}

TRun Shell(const std::string& command) {
    TRun r;
    TTempFolder folder;
    const fs::path err = folder.Path() / "stderr";
    RunPipe("bash -c " + Quote(command) + " </dev/null 2>" + Quote(err), r);
    if (fs::exists(err))
        r.Err = ReadFile(err);
    return r;
}

std::string Quote(const fs::path& path) {
    std::string quoted = "'";
    for (char c : path.string())
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::vector<fs::path> SharedBoards() {
    std::vector<fs::path> boards;
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(PERMUTOR_SHARED_DIR) / "boards"))
        if (entry.is_regular_file() && entry.path().extension() == ".kicad_pcb")
            boards.push_back(entry.path());
    std::sort(boards.begin(), boards.end());
    return boards;
}

fs::path SharedProjectFolder(const std::string& projectFileName) {
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(PERMUTOR_SHARED_DIR) / "boards"))
        if (entry.path().filename() == projectFileName)
            return entry.path().parent_path();
    throw std::runtime_error("no shared project " + projectFileName);
}

TTempFolder::TTempFolder() {
    std::string pattern = (fs::temp_directory_path() / "permutor-cli-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    FPath = pattern;
}

TTempFolder::~TTempFolder() {
    std::error_code ec;
    fs::remove_all(FPath, ec);
}

void TTempFolder::CopyFilesOf(const fs::path& folder) const {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            fs::copy_file(entry.path(), FPath / entry.path().filename());
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().filename().string()] = ReadFile(entry.path());
    return files;
}

std::size_t CountOf(const std::string& text, const std::string& token) {
    std::size_t n = 0;
    for (auto p = text.find(token); p != std::string::npos; p = text.find(token, p + token.size()))
        ++n;
    return n;
}

nlohmann::json InfoJson(const fs::path& document) {
    const TRun r = Permutor({"--json", "info", document.string()});
    EXPECT_EQ(r.Code, 0) << r.Err;
    return ParseJson(r);
}

TNets PadNets(const fs::path& document) {
    pcbhost::THost host;
    auto project = pcbhost::kicad::TKicadProject::Open(host, document.string());
    TNets nets;
    for (pcbhost::TPcbComponent* c : project->Board()->ComponentList())
        for (pcbhost::TPad* pad : c->Pads())
            nets[c->NameText() + "-" + pad->Name()] = pad->OwnerNet() ? pad->OwnerNet()->Name() : "";
    return nets;
}

} // namespace clitest
