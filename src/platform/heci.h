#pragma once
// The HECI device interface as every backend serves it: its interface class
// and its two control requests.

#include <cstdint>

#include "platform/platform.h"

namespace platform::heci {

// {E2D1FF34-3458-49A9-88DA-8E6915CE9BE5}, in the stored byte order.
inline constexpr Guid InterfaceGuid{0x34, 0xFF, 0xD1, 0xE2, 0x58, 0x34, 0xA9, 0x49,
                                    0x88, 0xDA, 0x8E, 0x69, 0x15, 0xCE, 0x9B, 0xE5};
// No input; 5 bytes out: major, minor, hotfix, build (16 bits).
inline constexpr std::uint32_t VersionCode = 0x8000E000;
// The 16-byte client GUID in; 5 bytes out: maximum message length (32 bits), protocol version.
inline constexpr std::uint32_t ConnectCode = 0x8000E004;

}  // namespace platform::heci
