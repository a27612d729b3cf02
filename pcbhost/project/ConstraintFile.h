// An FPGA design's pin constraint file: which port of the FPGA design sits on which package pin.
// Four formats: nextpnr/icestorm .pcf (set_io PORT PIN), Vivado .xdc (PACKAGE_PIN, also inside
// -dict {...}), Lattice .lpf (LOCATE COMP "PORT" SITE "PIN";) and Quartus .qsf
// (set_location_assignment PIN_X -to PORT). Reading keeps the place of every pin token, so that
// moving ports to other pins changes those tokens and no other byte.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace pcbhost::kicad {

enum class TConstraintFormat { ePcf, eXdc, eLpf, eQsf };

// A constraint file the host cannot read: the message is "file:line: what is wrong".
class TConstraintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One port-to-pin record.
struct TPinConstraint {
    std::string Port;
    // The package pin as the board names its pad (a .qsf's "PIN_A1" is "A1").
    std::string Pin;
    std::uint32_t Line = 0; // 1-based
    // Where the pin's characters stand in the file's text.
    std::size_t PinOffset = 0, PinLength = 0;
    // From a trailing "# SWAPID=<id>" comment; empty without one.
    std::string SwapId;
};

struct TConstraintFile {
    std::string Path;
    TConstraintFormat Format = TConstraintFormat::ePcf;
    std::string Text;
    std::vector<TPinConstraint> Pins;
};

// The format a file name's extension stands for. Throws TConstraintError for another extension.
TConstraintFormat ConstraintFormat_Of(const std::string& path);
const char* ConstraintFormat_Name(TConstraintFormat format);

// Reads the port-to-pin records of a text in `format`; `path` names the file in messages. Lines
// that are not pin records (other commands, comments) are passed over; a pin record that cannot
// be read throws TConstraintError naming the file and line.
TConstraintFile ConstraintFile_Parse(const std::string& path, TConstraintFormat format, std::string text);
// The same from the file; std::system_error when it cannot be read.
TConstraintFile ConstraintFile_Read(const std::string& path);

// The file's text with record i's pin token replaced by newPins[i] (an empty entry keeps it);
// every other byte stays.
std::string ConstraintFile_Rewrite(const TConstraintFile& file, const std::vector<std::string>& newPins);

} // namespace pcbhost::kicad
