// The in-memory stand-in host: client, workspace, schematic and PCB servers and the
// user-interface services over one document model. Tests build documents with the builders
// (Builder.h); a file loader fills the same model directly.
#pragma once

#include "pcbhost/model/Board.h"
#include "pcbhost/model/Builder.h"
#include "pcbhost/model/Design.h"
#include "pcbhost/model/Devices.h"
#include "pcbhost/model/Framework.h"
#include "pcbhost/model/Schematic.h"
#include "pcbhost/model/ScriptedUI.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pcbhost {

struct THostSettings {
    // Where option storage keeps one JSON file per module. Empty: $XDG_CONFIG_HOME/pcbhost/,
    // else ~/.config/pcbhost/.
    std::string OptionsDirectory;
    // The user-interface services; none installs a scripted UI (tests, batch runs).
    IPtr<IHostUI> UI;
};

// Opens a document the model does not hold yet (e.g. the KiCad loader); returns false when the
// path cannot be loaded. Called by the client's OpenDocument and by OpenView for unknown paths.
using TDocumentLoader = std::function<bool(THost& host, const std::string& kind, const std::string& path)>;

class THost {
public:
    THost();
    explicit THost(THostSettings settings);
    ~THost();
    THost(const THost&) = delete;
    THost& operator=(const THost&) = delete;

    // A project of a .kicad_pro path; its documents are added to it through the builder.
    TProjectBuilder& AddProject(const std::string& projectPath);
    // Documents outside any project: they belong to the workspace's free-documents project.
    TSchematicBuilder& AddFreeSchematic(const std::string& path);
    TSchematicBuilder& AddFreeLibrary(const std::string& path);
    TBoardBuilder& AddFreeBoard(const std::string& path);

    // A view on a document (opened in its editor); the context of a command. With a mode the
    // view offers IServerDocumentViewMode (1 = restricted).
    IPtr<IServerDocumentView> OpenView(const TBoardBuilder& board);
    IPtr<IServerDocumentView> OpenView(const TSchematicBuilder& sheet);
    IPtr<IServerDocumentView> OpenView(const std::string& documentPath);
    IPtr<IServerDocumentView> OpenView(const std::string& documentPath, std::int32_t editingMode);

    IPtr<IClient> Client();
    IPtr<IHostUI> HostUI();
    // The scripted UI; throws std::logic_error when another UI was installed.
    TScriptedUI& UI();

    TClient& ClientModel();
    TWorkspace& Workspace();
    TPcbServer& PcbServer();
    TSchServer& SchServer();

    // Recorded messages-panel lines and non-interactive sink texts.
    const std::vector<TMessageLine>& Messages() const;
    const std::vector<TSinkMessage>& SinkMessages() const;

    // Adds a document filled without the builders (a file loader) to a project (the
    // free-documents project for documents outside any project) and to its editor's server.
    TDocument& AddBoardDocument(TProject& project, TBoard& board);
    TDocument& AddSchematicDocument(TProject& project, TSchDocument& sheet);

    TExtension& AddExtension(const std::string& name, std::int32_t state);
    // Installs an FPGA device manager; until then the client offers none.
    TDeviceManager& InstallDeviceManager();
    void SetOptionsDirectory(const std::string& directory);
    void SetDocumentLoader(TDocumentLoader loader);

private:
    friend class TProjectBuilder;
    friend class TSchematicBuilder;
    friend class TComponentBuilder;
    friend class TPinBuilder;
    friend class TBoardBuilder;
    // Shared by the builders.
    TSchematicBuilder& NewSchematic(TProject& project, const std::string& path, bool library,
                                    std::vector<std::unique_ptr<TSchematicBuilder>>& owner);
    TBoardBuilder& NewBoard(TProject& project, const std::string& path,
                            std::vector<std::unique_ptr<TBoardBuilder>>& owner);
    // A fresh uuid-like id, deterministic within one host.
    std::string NewId();
    // Schematic data of a document changed: its project's compiled design is out of date.
    void SchematicChanged(const std::string& path);

    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

} // namespace pcbhost
