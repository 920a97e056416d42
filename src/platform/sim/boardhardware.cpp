#include "platform/sim/boardhardware.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "platform/asciicase.h"
#include "platform/sim/boardcpus.h"
#include "platform/sim/machine.h"
#include "platform/sim/nforce2pll.h"
#include "platform/sim/simacpi.h"

namespace platform::sim {
namespace {

// Tables, ROMs and register windows fit; a typing slip does not eat the memory.
constexpr std::uint32_t MaxRegionSize = 0x1000000;

}  // namespace

std::uint64_t asHex64(const BoardNode& node) {
    const auto value = node.isString() ? parseHex64(node.asString()) : std::nullopt;
    if (!value) node.failExpected("a hex string of up to 16 digits like \"0xFEE00900\"");
    return *value;
}

// "5F 53 4D 5F": hex bytes separated by blanks.
std::vector<std::uint8_t> asByteString(const BoardNode& node) {
    const std::string text = node.asString();
    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;
    while (true) {
        at = text.find_first_not_of(" \t\r\n", at);
        if (at == std::string::npos) break;
        const std::size_t end = std::min(text.find_first_of(" \t\r\n", at), text.size());
        const std::string token = text.substr(at, end - at);
        const auto value = token.size() == 2 ? parseHex("0x" + token) : std::nullopt;
        if (!value) node.failExpected("hex bytes separated by blanks like \"5F 53 4D 5F\"");
        bytes.push_back(static_cast<std::uint8_t>(*value));
        at = end;
    }
    return bytes;
}

std::vector<std::uint8_t> asFileBytes(const BoardNode& node) {
    const std::string path = (std::filesystem::path(node.source()).parent_path() / node.asNonEmptyString()).string();
    std::ifstream in(path, std::ios::binary);
    if (!in) node.fail("cannot open the file " + path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {

std::vector<std::string> asStringList(const BoardNode& node) {
    std::vector<std::string> texts;
    for (const BoardNode& item : node.items()) texts.push_back(item.asString());
    return texts;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", stored as the system stores it.
std::array<std::uint8_t, 16> asGuid(const BoardNode& node) {
    static constexpr std::string_view shape = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    static constexpr int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    const std::string text = node.isString() ? node.asString() : std::string();
    bool ok = text.size() == shape.size();
    std::string digits;
    for (std::size_t i = 0; ok && i < shape.size(); ++i) {
        ok = shape[i] == 'x' ? std::isxdigit(static_cast<unsigned char>(text[i])) != 0 : text[i] == shape[i];
        if (shape[i] == 'x') digits += text[i];
    }
    if (!ok) node.failExpected("a GUID like \"{4D36E97D-E325-11CE-BFC1-08002BE10318}\"");
    std::array<std::uint8_t, 16> guid{};
    for (int i = 0; i < 16; ++i) guid[order[i]] = static_cast<std::uint8_t>(*parseHex("0x" + digits.substr(2 * i, 2)));
    return guid;
}

}  // namespace

void loadCpusSection(const BoardNode& section, Machine& machine) {
    const auto cpus = section.items();
    if (cpus.empty() || cpus.size() > 64) section.failExpected("a list of 1 to 64 processors");
    machine.cpus().setCount(static_cast<unsigned>(cpus.size()));
    for (std::size_t i = 0; i < cpus.size(); ++i) {
        cpus[i].expectFields({"msrs", "model", "apicId", "cpuid", "pinnable", "tscMHz"});
        auto& cpu = machine.cpus().cpu(static_cast<unsigned>(i));
        loadCpuEntry(cpus[i], machine, cpu);
        auto& msrs = cpu.msrs;
        if (auto node = cpus[i].optionalField("msrs")) {
            for (const auto& [index, value] : node->members()) {
                const auto number = parseHex(index);
                if (!number) value.fail("expected an MSR number like \"0x1B\" as the name");
                if (value.isString() && value.asString() == "unreadable") {
                    msrs.erase(*number);
                    continue;
                }
                msrs[*number] = asHex64(value);
            }
        }
    }
}

void loadPhysicalMemorySection(const BoardNode& section, Machine& machine) {
    for (const BoardNode& region : section.items()) {
        region.expectFields({"name", "base", "size", "bytes", "file", "readableBytes"});
        const std::uint32_t base = region.field("base").asHex(0xFFFFFFFF, "0xF0000");
        std::vector<std::uint8_t> bytes;
        if (auto node = region.optionalField("bytes")) bytes = asByteString(*node);
        if (auto node = region.optionalField("file")) bytes = asFileBytes(*node);
        if (auto node = region.optionalField("size")) {
            const std::uint32_t size = node->asHex(MaxRegionSize, "0x10000");
            if (size < bytes.size()) node->fail("expected a size that holds the bytes");
            bytes.resize(size);
        }
        std::string name;
        if (auto node = region.optionalField("name")) name = node->asString();
        installAt(region, [&] { machine.memory().addRegion(base, std::move(bytes), name); });
        if (auto node = region.optionalField("readableBytes"))
            machine.memory().limitReadable(base, static_cast<std::size_t>(node->asHex(MaxRegionSize, "0x100")));
    }
}

PciLocation asPciLocation(const BoardNode& node) {
    const std::string text = node.asString();
    unsigned bus = 0, device = 0, function = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%2x:%2x.%1x%c", &bus, &device, &function, &tail) != 3 || device > 31 ||
        function > 7)
        node.failExpected("a PCI location like \"00:1F.3\"");
    return {bus, device, function};
}

std::function<bool()> asConfigCondition(const BoardNode& node, Machine& machine) {
    node.expectFields({"pci", "register", "memory", "mask", "equals"});
    const std::uint32_t mask = static_cast<std::uint32_t>(node.field("mask").asHex(0xFFFFFFFF, "0x08"));
    const std::uint32_t equals =
        node.optionalField("equals") ? static_cast<std::uint32_t>(node.field("equals").asHex(0xFFFFFFFF, "0x00")) : 0;
    if (auto memory = node.optionalField("memory")) {
        const auto address = static_cast<std::uint32_t>(memory->asHex(0xFFFFFFFF, "0xFED1F418"));
        return [&machine, address, mask, equals] {
            std::array<std::uint8_t, 4> bytes{0xFF, 0xFF, 0xFF, 0xFF};
            machine.memory().read(address, bytes);
            const std::uint32_t value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t{bytes[3]} << 24;
            return (value & mask) == equals;
        };
    }
    const PciLocation other = asPciLocation(node.field("pci"));
    const auto reg = static_cast<unsigned>(node.field("register").asHex(0xFF, "0xF2"));
    return [&machine, other, reg, mask, equals] {
        const PciConfigSpace* config = machine.pci().function(other);
        return config && ((*config)[reg] & mask) == equals;
    };
}

void loadPciSection(const BoardNode& section, Machine& machine) {
    for (const BoardNode& function : section.items()) {
        function.expectFields({"bus", "device", "function", "vendorId", "deviceId", "registers", "visibleWhen"});
        const PciLocation at{static_cast<unsigned>(function.field("bus").asInteger(0, 255)),
                             static_cast<unsigned>(function.field("device").asInteger(0, 31)),
                             static_cast<unsigned>(function.field("function").asInteger(0, 7))};
        PciConfigSpace config{};
        const auto putWord = [&config](int offset, std::uint32_t value) {
            config[offset] = static_cast<std::uint8_t>(value);
            config[offset + 1] = static_cast<std::uint8_t>(value >> 8);
        };
        putWord(0, function.field("vendorId").asHex(0xFFFF, "0x8086"));
        putWord(2, function.field("deviceId").asHex(0xFFFF, "0x2930"));
        std::vector<std::pair<unsigned, std::uint8_t>> masks;
        if (auto registers = function.optionalField("registers")) {
            for (const auto& [offset, value] : registers->members()) {
                const auto number = parseHex(offset);
                if (!number || *number > 0xFF)
                    value.fail("expected a register number from \"0x00\" to \"0xFF\" as the name");
                if (value.isString()) {
                    config[*number] = static_cast<std::uint8_t>(value.asHex(0xFF, "0x01"));
                    continue;
                }
                value.expectFields({"value", "writeMask"});
                config[*number] = static_cast<std::uint8_t>(value.field("value").asHex(0xFF, "0x01"));
                if (auto mask = value.optionalField("writeMask"))
                    masks.emplace_back(*number, static_cast<std::uint8_t>(mask->asHex(0xFF, "0x00")));
            }
        }
        installAt(function, [&] {
            machine.pci().addFunction(at, config);
            for (const auto& [offset, mask] : masks) machine.pci().setWriteMask(at, offset, mask);
        });
        if (auto visible = function.optionalField("visibleWhen"))
            machine.pci().setVisibility(at, asConfigCondition(*visible, machine));
    }
}

void loadNForce2PllSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"pci"});
    const PciLocation at = asPciLocation(section.field("pci"));
    installAt(section.field("pci"), [&] {
        machine.pci().attachModel(at, std::make_shared<NForce2HostBridge>(machine.pci(), at));
    });
}

void loadDriverSection(const BoardNode& section, Machine& machine) {
    section.expectFields(
        {"installed", "major", "minor", "servicePath", "serviceManagerAccess", "giveIo", "kernelOsVersion"});
    SimDriverConfig& driver = machine.driver();
    if (auto node = section.optionalField("installed")) driver.installed = node->asBool();
    if (auto node = section.optionalField("major")) driver.major = static_cast<std::uint32_t>(node->asInteger(0, 999));
    if (auto node = section.optionalField("minor")) driver.minor = static_cast<std::uint32_t>(node->asInteger(0, 999));
    if (auto node = section.optionalField("servicePath")) driver.servicePath = node->asString();
    if (auto node = section.optionalField("serviceManagerAccess")) driver.serviceManagerAccess = node->asBool();
    if (auto node = section.optionalField("giveIo")) driver.giveIo = node->asBool();
    if (auto node = section.optionalField("kernelOsVersion")) {
        node->expectFields({"major", "minor", "build"});
        const auto number = [&](std::string_view key) {
            return static_cast<std::uint32_t>(node->field(key).asInteger(0, 0xFFFFFFFF));
        };
        driver.kernelOsVersion = drv::KernelOsVersionAnswer{number("major"), number("minor"), number("build")};
    }
}

void loadDellSmiSection(const BoardNode& section, Machine& machine) {
    struct Rule {
        std::array<std::optional<std::uint32_t>, 4> match, answer;
    };
    static constexpr std::string_view names[4] = {"eax", "ebx", "ecx", "edx"};
    const auto readRegisters = [](const BoardNode& node) {
        node.expectFields({"eax", "ebx", "ecx", "edx"});
        std::array<std::optional<std::uint32_t>, 4> registers;
        for (int i = 0; i < 4; ++i) {
            if (auto value = node.optionalField(names[i])) registers[i] = value->asHex(0xFFFFFFFF, "0xA3");
        }
        return registers;
    };
    std::vector<Rule> rules;
    for (const BoardNode& rule : section.items()) {
        rule.expectFields({"match", "answer"});
        rules.push_back({readRegisters(rule.field("match")), readRegisters(rule.field("answer"))});
    }
    machine.setDellSmiResponder([rules](const drv::SmiRegisters& in) -> std::optional<drv::SmiRegisters> {
        const std::uint32_t input[4] = {in.eax, in.ebx, in.ecx, in.edx};
        for (const Rule& rule : rules) {
            bool matches = true;
            for (int i = 0; i < 4; ++i) matches = matches && (!rule.match[i] || *rule.match[i] == input[i]);
            if (!matches) continue;
            std::uint32_t out[4];
            for (int i = 0; i < 4; ++i) out[i] = rule.answer[i].value_or(input[i]);
            return drv::SmiRegisters{out[0], out[1], out[2], out[3]};
        }
        return in;
    });
}

namespace {

// {"stamp": 1, "current": 3032, "passive": 3632, "critical": 3732, "active": [3532]}
drv::ThermalInformation asThermalInformation(const BoardNode& node) {
    node.expectFields({"stamp", "current", "passive", "critical", "active"});
    constexpr std::int64_t Max = 0xFFFFFFFF;
    drv::ThermalInformation info{};
    if (auto n = node.optionalField("stamp")) info.thermalStamp = static_cast<std::uint32_t>(n->asInteger(0, Max));
    info.currentTemperature = static_cast<std::uint32_t>(node.field("current").asInteger(0, Max));
    if (auto n = node.optionalField("passive")) info.passiveTripPoint = static_cast<std::uint32_t>(n->asInteger(0, Max));
    if (auto n = node.optionalField("critical"))
        info.criticalTripPoint = static_cast<std::uint32_t>(n->asInteger(0, Max));
    if (auto n = node.optionalField("active")) {
        const auto items = n->items();
        if (items.size() > 10) n->failExpected("at most 10 trip points");
        for (std::size_t i = 0; i < items.size(); ++i)
            info.activeTripPoint[i] = static_cast<std::uint32_t>(items[i].asInteger(0, Max));
        info.activeTripPointCount = static_cast<std::uint8_t>(items.size());
    }
    return info;
}

}  // namespace

void loadDevicesSection(const BoardNode& section, Machine& machine) {
    namespace p = devprop;
    static constexpr std::pair<std::string_view, std::uint32_t> strings[] = {
        {"friendlyName", p::FriendlyName},
        {"description", p::DeviceDesc},
        {"class", p::Class},
        {"classGuid", p::ClassGuid},
        {"driver", p::Driver},
        {"enumerator", p::EnumeratorName},
        {"location", p::LocationInformation},
        {"manufacturer", p::Mfg},
        {"physicalDeviceObject", p::PhysicalDeviceObjectName},
        {"service", p::Service},
        {"uiNumberFormat", p::UiNumberDescFormat},
    };
    static constexpr std::pair<std::string_view, std::uint32_t> multiStrings[] = {
        {"hardwareIds", p::HardwareId},    {"compatibleIds", p::CompatibleIds}, {"locationPaths", p::LocationPaths},
        {"lowerFilters", p::LowerFilters}, {"upperFilters", p::UpperFilters},
    };
    static constexpr std::pair<std::string_view, std::uint32_t> dwords[] = {{"address", p::Address},
                                                                            {"uiNumber", p::UiNumber}};
    for (const BoardNode& entry : section.items()) {
        entry.expectFields({"friendlyName",  "description",    "class",
                            "classGuid",     "driver",         "enumerator",
                            "location",      "manufacturer",   "physicalDeviceObject",
                            "service",       "uiNumberFormat", "hardwareIds",
                            "compatibleIds", "locationPaths",  "lowerFilters",
                            "upperFilters",  "address",        "uiNumber",
                            "busTypeGuid",   "present",        "hasInterface",
                            "rawThermal",    "thermalInformation", "acpiMethods",
                            "openError"});
        SimDevice device;
        for (const auto& [key, code] : strings) {
            if (auto node = entry.optionalField(key)) device.record.setString(code, node->asString());
        }
        for (const auto& [key, code] : multiStrings) {
            if (auto node = entry.optionalField(key)) device.record.setMultiString(code, asStringList(*node));
        }
        for (const auto& [key, code] : dwords) {
            if (auto node = entry.optionalField(key))
                device.record.setDword(code, static_cast<std::uint32_t>(node->asInteger(0, 0xFFFFFFFF)));
        }
        if (auto node = entry.optionalField("busTypeGuid")) device.record.setGuid(p::BusTypeGuid, asGuid(*node));
        if (auto node = entry.optionalField("present")) device.present = node->asBool();
        if (auto node = entry.optionalField("hasInterface")) device.hasInterface = node->asBool();
        if (auto node = entry.optionalField("rawThermal")) {
            const auto items = node->items();
            if (items.size() * 4 > drv::RawThermalMaxBytes) node->failExpected("at most 64 dwords");
            for (const BoardNode& item : items) device.rawThermal.push_back(item.asHex(0xFFFFFFFF, "0xBB8"));
        }
        if (auto node = entry.optionalField("thermalInformation")) {
            if (!node->isString() || node->asString() != "fails") device.thermalInformation = asThermalInformation(*node);
        }
        if (auto node = entry.optionalField("acpiMethods")) device.acpiMethods = loadAcpiMethods(*node);
        if (auto node = entry.optionalField("openError")) device.openError = node->asHex(0xFFFFFFFF, "0x5");
        machine.devices().push_back(std::move(device));
    }
}

void loadSystemRegistrySection(const BoardNode& section, Machine& machine) {
    MemorySystemRegistry& registry = machine.simSystemRegistry();
    for (const auto& [key, values] : section.members()) {
        if (normaliseRegistryKey(key).empty())
            values.fail("expected a key name such as \"\\\\HARDWARE\\\\DESCRIPTION\"");
        registry.createKey(key);
        for (const auto& [name, value] : values.members()) {
            if (value.isString())
                registry.setValue(key, name, value.asString());
            else if (value.isInteger())
                registry.setValue(key, name, static_cast<std::uint32_t>(value.asInteger(0, 0xFFFFFFFF)));
            else
                registry.setValue(key, name, MemorySystemRegistry::MultiString{asStringList(value)});
        }
    }
}

void loadIdentitySection(const BoardNode& section, Machine& machine) {
    section.expectFields({"computerName", "userName", "ipv4", "uptimeSeconds", "environment", "keyStates"});
    SimIdentity& identity = machine.identity();
    if (auto node = section.optionalField("computerName")) identity.computerName = node->asString();
    if (auto node = section.optionalField("userName")) identity.userName = node->asString();
    if (auto node = section.optionalField("ipv4")) {
        in_addr parsed{};
        if (::inet_pton(AF_INET, node->asString().c_str(), &parsed) != 1)
            node->failExpected("an IPv4 address like \"192.0.2.10\"");
        identity.ipv4 = node->asString();
    }
    if (auto node = section.optionalField("uptimeSeconds"))
        identity.uptimeAtStartMs = static_cast<std::uint64_t>(node->asInteger(0, 100LL * 365 * 86400)) * 1000;
    if (auto node = section.optionalField("environment")) {
        for (const auto& [name, value] : node->members()) identity.environment[asciiUpper(name)] = value.asString();
    }
    if (auto node = section.optionalField("keyStates")) {
        for (const auto& [key, value] : node->members()) {
            const auto number = parseHex(key);
            if (!number || *number > 0xFF) value.fail("expected a virtual key like \"0x14\" as the name");
            identity.keyStates[static_cast<std::uint8_t>(*number)] =
                static_cast<std::uint8_t>(value.asHex(0xFF, "0x01"));
        }
    }
}

}  // namespace platform::sim
