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

// A pin report of an FPGA component: rows of (pin, kind, value).
class IPinFile : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{9B4E2D1A-6C73-4F08-A5D2-7E9C1B3F5004}");
    virtual std::int32_t ComponentCount() = 0;
    virtual std::int32_t PinCount(std::int32_t component) = 0;
    virtual std::string PinName(std::int32_t component, std::int32_t pin) = 0;
    virtual std::string PinField(std::int32_t component, std::int32_t pin, const std::string& kind) = 0;
};

// Offered by documents that carry pin information for an FPGA.
class IPinInformationDocument : public IUnknown {
public:
    PERMUTOR_INTERFACE_ID("{62C6390A-D1F8-418D-86F7-0598D7AD6704}");
    virtual IPtr<IPinFile> PinFile() = 0;
};

} // namespace permutor::host
