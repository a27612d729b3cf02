// Swapping whole sub-parts by hand: the gates of a multi-part component, or the two pins of a
// differential pair. The user picks a pin of the first sub-part and one of the second; every
// sub-net of the one takes the net of the matching sub-net of the other and conversely.
#pragma once

#include "permutor/interactive/InteractiveSwapper.h"

namespace permutor::interactive {

using model::TSwapSubPart;

class TSwapOptimizer_InteractiveParts : public TSwapOptimizer_Interactive {
public:
    explicit TSwapOptimizer_InteractiveParts(TSwapDataSet& ASwapData)
        : TSwapOptimizer_Interactive(ASwapData) {}
    static std::unique_ptr<optimizers::TSwapOptimizer_Abstract> Create(TSwapDataSet& ASwapData) {
        return std::make_unique<TSwapOptimizer_InteractiveParts>(ASwapData);
    }
    const char* ClassName() const override { return "TSwapOptimizer_InteractiveParts"; }

    // The pick loop, in the words of gate swapping. Always true.
    bool Optimize() override;

    // Shows every sub-net of every sub-part of every part swap group.
    void HighlightSwappableSubParts();
    // Shows the sub-parts of the group that A may be exchanged with.
    void HighlightSubPartTargets(TSwapGroup* Group, TSwapSubPart* A);
    // Whether the two hold as many sub-nets each; nothing else is compared.
    bool SubPartsMatch(TSwapSubPart* A, TSwapSubPart* B);
    // Exchanges the nets of A's and B's sub-nets pin by pin as one undoable change and reports it.
    void SwapSubParts(TSwapSubPart* A, TSwapSubPart* B);

protected:
    // The texts of one kind of sub-part.
    struct TTexts {
        const char* FirstPrompt;
        const char* InvalidFirst;
        const char* NotMatching;
    };
    // The loop shared by gates and pairs; `secondPrompt` words the second pick for a first sub-part.
    bool RunPickLoop(const TTexts& texts, std::string (*secondPrompt)(TSwapGroup*, TSwapSubPart*));
};

class TSwapOptimizer_InteractivePairs : public TSwapOptimizer_InteractiveParts {
public:
    explicit TSwapOptimizer_InteractivePairs(TSwapDataSet& ASwapData)
        : TSwapOptimizer_InteractiveParts(ASwapData) {}
    static std::unique_ptr<optimizers::TSwapOptimizer_Abstract> Create(TSwapDataSet& ASwapData) {
        return std::make_unique<TSwapOptimizer_InteractivePairs>(ASwapData);
    }
    const char* ClassName() const override { return "TSwapOptimizer_InteractivePairs"; }

    // The pick loop, in the words of differential pairs. Always true.
    bool Optimize() override;
};

} // namespace permutor::interactive
