#include "Oracle.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace permutor::test::oracle {

namespace fs = std::filesystem;

namespace {

const char* const cPython = "/usr/bin/python3";
const char* const cKicadCli = "kicad-cli";

// Closes a descriptor once, however the function leaves.
struct TFd {
    int Fd = -1;
    ~TFd() { Close(); }
    void Close() {
        if (Fd >= 0)
            ::close(Fd);
        Fd = -1;
    }
};

// Reads both pipes until the child closes them; reading one only could block the child on the
// other when it writes much.
void Drain(TFd& out, TFd& err, std::string& outText, std::string& errText) {
    char buffer[8192];
    while (out.Fd >= 0 || err.Fd >= 0) {
        pollfd fds[2] = {{out.Fd, POLLIN, 0}, {err.Fd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            TFd& fd = i == 0 ? out : err;
            if (fd.Fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::read(fd.Fd, buffer, sizeof buffer);
            if (n > 0)
                (i == 0 ? outText : errText).append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                fd.Close();
        }
    }
}

// A temporary file name that nothing else uses; the file is removed with the object.
class TTempFile {
public:
    explicit TTempFile(const std::string& suffix) {
        std::string pattern = (fs::temp_directory_path() / ("permutor-oracle-XXXXXX" + suffix)).string();
        const int fd = ::mkstemps(pattern.data(), static_cast<int>(suffix.size()));
        if (fd < 0)
            throw std::runtime_error("cannot make a temporary file in " + fs::temp_directory_path().string());
        ::close(fd);
        FPath = pattern;
    }
    ~TTempFile() {
        std::error_code ec;
        fs::remove(FPath, ec);
    }
    TTempFile(const TTempFile&) = delete;
    TTempFile& operator=(const TTempFile&) = delete;
    const std::string& Path() const { return FPath; }

private:
    std::string FPath;
};

std::string Describe(const std::vector<std::string>& argv, const TRun& r) {
    std::string text;
    for (const auto& a : argv)
        text += (text.empty() ? "" : " ") + a;
    return text + " (status " + std::to_string(r.Status) + "): " + r.Err + r.Out;
}

} // namespace

bool RunningInCi() {
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

std::string KicadMissingMessage() {
    return "KiCad 9 is not installed (kicad-cli and the pcbnew module of /usr/bin/python3 are needed "
           "for the tests labelled kicad); scripts/deps.sh installs it";
}

bool KicadAvailable() {
    static const bool available = [] {
        if (Run({cKicadCli, "version"}).Status != 0)
            return false;
        return Run({cPython, "-c", "import pcbnew"}).Status == 0;
    }();
    return available;
}

TRun Run(const std::vector<std::string>& argv) {
    TRun r;
    if (argv.empty())
        return r;
    int outPipe[2], errPipe[2];
    if (::pipe(outPipe) != 0)
        return r;
    TFd outRead{outPipe[0]}, outWrite{outPipe[1]};
    if (::pipe(errPipe) != 0)
        return r;
    TFd errRead{errPipe[0]}, errWrite{errPipe[1]};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.Fd, 1);
    posix_spawn_file_actions_adddup2(&actions, errWrite.Fd, 2);
    posix_spawn_file_actions_addclose(&actions, outRead.Fd);
    posix_spawn_file_actions_addclose(&actions, errRead.Fd);

    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    outWrite.Close();
    errWrite.Close();
    if (spawned != 0) {
        r.Err = "cannot start " + argv[0] + ": " + std::strerror(spawned);
        return r;
    }
    Drain(outRead, errRead, r.Out, r.Err);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return r;
    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string ScriptPath(const std::string& name) {
    return (fs::path(PERMUTOR_ORACLE_SCRIPTS) / name).string();
}

TRun Python(const std::string& script, const std::vector<std::string>& args) {
    std::vector<std::string> argv{cPython, script};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv);
}

int KicadUnconnectedCount(const std::string& board) {
    const std::vector<std::string> args{"unconnected", board};
    const TRun r = Python(ScriptPath("kicad_board.py"), args);
    if (r.Status != 0)
        throw std::runtime_error("KiCad could not count the connections of " + board + ": " + r.Err);
    try {
        return std::stoi(r.Out);
    } catch (const std::exception&) {
        throw std::runtime_error("KiCad's connection count of " + board + " is not a number: " + r.Out);
    }
}

std::ostream& operator<<(std::ostream& out, const TParityConflict& c) {
    out << c.Type << ": " << c.Description;
    for (const auto& item : c.Items)
        out << " [" << item << "]";
    return out;
}

std::vector<TParityConflict> ParityConflicts(const std::string& board) {
    TTempFile report(".json");
    const std::vector<std::string> argv{
        cKicadCli, "pcb", "drc", "--schematic-parity", "--format", "json", "-o", report.Path(), board};
    const TRun r = Run(argv);
    // kicad-cli leaves a non-zero status for violations only with --exit-code-violations; any
    // other failure means the check did not run.
    if (r.Status != 0)
        throw std::runtime_error("the schematic-parity check did not run: " + Describe(argv, r));
    std::ifstream in(report.Path());
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(in);
    } catch (const std::exception& e) {
        throw std::runtime_error("kicad-cli's report of " + board + " is not JSON: " + e.what());
    }
    std::vector<TParityConflict> conflicts;
    for (const auto& entry : json.value("schematic_parity", nlohmann::json::array())) {
        TParityConflict c;
        c.Type = entry.value("type", "");
        c.Description = entry.value("description", "");
        for (const auto& item : entry.value("items", nlohmann::json::array()))
            c.Items.push_back(item.value("description", ""));
        conflicts.push_back(std::move(c));
    }
    std::sort(conflicts.begin(), conflicts.end());
    return conflicts;
}

std::vector<TParityConflict> NewConflicts(const std::vector<TParityConflict>& before,
                                          const std::vector<TParityConflict>& after,
                                          const std::string& type) {
    std::vector<TParityConflict> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    std::erase_if(added, [&](const TParityConflict& c) { return !type.empty() && c.Type != type; });
    return added;
}

bool BoardOpens(const std::string& board, std::string* why) {
    const TRun r = Python(ScriptPath("kicad_board.py"), {"opens", board});
    if (why)
        *why = r.Err;
    return r.Status == 0;
}

bool SchematicOpens(const std::string& rootSchematic, std::string* why) {
    TTempFile netlist(".net");
    const std::vector<std::string> argv{cKicadCli, "sch",          "export",     "netlist",
                                        "-o",      netlist.Path(), rootSchematic};
    const TRun r = Run(argv);
    if (why)
        *why = Describe(argv, r);
    // kicad-cli reports some load failures on standard error only; an empty netlist is one too.
    return r.Status == 0 && fs::file_size(netlist.Path()) > 0;
}

} // namespace permutor::test::oracle
