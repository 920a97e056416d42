#pragma once
// The graphics-card maker's monitoring library on the simulated machine:
// temperatures, fan speeds and voltages (millivolts) by index, and entry
// points that a broken install may lack.

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "platform/sim/simlibraries.h"

namespace platform::sim {

struct CardLibraryConfig {
    std::uintptr_t handle = 0x10000000;
    // By index; an index not listed answers 0.
    std::map<std::uint32_t, std::int32_t> temperatures, fanSpeeds, voltages;
    std::set<std::string> absent;  // entry points the library lacks
};

SimLibrary makeCardLibrary(const CardLibraryConfig& config);

}  // namespace platform::sim
