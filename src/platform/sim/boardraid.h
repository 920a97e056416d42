#pragma once
// Board section "raidControllers": the RAID makers' libraries the program
// carries, answering for controllers whose drives are the board's disks.
//   {"threeware": {"apiVersion": "2.1", "loads": true, "absent": [entry points],
//                  "failing": {"ThreewareGetDriveIdList": 5}, "controllerCount": 20,
//                  "error": {"result": 0, "flags": 1, "api": 2, "os": 3, "driver": 4, "controller": 5,
//                            "data": "...", "text": "..."},
//                  "controllers": [{"id": "0100000000000000", "driverVersion": "3.0", "architecture": 6,
//                                   "model": "...", "serial": "...", "firmware": "...", "bios": "...",
//                                   "ports": 4, "drives": 2, "units": 1, "activeDrives": 2, "maxUnits": 4,
//                                   "maxActiveUnits": 4, "maxActiveDrives": 4, "maxDrivesPerUnit": 4,
//                                   "memorySize": 64, "driveCount": 200,
//                                   "driveList": [{"id": "...", "disk": "<disk name>", "identifyValid": true,
//                                                  "interfaceValid": true, "smartFails": false}]}]},
//    "areca": {"loads": true, "absent": [...], "failing": {...}, "findStatus": 0, "dllVersion": 1,
//              "controllerCount": 1,
//              "controllers": [{"identify": "<128-byte text; model at 21-28>",
//                               "sysInfo": {"vendorName": "...", "ideChannels": 4, "localIP": "10.0.0.2",
//                                           "mac": "00-1b-4d-00-00-01", "raid6": true, ...},
//                               "fans": [2500], "voltages": [12, 5], "temperatures": [40],
//                               "fanCount": 60, "voltageCount": 9, "temperatureCount": 3,
//                               "slots": {"0": {"disk": "<disk name>", "infoStatus": 0, "smartStatus": 0}}}]}}
// The ids are 8 bytes in hex, in memory order. A slot not listed answers status 18.

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

void loadRaidControllersSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
