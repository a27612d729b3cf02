// The configuration session of the example project that the end-to-end tests play through
// `permutor configure --do ...`: the quad NAND's four gates become one part swap group with new
// sequence numbers kept, the BGA's I/O pins are grouped by bank, two LVDS pairs of the FPGA get a
// new pair group, a connector gets a pin group and its board switch.
#pragma once

#include <string>
#include <vector>

namespace demoscript {

inline std::vector<std::string> Arguments(const std::string& project) {
    std::vector<std::string> args{"configure", project};
    for (const char* command :
         {"open U2", "part U2A,U2B,U2C,U2D new", "ok",                          // gates: group "1"
          "open U1", "assign by bank", "pairmode fpga", "pair G7 H7 new", "ok", // banks 0/1, pairs "1"
          "open J3", "group 1,2,3 new", "ok", "enable pin J3",                  // J3: group "1", on
          "ok"})
        args.insert(args.end(), {"--do", command});
    return args;
}

} // namespace demoscript
