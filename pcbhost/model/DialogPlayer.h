// The host's own form of the module's configuration dialogs, for a terminal or a script: it
// prints a dialog's rows as a table and takes the dialog's actions as typed commands ("open U2",
// "assign by bank", "ok"...). Where the commands come from and where the text goes is the
// caller's: the terminal front end reads --do options and then its prompt; tests queue them.
// `help` lists the commands of the dialog at hand.
#pragma once

#include "permutor/dialogs/DialogState.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pcbhost {

class TDialogPlayer : public permutor::dialogs::IDialogViews {
public:
    // Reads the next command; false when there are no more (the open dialogs are then
    // cancelled without further questions).
    using TReadCommand = std::function<bool(const std::string& prompt, std::string& line)>;
    using TPrint = std::function<void(const std::string& text)>;

    TDialogPlayer(TReadCommand read, TPrint print);

    // A scripted run stops at the first command that fails: the open dialogs close as
    // cancelled and nothing is applied. A person at a prompt just gets the error.
    void SetStopOnError(bool stop) { FStopOnError = stop; }
    // Where a failed command's reason goes (default: printed like everything else).
    void SetErrorSink(TPrint sink) { FPrintError = std::move(sink); }
    // The width tables are fitted to (default 100 characters).
    void SetWidth(std::int32_t width) { FWidth = width; }
    // The commands that failed, each with its reason.
    const std::vector<std::string>& Errors() const { return FErrors; }

    bool ShowComponentList(permutor::dialogs::IComponentListState& state) override;
    bool ShowComponentSwap(permutor::dialogs::IComponentSwapState& state) override;

    // A table of the given columns of a dialog list, fitted to `width` characters: the widest
    // text columns are shortened (with "~") until it fits. Check cells read "[x]", "[ ]" or
    // nothing; status icons are marked before the text ("* " modified, "+ " added, "- " removed).
    static std::string Table_Format(const std::vector<permutor::dialogs::TDialogColumn>& columns,
                                    const std::vector<permutor::dialogs::TDialogRow>& rows,
                                    const std::vector<std::int32_t>& shownColumns, std::int32_t width);

private:
    enum class TOutcome { eContinue, eOK, eCancel };
    bool PlayList(permutor::dialogs::IComponentListState& state);
    bool PlaySwap(permutor::dialogs::IComponentSwapState& state);
    TOutcome ListCommand(permutor::dialogs::IComponentListState& state,
                         const std::vector<std::string>& words);
    TOutcome SwapCommand(permutor::dialogs::IComponentSwapState& state, const std::vector<std::string>& words,
                         const std::string& line);
    void ShowList(permutor::dialogs::IComponentListState& state);
    void ShowSwapList(permutor::dialogs::IComponentSwapState& state, permutor::dialogs::TSwapList list);
    void ShowSwapHeader(permutor::dialogs::IComponentSwapState& state);
    void Fail(const std::string& error);

    TReadCommand FRead;
    TPrint FPrint;
    TPrint FPrintError;
    bool FStopOnError = false;
    bool FStopped = false;
    std::int32_t FDepth = 0; // dialogs open, the list and the editor it opened
    std::int32_t FWidth = 100;
    std::vector<std::string> FErrors;
};

} // namespace pcbhost
