// FPGA devices and pin reports.
#pragma once

#include "permutor/host/Unknown.h"

#include <cstdint>
#include <string>

namespace permutor::host {

class IDevicePin : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{9B4E2D1A-6C73-4F08-A5D2-7E9C1B3F5001}");
    virtual std::string Name() = 0;
    virtual std::string DifferentialPairName() = 0;
    virtual bool IsPositive() = 0;
    virtual bool IsNegative() = 0;
};

class IDevice : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{9B4E2D1A-6C73-4F08-A5D2-7E9C1B3F5002}");
    virtual std::int32_t PinCount() = 0;
    virtual IPtr<IDevicePin> Pin(std::int32_t index) = 0;
};

class IDeviceManager : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{9B4E2D1A-6C73-4F08-A5D2-7E9C1B3F5003}");
    virtual IPtr<IDevice> FindDevice(const std::string& deviceKey) = 0;
};

// The known fields of an FPGA pin report, in the service's order. The last five are Boolean
// roles; the others are text.
enum TPinReportFileFieldKind : std::int32_t {
    prff_Designator = 0,
    prff_NetName = 1,
    prff_IoBank = 2,
    prff_IoStandard = 3,
    prff_DiffPair = 4,
    prff_SlewRate = 5,
    prff_DriveStrength = 6,
    prff_IoPin = 7,
    prff_VrefPin = 8,
    prff_ClkPin = 9,
    prff_ConfigPin = 10,
    prff_SpecialPin = 11,
};
constexpr std::int32_t cPinReportFileFieldKindCount = 12;

// Which report column holds a known field.
class IPinFieldDescriptor : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{9B4E2D1A-6C73-4F08-A5D2-7E9C1B3F5004}");
    virtual std::int32_t ColumnIndex() = 0;
};

// One column of a pin report, as the report titles it.
class IPinColumnDescriptor : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{9B4E2D1A-6C73-4F08-A5D2-7E9C1B3F5005}");
    virtual std::string Title() = 0;
};

// One device pin of a pin report.
class IPinInfoPin : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{9B4E2D1A-6C73-4F08-A5D2-7E9C1B3F5006}");
    // The package pin (ball or pin number).
    virtual std::string Name() = 0;
    // The other pin of its differential pair, or none.
    virtual IPtr<IPinInfoPin> DifferentialPartner() = 0;
    // The pin's value of a known field; empty when the report gives none.
    virtual std::string ValueOfKind(TPinReportFileFieldKind kind) = 0;
    // The pin's text in a report column; empty outside the report's columns.
    virtual std::string ValueOfColumn(std::int32_t column) = 0;
};

// The pins of one device in a report, with the report's columns.
class IPinTable : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{9B4E2D1A-6C73-4F08-A5D2-7E9C1B3F5007}");
    // The descriptor of the column holding a known field, or none when the report has no such
    // column.
    virtual IPtr<IPinFieldDescriptor> FieldDescriptor(TPinReportFileFieldKind kind) = 0;
    virtual std::int32_t ColumnCount() = 0;
    virtual IPtr<IPinColumnDescriptor> ColumnDescriptor(std::int32_t index) = 0;
    virtual std::int32_t PinCount() = 0;
    virtual IPtr<IPinInfoPin> Pin(std::int32_t index) = 0;
};

// One component (device) of a pin file.
class IComponentInfo : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{9B4E2D1A-6C73-4F08-A5D2-7E9C1B3F5008}");
    virtual std::string Name() = 0;
    // The component's pin table, or none.
    virtual IPtr<IPinTable> PinTable() = 0;
};

// The FPGA pin file of a pin information document.
class IPinFile : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{9B4E2D1A-6C73-4F08-A5D2-7E9C1B3F5009}");
    virtual std::int32_t ComponentCount() = 0;
    virtual IPtr<IComponentInfo> Component(std::int32_t index) = 0;
};

// Offered by documents that carry pin information for an FPGA.
class IPinInformationDocument : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{62C6390A-D1F8-418D-86F7-0598D7AD6704}");
    virtual IPtr<IPinFile> PinFile() = 0;
};

} // namespace permutor::host
