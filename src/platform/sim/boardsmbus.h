#pragma once
// Board section "smbus": SMBus host controllers of the chipset families, each
// with the slaves of its segment:
//   [{"name": "ich", "family": "Intel", "pci": "00:1F.3", "baseRegister": "0x20",
//     "semaphore": "free", "aux": "0x02", "floating": "0xFF",
//     "enabledWhen": [{"pci": "00:1F.3", "register": "0x40", "mask": "0x01", "equals": "0x01"}],
//     "timing": {"startReads": 0, "busyReads": 1, "stuck": "untilReset",
//                "stuckAfter": 0, "staleStatus": false, "statusCode": "0x11"},
//     "slaves": [{"address": "0x2D", "registers": {...}, "block": "01 02 03",
//                 "fault": {"kind": "nack", "times": 2}}]}]
// "family" is a host text: "Intel", "AtiIgp", "VIA", "Uli", "AMD", "nVidia",
// "nForce2", "Ali", "SiS5595", "SiSx30", "SiS968". The base comes from the
// named PCI function's register (a word, I/O bit cleared; "baseRegister",
// by default the family's usual one where it has one), else from "base".
// "enabledWhen" (one condition of "visibleWhen"'s syntax, or a list that must
// all hold) ties the host to its chipset's enable bits: while it does not
// hold, the host's ports read all ones. A slave is a chip of the "chips"
// section ("chip": its name) or a register file of its own: "registers" in the
// syntax of "isaDevices", "words": true for 16-bit registers sent high byte
// first, "image": "01 02 ..." for an EEPROM's bytes from 00h on, "fill": "0xFF"
// for an address that answers one value and ignores writes; "protocols" (e.g.
// ["quick"] for a write-only device) limits what it answers. "registerBlock"
// makes "block" a clock generator's register block: block writes store from
// byte 0 on, and {"countByte": "0x08"} names the byte that sets how many bytes
// a block read answers. Each slave's file is found as
// Machine::registerFile("<host>@<address>"), e.g. "ich@2D". A host that is
// not on the board leaves its ports unclaimed.

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

void loadSMBusSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
