#pragma once
// Board section "thermal": heat sources and the fans that cool them.
//   {"sources": [{"name": "cpu", "ambient": 30, "heating": 40, "timeConstant": 20}],
//    "fans": [{"name": "cpufan", "maxRpm": 2400, "duty": 0.5, "cools": {"cpu": 1.5}}]}
// ambient and heating in degrees Celsius, timeConstant in seconds; duty a
// fraction; "cools" says how strongly the fan cools each source at full duty.
// Registers bind to the model by name (see boardregisters.h).

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

void loadThermalSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
