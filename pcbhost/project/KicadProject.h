// A KiCad project opened in the stand-in host: the .kicad_pro, its root schematic with the whole
// sheet hierarchy, the board of the same base name, and the sidecar file of swap options. Saving
// writes back only what changed, each file atomically, keeping a .bak of the previous one.
#pragma once

#include "pcbhost/model/Host.h"
#include "pcbhost/project/BackAnnotation.h"
#include "pcbhost/project/BoardFile.h"
#include "pcbhost/project/FpgaConstraints.h"
#include "pcbhost/project/SchematicConnectivity.h"
#include "pcbhost/project/SchematicFiles.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pcbhost::kicad {

// Project options the host keeps beside the .kicad_pro (KiCad drops unknown keys of its own
// project file when it saves).
struct TSwapOptions {
    bool AllowPinChanges = true;
    bool AllowNetLabelChanges = false;
};

struct TSaveOptions {
    bool KeepBackup = true;
    // Write the board here instead of over the original (the original stays untouched).
    std::string BoardOutput;
};

class TKicadProject {
public:
    // Opens a .kicad_pro, or a .kicad_pcb/.kicad_sch: with a .kicad_pro of the same base name
    // beside it the whole project opens, without one the file opens as a free document.
    // Throws sexpr::ParseError (file:line:column: what was expected) or std::runtime_error.
    static std::unique_ptr<TKicadProject> Open(THost& host, const std::string& path);
    ~TKicadProject();

    bool IsProject() const { return !FProjectPath.empty(); }
    const std::string& ProjectPath() const { return FProjectPath; }
    const std::string& BoardPath() const { return FBoardPath; }
    const std::string& RootSchematicPath() const { return FRootSchematicPath; }
    std::string SidecarPath() const;

    TProject* Project() const { return FProject; }
    TBoard* Board() const { return FBoardFile ? &FBoardFile->Board() : nullptr; }
    const TBoardFile* BoardFile() const { return FBoardFile.get(); }
    const TSchematicSet* Schematics() const { return FSchematics.get(); }
    // The schematic's connectivity as read from the files (not updated by later edits).
    // The schematic's connectivity as read (worked out again when it was let go to save memory).
    const TSchematicConnectivity* Connectivity() const;
    // The schematic component of a reference, or null.
    TSchSymbol* FindSymbol(std::string_view reference) const;

    const TSwapOptions& SwapOptions() const { return FOptions; }
    void SetSwapOptions(const TSwapOptions& options);

    // Makes the schematic follow the pads whose nets changed on the board (see BackAnnotation.h):
    // plans the sheet edits, which the next Save writes with the board. Nothing to do without a
    // schematic. Planning again replaces the previous plan.
    const TBackAnnotation& BackAnnotate();
    // The last plan; empty before BackAnnotate().
    const TBackAnnotation& BackAnnotation() const { return FBackAnnotation; }
    // The FPGA pin constraint files that BackAnnotate() found to follow the swaps (saved with it).
    const std::vector<TConstraintFollow>& ConstraintFiles() const { return FConstraintFiles; }
    // What was odd in the files but read on past: the board's first, then the sheets'.
    std::vector<sexpr::ParseWarning> Warnings() const;

    // The project's other boards: every .kicad_pcb of its folder but the one opened (an unrouted
    // copy, a variant, a panel), read on first use. A footprint's own settings, such as its swap
    // switches, belong on each of them. Boards that cannot be read are left out and listed in
    // SkippedBoards() with the reason.
    const std::vector<TBoardFile*>& OtherBoards();
    const std::vector<std::string>& SkippedBoards() const { return FSkippedBoards; }
    // The board file at `path`: the opened board, one of the other boards, or a board read now
    // (throws as TBoardFile does). Saved with the project when changed.
    TBoardFile& BoardAt(const std::string& path);

    // Lets the system take back the memory of large files' bytes, which are only wanted again for
    // saving; Open does this, and a caller that reads on in the files does it again after.
    void ReleaseSources() const;
    // Whether any file would change on save.
    bool Changed() const;
    // Writes every changed file; returns the paths written. Renders all files before writing
    // any, so a model that cannot be written leaves every file as it was.
    std::vector<std::string> Save(const TSaveOptions& options = {});

private:
    TKicadProject() = default;
    THost* FHost = nullptr;
    std::string FProjectPath, FBoardPath, FRootSchematicPath;
    TProject* FProject = nullptr;
    std::unique_ptr<TBoardFile> FBoardFile;
    std::unique_ptr<TSchematicSet> FSchematics;
    mutable std::unique_ptr<TSchematicConnectivity> FConnectivity;
    TSwapOptions FOptions, FSavedOptions;
    bool FSidecarExists = false;
    TBackAnnotation FBackAnnotation;
    std::vector<std::unique_ptr<TBoardFile>> FOtherBoardFiles;
    std::vector<TBoardFile*> FOtherBoards;
    std::vector<std::string> FSkippedBoards;
    bool FOtherBoardsRead = false;
    std::vector<TConstraintFollow> FConstraintFiles;
};

} // namespace pcbhost::kicad
