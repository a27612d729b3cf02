// FPGA pin reports as their vendors and tools write them, read into one neutral table: the
// report's columns under their own titles, the column (if any) that holds each known field, and
// per package pin its texts, its value of every known field and its differential partner.
#pragma once

#include "permutor/host/Fpga.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pcbhost::fpga {

using permutor::host::cPinReportFileFieldKindCount;
using permutor::host::TPinReportFileFieldKind;

struct TReportPin {
    // The package pin: ball or pin number.
    std::string Name;
    // The pin's text in each report column.
    std::vector<std::string> Values;
    // The pin's value of each known field ("True"/"False" for the Boolean roles).
    std::array<std::string, cPinReportFileFieldKindCount> Kinds;
    // Index of the differential partner in the report's pins, -1 without one.
    std::int32_t Partner = -1;
};

struct TPinReport {
    // Which reader understood the file, e.g. "Xilinx package pinout".
    std::string Format;
    // The device (and package) the report names, when it names one.
    std::string Device;
    std::vector<std::string> Titles;
    // The report column holding each known field, -1 when no column does.
    std::array<std::int32_t, cPinReportFileFieldKindCount> KindColumn;
    std::vector<TReportPin> Pins;

    TPinReport() { KindColumn.fill(-1); }
    // The index of the pin of this name (exact), -1 when none.
    std::int32_t FindPin(std::string_view name) const;
};

// A report the host cannot read: the message names the file and line ("file:12: ...").
class TPinReportError : public std::runtime_error {
public:
    TPinReportError(const std::string& file, std::int32_t line, const std::string& what);
    const std::string& File() const { return FFile; }
    std::int32_t Line() const { return FLine; }

private:
    std::string FFile;
    std::int32_t FLine;
};

// Whether the text looks like a pin report of a format this host reads (by content).
bool PinReport_Recognise(std::string_view text);

// Reads a report from its text; `fileName` is used in errors. `package` picks the ball column of
// a pinout that lists several packages.
TPinReport PinReport_Parse(std::string_view text, const std::string& fileName,
                           const std::string& package = "");

// Reads a report file. Throws TPinReportError (also when the file cannot be read).
TPinReport PinReport_Read(const std::string& path, const std::string& package = "");

} // namespace pcbhost::fpga
