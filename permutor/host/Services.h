// The module's access to the host: the client kept for the module's life and the services
// reached through it, plus the message-box helpers that honour the host's no-user-interface mode.
#pragma once

#include "permutor/host/Host.h"

#include <string>

namespace permutor::host {

// The client handed to the module at start; none before ServerFactory and after shutdown.
IPtr<IClient> Client_Get();
void Client_Set(IClient* client);

// The PCB server, asked of the client once and then kept while the client is.
IPtr<IPCB_ServerInterface> PCBServer_Get();
IPtr<ISch_ServerInterface> SchServer_Get();
IPtr<IWorkspace> Workspace_Obtain();
IPtr<IDeviceManager> DeviceManager_Get();
// The project that owns the open document at the path; none when the document is not open or
// stands outside every project (the workspace's project of free documents).
IPtr<IProject> Project_OfDocument(const std::string& documentPath);
// The host's user-interface services; none without a client.
IPtr<IHostUI> HostUI_Get();
// Lets the host handle pending window messages; nothing without a user interface.
void HostUI_ProcessMessages();

// Modal boxes; without a user interface the text goes to the host's non-interactive sink.
void MessageBox_Error(const std::string& text, const std::string& caption = "Error");
void MessageBox_Warning(const std::string& text, const std::string& caption = "Warning");
void MessageBox_Information(const std::string& text, const std::string& caption = "Information");
// Yes/No question; true on Yes. Without a user interface the question takes its default.
bool MessageBox_Confirm(const std::string& text, const std::string& caption, bool defaultAnswer = true);
// OK/Cancel question; true on OK.
bool MessageBox_OKCancel(const std::string& text, const std::string& caption, bool defaultAnswer = true);

// Framework parameter lookup over the command's parameter text.
bool Parameters_GetValueByName(const std::string& parameters, const std::string& name, std::string& value);

} // namespace permutor::host
