#pragma once
// Board sections for what sits beside the board rather than on it.
//   "cardLibrary": the graphics-card maker's monitoring library at its path,
//     {"path": "C:\\Program Files\\Card Tool\\anvmi.dll", "handle": "0x10000000",
//      "temperatures": {"1": 55}, "fanSpeeds": {"1": 2400}, "voltages": {"0": 1350},
//      "absent": ["V66MI_MMIO_GetMemoryClk"]}
//     values by index in degrees, RPM and millivolts; all but "path" optional.
//   "joysticks": positions by joystick number, {"0": {"x": 32767, "y": 100}},
//     axes 0 to 65535; optional "z" and "buttons". A number not listed has no joystick.

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

void loadCardLibrarySection(const BoardNode& section, Machine& machine);
void loadJoysticksSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
