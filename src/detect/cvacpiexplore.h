#pragma once
// In beta builds, the ACPI step tours selected ACPI devices and traces what
// their methods answer, for the diagnostic report. It adds no sensor.

#include <string>
#include <vector>

#include "firmware/cvacpi.h"

class TLogSinks;
struct TSDDevice;

void ExploreAcpiHal(TLogSinks& log, const TSDDevice& device, bool beta);
void ExplorePTID(TLogSinks& log, const TSDDevice& device, bool beta);
void ExploreBattery(TLogSinks& log, const TSDDevice& device, bool beta);
void ExploreWmiAcpi(TLogSinks& log, const TSDDevice& device, bool beta);
void ExplorePowerMeter(TLogSinks& log, const TSDDevice& device, bool beta);

// The lines of a "_WDG" answer (WMI-to-ACPI mapping records of 20 bytes).
std::vector<std::string> DecodeWdg(const TAcpiVariantArray& results);
