#pragma once
// Board sections for I2C buses below the SMBus host level:
//   "crtc": {"registers": {...}, "buses": [{"statusIndex": "0x3E", "slaves": [...]}]}
//       a graphics card's CRTC at 3D4h/3D5h with two-wire buses behind the
//       given status registers (the control register is the next index);
//   "accessBus": [{"base": "0x6000", "slaves": [...]}]
//       Geode ACCESS.bus controllers (the board gives MSR 5140000Bh itself);
//   "mchSpd": [{"bus": 0, "device": 0, "function": 0, "commandRegister": "0x78",
//               "statusRegister": "0x74", "busyReads": 2, "slaves": [...]}]
//       the SPD path of a memory controller, on a function of the "pci" section.
// Slaves: {"address": "0x50", "registers": {...}, "fault": "nack"}.

#include <memory>

#include "platform/sim/boardreader.h"

namespace platform::sim {

class I2CSlaves;
class Machine;

// A "slaves" list as the slaves of one bus.
std::shared_ptr<I2CSlaves> readI2CSlaves(const BoardNode& node, Machine& machine);

void loadCrtcSection(const BoardNode& section, Machine& machine);
void loadAccessBusSection(const BoardNode& section, Machine& machine);
void loadMchSpdSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
