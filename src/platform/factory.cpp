#include "platform/factory.h"

#include <cstdlib>

#include "platform/linux/nativeplatform.h"
#include "platform/sim/machine.h"

namespace platform {

std::unique_ptr<Platform> createFromEnvironment() {
    const char* board = std::getenv("CALDAVOR_MACHINE");
    if (!board || !*board) return std::make_unique<native::NativePlatform>();
    auto machine = std::make_unique<sim::Machine>(false);
    machine->setProgramDir(native::executableDir());
    machine->loadFromFile(board);
    // The program runs for weeks; only tests look at the bus traffic.
    machine->setRecording(false);
    return machine;
}

}  // namespace platform
