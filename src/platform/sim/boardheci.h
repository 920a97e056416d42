#pragma once
// Board section "heci": the management-engine interface and its QST firmware.
//   {"version": "6.0.0.1296", "maxMessageLength": 512,
//    "qst": {"generation": 2,
//            "temperatures": [{"index": 0, "usage": 1, "value": {"thermal": "cpu"},
//                              "thresholds": [50, 70, 85, 95]}],
//            "fans": [{"index": 0, "usage": 1, "value": {"thermalFan": "cpufan"}}],
//            "voltages": [{"index": 1, "usage": 1, "value": 12.1}],
//            "controllers": [{"index": 1, "usage": 1, "duty": 40, "software": false,
//                             "thermalFan": "cpufan"}]}}
// Values and thresholds in degrees Celsius, RPM and volts; duty in percent.
// Optional: "present", "openError", "notReadyOpens", "versionBytes" (how many
// of the five the device answers), "unreadableInterfaces", "connectAnswerSize",
// "controlHangs"; per monitor "enabled", "relative", "status"; per controller
// "enabled", "state" (bits 2:1 of its flags); "byte13Field", "tempResponse".
// Without "qst" the firmware has no QST client. Faults are added by tests.

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

void loadHeciSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
