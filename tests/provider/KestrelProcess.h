// The stand-in tool as a real child process for the tests: started with TEMP pointing to the
// test's own folder (so the shared block lives there), stopped with SIGTERM when the object
// goes. A test folder of its own comes with it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <sys/types.h>

namespace kestreltest {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with the object.
class TTestFolder {
public:
    TTestFolder();
    ~TTestFolder();
    TTestFolder(const TTestFolder&) = delete;
    TTestFolder& operator=(const TTestFolder&) = delete;
    const fs::path& Path() const { return FPath; }
    // The shared block's path in this folder.
    std::string BlockPath() const;
    // Writes a file here; its full path.
    std::string Write(const std::string& name, const std::string& text) const;

private:
    fs::path FPath;
};

class TKestrelProcess {
public:
    // Starts `kestrel ARGS...` with TEMP = `temp` and waits until it serves (a test failure when
    // it does not within a few seconds).
    TKestrelProcess(const fs::path& temp, const std::vector<std::string>& args);
    ~TKestrelProcess();
    TKestrelProcess(const TKestrelProcess&) = delete;
    TKestrelProcess& operator=(const TKestrelProcess&) = delete;

    bool Serving() const { return FServing; }
    // Waits for the process to end by itself (--once): its exit code, -1 when it had to be killed
    // after `seconds`.
    int WaitForExit(int seconds);
    // SIGTERM and wait: the exit code.
    int Stop();
    // What the tool wrote on standard error.
    std::string Errors();

private:
    pid_t FPid = -1;
    int FOut = -1, FErr = -1;
    bool FServing = false;
    int FExitCode = -1;
};

// A pin configuration of U1: swap set "BANK0" with pins 1..4 carrying signals S1..S4 and pin 5 in
// it locked (S5); swap set "BANK1" with pins 6 and 7.
std::string PinConfigText();

} // namespace kestreltest
