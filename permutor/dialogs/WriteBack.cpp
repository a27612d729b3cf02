#include "permutor/dialogs/WriteBack.h"

#include "permutor/dialogs/ConfigureComponentPinSwap.h"
#include "permutor/host/Services.h"
#include "permutor/schematic/SchematicPinAndPartSwap.h"

#include <fmt/format.h>

namespace permutor::dialogs {

using host::IPtr;
using model::TSwapComponent;

void Document_MarkChanged(const std::string& ADocumentPath) {
    if (ADocumentPath.empty())
        return;
    if (auto client = host::Client_Get()) {
        auto document = client->ServerDocumentByPath(ADocumentPath);
        if (!document)
            document = client->OpenDocument(client->DocumentKindOfPath(ADocumentPath), ADocumentPath);
        if (document)
            document->SetModified(true);
    }
    if (auto workspace = host::Workspace_Obtain())
        if (auto document = workspace->DocumentByPath(ADocumentPath))
            document->NotifyChanged();
}

namespace {

// Opens the design document at the path when the workspace has it closed.
void Document_EnsureOpen(const std::string& path) {
    auto workspace = host::Workspace_Obtain();
    if (!workspace || path.empty())
        return;
    if (auto document = workspace->DocumentByPath(path); document && !document->IsOpen())
        document->Open();
}

} // namespace

void WriteBack_ComponentSchematic(host::IUniqueIdLookup* ALookup, TSwapComponent& AComponent,
                                  bool AOpenDocuments) {
    const auto& sch = AComponent.DM_Component_SCH();
    if (!ALookup || !sch)
        return;
    const std::int32_t parts = sch->SubPartCount();
    for (std::int32_t i = 0; i < parts; ++i) {
        auto part = sch->SubPart(i);
        if (!part)
            continue;
        if (AOpenDocuments)
            Document_EnsureOpen(part->DocumentPath());
        auto found = host::QueryInterface<host::ISch_Component>(
            ALookup->FindByUniqueId(part->UniqueId(), host::ISch_Component::IID));
        if (!found)
            continue;
        found->BeginModify();
        if (AComponent.PinSwapData_Changed)
            schematic::SchematicComponent_SetPinSwapData(found.get(), AComponent.PinSwapData_New);
        if (AComponent.PartSwapData_Changed)
            schematic::SchematicComponent_SetPartSwapData(found.get(), AComponent.PartSwapData_New);
        if (AComponent.PairSwapData_Changed)
            schematic::SchematicComponent_SetPairSwapData(found.get(), AComponent.PairSwapData_New);
        found->EndModify();
        Document_MarkChanged(part->DocumentPath());
    }
}

void WriteBack_ListDialog(model::TSwapDataSet& ASwapData, const TWriteBackBoardSwitches& ASwitches) {
    const auto& project = ASwapData.Project();
    if (!project)
        return;
    auto lookup = project->UniqueIdLookup();
    if (lookup)
        lookup->Begin();
    std::vector<TSwapComponent*> updates;
    for (TSwapComponent* c : ASwapData.Components) {
        const auto& board = c->Component_PCB();
        if (board)
            for (const TBoardSwitches& s : ASwitches) {
                if (s.Component != c)
                    continue;
                const std::string path =
                    c->DM_Component_PCB() ? c->DM_Component_PCB()->OwnerDocumentPath() : "";
                if (s.Pin != c->PinSwapEnabled()) {
                    board->SetPinSwappingEnabled(s.Pin);
                    Document_MarkChanged(path);
                }
                if (s.Part != c->PartSwapEnabled()) {
                    board->SetPartSwappingEnabled(s.Part);
                    Document_MarkChanged(path);
                }
            }
        if (c->PinSwapData_Changed || c->PartSwapData_Changed || c->PairSwapData_Changed)
            updates.push_back(c);
    }
    for (TSwapComponent* c : updates)
        WriteBack_ComponentSchematic(lookup.get(), *c, true);
    if (lookup)
        lookup->End();
}

bool ConfigureSingleComponent_Run(const std::string& ADocumentPath, const std::string& AUniqueId,
                                  IDialogViews* AViews) {
    model::TSwapDataSet data(ADocumentPath, model::eSwap_All);
    if (!data.Build_ComponentsOnly(AUniqueId))
        return false;
    if (data.Components.Empty()) {
        host::MessageBox_Error("Unable To Locate Component with UniqueID: " + AUniqueId);
        return false;
    }
    TSwapComponent& c = *data.Components.First();
    c.PairSwapData_Original = c.PairSwapData_New = c.ImportFromSchematic_PairSwapData();
    c.PinSwapData_Original = c.PinSwapData_New = c.ImportFromSchematic_PinSwapData();
    c.PartSwapData_Original = c.PartSwapData_New = c.ImportFromSchematic_PartSwapData();
    c.PairSwapData_ExistAtStart = c.PairSwapData_ExistNow = !c.PairSwapData_Original.empty();
    c.PinSwapData_ExistAtStart = c.PinSwapData_ExistNow = !c.PinSwapData_Original.empty();
    c.PartSwapData_ExistAtStart = c.PartSwapData_ExistNow = !c.PartSwapData_Original.empty();
    c.PairSwapData_Changed = c.PinSwapData_Changed = c.PartSwapData_Changed = false;

    if (!ConfigureComponentPinSwap_Open(data, c, AViews))
        return false;
    c.PinSwapData_Changed = c.PinSwapData_New != c.PinSwapData_Original;
    c.PartSwapData_Changed = c.PartSwapData_New != c.PartSwapData_Original;
    c.PairSwapData_Changed = c.PairSwapData_New != c.PairSwapData_Original;
    if (c.PinSwapData_Changed || c.PartSwapData_Changed || c.PairSwapData_Changed) {
        c.PinSwapData_ExistNow = !c.PinSwapData_New.empty();
        c.PartSwapData_ExistNow = !c.PartSwapData_New.empty();
        c.PairSwapData_ExistNow = !c.PairSwapData_New.empty();
        const std::string text =
            fmt::format("{} has been modified\r\rConfirm update {} Sub-Parts in Schematic Sheets",
                        c.GetState_Description(), c.PlacedSubPartCount());
        if (host::MessageBox_OKCancel(text, "Confirm Update Schmatic Sheets?") && data.Project()) {
            auto lookup = data.Project()->UniqueIdLookup();
            if (lookup) {
                lookup->Begin();
                WriteBack_ComponentSchematic(lookup.get(), c, false);
                lookup->End();
            }
        }
    }
    host::HostUI_ProcessMessages();
    return true;
}

} // namespace permutor::dialogs
