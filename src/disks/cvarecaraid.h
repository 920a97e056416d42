#pragma once
// The Areca controllers through the maker's API library: its ten entry
// points, and the records made of its raw replies. The disk sensors read
// their pages through the global ArecaRAID.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "disks/cvlibrarycopy.h"
#include "platform/library.h"
#include "platform/raidlibraries.h"

// The bytes of a fixed-length text field, trimmed of spaces and control characters.
std::string ArecaRaw(std::span<const std::uint8_t> field);

struct TARCSystemInfo {
    bool Valid = false;
    std::string VendorName, SerialNumber, FirmwareVersion, BootVersion, MbrVersion, ModelName;
    std::array<std::uint8_t, 4> LocalIP{}, CurrentIP{};
    std::uint32_t CpuClock = 0, ICache = 0, DCache = 0, L2Cache = 0, MemorySize = 0, MemoryClock = 0,
                  EventsSupported = 0;
    std::array<std::uint8_t, 5> MacAddress{};
    bool Dhcp = false;
    std::uint8_t ChannelUsage = 0, MaxAtaMode = 0;
    bool Ecc = false;
    std::uint8_t IdeChannels = 0, ScsiHostChannels = 0, IdeHostChannels = 0, VolumeSets = 0, RaidSets = 0;
    bool EthernetPort = false, Raid6 = false, SnmpRs232 = false;
    std::uint8_t HostType = 0, TargetType = 0;  // 0 for codes without a name
    bool InBand = false;
    std::uint8_t InBandChannel = 0, InBandDeviceId = 0;
};

struct TARCIdentifyData {
    bool Valid = false;
    std::string Text, Model, Tail;
};

enum TArecaStatus : std::uint8_t { ArecaRead = 0, ArecaNotUsable = 1, ArecaOutOfRange = 2, ArecaCallFailed = 3 };

struct TARCPhyDriveInfo {
    bool Valid = false;
    std::uint8_t Status = ArecaNotUsable;
    std::string Model, Serial, Firmware;
    std::uint32_t Capacity = 0;                // 512-byte sectors
    std::array<std::uint8_t, 32> Further{};  // bytes 72-103 of the reply, as they came
};

struct TARCSmartAttributes {
    bool Valid = false;
    std::uint8_t Status = ArecaNotUsable;
    std::array<std::uint8_t, 512> Page{};
};

struct TARCSmartThresholds {
    bool Valid = false;
    std::array<std::uint8_t, 512> Page{};
};

struct TArecaHWMonGroup {
    std::uint16_t Count = 0;
    std::uint16_t Held = 0;  // values the reply carried
    std::array<std::uint16_t, 50> Values{};
};

struct ArecaHWMonData {
    bool Valid = false;
    std::array<TArecaHWMonGroup, 6> Groups{};  // fans, voltages, temperatures, then unused
};

class TArecaRAID {
public:
    using TLogEvent = std::function<void(const std::string&)>;

    TArecaRAID();
    ~TArecaRAID() = default;  // the library goes with its object

    void Log(const std::string& msg) const;
    // 0 with ControllerCount set; 1 when unusable or the find failed.
    int FindControllers();
    std::int32_t DLLVersion() const;
    TARCSystemInfo GetSysInfo(int controller) const;
    TARCIdentifyData GetIdentifyData(int controller) const;
    TARCPhyDriveInfo GetPhysicalDriveInfo(int controller, int enclosure, int drive);
    TARCSmartAttributes ReadSmartAttrs(int controller, int drive);
    TARCSmartThresholds ReadSmartThresholds(int controller, int drive) const;
    // Groups: bit g-1 asks for group g.
    ArecaHWMonData GetHWMon(int controller, unsigned groups) const;

    std::uintptr_t Handle = 0;
    bool Usable = false;
    std::int32_t ControllerCount = 0;
    TLogEvent OnLog;
    std::int32_t LastStatus = 0;

private:
    bool inRange(int controller) const { return Usable && controller >= 0 && controller < ControllerCount; }
    // The Status of a library call on `controller`; LastStatus takes the call's own.
    template <class Call>
    std::uint8_t statusCall(int controller, Call call);

    std::unique_ptr<platform::Library> library_;
    std::function<platform::raidlibraries::areca::NoArgs> findControllers_, numControllersFound_, dllVersion_;
    std::function<platform::raidlibraries::areca::ControllerBuffer> sysInfo_, identifyString_, hwMon5010_;
    std::function<platform::raidlibraries::areca::DriveInfo> physicalDriveInfo_;
    std::function<platform::raidlibraries::areca::DriveBuffer> readSmartAttrs_, readSmartThresholds_;
    std::function<platform::raidlibraries::areca::HWMon> hwMon_;
};

// "areca.dll" at start; the extracted copy before the object is made.
extern std::string ArecaDllName;
extern std::unique_ptr<TArecaRAID> ArecaRAID;
extern TLibraryCopy ArecaCopy;

// The first call extracts the library and makes ArecaRAID; true while it exists.
bool InitArecaRAID(TArecaRAID::TLogEvent logEvent);
void FreeArecaRAID();

const char* ArecaHostTypeName(std::uint8_t type);
const char* ArecaTargetTypeName(std::uint8_t type);
