#pragma once
// WMI on Linux: MSAcpi_ThermalZoneTemperature from the kernel's thermal
// zones (thermalzones.h), and the disk classes from sysfs. Win32_DiskDrive per sd* disk,
// Win32_USBController per USB host controller with its devices as
// associators (each USB device right before the disks behind it), and
// Win32_1394Controller from the FireWire bus. Other classes have no
// instances.

#include <string>

#include "platform/wmi.h"

namespace platform::native {

class NativeWmi : public WmiStore {
public:
    explicit NativeWmi(std::string sysfsRoot) : sys_(std::move(sysfsRoot)) {}

protected:
    void prepare() override;

private:
    std::string sys_;
    bool filled_ = false;
};

}  // namespace platform::native
