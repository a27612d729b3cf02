#include "permutor/interactive/KestrelSwapper.h"

#include "permutor/host/Services.h"
#include "permutor/host/Text.h"
#include "permutor/model/SwapDataSet.h"

namespace permutor::interactive {

using namespace permutor::host;
using model::TSwapComponent;
using model::TSwapPin;
using provider::TKestrelProvider;

namespace {

// The board's current-object query takes these two values; what they select is the host's.
constexpr std::int32_t cCurrentObjectA = 4;
constexpr std::int32_t cCurrentObjectB = 4;

std::string PinName(TSwapSubNet* S) {
    return S && S->SwapPin ? S->SwapPin->GetState_Name() : std::string();
}

} // namespace

std::string FindPinConfigPath(IComponent* Component) {
    if (!Component)
        return {};
    const std::int32_t n = Component->ChildItemCount();
    for (std::int32_t i = 0; i < n; ++i) {
        const IPtr<IChildItem> item = Component->ChildItem(i);
        if (item && Text_EqualNoCase(item->FileName(), cKestrelPinConfigName))
            return item->FullPath();
    }
    return {};
}

TSwapOptimizer_InteractiveKESTRELPins::TSwapOptimizer_InteractiveKESTRELPins(TSwapDataSet& ASwapData)
    : TSwapOptimizer_InteractiveKESTRELPins(ASwapData, std::make_unique<TKestrelProvider>()) {}

TSwapOptimizer_InteractiveKESTRELPins::TSwapOptimizer_InteractiveKESTRELPins(
    TSwapDataSet& ASwapData, std::unique_ptr<TKestrelProvider> AProvider)
    : TSwapOptimizer_Interactive(ASwapData), FProvider(std::move(AProvider)) {}

bool TSwapOptimizer_InteractiveKESTRELPins::HasComponentPin(TSwapSubNet* S) {
    return S && S->SwapPin && S->SwapPin->Component();
}

void TSwapOptimizer_InteractiveKESTRELPins::ReportKestrel(const std::string& Text) {
    Report(Text, cKestrelSource);
    MessageBox_Information(Text, cKestrelSource);
}

bool TSwapOptimizer_InteractiveKESTRELPins::Optimize() {
    HighlightSwappableSubNets();
    TSwapSubNet* A = nullptr;
    do {
        if (!SwapData->ChooseSubNet(A, "Choose Sub-Net to move"))
            return true;
    } while (!HasComponentPin(A));
    return SwapWithKestrel(A);
}

bool TSwapOptimizer_InteractiveKESTRELPin::Optimize() {
    auto server = PCBServer_Get();
    const IPtr<IPCB_Board> board = server ? server->BoardByDocumentPath(SwapData->DocumentPath()) : nullptr;
    if (!board)
        return false;
    const IPtr<IPCB_Primitive> current = board->CurrentObject(cCurrentObjectA, cCurrentObjectB);
    TSwapSubNet* A = current ? SwapData->FindSubNetFromPrimitive(current.get()) : nullptr;
    if (!HasComponentPin(A))
        return false;
    return SwapWithKestrel(A);
}

bool TSwapOptimizer_InteractiveKESTRELPins::SwapWithKestrel(TSwapSubNet* A) {
    // A block we may not use is explained once; the run then ends as with an absent tool.
    if (!FProvider->IsOpen() && !FBlockProblemReported) {
        FBlockProblemReported = true;
        auto workspace = Workspace_Obtain();
        if (auto panel = workspace ? workspace->MessagesPanel() : nullptr)
            panel->AddMessage(cMessageClass_Warning, FProvider->OpenError(), cKestrelSource,
                              SwapData->DocumentFileName(), "", "", cSwapReportImageIndex);
    }

    Highlight_Begin();
    TSwapComponent* C = A->SwapPin->Component();
    FProvider->SetKESTRELCfgPath(FindPinConfigPath(C->DM_Component_SCH().get()));
    std::int32_t status = -1;
    bool candidates = false;
    for (TSwapPin* P : C->Pins()) {
        status = FProvider->SwapPins(A->SwapPin->Pin_PCB().get(), P->Pin_PCB().get(), true);
        if (status == -1)
            break;
        if (status == provider::cStatus_OK) {
            HighlightSubNet(P->SubNet);
            candidates = true;
        }
    }
    Highlight_End();

    if (candidates) {
        TSwapSubNet* B = nullptr;
        if (!SwapData->ChooseSubNet(B, "Choose Target Net for Sub-Net " + PinName(A)) || !B->SwapPin)
            return false;
        status = FProvider->SwapPins(A->SwapPin->Pin_PCB().get(), B->SwapPin->Pin_PCB().get(), false);
        if (status == provider::cStatus_OK) {
            SwapSubNetsAndReport(A, B);
            return true;
        }
        if (status == 500)
            ReportKestrel("Swap was not confirmed by KESTREL.");
        else
            ReportKestrel("KESTREL is not avaiable or unknown error code(" + std::to_string(status) + ").");
        return false;
    }
    if (status != -1)
        ReportKestrel("No swap candidates for selected pin [" + PinName(A) + "]");
    else
        ReportKestrel("KESTREL is not avaiable.");
    return false;
}

} // namespace permutor::interactive
