#pragma once
// Joystick positions from the kernel's joystick interface (/dev/input/jsN).
// The device reports each axis from -32767 to 32767 and replays its state on
// every open, so one open and a drain of the queued events give the current
// position; axes are moved to the 0 to 65535 range the program expects.

#include <optional>
#include <string>

#include "platform/platform.h"

namespace platform::native {

// nullopt when the joystick does not open.
std::optional<JoystickPosition> readJoystick(const std::string& devRoot, unsigned id);

}  // namespace platform::native
