#pragma once
// The graphics drivers' libraries on the simulated machine, answering from
// one shared description that tests may change between calls: the GPU
// library's GPUs and displays, the control panel's monitors, and the display
// library's adapters and cards.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/i2cwire.h"
#include "platform/sim/simlibraries.h"

namespace platform::sim {

// How one function of a library misbehaves.
struct SimCallFault {
    bool raises = false;     // the call throws
    std::int32_t status = 0;  // non-zero: the call answers it and does nothing
};

struct SimNvThermalSensor {
    std::uint32_t controller = 1, defaultMin = 0, defaultMax = 127, current = 0, target = 1;
};
struct SimNvCooler {
    std::uint32_t type = 1, controller = 2, defaultMin = 0, defaultMax = 100, currentMin = 30, currentMax = 100,
                  currentLevel = 50, defaultPolicy = 32, currentPolicy = 32, target = 1;
};
struct SimNvVoltageDomain {
    std::uint32_t id = 0;
    std::vector<std::uint32_t> voltages;
};
struct SimNvGpu {
    std::uint32_t handle = 0;  // renewed at every enumeration (handle + enumeration)
    std::string name;
    std::uint32_t deviceId = 0, subSystemId = 0, revisionId = 0, extDeviceId = 0;
    std::uint32_t bus = 0, slot = 0;
    std::vector<SimNvThermalSensor> sensors;
    std::uint32_t tach = 0, ramType = 0;
    std::vector<SimNvCooler> coolers;
    std::vector<SimNvVoltageDomain> voltageDomains;
    // Counts the library claims beyond its lists (a faulty driver); 0 for the list's size.
    std::uint32_t claimedSensors = 0, claimedCoolers = 0;
    // The slaves the I2C functions reach, by port (the card's line pairs).
    std::map<std::uint32_t, std::shared_ptr<I2CSlaves>> i2c;
};
struct SimNvDisplay {
    std::uint32_t handle = 0;
    std::uint32_t dedicated = 0, available = 0, system = 0, shared = 0, currentAvailable = 0;
};
struct SimNvApi {
    bool present = false;
    std::int32_t initStatus = 0;
    std::uint32_t driverVersion = 0, buildChangeList = 0;
    std::string branch, interfaceVersion = "NVidia Complete Version 1.10";
    std::vector<SimNvGpu> gpus;
    std::vector<SimNvDisplay> displays, unattached;
    std::set<std::string> missing;              // function names the library does not know
    std::map<std::string, SimCallFault> faults;  // by function name
    std::uint32_t claimedGpus = 0;               // a faulty count beyond the list; 0 for its size
    int enumerations = 0;
};

struct SimNvCpl {
    bool present = false;
    bool linked = true;  // whether it exports its entry point
    std::map<std::uint32_t, std::array<std::int32_t, 3>> monitors;  // core, ambient, limit
};

struct SimAdlCard {
    // Every adapter of the card (its outputs), by ADL adapter index.
    std::vector<int> adapters;
    std::string name;
    int bus = 0, device = 0, function = 0;
    std::int32_t millidegrees = 0;
    std::int32_t engineClock = 0, memoryClock = 0, vddc = 0, activity = 0;
    std::int32_t fanFlags = 0x0F, minPercent = 0, maxPercent = 100, minRPM = 0, maxRPM = 0;
    std::int32_t percent = 0, rpm = 0;
    bool manual = false;
    // The set refuses percents outside these (and everything when refuseAll).
    std::int32_t acceptMin = 0, acceptMax = 100;
    bool refuseAll = false;
    std::map<int, std::map<int, std::vector<std::uint8_t>>> i2c;  // line -> address -> registers
    std::map<std::string, SimCallFault> faults;                   // by entry point
    std::int32_t lastSet = -1, toDefaultCalls = 0;
};
struct SimAdl {
    std::string path;  // the file that exists: atiadlxx.dll or atiadlxy.dll; empty: none
    std::set<std::string> missing;
    std::vector<SimAdlCard> cards;
    int creates = 0, destroys = 0, allocations = 0;
};

struct SimGraphics {
    SimNvApi nvapi;
    SimNvCpl nvcpl;
    SimAdl adl;
};

// Places the libraries the description names; the functions keep reading
// `graphics` as it changes.
void placeGraphicsLibraries(SimLibraries& libraries, const std::shared_ptr<SimGraphics>& graphics);

}  // namespace platform::sim
