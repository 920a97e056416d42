#pragma once
// Sensors the firmware publishes through ACPI: the thermal zones, read
// through the driver's namespace or WMI; and the sensors that evaluate
// control methods of one device: the ATK0110 hardware monitor and the
// embedded controllers of Sony and Asus notebooks.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/cvsensors.h"
#include "firmware/cvacpi.h"

namespace platform {
class Device;
}
class TSDDevices;

// Tenths of a kelvin to degrees Celsius; below 2732 is below zero.
double KelvinTenthsToCelsius(std::uint32_t raw);
// The same of a whole number's text; any other text gives 0.
double KelvinTenthsTextToCelsius(const std::string& text);

// Windows 8 or later, by the system's identity or the driver's kernel
// version. The first call of the process logs the answer through `caller`.
bool IsWindows8OrLater(TSensor& caller);
// Tests: the next call logs again.
void ResetWindows8Check();

class TACPIBaseSensor : public TSensor {
public:
    TACPIBaseSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                    std::string boardVendor, std::string boardProduct, std::string systemProduct);
    ~TACPIBaseSensor() override;

    void FillAcpiDevices(bool force);
    // The namespace path of the device whose hardware ids contain `pattern`
    // (any case), the last match winning; empty when none.
    std::string FindAcpiDevice(const std::string& label, const std::string& pattern);
    void FindThermalZoneDevices(bool force);
    const std::vector<std::string>& ThermalZonePaths() const { return FThermalZonePaths; }
    // The sensor's debug log while Verbose is set and the sensor logs; else none.
    TAcpiLogMethod GetAcpiLogHandler();
    // The single result as an integer, else 0; evaluation errors pass.
    std::int64_t EvalInteger(platform::Device* handle, const std::string& method);
    void EvalMethod(platform::Device* handle, const std::string& method, TAcpiVariantArray& results, bool useEx,
                    const TAcpiVariantArray& args);

    bool Verbose = false;

protected:
    // The class's name in its log lines.
    virtual const char* ClassName() const = 0;
    // Opens a namespace path; on failure logs `failurePicture` with the path
    // and the system's code, and answers none.
    std::unique_ptr<platform::Device> OpenAcpiDevice(const std::string& path, const char* failurePicture);

private:
    std::unique_ptr<TSDDevices> AcpiDevices;
    std::vector<std::string> FThermalZonePaths;
};

// One thermal zone's temperatures in degrees Celsius; Answered is false for
// a zone that gave nothing this pass.
struct TACPIReading {
    double Current = 0, Active = 0, Critical = 0, Passive = 0;
    bool Answered = false;
};
using TACPIReadings = std::vector<TACPIReading>;

class TACPISensor : public TSensor {
public:
    static constexpr std::uint8_t ChipCode = 4;
    enum TRoute : std::uint8_t { RouteAcpi = 0, RouteWmi = 1, RouteNone = 2 };

    TACPISensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                std::string boardVendor, std::string boardProduct, std::string systemProduct);

    // One pass of the routes; WMI failures other than a missing service raise.
    void UpdateReadings(TACPIReadings& readings);
    // One record per zone; true when at least one zone answered.
    bool ReadZonesAcpi(TACPIReadings& readings);
    bool ReadZonesWmi(TACPIReadings& readings);

    std::uint8_t Route = RouteNone;
    std::vector<std::string> ZoneNames;
    bool ZonesScanned = false;
    std::int64_t ReadCount = 0;

protected:
    void ReadTempsInternal(std::span<double> values) override;

private:
    void ScanThermalZones();
    bool QueryThermalZone(const std::string& name, TACPIReading& reading);
};

// One item the ATK0110 device describes.
struct TATK0110Reading {
    std::int64_t Id = 0;
    std::string Name;
    std::int64_t Info = 0;
    double Value = 0, Min = 0, Max = 0;
    std::int64_t Enable = 0;
    std::uint8_t Kind = 0;  // 2 temperature, 3 fan, 4 voltage
    int Index = 0;
    int Decimals = 0;
    double Divisor = 1;
};
using TATK0110Items = std::vector<TATK0110Reading>;

class TATK0110Sensor : public TACPIBaseSensor {
public:
    static constexpr std::uint8_t ChipCode = 217;

    TATK0110Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                   std::string boardVendor, std::string boardProduct, std::string systemProduct);

    std::string DevicePath;
    int Method = 0;  // 0 none, 1 or 3
    TATK0110Items TempItems, FanItems, VoltItems;

protected:
    const char* ClassName() const override { return "TATK0110Sensor"; }
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;

private:
    void ChooseMethod();
    bool TestMethod3(platform::Device& handle);
    bool TestMethod1(platform::Device& handle);
    bool TestMethod2();
    bool ReadValues(platform::Device& handle, const std::string& group);
    // Evaluates an item object; fills the id, name and index both methods share.
    TAcpiVariantArray DescribeItem(platform::Device& handle, const std::string& name, int index,
                                   TATK0110Reading& item);
    bool ReadItemMethod1(platform::Device& handle, const TATK0110Reading& item, double& value);
    bool ReadItemMethod3(platform::Device& handle, const TATK0110Reading& item, double& value);
    bool ReadItem(platform::Device& handle, const TATK0110Reading& item, double& value);
    // Logs the item's line and files it in the list of its kind.
    void Accept(const TATK0110Reading& item, double value);
    void ClearItems();
    void BuildReadingNames();
    void ReadList(const TATK0110Items& items, std::span<double> values, const char* failurePicture);
};

class TACPISonySensor : public TACPIBaseSensor {
public:
    static constexpr std::uint8_t ChipCode = 204;

    TACPISonySensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                    std::string boardVendor, std::string boardProduct, std::string systemProduct);

    std::string DevicePath;

protected:
    const char* ClassName() const override { return "TACPISonySensor"; }
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;

private:
    // Opens the controller and runs `read`; logs what fails.
    template <class Read>
    void WithController(Read read);
};

class TACPIAsusLaptopSensor : public TACPIBaseSensor {
public:
    static constexpr std::uint8_t ChipCode = 219;

    TACPIAsusLaptopSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                          std::string boardVendor, std::string boardProduct, std::string systemProduct);

    int CountFans();

    std::string DevicePath;

protected:
    const char* ClassName() const override { return "TACPIAsusLaptopSensor"; }
    void ReadFansInternal(std::span<double> values) override;
};
