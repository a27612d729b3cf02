// Boards of many swappable sub-nets built in code: components with one pin group each, every
// pin on its own net, and a few pads of those nets scattered around the component on a connector
// that is not enabled for swapping, so each sub-net has targets to connect to. Layers are mixed
// (top, bottom, through-hole) so the crossing test's layer filter takes part.
#pragma once

#include "pcbhost/model/Builder.h"

#include <cstdint>
#include <random>
#include <string>

namespace permutor::model::testing {

struct TRandomBoardShape {
    std::int32_t Components = 4;
    std::int32_t PinsPerComponent = 8;
    std::int32_t TargetsPerNet = 2;
    // Targets lie within this distance (mm) of their component in x and y.
    double Spread = 12;
};

inline void RandomBoard_Build(pcbhost::TSchematicBuilder& sch, pcbhost::TBoardBuilder& pcb,
                              const TRandomBoardShape& shape, std::uint32_t seed) {
    using namespace permutor::host;
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> offset(-shape.Spread, shape.Spread);
    std::uniform_int_distribution<int> layerKind(0, 2);
    // Components on a square grid, far enough apart that neighbouring areas overlap a little.
    std::int32_t columns = 1;
    while (columns * columns < shape.Components)
        ++columns;
    const double pitch = shape.Spread * 1.5;
    for (std::int32_t c = 0; c < shape.Components; ++c) {
        const double cx = pitch * double(c % columns), cy = pitch * double(c / columns);
        // Appending rather than "U" + to_string(...) keeps GCC 12 from a false -Wrestrict at -O2.
        const std::string number = std::to_string(c + 1);
        const std::string ref = std::string("U").append(number);
        auto& component = sch.AddComponent(ref);
        auto& footprint = pcb.AddFootprint(ref, component).PinSwapEnabled();
        auto& connector = pcb.AddFootprint(std::string("J").append(number));
        for (std::int32_t p = 0; p < shape.PinsPerComponent; ++p) {
            const std::string pin = std::to_string(p + 1);
            const std::string net = ref + "_N" + pin;
            component.AddPin(pin).PinSwap("1");
            auto& pad = footprint.AddPad(pin, cx + 1.27 * double(p % 4), cy + 1.27 * double(p / 4)).Net(net);
            if (layerKind(random) == 0)
                pad.ThroughHole();
            for (std::int32_t t = 0; t < shape.TargetsPerNet; ++t) {
                // Targets on a 0.5 mm grid keep endpoints shared now and then (touching lines).
                const double tx = cx + std::round(offset(random) * 2) / 2;
                const double ty = cy + std::round(offset(random) * 2) / 2;
                auto& target =
                    connector.AddPad(pin + "_" + std::to_string(t), tx, ty).Size(0.3, 0.3).Net(net);
                switch (layerKind(random)) {
                case 0:
                    target.ThroughHole(0.2);
                    break;
                case 1:
                    target.Smd(eV6_BottomLayer);
                    break;
                default:
                    break;
                }
            }
        }
    }
}

} // namespace permutor::model::testing
