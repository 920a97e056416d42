#pragma once
// Device lists: the devices the system knows, with their registry properties.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TSDDevice {
    std::string Name;  // the friendly name, else the description, else the device object name
    std::string FriendlyName;
    std::string Description;
    std::uint32_t Address = 0;  // FFFFFFFFh when the device has none
    std::array<std::uint8_t, 16> BusTypeGuid{};
    std::string ClassName;
    std::string ClassGuid;
    std::string Driver;
    std::string Enumerator;
    std::string Location;
    std::string LocationPaths;
    std::string LowerFilters;
    std::string Manufacturer;
    std::string PhysicalDeviceObject;
    std::string Service;
    std::string HardwareID;
    std::string CompatibleIDs;
    std::string UpperFilters;
    std::uint32_t UINumber = 0;  // FFFFFFFFh when the device has none
    std::string UINumberFormat;
};

class TSDDevices {
public:
    std::string Enumerator;  // empty: every enumerator
    bool PresentOnly = false;
    bool DeviceInterface = false;

    // Replaces the list by the devices the system lists; never raises.
    void Scan();
    int Count() const { return static_cast<int>(devices_.size()); }
    // A copy of the entry, or an empty record when index is out of range.
    TSDDevice GetDevice(int index) const;
    // Writes the list to the debug trace; without force only once per run.
    void OutputListOfDevices(bool force);

private:
    std::vector<TSDDevice> devices_;
};

// The device object name after "\Device\" (from the ninth character);
// empty when the name is shorter.
std::string PdoObjectName(const TSDDevice& device);
// The path that opens the device's kernel object through the driver.
std::string PdoDevicePath(const TSDDevice& device);

// The registry text form of a GUID, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string GuidToString(const std::array<std::uint8_t, 16>& guid);

// Unit start-up: the list has not been written to the trace in this run.
void InitializeCvsetupapi();

// Lists the present devices through `log` and answers whether the Intel
// storage driver "iaStorA" serves a disk controller.
bool CheckSystemDrivers(const std::function<void(const std::string&)>& log);
