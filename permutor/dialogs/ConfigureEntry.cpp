#include "permutor/dialogs/ConfigureEntry.h"

#include "permutor/host/Services.h"

namespace permutor::dialogs {

// The configuration dialogs arrive later; until then a launch says so plainly.
bool ConfigurePinSwap_Run(const std::string&, const std::string&, const std::string&) {
    host::MessageBox_Error("Not available in this build");
    return false;
}

} // namespace permutor::dialogs
