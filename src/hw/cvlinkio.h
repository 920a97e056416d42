#pragma once
// TEMPORARY: what the link units need of the driver layer (port access, bus
// locks, the debug trace), until that layer is merged.

#include <cstdint>
#include <string>

namespace linkio {
std::uint8_t ReadPortByte(std::uint16_t port);
std::uint16_t ReadPortWord(std::uint16_t port);
void WritePortByte(std::uint16_t port, std::uint8_t value);
void WritePortWord(std::uint16_t port, std::uint16_t value);
void AcquireBusLock(bool isISA);
void ReleaseBusLock(bool isISA);
void Trace(const std::string& msg);
}  // namespace linkio
