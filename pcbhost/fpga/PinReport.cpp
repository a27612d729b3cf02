#include "pcbhost/fpga/PinReport.h"

#include "pcbhost/fpga/PinFunctions.h"
#include "pcbhost/fpga/PinReportReaders.h"

#include "permutor/host/Text.h"

#include <fstream>
#include <sstream>

namespace pcbhost::fpga {

using namespace permutor::host;

std::int32_t TPinReport::FindPin(std::string_view name) const {
    for (std::size_t i = 0; i < Pins.size(); ++i)
        if (Pins[i].Name == name)
            return std::int32_t(i);
    return -1;
}

TPinReportError::TPinReportError(const std::string& file, std::int32_t line, const std::string& what)
    : std::runtime_error(file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + what),
      FFile(file), FLine(line) {}

std::vector<TReportLine> Report_Lines(std::string_view text) {
    std::vector<TReportLine> lines;
    std::int32_t number = 1;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back({line, number++});
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    // A byte order mark is not part of the first title.
    if (!lines.empty() && lines[0].Text.substr(0, 3) == "\xEF\xBB\xBF")
        lines[0].Text.remove_prefix(3);
    return lines;
}

bool Delimited_Split(std::string_view line, char delimiter, std::vector<std::string>& cells) {
    cells.clear();
    std::string cell;
    bool quoted = false, wasQuoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"' && Text_Trim(cell).empty()) {
            quoted = wasQuoted = true;
            cell.clear();
        } else if (c == delimiter) {
            cells.push_back(wasQuoted ? cell : std::string(Text_Trim(cell)));
            cell.clear();
            wasQuoted = false;
        } else {
            cell += c;
        }
    }
    cells.push_back(wasQuoted ? cell : std::string(Text_Trim(cell)));
    return !quoted;
}

TReportPin& TPinCollector::Add(std::string name, std::int32_t line) {
    if (name.empty())
        throw TPinReportError(FFile, line, "the row names no package pin");
    if (auto it = FLines.find(name); it != FLines.end())
        throw TPinReportError(FFile, line,
                              "pin \"" + name + "\" is listed twice (first on line " +
                                  std::to_string(it->second) + ")");
    FLines.emplace(name, line);
    FReport.Pins.emplace_back();
    FReport.Pins.back().Name = std::move(name);
    FReport.Pins.back().Values.resize(FReport.Titles.size());
    Lines.push_back(line);
    return FReport.Pins.back();
}

void Report_CopyKindColumns(TPinReport& report) {
    for (auto& pin : report.Pins)
        for (std::int32_t k = 0; k < cPinReportFileFieldKindCount; ++k)
            if (const std::int32_t c = report.KindColumn[std::size_t(k)];
                c >= 0 && c < std::int32_t(pin.Values.size())) {
                std::string value = pin.Values[std::size_t(c)];
                // Vendors fill the cells of pins without a bank or standard with a placeholder.
                if (k < prff_IoPin && (value == "NA" || value == "N/A" || value == "-" || value == "--"))
                    value.clear();
                pin.Kinds[std::size_t(k)] = value;
            }
}

namespace {

void SetPartner(TPinReport& report, std::size_t a, std::size_t b) {
    report.Pins[a].Partner = std::int32_t(b);
    if (report.KindColumn[prff_DiffPair] < 0)
        report.Pins[a].Kinds[prff_DiffPair] = report.Pins[b].Name;
}

} // namespace

void Report_PairByXilinxNames(TPinReport& report, std::int32_t function) {
    std::map<std::string, std::size_t> byFunction;
    for (std::size_t i = 0; i < report.Pins.size(); ++i)
        byFunction.emplace(Text_Upper(report.Pins[i].Values[std::size_t(function)]), i);
    for (std::size_t i = 0; i < report.Pins.size(); ++i) {
        const std::string& name = report.Pins[i].Values[std::size_t(function)];
        const std::string other = Xilinx_PartnerFunction(name);
        if (other.empty())
            continue;
        auto it = byFunction.find(Text_Upper(other));
        if (it != byFunction.end() && Xilinx_Bank(name) == Xilinx_Bank(other))
            SetPartner(report, i, it->second);
    }
}

void Report_PairByPartnerNames(TPinReport& report, const std::string& file,
                               const std::vector<std::int32_t>& lines) {
    const std::int32_t column = report.KindColumn[prff_DiffPair];
    if (column < 0)
        return;
    for (std::size_t i = 0; i < report.Pins.size(); ++i) {
        const std::string partner(Text_Trim(report.Pins[i].Values[std::size_t(column)]));
        if (partner.empty() || partner == "-" || partner == "NA")
            continue;
        const std::int32_t at = report.FindPin(partner);
        if (at < 0 || std::size_t(at) == i)
            throw TPinReportError(
                file, lines[i],
                "pin \"" + report.Pins[i].Name + "\" names \"" + partner +
                    "\" as its differential partner, " +
                    (at < 0 ? "which the report does not list" : "which is the pin itself"));
        SetPartner(report, i, std::size_t(at));
    }
}

bool PinReport_Recognise(std::string_view text) {
    const auto lines = Report_Lines(text.substr(0, 64 * 1024));
    return QuartusPin_Recognise(lines) || VivadoIo_Recognise(lines) || XilinxPackage_Recognise(lines) ||
           LatticePinout_Recognise(lines) || DelimitedTable_Recognise(lines);
}

TPinReport PinReport_Parse(std::string_view text, const std::string& fileName, const std::string& package) {
    const auto lines = Report_Lines(text);
    TPinReport report;
    if (QuartusPin_Recognise(lines))
        report = QuartusPin_Read(lines, fileName);
    else if (VivadoIo_Recognise(lines))
        report = VivadoIo_Read(lines, fileName);
    else if (XilinxPackage_Recognise(lines))
        report = XilinxPackage_Read(lines, fileName);
    else if (LatticePinout_Recognise(lines))
        report = LatticePinout_Read(lines, fileName, package);
    else if (DelimitedTable_Recognise(lines))
        report = DelimitedTable_Read(lines, fileName);
    else
        throw TPinReportError(
            fileName, 1,
            "not a pin report this host reads: expected a Xilinx package pinout, a Vivado I/O "
            "report, a Quartus .pin file, a Lattice pinout CSV, or a CSV/TSV table whose header "
            "has a pin column (\"Pin\", \"Ball\", \"Designator\" or \"Location\")");
    if (report.Pins.empty())
        throw TPinReportError(fileName, 0, "the " + report.Format + " lists no pins");
    return report;
}

TPinReport PinReport_Read(const std::string& path, const std::string& package) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw TPinReportError(path, 0, "cannot open the pin report");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw TPinReportError(path, 0, "cannot read the pin report");
    return PinReport_Parse(text.str(), path, package);
}

// ---------------------------------------------------------------- CSV/TSV with named columns

namespace {

std::string TitleKey(std::string_view title) {
    std::string key;
    for (char c : title)
        if (std::isalnum(static_cast<unsigned char>(c)))
            key += Text_UpperChar(c);
    return key;
}

std::int32_t KindOfTitle(std::string_view title) {
    static const std::vector<std::pair<TPinReportFileFieldKind, std::vector<std::string>>> names = {
        {prff_Designator,
         {"PIN", "PINNUMBER", "PINNO", "BALL", "BALLNUMBER", "DESIGNATOR", "LOCATION", "PACKAGEPIN"}},
        {prff_NetName, {"NET", "NETNAME", "SIGNAL", "SIGNALNAME", "PORT"}},
        {prff_IoBank, {"BANK", "IOBANK"}},
        {prff_IoStandard, {"IOSTANDARD", "STANDARD", "IOSTD"}},
        {prff_DiffPair, {"DIFFPAIR", "DIFFERENTIALPAIR", "DIFFPARTNER", "DIFFERENTIALPARTNER", "PARTNER"}},
        {prff_SlewRate, {"SLEW", "SLEWRATE"}},
        {prff_DriveStrength, {"DRIVE", "DRIVESTRENGTH", "DRIVEMA", "CURRENTSTRENGTH"}},
        {prff_IoPin, {"IO", "IOPIN", "USERIO"}},
        {prff_VrefPin, {"VREF", "VREFPIN"}},
        {prff_ClkPin, {"CLK", "CLOCK", "CLKPIN", "CLOCKPIN", "CLOCKCAPABLE"}},
        {prff_ConfigPin, {"CONFIG", "CONFIGPIN", "CONFIGURATION", "CONFIGURATIONPIN"}},
        {prff_SpecialPin, {"SPECIAL", "SPECIALPIN"}},
    };
    const std::string key = TitleKey(title);
    for (const auto& [kind, keys] : names)
        for (const auto& k : keys)
            if (k == key)
                return kind;
    return -1;
}

// The header: the first line that is neither empty nor a comment.
const TReportLine* HeaderLine(const std::vector<TReportLine>& lines) {
    for (const auto& line : lines) {
        const std::string_view t = Text_Trim(line.Text);
        if (t.empty() || t[0] == '#')
            continue;
        return &line;
    }
    return nullptr;
}

char DelimiterOf(std::string_view header) {
    return header.find('\t') != std::string_view::npos                                                ? '\t'
           : header.find(';') != std::string_view::npos && header.find(',') == std::string_view::npos ? ';'
                                                                                                      : ',';
}

} // namespace

bool DelimitedTable_Recognise(const std::vector<TReportLine>& lines) {
    const TReportLine* header = HeaderLine(lines);
    if (!header)
        return false;
    std::vector<std::string> titles;
    if (!Delimited_Split(header->Text, DelimiterOf(header->Text), titles) || titles.size() < 2)
        return false;
    for (const auto& t : titles)
        if (KindOfTitle(t) == prff_Designator)
            return true;
    return false;
}

TPinReport DelimitedTable_Read(const std::vector<TReportLine>& lines, const std::string& file) {
    const TReportLine* header = HeaderLine(lines);
    const char delimiter = DelimiterOf(header->Text);
    TPinReport report;
    report.Format = delimiter == '\t' ? "TSV pin table" : "CSV pin table";
    Delimited_Split(header->Text, delimiter, report.Titles);
    std::int32_t function = -1;
    for (std::size_t c = 0; c < report.Titles.size(); ++c) {
        const std::int32_t kind = KindOfTitle(report.Titles[c]);
        if (kind >= 0 && report.KindColumn[std::size_t(kind)] < 0)
            report.KindColumn[std::size_t(kind)] = std::int32_t(c);
        const std::string key = TitleKey(report.Titles[c]);
        if (key == "PINNAME" || key == "FUNCTION" || key == "PINFUNCTION")
            function = std::int32_t(c);
    }
    TPinCollector pins(report, file);
    std::vector<std::string> cells;
    for (const auto& line : lines) {
        if (line.Number <= header->Number || Text_Trim(line.Text).empty() || Text_Trim(line.Text)[0] == '#')
            continue;
        if (!Delimited_Split(line.Text, delimiter, cells))
            throw TPinReportError(file, line.Number, "a quoted value is not closed");
        if (cells.size() != report.Titles.size())
            throw TPinReportError(file, line.Number,
                                  "expected " + std::to_string(report.Titles.size()) +
                                      " values as in the header, found " + std::to_string(cells.size()));
        TReportPin& pin = pins.Add(cells[std::size_t(report.KindColumn[prff_Designator])], line.Number);
        pin.Values = cells;
        // Roles the table does not give come from the function names, when it has them.
        if (function >= 0) {
            const TPinRoles roles = Xilinx_Roles(cells[std::size_t(function)]);
            PinRoles_Store(roles, pin);
        }
    }
    Report_CopyKindColumns(report);
    if (report.KindColumn[prff_DiffPair] >= 0)
        Report_PairByPartnerNames(report, file, pins.Lines);
    else if (function >= 0)
        Report_PairByXilinxNames(report, function);
    return report;
}

} // namespace pcbhost::fpga
