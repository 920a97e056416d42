#include "platform/firmwaretables.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <stdexcept>

namespace platform {
namespace {

void put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    put16(b, at, v);
    put16(b, at + 2, v >> 16);
}

void putText(std::vector<std::uint8_t>& b, std::size_t at, const char* text) {
    std::memcpy(b.data() + at, text, std::strlen(text));
}

// The byte that makes [first, first + count) add up to zero.
std::uint8_t balancing(const std::vector<std::uint8_t>& b, std::size_t first, std::size_t count, std::size_t at) {
    const unsigned sum = std::accumulate(b.begin() + static_cast<std::ptrdiff_t>(first),
                                         b.begin() + static_cast<std::ptrdiff_t>(first + count), 0u) -
                         b[at];
    return static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
}

std::uint32_t align16(std::uint32_t v) { return (v + 15) & ~15u; }

class Layout {
public:
    Layout() { legacy_.bytes.assign(LegacySegmentSize, 0); legacy_.address = LegacySegmentBase; }

    std::uint32_t entryPoint(std::optional<std::uint32_t> wanted, std::size_t size) {
        const std::uint32_t at = wanted ? *wanted : nextEntry_;
        if (at < LegacySegmentBase || at >= legacyEnd)
            throw std::invalid_argument("entry point outside E0000h-FFFFFh");
        const std::uint32_t end = at + static_cast<std::uint32_t>(size);
        if (!wanted) nextEntry_ = align16(end);
        // A point at the segment's very end goes on above it, as memory does.
        if (end > legacyEnd) nextTable_ = std::max(nextTable_, align16(end));
        return at;
    }
    std::uint32_t table(std::optional<std::uint32_t> wanted, std::size_t size) {
        if (wanted) return *wanted;
        const std::uint32_t at = nextTable_;
        nextTable_ = align16(at + static_cast<std::uint32_t>(size));
        return at;
    }
    void write(std::uint32_t address, std::vector<std::uint8_t> bytes) {
        if (address >= LegacySegmentBase && address < legacyEnd) {
            const std::size_t inside = std::min<std::size_t>(bytes.size(), legacyEnd - address);
            std::copy_n(bytes.begin(), inside, legacy_.bytes.begin() + (address - LegacySegmentBase));
            bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(inside));
            address = legacyEnd;
        }
        if (!bytes.empty()) others_.push_back({address, std::move(bytes)});
    }
    std::vector<MemoryBlock> blocks() {
        std::vector<MemoryBlock> out{std::move(legacy_)};
        // Tables laid back to back from 1 MiB form one block, as RAM does.
        std::sort(others_.begin(), others_.end(), [](auto& a, auto& b) { return a.address < b.address; });
        for (auto& block : others_) {
            MemoryBlock& last = out.back();
            if (out.size() > 1 && last.address + last.bytes.size() <= block.address &&
                block.address - (last.address + last.bytes.size()) < 16) {
                last.bytes.resize(block.address - last.address, 0);
                last.bytes.insert(last.bytes.end(), block.bytes.begin(), block.bytes.end());
            } else {
                out.push_back(std::move(block));
            }
        }
        return out;
    }

private:
    static constexpr std::uint32_t legacyEnd = LegacySegmentBase + LegacySegmentSize;
    MemoryBlock legacy_;
    std::vector<MemoryBlock> others_;
    std::uint32_t nextEntry_ = FirstEntryPointAddress;
    std::uint32_t nextTable_ = HighTablesBase;
};

std::vector<std::uint8_t> smbiosEntryPoint(const SmbiosTables& s, std::uint32_t tableAddress) {
    std::vector<std::uint8_t> ep(SmbiosEntryPointSize, 0);
    putText(ep, 0, "_SM_");
    ep[5] = static_cast<std::uint8_t>(SmbiosEntryPointSize);
    ep[6] = s.major;
    ep[7] = s.minor;
    put16(ep, 8, s.maxStructureSize);
    putText(ep, 16, "_DMI_");
    put16(ep, 22, s.tableLength.value_or(static_cast<std::uint16_t>(s.table.size())));
    put32(ep, 24, tableAddress);
    put16(ep, 28, s.structureCount);
    ep[30] = static_cast<std::uint8_t>((s.major & 0x0F) << 4 | (s.minor & 0x0F));
    ep[21] = balancing(ep, 16, 15, 21);
    ep[4] = balancing(ep, 0, SmbiosEntryPointSize, 4);
    return ep;
}

void layOutSmbios(const SmbiosTables& s, Layout& layout) {
    const std::uint32_t entry = layout.entryPoint(s.entryAddress, SmbiosEntryPointSize);
    const std::uint32_t table = layout.table(s.tableAddress, s.table.size());
    auto ep = smbiosEntryPoint(s, table);
    if (s.secondAnchor) layout.write(layout.entryPoint(s.secondAnchor, SmbiosEntryPointSize), ep);
    layout.write(entry, std::move(ep));
    layout.write(table, s.table);
}

std::uint8_t byteSum(const std::vector<std::uint8_t>& b, std::size_t first, std::size_t count) {
    return static_cast<std::uint8_t>(std::accumulate(b.begin() + static_cast<std::ptrdiff_t>(first),
                                                     b.begin() + static_cast<std::ptrdiff_t>(first + count), 0u));
}

// FACP's DSDT pointer: a table of ours is sealed afterwards, one as written
// keeps the sum it had.
void pointFacpAt(AcpiTable& facp, std::uint32_t dsdt) {
    constexpr std::size_t pointer = 40;
    if (!facp.asWritten) {
        if (facp.bytes.size() < pointer + 4) facp.bytes.resize(pointer + 4, 0);
        put32(facp.bytes, pointer, dsdt);
        return;
    }
    if (facp.bytes.size() < pointer + 4) return;
    const std::uint8_t before = byteSum(facp.bytes, pointer, 4);
    put32(facp.bytes, pointer, dsdt);
    facp.bytes[9] = static_cast<std::uint8_t>(facp.bytes[9] + before - byteSum(facp.bytes, pointer, 4));
}

void seal(AcpiTable& t) {
    if (t.asWritten) return;
    if (t.bytes.size() < AcpiHeaderSize) t.bytes.resize(AcpiHeaderSize, 0);
    put32(t.bytes, 4, static_cast<std::uint32_t>(t.bytes.size()));
    t.bytes[9] = balancing(t.bytes, 0, t.bytes.size(), 9);
    if (t.badChecksum) ++t.bytes[9];
}

void layOutAcpi(const AcpiTables& a, Layout& layout) {
    constexpr std::size_t rsdpSize = 20;
    const std::uint32_t rsdp = layout.entryPoint(a.rsdpAddress, rsdpSize);
    AcpiTable rsdt = MakeAcpiTable("RSDT", static_cast<std::uint32_t>(AcpiHeaderSize + 4 * a.tables.size()));
    const std::uint32_t rsdtAt = layout.table(std::nullopt, rsdt.bytes.size());
    std::optional<std::uint32_t> dsdtAt;
    if (a.dsdt) {
        AcpiTable dsdt = *a.dsdt;
        seal(dsdt);
        dsdtAt = layout.table(std::nullopt, dsdt.bytes.size());
        layout.write(*dsdtAt, std::move(dsdt.bytes));
    }
    for (std::size_t i = 0; i < a.tables.size(); ++i) {
        AcpiTable t = a.tables[i];
        if (t.signature() == "FACP" && dsdtAt) pointFacpAt(t, *dsdtAt);
        seal(t);
        const std::uint32_t at = layout.table(std::nullopt, t.bytes.size());
        put32(rsdt.bytes, AcpiHeaderSize + 4 * i, at);
        layout.write(at, std::move(t.bytes));
    }
    seal(rsdt);
    layout.write(rsdtAt, std::move(rsdt.bytes));

    std::vector<std::uint8_t> pointer(rsdpSize, 0);
    putText(pointer, 0, "RSD PTR ");
    putText(pointer, 9, "CALDAV");
    put32(pointer, 16, rsdtAt);
    pointer[8] = balancing(pointer, 0, rsdpSize, 8);
    layout.write(rsdp, std::move(pointer));
}

}  // namespace

std::string AcpiTable::signature() const {
    return bytes.size() < 4 ? std::string{} : std::string(bytes.begin(), bytes.begin() + 4);
}

AcpiTable MakeAcpiTable(const std::string& signature, std::uint32_t size, const std::vector<std::uint8_t>& body) {
    AcpiTable t;
    t.bytes.assign(std::max<std::size_t>(size, AcpiHeaderSize), 0);
    std::memcpy(t.bytes.data(), signature.data(), std::min<std::size_t>(signature.size(), 4));
    t.bytes[8] = 1;
    putText(t.bytes, 10, "CALDAV");
    putText(t.bytes, 16, "CALDAVOR");
    std::copy_n(body.begin(), std::min(body.size(), t.bytes.size() - AcpiHeaderSize), t.bytes.begin() + AcpiHeaderSize);
    seal(t);
    return t;
}

std::vector<MemoryBlock> LayFirmwareTables(const FirmwareTables& tables) {
    Layout layout;
    if (tables.smbios) layOutSmbios(*tables.smbios, layout);
    if (tables.acpi) layOutAcpi(*tables.acpi, layout);
    return layout.blocks();
}

void MeasureSmbiosTable(SmbiosTables& smbios) {
    const auto& t = smbios.table;
    std::size_t at = 0;
    std::uint16_t count = 0, largest = 0;
    while (at + 4 <= t.size()) {
        const std::size_t start = at;
        const std::uint8_t type = t[at];
        at += std::max<std::size_t>(t[at + 1], 4);
        while (at + 1 < t.size() && (t[at] != 0 || t[at + 1] != 0)) ++at;
        at = std::min(at + 2, t.size());
        ++count;
        largest = static_cast<std::uint16_t>(std::max<std::size_t>(largest, at - start));
        if (type == 127) break;
    }
    smbios.structureCount = count;
    smbios.maxStructureSize = largest;
}

}  // namespace platform
