#pragma once
// Port access of the link units through the driver interface; without
// hardware access reads answer all ones and writes go nowhere.

#include <cstdint>

#include "hw/cvdriver.h"

namespace linkio {

inline std::uint8_t ReadPortByte(std::uint16_t port) { return IOPort ? IOPort->ReadPortByte(port) : 0xFF; }
inline std::uint16_t ReadPortWord(std::uint16_t port) { return IOPort ? IOPort->ReadPortWord(port) : 0xFFFF; }
inline void WritePortByte(std::uint16_t port, std::uint8_t value) {
    if (IOPort) IOPort->WritePortByte(port, value);
}
inline void WritePortWord(std::uint16_t port, std::uint16_t value) {
    if (IOPort) IOPort->WritePortWord(port, value);
}

}  // namespace linkio
