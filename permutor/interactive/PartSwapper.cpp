#include "permutor/interactive/PartSwapper.h"

#include "permutor/host/Services.h"
#include "permutor/model/SwapDataSet.h"

namespace permutor::interactive {

using namespace permutor::host;

namespace {

constexpr const char* cPartSwapSource = "Part Swapper";

// The designator of the group's component as the board side of the design knows it.
std::string DesignatorOf(TSwapGroup* Group) {
    if (!Group || !Group->Component)
        return {};
    const auto& component = Group->Component->DM_Component_PCB();
    return component ? component->Designator() : std::string();
}

std::string ComponentDescription(TSwapSubPart* S) {
    model::TSwapComponent* component = S->Component();
    return component ? component->GetState_Description() : std::string();
}

std::string PartPrompt(TSwapGroup* Group, TSwapSubPart*) {
    return "Choose a different Sub-Part from " + DesignatorOf(Group);
}

std::string PairPrompt(TSwapGroup* Group, TSwapSubPart* A) {
    return "Choose a different Differential Pair from " + A->Id + "[" + DesignatorOf(Group) + "]";
}

} // namespace

void TSwapOptimizer_InteractiveParts::HighlightSwappableSubParts() {
    Highlight_Begin();
    for (TSwapGroup* group : SwapData->PartSwapGroups)
        for (const auto& part : group->SubParts)
            for (const auto& subNet : part.Object->SubNets)
                HighlightSubNet(subNet.Object);
    Highlight_End();
}

void TSwapOptimizer_InteractiveParts::HighlightSubPartTargets(TSwapGroup* Group, TSwapSubPart* A) {
    if (Board())
        Board()->HighlightView_On();
    Highlight_Begin();
    if (Group)
        for (const auto& part : Group->SubParts)
            if (part.Object != A)
                for (const auto& subNet : part.Object->SubNets)
                    HighlightSubNet(subNet.Object);
    Highlight_End();
}

bool TSwapOptimizer_InteractiveParts::SubPartsMatch(TSwapSubPart* A, TSwapSubPart* B) {
    return A->SubNets.Count() == B->SubNets.Count();
}

void TSwapOptimizer_InteractiveParts::SwapSubParts(TSwapSubPart* A, TSwapSubPart* B) {
    ModifyBoard([&] {
        // The lists are sorted by pin key, so the i-th sub-nets are the same pin of each part.
        for (std::size_t i = 0; i < A->SubNets.Count(); ++i) {
            TSwapSubNet* a = A->SubNets.Object(i);
            TSwapSubNet* b = B->SubNets.Object(i);
            const IPtr<IPCB_Net> NetA = a->Net_PCB_Current();
            const IPtr<IPCB_Net> NetB = b->Net_PCB_Current();
            a->RemoveFromPCBNet(NetA.get());
            b->RemoveFromPCBNet(NetB.get());
            a->AddToPCBNet(NetB.get());
            b->AddToPCBNet(NetA.get());
            if (NetA)
                NetA->RebuildConnections();
            if (NetB)
                NetB->RebuildConnections();
        }
    });
    std::string text;
    if (SwapData->SwapMode() == model::eSwap_DifferentialPairs)
        text = "Differential-Pair Swap: " + A->Id + " With " + B->Id;
    else
        text = "Interactive Sub-Part Swap: " + ComponentDescription(A) + "(" + A->PartId() + ")" + " With " +
               ComponentDescription(B) + "(" + B->PartId() + ")";
    Report(text, cPartSwapSource);
}

bool TSwapOptimizer_InteractiveParts::RunPickLoop(const TTexts& texts,
                                                  std::string (*secondPrompt)(TSwapGroup*, TSwapSubPart*)) {
    for (;;) {
        HighlightSwappableSubParts();
        TSwapSubNet* first = nullptr;
        if (!SwapData->ChooseSubNet(first, texts.FirstPrompt))
            break;
        TSwapGroup* Group = first->PartSwapGroup();
        TSwapSubPart* A = first->SubPart();
        if (!A) {
            MessageBox_Error(texts.InvalidFirst);
            continue;
        }
        HighlightSubPartTargets(Group, A);
        TSwapSubNet* second = nullptr;
        if (!SwapData->ChooseSubNet(second, secondPrompt(Group, A)))
            continue;
        TSwapSubPart* B = second->SubPart();
        if (!B)
            continue;
        if (SubPartsMatch(A, B))
            SwapSubParts(A, B);
        else
            MessageBox_Error(texts.NotMatching);
    }
    return true;
}

bool TSwapOptimizer_InteractiveParts::Optimize() {
    static constexpr TTexts texts{"Choose First Sub-Part to Swap",
                                  "This sub-net is part of an Invalid Sub-Part",
                                  "The two Sub-Parts do not have matching pins"};
    return RunPickLoop(texts, PartPrompt);
}

bool TSwapOptimizer_InteractivePairs::Optimize() {
    static constexpr TTexts texts{"Choose First Differential Pair to Swap",
                                  "This sub-net is part of an Invalid Differential Pair",
                                  "The Differential Pairs do not have matching pins"};
    return RunPickLoop(texts, PairPrompt);
}

} // namespace permutor::interactive
