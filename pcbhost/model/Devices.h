// FPGA devices of the stand-in host: a device manager holding devices with their pins, for
// tests of pin data and differential pairs taken from a device.
#pragma once

#include "permutor/host/Host.h"

#include <string>
#include <vector>

namespace pcbhost {

using namespace permutor::host;

class TDevicePin : public TUnknownImpl<IDevicePin> {
public:
    TDevicePin(std::string name, std::string pairName, bool positive, bool negative)
        : FName(std::move(name)), FPairName(std::move(pairName)), FPositive(positive), FNegative(negative) {}
    std::string Name() override { return FName; }
    std::string DifferentialPairName() override { return FPairName; }
    bool IsPositive() override { return FPositive; }
    bool IsNegative() override { return FNegative; }

private:
    std::string FName, FPairName;
    bool FPositive, FNegative;
};

class TDevice : public TUnknownImpl<IDevice> {
public:
    explicit TDevice(std::string key) : FKey(std::move(key)) {}
    const std::string& Key() const { return FKey; }
    // A pin; `pairName` names its differential pair, `polarity` is 'P', 'N' or anything else.
    TDevice& AddPin(const std::string& name, const std::string& pairName = "", char polarity = 0);
    std::int32_t PinCount() override { return std::int32_t(FPins.size()); }
    IPtr<IDevicePin> Pin(std::int32_t index) override;

private:
    std::string FKey;
    std::vector<IPtr<TDevicePin>> FPins;
};

class TDeviceManager : public TUnknownImpl<IDeviceManager> {
public:
    TDevice& AddDevice(const std::string& key);
    IPtr<IDevice> FindDevice(const std::string& deviceKey) override;

private:
    std::vector<IPtr<TDevice>> FDevices;
};

} // namespace pcbhost
