#pragma once
// The board section of the simulated disks.

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

// {"<name>": {"model": "...", "firmware": "...", "serial": "...",
//   "swappedStrings": false, "sectors": 976773168, "lba48": true,
//   "geometry": {"cylinders": 60801, "tracksPerCylinder": 255, "sectorsPerTrack": 63, "bytesPerSector": 512},
//   "identifyWords": {"80": "0x01F0"}, "identifyBytes": "40 00 ...",
//   "revision": 16, "attributes": [{"id": 194, "flags": "0x0022", "value": 100, "worst": 100, "raw": "0x28"}],
//   "attributeChecksum": "auto" | "bad" | "all zero", "thresholds": [51, 21], "thresholdChecksum": ...,
//   "temperature": 38 | [38, 39, 40], "refuse": ["thresholds", "enable"],
//   "logs": {"0x01": "01 00 ..."}, "selfTestSeconds": [120, 3600, 300],
//   "fault": {"kind": "fail" | "vanish" | "timeout" | "garbage", "times": 2},
//   "physical": {"drive": 0, "smartCodes": true, "ataPassThrough": true, "driverError": "0x01",
//                "ideError": "0x04", "bridge": "SAT" | "SunPlus" | "Cypress" | "IoData" | "Logitech" | "JMicron" | "none",
//                "fault": {...}},
//   "scsi": {"port": 2, "target": 0, "fault": {...}},
//   "threeWare": {"drive": 1, "port": 0, "controllerId": "0x1002"},
//   "csmi": {"port": 0, "phy": 2, "sasAddress": "0x0100000000B0A50", "connectionStatus": 0,
//            "statusFisError": false}}}
// A "fault" on a path holds for that device path, whichever disk is behind it.
void loadDisksSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
