#include "permutor/host/Services.h"

namespace permutor::host {

namespace {

struct TServiceSlot {
    IPtr<IClient> Client;
    IPtr<IPCB_ServerInterface> PCBServer;
};

TServiceSlot& Slot() {
    static TServiceSlot slot;
    return slot;
}

IPtr<IHostUI> InteractiveUI() {
    auto client = Client_Get();
    if (!client)
        return {};
    auto ui = client->UI();
    if (ui && ui->HasUserInterface())
        return ui;
    return {};
}

void ShowBox(TMessageBoxKind kind, const std::string& text, const std::string& caption) {
    if (auto ui = InteractiveUI()) {
        ui->ShowMessage(kind, text, caption);
        return;
    }
    if (auto client = Client_Get())
        client->ShowMessageWithoutUI(text, caption);
}

bool Ask(const std::string& text, const std::string& caption, TQuestionButtons buttons, bool defaultAnswer) {
    auto ui = InteractiveUI();
    if (!ui)
        return defaultAnswer;
    const TModalResult r = ui->AskQuestion(text, caption, buttons);
    return buttons == eButtons_YesNo ? r == eModal_Yes : r == eModal_OK;
}

} // namespace

IPtr<IClient> Client_Get() {
    return Slot().Client;
}

void Client_Set(IClient* client) {
    Slot().PCBServer.reset();
    Slot().Client = IPtr<IClient>(client);
}

IPtr<IPCB_ServerInterface> PCBServer_Get() {
    auto& slot = Slot();
    if (!slot.PCBServer && slot.Client)
        slot.PCBServer = QueryInterface<IPCB_ServerInterface>(slot.Client);
    return slot.PCBServer;
}

IPtr<ISch_ServerInterface> SchServer_Get() {
    return QueryInterface<ISch_ServerInterface>(Client_Get());
}

IPtr<IWorkspace> Workspace_Obtain() {
    auto client = Client_Get();
    return client ? client->Workspace() : IPtr<IWorkspace>();
}

IPtr<IDeviceManager> DeviceManager_Get() {
    auto client = Client_Get();
    return client ? client->DeviceManager() : IPtr<IDeviceManager>();
}

IPtr<IProject> Project_OfDocument(const std::string& documentPath) {
    auto workspace = Workspace_Obtain();
    auto document = workspace ? workspace->DocumentByPath(documentPath) : nullptr;
    auto project = document ? document->OwningProject() : nullptr;
    if (!project)
        return nullptr;
    auto freeDocuments = workspace->FreeDocumentsProject();
    if (freeDocuments && freeDocuments.get() == project.get())
        return nullptr;
    return project;
}

IPtr<IHostUI> HostUI_Get() {
    auto client = Client_Get();
    return client ? client->UI() : IPtr<IHostUI>();
}

void HostUI_ProcessMessages() {
    if (auto ui = HostUI_Get())
        ui->ProcessMessages();
}

void MessageBox_Error(const std::string& text, const std::string& caption) {
    ShowBox(eMessageBox_Error, text, caption);
}
void MessageBox_Warning(const std::string& text, const std::string& caption) {
    ShowBox(eMessageBox_Warning, text, caption);
}
void MessageBox_Information(const std::string& text, const std::string& caption) {
    ShowBox(eMessageBox_Information, text, caption);
}
bool MessageBox_Confirm(const std::string& text, const std::string& caption, bool defaultAnswer) {
    return Ask(text, caption, eButtons_YesNo, defaultAnswer);
}
bool MessageBox_OKCancel(const std::string& text, const std::string& caption, bool defaultAnswer) {
    return Ask(text, caption, eButtons_OKCancel, defaultAnswer);
}

bool Parameters_GetValueByName(const std::string& parameters, const std::string& name, std::string& value) {
    value.clear();
    auto client = Client_Get();
    return client && client->Parameters_GetValueByName(parameters, name, value);
}

} // namespace permutor::host
