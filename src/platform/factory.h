#pragma once
#include <memory>

#include "platform/platform.h"

namespace platform {

// The platform the program runs on. When CALDAVOR_MACHINE names a board
// file, the simulated machine it describes, on real time unless the board's
// clock says virtual, with the executable's folder as program folder;
// otherwise the real machine. A board that cannot be used throws
// sim::BoardError, whose message says where and why.
std::unique_ptr<Platform> createFromEnvironment();

}  // namespace platform
