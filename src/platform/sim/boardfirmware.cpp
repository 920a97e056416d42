#include "platform/sim/boardfirmware.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/firmwaretables.h"
#include "platform/sim/boardhardware.h"
#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

enum class FieldKind : std::uint8_t { Text, Byte, Word, DWord, Uuid };

struct FieldSpec {
    const char* name;
    std::uint8_t offset;
    FieldKind kind;
};

// The named fields of the structure types a board writes by name, with their
// offsets in the SMBIOS layouts; other bytes stay as the defaults give them.
struct StructureSpec {
    std::uint8_t type;
    std::uint8_t length;
    std::vector<FieldSpec> fields;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> defaults;  // offset, byte
};

const std::array<StructureSpec, 5>& structureSpecs() {
    using K = FieldKind;
    static const std::array<StructureSpec, 5> specs{{
        {0, 0x18,
         {{"vendor", 4, K::Text}, {"version", 5, K::Text}, {"releaseDate", 8, K::Text}, {"romSize", 9, K::Byte},
          {"biosMajor", 20, K::Byte}, {"biosMinor", 21, K::Byte}},
         {{6, 0x00}, {7, 0xF0}, {10, 0x80}, {20, 0xFF}, {21, 0xFF}, {22, 0xFF}, {23, 0xFF}}},
        {1, 0x1B,
         {{"manufacturer", 4, K::Text}, {"product", 5, K::Text}, {"version", 6, K::Text}, {"serial", 7, K::Text},
          {"uuid", 8, K::Uuid}, {"sku", 25, K::Text}, {"family", 26, K::Text}},
         {{24, 0x06}}},
        {2, 0x0F,
         {{"manufacturer", 4, K::Text}, {"product", 5, K::Text}, {"version", 6, K::Text}, {"serial", 7, K::Text},
          {"assetTag", 8, K::Text}, {"location", 10, K::Text}, {"boardType", 13, K::Byte}},
         {{9, 0x01}, {13, 0x0A}}},
        {4, 0x2A,
         {{"socket", 4, K::Text}, {"family", 6, K::Byte}, {"manufacturer", 7, K::Text}, {"processorId", 8, K::DWord},
          {"version", 16, K::Text}, {"externalClock", 18, K::Word}, {"maxSpeed", 20, K::Word},
          {"currentSpeed", 22, K::Word}, {"serial", 32, K::Text}, {"partNumber", 34, K::Text},
          {"coreCount", 35, K::Byte}, {"threadCount", 37, K::Byte}},
         {{5, 0x03}, {24, 0x41}, {25, 0x01}}},
        {17, 0x1C,
         {{"arrayHandle", 4, K::Word}, {"totalWidth", 8, K::Word}, {"dataWidth", 10, K::Word}, {"size", 12, K::Word},
          {"formFactor", 14, K::Byte}, {"locator", 16, K::Text}, {"bankLocator", 17, K::Text},
          {"memoryType", 18, K::Byte}, {"speed", 21, K::Word}, {"manufacturer", 23, K::Text}, {"serial", 24, K::Text},
          {"partNumber", 26, K::Text}, {"rank", 27, K::Byte}},
         {{6, 0xFE}, {7, 0xFF}, {14, 0x09}}},
    }};
    return specs;
}

const StructureSpec* specOf(std::uint8_t type) {
    for (const auto& spec : structureSpecs())
        if (spec.type == type) return &spec;
    return nullptr;
}

void putLE(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t v, int width) {
    for (int i = 0; i < width && at + i < b.size(); ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::array<std::uint8_t, 16> asUuid(const BoardNode& node) {
    std::string digits;
    for (char c : node.asString())
        if (c != '-') digits += c;
    std::array<std::uint8_t, 16> uuid{};
    if (digits.size() != 32) node.failExpected("a UUID like \"03000200-0400-0500-0006-000700080009\"");
    for (int i = 0; i < 16; ++i) {
        const auto v = parseHex("0x" + digits.substr(2 * i, 2));
        if (!v) node.failExpected("a UUID of hex digits");
        uuid[i] = static_cast<std::uint8_t>(*v);
    }
    // The first three fields are stored little-endian.
    std::swap(uuid[0], uuid[3]);
    std::swap(uuid[1], uuid[2]);
    std::swap(uuid[4], uuid[5]);
    std::swap(uuid[6], uuid[7]);
    return uuid;
}

// A text joins the string set (an empty text is string 0); a number is
// written as the string number itself.
std::uint8_t stringNumber(const BoardNode& node, std::vector<std::string>& strings) {
    if (node.isInteger()) return static_cast<std::uint8_t>(node.asInteger(0, 255));
    const std::string text = node.asString();
    if (text.empty()) return 0;
    strings.push_back(text);
    return static_cast<std::uint8_t>(strings.size());
}

std::vector<std::uint8_t> structureBytes(const BoardNode& node, std::uint16_t defaultHandle) {
    const auto type = static_cast<std::uint8_t>(node.field("type").asInteger(0, 255));
    const StructureSpec* spec = specOf(type);
    std::vector<std::string> strings;
    std::vector<std::uint8_t> bytes;
    if (spec) {
        std::vector<std::string_view> allowed{"type", "handle", "length"};
        for (const auto& f : spec->fields) allowed.push_back(f.name);
        for (const auto& [name, value] : node.members()) {
            if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
                value.fail("unknown field of a type " + std::to_string(type) + " structure");
        }
        bytes.assign(spec->length, 0);
        for (const auto& [offset, value] : spec->defaults) bytes[offset] = value;
        for (const auto& f : spec->fields) {
            const auto value = node.optionalField(f.name);
            if (!value) continue;
            switch (f.kind) {
            case FieldKind::Text: bytes[f.offset] = stringNumber(*value, strings); break;
            case FieldKind::Byte: bytes[f.offset] = static_cast<std::uint8_t>(value->asInteger(0, 0xFF)); break;
            case FieldKind::Word: putLE(bytes, f.offset, static_cast<std::uint64_t>(value->asInteger(0, 0xFFFF)), 2); break;
            case FieldKind::DWord: putLE(bytes, f.offset, value->asHex(0xFFFFFFFF, "0x000106A5"), 4); break;
            case FieldKind::Uuid: {
                const auto uuid = asUuid(*value);
                std::copy(uuid.begin(), uuid.end(), bytes.begin() + f.offset);
                break;
            }
            }
        }
    } else {
        node.expectFields({"type", "handle", "length", "data", "strings"});
        bytes.assign(4, 0);
        if (auto data = node.optionalField("data")) {
            const auto formatted = asByteString(*data);
            bytes.insert(bytes.end(), formatted.begin(), formatted.end());
        }
        if (auto list = node.optionalField("strings"))
            for (const auto& s : list->items()) strings.push_back(s.asNonEmptyString());
    }
    bytes[0] = type;
    bytes[1] = static_cast<std::uint8_t>(bytes.size());
    if (auto length = node.optionalField("length")) bytes[1] = static_cast<std::uint8_t>(length->asInteger(0, 255));
    const std::uint16_t handle = node.optionalField("handle")
                                     ? static_cast<std::uint16_t>(node.field("handle").asHex(0xFFFF, "0x0002"))
                                     : defaultHandle;
    putLE(bytes, 2, handle, 2);
    for (const auto& s : strings) {
        bytes.insert(bytes.end(), s.begin(), s.end());
        bytes.push_back(0);
    }
    if (strings.empty()) bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

std::pair<std::uint8_t, std::uint8_t> asVersion(const BoardNode& node) {
    unsigned major = 0, minor = 0;
    char tail = 0;
    if (std::sscanf(node.asString().c_str(), "%u.%u%c", &major, &minor, &tail) != 2 || major > 255 || minor > 255)
        node.failExpected("a version like \"2.7\"");
    return {static_cast<std::uint8_t>(major), static_cast<std::uint8_t>(minor)};
}

std::vector<std::uint8_t> tableBytes(const BoardNode& node) {
    if (auto bytes = node.optionalField("bytes")) return asByteString(*bytes);
    return asFileBytes(node.field("file"));
}

AcpiTable acpiTable(const BoardNode& node) {
    node.expectFields({"signature", "size", "bytes", "file", "badChecksum"});
    AcpiTable table;
    if (auto signature = node.optionalField("signature")) {
        const std::string text = signature->asString();
        if (text.size() != 4) signature->failExpected("a 4-character signature like \"FACP\"");
        const auto size = node.optionalField("size") ? node.field("size").asInteger(36, 0x1000000) : 36;
        table = MakeAcpiTable(text, static_cast<std::uint32_t>(size));
    } else {
        table.bytes = tableBytes(node);
        if (table.bytes.size() < AcpiHeaderSize) node.fail("expected a table of at least 36 bytes");
    }
    if (auto bad = node.optionalField("badChecksum")) table.badChecksum = bad->asBool();
    return table;
}

}  // namespace

void loadSmbiosSection(const BoardNode& section, Machine& machine) {
    section.expectFields(
        {"version", "entryPoint", "tableAddress", "tableLength", "secondAnchor", "endOfTable", "structures"});
    SmbiosTables smbios;
    if (auto v = section.optionalField("version")) std::tie(smbios.major, smbios.minor) = asVersion(*v);
    std::uint16_t handle = 0;
    for (const auto& s : section.field("structures").items()) {
        const auto bytes = structureBytes(s, handle++);
        smbios.table.insert(smbios.table.end(), bytes.begin(), bytes.end());
    }
    const auto end = section.optionalField("endOfTable");
    if (!end || end->asBool()) smbios.table.insert(smbios.table.end(), {127, 4, 0xFF, 0xFE, 0, 0});
    MeasureSmbiosTable(smbios);
    if (auto n = section.optionalField("entryPoint")) smbios.entryAddress = n->asHex(0xFFFFF, "0xF0000");
    if (auto n = section.optionalField("secondAnchor")) smbios.secondAnchor = n->asHex(0xFFFFF, "0xF8000");
    if (auto n = section.optionalField("tableAddress")) smbios.tableAddress = n->asHex(0xFFFFFFFF, "0x100000");
    if (auto n = section.optionalField("tableLength"))
        smbios.tableLength = static_cast<std::uint16_t>(n->asHex(0xFFFF, "0x0200"));
    FirmwareTables tables = machine.firmwareTables();
    tables.smbios = std::move(smbios);
    installAt(section, [&] { machine.setFirmwareTables(std::move(tables)); });
}

void loadAcpiTablesSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"rsdp", "dsdt", "tables"});
    AcpiTables acpi;
    if (auto n = section.optionalField("rsdp")) acpi.rsdpAddress = n->asHex(0xFFFFF, "0xF0020");
    if (auto n = section.optionalField("dsdt")) acpi.dsdt = acpiTable(*n);
    for (const auto& t : section.field("tables").items()) acpi.tables.push_back(acpiTable(t));
    FirmwareTables tables = machine.firmwareTables();
    tables.acpi = std::move(acpi);
    installAt(section, [&] { machine.setFirmwareTables(std::move(tables)); });
}

}  // namespace platform::sim
