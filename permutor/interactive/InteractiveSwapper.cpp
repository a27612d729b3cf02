#include "permutor/interactive/InteractiveSwapper.h"

#include "permutor/host/Services.h"
#include "permutor/model/SwapDataSet.h"

namespace permutor::interactive {

using namespace permutor::host;

namespace {

constexpr const char* cPinSwapSource = "Pin/Net Swapper";
constexpr const char* cNotSwappable = "Selected primitive does not belong to swappable subnet/component.";

std::string NetName(const IPtr<IPCB_Net>& net) {
    return net ? net->Name() : std::string("[No Net]");
}

std::string PinName(TSwapSubNet* S) {
    return S->SwapPin ? S->SwapPin->GetState_Name() : std::string();
}

} // namespace

void TSwapOptimizer_Interactive::HighlightSubNet(TSwapSubNet* SubNet) {
    if (!SubNet || !Board())
        return;
    for (auto& primitive : SubNet->Primitives)
        Board()->HighlightList_Add(primitive.get());
}

void TSwapOptimizer_Interactive::Highlight_Begin() {
    if (!Board())
        return;
    Board()->HighlightList_Clear();
    Board()->HighlightList_Begin();
}

void TSwapOptimizer_Interactive::Highlight_End() {
    if (!Board())
        return;
    Board()->HighlightList_Show(true, true);
    Board()->HighlightList_End();
}

void TSwapOptimizer_Interactive::HighlightSwappableSubNets() {
    Highlight_Begin();
    for (TSwapSubNet* S : SwapData->MasterSubNetList_Swappable)
        if (S->SwapPin && S->PinSwapGroup())
            HighlightSubNet(S);
    Highlight_End();
}

void TSwapOptimizer_Interactive::Report(const std::string& text, const std::string& source) {
    auto workspace = Workspace_Obtain();
    if (auto panel = workspace ? workspace->MessagesPanel() : nullptr)
        panel->AddMessage(cMessageClass_Information, text, source, SwapData->DocumentFileName(), "", "",
                          cSwapReportImageIndex);
}

void TSwapOptimizer_Interactive::ModifyBoard(const std::function<void()>& change) {
    auto server = PCBServer_Get();
    if (server)
        server->PreProcess();
    try {
        change();
    } catch (...) {
        if (server)
            server->PostProcess();
        throw;
    }
    if (server)
        server->PostProcess();
}

void TSwapOptimizer_Interactive::SwapSubNetsAndReport(TSwapSubNet* A, TSwapSubNet* B) {
    // The names are taken before the swap: the report tells where each pin came from.
    const IPtr<IPCB_Net> NetA = A->Net_PCB_Current();
    const IPtr<IPCB_Net> NetB = B->Net_PCB_Current();
    const std::string text = "Interactive Pin-Swap:" + PinName(A) + "(" + NetName(NetA) + ")" + " With " +
                             PinName(B) + "(" + NetName(NetB) + ")";
    ModifyBoard([&] {
        A->RemoveFromPCBNet(NetA.get());
        B->RemoveFromPCBNet(NetB.get());
        A->AddToPCBNet(NetB.get());
        B->AddToPCBNet(NetA.get());
        RecordSwap(A, B);
        if (NetA)
            NetA->RebuildConnections();
        if (NetB)
            NetB->RebuildConnections();
    });
    Report(text, cPinSwapSource);
}

void TSwapOptimizer_InteractivePins::CollectNetsUsedBySwapGroup(TSwapGroup* Group) {
    NetsUsedBySwapGroup.Clear();
    if (!Group)
        return;
    for (TSwapSubNet* S : Group->SubNets) {
        const IPtr<IPCB_Net> net = S->Net_PCB_Current();
        NetsUsedBySwapGroup.AddPCBObject(net.get(), net.get(), true);
    }
}

void TSwapOptimizer_InteractivePins::HighlightTargetSubNets(TSwapGroup*, TSwapSubNet* A) {
    Highlight_Begin();
    const IPtr<IPCB_Net> NetA = A ? A->Net_PCB_Current() : nullptr;
    for (TSwapSubNet* S : SwapData->MasterSubNetList_All) {
        if (S == A)
            continue;
        const IPtr<IPCB_Net> net = S->Net_PCB_Current();
        if (!NetsUsedBySwapGroup.HasPCB(net.get()))
            continue;
        if (NetA && net.get() == NetA.get())
            continue;
        HighlightSubNet(S);
    }
    Highlight_End();
}

TSwapSubNet* TSwapOptimizer_InteractivePins::FindSwappableSubNetOnNet(IPCB_Net* Net, TSwapGroup* Group) {
    for (TSwapSubNet* S : SwapData->MasterSubNetList_Swappable)
        if (S->PinSwapGroup() == Group && S->Net_PCB_Current().get() == Net)
            return S;
    return nullptr;
}

bool TSwapOptimizer_InteractivePins::Optimize() {
    for (;;) {
        HighlightSwappableSubNets();
        TSwapSubNet* A = nullptr;
        if (!SwapData->ChooseSubNet(A, "Choose Sub-Net to move"))
            break;
        TSwapGroup* Group = A->PinSwapGroup();
        if (!Group) {
            // Copper at the far end of a swappable net (a connector's pad) can be a target but has
            // no pin to move.
            MessageBox_Information(cNotSwappable);
            continue;
        }
        CollectNetsUsedBySwapGroup(Group);
        HighlightTargetSubNets(Group, A);
        TSwapSubNet* picked = nullptr;
        if (!SwapData->ChooseSubNet(picked, "Choose Target Net for Sub-Net " + PinName(A)))
            continue;
        TSwapSubNet* B = nullptr;
        if (picked->PinSwapGroup() == Group) {
            B = picked;
        } else if (const IPtr<IPCB_Net> net = picked->Net_PCB_Current()) {
            B = FindSwappableSubNetOnNet(net.get(), Group);
            if (!B)
                MessageBox_Error("There is no valid swappable sub-net for this net");
        } else {
            MessageBox_Error("Invalid Net for this sub-net");
        }
        if (B)
            SwapSubNetsAndReport(A, B);
    }
    return true;
}

} // namespace permutor::interactive
