// The readers of the pin report formats and what they share. Internal to the pin report layer.
#pragma once

#include "pcbhost/fpga/PinReport.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pcbhost::fpga {

struct TReportLine {
    std::string_view Text; // without the line end
    std::int32_t Number;   // 1-based
};

std::vector<TReportLine> Report_Lines(std::string_view text);

// One line of comma (or tab) separated values; quotes as spreadsheets write them. False on an
// unclosed quote.
bool Delimited_Split(std::string_view line, char delimiter, std::vector<std::string>& cells);

// Collects pins, refusing a second pin of the same name.
class TPinCollector {
public:
    TPinCollector(TPinReport& report, const std::string& file) : FReport(report), FFile(file) {}
    TReportPin& Add(std::string name, std::int32_t line);
    // The line of each pin, in the report's order.
    std::vector<std::int32_t> Lines;

private:
    TPinReport& FReport;
    const std::string& FFile;
    std::map<std::string, std::int32_t> FLines;
};

// The value of every known field that a report column holds, copied from that column.
void Report_CopyKindColumns(TPinReport& report);
// Pairs pins whose function names follow the Xilinx P/N convention within one bank; `function`
// is the column of the function names.
void Report_PairByXilinxNames(TPinReport& report, std::int32_t function);
// Pairs pins whose partner column names the partner's pin; the partner's value of the kind
// becomes the partner's pin name.
void Report_PairByPartnerNames(TPinReport& report, const std::string& file,
                               const std::vector<std::int32_t>& lines);

bool XilinxPackage_Recognise(const std::vector<TReportLine>& lines);
TPinReport XilinxPackage_Read(const std::vector<TReportLine>& lines, const std::string& file);
bool VivadoIo_Recognise(const std::vector<TReportLine>& lines);
TPinReport VivadoIo_Read(const std::vector<TReportLine>& lines, const std::string& file);
bool QuartusPin_Recognise(const std::vector<TReportLine>& lines);
TPinReport QuartusPin_Read(const std::vector<TReportLine>& lines, const std::string& file);
bool LatticePinout_Recognise(const std::vector<TReportLine>& lines);
TPinReport LatticePinout_Read(const std::vector<TReportLine>& lines, const std::string& file,
                              const std::string& package);
bool DelimitedTable_Recognise(const std::vector<TReportLine>& lines);
TPinReport DelimitedTable_Read(const std::vector<TReportLine>& lines, const std::string& file);

} // namespace pcbhost::fpga
