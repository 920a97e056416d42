#pragma once
// The sensors file "caldavorsens.cfg": what the user made of the detected
// hardware (chip properties, slot names, order and flags, which speeds each
// temperature drives, the fan controllers), keyed by the sensors' display
// names so that it survives a change in detection order. The board's
// pre-built configurations in "configs.zip" use the same format.

#include <cstdint>
#include <string>
#include <vector>

#include "core/cvfancontrol.h"
#include "core/cvreadingslots.h"

class TLogSinks;
class TDialogs;

extern const char* const SensorsFileName;  // "caldavorsens.cfg"
extern const char* const EventsFileName;   // "caldavorevents.cfg"
extern const char* const ConfigsZipName;   // "configs.zip"

// A chip property the user set, applied again after every detection.
struct TStickyProp {
    std::string SensorUid;  // the sensor's display name
    std::int32_t PropId = 0;
    std::string PropName;
    std::string Value;
};
extern std::vector<TStickyProp> StickyProps;

// The board identity from the SMBIOS tables, when they could be read.
struct TBoardIdentity {
    std::string BoardManufacturer, BoardProduct, BoardVersion;
    std::string BIOSVendor, BIOSVersion;
    std::string SystemManufacturer, SystemProduct, SystemVersion;
};

// The board's member name in "configs.zip": board manufacturer, product and
// version, system manufacturer and product, each trimmed with control bytes,
// "/", "\", "|" and bytes 128-255 written as "%" and two hex digits, joined by
// blanks. The second name leaves the board version empty.
std::string GetCfgFileName(const TBoardIdentity& board);
std::string GetCfgFileName2(const TBoardIdentity& board);

// The events file travels with the sensors file; the events unit answers these.
class TEventsFile {
public:
    virtual ~TEventsFile() = default;
    virtual void LOADEVENTS(const std::string& fileName) = 0;
    virtual bool SaveEvents(const std::string& fileName) = 0;
};

// What the sensors file reads and writes; the pointers are null while their
// subsystem is absent.
struct TSensorsFileContext {
    TSensorList& Sensors;
    TReadingSlots& Slots;
    TFanControllers& FanControllers;
    TLogSinks& Log;
    const TBoardIdentity* Board = nullptr;
    TEventsFile* Events = nullptr;
    TDialogs* Dialogs = nullptr;
};

// Writes the version 2.03 file whole (the old one stays when that fails:
// warning "Unable to save to <path>", False), then the events file; False
// when either failed.
bool SaveSensorsConfig(const TSensorsFileContext& context, const std::string& fileName);

// major * 100 + minor; -1 when the file cannot be opened, 0 without a version line.
std::int32_t READCFGVERSION(TLogSinks& log, const std::string& fileName);

// Applies a sensors file: chip properties, and unless propertiesOnly the
// slots and fan controllers; then every slot is bound to an existing reading.
// False for a file of no known version.
bool LOADASSOCIATIONS(const TSensorsFileContext& context, const std::string& fileName, bool propertiesOnly,
                      bool loadEvents);

// Applies the board's pre-built configuration from ProgramDir + "configs.zip";
// a missing archive or member is logged and changes nothing.
void LoadFineTunedAssociations(const TSensorsFileContext& context);
