// The stand-in host's pin-information service: an FPGA pin report opened as a document that
// offers the pin-information interface, with one component whose pin table is the report.
#pragma once

#include "pcbhost/fpga/PinReport.h"
#include "permutor/host/Host.h"

#include <memory>
#include <string>

namespace pcbhost {

using namespace permutor::host;

// A symbol's FPGA pin report is an implementation of this model type with one data-file link of
// this kind; the symbol fields that give them.
inline constexpr const char* cFpgaPinInfoModelType = "FpgaPinInfo";
inline constexpr const char* cPinInfoLinkKind = "PinInfo";
inline constexpr const char* cPinInfoField = "PinInfo";
inline constexpr const char* cPinInfoPackageField = "PinInfoPackage";
// The document kind of a pin report.
inline constexpr const char* cPinInfoDocumentKind = "PININFO";

class TPinReportDocument : public TUnknownImpl<IServerDocument, IPinInformationDocument> {
public:
    TPinReportDocument(std::string path, std::shared_ptr<const fpga::TPinReport> report);
    const fpga::TPinReport& Report() const { return *FReport; }

    std::string FileName() override { return FPath; }
    std::string Kind() override { return cPinInfoDocumentKind; }
    bool Modified() override { return false; }
    void SetModified(bool) override {}
    IPtr<IPinFile> PinFile() override;

private:
    std::string FPath;
    std::shared_ptr<const fpga::TPinReport> FReport;
};

// The pin table of a report as the interfaces present it (for tests and tools that hold a
// report without a document).
IPtr<IComponentInfo> PinReport_ComponentInfo(std::shared_ptr<const fpga::TPinReport> report);

} // namespace pcbhost
