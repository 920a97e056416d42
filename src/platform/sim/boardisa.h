#pragma once
// Board section "isaDevices": register files on the I/O ports, each behind
// an index/data pair or on a flat range of ports:
//   [{"name": "superio", "indexPort": "0x2E", "dataPort": "0x2F", "registers": {...}},
//    {"name": "ec", "basePort": "0x62", "size": 5, "registers": {...}}]
// Names are unique; Machine::registerFile(name) finds the file.

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

void loadIsaDevicesSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
