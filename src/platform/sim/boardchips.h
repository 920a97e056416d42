#pragma once
// Board section "chips": chip models as data, each one register file placed
// behind any number of adaptors at once, so a chip reached on ISA and on
// SMBus (a twin) shares its state.
//   [{"name": "monitor", "banks": 2,
//     "bankSelect": {"register": "0x4E", "mask": "0x07", "shift": 0, "first": "0x00", "last": "0xFF"},
//     "byteSelect": {"register": "0x4E", "mask": "0x80"},
//     "registers": {...}, "bankRegisters": {"1": {...}},
//     "placements": [{"isa": "0x290"},                 index/data at base + 5 and + 6
//                    {"flat": "0x680", "size": 16},     a flat or runtime port block
//                    {"ecMailbox": "0x62", "busy": {"holdReads": 3}},  pages are banks;
//                                                       "busy": "stuck" never lets go
//                    {"protocolSMBus": "0x2D", "protocols": ["byteData", "wordData"]},
//                    {"protocolSMBus": "0x49", "addressFrom": {"register": "0x4A", "mask": "0x07",
//                       "shift": 0, "offset": "0x48", "chip": "other"}}]}]
// "addressFrom": a register whose writes move the slave (a monitor's own
// SMBus address, or the field of another chip that names this one's).
// Registers as in boardregisters.h; bankSelect's first..last is the banked
// range (default all), the select register shows in every bank.
// Machine::registerFile(name) finds the chip, for tests and for SMBus slaves
// that name it.

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

void loadChipsSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
