// The pinout CSV Lattice publishes per device: pad, ball function, bank, dual function,
// differential partner, and one ball column per package. Unbonded pads show "-" in a package.
#include "pcbhost/fpga/PinFunctions.h"
#include "pcbhost/fpga/PinReportReaders.h"

#include "permutor/host/Text.h"

#include <regex>

namespace pcbhost::fpga {

using namespace permutor::host;

namespace {

const TReportLine* Header(const std::vector<TReportLine>& lines, std::vector<std::string>& titles) {
    for (const auto& line : lines) {
        if (line.Text.find("Ball Function") == std::string_view::npos &&
            line.Text.find("Pin Function") == std::string_view::npos)
            continue;
        if (Delimited_Split(line.Text, ',', titles) && titles.size() >= 4)
            return &line;
    }
    return nullptr;
}

std::int32_t ColumnTitled(const std::vector<std::string>& titles,
                          std::initializer_list<std::string_view> names) {
    for (std::size_t c = 0; c < titles.size(); ++c)
        for (std::string_view name : names)
            if (Text_EqualNoCase(titles[c], name))
                return std::int32_t(c);
    return -1;
}

bool IsPackageTitle(std::string_view title) {
    static const std::regex package(R"([A-Za-z]+-?[0-9]+[A-Za-z0-9]*)");
    return std::regex_match(title.begin(), title.end(), package);
}

} // namespace

bool LatticePinout_Recognise(const std::vector<TReportLine>& lines) {
    std::vector<std::string> titles;
    return Header(lines, titles) != nullptr;
}

TPinReport LatticePinout_Read(const std::vector<TReportLine>& lines, const std::string& file,
                              const std::string& package) {
    TPinReport report;
    report.Format = "Lattice pinout CSV";
    const TReportLine* header = Header(lines, report.Titles);
    const std::int32_t function =
        ColumnTitled(report.Titles, {"Pin/Ball Function", "Ball Function", "Pin Function"});
    const std::int32_t bank = ColumnTitled(report.Titles, {"Bank"});
    const std::int32_t dual = ColumnTitled(report.Titles, {"Dual Function"});
    const std::int32_t differential = ColumnTitled(report.Titles, {"Differential", "Differential Pair"});
    std::vector<std::int32_t> packages;
    std::string names;
    for (std::size_t c = std::size_t(std::max(function, bank)) + 1; c < report.Titles.size(); ++c)
        if (IsPackageTitle(report.Titles[c])) {
            packages.push_back(std::int32_t(c));
            names += (names.empty() ? "" : ", ") + report.Titles[c];
        }
    if (packages.empty())
        throw TPinReportError(file, header->Number, "the pinout has no package column (e.g. \"caBGA256\")");
    std::int32_t ball = -1;
    if (!package.empty()) {
        for (std::int32_t c : packages)
            if (Text_EqualNoCase(report.Titles[std::size_t(c)], package))
                ball = c;
        if (ball < 0)
            throw TPinReportError(file, header->Number,
                                  "the pinout has no package \"" + package + "\"; it lists " + names);
    } else if (packages.size() == 1) {
        ball = packages[0];
    } else {
        throw TPinReportError(file, header->Number,
                              "the pinout lists several packages (" + names +
                                  "); name the board's in the symbol field \"PinInfoPackage\"");
    }
    report.Device = report.Titles[std::size_t(ball)];
    report.KindColumn[prff_Designator] = ball;
    report.KindColumn[prff_IoBank] = bank;
    report.KindColumn[prff_DiffPair] = differential;

    TPinCollector pins(report, file);
    std::vector<std::string> cells;
    for (const auto& line : lines) {
        const std::string_view text = Text_Trim(line.Text);
        if (line.Number <= header->Number || text.empty() || text[0] == '#')
            continue;
        if (!Delimited_Split(line.Text, ',', cells))
            throw TPinReportError(file, line.Number, "a quoted value is not closed");
        if (cells.size() != report.Titles.size())
            throw TPinReportError(file, line.Number,
                                  "expected " + std::to_string(report.Titles.size()) +
                                      " values as in the header, found " + std::to_string(cells.size()));
        const std::string& at = cells[std::size_t(ball)];
        if (at.empty() || at == "-")
            continue; // not bonded in this package
        TReportPin& pin = pins.Add(at, line.Number);
        pin.Values = cells;
        PinRoles_Store(Lattice_Roles(cells[std::size_t(function)], dual >= 0 ? cells[std::size_t(dual)] : ""),
                       pin);
    }
    Report_CopyKindColumns(report);
    // "True_OF_PL2B" on PL2A and "Comp_OF_PL2A" on PL2B name the other pad by its function.
    if (differential >= 0) {
        std::map<std::string, std::size_t> byFunction;
        for (std::size_t i = 0; i < report.Pins.size(); ++i)
            byFunction.emplace(Text_Upper(report.Pins[i].Values[std::size_t(function)]), i);
        static const std::regex of(R"((True|Comp)_OF_(.+))", std::regex::icase);
        for (std::size_t i = 0; i < report.Pins.size(); ++i) {
            const std::string& text = report.Pins[i].Values[std::size_t(differential)];
            std::smatch m;
            if (!std::regex_match(text, m, of))
                continue;
            if (auto it = byFunction.find(Text_Upper(m.str(2))); it != byFunction.end() && it->second != i)
                report.Pins[i].Partner = std::int32_t(it->second);
        }
    }
    return report;
}

} // namespace pcbhost::fpga
