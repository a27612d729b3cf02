#include "pcbhost/model/Devices.h"

namespace pcbhost {

TDevice& TDevice::AddPin(const std::string& name, const std::string& pairName, char polarity) {
    FPins.push_back(MakeObject<TDevicePin>(name, pairName, polarity == 'P', polarity == 'N'));
    return *this;
}

IPtr<IDevicePin> TDevice::Pin(std::int32_t index) {
    return index >= 0 && std::size_t(index) < FPins.size() ? IPtr<IDevicePin>(FPins[std::size_t(index)].get())
                                                           : nullptr;
}

TDevice& TDeviceManager::AddDevice(const std::string& key) {
    FDevices.push_back(MakeObject<TDevice>(key));
    return *FDevices.back();
}

IPtr<IDevice> TDeviceManager::FindDevice(const std::string& deviceKey) {
    for (auto& d : FDevices)
        if (Text_EqualNoCase(d->Key(), deviceKey))
            return IPtr<IDevice>(d.get());
    return nullptr;
}

} // namespace pcbhost
