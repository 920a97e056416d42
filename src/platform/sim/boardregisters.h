#pragma once
// Register contents as boards give them, shared by every section that holds
// register files:
//   {"0x20": "0x52",
//    "0x41": {"value": "0x00", "writeMask": "0x0F", "clearOnRead": "0xFF"},
//    "0x27": {"script": ["0x28", "0x29"]},
//    "0x30": {"counter": {"start": "0x00", "step": 1}},
//    "0x31": {"perSecond": {"start": "0x00", "step": 1}},
//    "0x50": {"word": true, "value": "0x1234"},
//    "0x3B": {"writeTo": "0x2B"}, "0x60": {"mirrorOf": "0x20"},
//    "0x40": {"protectedBy": {"register": "0x4A", "mask": "0x80"}},
//    "0x42": {"fault": {"kind": "fail", "times": 2}},
//    "0x29": {"temperature": {"source": "cpu", "encoding": "signedByte"}},
//    "0x28": {"fanSpeed": {"fan": "cpu", "encoding": "count", "clock": 1350000, "divisor": 2,
//                          "fullScale": "0xFF"}},
//    "0x81": {"output": {"fan": "cpu", "scale": 255, "inverted": false}}}
// writeMask (default all ones) limits what writes change, "0x00" is
// read-only; clearOnRead (default "0x00") clears bits after a read. A
// register takes at most one value source (script, counter, perSecond,
// temperature, fanSpeed). Encodings: "signedByte", "halfDegree" (integer
// byte high, 80h the half), "count", "rpm", "sixtyRpm" (one count per 60 RPM); "byte": "high" or "low" puts one
// byte of the encoded value in a byte register. Fault kinds: "fail" (times,
// default always), "allOnes", "garbage". Outputs set their fan's duty from
// what the program writes (value / scale, or the rest of it when inverted).

#include <stdexcept>
#include <string>

#include "platform/sim/boardreader.h"
#include "platform/sim/registerfile.h"

namespace platform::sim {

class Machine;
class ThermalModel;

// Thermal bindings and per-second counters need the machine.
void readRegisters(const BoardNode& registers, RegisterFile& file, int bank, Machine& machine);

// A list of protocol names as an SMBus slave's protocol mask (smbussegment.h).
std::uint8_t readProtocolMask(const BoardNode& node);

// {"source", "encoding", "byte"}: a temperature of the thermal model, encoded.
ValueGenerator readTemperature(const BoardNode& node, ThermalModel& thermal);

// A device's "name": not empty, and no register file of the machine has it yet.
std::string readDeviceName(const BoardNode& device, const Machine& machine);

// A member's name read as a decimal number from first to last (a bank or a
// channel); anything else is the member's error "expected <what> as the name".
int readNumberName(const std::string& key, const BoardNode& member, int first, int last, const std::string& what);

// Runs `install`; ports already taken by another device are `node`'s error.
template <class Install>
void claimPortsFor(const BoardNode& node, Install&& install) {
    try {
        install();
    } catch (const std::invalid_argument& e) {
        node.fail(e.what());
    }
}

}  // namespace platform::sim
