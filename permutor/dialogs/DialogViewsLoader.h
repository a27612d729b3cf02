// Finding the desktop views of the configuration dialogs: the Qt plug-in library that sits next
// to the module's own file. The module links no Qt; the plug-in is opened only when a desktop
// front end runs.
#pragma once

#include "permutor/dialogs/DialogState.h"

#include <string>

namespace permutor::dialogs {

// The plug-in's file name.
constexpr const char* cDialogViewsLibraryName = "libpermutor_dialogs_qt.so";

// The full path the plug-in is looked for at: beside the file holding this code.
std::string DialogViewsLibraryPath();

// Opens the library at `path` and asks its entry point for the views. None, with a reason that
// names the file, when the library cannot be opened or lacks the entry point. A library once
// opened stays loaded (its windows' code must outlive every dialog).
IDialogViews* LoadDialogViewsFrom(const std::string& path, std::string& error);

// Views a host already has (windows linked into the program, or a test's scripted views):
// LoadDesktopDialogViews answers these from now on without opening a library. None goes back to
// loading the plug-in.
void DialogViews_Install(IDialogViews* views);

} // namespace permutor::dialogs
