#include "KestrelProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestreltest {

TTestFolder::TTestFolder() {
    std::string pattern = (fs::temp_directory_path() / "kestrel-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    FPath = pattern;
}

TTestFolder::~TTestFolder() {
    std::error_code ec;
    fs::remove_all(FPath, ec);
}

std::string TTestFolder::BlockPath() const {
    return (FPath / "8E64136C-43BD-4974-84B5-289AD12E902B.map").string();
}

std::string TTestFolder::Write(const std::string& name, const std::string& text) const {
    const fs::path path = FPath / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

TKestrelProcess::TKestrelProcess(const fs::path& temp, const std::vector<std::string>& args) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe failed";
        return;
    }
    FPid = ::fork();
    if (FPid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::setenv("TEMP", temp.c_str(), 1);
        std::vector<char*> argv;
        std::string program = KESTREL_TOOL_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copies(args);
        for (auto& a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    FOut = out[0];
    FErr = err[0];
    // Serving once it says so on its standard output.
    std::string seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline && seen.find('\n') == std::string::npos) {
        pollfd p{FOut, POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buffer[256];
            const ssize_t n = ::read(FOut, buffer, sizeof buffer);
            if (n <= 0)
                break;
            seen.append(buffer, std::size_t(n));
        }
    }
    FServing = seen.find("kestrel: serving") != std::string::npos;
}

TKestrelProcess::~TKestrelProcess() {
    Stop();
    if (FOut >= 0)
        ::close(FOut);
    if (FErr >= 0)
        ::close(FErr);
}

int TKestrelProcess::WaitForExit(int seconds) {
    if (FPid <= 0)
        return FExitCode;
    for (int i = 0; i < seconds * 100; ++i) {
        int status = 0;
        if (::waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            FExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return FExitCode;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(FPid, SIGKILL);
    ::waitpid(FPid, nullptr, 0);
    FPid = -1;
    return -1;
}

int TKestrelProcess::Stop() {
    if (FPid > 0)
        ::kill(FPid, SIGTERM);
    return WaitForExit(10);
}

std::string TKestrelProcess::Errors() {
    std::string text;
    char buffer[256];
    pollfd p{FErr, POLLIN, 0};
    while (FErr >= 0 && ::poll(&p, 1, 0) > 0) {
        const ssize_t n = ::read(FErr, buffer, sizeof buffer);
        if (n <= 0)
            break;
        text.append(buffer, std::size_t(n));
    }
    return text;
}

std::string PinConfigText() {
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- U1's banks as the FPGA design assigns them -->
<pinConfiguration component="U1">
  <swapSet name="BANK0">
    <pin name="1" signal="S1"/>
    <pin name="2" signal="S2"/>
    <pin name="3" signal="S3"/>
    <pin name="4" signal="S4"/>
    <pin name="5" signal="S5" locked="yes"/>
  </swapSet>
  <swapSet name="BANK1">
    <pin name="6" signal="S6"/>
    <pin name="7" signal="S7"/>
  </swapSet>
</pinConfiguration>
)";
}

} // namespace kestreltest
