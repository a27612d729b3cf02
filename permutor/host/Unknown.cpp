#include "permutor/host/Unknown.h"

#include <cstdio>

namespace permutor::host {

std::string TGuid::ToString() const {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%04X-%012llX}", unsigned(Hi >> 32),
                  unsigned((Hi >> 16) & 0xFFFF), unsigned(Hi & 0xFFFF), unsigned(Lo >> 48),
                  static_cast<unsigned long long>(Lo & 0xFFFFFFFFFFFFull));
    return buf;
}

} // namespace permutor::host
