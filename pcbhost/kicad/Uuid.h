// Identifiers for objects the writers add to KiCad files.
#pragma once

#include <string>

namespace pcbhost::kicad {

// A random version-4 UUID in KiCad's spelling ("1b4e28ba-2fa1-41d2-883f-0016d3cca427").
std::string NewUuid();

} // namespace pcbhost::kicad
