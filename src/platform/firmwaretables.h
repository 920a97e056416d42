#pragma once
// Raw firmware tables (the SMBIOS structure table, ACPI tables) and the one
// layout that puts them into physical memory where a firmware search finds
// them: entry points in the legacy segment E0000h-FFFFFh, tables from 1 MiB
// up. The simulated machine and the native firmware view both use it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr std::uint32_t LegacySegmentBase = 0xE0000;
inline constexpr std::uint32_t LegacySegmentSize = 0x20000;
inline constexpr std::uint32_t FirstEntryPointAddress = 0xF0000;
inline constexpr std::uint32_t HighTablesBase = 0x100000;
inline constexpr std::size_t SmbiosEntryPointSize = 31;
inline constexpr std::size_t AcpiHeaderSize = 36;

struct SmbiosTables {
    std::uint8_t major = 2, minor = 7;
    std::vector<std::uint8_t> table;  // the structure table
    std::uint16_t structureCount = 0;
    std::uint16_t maxStructureSize = 0;
    // Defaults: the first free 16-byte boundary from F0000h; the next free
    // place from 1 MiB; the table's size.
    std::optional<std::uint32_t> entryAddress;
    std::optional<std::uint32_t> tableAddress;
    std::optional<std::uint16_t> tableLength;
    // A copy of the entry point at another address, for searches that must
    // take only the first.
    std::optional<std::uint32_t> secondAnchor;
};

struct AcpiTable {
    std::vector<std::uint8_t> bytes;  // header and body; signature at offset 0
    bool badChecksum = false;
    // The firmware's own bytes: laid as they are, length and checksum untouched.
    bool asWritten = false;
    std::string signature() const;
};

// The layout writes every table's length field and checksum, and FACP's
// DSDT pointer (offset 40) to where the DSDT lies. A table as written keeps
// its bytes; only FACP's pointer changes, and its checksum byte moves by as
// much, so a table that added up still does and one that did not still does not.
struct AcpiTables {
    std::optional<std::uint32_t> rsdpAddress;
    std::vector<AcpiTable> tables;  // in RSDT order
    std::optional<AcpiTable> dsdt;
};

struct FirmwareTables {
    std::optional<SmbiosTables> smbios;
    std::optional<AcpiTables> acpi;
};

struct MemoryBlock {
    std::uint32_t address = 0;
    std::vector<std::uint8_t> bytes;
};

// The legacy segment first, then one block per table placed elsewhere.
// Throws std::invalid_argument for an entry point that leaves the legacy
// segment.
std::vector<MemoryBlock> LayFirmwareTables(const FirmwareTables& tables);

// A table of `size` bytes (at least the header) with its signature and
// body; revision 1, OEM "CALDAV".
AcpiTable MakeAcpiTable(const std::string& signature, std::uint32_t size, const std::vector<std::uint8_t>& body = {});

// Counts the structures and the largest one of a structure table, walking
// headers and string sets; stops at type 127 or the end.
void MeasureSmbiosTable(SmbiosTables& smbios);

}  // namespace platform
