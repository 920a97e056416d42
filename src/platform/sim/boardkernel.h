#pragma once
// Board section "kernelDrivers": hardware a kernel driver of the simulated
// system holds, by port range or PCI function:
//   [{"driver": "nct6775", "ports": {"first": "0x295", "last": "0x296"}},
//    {"driver": "i801_smbus", "pci": {"bus": 0, "device": 31, "function": 3}}]

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

void loadKernelDriversSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
