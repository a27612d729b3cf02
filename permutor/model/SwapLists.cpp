#include "permutor/model/SwapLists.h"

#include <fmt/format.h>

namespace permutor::model {

std::string Net_Key(host::IPCB_Net* net) {
    return fmt::format("{:016X}", reinterpret_cast<std::uintptr_t>(net));
}

} // namespace permutor::model
