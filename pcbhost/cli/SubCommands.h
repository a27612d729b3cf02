// The sub-commands of `permutor`, each given the parsed global options and the report to fill.
// They return a TExitCode or throw TCliError.
#pragma once

#include "pcbhost/cli/Options.h"
#include "pcbhost/cli/Report.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pcbhost::cli {

struct TSubCommandArgs {
    std::string Document;
    std::string Command;    // run: the module command
    std::string Parameters; // run: --params
    std::string SwapKind;   // swap: pins, parts or pairs
    std::string Reference;  // configure, swapinfo
    std::vector<std::string> Pads;
    std::optional<std::string> PinSwap, PartSwap, PairSwap;
    std::optional<bool> EnablePins, EnableParts;
    std::string Board; // swapinfo --board: the one board file whose switches are set
    std::optional<bool> AllowPinChanges, AllowNetLabelChanges;
    bool ImportSwapIds = false; // swapinfo --import-swap-ids
    bool NoIterative = false;   // optimize --no-iterative
    std::string IterativeStart; // optimize --iterative-start: improve, anneal or empty
    bool Gates = false;         // optimize --gates, query --gates
    bool Pairs = false;         // optimize --pairs, query --pairs
    std::string GroupBy;        // swapinfo --group-by: bank, iostandard, field:TITLE or names
    std::string Include;        // swapinfo --include: clk,vref,config,special
    std::string PairsFrom;      // swapinfo --pairs-from: fpga
};

// The parameter text of "RunAutoPermutor" for the optimize options: "Iterative=False",
// "IterativeStart=Improve" or "IterativeStart=Anneal", "Gates=True", "Pairs=True", joined by "|";
// empty without options.
std::string OptimizeParameters(const TSubCommandArgs& args);

// optimize, swap, run: one module command in the view of the document.
// `prepare` runs once the module is loaded, before the command's state is asked.
class TSession;
int Run_ModuleCommand(const TGlobalOptions& options, TReport& report, const std::string& document,
                      const std::string& command, const std::string& parameters,
                      const std::function<void(TSession&)>& prepare = {});
int Run_Configure(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args);
int Run_Commands(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args);
int Run_Query(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args);
int Run_Info(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args);
int Run_SwapInfo(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args);
int Run_Options(const TGlobalOptions& options, TReport& report, const TSubCommandArgs& args);

// The module command of `swap pins|parts|pairs`; empty for another word.
std::string SwapKind_Command(const std::string& kind);

// Checks a swap data text given for one of the three fields ("Pin_", "Part_"/"PartPin_",
// "Pair_" entries joined by "|") against the component's pins. Returns an empty string when
// it is good, else what is wrong. `unknownPin` tells a pin the component lacks from a text of
// the wrong form.
std::string SwapText_Check(const std::string& text, const std::vector<std::string>& prefixes,
                           const std::vector<std::string>& pinDesignators, bool& unknownPin);

} // namespace pcbhost::cli
