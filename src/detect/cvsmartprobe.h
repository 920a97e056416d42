#pragma once
// S.M.A.R.T. drive discovery: the advanced method (disks of the disk
// search), the CSMI step and the classic method (the system's S.M.A.R.T.
// interface drive by drive), with the diagnostic dumps they write. A drive
// is linked once, by the first method that reaches it.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "disks/cvadvsmart.h"
#include "disks/cvsmart.h"

struct TDetectionContext;
class TLogSinks;
class TMonitor;
class TSensor;

// The wording of the lines and names the discovery leaves to us.
struct TSmartProbeTexts {
    std::string_view SmartLinkName;
    std::string_view VxdSource, VxdTarget;  // in the system folder
    std::string_view DumpHeader;            // then " : $%.2x%.2x"
    std::string_view AttributeLine;         // twelve values
    std::string_view TemperatureLine;
    std::string_view VersionLine;           // version, revision, device map, capabilities
    std::string_view EnableLine;            // drive number
    std::string_view IdentifyFailedLine;    // drive number
    std::string_view Drive9xLine;           // drive number
    std::string_view FoundClassicLine;      // model, size
    std::string_view ClassicEntry;          // drive number, size, model
    std::string_view DriverOpenFailed;
    std::string_view VxdMissing, VxdPresent, VxdCopied, VxdHint1, VxdHint2;
};
extern const TSmartProbeTexts SmartProbeText;

// The first link of `kind`, else a new one of that name (PCI 0:0.0, flag 1).
int FindOrAddDiskLink(std::uint8_t kind, std::string_view name);
int FindOrAddAdvSmartLink();
int FindOrAddSmartLink();
std::string AccessKindText(std::uint8_t accessKind);
std::string FeatureStateText(int state);
void LogFeatureState(TLogSinks& log, const std::string& label, TFeatureState state);
void LogFeatureStates(TLogSinks& log, const std::string& label, TFeatureState supported, TFeatureState enabled);
// The highest N of 8..4 whose ATA/ATAPI-N is supported; 0 without one.
int HighestATAVersion(const TSmartHardDisk& disk);

// Logs the pages' entries; true when a temperature attribute is present.
bool DumpSmartAttributes(TLogSinks& log, std::span<const std::uint8_t, 512> attributes,
                         std::span<const std::uint8_t, 512> thresholds);
// The disk's stored pages pass the checksum rule (then they are dumped).
bool CheckSmartChecksums(TLogSinks& log, const TSmartHardDisk& disk);

// Adds the sensor through the factory; the new sensor, or null when the
// factory made none.
TSensor* AddDiskSensor(TDetectionContext& context, int linkIndex, std::uint32_t address, std::uint8_t chipCode);
// One entry of the S.M.A.R.T. page's drive list.
void AddSmartDriveEntry(TMonitor& monitor, const TSensor& sensor, const std::string& text);

// On the open handle of the classic probe; true when the drive is linked (or
// was found linked at the second look).
bool TestClassicSmartDrive(TDetectionContext& context, platform::Device& drive, int driveNumber,
                           const TSmartPage& attributes, const TSmartPage& thresholds, TSmartPage& identify);
// Windows 9x: copies the S.M.A.R.T. driver into place.
void InstallSmartVxD(TMonitor& monitor);

void ProbeAdvancedSMART(TDetectionContext& context);
void ProbeCSMISMART(TDetectionContext& context);
void ProbeClassicSMART(TDetectionContext& context);
