#pragma once
// Board section "superIO": configuration spaces of Super I/O chips.
//   [{"name": "superio", "indexPort": "0x2E", "dataPort": "0x2F",
//     "enterKey": ["0x87", "0x87"], "exitKey": "0xAA", "startsUnlocked": false,
//     "exitRegister": {"register": "0x02", "mask": "0x02"},
//     "lock": {"register": "0x2F", "mask": "0x01"},
//     "globals": {"0x20": {"value": "0x52", "writeMask": "0x00"}},
//     "devices": {"0x0B": {"0x30": "0x01", "0x60": "0x02", "0x61": "0x90"}},
//     "decodes": [{"device": "0x0B", "chip": "monitor", "window": "isa"}]}]
// An empty enterKey leaves the space always open (National chips have no
// key); without exitKey or exitRegister it never closes. The ITE key is
// ["0x87", "0x01", "0x55", "0x55"] with the exitRegister above; SMSC chips
// take ["0x55", "0x55"] and "0xAA". Two chips on one port pair are refused.
// Registers that do not take a write are register attributes: a monitor
// activation that cannot be switched off is "0x30": {"value": "0x01",
// "writeMask": "0xFE"}, a base that does not move "0x60"/"0x61" with
// "writeMask": "0x00". Machine::registerFile finds the globals by the name and each
// device as "<name>:<number>" ("superio:0B"). A decode puts a chip of the
// "chips" section at the device's base while the device is active: "isa"
// (8 ports, index/data at base + 5 and + 6), "flat" with a "size", or
// "ecMailbox" (an embedded controller's mailbox at base + 4, its pages the
// chip's banks).

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

void loadSuperIOSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
