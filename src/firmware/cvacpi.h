#pragma once
// The ACPI tables parser: finds the RSDP in E0000h-FFFFFh through the
// program's driver port and collects the raw bytes of the tables its RSDT
// lists (the DSDT through the FACP), for the diagnostic report.

#include <cstdint>
#include <string>
#include <vector>

class TIOPort;

struct TAcpiTableData {
    std::string Name;
    std::string Data;
};
using TAcpiTablesData = std::vector<TAcpiTableData>;

class TAcpiTablesParser {
public:
    // Nothing without the global port or its physical-memory access.
    void Parse();
    int GetTableCount() const { return static_cast<int>(Tables.size()); }
    // Throws std::out_of_range "Invalid index".
    TAcpiTableData GetTable(int index) const;

private:
    // False when no RSDP was found in the chunk.
    bool ProcessRSDP(TIOPort& port, std::uint32_t address);
    void ProcessRSDT(TIOPort& port, std::uint32_t address);
    void ProcessTable(TIOPort& port, std::uint32_t address);
    void CollectDSDT(TIOPort& port, std::uint32_t address);

    TAcpiTablesData Tables;
};
