// The client framework of the stand-in host: the client the module receives, views on
// documents, the extension registry, option storage and the framework's parameter lookup.
#pragma once

#include "permutor/host/Host.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pcbhost {

using namespace permutor::host;

class TWorkspace;
class TPcbServer;
class TSchServer;
class TDocument;

// A text sent to the non-interactive message sink (ShowMessageWithoutUI).
struct TSinkMessage {
    std::string Text;
    std::string Caption;
};

// The framework's lookup in "Name=Value|Name=Value" text: the first "=" of an entry splits
// name from value, names and values are trimmed, names compare without regard to ASCII case,
// the first match wins; entries without "=" are ignored.
bool Parameters_Find(std::string_view parameters, std::string_view name, std::string& value);

// "PCB", "SCH", "SCHLIB" or "PCBPROJECT" by the path's extension; empty when unknown.
std::string DocumentKind_OfPath(std::string_view path);

// A view on a document. With an editing mode it offers IServerDocumentViewMode.
class TView : public TUnknownImpl<IServerDocumentView, IServerDocumentViewMode> {
public:
    explicit TView(TDocument* document);
    bool QueryInterface(const TGuid& iid, void** out) override;
    void SetEditingMode(std::int32_t mode) {
        FMode = mode;
        FHasMode = true;
    }
    void ClearEditingMode() { FHasMode = false; }

    IPtr<IServerDocument> OwnerDocument() override;
    std::int32_t EditingMode() override { return FMode; }

private:
    IPtr<IServerDocument> FDocument;
    bool FHasMode = false;
    std::int32_t FMode = 0;
};

class TExtension : public TUnknownImpl<IExtension> {
public:
    TExtension(std::string name, std::int32_t state) : FName(std::move(name)), FState(state) {}
    void SetState(std::int32_t state) { FState = state; }
    std::string Name() override { return FName; }
    std::int32_t State() override { return FState; }

private:
    std::string FName;
    std::int32_t FState;
};

class TExtensionRegistry : public TUnknownImpl<IExtensionRegistry> {
public:
    TExtension& Add(const std::string& name, std::int32_t state);
    // Found without regard to case.
    IPtr<IExtension> FindByName(const std::string& name) override;

private:
    std::vector<IPtr<TExtension>> FExtensions;
};

// One module's options in one JSON file: {"section": {"name": value}}. Values keep the type
// they were written with; reads convert where they sensibly can and fall back to the default.
class TOptionsStorage : public TUnknownImpl<IOptionsStorage> {
public:
    explicit TOptionsStorage(std::string file);
    ~TOptionsStorage() override;
    const std::string& File() const { return FFile; }

    bool ValueExists(const std::string& section, const std::string& name) override;
    std::string ReadString(const std::string& section, const std::string& name,
                           const std::string& defaultValue) override;
    void WriteString(const std::string& section, const std::string& name, const std::string& value) override;
    std::int32_t ReadInteger(const std::string& section, const std::string& name,
                             std::int32_t defaultValue) override;
    void WriteInteger(const std::string& section, const std::string& name, std::int32_t value) override;
    bool ReadBoolean(const std::string& section, const std::string& name, bool defaultValue) override;
    void WriteBoolean(const std::string& section, const std::string& name, bool value) override;
    void Flush() override;

private:
    struct TData;
    std::string FFile;
    std::unique_ptr<TData> FData;
    bool FDirty = false;
};

// Opens a document the model does not hold yet; false when it cannot.
using TOpenHook = std::function<bool(const std::string& kind, const std::string& path)>;

class TClient : public TUnknownImpl<IClient> {
public:
    TClient(TWorkspace* workspace, TPcbServer* pcb, TSchServer* sch, IPtr<IHostUI> ui);
    ~TClient() override;
    bool QueryInterface(const TGuid& iid, void** out) override;

    // ---- model ----
    void SetOptionsDirectory(std::string directory) { FOptionsDirectory = std::move(directory); }
    const std::string& OptionsDirectory() const { return FOptionsDirectory; }
    void SetDeviceManager(IPtr<IDeviceManager> manager) { FDeviceManager = std::move(manager); }
    // Makes the module's random choices repeatable; nullopt lets it seed from the clock.
    void SetRandomSeed(std::optional<std::uint32_t> seed) { FSeed = seed; }
    void SetOpenHook(TOpenHook hook) { FOpenHook = std::move(hook); }
    TExtensionRegistry& Extensions() { return *FExtensions; }
    const std::vector<std::string>& StartedServers() const { return FStarted; }
    std::int32_t AfterCommandCount() const { return FAfterCommands; }
    const std::vector<TSinkMessage>& SinkMessages() const { return FSink; }

    // ---- IClient ----
    bool StartServer(const std::string& name) override;
    void AfterCommand() override { ++FAfterCommands; }
    void ShowMessageWithoutUI(const std::string& text, const std::string& caption) override;
    IPtr<IExtensionRegistry> ExtensionRegistry() override;
    IPtr<IServerDocument> ServerDocumentByPath(const std::string& path) override;
    // The kind by the path's extension; a file of another name that holds an FPGA pin report is
    // "PININFO".
    std::string DocumentKindOfPath(const std::string& path) override;
    IPtr<IServerDocument> OpenDocument(const std::string& kind, const std::string& path) override;
    bool Parameters_GetValueByName(const std::string& parameters, const std::string& name,
                                   std::string& value) override;
    IPtr<IOptionsStorage> OpenOptionsStorage(const std::string& moduleName) override;
    IPtr<IHostUI> UI() override { return FUI; }
    IPtr<IWorkspace> Workspace() override;
    IPtr<IDeviceManager> DeviceManager() override { return FDeviceManager; }
    bool RandomSeed(std::uint32_t& seed) override {
        if (FSeed)
            seed = *FSeed;
        return FSeed.has_value();
    }

private:
    IPtr<TWorkspace> FWorkspace;
    IPtr<TPcbServer> FPcb;
    IPtr<TSchServer> FSch;
    IPtr<IHostUI> FUI;
    IPtr<TExtensionRegistry> FExtensions;
    IPtr<IDeviceManager> FDeviceManager;
    std::string FOptionsDirectory;
    TOpenHook FOpenHook;
    std::vector<std::string> FStarted;
    std::int32_t FAfterCommands = 0;
    std::optional<std::uint32_t> FSeed;
    std::vector<TSinkMessage> FSink;
    // Pin reports opened as documents, by full path.
    std::vector<IPtr<IServerDocument>> FPinReports;
    // The package a schematic symbol names for the report at `path` ("PinInfoPackage").
    std::string PinReportPackage(const std::string& path);
};

// $XDG_CONFIG_HOME/pcbhost, else $HOME/.config/pcbhost.
std::string Options_DefaultDirectory();

} // namespace pcbhost
