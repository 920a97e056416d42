#pragma once
// The 3ware controller maker's API library: its binding (all eight entry
// points or none), the buffer layouts its calls fill, and the texts made of
// them.

#include <cstdint>
#include <span>
#include <string>

#include "platform/raidlibraries.h"

using TThreewareId = platform::raidlibraries::threeware::Id;

#pragma pack(push, 1)
struct TThreewareControllerIdList {
    TThreewareId Ids[16];
    std::uint32_t Count;
};
struct TThreewareOptionalValue {
    std::uint8_t Valid;
    std::uint32_t Value;
};
struct TThreewareControllerInfo {
    char DriverVersion[128];
    TThreewareOptionalValue Architecture;
    std::uint8_t ModelValid;
    char Model[64];
    std::uint8_t SerialValid;
    char Serial[32];
    std::uint8_t FirmwareValid;
    char Firmware[32];
    std::uint8_t BiosValid;
    char Bios[32];
    TThreewareOptionalValue PortsCount, DrivesCount, UnitsCount, ActiveDrivesCount, MaxUnits, MaxActiveUnits,
        MaxActiveDrives, MaxDrivesPerUnit, MemorySize;
};
struct TThreewareDriveIdList {
    TThreewareId Ids[128];
    std::uint32_t Count;
};
struct TThreewareDriveInfo {
    std::uint64_t Capacity;  // 512-byte sectors
    char Model[64];
    char Serial[32];
    char Firmware[32];
    std::uint8_t IdentifyValid;
    std::uint8_t Identify[512];
    std::uint8_t InterfaceValid;
    std::uint8_t Reserved;
};
struct TThreewareErrorInfo {
    std::uint32_t Flags, ApiCode, OsCode, DriverCode, ControllerCode;
    char Data[132];
    char Text[1024];
};
#pragma pack(pop)
static_assert(sizeof(TThreewareControllerIdList) == 132);
static_assert(sizeof(TThreewareControllerInfo) == 342);
static_assert(sizeof(TThreewareDriveIdList) == 1028);
static_assert(sizeof(TThreewareDriveInfo) == 651);
static_assert(sizeof(TThreewareErrorInfo) == 1176);

// "threeware.dll" at start; the extracted copy's path before binding.
extern std::string ThreewareDllName;

// True when already loaded; else loads and binds, then answers false.
bool LoadThreewareApi();
bool ThreewareApiLoaded();
// Forgets the library (the process's end; tests).
void UnloadThreewareApi();
std::string GetThreewareApiVersion();

// The calls; 0 on success. Without the library they fail with -1.
std::int32_t ThreewareGetControllerIdList(TThreewareControllerIdList& list);
std::int32_t ThreewareGetControllerInfo(const TThreewareId& controller, TThreewareControllerInfo& info);
std::int32_t ThreewareGetDriveIdList(const TThreewareId& controller, TThreewareDriveIdList& list);
std::int32_t ThreewareGetDriveInfo(const TThreewareId& drive, TThreewareDriveInfo& info);
bool ThreewareReadSmartData(const TThreewareId& drive, std::span<std::uint8_t, 512> page);
bool ThreewareReadSmartThresholds(const TThreewareId& drive, std::span<std::uint8_t, 512> page);

// The list's count as far as the list holds ids.
std::uint32_t ThreewareIdCount(const TThreewareControllerIdList& list);
std::uint32_t ThreewareIdCount(const TThreewareDriveIdList& list);
// A zero-terminated text read within its field.
template <std::size_t N>
std::string ThreewareText(const char (&field)[N]) {
    std::size_t n = 0;
    while (n < N && field[n] != 0) ++n;
    return std::string(field, n);
}

std::string ThreewareIdToHex(const TThreewareId& id);
std::string ThreewareArchName(std::uint32_t code);
// Traces `msg` when set; with details, the library's error record.
void ReportThreewareError(const std::string& msg, bool withDetails);
