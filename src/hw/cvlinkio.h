#pragma once
// Port access of the link units through the driver interface; without
// hardware access reads answer all ones and writes go nowhere.

#include <cstdint>

#include "hw/cvdriver.h"

namespace linkio {

// A port past FFFFh (a window at the top of the port space) is no port: it
// reads all ones and takes no write, rather than wrapping to the low ports.
constexpr std::uint32_t LastPort = 0xFFFF;

inline std::uint8_t ReadPortByte(std::uint32_t port) {
    return IOPort && port <= LastPort ? IOPort->ReadPortByte(static_cast<std::uint16_t>(port)) : 0xFF;
}
inline std::uint16_t ReadPortWord(std::uint32_t port) {
    return IOPort && port < LastPort ? IOPort->ReadPortWord(static_cast<std::uint16_t>(port)) : 0xFFFF;
}
inline void WritePortByte(std::uint32_t port, std::uint8_t value) {
    if (IOPort && port <= LastPort) IOPort->WritePortByte(static_cast<std::uint16_t>(port), value);
}
inline void WritePortWord(std::uint32_t port, std::uint16_t value) {
    if (IOPort && port < LastPort) IOPort->WritePortWord(static_cast<std::uint16_t>(port), value);
}

}  // namespace linkio
