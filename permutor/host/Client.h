// The host's client framework: the client handed to the module at start, documents and views,
// the module's server interface, extensions, option storage and the user-interface services.
#pragma once

#include "permutor/host/Unknown.h"

#include <cstdint>
#include <string>
#include <vector>

namespace permutor::dialogs {
class IDialogViews;
}

namespace permutor::host {

class IWorkspace;
class IDeviceManager;
class IPCB_ServerInterface;

// A document as the editor framework sees it (open in an editor).
class IServerDocument : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{5C1E5A61-31B4-4C3E-8C8B-0D3E6A2F1001}");
    virtual std::string FileName() = 0;
    virtual std::string Kind() = 0;
    virtual bool Modified() = 0;
    virtual void SetModified(bool modified) = 0;
};

// A view on an open document; the context of every command.
class IServerDocumentView : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{5C1E5A61-31B4-4C3E-8C8B-0D3E6A2F1002}");
    virtual IPtr<IServerDocument> OwnerDocument() = 0;
};

// Offered by views that have an editing mode. Mode 1 is the restricted (read-only) view.
class IServerDocumentViewMode : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{5C1E5A61-31B4-4C3E-8C8B-0D3E6A2F1003}");
    virtual std::int32_t EditingMode() = 0;
};

// The module as the host sees it: launch commands by name and ask for their state.
class IServerModule : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{5C1E5A61-31B4-4C3E-8C8B-0D3E6A2F1004}");
    virtual std::string ModuleName() = 0;
    virtual void LaunchCommand(const std::string& command, const std::string& parameters,
                               IServerDocumentView* context) = 0;
    virtual void GetCommandState(const std::string& command, const std::string& parameters,
                                 IServerDocumentView* context, std::int32_t& enabled, std::int32_t& checked,
                                 std::int32_t& visible, std::string& caption, std::string& imageFile) = 0;
    // The host is shutting down; the module drops what it holds of the host.
    virtual void ReceiveShutdown() = 0;
};

class IExtension : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{5C1E5A61-31B4-4C3E-8C8B-0D3E6A2F1005}");
    virtual std::string Name() = 0;
    virtual std::int32_t State() = 0;
};

class IExtensionRegistry : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{5C1E5A61-31B4-4C3E-8C8B-0D3E6A2F1006}");
    virtual IPtr<IExtension> FindByName(const std::string& name) = 0;
};

// Per-user option storage of one module: sections of name/value pairs.
class IOptionsStorage : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{5C1E5A61-31B4-4C3E-8C8B-0D3E6A2F1007}");
    virtual bool ValueExists(const std::string& section, const std::string& name) = 0;
    virtual std::string ReadString(const std::string& section, const std::string& name,
                                   const std::string& defaultValue) = 0;
    virtual void WriteString(const std::string& section, const std::string& name,
                             const std::string& value) = 0;
    virtual std::int32_t ReadInteger(const std::string& section, const std::string& name,
                                     std::int32_t defaultValue) = 0;
    virtual void WriteInteger(const std::string& section, const std::string& name, std::int32_t value) = 0;
    virtual bool ReadBoolean(const std::string& section, const std::string& name, bool defaultValue) = 0;
    virtual void WriteBoolean(const std::string& section, const std::string& name, bool value) = 0;
    // Makes written values durable; the storage also flushes when released.
    virtual void Flush() = 0;
};

// Answers of modal boxes, as the host's message box reports them.
enum TModalResult : std::int32_t {
    eModal_None = 0,
    eModal_OK = 1,
    eModal_Cancel = 2,
    eModal_Yes = 6,
    eModal_No = 7,
};

enum TMessageBoxKind : std::int32_t {
    eMessageBox_Error = 0,
    eMessageBox_Warning = 1,
    eMessageBox_Information = 2,
};

enum TQuestionButtons : std::int32_t {
    eButtons_YesNo = 0,
    eButtons_OKCancel = 1,
};

// User-interface services. Both front ends (terminal and desktop) implement them; the module
// never writes to a terminal or opens a window except through this interface (dialogs aside).
class IHostUI : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{5C1E5A61-31B4-4C3E-8C8B-0D3E6A2F1008}");

    // False when the host runs without a user interface (batch): boxes are not shown then.
    virtual bool HasUserInterface() = 0;
    // True when a desktop front end runs (a window system and its event loop): the module may
    // then open its own windows (the configuration dialogs). A terminal front end says false and
    // plays dialogs in its own terminal form.
    virtual bool DesktopUIRunning() = 0;

    virtual void ShowMessage(TMessageBoxKind kind, const std::string& text, const std::string& caption) = 0;
    // A modal question; returns eModal_Yes/eModal_No or eModal_OK/eModal_Cancel.
    virtual TModalResult AskQuestion(const std::string& text, const std::string& caption,
                                     TQuestionButtons buttons) = 0;

    // Lets the user pick a point on the board. False when the user cancels.
    virtual bool ChooseLocation(const std::string& prompt, std::int32_t& x, std::int32_t& y) = 0;
    // Lets the user pick one of several candidates (several objects at a picked point).
    // Returns the index chosen, or -1 on cancel.
    virtual std::int32_t ChooseAmong(const std::string& prompt,
                                     const std::vector<std::string>& candidates) = 0;

    virtual void Cursor_SetWait() = 0;
    virtual void Cursor_Restore() = 0;
    virtual void Status_Begin() = 0;
    virtual void Status_Text(const std::string& text) = 0;
    virtual void Status_End() = 0;
    virtual void StatusBar_SetPanelText(std::int32_t panel, const std::string& text) = 0;
    virtual void Progress_Begin(const std::string& caption, std::int32_t total) = 0;
    virtual void Progress_Step(std::int32_t steps) = 0;
    virtual void Progress_End() = 0;

    // Handles pending window messages (redraws, input) during long work.
    virtual void ProcessMessages() = 0;
    // True once per press of the abort key (Esc, or Ctrl-C on a terminal) since the last call.
    virtual bool AbortKey_Pressed() = 0;

    // Shows a set of board objects highlighted (keys are object identities); empty clears.
    virtual void Highlight_Show(const std::vector<std::uintptr_t>& objects) = 0;
    virtual void View_Redraw() = 0;
    // Shows the given pins (one name per line) in a component preview window.
    virtual void Preview_ShowPins(std::uintptr_t viewHandle, const std::string& pinNames) = 0;
    // The host's own form of the module's configuration dialogs (a terminal shows their rows and
    // takes their actions as commands); none when the host has none. The module uses it when no
    // desktop runs, or when its desktop dialogs cannot be loaded. Owned by the host.
    virtual dialogs::IDialogViews* DialogViews() { return nullptr; }
};

// The host application as the module sees it.
class IClient : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{5C1E5A61-31B4-4C3E-8C8B-0D3E6A2F1009}");

    // Loads the server module of that name ("SCH", "PCB"); true when it runs.
    virtual bool StartServer(const std::string& name) = 0;
    // The framework's step after every command (refreshes, bookkeeping).
    virtual void AfterCommand() = 0;
    // Replaces message boxes when the host runs without a user interface.
    virtual void ShowMessageWithoutUI(const std::string& text, const std::string& caption) = 0;

    virtual IPtr<IExtensionRegistry> ExtensionRegistry() = 0;
    virtual IPtr<IServerDocument> ServerDocumentByPath(const std::string& path) = 0;
    virtual std::string DocumentKindOfPath(const std::string& path) = 0;
    virtual IPtr<IServerDocument> OpenDocument(const std::string& kind, const std::string& path) = 0;

    // The framework's parameter lookup over "Name=Value|Name=Value" text.
    virtual bool Parameters_GetValueByName(const std::string& parameters, const std::string& name,
                                           std::string& value) = 0;

    virtual IPtr<IOptionsStorage> OpenOptionsStorage(const std::string& moduleName) = 0;
    virtual IPtr<IHostUI> UI() = 0;

    // The design workspace and the FPGA device manager; none when the host lacks them.
    virtual IPtr<IWorkspace> Workspace() = 0;
    virtual IPtr<IDeviceManager> DeviceManager() = 0;
    // The seed of the module's random choices when the host wants repeatable runs; false lets
    // the module seed from the clock.
    virtual bool RandomSeed(std::uint32_t& seed) = 0;
    // The PCB and schematic servers are asked of the client by interface id.
};

} // namespace permutor::host
