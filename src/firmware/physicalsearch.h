#pragma once
// Physical-memory reads through a driver port, shared by the SMBIOS and ACPI
// searches of the legacy segment.

#include <cstdint>
#include <functional>
#include <string_view>

class TIOPort;

// A read that copies fewer bytes than asked failed; the buffer is zeroed
// first so that nothing of an earlier read is taken for new data.
bool ReadPhysicalWhole(TIOPort& port, std::uint32_t address, void* buffer, std::uint32_t count);

// Reads E0000h-FFFEFh in chunks of `chunkSize` bytes and calls `process` for
// each `anchor` on a 16-byte boundary; a chunk that cannot be read is
// skipped. Stops at the first anchor `process` accepts.
void SearchLegacySegment(TIOPort& port, std::uint32_t chunkSize, std::string_view anchor,
                         const std::function<bool(std::uint32_t address)>& process);
