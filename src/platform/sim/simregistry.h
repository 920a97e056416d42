#pragma once
// The simulated machine's HKEY_CURRENT_USER; the board file may preset it.

#include "platform/memoryregistry.h"

namespace platform::sim {

using SimRegistry = MemoryRegistry;
using platform::normaliseRegistryKey;

}  // namespace platform::sim
