#include "platform/linux/firmwareview.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/linux/filehandle.h"

namespace platform::native {
namespace {

namespace fs = std::filesystem;
using Trace = std::function<void(const std::string&)>;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t word(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8; }
std::uint32_t dword(const Bytes& b, std::size_t at) { return word(b, at) | word(b, at + 2) << 16; }

// Reads stop at the first refusal: the tables are root's, so one refused
// file means all are, and that is said once.
class TableFiles {
public:
    explicit TableFiles(Trace trace) : trace_(std::move(trace)) {}

    bool refused() const { return refused_; }

    std::optional<Bytes> read(const std::string& path) {
        if (refused_) return std::nullopt;
        const auto text = readSmallFile(path);
        if (text) return Bytes(text->begin(), text->end());
        if (errno != ENOENT) {
            refused_ = true;
            if (trace_) trace_(path + ": " + systemReason(errno));
        }
        return std::nullopt;
    }

    void skip(const std::string& path, const std::string& why) {
        if (trace_) trace_(path + ": " + why + ", skipped");
    }

private:
    Trace trace_;
    bool refused_ = false;
};

// The table length a "_SM_" point gives, or the maximum a "_SM3_" point
// allows; nothing for a file that is no entry point of its own length.
struct EntryPointFacts {
    std::uint8_t major, minor;
    std::uint32_t tableLength;
    bool exact;
};

std::optional<EntryPointFacts> entryPointFacts(const Bytes& point) {
    const auto is = [&](std::string_view anchor, std::size_t size, std::size_t lengthAt) {
        return point.size() == size && std::equal(anchor.begin(), anchor.end(), point.begin()) && point[lengthAt] == size;
    };
    if (is("_SM3_", 24, 6)) return EntryPointFacts{point[7], point[8], dword(point, 12), false};
    if (is("_SM_", 31, 5)) return EntryPointFacts{point[6], point[7], word(point, 22), true};
    return std::nullopt;
}

std::optional<SmbiosTables> readSmbios(TableFiles& files, const std::string& folder) {
    const std::string pointPath = folder + "/smbios_entry_point", tablePath = folder + "/DMI";
    const auto point = files.read(pointPath);
    auto table = point ? files.read(tablePath) : std::nullopt;
    if (!table) return std::nullopt;
    const auto facts = entryPointFacts(*point);
    if (!facts) {
        files.skip(pointPath, "no SMBIOS entry point of this size");
        return std::nullopt;
    }
    if (facts->exact ? table->size() != facts->tableLength : table->size() > facts->tableLength) {
        files.skip(tablePath, "size disagrees with the entry point");
        return std::nullopt;
    }
    // The 2.x point the view makes counts the table in 16 bits.
    if (table->size() > 0xFFFF) {
        files.skip(tablePath, "longer than a 2.x entry point can count");
        return std::nullopt;
    }
    SmbiosTables smbios;
    smbios.major = facts->major;
    smbios.minor = facts->minor;
    smbios.table = std::move(*table);
    MeasureSmbiosTable(smbios);
    return smbios;
}

// "SSDT10" after "SSDT9": the signature, then the instance number.
std::pair<std::string, int> instanceOrder(const std::string& name) {
    const auto digits = name.find_first_of("0123456789", 4);
    return {name.substr(0, std::min<std::size_t>(digits, name.size())),
            digits == std::string::npos ? 0 : std::atoi(name.c_str() + digits)};
}

std::optional<AcpiTables> readAcpi(TableFiles& files, const std::string& folder) {
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (entry.is_regular_file(ec)) names.push_back(entry.path().filename().string());
    if (names.empty()) return std::nullopt;
    std::sort(names.begin(), names.end(),
              [](const auto& a, const auto& b) { return instanceOrder(a) < instanceOrder(b); });
    AcpiTables acpi;
    for (const auto& name : names) {
        // The FACS has no standard header and is no RSDT entry.
        if (name == "FACS") continue;
        const std::string path = folder + "/" + name;
        auto bytes = files.read(path);
        if (files.refused()) return std::nullopt;
        if (!bytes) continue;
        if (bytes->size() < AcpiHeaderSize || dword(*bytes, 4) != bytes->size()) {
            files.skip(path, "header length disagrees with the file size");
            continue;
        }
        AcpiTable table{std::move(*bytes)};
        table.asWritten = true;
        if (name == "DSDT") acpi.dsdt = std::move(table);
        else acpi.tables.push_back(std::move(table));
    }
    if (acpi.tables.empty() && !acpi.dsdt) return std::nullopt;
    return acpi;
}

}  // namespace

FirmwareTables readSysfsFirmwareTables(const std::string& sysRoot, const Trace& trace) {
    TableFiles files(trace);
    FirmwareTables tables;
    tables.smbios = readSmbios(files, sysRoot + "/firmware/dmi/tables");
    if (!files.refused()) tables.acpi = readAcpi(files, sysRoot + "/firmware/acpi/tables");
    if (files.refused()) return {};
    return tables;
}

bool hasFirmwareAnchors(std::span<const std::uint8_t> segment) {
    bool smbios = false, acpi = false;
    const auto at = [&](std::size_t offset, std::string_view anchor) {
        return offset + anchor.size() <= segment.size() &&
               std::equal(anchor.begin(), anchor.end(), segment.begin() + static_cast<std::ptrdiff_t>(offset));
    };
    for (std::size_t offset = 0; offset < segment.size(); offset += 16) {
        smbios = smbios || at(offset, "_SM_");
        acpi = acpi || at(offset, "RSD PTR ");
    }
    return smbios && acpi;
}

FirmwareView::FirmwareView(const FirmwareTables& tables) {
    if (tables.smbios || tables.acpi) blocks_ = LayFirmwareTables(tables);
}

std::size_t FirmwareView::read(std::uint32_t address, std::span<std::uint8_t> buffer) const {
    for (const auto& block : blocks_) {
        if (address < block.address) continue;
        const std::size_t offset = address - block.address;
        if (offset + buffer.size() > block.bytes.size()) continue;
        std::copy_n(block.bytes.begin() + static_cast<std::ptrdiff_t>(offset), buffer.size(), buffer.begin());
        return buffer.size();
    }
    return 0;
}

}  // namespace platform::native
