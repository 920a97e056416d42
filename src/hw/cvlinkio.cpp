#include "hw/cvlinkio.h"

namespace linkio {
std::uint8_t ReadPortByte(std::uint16_t) { return 0xFF; }
std::uint16_t ReadPortWord(std::uint16_t) { return 0xFFFF; }
void WritePortByte(std::uint16_t, std::uint8_t) {}
void WritePortWord(std::uint16_t, std::uint16_t) {}
void AcquireBusLock(bool) {}
void ReleaseBusLock(bool) {}
void Trace(const std::string&) {}
}  // namespace linkio
