#include "permutor/entry/Commands.h"

#include "permutor/dialogs/ConfigureEntry.h"
#include "permutor/host/Services.h"
#include "permutor/optimizers/RunDrivers.h"

namespace permutor::entry {

using namespace permutor::host;
using optimizers::TInteractiveSwapperKind;
using namespace permutor::model;

namespace {

// Board context mode and view mode values whose meaning is the host's.
constexpr std::int32_t cContextMode = 2;
constexpr std::int32_t cRestrictedViewMode = 1;

void StartServer(const char* name) {
    if (auto client = Client_Get())
        client->StartServer(name);
}

IPtr<IPCB_Board> BoardOf(const std::string& documentPath) {
    auto server = PCBServer_Get();
    return server ? server->BoardByDocumentPath(documentPath) : IPtr<IPCB_Board>();
}

// Shared by the six swap commands: they only run on a board.
template <class TTarget>
void SwapCommand_Guard(IServerDocumentView* context, const char* kindWord, TTarget target) {
    StartServer("SCH");
    const std::string path = Context_DocumentPath(context);
    if (!BoardOf(path)) {
        MessageBox_Error(std::string(kindWord) + " Swapping must be run from a PCB Document", "Error");
        return;
    }
    target(path);
}

void RunInteractive(IServerDocumentView* context, const char* kindWord, TInteractiveSwapperKind swapper,
                    TSwapMode mode, const char* caption) {
    SwapCommand_Guard(context, kindWord, [&](const std::string& path) {
        optimizers::InteractiveSwapper_Run(path, swapper, mode, caption);
    });
}

void SetShown(std::int32_t& enabled, std::int32_t& visible, bool shown) {
    enabled = Bool32(shown);
    visible = Bool32(shown);
}

} // namespace

std::string Context_DocumentPath(IServerDocumentView* context) {
    if (!context)
        return {};
    auto document = context->OwnerDocument();
    return document ? document->FileName() : std::string();
}

bool Parameters_IsContextSensitive(const std::string& parameters) {
    std::string value;
    return Parameters_GetValueByName(parameters, "ContextSensitive", value) &&
           Text_EqualNoCase(value, "True");
}

bool View_IsRestricted(IServerDocumentView* context) {
    auto mode = QueryInterface<IServerDocumentViewMode>(context);
    return mode && mode->EditingMode() == cRestrictedViewMode;
}

bool ExternalTool_IsAvailable() {
    auto client = Client_Get();
    if (!client)
        return false;
    auto registry = client->ExtensionRegistry();
    if (!registry)
        return false;
    auto extension = registry->FindByName(cExternalToolExtension);
    if (!extension)
        return false;
    const std::int32_t state = extension->State();
    return state == 0 || state == 2;
}

std::string ConfigurePermutor_ComponentKey(const std::string& documentPath, const std::string& parameters) {
    const bool contextSensitive = Parameters_IsContextSensitive(parameters);

    IPtr<ISch_Component> schematicCandidate;
    IPtr<IPCB_Component> boardCandidate;
    if (contextSensitive) {
        if (auto server = SchServer_Get()) {
            if (auto sheet = server->CurrentSheet()) {
                const std::int32_t n = sheet->SelectionCount();
                for (std::int32_t i = 0; i < n && !schematicCandidate; ++i)
                    schematicCandidate = QueryInterface<ISch_Component>(sheet->SelectedObject(i));
            }
        }
        if (auto board = BoardOf(documentPath))
            boardCandidate = QueryInterface<IPCB_Component>(
                board->ComponentInContext(TObjectSet{eComponentObject}, cContextMode));
    }

    if (schematicCandidate)
        return schematicCandidate->UniqueId();
    if (boardCandidate)
        return boardCandidate->SourceUniqueId();
    std::string uniqueId;
    if (Parameters_GetValueByName(parameters, "UniqueId", uniqueId))
        return uniqueId;
    return {};
}

optimizers::TAutoRunOptions AutoRun_Options(const std::string& parameters) {
    optimizers::TAutoRunOptions options;
    std::string value;
    if (Parameters_GetValueByName(parameters, "Iterative", value))
        options.Iterative = !Text_EqualNoCase(value, "False");
    if (Parameters_GetValueByName(parameters, "Gates", value))
        options.Gates = Text_EqualNoCase(value, "True");
    if (Parameters_GetValueByName(parameters, "Pairs", value))
        options.Pairs = Text_EqualNoCase(value, "True");
    if (Parameters_GetValueByName(parameters, "IterativeStart", value)) {
        if (Text_EqualNoCase(value, "Improve"))
            options.IterativeSettings.ImproveOnlyFromStart = true;
        else if (Text_EqualNoCase(value, "Anneal"))
            options.IterativeSettings.ImproveOnlyFromStart = false;
    }
    return options;
}

void Command_RunAutoPermutor(IServerDocumentView* context, const std::string& parameters) {
    const optimizers::TAutoRunOptions options = AutoRun_Options(parameters);
    SwapCommand_Guard(context, "Pin",
                      [&options](const std::string& path) { optimizers::AutoPermutor_Run(path, options); });
}

void Command_RunManualPermutor(IServerDocumentView* context, const std::string&) {
    RunInteractive(context, "Pin", optimizers::eSwapper_InteractivePins, eSwap_Pins, "Pin/Net Swapper");
}

void Command_RunKESTRELPermutor(IServerDocumentView* context, const std::string&) {
    RunInteractive(context, "Pin", optimizers::eSwapper_InteractiveKESTRELPins, eSwap_PinsKESTREL,
                   "KESTREL Pin/Net Swapper");
}

void Command_KESTRELPinSwap(IServerDocumentView* context, const std::string&) {
    RunInteractive(context, "Pin", optimizers::eSwapper_InteractiveKESTRELPin, eSwap_PinsKESTREL,
                   "KESTREL Pin/Net Swapper");
}

void Command_RunManualPartSwapper(IServerDocumentView* context, const std::string&) {
    RunInteractive(context, "Part", optimizers::eSwapper_InteractiveParts, eSwap_Parts, "Part Swapper");
}

void Command_RunManualDifferentialPairSwapper(IServerDocumentView* context, const std::string&) {
    RunInteractive(context, "Differential-Pair", optimizers::eSwapper_InteractivePairs,
                   eSwap_DifferentialPairs, "Differential Pair Swapper");
}

void Command_ConfigurePermutor(IServerDocumentView* context, const std::string& parameters) {
    StartServer("SCH");
    StartServer("PCB");
    const std::string path = Context_DocumentPath(context);
    const std::string key = ConfigurePermutor_ComponentKey(path, parameters);
    dialogs::ConfigurePinSwap_Run(path, "", key);
}

void State_SwapCommand(IServerDocumentView* context, const std::string&, std::int32_t& enabled, std::int32_t&,
                       std::int32_t& visible, std::string&, std::string&) {
    SetShown(enabled, visible, !View_IsRestricted(context));
}

void State_Configuration(IServerDocumentView* context, const std::string& parameters, std::int32_t& enabled,
                         std::int32_t&, std::int32_t& visible, std::string&, std::string&) {
    SetShown(enabled, visible, true);
    if (View_IsRestricted(context)) {
        SetShown(enabled, visible, false);
        return;
    }
    std::string kind;
    if (context)
        if (auto document = context->OwnerDocument())
            kind = document->Kind();

    if (Text_EqualNoCase(kind, "SCH") && Parameters_IsContextSensitive(parameters)) {
        auto server = SchServer_Get();
        auto sheet = server ? server->CurrentSheet() : IPtr<ISch_Sheet>();
        visible = Bool32(sheet && sheet->SelectedCountOfKinds(std::uint64_t(1) << eSchComponent) > 0);
    } else if (Text_EqualNoCase(kind, "SCHLIB")) {
        auto server = SchServer_Get();
        auto library = server ? QueryInterface<ISch_Lib>(server->CurrentDocument()) : IPtr<ISch_Lib>();
        visible = Bool32(library && library->CurrentComponentState() == 0);
    }
}

void State_ExternalTool(IServerDocumentView*, const std::string&, std::int32_t& enabled, std::int32_t&,
                        std::int32_t& visible, std::string&, std::string&) {
    SetShown(enabled, visible, ExternalTool_IsAvailable());
}

void State_ExternalToolPinSwap(IServerDocumentView* context, const std::string&, std::int32_t& enabled,
                               std::int32_t&, std::int32_t& visible, std::string&, std::string&) {
    SetShown(enabled, visible, false);
    if (!ExternalTool_IsAvailable())
        return;
    if (auto board = BoardOf(Context_DocumentPath(context)))
        SetShown(enabled, visible, board->CountInContext(cContextMode) >= 1);
}

} // namespace permutor::entry
