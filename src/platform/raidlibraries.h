#pragma once
// The RAID controller makers' API libraries as the program binds them: the
// data blocks that carry their images, their entry points and signatures.
// Every status is 0 on success. Buffers travel as pointer and byte count.

#include <array>
#include <cstdint>

namespace platform::raidlibraries {

namespace threeware {
inline constexpr const char* ImageBlock = "Emb3wareDLL";

// An id is 8 bytes passed by value, in memory order.
using Id = std::array<std::uint8_t, 8>;

inline constexpr const char* GetAPIVersion = "ThreewareGetAPIVersion";
inline constexpr const char* GetAPICopyright = "ThreewareGetAPICopyright";
inline constexpr const char* GetControllerIdList = "ThreewareGetControllerIdList";
inline constexpr const char* GetControllerInfo = "ThreewareGetControllerInfo";
inline constexpr const char* GetDriveIdList = "ThreewareGetDriveIdList";
inline constexpr const char* GetDriveInfo = "ThreewareGetDriveInfo";
inline constexpr const char* ATAPassthrough = "ThreewareATAPassthrough";
inline constexpr const char* GetErrorInformation = "ThreewareGetErrorInformation";

using Buffer = std::int32_t(std::uint8_t* buffer, std::uint32_t size);
using IdBuffer = std::int32_t(Id id, std::uint8_t* buffer, std::uint32_t size);
// Drive id, mode, features, sector count, LBA low, mid, high, device,
// command, then the 512-byte data buffer.
using Passthrough = std::int32_t(Id drive, std::uint32_t mode, std::uint16_t* features, std::uint16_t* count,
                                 std::uint16_t* lbaLow, std::uint16_t* lbaMid, std::uint16_t* lbaHigh,
                                 std::uint8_t* device, std::uint8_t* command, std::uint8_t* data);
using ErrorInformation = std::int32_t(std::uint8_t* buffer);

inline constexpr std::array<const char*, 8> EntryPoints{GetAPIVersion,  GetAPICopyright, GetControllerIdList,
                                                        GetControllerInfo, GetDriveIdList, GetDriveInfo,
                                                        ATAPassthrough, GetErrorInformation};
}  // namespace threeware

namespace areca {
inline constexpr const char* ImageBlock = "EmbArecaDLL";

inline constexpr const char* FindControllers = "ArecaFindControllers";
inline constexpr const char* GetHWMon = "ArecaGetHWMon";
inline constexpr const char* GetHWMon5010 = "ArecaGetHWMon5010";
inline constexpr const char* GetPhysicalDriveInfo = "ArecaGetPhysicalDriveInfo";
inline constexpr const char* GetIdentifyString = "ArecaGetIdentifyString";
inline constexpr const char* GetNumControllersFound = "ArecaGetNumControllersFound";
inline constexpr const char* GetSysInfo = "ArecaGetSysInfo";
inline constexpr const char* ReadSmartAttrs = "ArecaReadSmartAttrs";
inline constexpr const char* ReadSmartThresholds = "ArecaReadSmartThresholds";
inline constexpr const char* DLLVersion = "ArecaDLLVersion";

using NoArgs = std::int32_t();
using ControllerBuffer = std::int32_t(std::int32_t controller, std::uint8_t* buffer, std::uint32_t size);
using DriveInfo = std::int32_t(std::int32_t controller, std::int32_t enclosure, std::int32_t drive,
                               std::uint8_t* buffer, std::uint32_t size);
using DriveBuffer = std::int32_t(std::int32_t controller, std::int32_t drive, std::uint8_t* buffer,
                                 std::uint32_t size);
using HWMon = std::int32_t(std::int32_t controller, std::int32_t group, std::uint8_t* buffer, std::uint32_t size);

inline constexpr std::array<const char*, 10> EntryPoints{
    FindControllers, GetHWMon,   GetHWMon5010,   GetPhysicalDriveInfo, GetIdentifyString, GetNumControllersFound,
    GetSysInfo,      ReadSmartAttrs, ReadSmartThresholds, DLLVersion};
}  // namespace areca

}  // namespace platform::raidlibraries
