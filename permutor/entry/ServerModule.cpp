#include "permutor/entry/ServerModule.h"

#include "permutor/host/Services.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace permutor::entry {

using namespace permutor::host;

namespace {

bool NameLess(const std::string& a, const std::string& b) {
    return Text_CompareNoCase(a, b) < 0;
}

// The interface the host holds; it owns the module object.
class TServerModuleInterface final : public TUnknownImpl<IServerModule> {
public:
    explicit TServerModuleInterface(std::unique_ptr<TServerModule> module) : FModule(std::move(module)) {}

    std::string ModuleName() override { return FModule->ModuleName(); }
    void LaunchCommand(const std::string& command, const std::string& parameters,
                       IServerDocumentView* context) override {
        FModule->LaunchCommand(command, parameters, context);
    }
    void GetCommandState(const std::string& command, const std::string& parameters,
                         IServerDocumentView* context, std::int32_t& enabled, std::int32_t& checked,
                         std::int32_t& visible, std::string& caption, std::string& imageFile) override {
        FModule->GetCommandState(command, parameters, context, enabled, checked, visible, caption, imageFile);
    }
    void ReceiveShutdown() override { FModule->ReceiveShutdown(); }

private:
    std::unique_ptr<TServerModule> FModule;
};

} // namespace

void TCommandLauncher::RegisterCommand(const std::string& name, TCommandProc commandProc,
                                       TStateProc stateProc) {
    auto it = std::lower_bound(FEntries.begin(), FEntries.end(), name,
                               [](const TEntry& e, const std::string& n) { return NameLess(e.Name, n); });
    if (it != FEntries.end() && Text_EqualNoCase(it->Name, name))
        return;
    auto handler = std::make_unique<TCommandHandler>();
    handler->CommandProc = commandProc;
    handler->StateProc = stateProc;
    FEntries.insert(it, TEntry{name, std::move(handler)});
}

const TCommandHandler* TCommandLauncher::FindHandler(const std::string& name) const {
    auto it = std::lower_bound(FEntries.begin(), FEntries.end(), name,
                               [](const TEntry& e, const std::string& n) { return NameLess(e.Name, n); });
    if (it == FEntries.end() || !Text_EqualNoCase(it->Name, name))
        return nullptr;
    return it->Handler.get();
}

bool TCommandLauncher::LaunchCommand(const std::string& name, IServerDocumentView* context,
                                     const std::string& parameters) const {
    const TCommandHandler* handler = FindHandler(name);
    if (!handler || !handler->CommandProc)
        return false;
    handler->CommandProc(context, parameters);
    return true;
}

void TCommandLauncher::GetCommandState(const std::string& name, IServerDocumentView* context,
                                       const std::string& parameters, std::int32_t& enabled,
                                       std::int32_t& checked, std::int32_t& visible, std::string& caption,
                                       std::string& imageFile) const {
    enabled = cTrue32;
    checked = cFalse32;
    visible = cTrue32;
    caption.clear();
    imageFile.clear();
    const TCommandHandler* handler = FindHandler(name);
    if (!handler) {
        enabled = cFalse32;
        visible = cFalse32;
        return;
    }
    if (handler->StateProc)
        handler->StateProc(context, parameters, enabled, checked, visible, caption, imageFile);
}

std::vector<std::string> TCommandLauncher::CommandNames() const {
    std::vector<std::string> names;
    for (const auto& e : FEntries)
        names.push_back(e.Name);
    return names;
}

TServerModule::TServerModule(IClient* client, std::string moduleName)
    : FModuleName(std::move(moduleName)), FClient(client) {
    if (!client)
        throw std::invalid_argument("the host handed the module no client");
    Client_Set(client);
}

TServerModule::~TServerModule() {
    if (Client_Get() == FClient)
        Client_Set(nullptr);
}

void TServerModule::LaunchCommand(const std::string& name, const std::string& parameters,
                                  IServerDocumentView* context) {
    // Nothing may escape into the host: a failure inside a command is reported, and the host
    // always hears success.
    try {
        if (FCommandLauncher.LaunchCommand(name, context, parameters))
            FClient->AfterCommand();
    } catch (const std::exception& e) {
        MessageBox_Error(std::string("Internal error in ") + name + ": " + e.what());
    } catch (...) {
        MessageBox_Error(std::string("Internal error in ") + name);
    }
}

void TServerModule::GetCommandState(const std::string& name, const std::string& parameters,
                                    IServerDocumentView* context, std::int32_t& enabled,
                                    std::int32_t& checked, std::int32_t& visible, std::string& caption,
                                    std::string& imageFile) {
    try {
        FCommandLauncher.GetCommandState(name, context, parameters, enabled, checked, visible, caption,
                                         imageFile);
    } catch (...) {
        enabled = cFalse32;
        visible = cFalse32;
    }
}

void TServerModule::ReceiveShutdown() {
    if (Client_Get() == FClient)
        Client_Set(nullptr);
}

IPtr<IServerModule> TServerModule::MakeServerInterface(std::unique_ptr<TServerModule> module) {
    return IPtr<IServerModule>(new TServerModuleInterface(std::move(module)));
}

} // namespace permutor::entry
