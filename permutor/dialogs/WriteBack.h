// Writing the confirmed configuration into the design: the changed swap data of a component into
// every sub-part of its schematic symbol (sheets or library), and the enable switches into the
// board's components. Also the flow that edits a single component found by its unique id.
#pragma once

#include "permutor/host/Host.h"
#include "permutor/model/SwapDataSet.h"

#include <string>
#include <vector>

namespace permutor::dialogs {

class IDialogViews;

// The two "Enable in PCB" ticks of a listed component.
struct TBoardSwitches {
    model::TSwapComponent* Component = nullptr;
    bool Pin = false;
    bool Part = false;
};
using TWriteBackBoardSwitches = std::vector<TBoardSwitches>;

// The apply step after the list closed with OK. Nothing at all without a project.
void WriteBack_ListDialog(model::TSwapDataSet& ASwapData, const TWriteBackBoardSwitches& ASwitches);

// Writes the component's changed kinds of swap data into each of its sub-parts found through
// `ALookup` (a pass already begun). `AOpenDocuments` opens a sub-part's document first when it
// is not open. Sub-parts the lookup cannot find are skipped.
void WriteBack_ComponentSchematic(host::IUniqueIdLookup* ALookup, model::TSwapComponent& AComponent,
                                  bool AOpenDocuments);

// Marks the document at the path modified in its editor (opening it there when needed) and tells
// the design model that it changed. The user saves it.
void Document_MarkChanged(const std::string& ADocumentPath);

// Edits the one component whose unique id is given and writes it back after a confirmation.
// True when the user confirmed the component dialog with OK.
bool ConfigureSingleComponent_Run(const std::string& ADocumentPath, const std::string& AUniqueId,
                                  IDialogViews* AViews);

} // namespace permutor::dialogs
