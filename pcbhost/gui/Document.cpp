#include "pcbhost/gui/Document.h"

#include <filesystem>

namespace pcbhost::gui {

TDocument::TDocument(IPtr<IHostUI> ui, const std::string& modulePath)
    : FConsole{FIn, FOut, FErr}, FReport(FConsole, true, false), FUI(std::move(ui)) {
    FOptions.ModulePath = modulePath;
    // Everything the host can tell goes to the messages panel (a window has room for the list of
    // schematic edits, and no option to ask for it).
    FOptions.Verbose = true;
}

TDocument::~TDocument() {
    FView.reset();
    FSession.reset();
}

void TDocument::Open(const std::string& path) {
    FSession = std::make_unique<cli::TSession>(FOptions, FReport, FUI);
    FSession->Open(path);
    FSession->LoadModule();
    FPath = path;
    FView = FSession->View();
}

std::string TDocument::Title() const {
    const std::string& named = Project().IsProject() ? Project().ProjectPath() : FPath;
    return std::filesystem::path(named).stem().string();
}

TPcbServer& TDocument::Server() const {
    return FSession->Host().PcbServer();
}

cli::TCommandState TDocument::State(const std::string& command) {
    return FSession->State(command, "", FView.get());
}

cli::TBoardFigures TDocument::Figures() const {
    TBoard* board = Board();
    return board ? cli::BoardFigures_Of(*board) : cli::TBoardFigures{};
}

bool TDocument::Launch(const std::string& command, const std::string& parameters) {
    TBoard* board = Board();
    std::optional<cli::TBoardFigures> before;
    if (board)
        before = cli::BoardFigures_Of(*board);
    const std::size_t steps = Server().UndoStepCount();
    const bool changedBefore = Project().Changed();
    const bool known = FSession->Launch(command, parameters, FView.get());
    const std::size_t stepsAfter = Server().UndoStepCount();
    // New steps after an undo past the saved state: that state cannot come back by undo.
    if (stepsAfter > steps && steps < FCleanStep)
        FCleanLost = true;
    if (stepsAfter == steps && !changedBefore && Project().Changed())
        FUnrecorded = true;
    if (before) {
        const cli::TBoardFigures after = cli::BoardFigures_Of(*board);
        if (stepsAfter != steps)
            FLastFigures = TCommandFigures{command, *before, after};
    }
    return known;
}

bool TDocument::CanUndo() const {
    return FSession && Server().UndoStepCount() > 0;
}

bool TDocument::CanRedo() const {
    return FSession && Server().RedoStepCount() > 0;
}

bool TDocument::Undo() {
    return FSession && Server().Undo();
}

bool TDocument::Redo() {
    return FSession && Server().Redo();
}

bool TDocument::Modified() const {
    if (!FSession)
        return false;
    return FCleanLost || FUnrecorded || Server().UndoStepCount() != FCleanStep;
}

std::vector<std::string> TDocument::Save() {
    FSession->CheckSaveable();
    auto written = FSession->Save();
    FCleanStep = Server().UndoStepCount();
    FCleanLost = FUnrecorded = false;
    return written;
}

std::vector<std::string> TDocument::TakeNotes() {
    std::vector<std::string> lines;
    const auto& notes = FReport.Notes();
    for (; FNotesShown < notes.size(); ++FNotesShown)
        lines.push_back(notes[FNotesShown].get<std::string>());
    const auto& errors = FReport.Errors();
    for (; FErrorsShown < errors.size(); ++FErrorsShown)
        lines.push_back("error: " + errors[FErrorsShown].get<std::string>());
    return lines;
}

} // namespace pcbhost::gui
