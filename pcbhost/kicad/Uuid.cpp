#include "pcbhost/kicad/Uuid.h"

#include <cstdint>
#include <cstdio>
#include <random>

namespace pcbhost::kicad {

std::string NewUuid() {
    static std::mt19937_64 rng{std::random_device{}()};
    const std::uint64_t a = rng(), b = rng();
    char buf[40];
    std::snprintf(buf, sizeof buf, "%08x-%04x-4%03x-%04x-%012llx", unsigned(a >> 32),
                  unsigned((a >> 16) & 0xFFFF), unsigned(a & 0xFFF), unsigned(0x8000 | ((b >> 48) & 0x3FFF)),
                  static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
    return buf;
}

} // namespace pcbhost::kicad
