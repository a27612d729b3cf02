// The data set's binding to the host documents, its ownership of the records, its look-ups and
// its reports.
#include "permutor/model/SwapDataSet.h"

#include "permutor/host/Services.h"
#include "permutor/host/Text.h"
#include "permutor/schematic/Param.h"

#include <algorithm>

namespace permutor::model {

using namespace permutor::host;

namespace {

// The last component of a path, whichever separator it uses.
std::string Path_FileName(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

constexpr const char* cSource_Permutor = "Permutor";
constexpr const char* cSource_Allocation = "Dynamic Net/Pin Allocation";
constexpr std::int32_t cImage_Warning = 7;
constexpr std::int32_t cImage_Error = 8;
constexpr std::int32_t cImage_CrossProbe = 73;

} // namespace

TSwapDataSet::TSwapDataSet(const std::string& ADocumentPath, TSwapMode ASwapMode)
    : FDocumentPath(ADocumentPath), FSwapMode(ASwapMode) {
    Randomize();
    if (auto server = PCBServer_Get())
        FPCBBoard = server->BoardByDocumentPath(FDocumentPath);
    auto workspace = Workspace_Obtain();
    IPtr<IDocument> document = workspace ? workspace->DocumentByPath(FDocumentPath) : nullptr;
    FDM_Document = document;
    if (document) {
        auto project = document->OwningProject();
        if (project && project != workspace->FreeDocumentsProject())
            FProject = project;
    }
    FIsSchematicLibrary = document && Text_EqualNoCase(document->Kind(), "SCHLIB");

    if (FIsSchematicLibrary) {
        FProject = document->OwningProject();
    } else if (FProject) {
        auto compiled = FProject->CompiledDocument();
        if (!compiled) {
            FProject->Compile();
            compiled = FProject->CompiledDocument();
        }
        FDM_Document = compiled;
        if (compiled) {
            // The design components are brought up to date before anything reads them.
            const std::int32_t n = compiled->ComponentCount();
            for (std::int32_t i = 0; i < n; ++i)
                if (auto component = compiled->Component(i))
                    component->Refresh();
            if (FPCBBoard)
                ComponentMappings = FProject->ComponentMappings(FDocumentPath);
        }
    }
}

TSwapDataSet::~TSwapDataSet() {
    // Drawn lines belong to one run; a set dropped in the middle of one takes them along.
    try {
        RemoveAllConnectionDisplayLines();
    } catch (...) {
        // The host refused to drop a drawn line; nothing more can be done while freeing.
    }
    for (auto& item : FDestructionList)
        item.reset();
    try {
        RemoveDummyNetForConnections();
    } catch (...) {
        // The host refused to drop the temporary net; nothing more can be done while freeing.
    }
    FDestructionList.clear();
}

std::string TSwapDataSet::DocumentFileName() const {
    return Path_FileName(FDocumentPath);
}

TSwapSubNet* TSwapDataSet::NewSubNet(TSwapNet* ANet, std::uint16_t ASubNetIndex) {
    TSwapSubNet* subNet = TSwapSubNet::Create(*this, ANet, ASubNetIndex);
    subNet->CreationIndex = std::uint32_t(MasterSubNetList_All.Count());
    MasterSubNetList_All.Add(subNet);
    PrimitiveIndex_Invalidate();
    return subNet;
}

// ---------------------------------------------------------------- look-ups

TSwapPin* TSwapDataSet::FindSwapPinByPad_Scan(IPCB_Pad* pad) const {
    if (!pad)
        return nullptr;
    for (const auto* groups : {&PinSwapGroups, &PartSwapGroups})
        for (TSwapGroup* group : *groups)
            for (TSwapPin* pin : group->SwapPins)
                if (pin->Pin_PCB().get() == pad)
                    return pin;
    return nullptr;
}

TSwapPin* TSwapDataSet::FindSwapPinByPad(IPCB_Pad* pad) {
    if (!pad)
        return nullptr;
    if (!FPinIndexValid) {
        FPinIndex.clear();
        // Entered in scan order; emplace keeps the first pin of a pad, as the scan finds it.
        for (const auto* groups : {&PinSwapGroups, &PartSwapGroups})
            for (TSwapGroup* group : *groups)
                for (TSwapPin* pin : group->SwapPins)
                    FPinIndex.emplace(pin->Pin_PCB().get(), pin);
        FPinIndexValid = true;
    }
    auto it = FPinIndex.find(pad);
    return it == FPinIndex.end() ? nullptr : it->second;
}

TSwapSubNet* TSwapDataSet::FindSubNetFromPrimitive_Scan(IPCB_Primitive* P) const {
    if (!P)
        return nullptr;
    for (TSwapSubNet* subNet : MasterSubNetList_All)
        for (const auto& primitive : subNet->Primitives)
            if (primitive.get() == P)
                return subNet;
    return nullptr;
}

TSwapSubNet* TSwapDataSet::FindSubNetFromPrimitive(IPCB_Primitive* P) {
    if (!P)
        return nullptr;
    if (!FPrimitiveIndexValid) {
        FPrimitiveIndex.clear();
        for (TSwapSubNet* subNet : MasterSubNetList_All)
            for (const auto& primitive : subNet->Primitives)
                FPrimitiveIndex.emplace(primitive.get(), subNet);
        FPrimitiveIndexValid = true;
    }
    auto it = FPrimitiveIndex.find(P);
    return it == FPrimitiveIndex.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------- reports

void TSwapDataSet::Report(const std::string& text, bool error) {
    if (!FSuppressDialogs) {
        if (error)
            MessageBox_Error(text, "Error");
        else
            MessageBox_Warning(text, "Warning");
        return;
    }
    std::string line = text;
    line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
    auto workspace = Workspace_Obtain();
    auto panel = workspace ? workspace->MessagesPanel() : nullptr;
    if (panel)
        panel->AddMessage(error ? cMessageClass_Error : cMessageClass_Warning, line, cSource_Permutor,
                          DocumentFileName(), "", "", error ? cImage_Error : cImage_Warning);
}

void TSwapDataSet::ReportWarning(const std::string& text) {
    Report(text, false);
}

void TSwapDataSet::ReportError(const std::string& text) {
    Report(text, true);
}

void TSwapDataSet::AddCrossProbeMessage(const std::string& text, const std::string& documentName,
                                        const std::string& process, const std::string& parameters) {
    auto workspace = Workspace_Obtain();
    auto panel = workspace ? workspace->MessagesPanel() : nullptr;
    if (panel)
        panel->AddMessage(cMessageClass_ErrorBracketed, text, cSource_Allocation, documentName, process,
                          parameters, cImage_CrossProbe);
}

void TSwapDataSet::ReportUnswappablePin(INetItem* pin) {
    if (!pin)
        return;
    const std::string documentPath = pin->DocumentPath();
    const std::string identifier = pin->CrossProbeId();
    schematic::TParameterList parameters;
    parameters.SetState_AddParameter("FullDocumentPath", documentPath);
    parameters.SetState_AddParameter("Kind", "NetlistObject");
    parameters.SetState_AddParameter("ObjectKind", "Pin");
    parameters.SetState_AddParameter("TargetFileName", Path_FileName(documentPath));
    parameters.SetState_AddParameter("PrimaryId", identifier);
    AddCrossProbeMessage("Schematic Pin " + identifier + " cannot be swapped on Schematic",
                         Path_FileName(documentPath), "SCH:CrossProbeNotify", parameters.GetState_ToString());
}

void TSwapDataSet::ReportUnmatchedPad(IPCB_Pad* pad, IPCB_Component* component) {
    if (!pad)
        return;
    const std::string padName = pad->Name();
    schematic::TParameterList parameters;
    parameters.SetState_AddParameter("TargetFileName", DocumentFileName());
    parameters.SetState_AddParameter("Kind", "Pad");
    parameters.SetState_AddParameter("Id",
                                     (component ? component->NameText() : std::string()) + "-" + padName);
    AddCrossProbeMessage("PCB Pin " + padName + " cannot be matched to a schematic pin", DocumentFileName(),
                         "PCB:CrossProbeNotify", parameters.GetState_ToString());
}

} // namespace permutor::model
