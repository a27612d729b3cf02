#include "pcbhost/project/KicadProject.h"

#include "pcbhost/kicad/FileIO.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <system_error>

namespace pcbhost::kicad {

namespace fs = std::filesystem;

namespace {

std::string Normal(const std::string& path) {
    return fs::absolute(fs::path(path)).lexically_normal().string();
}

bool HasExtension(const std::string& path, const char* extension) {
    return fs::path(path).extension() == extension;
}

TSwapOptions ReadSidecar(const std::string& path, bool& exists) {
    TSwapOptions options;
    exists = fs::exists(path);
    if (!exists)
        return options;
    const std::string text = sexpr::readFile(path);
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        // Turn the byte offset into a line and column.
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i + 1 < e.byte && i < text.size(); ++i, ++column)
            if (text[i] == '\n')
                ++line, column = 0;
        throw std::runtime_error(sexpr::formatLocated(path, std::uint32_t(line), std::uint32_t(column),
                                                      "expected a JSON object of swap options"));
    }
    if (!j.is_object())
        throw std::runtime_error(path + ": expected a JSON object of swap options");
    auto flag = [&](const char* key, bool& out) {
        if (!j.contains(key))
            return;
        if (!j[key].is_boolean())
            throw std::runtime_error(path + ": \"" + key + "\" must be true or false");
        out = j[key].get<bool>();
    };
    flag("allow_pin_changes", options.AllowPinChanges);
    flag("allow_net_label_changes", options.AllowNetLabelChanges);
    return options;
}

} // namespace

std::unique_ptr<TKicadProject> TKicadProject::Open(THost& host, const std::string& pathIn) {
    const std::string path = Normal(pathIn);
    if (!fs::exists(path))
        throw std::runtime_error(pathIn + ": no such file");
    std::unique_ptr<TKicadProject> p(new TKicadProject());
    p->FHost = &host;

    const fs::path base = fs::path(path).replace_extension();
    std::string pro = HasExtension(path, ".kicad_pro") ? path : base.string() + ".kicad_pro";
    if (!HasExtension(path, ".kicad_pro") && !fs::exists(pro)) {
        // A board or sheet with another name (a variant, a copy) belongs to the folder's project
        // when the folder holds exactly one.
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path()))
            if (entry.path().extension() == ".kicad_pro")
                found.push_back(entry.path().string());
        if (found.size() == 1)
            pro = found.front();
    }
    if (!HasExtension(path, ".kicad_pro") && !HasExtension(path, ".kicad_pcb") &&
        !HasExtension(path, ".kicad_sch"))
        throw std::runtime_error(pathIn + ": expected a .kicad_pro, .kicad_pcb or .kicad_sch file");

    if (fs::exists(pro)) {
        // The project file must at least be JSON; KiCad owns everything in it.
        const std::string text = sexpr::readFile(pro);
        if (!nlohmann::json::accept(text))
            throw std::runtime_error(pro + ": not a KiCad project file (expected JSON)");
        p->FProjectPath = pro;
        const std::string stem = fs::path(pro).stem().string();
        const fs::path dir = fs::path(pro).parent_path();
        auto& builder = host.AddProject(pro);
        p->FProject = &builder.Model();
        p->FOptions = ReadSidecar(p->SidecarPath(), p->FSidecarExists);
        p->FSavedOptions = p->FOptions;
        builder.AllowPinSwapping(p->FOptions.AllowPinChanges);
        builder.AllowNetLabelSwapping(p->FOptions.AllowNetLabelChanges);

        // The board opened by name (a variant or copy) stands in for the project's own board.
        const std::string pcb =
            HasExtension(path, ".kicad_pcb") ? path : (dir / (stem + ".kicad_pcb")).string();
        const std::string sch = (dir / (stem + ".kicad_sch")).string();
        const bool hasSchematic = fs::exists(sch);
        // The board is read on a thread of its own while the schematic is read here: the two are
        // most of the time it takes to open a big project, and they share nothing (the board
        // model refers to no other document) until the board's pins take the schematic's nets.
        std::future<std::unique_ptr<TBoardFile>> boardRead;
        if (fs::exists(pcb)) {
            p->FBoardPath = pcb;
            TBoard& board = builder.AddBoard(pcb).Model();
            // The nets' copper islands and ratsnest are wanted by nearly every command (the
            // board figures, the module's sub-nets) and depend on the board alone, so a thread
            // of its own works them out too.
            auto read = [pcb, &board](bool aside) {
                auto file = std::make_unique<TBoardFile>(pcb, board);
                if (aside)
                    for (TPcbNet* net : board.NetList())
                        net->Islands();
                return file;
            };
            if (hasSchematic) {
                try {
                    boardRead = std::async(std::launch::async, read, true);
                } catch (const std::system_error&) {
                    // No thread to be had: one after the other.
                }
            }
            if (!boardRead.valid())
                p->FBoardFile = read(false);
        }
        if (hasSchematic) {
            p->FRootSchematicPath = sch;
            try {
                p->FSchematics = std::make_unique<TSchematicSet>(
                    sch, stem, [&builder](const std::string& sheet) -> TSchDocument& {
                        return builder.AddSchematic(sheet).Model();
                    });
                p->FConnectivity = std::make_unique<TSchematicConnectivity>(*p->FSchematics);
            } catch (...) {
                // What is wrong with the board is reported first, as when it was read first.
                if (boardRead.valid())
                    boardRead.get();
                throw;
            }
        }
        if (boardRead.valid())
            p->FBoardFile = boardRead.get();
        if (hasSchematic) {
            p->FSchematics->ResolveNets(*p->FConnectivity);
            p->FProject->SetPinNetsFromSchematic(true);
        }
        p->ReleaseSources();
        return p;
    }

    if (HasExtension(path, ".kicad_pro"))
        throw std::runtime_error(pathIn + ": no such project file");
    if (HasExtension(path, ".kicad_pcb")) {
        p->FBoardPath = path;
        p->FBoardFile = std::make_unique<TBoardFile>(path, host.AddFreeBoard(path).Model());
    } else {
        p->FRootSchematicPath = path;
        p->FSchematics = std::make_unique<TSchematicSet>(path, fs::path(path).stem().string(),
                                                         [&host](const std::string& sheet) -> TSchDocument& {
                                                             return host.AddFreeSchematic(sheet).Model();
                                                         });
        p->FConnectivity = std::make_unique<TSchematicConnectivity>(*p->FSchematics);
        p->FSchematics->ResolveNets(*p->FConnectivity);
    }
    p->ReleaseSources();
    return p;
}

void TKicadProject::ReleaseSources() const {
    if (FBoardFile)
        FBoardFile->ReleaseSource();
    if (FSchematics)
        FSchematics->ReleaseSources();
}

TKicadProject::~TKicadProject() = default;

const TSchematicConnectivity* TKicadProject::Connectivity() const {
    if (!FConnectivity && FSchematics)
        FConnectivity = std::make_unique<TSchematicConnectivity>(*FSchematics);
    return FConnectivity.get();
}

std::string TKicadProject::SidecarPath() const {
    if (FProjectPath.empty())
        return {};
    return fs::path(FProjectPath).replace_extension(".pinswap.json").string();
}

TSchSymbol* TKicadProject::FindSymbol(std::string_view reference) const {
    if (!FSchematics)
        return nullptr;
    for (const auto& symbol : FSchematics->Symbols())
        if (symbol->Designator == reference)
            return symbol.get();
    return nullptr;
}

void TKicadProject::SetSwapOptions(const TSwapOptions& options) {
    if (!FProject)
        throw std::runtime_error("swap options belong to a project; this document was opened without one");
    FOptions = options;
    FProject->SetAllowPinSwapping(options.AllowPinChanges);
    FProject->SetAllowNetLabelSwapping(options.AllowNetLabelChanges);
}

const TBackAnnotation& TKicadProject::BackAnnotate() {
    FBackAnnotation = {};
    FConstraintFiles.clear();
    if (!FSchematics || !FBoardFile || !FProject)
        return FBackAnnotation;
    std::vector<TPinChange> changes;
    for (const auto& pad : FBoardFile->ChangedPads())
        changes.push_back({pad.Reference, pad.Pad, pad.OldNet, pad.NewNet});
    // Before the board's nets are renamed below: the constraint files follow the swaps only.
    FConstraintFiles = FpgaConstraints_Plan(*FSchematics, *Board(), changes);
    // The plan takes the connectivity over: the schematic it describes is about to change.
    Connectivity();
    FBackAnnotation =
        BackAnnotation_Plan(*FSchematics, changes, FOptions.AllowNetLabelChanges, std::move(FConnectivity));
    FSchematics->SetSheetEdits(FBackAnnotation.SheetEdits);
    for (const auto& [from, to] : FBackAnnotation.NetRenames)
        if (TPcbNet* net = Board()->FindNet(from))
            net->SetName(to);
    return FBackAnnotation;
}

std::vector<sexpr::ParseWarning> TKicadProject::Warnings() const {
    std::vector<sexpr::ParseWarning> warnings;
    if (FBoardFile)
        warnings = FBoardFile->Warnings();
    if (FSchematics) {
        const auto sheets = FSchematics->Warnings();
        warnings.insert(warnings.end(), sheets.begin(), sheets.end());
    }
    return warnings;
}

const std::vector<TBoardFile*>& TKicadProject::OtherBoards() {
    if (FOtherBoardsRead || FProjectPath.empty())
        return FOtherBoards;
    FOtherBoardsRead = true;
    std::vector<fs::path> paths;
    for (const auto& entry : fs::directory_iterator(fs::path(FProjectPath).parent_path())) {
        const std::string name = entry.path().filename().string();
        // KiCad's autosave and lock files are not boards of the project.
        if (entry.is_regular_file() && entry.path().extension() == ".kicad_pcb" &&
            !name.starts_with("_autosave-") && !name.starts_with("~"))
            paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
        const std::string normal = Normal(path.string());
        if (normal == FBoardPath)
            continue;
        try {
            BoardAt(normal);
        } catch (const std::exception& e) {
            FSkippedBoards.push_back(e.what());
        }
    }
    return FOtherBoards;
}

TBoardFile& TKicadProject::BoardAt(const std::string& pathIn) {
    const std::string path = Normal(pathIn);
    if (FBoardFile && path == FBoardPath)
        return *FBoardFile;
    for (TBoardFile* board : FOtherBoards)
        if (board->Path() == path)
            return *board;
    if (!fs::exists(path))
        throw std::runtime_error(pathIn + ": no such file");
    if (!HasExtension(path, ".kicad_pcb"))
        throw std::runtime_error(pathIn + ": expected a .kicad_pcb file");
    auto file = std::make_unique<TBoardFile>(path, FHost->AddFreeBoard(path).Model());
    FOtherBoards.push_back(file.get());
    FOtherBoardFiles.push_back(std::move(file));
    return *FOtherBoards.back();
}

bool TKicadProject::Changed() const {
    if (FBoardFile && FBoardFile->Changed())
        return true;
    for (const TBoardFile* board : FOtherBoards)
        if (board->Changed())
            return true;
    if (FSchematics && FSchematics->Changed())
        return true;
    return FOptions.AllowPinChanges != FSavedOptions.AllowPinChanges ||
           FOptions.AllowNetLabelChanges != FSavedOptions.AllowNetLabelChanges;
}

std::vector<std::string> TKicadProject::Save(const TSaveOptions& options) {
    // Every new content is worked out first: a model that cannot be written stops here, before
    // any file is touched. The sheets are written from their edited documents straight into the
    // temporary files, so that a large schematic is not held twice in memory.
    std::vector<std::pair<std::string, std::string>> boards, others;
    // A large file is mapped rather than copied: changed in place since, its bytes would no longer
    // be the ones read, and the new content would mix the two.
    auto changedOnDisk = [](const std::string& path) {
        return std::runtime_error(path +
                                  ": changed on disk since it was read; nothing was saved (open it again)");
    };
    if (FBoardFile && !FBoardFile->SourceUnchanged())
        throw changedOnDisk(FBoardPath);
    for (const TBoardFile* board : FOtherBoards)
        if (!board->SourceUnchanged())
            throw changedOnDisk(board->Path());
    if (FSchematics)
        if (const std::string path = FSchematics->ChangedOnDisk(); !path.empty())
            throw changedOnDisk(path);
    std::vector<const TBoardFile*> replaced; // boards written over the files they were read from
    if (FBoardFile && (FBoardFile->Changed() || !options.BoardOutput.empty())) {
        boards.emplace_back(options.BoardOutput.empty() ? FBoardPath : options.BoardOutput,
                            FBoardFile->Render());
        if (options.BoardOutput.empty())
            replaced.push_back(FBoardFile.get());
    }
    for (const TBoardFile* board : FOtherBoards)
        if (board->Changed()) {
            boards.emplace_back(board->Path(), board->Render());
            replaced.push_back(board);
        }
    const std::map<std::string, sexpr::Document> sheets =
        FSchematics ? FSchematics->Edited() : std::map<std::string, sexpr::Document>();
    if (options.BoardOutput.empty())
        for (const auto& constraints : FConstraintFiles)
            if (constraints.Changed())
                others.emplace_back(constraints.Path, constraints.NewText);
    if (FOptions.AllowPinChanges != FSavedOptions.AllowPinChanges ||
        FOptions.AllowNetLabelChanges != FSavedOptions.AllowNetLabelChanges) {
        nlohmann::json j = {{"allow_pin_changes", FOptions.AllowPinChanges},
                            {"allow_net_label_changes", FOptions.AllowNetLabelChanges}};
        others.emplace_back(SidecarPath(), j.dump(2) + "\n");
    }
    using TWrite = std::function<void(std::string_view)>;
    std::vector<std::pair<std::filesystem::path, sexpr::ContentWriter>> batch;
    std::vector<std::string> written;
    auto add = [&](const std::string& path, sexpr::ContentWriter content) {
        batch.emplace_back(path, std::move(content));
        written.push_back(path);
    };
    for (const auto& [path, text] : boards)
        add(path, [&text](const TWrite& write) { write(text); });
    for (const auto& [path, doc] : sheets)
        add(path, [&doc](const TWrite& write) { doc.write(write); });
    for (const auto& [path, text] : others)
        add(path, [&text](const TWrite& write) { write(text); });
    sexpr::writeFilesAtomically(batch, options.KeepBackup);
    for (const TBoardFile* board : replaced)
        board->NoteReplaced();
    for (const auto& [path, doc] : sheets)
        FSchematics->NoteReplaced(path);
    FSavedOptions = FOptions;
    return written;
}

} // namespace pcbhost::kicad
