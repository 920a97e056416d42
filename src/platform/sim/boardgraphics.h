#pragma once
// The "graphics" board section: the graphics drivers' libraries and the
// memory-mapped side of NVIDIA cards.

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

void loadGraphicsSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
