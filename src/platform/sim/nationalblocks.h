#pragma once
// A National PC8736x Super I/O: a configuration space without entry key (the
// ports always answer) and the port blocks of its monitoring devices. Each
// block is 16 ports, decoded at its logical device's base (60h high, 61h
// low) while the device is active (30h bit 0). The voltage and temperature
// blocks select a channel at base + 9; base + 0Ah-0Fh are that channel's
// registers (a channel the block lacks reads FFh there). Every other block
// register is plain storage.
//
// Board section "nationalSuperIO":
//   [{"name": "pc87366", "configPort": "0x2E", "globals": {"0x20": "0xE9"},
//     "blocks": [
//       {"device": "0x09", "base": "0x0A00", "active": true,
//        "config": {"0xF0": "0x48", "0xF1": "0x02"},
//        "registers": {"0x07": "0x40", "0x08": "0x21"}},
//       {"device": "0x0D", "base": "0x0A20", "channels": 11,
//        "channelRegisters": {"1": {"0x0B": "0xC4"}}}]}]
// "active" defaults to true, "channels" to 0 (a plain block). "config"
// holds the device's own configuration registers beyond 30h/60h/61h.
// Register files: "<name>" the global registers, "<name>:09" a device's
// configuration registers, "<name>-block:09" a device's block.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/sim/boardreader.h"
#include "platform/sim/registerfile.h"
#include "platform/sim/superioconfig.h"

namespace platform::sim {

class Machine;

namespace national {
inline constexpr std::uint8_t FanDevice = 0x09;
inline constexpr std::uint8_t VoltageDevice = 0x0D;
inline constexpr std::uint8_t TemperatureDevice = 0x0E;
inline constexpr int BlockSize = 16;
inline constexpr std::uint8_t ChannelSelect = 0x09;
inline constexpr std::uint8_t FirstChannelRegister = 0x0A;
inline constexpr std::uint8_t LastChannelRegister = 0x0F;
}  // namespace national

// The configuration space at configPort (index) and configPort + 1 (data),
// registered as `name`.
std::shared_ptr<SuperIOConfig> installNationalConfig(Machine& machine, const std::string& name,
                                                     std::uint16_t configPort);

// A monitoring block of `channels` channels (0: plain storage only) for one
// logical device: sets the device's activation and base and decodes the
// block there. Registered as "<name>-block:<device>".
std::shared_ptr<RegisterFile> addNationalBlock(Machine& machine, SuperIOConfig& config, const std::string& name,
                                               std::uint8_t device, std::uint16_t base, bool active, int channels);

void loadNationalSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
