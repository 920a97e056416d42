#include "firmware/cvacpi.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <stdexcept>

#include "firmware/physicalsearch.h"
#include "hw/cvdriver.h"

namespace {

constexpr std::uint32_t RsdpChunkSize = 49152;
// The working buffer holds one byte more than 48 KiB.
constexpr std::uint32_t MaxTableSize = 49153;
// A DSDT has its own buffer; past this it is not collected.
constexpr std::uint32_t MaxDsdtSize = 16u << 20;
constexpr std::uint32_t HeaderSize = 36;

std::uint32_t dword(const std::string& b, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b[at + i]);
    return v;
}

// The bytes, or nothing when fewer could be copied.
std::optional<std::string> readWhole(TIOPort& port, std::uint32_t address, std::uint32_t count) {
    std::string bytes(count, '\0');
    if (!ReadPhysicalWhole(port, address, bytes.data(), count)) return std::nullopt;
    return bytes;
}

bool checksumRight(const std::string& table) {
    return std::accumulate(table.begin(), table.end(), 0u,
                           [](unsigned sum, char c) { return sum + static_cast<std::uint8_t>(c); }) % 256 == 0;
}

// The whole table when its header reads, its length is within the limit and
// its bytes add up to zero.
std::optional<std::string> readTable(TIOPort& port, std::uint32_t address, std::uint32_t limit) {
    const auto header = readWhole(port, address, HeaderSize);
    if (!header) return std::nullopt;
    const std::uint32_t length = dword(*header, 4);
    if (length > limit || length < HeaderSize) return std::nullopt;
    auto table = readWhole(port, address, length);
    if (!table || !checksumRight(*table)) return std::nullopt;
    return table;
}

}  // namespace

void TAcpiTablesParser::Parse() {
    if (!IOPort || !IOPort->CanReadMemory) return;
    SearchLegacySegment(*IOPort, RsdpChunkSize, "RSD PTR ",
                        [this](std::uint32_t address) { return ProcessRSDP(*IOPort, address); });
}

bool TAcpiTablesParser::ProcessRSDP(TIOPort& port, std::uint32_t address) {
    const auto rsdp = readWhole(port, address, HeaderSize);
    if (!rsdp) return false;
    ProcessRSDT(port, dword(*rsdp, 16));
    return true;
}

void TAcpiTablesParser::ProcessRSDT(TIOPort& port, std::uint32_t address) {
    const auto rsdt = readTable(port, address, MaxTableSize);
    if (!rsdt) return;
    // A partial entry at the end is not followed.
    for (std::size_t at = HeaderSize; at + 4 <= rsdt->size(); at += 4) ProcessTable(port, dword(*rsdt, at));
}

void TAcpiTablesParser::ProcessTable(TIOPort& port, std::uint32_t address) {
    const auto table = readTable(port, address, MaxTableSize);
    if (!table) return;
    const std::string signature = table->substr(0, 4);
    if (signature == "FACP") {
        if (table->size() >= 44) CollectDSDT(port, dword(*table, 40));
        return;
    }
    static const char* const skipped[] = {"APIC", "BOOT", "SPMI", "ECDT", "HPET"};
    if (std::find(std::begin(skipped), std::end(skipped), signature) != std::end(skipped)) return;
    const bool ssdt = signature == "SSDT" || signature == "PSDT";
    Tables.push_back({ssdt ? "SSDT" : signature, *table});
}

void TAcpiTablesParser::CollectDSDT(TIOPort& port, std::uint32_t address) {
    if (auto dsdt = readTable(port, address, MaxDsdtSize)) Tables.push_back({"DSDT", std::move(*dsdt)});
}

TAcpiTableData TAcpiTablesParser::GetTable(int index) const {
    if (index < 0 || index >= GetTableCount()) throw std::out_of_range("Invalid index");
    return Tables[static_cast<std::size_t>(index)];
}
