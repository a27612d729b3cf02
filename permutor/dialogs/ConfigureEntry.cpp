#include "permutor/dialogs/ConfigureEntry.h"

#include "permutor/dialogs/ConfigureAllPinSwap.h"
#include "permutor/dialogs/DialogState.h"
#include "permutor/dialogs/WriteBack.h"
#include "permutor/host/Services.h"
#include "permutor/host/Text.h"

namespace permutor::dialogs {

// The loader of the desktop views comes with the desktop dialogs' side of the module; a build
// that lacks it still runs the dialogs in the host's own form.
__attribute__((weak)) IDialogViews* LoadDesktopDialogViews(std::string& error);

namespace {

// The views to show the dialogs with: the desktop's when a desktop runs and its dialogs load,
// else the host's own form. None when there is neither.
IDialogViews* DialogViews_Get() {
    auto ui = host::HostUI_Get();
    if (!ui)
        return nullptr;
    if (ui->DesktopUIRunning()) {
        std::string error = "the desktop dialogs are not part of this build";
        IDialogViews* views = LoadDesktopDialogViews ? LoadDesktopDialogViews(error) : nullptr;
        if (views)
            return views;
        host::MessageBox_Warning("Cannot show the configuration dialogs on the desktop: " + error +
                                 "\r\rThe host's own form of the dialogs is used instead.");
    }
    return ui->DialogViews();
}

bool ListFlow_Run(const std::string& documentPath, const std::string& initialText, IDialogViews* views) {
    model::TSwapDataSet data(documentPath, model::eSwap_All);
    if (!data.DM_Document() && !data.Project())
        return false;
    if (!data.Build_ComponentsOnly(""))
        return false;
    bool applied = false;
    {
        TConfigureAllPinSwap dialog(data, views);
        dialog.SetOKCaption(initialText);
        dialog.SetState_Controls();
        if (views->ShowComponentList(dialog)) {
            dialog.GetState_Controls();
            applied = true;
        }
        host::HostUI_ProcessMessages();
    }
    return applied;
}

} // namespace

bool ConfigurePinSwap_Run(const std::string& documentPath, const std::string& initialText,
                          const std::string& uniqueId) {
    auto workspace = host::Workspace_Obtain();
    auto document = workspace ? workspace->DocumentByPath(documentPath) : nullptr;
    auto project = host::Project_OfDocument(documentPath);
    if (document && host::Text_EqualNoCase(document->Kind(), "SCHLIB")) {
        document->Compile();
    } else if (project) {
        project->Compile();
        if (!project->CompiledDocument()) {
            host::MessageBox_Error("Failed to Compile: " + project->FileName());
            return false;
        }
    } else {
        host::MessageBox_Error("Pin/Net Optimization requires that the board is part of a PCB Project");
        return false;
    }
    IDialogViews* views = DialogViews_Get();
    if (!views) {
        host::MessageBox_Error("The configuration dialogs need a user interface; none is available.");
        return false;
    }
    if (!uniqueId.empty())
        return ConfigureSingleComponent_Run(documentPath, uniqueId, views);
    return ListFlow_Run(documentPath, initialText, views);
}

} // namespace permutor::dialogs
