// Loads a plug-in library and creates its server module through ServerFactory.
#pragma once

#include "permutor/host/Client.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace pcbhost {

class TModuleLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TModuleLibrary {
public:
    // dlopen()s the library; throws TModuleLoadError naming the file and the loader's reason.
    explicit TModuleLibrary(const std::string& path);
    ~TModuleLibrary();
    TModuleLibrary(const TModuleLibrary&) = delete;
    TModuleLibrary& operator=(const TModuleLibrary&) = delete;

    const std::string& Path() const { return FPath; }
    // The address of an exported symbol, or null.
    void* Symbol(const char* name) const;

    // Calls ServerFactory; returns its status and the server interface (empty on failure).
    std::int32_t CreateServer(permutor::host::IClient* client,
                              permutor::host::IPtr<permutor::host::IServerModule>& server) const;

    // Where the host looks for the module: $PERMUTOR_MODULE, else libpermutor.so beside the
    // running executable.
    static std::string DefaultPath();

private:
    std::string FPath;
    void* FHandle = nullptr;
};

} // namespace pcbhost
