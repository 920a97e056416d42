#include "platform/sim/boardsuperio.h"

#include <cstdio>

#include "platform/sim/boardregisters.h"
#include "platform/sim/ecmailbox.h"
#include "platform/sim/flatportrange.h"
#include "platform/sim/indexdataport.h"
#include "platform/sim/machine.h"
#include "platform/sim/superioconfig.h"

namespace platform::sim {
namespace {

std::uint8_t readByte(const BoardNode& node) { return static_cast<std::uint8_t>(node.asHex(0xFF, "0x87")); }

RegisterBit readBit(const BoardNode& node) {
    node.expectFields({"register", "mask"});
    return {readByte(node.field("register")), readByte(node.field("mask"))};
}

void readDecode(const BoardNode& decode, SuperIOConfig& config, Machine& machine) {
    decode.expectFields({"device", "chip", "window", "size"});
    const std::uint8_t device = readByte(decode.field("device"));
    const BoardNode chipNode = decode.field("chip");
    auto file = machine.registerFile(chipNode.asNonEmptyString());
    if (!file) chipNode.failExpected("the name of a chip of the \"chips\" section");
    const BoardNode windowNode = decode.field("window");
    const std::string window = windowNode.asString();
    if (window == "isa") {
        decode.expectFields({"device", "chip", "window"});
        config.setDecode(device, [file](std::uint16_t base) {
            return std::make_shared<IndexDataPort>(file, static_cast<std::uint16_t>(base + 5),
                                                   static_cast<std::uint16_t>(base + 6));
        }, 8);
    } else if (window == "flat") {
        const int size = static_cast<int>(decode.field("size").asInteger(1, RegisterFile::registersPerBank));
        config.setDecode(device, [file, size](std::uint16_t base) {
            return std::make_shared<FlatPortRange>(file, base, size);
        }, size);
    } else if (window == "ecMailbox") {
        decode.expectFields({"device", "chip", "window"});
        config.setDecode(device, [file](std::uint16_t base) {
            return std::make_shared<ECMailbox>(file, static_cast<std::uint16_t>(base + 4));
        }, 8);
    } else {
        windowNode.failExpected("\"isa\", \"flat\" or \"ecMailbox\"");
    }
}

}  // namespace

void loadSuperIOSection(const BoardNode& section, Machine& machine) {
    for (const BoardNode& chip : section.items()) {
        chip.expectFields({"name", "indexPort", "dataPort", "enterKey", "exitKey", "exitRegister", "startsUnlocked",
                           "lock", "globals", "devices", "decodes"});
        const std::string name = readDeviceName(chip, machine);
        const auto index = static_cast<std::uint16_t>(chip.field("indexPort").asHex(0xFFFF, "0x2E"));
        const auto data = static_cast<std::uint16_t>(chip.field("dataPort").asHex(0xFFFF, "0x2F"));
        if (index == data) chip.field("dataPort").failExpected("a port other than the index port");
        std::vector<std::uint8_t> enterKey;
        for (const BoardNode& key : chip.field("enterKey").items()) enterKey.push_back(readByte(key));
        std::optional<std::uint8_t> exitKey;
        if (auto exit = chip.optionalField("exitKey")) exitKey = readByte(*exit);

        std::shared_ptr<SuperIOConfig> config;
        claimPortsFor(chip, [&] { config = SuperIOConfig::install(machine.ports(), index, data, enterKey, exitKey, name); });
        if (auto open = chip.optionalField("startsUnlocked")) config->setConfigMode(open->asBool());
        if (auto lock = chip.optionalField("lock")) config->setLock(readBit(*lock));
        if (auto exit = chip.optionalField("exitRegister")) config->setExitRegister(readBit(*exit));
        if (auto globals = chip.optionalField("globals")) readRegisters(*globals, *config->globals(), 0, machine);
        machine.addRegisterFile(name, config->globals());
        if (auto devices = chip.optionalField("devices")) {
            for (const auto& [key, registers] : devices->members()) {
                const auto number = parseHex(key);
                if (!number || *number > 0xFF) registers.fail("expected a device number like \"0x0B\" as the name");
                auto file = config->device(static_cast<std::uint8_t>(*number));
                readRegisters(registers, *file, 0, machine);
                char suffix[8];
                std::snprintf(suffix, sizeof suffix, ":%.2X", *number);
                machine.addRegisterFile(name + suffix, file);
            }
        }
        if (auto decodes = chip.optionalField("decodes")) {
            for (const BoardNode& decode : decodes->items()) readDecode(decode, *config, machine);
        }
    }
}

}  // namespace platform::sim
