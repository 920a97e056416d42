#include "detect/cvacpidetect.h"

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "chips/cvsensorsacpi.h"
#include "chips/cvtoshibasensor.h"
#include "core/cvmonitor.h"
#include "detect/cvacpiec.h"
#include "detect/cvacpiexplore.h"
#include "detect/cvdetect.h"
#include "detect/cvlinklookups.h"
#include "detect/cvsensorfactory.h"
#include "firmware/cvacpi.h"
#include "firmware/cvwmi.h"
#include "hw/cvdriver.h"
#include "hw/hwstrings.h"
#include "platform/driverctl.h"
#include "platform/platform.h"
#include "platform/wmi.h"

using cvformat::Format;
namespace drv = platform::drv;

namespace {

constexpr std::uint8_t ToshibaCode = 19;
constexpr std::uint32_t ErrorInvalidName = 123;

// The object name with its leading backslash, "\0000004a".
std::string ObjectNameWithSlash(const TSDDevice& device) {
    constexpr std::size_t prefix = 7;  // "\Device"
    return device.PhysicalDeviceObject.size() > prefix ? device.PhysicalDeviceObject.substr(prefix) : "";
}

void ScanList(TLogSinks& log, TSDDevices& list, const char* enumerator) {
    try {
        list.Enumerator = enumerator;
        list.PresentOnly = true;
        list.DeviceInterface = false;
        list.Scan();
        list.OutputListOfDevices(true);
    } catch (const std::exception& e) {
        log.TraceMessage(Format("Error scanning %s devices (%s)", {enumerator, e.what()}), 0);
    }
}

void ListAll(TLogSinks& log, const TSDDevices& list) {
    for (int i = 0; i < list.Count(); ++i) ListAcpiDevice(log, list.GetDevice(i), false);
}

void WriteQueryHead(const std::string& name, bool ok, std::uint32_t returned) {
    WriteDebugLog(Format("Thermal Zone Info (%s)", {name}));
    WriteDebugLog(Format("  IOCTL status=%d", {ok ? 1 : 0}));
    WriteDebugLog(Format("  IOCTL returned size=%d", {returned}));
}

bool QueryThermalInformation(const std::string& name) {
    auto device = platform::current().openDevice(drv::NamespacePrefix + name).device;
    if (!device) return false;
    drv::ThermalInformation info{};
    std::uint32_t returned = 0;
    const bool ok = device->control(drv::ThermalZoneInformationQuery, {}, drv::bytesOf(info), returned);
    WriteQueryHead(name, ok, returned);
    if (ok) {
        WriteDebugLog(Format("  Current temperature=%.1f", {KelvinTenthsToCelsius(info.currentTemperature)}));
        WriteDebugLog(Format("  Thermal stamp      =%d", {info.thermalStamp}));
        WriteDebugLog(Format("  Passive trip point =%.1f", {KelvinTenthsToCelsius(info.passiveTripPoint)}));
        WriteDebugLog(Format("  Critical trip point=%.1f", {KelvinTenthsToCelsius(info.criticalTripPoint)}));
    }
    return ok;
}

bool QueryRawThermal(const std::string& name) {
    auto device = platform::current().openDevice(drv::NamespacePrefix + name).device;
    if (!device) return false;
    drv::RawThermalData raw{};
    std::uint32_t returned = 0;
    const bool ok = device->control(drv::RawThermalQuery, {}, drv::bytesOf(raw), returned);
    WriteQueryHead(name, ok, returned);
    if (ok) {
        for (std::size_t i = 0; i < std::min<std::size_t>(returned / 4, raw.size()); ++i)
            WriteDebugLog(Format("  RAW DATA[%.2d]=%d  (%.1f)",
                                 {static_cast<int>(i), raw[i], KelvinTenthsToCelsius(raw[i])}));
    }
    return ok;
}

// Step 6 of the ACPI step: the WMI route.
bool FoundThroughWmi(TLogSinks& log) {
    try {
        if (!platform::current().wmi()) {
            log.LogMessageEx("WMI interface not registered on this system.", false);
            return false;
        }
        const double t = ReadWmiThermalTemperature("root\\WMI", "msacpi_thermalzonetemperature");
        if (t <= 0.5) return false;
        log.LogMessageEx(Format("Found ACPI temperature (%.1fC)", {t}), false);
        return true;
    } catch (const std::exception& e) {
        const std::string line = Format("Error scanning ACPI temp (%s)", {e.what()});
        WriteDebugLog(line);
        log.LogMessageEx(line, false);
        return false;
    }
}

bool IdsContain(const TSDDevice& device, const char* id) { return TextContains(device.HardwareID, id); }

}  // namespace

bool CanEvaluateAcpi() { return DriverHas(&TIOPort::CanEvalACPI); }

std::unique_ptr<platform::Device> OpenAcpiDevice(TLogSinks& log, const TSDDevice& device) {
    const std::string path = PdoDevicePath(device);
    auto opened = platform::current().openDevice(path);
    if (!opened.device) log.TraceMessage(Format("Unable to open %s (error $%.8x)", {path, opened.error}), 0);
    return std::move(opened.device);
}

// ---- the three steps ---------------------------------------------------------------

void ProbeToshiba(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    log.LogMessageEx("About to probe TOSHIBA SUPPORT...", false);
    if (platform::current().openDevice(TToshibaSensor::DevicePath).device) {
        log.LogMessageEx("Found TOSHIBA fan driver", true);
        context.Factory.AddSensor(0, 0, ToshibaCode);
    }
    log.LogMessageEx("End of TOSHIBA SUPPORT probing", false);
}

void ProbeATK0110New(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    log.TraceMessage("About to probe ATK0110 (new method)...", 0);
    if (context.Engine.ProbeATK0110() == TATK0110Sensor::ChipCode) {
        if (const int link = FindOrAddACPILink(); link != -1) {
            log.TraceMessage("ATK0110 found on ACPI", 0);
            context.Factory.AddSensor(link, 0, TATK0110Sensor::ChipCode);
        }
    }
    log.TraceMessage("End of ATK0110 (new method) probing", 0);
}

void ProbeACPI(TDetectionContext& context) {
    TLogSinks& log = context.Monitor.Log;
    log.LogMessageEx("About to probe ACPI...", false);
    bool found = false;
    {
        TAcpiData data;
        ScanAcpiDevices(context, data);
        found = ProbeThermalZones(log, data);
        ExploreAcpi(context, data);
    }
    if (!found) found = FoundThroughWmi(log);
    if (found) {
        log.LogMessageEx("Found ACPI temperature", true);
        context.Factory.AddSensor(0, 0, TACPISensor::ChipCode);
    }
    log.LogMessageEx("End of ACPI probing", false);
}

// ---- device lists ---------------------------------------------------------------------

void ScanAcpiDevices(TDetectionContext& context, TAcpiData& data) {
    TLogSinks& log = context.Monitor.Log;
    log.TraceMessage("About to scan ACPI devices...", 0);
    ScanList(log, data.HalList, "ACPI_HAL");
    if (context.Monitor.IsBeta()) ScanList(log, data.RootList, "ROOT");
    ScanList(log, data.AcpiList, "ACPI");
    log.TraceMessage("ACPI Devices -->", 0);
    ListAll(log, data.HalList);
    ListAll(log, data.RootList);
    ListAll(log, data.AcpiList);
    log.TraceMessage("ACPI Devices <--", 0);
    log.TraceMessage("End of ACPI devices scanning", 0);
}

void ListAcpiDevice(TLogSinks& log, const TSDDevice& device, bool traceOnly) {
    const std::string status = DeviceStatusText(PdoObjectName(device));
    if (device.HardwareID.empty() && device.CompatibleIDs.empty() && hw::Trim(status) != "ok") return;
    std::string name = hw::Trim(device.Description);
    if (name.empty()) name = hw::Trim(device.FriendlyName);
    if (name.empty()) name = "<unknown>";
    const std::string line = Format("  %s : %9s : %s : %s : %s",
                                    {status, ObjectNameWithSlash(device), device.HardwareID, device.CompatibleIDs, name});
    if (traceOnly)
        WriteDebugLog(line);
    else
        log.TraceMessage(line, 0);
}

std::uint32_t OpenDeviceStatus(const std::string& name) {
    auto opened = platform::current().openDevice(drv::NamespacePrefix + name);
    if (!opened.device) return opened.error;
    return name.empty() ? ErrorInvalidName : 0;
}

std::string DeviceStatusText(const std::string& name) {
    const std::uint32_t code = OpenDeviceStatus(name);
    return code == 0 ? "   ok   " : Format("%.8x", {code});
}

// ---- thermal zones --------------------------------------------------------------------

bool ProbeThermalZones(TLogSinks& log, const TAcpiData& data) {
    if (!DriverHas(&TIOPort::CanQueryThermal)) return false;
    log.TraceMessage("About to scan ACPI Thermal Zones...", 0);
    std::vector<std::string> names;
    for (int i = 0; i < data.AcpiList.Count(); ++i) {
        const TSDDevice device = data.AcpiList.GetDevice(i);
        if (!TextContains(device.HardwareID, "acpi\\thermalzone")) continue;
        names.push_back(PdoObjectName(device));
        WriteDebugLog(Format("    Found thermal zone %d -> %s (%s)", {i, device.PhysicalDeviceObject, names.back()}));
    }
    bool answered = false;
    for (const std::string& name : names) answered = DumpThermalZone(name) || answered;
    log.TraceMessage("End of ACPI Thermal Zones scanning", 0);
    return answered;
}

bool DumpThermalZone(const std::string& name) {
    bool answered = false;
    if (DriverHas(&TIOPort::CanQueryThermal)) answered = QueryThermalInformation(name);
    if (DriverHas(&TIOPort::CanQueryRawThermal)) answered = QueryRawThermal(name) || answered;
    return answered;
}

double ReadWmiThermalTemperature(const std::string& nameSpace, const std::string& className) {
    double result = 0;
    platform::Wmi* wmi = platform::current().wmi();
    if (!wmi) return result;
    const bool thermalClass = hw::UpperCase(nameSpace) == "ROOT\\WMI" &&
                              hw::UpperCase(className) == "MSACPI_THERMALZONETEMPERATURE";
    for (const platform::WmiObject& instance : wmi->query(nameSpace, "SELECT * FROM " + className)) {
        for (const platform::WmiProperty& property : instance) {
            const std::string text =
                property.value.kind == platform::WmiValue::Kind::Null ? "<empty>" : WmiPropertyToText(property);
            if (thermalClass && hw::UpperCase(property.name) == "CURRENTTEMPERATURE" && result == 0)
                result = KelvinTenthsTextToCelsius(text);
        }
    }
    return result;
}

// ---- exploration ------------------------------------------------------------------------

void ExploreAcpi(TDetectionContext& context, TAcpiData& data) {
    TLogSinks& log = context.Monitor.Log;
    log.TraceMessage("About to explore ACPI...", 0);
    data.ThermalZones.clear();
    data.EcDevice = data.Atk0100Device = data.Atk0110Device = data.HalDevice = data.PtidDevice = {};
    data.Batteries.clear();
    data.WmiAcpiDevices.clear();
    data.PowerMeters.clear();
    for (int i = 0; i < data.HalList.Count(); ++i) {
        const TSDDevice device = data.HalList.GetDevice(i);
        if (IdsContain(device, "ACPI_HAL\\PNP0C08")) data.HalDevice = device;
    }
    for (int i = 0; i < data.AcpiList.Count(); ++i) {
        const TSDDevice device = data.AcpiList.GetDevice(i);
        if (IdsContain(device, "ACPI\\INT340E")) data.PtidDevice = device;
        if (IdsContain(device, "ACPI\\ACPI000D")) data.PowerMeters.push_back(device);
        if (IdsContain(device, "ACPI\\PNP0C14")) data.WmiAcpiDevices.push_back(device);
        if (IdsContain(device, "ACPI\\PNP0C09")) data.EcDevice = device;
        if (IdsContain(device, "ACPI\\PNP0C0A")) data.Batteries.push_back(device);
        const std::string lower = hw::LowerCase(device.HardwareID);
        if (lower.starts_with("acpi\\thermalzone")) data.ThermalZones.push_back(device);
        if (lower.starts_with("acpi\\atk0100")) data.Atk0100Device = device;
        if (lower.starts_with("acpi\\atk0110")) data.Atk0110Device = device;
    }
    const bool beta = context.Monitor.IsBeta();
    ExploreAcpiHal(log, data.HalDevice, beta);
    ExamineEmbeddedController(context, data.EcDevice, data);
    ExplorePTID(log, data.PtidDevice, beta);
    for (const TSDDevice& battery : data.Batteries) ExploreBattery(log, battery, beta);
    for (const TSDDevice& device : data.WmiAcpiDevices) ExploreWmiAcpi(log, device, beta);
    for (const TSDDevice& meter : data.PowerMeters) ExplorePowerMeter(log, meter, beta);
    log.TraceMessage("End of ACPI exploration", 0);
}
