#pragma once
// Board section "uguru": the uGuru microcontroller at ports E0h and E4h
// (uguru.h), its banks as register files:
//   {"busyReads": 2,
//    "banks": {"9": {"0x0A": "0x00", "0x0B": "0x19"},
//              "8": {"0x98": {"temperature": {"source": "cpu", "encoding": "signedByte"}},
//                    "0xA0": {"fanSpeed": {"fan": "cpu", "encoding": "sixtyRpm"}}}}}
// Banks are numbered 0 to 15 and hold registers as every register file does
// (boardregisters.h). Faults: "ackOnRead" (the synchronisation's data read
// that answers ACh, 0 for none), "busyStuck", "neverReady", "replyLimit"
// (bytes after which every reply stops). The banks are the register file
// "uguru".

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

void loadUGuruSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
