// One run of the command line against the stand-in host: the host with the terminal's
// user-interface services, the KiCad documents opened in it, the module loaded from its library,
// command launches with everything the module reported, and saving what changed.
#pragma once

#include "pcbhost/cli/Options.h"
#include "pcbhost/cli/Report.h"
#include "pcbhost/cli/SwapReport.h"
#include "pcbhost/cli/TerminalUI.h"
#include "pcbhost/cli/Timings.h"

#include "pcbhost/model/Host.h"
#include "pcbhost/module/ModuleLoader.h"
#include "pcbhost/project/KicadProject.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pcbhost::cli {

// A failure that ends the run with an exit code (TExitCode).
class TCliError : public std::runtime_error {
public:
    TCliError(int code, const std::string& message) : std::runtime_error(message), FCode(code) {}
    int Code() const { return FCode; }

private:
    int FCode;
};

struct TCommandState {
    std::int32_t Enabled = 0, Checked = 0, Visible = 0;
    std::string Caption, ImageFile;
};

// The module's commands, in the order the host's menu lists them.
inline constexpr const char* cModuleCommands[] = {
    "RunAutoPermutor",   "RunManualPermutor",  "RunManualPartSwapper", "RunManualDifferentialPairSwapper",
    "ConfigurePermutor", "RunKESTRELPermutor", "KESTRELPinSwap"};

// The host's menu item for a module command (the module leaves the captions to the host).
inline const char* ModuleCommand_MenuItem(std::string_view command) {
    struct TItem {
        std::string_view Command;
        const char* Text;
    };
    static constexpr TItem items[] = {{"RunAutoPermutor", "Optimise pins and nets automatically"},
                                      {"RunManualPermutor", "Swap pins by hand"},
                                      {"RunManualPartSwapper", "Swap gates by hand"},
                                      {"RunManualDifferentialPairSwapper", "Swap differential pairs by hand"},
                                      {"ConfigurePermutor", "Configure swapping"},
                                      {"RunKESTRELPermutor", "Swap pins with the pin-configuration tool"},
                                      {"KESTRELPinSwap", "Swap this pin with the pin-configuration tool"}};
    for (const auto& item : items)
        if (item.Command == command)
            return item.Text;
    return "";
}

class TSession {
public:
    TSession(const TGlobalOptions& options, TReport& report);
    // A session whose host shows its user-interface services through `ui` (a desktop window)
    // rather than on the terminal; the terminal's services then only keep the report.
    TSession(const TGlobalOptions& options, TReport& report, IPtr<IHostUI> ui);
    ~TSession();
    TSession(const TSession&) = delete;
    // Whether closing a session frees what it opened. A program that ends as soon as its command
    // is done turns this off: the operating system takes back a big project's memory at once,
    // where freeing it object by object takes a noticeable part of a short command. The module
    // is still told to shut down.
    static void SetFreeOnClose(bool free);
    TSession& operator=(const TSession&) = delete;

    // Opens a .kicad_pro, .kicad_pcb or .kicad_sch with what belongs to it. A file that cannot
    // be read throws TCliError(eExit_File) with the located message.
    void Open(const std::string& path);
    kicad::TKicadProject& Project() const;
    THost& Host() const { return *FHost; }
    TTerminalUI& UI() const { return *FUI; }
    // The opened path as given, and its normal absolute form.
    const std::string& OpenedPath() const { return FOpened; }
    // Where the project lives, for messages: the .kicad_pro, else the opened document.
    std::string ProjectName() const;

    // The view commands run in: the opened document when it is a board or sheet, else the
    // project's board, else its root schematic.
    IPtr<IServerDocumentView> View();

    // Loads the module library (--module, else the default place) and creates the module with
    // the host's client. Throws TCliError(eExit_File) when the library cannot be loaded and
    // TCliError(eExit_CommandError) when ServerFactory fails.
    void LoadModule();
    TModuleLibrary& Library() const { return *FLibrary; }

    TCommandState State(const std::string& command, const std::string& parameters, IServerDocumentView* view);
    // Launches a command and reports what the module showed. False when the module does not
    // know the command.
    bool Launch(const std::string& command, const std::string& parameters, IServerDocumentView* view);

    // Writes what changed, as the options say (--dry-run, --output, --no-backup) and reports
    // it. Returns the files written. TCliError(eExit_File) when a file cannot be written (the
    // files on disk then stay as they were).
    std::vector<std::string> Save();
    // Stops with TCliError(eExit_File) before any work when a file that a save after a module
    // command would write (the board or --output, the swap report, the sheets that follow the
    // board) could not be replaced; nothing with --dry-run.
    void CheckSaveable() const;
    // Draws the board to `path` (nothing when empty or without a board); TCliError(eExit_File)
    // when it cannot be written.
    void Picture(const std::string& path, const std::string& title);
    const TGlobalOptions& Options() const { return FOptions; }

    // The centre of the pad a REF-PAD pick names, trying each "-" of the text as the split.
    bool FindPad(const TPickOption& pick, TCoord& x, TCoord& y, std::string& error) const;
    // The pad itself; null with the reason in `error`.
    TPad* FindPadObject(const TPickOption& pick, std::string& error) const;

    // How the pads of the swapped components changed net since the board was read, as pin swaps
    // (what the swap report beside a saved board holds).
    std::vector<TSwapRow> SwapRows() const;

    // The highlighted pads as "REF-PAD NET", each once, in the order given.
    std::vector<std::string> DescribeHighlight(const std::vector<std::uintptr_t>& objects) const;

    // Pins the last save's back-annotation could not carry to the schematic.
    std::size_t PinsNeedingSchematicEdit() const {
        return FProject ? FProject->BackAnnotation().NeedsEdit.size() : 0;
    }

    // Seconds the last launched command took, as measured here.
    double LastRunSeconds() const { return FLastRunSeconds; }
    // Where the time of this session went: "load", the module's phases, "save" (and what the
    // caller adds).
    TPhaseTimes& Timings() { return FTimings; }
    // Says that the next launch searches (an optimiser): its committed swaps are trial moves.
    void SetSearching(bool searching) { FSearching = searching; }
    // References of the board's footprints that no schematic symbol stands for, in natural order.
    std::vector<std::string> UnlinkedFootprints() const;

private:
    // What the host adds below a module text it knows more about.
    void FollowUp(const TReportMessage& message);
    void ReportSwapLog();
    void ReportBackAnnotation(const kicad::TBackAnnotation& plan);
    // Reports the messages-panel lines added since the last time.
    void ReportPanelLines();

    const TGlobalOptions& FOptions;
    TReport& FReport;
    std::string FOpened, FOpenedNormal;
    // Declared so that they go in reverse: the module before the documents, the documents
    // before the host, and the library (the module's code) last of all.
    std::unique_ptr<TModuleLibrary> FLibrary;
    IPtr<TTerminalUI> FUI;
    std::unique_ptr<THost> FHost;
    std::unique_ptr<kicad::TKicadProject> FProject;
    IPtr<IServerModule> FServer;
    // The pads' nets as the board was read.
    TPadNets FPadNetsAtOpen;
    // Panel lines up to here are reported.
    std::size_t FPanelMark = 0;
    double FLastRunSeconds = 0;
    TPhaseTimes FTimings;
    bool FSearching = false;
    bool FUnlinkedListed = false, FHinted = false;
};

} // namespace pcbhost::cli
