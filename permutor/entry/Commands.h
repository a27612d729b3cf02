// Run and state procedures of the module's seven commands.
#pragma once

#include "permutor/entry/ServerModule.h"
#include "permutor/optimizers/RunDrivers.h"

#include <string>

namespace permutor::entry {

// Run procedures.
void Command_RunAutoPermutor(IServerDocumentView* context, const std::string& parameters);
void Command_RunManualPermutor(IServerDocumentView* context, const std::string& parameters);
void Command_RunKESTRELPermutor(IServerDocumentView* context, const std::string& parameters);
void Command_KESTRELPinSwap(IServerDocumentView* context, const std::string& parameters);
void Command_RunManualPartSwapper(IServerDocumentView* context, const std::string& parameters);
void Command_RunManualDifferentialPairSwapper(IServerDocumentView* context, const std::string& parameters);
void Command_ConfigurePermutor(IServerDocumentView* context, const std::string& parameters);

// State procedures.
void State_SwapCommand(IServerDocumentView* context, const std::string& parameters, std::int32_t& enabled,
                       std::int32_t& checked, std::int32_t& visible, std::string& caption,
                       std::string& imageFile);
void State_Configuration(IServerDocumentView* context, const std::string& parameters, std::int32_t& enabled,
                         std::int32_t& checked, std::int32_t& visible, std::string& caption,
                         std::string& imageFile);
void State_ExternalTool(IServerDocumentView* context, const std::string& parameters, std::int32_t& enabled,
                        std::int32_t& checked, std::int32_t& visible, std::string& caption,
                        std::string& imageFile);
void State_ExternalToolPinSwap(IServerDocumentView* context, const std::string& parameters,
                               std::int32_t& enabled, std::int32_t& checked, std::int32_t& visible,
                               std::string& caption, std::string& imageFile);

// Helpers the procedures share (exposed for the command tests).
// The automatic run's options from the command's parameters: "Iterative=False" skips the
// iterative optimiser; "IterativeStart=Improve|Anneal" chooses how it starts.
optimizers::TAutoRunOptions AutoRun_Options(const std::string& parameters);
std::string Context_DocumentPath(IServerDocumentView* context);
bool Parameters_IsContextSensitive(const std::string& parameters);
bool View_IsRestricted(IServerDocumentView* context);
bool ExternalTool_IsAvailable();
// The component key "ConfigurePermutor" opens: selection, then board context, then "UniqueId".
std::string ConfigurePermutor_ComponentKey(const std::string& documentPath, const std::string& parameters);

inline constexpr const char* cExternalToolExtension = "KestrelPinMapper";

} // namespace permutor::entry
