#pragma once
// Discovery of what the firmware and vendor drivers publish: the Toshiba fan
// driver, the ACPI thermal zones (through the driver or WMI) with a tour of
// selected ACPI devices, and the ATK0110 hardware monitor.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "detect/cvdetectcontext.h"
#include "hw/cvsetupapi.h"

namespace platform {
class Device;
}
class TLogSinks;

// The ACPI step's working record; nothing of it outlives the step.
struct TAcpiData {
    TSDDevices AcpiList;
    TSDDevices RootList;  // beta builds only
    TSDDevices HalList;
    std::vector<TSDDevice> ThermalZones;
    TSDDevice EcDevice;
    TSDDevice Atk0100Device;
    TSDDevice Atk0110Device;
    TSDDevice HalDevice;
    std::vector<TSDDevice> Batteries;
    std::vector<TSDDevice> WmiAcpiDevices;
    std::vector<TSDDevice> PowerMeters;
    TSDDevice PtidDevice;
};

void ProbeToshiba(TDetectionContext& context);
void ProbeACPI(TDetectionContext& context);
void ProbeATK0110New(TDetectionContext& context);

void ScanAcpiDevices(TDetectionContext& context, TAcpiData& data);
void ListAcpiDevice(TLogSinks& log, const TSDDevice& device, bool traceOnly);
// The system's code of opening the object, 0 when it opens (123 for an empty name).
std::uint32_t OpenDeviceStatus(const std::string& name);
std::string DeviceStatusText(const std::string& name);
// True when at least one zone answered a query.
bool ProbeThermalZones(TLogSinks& log, const TAcpiData& data);
bool DumpThermalZone(const std::string& name);
// The first current temperature of the class that converts to other than 0;
// WMI errors pass.
double ReadWmiThermalTemperature(const std::string& nameSpace, const std::string& className);
void ExploreAcpi(TDetectionContext& context, TAcpiData& data);

// ---- what the embedded-controller probes and the explorers share

inline bool AcpiDevicePresent(const TSDDevice& device) { return !device.PhysicalDeviceObject.empty(); }
// The driver's device namespace and ACPI evaluation (version 1006 on).
bool CanEvaluateAcpi();
// Traces "Unable to open ..." and answers none when the device does not open.
std::unique_ptr<platform::Device> OpenAcpiDevice(TLogSinks& log, const TSDDevice& device);
