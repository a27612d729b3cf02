// Swapping by hand on the board: the user picks the sub-net to move and then a target. The base
// holds what every interactive swapper shares (highlighting sub-nets, one reported exchange of
// two sub-nets' nets); the pin swapper runs the pick loop of one pin swap group.
#pragma once

#include "permutor/model/SwapLists.h"
#include "permutor/optimizers/SwapOptimizer.h"

#include <functional>
#include <memory>
#include <string>

namespace permutor::interactive {

using model::TSwapDataSet;
using model::TSwapGroup;
using model::TSwapSubNet;

// Message-panel image of the swappers' report lines.
inline constexpr std::int32_t cSwapReportImageIndex = 27;

class TSwapOptimizer_Interactive : public optimizers::TSwapOptimizer_Abstract {
public:
    explicit TSwapOptimizer_Interactive(TSwapDataSet& ASwapData) : TSwapOptimizer_Abstract(ASwapData) {}
    const char* ClassName() const override { return "TSwapOptimizer_Interactive"; }

    // Adds the sub-net's copper to the board's highlight list; nothing without a sub-net.
    void HighlightSubNet(TSwapSubNet* SubNet);
    // Shows every swappable sub-net that belongs to a pin swap group.
    void HighlightSwappableSubNets();
    // Exchanges the board nets of A and B as one undoable change and reports it in the messages
    // panel.
    void SwapSubNetsAndReport(TSwapSubNet* A, TSwapSubNet* B);

protected:
    // Clears the board's highlight and opens a new list.
    void Highlight_Begin();
    // Shows the list (both flags on) and closes it.
    void Highlight_End();
    // One line in the messages panel, "[Information]" with the given source.
    void Report(const std::string& text, const std::string& source);
    // Runs `change` inside the host's pre-process/post-process bracket: one undoable change,
    // closed even when a host call fails so that the host's undo stays whole.
    void ModifyBoard(const std::function<void()>& change);
};

class TSwapOptimizer_InteractivePins : public TSwapOptimizer_Interactive {
public:
    explicit TSwapOptimizer_InteractivePins(TSwapDataSet& ASwapData)
        : TSwapOptimizer_Interactive(ASwapData) {}
    static std::unique_ptr<optimizers::TSwapOptimizer_Abstract> Create(TSwapDataSet& ASwapData) {
        return std::make_unique<TSwapOptimizer_InteractivePins>(ASwapData);
    }
    const char* ClassName() const override { return "TSwapOptimizer_InteractivePins"; }

    // The pick loop: until the first pick of a round is cancelled. Always true.
    bool Optimize() override;

    // NetsUsedBySwapGroup := the current board nets of the group's sub-nets, each once.
    void CollectNetsUsedBySwapGroup(TSwapGroup* Group);
    // Shows where A may go: every other sub-net on a net of NetsUsedBySwapGroup, apart from those
    // on A's own net.
    void HighlightTargetSubNets(TSwapGroup* Group, TSwapSubNet* A);
    // The first swappable sub-net of the group that is on `Net` now; none when there is none.
    TSwapSubNet* FindSwappableSubNetOnNet(host::IPCB_Net* Net, TSwapGroup* Group);

    // Board nets keyed by net reference.
    model::TSortedStringList<host::IPCB_Net*> NetsUsedBySwapGroup;
};

} // namespace permutor::interactive
