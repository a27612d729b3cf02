// The two Xilinx formats: the package pinout text published per device and package, and the
// I/O report the implementation tool writes for a design.
#include "pcbhost/fpga/PinFunctions.h"
#include "pcbhost/fpga/PinReportReaders.h"

#include "permutor/host/Text.h"

namespace pcbhost::fpga {

using namespace permutor::host;

namespace {

// Splits at runs of two or more blanks: the package pinout's titles hold single blanks.
std::vector<std::string> SplitTitles(std::string_view line) {
    std::vector<std::string> out;
    std::string current;
    std::size_t blanks = 0;
    for (char c : line) {
        if (c == ' ' || c == '\t') {
            blanks += c == '\t' ? 2 : 1;
            continue;
        }
        if (blanks >= 2 && !current.empty()) {
            out.push_back(current);
            current.clear();
        } else if (blanks == 1 && !current.empty()) {
            current += ' ';
        }
        blanks = 0;
        current += c;
    }
    if (!current.empty())
        out.push_back(current);
    return out;
}

std::vector<std::string> SplitBlanks(std::string_view line) {
    std::vector<std::string> out;
    std::string current;
    for (char c : line) {
        if (c == ' ' || c == '\t') {
            if (!current.empty())
                out.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        out.push_back(current);
    return out;
}

const TReportLine* PackageHeader(const std::vector<TReportLine>& lines) {
    for (const auto& line : lines) {
        const std::vector<std::string> titles = SplitTitles(line.Text);
        if (titles.size() >= 3 && titles[0] == "Pin" && titles[1] == "Pin Name")
            return &line;
    }
    return nullptr;
}

// The cells of one "| a | b |" row of the I/O report's table.
std::vector<std::string> TableCells(std::string_view line) {
    std::vector<std::string> cells;
    std::string_view rest = Text_Trim(line);
    if (rest.size() < 2 || rest.front() != '|' || rest.back() != '|')
        return cells;
    rest = rest.substr(1, rest.size() - 2);
    while (true) {
        const std::size_t bar = rest.find('|');
        cells.emplace_back(Text_Trim(rest.substr(0, bar)));
        if (bar == std::string_view::npos)
            break;
        rest.remove_prefix(bar + 1);
    }
    return cells;
}

const TReportLine* IoTableHeader(const std::vector<TReportLine>& lines) {
    for (const auto& line : lines) {
        const std::vector<std::string> cells = TableCells(line.Text);
        if (cells.size() >= 5 && cells[0] == "Pin Number")
            return &line;
    }
    return nullptr;
}

std::int32_t ColumnTitled(const std::vector<std::string>& titles, std::string_view title) {
    for (std::size_t c = 0; c < titles.size(); ++c)
        if (Text_EqualNoCase(titles[c], title))
            return std::int32_t(c);
    return -1;
}

} // namespace

bool XilinxPackage_Recognise(const std::vector<TReportLine>& lines) {
    return PackageHeader(lines) != nullptr;
}

TPinReport XilinxPackage_Read(const std::vector<TReportLine>& lines, const std::string& file) {
    const TReportLine* header = PackageHeader(lines);
    TPinReport report;
    report.Format = "Xilinx package pinout";
    for (const auto& line : lines) {
        if (line.Number >= header->Number)
            break;
        if (Text_StartsWithNoCase(Text_Trim(line.Text), "Device/Package")) {
            const std::vector<std::string> words = SplitBlanks(line.Text);
            if (words.size() >= 2)
                report.Device = words[1];
        }
    }
    report.Titles = SplitTitles(header->Text);
    report.KindColumn[prff_Designator] = 0;
    report.KindColumn[prff_IoBank] = ColumnTitled(report.Titles, "Bank");
    TPinCollector pins(report, file);
    for (const auto& line : lines) {
        const std::string_view text = Text_Trim(line.Text);
        if (line.Number <= header->Number || text.empty())
            continue;
        // The pinout ends with its pin count.
        if (Text_StartsWithNoCase(text, "Total Number of Pins"))
            break;
        std::vector<std::string> cells = SplitBlanks(text);
        if (cells.size() != report.Titles.size())
            throw TPinReportError(file, line.Number,
                                  "expected " + std::to_string(report.Titles.size()) + " columns (" +
                                      report.Titles.front() + " ... " + report.Titles.back() + "), found " +
                                      std::to_string(cells.size()));
        TReportPin& pin = pins.Add(cells[0], line.Number);
        pin.Values = std::move(cells);
        PinRoles_Store(Xilinx_Roles(pin.Values[1]), pin);
    }
    Report_CopyKindColumns(report);
    Report_PairByXilinxNames(report, 1);
    return report;
}

bool VivadoIo_Recognise(const std::vector<TReportLine>& lines) {
    return IoTableHeader(lines) != nullptr;
}

TPinReport VivadoIo_Read(const std::vector<TReportLine>& lines, const std::string& file) {
    const TReportLine* header = IoTableHeader(lines);
    TPinReport report;
    report.Format = "Vivado I/O report";
    for (const auto& line : lines) {
        if (line.Number >= header->Number)
            break;
        const std::vector<std::string> cells = TableCells(line.Text);
        if (cells.size() == 1) {
            const std::string_view cell = cells[0];
            const std::size_t colon = cell.find(':');
            if (colon != std::string_view::npos && Text_Trim(cell.substr(0, colon)) == "Device")
                report.Device = std::string(Text_Trim(cell.substr(colon + 1))) + report.Device;
            if (colon != std::string_view::npos && Text_Trim(cell.substr(0, colon)) == "Package")
                report.Device += std::string(Text_Trim(cell.substr(colon + 1)));
        }
    }
    report.Titles = TableCells(header->Text);
    const std::pair<TPinReportFileFieldKind, const char*> columns[] = {
        {prff_Designator, "Pin Number"},   {prff_NetName, "Signal Name"}, {prff_IoBank, "IO Bank"},
        {prff_IoStandard, "IO Standard"},  {prff_SlewRate, "Slew"},       {prff_SlewRate, "Slew Rate"},
        {prff_DriveStrength, "Drive (mA)"}};
    for (const auto& [kind, title] : columns)
        if (report.KindColumn[kind] < 0)
            report.KindColumn[kind] = ColumnTitled(report.Titles, title);
    const std::int32_t function = ColumnTitled(report.Titles, "Pin Name");
    if (function < 0)
        throw TPinReportError(file, header->Number, "the I/O table has no \"Pin Name\" column");
    TPinCollector pins(report, file);
    for (const auto& line : lines) {
        const std::string_view text = Text_Trim(line.Text);
        if (line.Number <= header->Number || text.empty() || text[0] == '+')
            continue;
        if (text[0] != '|')
            break; // the table ends; notes may follow
        std::vector<std::string> cells = TableCells(text);
        if (cells.size() != report.Titles.size())
            throw TPinReportError(file, line.Number,
                                  "expected " + std::to_string(report.Titles.size()) +
                                      " cells between bars, found " + std::to_string(cells.size()));
        TReportPin& pin = pins.Add(cells[0], line.Number);
        pin.Values = std::move(cells);
        PinRoles_Store(Xilinx_Roles(pin.Values[std::size_t(function)]), pin);
    }
    Report_CopyKindColumns(report);
    Report_PairByXilinxNames(report, function);
    return report;
}

} // namespace pcbhost::fpga
