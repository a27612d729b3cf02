// The plug-in framework's server-module base: the module name, the client, and the command
// launcher that maps command names to their run and state procedures.
#pragma once

#include "permutor/host/Host.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace permutor::entry {

using host::IServerDocumentView;

// Booleans of the state query are 32-bit: true is all bits set, false is 0.
inline constexpr std::int32_t cTrue32 = -1;
inline constexpr std::int32_t cFalse32 = 0;
inline constexpr std::int32_t Bool32(bool b) {
    return b ? cTrue32 : cFalse32;
}

using TCommandProc = void (*)(IServerDocumentView* context, const std::string& parameters);
using TStateProc = void (*)(IServerDocumentView* context, const std::string& parameters,
                            std::int32_t& enabled, std::int32_t& checked, std::int32_t& visible,
                            std::string& caption, std::string& imageFile);

struct TCommandHandler {
    TCommandProc CommandProc = nullptr;
    TStateProc StateProc = nullptr;
};

// Command names kept sorted without regard to case; a name registered twice keeps its first
// handler.
class TCommandLauncher {
public:
    void RegisterCommand(const std::string& name, TCommandProc commandProc, TStateProc stateProc);
    // The handler of a registered name (any letter case), or null.
    const TCommandHandler* FindHandler(const std::string& name) const;
    // Runs the command; returns whether the name was registered with a run procedure.
    bool LaunchCommand(const std::string& name, IServerDocumentView* context,
                       const std::string& parameters) const;
    void GetCommandState(const std::string& name, IServerDocumentView* context, const std::string& parameters,
                         std::int32_t& enabled, std::int32_t& checked, std::int32_t& visible,
                         std::string& caption, std::string& imageFile) const;
    std::vector<std::string> CommandNames() const;

private:
    struct TEntry {
        std::string Name;
        std::unique_ptr<TCommandHandler> Handler;
    };
    std::vector<TEntry> FEntries; // sorted by name without regard to case
};

class TServerModule {
public:
    TServerModule(host::IClient* client, std::string moduleName);
    virtual ~TServerModule();
    TServerModule(const TServerModule&) = delete;
    TServerModule& operator=(const TServerModule&) = delete;

    const std::string& ModuleName() const { return FModuleName; }
    TCommandLauncher& CommandLauncher() { return FCommandLauncher; }
    const TCommandLauncher& CommandLauncher() const { return FCommandLauncher; }

    // Dispatch of the host's calls through the server interface.
    void LaunchCommand(const std::string& name, const std::string& parameters, IServerDocumentView* context);
    void GetCommandState(const std::string& name, const std::string& parameters, IServerDocumentView* context,
                         std::int32_t& enabled, std::int32_t& checked, std::int32_t& visible,
                         std::string& caption, std::string& imageFile);
    // The host is shutting down: drop the cached host services.
    void ReceiveShutdown();

    // The interface handed to the host. It owns the module: when the host releases its last
    // reference the module is destroyed.
    static host::IPtr<host::IServerModule> MakeServerInterface(std::unique_ptr<TServerModule> module);

private:
    std::string FModuleName;
    host::IPtr<host::IClient> FClient;
    TCommandLauncher FCommandLauncher;
};

} // namespace permutor::entry
