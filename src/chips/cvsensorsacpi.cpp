#include "chips/cvsensorsacpi.h"

#include <charconv>

#include "base/cvformat.h"
#include "firmware/cvwmi.h"
#include "hw/cvdriver.h"
#include "hw/cvosinfo.h"
#include "hw/cvsetupapi.h"
#include "hw/hwstrings.h"
#include "platform/driverctl.h"
#include "platform/platform.h"
#include "platform/wmi.h"

using cvformat::Format;
namespace drv = platform::drv;

namespace {

int Windows8Checks = 0;

}  // namespace

double KelvinTenthsToCelsius(std::uint32_t raw) { return (static_cast<double>(raw) - 2732) / 10; }

double KelvinTenthsTextToCelsius(const std::string& text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return 0;
    return (static_cast<double>(value) - 2732) / 10;
}

bool IsWindows8OrLater(TSensor& caller) {
    bool result = OperatingSystem && OperatingSystem->Is8OrLater;
    if (!result && DriverHas(&TIOPort::CanGetOSVersion)) {
        std::uint32_t major = 0, minor = 0, build = 0;
        IOPort->GetKernelOSVersion(major, minor, build);
        result = major > 6 || (major == 6 && minor >= 2);
    }
    if (Windows8Checks++ == 0) caller.LogDebug(result ? "Windows 8 detected" : "Not running on Windows 8");
    return result;
}

void ResetWindows8Check() { Windows8Checks = 0; }

// ---- TACPIBaseSensor -----------------------------------------------------------

TACPIBaseSensor::TACPIBaseSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                                 std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {}

TACPIBaseSensor::~TACPIBaseSensor() = default;

void TACPIBaseSensor::FillAcpiDevices(bool force) {
    if (!force && AcpiDevices) return;
    LogDebug(Format("TACPIBaseSensor.FillAcpiDevices for %s: About to scan ACPI devices...", {ClassName()}));
    AcpiDevices = std::make_unique<TSDDevices>();
    AcpiDevices->Enumerator = "ACPI";
    AcpiDevices->PresentOnly = true;
    AcpiDevices->DeviceInterface = false;
    AcpiDevices->Scan();
    LogDebug(Format("TACPIBaseSensor.FillAcpiDevices for %s: Done", {ClassName()}));
}

std::string TACPIBaseSensor::FindAcpiDevice(const std::string& label, const std::string& pattern) {
    std::string path;
    FillAcpiDevices(false);
    LogDebug(Format("TACPIBaseSensor.FindAcpiDevice for %s: Looking for %s ACPI device...", {ClassName(), label}));
    for (int i = 0; i < AcpiDevices->Count(); ++i) {
        const TSDDevice device = AcpiDevices->GetDevice(i);
        if (!TextContains(device.HardwareID, pattern)) continue;
        path = PdoDevicePath(device);
        LogDebug(Format("TACPIBaseSensor.FindAcpiDevice for %s: Found %s at %s", {ClassName(), label, path}));
    }
    LogDebug(Format("TACPIBaseSensor.FindAcpiDevice for %s: Done", {ClassName()}));
    return path;
}

void TACPIBaseSensor::FindThermalZoneDevices(bool force) {
    LogDebug(Format("TACPIBaseSensor.FindThermalZoneDevices for %s: Starting...", {ClassName()}));
    if (force || FThermalZonePaths.empty()) {
        FillAcpiDevices(force);
        FThermalZonePaths.clear();
        for (int i = 0; i < AcpiDevices->Count(); ++i) {
            const TSDDevice device = AcpiDevices->GetDevice(i);
            if (hw::LowerCase(device.HardwareID).rfind("acpi\\thermalzone", 0) != 0) continue;
            FThermalZonePaths.push_back(PdoDevicePath(device));
            LogDebug(Format("TACPIBaseSensor.FindThermalZoneDevices for %s: Found thermal zone %d -> %s (%s)",
                            {ClassName(), i, device.PhysicalDeviceObject, PdoObjectName(device)}));
        }
    } else {
        LogDebug(Format("TACPIBaseSensor.FindThermalZoneDevices for %s: Nothing to do (buffered)", {ClassName()}));
    }
    LogDebug(Format("TACPIBaseSensor.FindThermalZoneDevices for %s: Done", {ClassName()}));
}

TAcpiLogMethod TACPIBaseSensor::GetAcpiLogHandler() {
    if (!FOnLog || !Verbose) return nullptr;
    return [this](const std::string& line) { LogDebug(line); };
}

std::int64_t TACPIBaseSensor::EvalInteger(platform::Device* handle, const std::string& method) {
    TAcpiVariantArray results;
    EVAL(handle, method, {}, results, GetAcpiLogHandler(), Verbose);
    return results.size() == 1 ? results[0].AsInteger() : 0;
}

void TACPIBaseSensor::EvalMethod(platform::Device* handle, const std::string& method, TAcpiVariantArray& results,
                                 bool useEx, const TAcpiVariantArray& args) {
    (useEx ? EVAL_EX : EVAL)(handle, method, args, results, GetAcpiLogHandler(), Verbose);
}

std::unique_ptr<platform::Device> TACPIBaseSensor::OpenAcpiDevice(const std::string& path,
                                                                  const char* failurePicture) {
    auto opened = platform::current().openDevice(path);
    if (!opened.device) LogDebug(Format(failurePicture, {path, opened.error}));
    return std::move(opened.device);
}

// ---- TACPISensor ---------------------------------------------------------------

TACPISensor::TACPISensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                         std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "ACPI";
    FDisplayName = "ACPI";
    TACPIReadings readings;
    UpdateReadings(readings);
    for (std::size_t i = 0; i < readings.size(); ++i)
        AddReading(FTemps, Format("Temp%d", {static_cast<int>(i + 1)}), 8, 125.0);
}

void TACPISensor::UpdateReadings(TACPIReadings& readings) {
    const std::uint8_t previous = Route;
    if (ReadZonesAcpi(readings)) {
        Route = RouteAcpi;
    } else {
        ReadZonesWmi(readings);
        Route = RouteWmi;
    }
    if (Route != previous)
        LogDebug(Format("Read ACPI temperatures using %s method", {Route == RouteAcpi ? "ACPI" : "WMI"}));
}

bool TACPISensor::ReadZonesAcpi(TACPIReadings& readings) {
    readings.clear();
    if (!DriverHas(&TIOPort::CanQueryThermal)) return false;
    if (!ZonesScanned) ScanThermalZones();
    if (ZoneNames.empty()) return false;
    // One slot per zone, so a zone that fails keeps its place.
    readings.resize(ZoneNames.size());
    bool any = false;
    for (std::size_t i = 0; i < ZoneNames.size(); ++i) any = QueryThermalZone(ZoneNames[i], readings[i]) || any;
    ++ReadCount;
    if (!any) readings.clear();
    return any;
}

void TACPISensor::ScanThermalZones() {
    LogDebug("About to scan Thermal Zones (sensor)...");
    ZoneNames.clear();
    TSDDevices devices;
    devices.Enumerator = "ACPI";
    devices.PresentOnly = false;
    devices.DeviceInterface = false;
    try {
        devices.Scan();
        devices.OutputListOfDevices(false);
        LogDebug("Thermal Zone Devices -->");
        for (int i = 0; i < devices.Count(); ++i) {
            const TSDDevice device = devices.GetDevice(i);
            if (!TextContains(device.HardwareID, "acpi\\thermalzone")) continue;
            ZoneNames.push_back(PdoObjectName(device));
            LogDebug(Format("  Found thermal zone %d -> %s (%s)", {i, device.PhysicalDeviceObject, ZoneNames.back()}));
        }
        LogDebug("Thermal Zone Devices <--");
    } catch (const std::exception& e) {
        LogDebug(Format("Error scanning Thermal Zones (%s) (sensor)", {e.what()}));
    }
    ZonesScanned = true;
    LogDebug("End of Thermal Zones scanning (sensor)");
}

bool TACPISensor::QueryThermalZone(const std::string& name, TACPIReading& reading) {
    const bool w8 = IsWindows8OrLater(*this);
    if (!DriverHas(w8 ? &TIOPort::CanQueryRawThermal : &TIOPort::CanQueryThermal)) return false;
    auto device = platform::current().openDevice(drv::NamespacePrefix + name).device;
    if (!device) return false;
    const bool traced = ReadCount < 2;
    std::uint32_t returned = 0;
    if (w8) {
        drv::RawThermalData raw{};
        if (!device->control(drv::RawThermalQuery, {}, drv::bytesOf(raw), returned) || returned < 20) return false;
        if (traced) {
            LogDebug(Format("Thermal Zone Info (%s) (sensor)", {name}));
            LogDebug(Format("  Current temperature=%.1f", {KelvinTenthsToCelsius(raw[4])}));
            LogDebug(Format("  Thermal stamp      =%d", {raw[0]}));
            for (std::size_t i = 0; i < std::min<std::size_t>(returned / 4, raw.size()); ++i)
                LogDebug(Format("  RAW DATA[%.2d]=%d  (%.1f)",
                                {static_cast<int>(i), raw[i], KelvinTenthsToCelsius(raw[i])}));
        }
        reading = {KelvinTenthsToCelsius(raw[4]), 0, 0, 0, true};
        return true;
    }
    drv::ThermalInformation info{};
    if (!device->control(drv::ThermalZoneInformationQuery, {}, drv::bytesOf(info), returned) ||
        returned < sizeof info)
        return false;
    if (traced) {
        LogDebug(Format("Thermal Zone Info (%s) (sensor)", {name}));
        LogDebug(Format("  Current temperature=%.1f", {KelvinTenthsToCelsius(info.currentTemperature)}));
        LogDebug(Format("  Thermal stamp      =%d", {info.thermalStamp}));
        LogDebug(Format("  Passive trip point =%.1f", {KelvinTenthsToCelsius(info.passiveTripPoint)}));
        LogDebug(Format("  Critical trip point=%.1f", {KelvinTenthsToCelsius(info.criticalTripPoint)}));
    }
    reading = {KelvinTenthsToCelsius(info.currentTemperature), KelvinTenthsToCelsius(info.activeTripPoint[0]),
               KelvinTenthsToCelsius(info.criticalTripPoint), KelvinTenthsToCelsius(info.passiveTripPoint), true};
    return true;
}

bool TACPISensor::ReadZonesWmi(TACPIReadings& readings) {
    readings.clear();
    platform::Wmi* wmi = platform::current().wmi();
    if (!wmi) return false;
    bool result = false;
    for (const platform::WmiObject& instance :
         wmi->query("root\\WMI", "SELECT * FROM msacpi_thermalzonetemperature")) {
        bool started = false;
        for (const platform::WmiProperty& property : instance) {
            static const std::pair<const char*, double TACPIReading::*> targets[] = {
                {"CURRENTTEMPERATURE", &TACPIReading::Current},
                {"ACTIVETRIPPOINT", &TACPIReading::Active},
                {"CRITICALTRIPPOINT", &TACPIReading::Critical},
                {"PASSIVETRIPPOINT", &TACPIReading::Passive},
            };
            const std::string name = hw::UpperCase(property.name);
            const auto target = std::find_if(std::begin(targets), std::end(targets),
                                             [&](const auto& t) { return name == t.first; });
            if (target == std::end(targets)) continue;
            const std::string text = property.value.kind == platform::WmiValue::Kind::Null
                                         ? "<empty>"
                                         : WmiPropertyToText(property);
            if (!started) readings.push_back({0, 0, 0, 0, true});
            started = true;
            readings.back().*(target->second) = KelvinTenthsTextToCelsius(text);
        }
        result = result || started;
    }
    return result;
}

void TACPISensor::ReadTempsInternal(std::span<double> values) {
    try {
        TACPIReadings readings;
        UpdateReadings(readings);
        for (std::size_t i = 0; i < readings.size() && i < values.size(); ++i) values[i] = readings[i].Current;
    } catch (const std::exception& e) {
        Log(Format("ERROR updating ACPI temperatures (%s)", {e.what()}), 1);
    }
}
