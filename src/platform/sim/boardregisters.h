#pragma once
// Register contents as boards give them, shared by every section that holds
// register files:
//   {"0x20": "0x52",
//    "0x41": {"value": "0x00", "writeMask": "0x0F", "clearOnRead": "0xFF"},
//    "0x27": {"script": ["0x28", "0x29"]},
//    "0x30": {"counter": {"start": "0x00", "step": 1}}}
// writeMask (default "0xFF") limits what writes change, "0x00" is read-only;
// clearOnRead (default "0x00") clears bits after a read. A register takes at
// most one of "script" and "counter".

#include "platform/sim/boardreader.h"
#include "platform/sim/registerfile.h"

namespace platform::sim {

void readRegisters(const BoardNode& registers, RegisterFile& file, int bank = 0);

}  // namespace platform::sim
