#pragma once
// The graphics-card maker's monitoring library, as the card tool installs it
// and every backend offers it: its file name and entry points. The three
// readers take an index and answer a signed value (degrees, RPM, millivolts).

#include <array>
#include <cstdint>

namespace platform::cardlibrary {

inline constexpr const char* FileName = "anvmi.dll";

inline constexpr const char* GetTemperature = "V66MI_MI_GetTemperature";
inline constexpr const char* GetFanSpeed = "V66MI_MI_GetFanSpeed";
inline constexpr const char* GetVoltage = "V66MI_MI_GetVoltage";
inline constexpr const char* GetChipClock = "V66MI_MMIO_GetChipClk";
inline constexpr const char* GetMemoryClock = "V66MI_MMIO_GetMemoryClk";
inline constexpr const char* DetectCard = "V66MI_DetectVGACard";

using Reader = std::int32_t(std::uint32_t index);

// Every entry point the program binds, in binding order.
inline constexpr std::array<const char*, 6> EntryPoints{GetTemperature, GetFanSpeed,    GetVoltage,
                                                        GetChipClock,   GetMemoryClock, DetectCard};

}  // namespace platform::cardlibrary
