// The configuration entry: the component list, or the editor of one component when a unique id
// is given.
#pragma once

#include <string>

namespace permutor::dialogs {

// Returns whether changes were applied.
bool ConfigurePinSwap_Run(const std::string& documentPath, const std::string& initialText,
                          const std::string& uniqueId);

} // namespace permutor::dialogs
