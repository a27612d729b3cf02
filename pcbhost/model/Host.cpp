#include "pcbhost/model/Host.h"

#include <fmt/format.h>

#include <stdexcept>

namespace pcbhost {

struct THost::TImpl {
    IPtr<TWorkspace> Workspace = MakeObject<TWorkspace>();
    IPtr<TPcbServer> Pcb = MakeObject<TPcbServer>();
    IPtr<TSchServer> Sch = MakeObject<TSchServer>();
    IPtr<IHostUI> UI;
    TScriptedUI* Scripted = nullptr;
    IPtr<TClient> Client;
    IPtr<TDeviceManager> Devices;
    TDocumentLoader Loader;
    std::uint64_t NextId = 1;
    std::vector<std::unique_ptr<TProjectBuilder>> Projects;
    std::vector<std::unique_ptr<TSchematicBuilder>> FreeSheets;
    std::vector<std::unique_ptr<TBoardBuilder>> FreeBoards;
};

THost::THost() : THost(THostSettings{}) {}

THost::THost(THostSettings settings) : FImpl(std::make_unique<TImpl>()) {
    if (settings.UI) {
        FImpl->UI = settings.UI;
    } else {
        auto ui = MakeObject<TScriptedUI>();
        FImpl->Scripted = ui.get();
        FImpl->UI = ui;
    }
    FImpl->Pcb->SetUI(FImpl->UI);
    FImpl->Client =
        MakeObject<TClient>(FImpl->Workspace.get(), FImpl->Pcb.get(), FImpl->Sch.get(), FImpl->UI);
    if (!settings.OptionsDirectory.empty())
        FImpl->Client->SetOptionsDirectory(settings.OptionsDirectory);
}

THost::~THost() {
    // Builders hold plain pointers into the model: they go first.
    FImpl->Projects.clear();
    FImpl->FreeSheets.clear();
    FImpl->FreeBoards.clear();
}

TProjectBuilder& THost::AddProject(const std::string& projectPath) {
    TProject& project = FImpl->Workspace->AddProject(projectPath);
    for (auto& p : FImpl->Projects)
        if (&p->Model() == &project)
            return *p;
    FImpl->Projects.push_back(std::unique_ptr<TProjectBuilder>(new TProjectBuilder(*this, &project)));
    return *FImpl->Projects.back();
}

TSchematicBuilder& THost::AddFreeSchematic(const std::string& path) {
    return NewSchematic(FImpl->Workspace->FreeProject(), path, false, FImpl->FreeSheets);
}

TSchematicBuilder& THost::AddFreeLibrary(const std::string& path) {
    return NewSchematic(FImpl->Workspace->FreeProject(), path, true, FImpl->FreeSheets);
}

TBoardBuilder& THost::AddFreeBoard(const std::string& path) {
    return NewBoard(FImpl->Workspace->FreeProject(), path, FImpl->FreeBoards);
}

TDocument& THost::AddBoardDocument(TProject& project, TBoard& board) {
    auto document = MakeObject<TDocument>(board.Path(), "PCB");
    document->SetBoard(&board);
    FImpl->Pcb->AddBoard(&board);
    return project.AddDocument(document.get());
}

TDocument& THost::AddSchematicDocument(TProject& project, TSchDocument& sheet) {
    auto document = MakeObject<TDocument>(sheet.Path(), sheet.IsLibrary() ? "SCHLIB" : "SCH");
    document->SetSheet(&sheet);
    FImpl->Sch->AddDocument(&sheet);
    return project.AddDocument(document.get());
}

TSchematicBuilder& THost::NewSchematic(TProject& project, const std::string& path, bool library,
                                       std::vector<std::unique_ptr<TSchematicBuilder>>& owner) {
    if (FImpl->Workspace->FindDocument(path))
        throw std::invalid_argument("document already in the workspace: " + path);
    auto sheet = MakeObject<TSchDocument>(path, library);
    sheet->SetSheetId(NewId());
    AddSchematicDocument(project, *sheet);
    owner.push_back(std::unique_ptr<TSchematicBuilder>(new TSchematicBuilder(*this, sheet.get())));
    return *owner.back();
}

TBoardBuilder& THost::NewBoard(TProject& project, const std::string& path,
                               std::vector<std::unique_ptr<TBoardBuilder>>& owner) {
    if (FImpl->Workspace->FindDocument(path))
        throw std::invalid_argument("document already in the workspace: " + path);
    auto board = MakeObject<TBoard>(path);
    AddBoardDocument(project, *board);
    owner.push_back(std::unique_ptr<TBoardBuilder>(new TBoardBuilder(*this, board.get())));
    return *owner.back();
}

std::string THost::NewId() {
    std::uint64_t n = FImpl->NextId++;
    return fmt::format("{:08x}-0000-4000-8000-{:012x}", n, n);
}

void THost::SchematicChanged(const std::string& path) {
    if (TDocument* d = FImpl->Workspace->FindDocument(path))
        if (d->Project())
            d->Project()->MarkOutOfDate();
}

IPtr<IServerDocumentView> THost::OpenView(const TBoardBuilder& board) {
    return OpenView(board.Path());
}
IPtr<IServerDocumentView> THost::OpenView(const TSchematicBuilder& sheet) {
    return OpenView(sheet.Path());
}

IPtr<IServerDocumentView> THost::OpenView(const std::string& documentPath) {
    TDocument* d = FImpl->Workspace->FindDocument(documentPath);
    if (!d && FImpl->Loader && FImpl->Loader(*this, DocumentKind_OfPath(documentPath), documentPath))
        d = FImpl->Workspace->FindDocument(documentPath);
    if (!d)
        throw std::invalid_argument("no such document: " + documentPath);
    d->Open();
    if (d->Sheet())
        FImpl->Sch->SetCurrent(d->Sheet());
    return MakeObject<TView>(d);
}

IPtr<IServerDocumentView> THost::OpenView(const std::string& documentPath, std::int32_t editingMode) {
    auto view = OpenView(documentPath);
    static_cast<TView*>(view.get())->SetEditingMode(editingMode);
    return view;
}

IPtr<IClient> THost::Client() {
    return IPtr<IClient>(FImpl->Client.get());
}
IPtr<IHostUI> THost::HostUI() {
    return FImpl->UI;
}

TScriptedUI& THost::UI() {
    if (!FImpl->Scripted)
        throw std::logic_error("the host runs with another user interface than the scripted one");
    return *FImpl->Scripted;
}

TClient& THost::ClientModel() {
    return *FImpl->Client;
}
TWorkspace& THost::Workspace() {
    return *FImpl->Workspace;
}
TPcbServer& THost::PcbServer() {
    return *FImpl->Pcb;
}
TSchServer& THost::SchServer() {
    return *FImpl->Sch;
}

const std::vector<TMessageLine>& THost::Messages() const {
    return FImpl->Workspace->Panel().Lines();
}
const std::vector<TSinkMessage>& THost::SinkMessages() const {
    return FImpl->Client->SinkMessages();
}

TExtension& THost::AddExtension(const std::string& name, std::int32_t state) {
    return FImpl->Client->Extensions().Add(name, state);
}

TDeviceManager& THost::InstallDeviceManager() {
    if (!FImpl->Devices) {
        FImpl->Devices = MakeObject<TDeviceManager>();
        FImpl->Client->SetDeviceManager(IPtr<IDeviceManager>(FImpl->Devices.get()));
    }
    return *FImpl->Devices;
}

void THost::SetOptionsDirectory(const std::string& directory) {
    FImpl->Client->SetOptionsDirectory(directory);
}

void THost::SetDocumentLoader(TDocumentLoader loader) {
    FImpl->Loader = std::move(loader);
    if (!FImpl->Loader) {
        FImpl->Client->SetOpenHook(nullptr);
        return;
    }
    FImpl->Client->SetOpenHook([this](const std::string& kind, const std::string& path) {
        return FImpl->Loader(*this, kind, path);
    });
}

} // namespace pcbhost
