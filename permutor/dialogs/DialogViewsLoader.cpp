#include "permutor/dialogs/DialogViewsLoader.h"

#include <dlfcn.h>
#include <filesystem>

namespace permutor::dialogs {

namespace {
using TCreateViewsProc = IDialogViews* (*)();
} // namespace

std::string DialogViewsLibraryPath() {
    // dladdr on one of our own functions names the file it was loaded from: the module library
    // in a host, or the program itself when the module is linked in.
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&DialogViewsLibraryPath), &info) && info.dli_fname &&
        *info.dli_fname) {
        std::error_code ec;
        std::filesystem::path self = std::filesystem::canonical(info.dli_fname, ec);
        if (ec)
            self = info.dli_fname;
        return (self.parent_path() / cDialogViewsLibraryName).string();
    }
    return cDialogViewsLibraryName;
}

IDialogViews* LoadDialogViewsFrom(const std::string& path, std::string& error) {
    error.clear();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = "Cannot load the dialog windows from " + path + ": " + (why ? why : "unknown reason");
        return nullptr;
    }
    auto create = reinterpret_cast<TCreateViewsProc>(dlsym(handle, cDialogViewsEntryName));
    if (!create) {
        error = "The dialog windows library " + path + " does not export " + cDialogViewsEntryName;
        dlclose(handle);
        return nullptr;
    }
    IDialogViews* views = create();
    if (!views)
        error = "The dialog windows library " + path + " gave no views";
    // Deliberately never closed: Qt does not unload cleanly, and the views live for the process.
    return views;
}

namespace {
IDialogViews* gInstalled = nullptr;
} // namespace

void DialogViews_Install(IDialogViews* views) {
    gInstalled = views;
}

IDialogViews* LoadDesktopDialogViews(std::string& error) {
    static IDialogViews* loaded = nullptr;
    error.clear();
    if (gInstalled)
        return gInstalled;
    if (!loaded)
        loaded = LoadDialogViewsFrom(DialogViewsLibraryPath(), error);
    return loaded;
}

} // namespace permutor::dialogs
