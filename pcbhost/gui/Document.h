// One project opened in the desktop window: the command line's session (host, KiCad documents,
// module, saving with back-annotation, constraint files and swap report) run with the window's
// user-interface services, plus what a window adds: undo and redo of the module's change steps,
// the modified state, and the board's figures before and after the last command.
#pragma once

#include "pcbhost/cli/BoardInfo.h"
#include "pcbhost/cli/Session.h"

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace pcbhost::gui {

struct TCommandFigures {
    std::string Command;
    cli::TBoardFigures Before, After;
};

class TDocument {
public:
    // `modulePath` empty: the module beside the program.
    TDocument(IPtr<IHostUI> ui, const std::string& modulePath);
    ~TDocument();
    TDocument(const TDocument&) = delete;
    TDocument& operator=(const TDocument&) = delete;

    // Opens the project and loads the module; throws cli::TCliError naming the file and place.
    void Open(const std::string& path);
    const std::string& Path() const { return FPath; }
    // The project's name for the title bar: the .kicad_pro's base name, else the file's.
    std::string Title() const;
    cli::TSession& Session() const { return *FSession; }
    kicad::TKicadProject& Project() const { return FSession->Project(); }
    TBoard* Board() const { return FSession->Project().Board(); }

    cli::TCommandState State(const std::string& command);
    // Runs a module command in the project's view; false when the module does not know it.
    bool Launch(const std::string& command, const std::string& parameters = {});
    // The figures around the last command that changed the board.
    const std::optional<TCommandFigures>& LastFigures() const { return FLastFigures; }
    cli::TBoardFigures Figures() const;

    bool CanUndo() const;
    bool CanRedo() const;
    bool Undo();
    bool Redo();
    // Whether the documents differ from what was last saved (or opened).
    bool Modified() const;

    // Writes every changed file atomically with what follows the board (schematic, constraint
    // files, swap report); returns the files written. Throws cli::TCliError; the files on disk
    // then stay as they were.
    std::vector<std::string> Save();

    // What the host reported since the last call (notes such as "wrote …", errors), one entry a
    // line.
    std::vector<std::string> TakeNotes();

private:
    TPcbServer& Server() const;

    std::size_t FNotesShown = 0, FErrorsShown = 0;
    std::istringstream FIn;
    std::ostringstream FOut, FErr;
    cli::TConsole FConsole;
    cli::TReport FReport;
    cli::TGlobalOptions FOptions;
    IPtr<IHostUI> FUI;
    std::unique_ptr<cli::TSession> FSession;
    std::string FPath;
    IPtr<IServerDocumentView> FView;
    std::optional<TCommandFigures> FLastFigures;
    // The undo position of the saved state; lost when a change replaced the steps after it.
    std::size_t FCleanStep = 0;
    bool FCleanLost = false;
    // A command changed the documents outside the undo history (the configuration's switches).
    bool FUnrecorded = false;
};

} // namespace pcbhost::gui
