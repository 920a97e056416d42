#include "platform/sim/boardraid.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "platform/sim/machine.h"
#include "platform/sim/simraid.h"

namespace platform::sim {
namespace {

namespace tw = raidlibraries::threeware;
namespace arc = raidlibraries::areca;

tw::Id idFrom(const BoardNode& node) {
    const std::string text = node.asString();
    tw::Id id{};
    if (text.size() != 16 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        node.failExpected("16 hex digits, the id's 8 bytes in memory order");
    for (std::size_t i = 0; i < id.size(); ++i) id[i] = static_cast<std::uint8_t>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
    return id;
}

std::uint32_t u32(const BoardNode& node) { return static_cast<std::uint32_t>(node.asInteger(0, 0xFFFFFFFF)); }
std::int32_t status(const BoardNode& node) { return static_cast<std::int32_t>(node.asInteger(INT32_MIN, INT32_MAX)); }

SimRaidFaults faultsFrom(const BoardNode& section, std::span<const char* const> known) {
    SimRaidFaults faults;
    const auto entryName = [&](const BoardNode& node, const std::string& name) {
        if (std::find_if(known.begin(), known.end(), [&](const char* k) { return name == k; }) == known.end())
            node.failExpected("the name of one of the library's entry points");
        return name;
    };
    if (auto list = section.optionalField("absent"))
        for (const BoardNode& item : list->items()) faults.absent.insert(entryName(item, item.asString()));
    if (auto map = section.optionalField("failing"))
        for (const auto& [name, node] : map->members()) faults.failing[entryName(node, name)] = status(node);
    return faults;
}

// The program carries the library's image either way; the image loads unless "loads" is false.
template <class Config>
void carryLibrary(const BoardNode& node, Machine& machine, const char* block, const Config& config,
                  SimLibrary (*make)(const Config&, SimDisks&)) {
    const bool loads = !node.optionalField("loads") || node.field("loads").asBool();
    std::optional<SimLibrary> library;
    if (loads) library = make(config, machine.disks());
    machine.simLibraries().carry(block, simLibraryImage(block), std::move(library));
}

constexpr const char* ThreewareCounts[] = {"ports",           "drives",          "units",
                                           "activeDrives",    "maxUnits",        "maxActiveUnits",
                                           "maxActiveDrives", "maxDrivesPerUnit", "memorySize"};

SimThreewareController threewareController(const BoardNode& node) {
    node.expectFields({"id", "driverVersion", "architecture", "model", "serial", "firmware", "bios", "ports", "drives",
                       "units", "activeDrives", "maxUnits", "maxActiveUnits", "maxActiveDrives", "maxDrivesPerUnit",
                       "memorySize", "driveCount", "driveList"});
    SimThreewareController c;
    c.id = idFrom(node.field("id"));
    if (auto v = node.optionalField("driverVersion")) c.driverVersion = v->asString();
    if (auto v = node.optionalField("architecture")) c.architecture = u32(*v);
    const std::pair<const char*, std::optional<std::string>*> texts[] = {
        {"model", &c.model}, {"serial", &c.serial}, {"firmware", &c.firmware}, {"bios", &c.bios}};
    for (const auto& [key, target] : texts)
        if (auto v = node.optionalField(key)) *target = v->asString();
    for (std::size_t i = 0; i < c.counts.size(); ++i)
        if (auto v = node.optionalField(ThreewareCounts[i])) c.counts[i] = u32(*v);
    if (auto v = node.optionalField("driveCount")) c.reportedDriveCount = u32(*v);
    if (auto list = node.optionalField("driveList")) {
        for (const BoardNode& item : list->items()) {
            item.expectFields({"id", "disk", "identifyValid", "interfaceValid", "smartFails"});
            SimThreewareDrive d;
            d.id = idFrom(item.field("id"));
            d.disk = item.field("disk").asNonEmptyString();
            if (auto v = item.optionalField("identifyValid")) d.identifyValid = v->asBool();
            if (auto v = item.optionalField("interfaceValid")) d.interfaceValid = v->asBool();
            if (auto v = item.optionalField("smartFails")) d.smartFails = v->asBool();
            c.drives.push_back(d);
        }
    }
    return c;
}

void loadThreeware(const BoardNode& node, Machine& machine) {
    node.expectFields({"apiVersion", "loads", "absent", "failing", "controllerCount", "error", "controllers"});
    SimThreewareConfig config;
    config.faults = faultsFrom(node, tw::EntryPoints);
    if (auto v = node.optionalField("apiVersion")) config.apiVersion = v->asString();
    if (auto v = node.optionalField("controllerCount")) config.reportedControllerCount = u32(*v);
    if (auto e = node.optionalField("error")) {
        e->expectFields({"result", "flags", "api", "os", "driver", "controller", "data", "text"});
        if (auto v = e->optionalField("result")) config.error.result = status(*v);
        const char* codes[] = {"flags", "api", "os", "driver", "controller"};
        for (std::size_t i = 0; i < 5; ++i)
            if (auto v = e->optionalField(codes[i])) config.error.codes[i] = u32(*v);
        if (auto v = e->optionalField("data")) config.error.data = v->asString();
        if (auto v = e->optionalField("text")) config.error.text = v->asString();
    }
    if (auto list = node.optionalField("controllers"))
        for (const BoardNode& item : list->items()) config.controllers.push_back(threewareController(item));
    carryLibrary(node, machine, tw::ImageBlock, config, makeThreewareLibrary);
}

// The system-information reply: its fields by name, where they lie.
enum class Field : std::uint8_t { Text, Number, Address, Mac, Flag };
struct SysInfoField {
    const char* key;
    std::size_t offset, size;
    Field kind;
};
constexpr SysInfoField SysInfoFields[] = {
    {"vendorName", 0, 40, Field::Text},        {"serialNumber", 40, 16, Field::Text},
    {"firmwareVersion", 56, 16, Field::Text},  {"bootVersion", 72, 16, Field::Text},
    {"mbrVersion", 88, 16, Field::Text},       {"modelName", 104, 8, Field::Text},
    {"localIP", 112, 4, Field::Address},       {"currentIP", 116, 4, Field::Address},
    {"cpuClock", 124, 4, Field::Number},       {"iCache", 128, 4, Field::Number},
    {"dCache", 132, 4, Field::Number},         {"l2Cache", 136, 4, Field::Number},
    {"memorySize", 140, 4, Field::Number},     {"memoryClock", 144, 4, Field::Number},
    {"events", 148, 4, Field::Number},         {"mac", 152, 5, Field::Mac},
    {"dhcp", 158, 1, Field::Flag},             {"channelUsage", 160, 1, Field::Number},
    {"maxAtaMode", 161, 1, Field::Number},     {"ecc", 162, 1, Field::Flag},
    {"ideChannels", 174, 1, Field::Number},    {"scsiHostChannels", 175, 1, Field::Number},
    {"ideHostChannels", 176, 1, Field::Number}, {"volumeSets", 177, 1, Field::Number},
    {"raidSets", 178, 1, Field::Number},       {"ethernet", 179, 1, Field::Flag},
    {"raid6", 180, 1, Field::Flag},            {"snmp", 181, 1, Field::Flag},
    {"hostType", 188, 1, Field::Number},       {"targetType", 189, 1, Field::Number},
    {"inBand", 190, 1, Field::Flag},           {"inBandChannel", 191, 1, Field::Number},
    {"inBandDevice", 192, 1, Field::Number},
};

std::vector<std::uint8_t> separatedBytes(const BoardNode& node, std::size_t count, char separator, int base) {
    const std::string text = node.asString();
    std::vector<std::uint8_t> out;
    std::size_t at = 0;
    while (out.size() < count && at <= text.size()) {
        const std::size_t end = std::min(text.find(separator, at), text.size());
        try {
            const unsigned long v = std::stoul(text.substr(at, end - at), nullptr, base);
            if (v > 255) break;
            out.push_back(static_cast<std::uint8_t>(v));
        } catch (const std::exception&) {
            break;
        }
        at = end + 1;
    }
    if (out.size() != count || at <= text.size())
        node.failExpected(separator == '.' ? "an address such as \"10.0.0.2\"" : "five hex bytes such as \"00-1b-4d-00-01\"");
    return out;
}

std::array<std::uint8_t, 256> sysInfoFrom(const BoardNode& node) {
    std::array<std::uint8_t, 256> reply{};
    for (const auto& [key, value] : node.members()) {
        const auto* field = std::find_if(std::begin(SysInfoFields), std::end(SysInfoFields),
                                         [&name = key](const SysInfoField& f) { return name == f.key; });
        if (field == std::end(SysInfoFields)) value.fail("unknown system-information field");
        switch (field->kind) {
            case Field::Text: {
                const std::string text = value.asString();
                for (std::size_t i = 0; i < field->size; ++i)
                    reply[field->offset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
                break;
            }
            case Field::Number: {
                const auto v = static_cast<std::uint64_t>(value.asInteger(0, field->size == 1 ? 0xFF : 0xFFFFFFFF));
                for (std::size_t i = 0; i < field->size; ++i) reply[field->offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
                break;
            }
            case Field::Flag: reply[field->offset] = value.asBool() ? 1 : 0; break;
            case Field::Address:
            case Field::Mac: {
                const auto bytes = field->kind == Field::Address ? separatedBytes(value, 4, '.', 10)
                                                                 : separatedBytes(value, 5, '-', 16);
                std::copy(bytes.begin(), bytes.end(), reply.begin() + static_cast<std::ptrdiff_t>(field->offset));
                break;
            }
        }
    }
    return reply;
}

SimArecaController arecaController(const BoardNode& node) {
    node.expectFields({"identify", "sysInfo", "fans", "voltages", "temperatures", "fanCount", "voltageCount",
                       "temperatureCount", "slots"});
    SimArecaController c;
    if (auto v = node.optionalField("identify")) c.identify = v->asString();
    if (auto v = node.optionalField("sysInfo")) c.sysInfo = sysInfoFrom(*v);
    const char* groups[][2] = {{"fans", "fanCount"}, {"voltages", "voltageCount"}, {"temperatures", "temperatureCount"}};
    for (std::size_t g = 0; g < 3; ++g) {
        if (auto list = node.optionalField(groups[g][0]))
            for (const BoardNode& item : list->items()) c.monitor[g].push_back(static_cast<std::uint16_t>(item.asInteger(0, 0xFFFF)));
        if (auto v = node.optionalField(groups[g][1])) c.monitorCounts[g] = static_cast<std::uint16_t>(v->asInteger(0, 0xFFFF));
    }
    if (auto slots = node.optionalField("slots")) {
        for (const auto& [key, item] : slots->members()) {
            item.expectFields({"disk", "infoStatus", "smartStatus"});
            SimArecaDrive d;
            d.disk = item.field("disk").asNonEmptyString();
            if (auto v = item.optionalField("infoStatus")) d.infoStatus = status(*v);
            if (auto v = item.optionalField("smartStatus")) d.smartStatus = status(*v);
            int slot = 0;
            if (std::sscanf(key.c_str(), "%d", &slot) != 1 || slot < 0 || slot > 255) item.fail("slot numbers are 0 to 255");
            c.slots[slot] = d;
        }
    }
    return c;
}

void loadAreca(const BoardNode& node, Machine& machine) {
    node.expectFields({"loads", "absent", "failing", "findStatus", "dllVersion", "controllerCount", "controllers"});
    SimArecaConfig config;
    config.faults = faultsFrom(node, arc::EntryPoints);
    if (auto v = node.optionalField("findStatus")) config.findStatus = status(*v);
    if (auto v = node.optionalField("dllVersion")) config.dllVersion = status(*v);
    if (auto v = node.optionalField("controllerCount")) config.reportedControllerCount = status(*v);
    if (auto list = node.optionalField("controllers"))
        for (const BoardNode& item : list->items()) config.controllers.push_back(arecaController(item));
    carryLibrary(node, machine, arc::ImageBlock, config, makeArecaLibrary);
}

}  // namespace

void loadRaidControllersSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"threeware", "areca"});
    if (auto node = section.optionalField("threeware")) loadThreeware(*node, machine);
    if (auto node = section.optionalField("areca")) loadAreca(*node, machine);
}

}  // namespace platform::sim
