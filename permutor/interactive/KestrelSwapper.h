// Swapping pins whose functions the external pin-configuration tool assigns: the tool names the
// pins a picked pin may move to, those are highlighted, and the swap is made only once the tool
// confirms it. One attempt per run.
#pragma once

#include "permutor/interactive/InteractiveSwapper.h"
#include "permutor/provider/KestrelProvider.h"

#include <memory>
#include <string>

namespace permutor::interactive {

inline constexpr const char* cKestrelSource = "KESTREL Pin/Net Swapper";
// The file name of a component's pin-configuration file among its child items.
inline constexpr const char* cKestrelPinConfigName = "KESTREL.pincfg";

// The configuration file of a design component: the full path of its first child item named
// "KESTREL.pincfg" (letter case aside), else empty.
std::string FindPinConfigPath(host::IComponent* Component);

// The user picks the pin to move (asked again until the pick has a pin of a component).
class TSwapOptimizer_InteractiveKESTRELPins : public TSwapOptimizer_Interactive {
public:
    explicit TSwapOptimizer_InteractiveKESTRELPins(TSwapDataSet& ASwapData);
    // Tests give the provider a short wait and their own block.
    TSwapOptimizer_InteractiveKESTRELPins(TSwapDataSet& ASwapData,
                                          std::unique_ptr<provider::TKestrelProvider> AProvider);
    static std::unique_ptr<optimizers::TSwapOptimizer_Abstract> Create(TSwapDataSet& ASwapData) {
        return std::make_unique<TSwapOptimizer_InteractiveKESTRELPins>(ASwapData);
    }
    const char* ClassName() const override { return "TSwapOptimizer_InteractiveKESTRELPins"; }

    // True when the first pick was cancelled, else whether the one attempt swapped.
    bool Optimize() override;

    // Asks the tool for A's candidates, lets the user pick one and swaps once the tool confirms.
    // True when a swap was made.
    bool SwapWithKestrel(TSwapSubNet* A);
    // A line in the messages panel and an information box, both under the swapper's caption.
    void ReportKestrel(const std::string& Text);

    provider::TKestrelProvider& Provider() { return *FProvider; }

protected:
    // A sub-net whose pin belongs to a component: the only kind the tool can be asked about.
    static bool HasComponentPin(TSwapSubNet* S);

private:
    std::unique_ptr<provider::TKestrelProvider> FProvider;
    bool FBlockProblemReported = false;
};

// The pin is the board's current object; nothing is asked when it is not a usable pin.
class TSwapOptimizer_InteractiveKESTRELPin : public TSwapOptimizer_InteractiveKESTRELPins {
public:
    using TSwapOptimizer_InteractiveKESTRELPins::TSwapOptimizer_InteractiveKESTRELPins;
    static std::unique_ptr<optimizers::TSwapOptimizer_Abstract> Create(TSwapDataSet& ASwapData) {
        return std::make_unique<TSwapOptimizer_InteractiveKESTRELPin>(ASwapData);
    }
    const char* ClassName() const override { return "TSwapOptimizer_InteractiveKESTRELPin"; }

    // The result of the one attempt; false when the current object gave none.
    bool Optimize() override;
};

} // namespace permutor::interactive
