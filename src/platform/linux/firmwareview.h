#pragma once
// Physical memory as firmware searches expect it, made from the tables Linux
// exports under /sys/firmware: a 2.x SMBIOS entry point over the DMI table
// (a 3.x point converted, keeping its version), a revision-0 RSDP and an RSDT
// of the top-level ACPI tables, laid out by the builder the simulated machine
// uses. It answers where /dev/mem is refused or its legacy segment has no
// anchor (UEFI machines, "_SM3_"-only firmware, kernels in lockdown).

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/firmwaretables.h"

namespace platform::native {

// The raw tables under `sysRoot`/firmware. A file whose header disagrees with
// its size is skipped with a line; without the right to read them, one line
// with the system's reason and no tables.
FirmwareTables readSysfsFirmwareTables(const std::string& sysRoot, const std::function<void(const std::string&)>& trace);

// Whether a legacy-segment image holds both the "_SM_" and the "RSD PTR "
// anchor on 16-byte boundaries.
bool hasFirmwareAnchors(std::span<const std::uint8_t> segment);

class FirmwareView {
public:
    explicit FirmwareView(const FirmwareTables& tables);
    bool empty() const { return blocks_.empty(); }
    // All bytes, or 0 when the range is not within one laid block.
    std::size_t read(std::uint32_t address, std::span<std::uint8_t> buffer) const;

private:
    std::vector<MemoryBlock> blocks_;
};

}  // namespace platform::native
