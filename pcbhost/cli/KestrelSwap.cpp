#include "pcbhost/cli/KestrelSwap.h"

#include "pcbhost/cli/Session.h"
#include "pcbhost/cli/SubCommands.h"

#include "permutor/host/Text.h"

namespace pcbhost::cli {

namespace {

// The name the module looks the tool up by, and the state of an installed, idle tool.
constexpr const char* cToolExtension = "KestrelPinMapper";
constexpr std::int32_t cToolInstalled = 0;

} // namespace

std::string KestrelKind_Command(const std::string& kind) {
    if (Text_EqualNoCase(kind, "kestrel"))
        return "RunKESTRELPermutor";
    if (Text_EqualNoCase(kind, "kestrel-pin"))
        return "KESTRELPinSwap";
    return {};
}

int Run_KestrelSwap(const TGlobalOptions& options, TReport& report, const std::string& document,
                    const std::string& kind) {
    const std::string command = KestrelKind_Command(kind);
    const bool onePin = command == "KESTRELPinSwap";
    // kestrel-pin takes its pad from the first pick; the module's own picks come after it.
    TGlobalOptions sessionOptions = options;
    TPickOption pinPick;
    if (onePin) {
        if (options.Picks.empty() || options.Picks.front().Kind != TPickOption::ePad)
            throw TCliError(eExit_Usage, "swap kestrel-pin needs the pad to swap first: --pick REF-PAD");
        pinPick = options.Picks.front();
        sessionOptions.Picks.erase(sessionOptions.Picks.begin());
        report.Data()["pin"] = pinPick.Text;
    }
    return Run_ModuleCommand(sessionOptions, report, document, command, "", [&](TSession& session) {
        session.Host().AddExtension(cToolExtension, cToolInstalled);
        if (!onePin)
            return;
        std::string error;
        TPad* pad = session.FindPadObject(pinPick, error);
        if (!pad)
            throw TCliError(eExit_CommandError, "--pick " + pinPick.Text + ": " + error);
        TBoard* board = session.Project().Board();
        board->SetCurrentObject(pad);
        board->SetContext({pad});
    });
}

} // namespace pcbhost::cli
