#include "platform/sim/nationalblocks.h"

#include <cstdio>

#include "platform/sim/boardregisters.h"
#include "platform/sim/flatportrange.h"
#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

std::string deviceSuffix(std::uint8_t device) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, ":%.2X", device);
    return suffix;
}

std::uint8_t readByte(const BoardNode& node) { return static_cast<std::uint8_t>(node.asHex(0xFF, "0x09")); }

void readBlock(const BoardNode& block, Machine& machine, SuperIOConfig& config, const std::string& name) {
    block.expectFields({"device", "base", "active", "channels", "config", "registers", "channelRegisters"});
    const std::uint8_t device = readByte(block.field("device"));
    const auto base = static_cast<std::uint16_t>(block.field("base").asHex(0xFFFF - national::BlockSize + 1, "0x0A00"));
    const bool active = !block.optionalField("active") || block.field("active").asBool();
    const int channels = block.optionalField("channels") ? static_cast<int>(block.field("channels").asInteger(0, 32)) : 0;
    if (machine.registerFile(name + "-block" + deviceSuffix(device)))
        block.field("device").failExpected("a device no other block of this chip has");
    if (auto registers = block.optionalField("config")) readRegisters(*registers, *config.device(device), 0, machine);
    std::shared_ptr<RegisterFile> file;
    installAt(block, [&] { file = addNationalBlock(machine, config, name, device, base, active, channels); });
    if (auto registers = block.optionalField("registers")) readRegisters(*registers, *file, 0, machine);
    if (auto perChannel = block.optionalField("channelRegisters")) {
        for (const auto& [key, registers] : perChannel->members()) {
            int channel = -1;
            try {
                channel = std::stoi(key);
            } catch (const std::exception&) {
            }
            if (channel < 0 || channel >= channels || std::to_string(channel) != key)
                registers.fail("expected a channel number below \"channels\" as the name");
            readRegisters(registers, *file, channel, machine);
        }
    }
}

}  // namespace

std::shared_ptr<SuperIOConfig> installNationalConfig(Machine& machine, const std::string& name,
                                                     std::uint16_t configPort) {
    auto config = SuperIOConfig::install(machine.ports(), configPort, static_cast<std::uint16_t>(configPort + 1), {},
                                         std::nullopt, name);
    machine.addRegisterFile(name, config->globals());
    return config;
}

std::shared_ptr<RegisterFile> addNationalBlock(Machine& machine, SuperIOConfig& config, const std::string& name,
                                               std::uint8_t device, std::uint16_t base, bool active, int channels) {
    auto file = std::make_shared<RegisterFile>(channels > 0 ? channels : 1);
    if (channels > 0)
        file->setBankSelector({national::ChannelSelect, 0x1F, 0, national::FirstChannelRegister,
                               national::LastChannelRegister});
    auto registers = config.device(device);
    registers->set(0x30, active ? 0x01 : 0x00);
    registers->set(0x60, static_cast<std::uint8_t>(base >> 8));
    registers->set(0x61, static_cast<std::uint8_t>(base & 0xFF));
    const std::string suffix = deviceSuffix(device);
    if (!machine.registerFile(name + suffix)) machine.addRegisterFile(name + suffix, registers);
    config.setDecode(device, [file](std::uint16_t at) {
        return std::make_shared<FlatPortRange>(file, at, national::BlockSize);
    }, national::BlockSize);
    machine.addRegisterFile(name + "-block" + suffix, file);
    return file;
}

void loadNationalSection(const BoardNode& section, Machine& machine) {
    for (const BoardNode& chip : section.items()) {
        chip.expectFields({"name", "configPort", "globals", "blocks"});
        const std::string name = readDeviceName(chip, machine);
        const auto port = static_cast<std::uint16_t>(chip.field("configPort").asHex(0xFFFE, "0x2E"));
        std::shared_ptr<SuperIOConfig> config;
        claimPortsFor(chip, [&] { config = installNationalConfig(machine, name, port); });
        if (auto globals = chip.optionalField("globals")) readRegisters(*globals, *config->globals(), 0, machine);
        if (auto blocks = chip.optionalField("blocks"))
            for (const BoardNode& block : blocks->items()) readBlock(block, machine, *config, name);
    }
}

}  // namespace platform::sim
