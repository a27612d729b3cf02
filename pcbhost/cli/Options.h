// What the `permutor` command line was asked to do beyond its sub-command: how questions are
// answered, where picks on the board come from, and how results are shown and saved.
#pragma once

#include "permutor/host/Pcb.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pcbhost::cli {

// Exit codes of the command line; --help lists them.
enum TExitCode : int {
    eExit_OK = 0,            // the command ran
    eExit_CommandError = 1,  // the module showed an error box, or the request could not be met
    eExit_Usage = 2,         // the command line itself is wrong
    eExit_File = 3,          // a file could not be read or written (nothing was written)
    eExit_SchematicEdit = 4, // saved, but some swapped pins need a schematic edit by hand
};

// --answer CAPTION=yes|no: the answer to every question with that caption.
struct TAnswerOption {
    std::string Caption;
    bool Yes = true;
};

// --pick REF-PAD (a pad's centre) or --pick X,Y[,LAYER] (a point in millimetres).
struct TPickOption {
    enum TKind { ePad, ePoint } Kind = ePoint;
    std::string Text; // as given, for messages
    std::string Reference, Pad;
    double XMM = 0, YMM = 0;
    permutor::host::TV6_Layer Layer = permutor::host::eV6_NoLayer;
};

// Parse the option texts; false with a reason in `error` when the text has the wrong form.
bool Answer_Parse(std::string_view text, TAnswerOption& out, std::string& error);
bool Pick_Parse(std::string_view text, TPickOption& out, std::string& error);
// "yes"/"no" (any letter case, also "y"/"n", "true"/"false", "1"/"0").
std::optional<bool> YesNo_Parse(std::string_view text);
// A copper layer by its KiCad name ("F.Cu", "In2.Cu", "B.Cu"), "top"/"bottom", or its number
// 1..32; eV6_NoLayer when it is none of these.
permutor::host::TV6_Layer Layer_Parse(std::string_view text);

// Options shared by every sub-command.
struct TGlobalOptions {
    bool Batch = false;
    bool Yes = false, No = false;
    std::vector<TAnswerOption> Answers;
    std::vector<TPickOption> Picks;
    // configure --do: commands for the configuration dialogs, in order, before any prompt.
    std::vector<std::string> DialogCommands;
    // Makes the optimiser's random choices repeatable once the host can hand it to the module.
    std::optional<std::uint64_t> Seed;
    bool Json = false;
    bool DryRun = false;
    std::string Output;
    // Pictures of the board before and after a module command.
    std::string SvgBefore, SvgAfter;
    bool NoBackup = false;
    // Leave the schematic as it is when the board's nets change (the swap report still goes
    // beside the board).
    bool NoBackAnnotate = false;
    std::string ModulePath;
    bool Quiet = false;
    bool Verbose = false;
};

} // namespace pcbhost::cli
