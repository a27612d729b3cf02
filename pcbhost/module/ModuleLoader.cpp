#include "pcbhost/module/ModuleLoader.h"

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>

namespace pcbhost {

using namespace permutor::host;

namespace {
using TServerFactoryProc = std::int32_t (*)(IClient*, IServerModule**);
}

TModuleLibrary::TModuleLibrary(const std::string& path) : FPath(path) {
    FHandle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!FHandle) {
        const char* why = dlerror();
        throw TModuleLoadError("cannot load module " + path + ": " + (why ? why : "unknown reason"));
    }
}

TModuleLibrary::~TModuleLibrary() {
    if (FHandle)
        dlclose(FHandle);
}

void* TModuleLibrary::Symbol(const char* name) const {
    return dlsym(FHandle, name);
}

std::int32_t TModuleLibrary::CreateServer(IClient* client, IPtr<IServerModule>& server) const {
    server.reset();
    auto factory = reinterpret_cast<TServerFactoryProc>(Symbol("ServerFactory"));
    if (!factory)
        throw TModuleLoadError("module " + FPath + " does not export ServerFactory");
    IServerModule* raw = nullptr;
    const std::int32_t status = factory(client, &raw);
    server = IPtr<IServerModule>::Adopt(raw);
    return status;
}

std::string TModuleLibrary::DefaultPath() {
    if (const char* env = std::getenv("PERMUTOR_MODULE"); env && *env)
        return env;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return (exe.parent_path() / "libpermutor.so").string();
    return "libpermutor.so";
}

} // namespace pcbhost
