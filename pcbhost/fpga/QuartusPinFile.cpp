// The Quartus pin-out file (.pin): "Pin Name/Usage : Location : Dir. : I/O Standard : Voltage :
// I/O Bank : User Assignment", one device pin per line, after a comment block and the chip line.
#include "pcbhost/fpga/PinFunctions.h"
#include "pcbhost/fpga/PinReportReaders.h"

#include "permutor/host/Text.h"

namespace pcbhost::fpga {

using namespace permutor::host;

namespace {

std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> out;
    while (true) {
        const std::size_t colon = line.find(':');
        out.emplace_back(Text_Trim(line.substr(0, colon)));
        if (colon == std::string_view::npos)
            break;
        line.remove_prefix(colon + 1);
    }
    return out;
}

const TReportLine* Header(const std::vector<TReportLine>& lines) {
    for (const auto& line : lines)
        if (Text_StartsWithNoCase(Text_Trim(line.Text), "Pin Name/Usage") && Fields(line.Text).size() >= 3)
            return &line;
    return nullptr;
}

std::int32_t ColumnTitled(const std::vector<std::string>& titles, std::string_view title) {
    for (std::size_t c = 0; c < titles.size(); ++c)
        if (Text_EqualNoCase(titles[c], title))
            return std::int32_t(c);
    return -1;
}

} // namespace

bool QuartusPin_Recognise(const std::vector<TReportLine>& lines) {
    return Header(lines) != nullptr;
}

TPinReport QuartusPin_Read(const std::vector<TReportLine>& lines, const std::string& file) {
    const TReportLine* header = Header(lines);
    TPinReport report;
    report.Format = "Quartus pin file";
    for (const auto& line : lines) {
        if (line.Number >= header->Number)
            break;
        const std::string_view text = Text_Trim(line.Text);
        if (const std::size_t at = text.find("ASSIGNED TO AN:");
            Text_StartsWithNoCase(text, "CHIP") && at != text.npos)
            report.Device = std::string(Text_Trim(text.substr(at + 15)));
    }
    report.Titles = Fields(header->Text);
    const std::int32_t usage = 0, location = ColumnTitled(report.Titles, "Location"),
                       direction = ColumnTitled(report.Titles, "Dir."),
                       bank = ColumnTitled(report.Titles, "I/O Bank");
    if (location < 0 || direction < 0 || bank < 0)
        throw TPinReportError(
            file, header->Number,
            "expected the columns \"Location\", \"Dir.\" and \"I/O Bank\" in the pin table's header");
    report.KindColumn[prff_Designator] = location;
    report.KindColumn[prff_IoBank] = bank;
    report.KindColumn[prff_IoStandard] = ColumnTitled(report.Titles, "I/O Standard");
    TPinCollector pins(report, file);
    for (const auto& line : lines) {
        const std::string_view text = Text_Trim(line.Text);
        if (line.Number <= header->Number || text.empty() || text.find_first_not_of('-') == text.npos)
            continue;
        std::vector<std::string> cells = Fields(line.Text);
        if (cells.size() != report.Titles.size())
            throw TPinReportError(file, line.Number,
                                  "expected " + std::to_string(report.Titles.size()) +
                                      " fields separated by \":\", found " + std::to_string(cells.size()));
        TReportPin& pin = pins.Add(cells[std::size_t(location)], line.Number);
        pin.Values = std::move(cells);
        const TPinRoles roles = Quartus_Roles(pin.Values[usage], pin.Values[std::size_t(direction)],
                                              pin.Values[std::size_t(bank)]);
        PinRoles_Store(roles, pin);
        // The usage column names the design's signal on user I/O, and the pin's use elsewhere.
        const std::string dir = Text_Upper(pin.Values[std::size_t(direction)]);
        if (roles.Io && (dir == "INPUT" || dir == "OUTPUT" || dir == "BIDIR"))
            pin.Kinds[prff_NetName] = pin.Values[usage];
    }
    Report_CopyKindColumns(report);
    // The fitter names the negative pin of a differential signal "sig(n)".
    std::map<std::string, std::size_t> bySignal;
    for (std::size_t i = 0; i < report.Pins.size(); ++i)
        if (!report.Pins[i].Kinds[prff_NetName].empty())
            bySignal.emplace(report.Pins[i].Kinds[prff_NetName], i);
    for (std::size_t i = 0; i < report.Pins.size(); ++i) {
        const std::string& signal = report.Pins[i].Kinds[prff_NetName];
        if (signal.size() > 3 && signal.ends_with("(n)"))
            if (auto it = bySignal.find(signal.substr(0, signal.size() - 3)); it != bySignal.end()) {
                report.Pins[i].Partner = std::int32_t(it->second);
                report.Pins[it->second].Partner = std::int32_t(i);
                report.Pins[i].Kinds[prff_DiffPair] = report.Pins[it->second].Name;
                report.Pins[it->second].Kinds[prff_DiffPair] = report.Pins[i].Name;
            }
    }
    return report;
}

} // namespace pcbhost::fpga
