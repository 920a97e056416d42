#pragma once
// The RAID controller makers' libraries of the simulated machine: a 3ware
// and an Areca API answering from controllers described on the board, their
// drives being the board's disks. Faults: entry points left out, calls that
// fail with a chosen status, counts larger than the buffers hold.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/raidlibraries.h"
#include "platform/sim/simlibraries.h"

namespace platform::sim {

class SimDisks;

struct SimRaidFaults {
    std::set<std::string> absent;                // entry points the library lacks
    std::map<std::string, std::int32_t> failing;  // entry point -> the status every call answers
};

struct SimThreewareDrive {
    raidlibraries::threeware::Id id{};
    std::string disk;  // a name in the board's "disks"
    bool identifyValid = true, interfaceValid = true;
    bool smartFails = false;  // the pass-through answers an error
};

struct SimThreewareController {
    raidlibraries::threeware::Id id{};
    std::string driverVersion;
    std::optional<std::uint32_t> architecture;
    std::optional<std::string> model, serial, firmware, bios;
    // Ports, drives, units, active drives, max units, max active units, max
    // active drives, max drives per unit, memory size.
    std::array<std::optional<std::uint32_t>, 9> counts;
    std::vector<SimThreewareDrive> drives;
    std::optional<std::uint32_t> reportedDriveCount;  // in place of the list's
};

struct SimThreewareError {
    std::int32_t result = 0;
    std::array<std::uint32_t, 5> codes{};  // flags, API, OS, driver, controller
    std::string data, text;
};

struct SimThreewareConfig {
    std::string apiVersion = "1.0";
    std::vector<SimThreewareController> controllers;
    std::optional<std::uint32_t> reportedControllerCount;
    SimThreewareError error;
    SimRaidFaults faults;
};

struct SimArecaDrive {
    std::string disk;
    std::int32_t infoStatus = 0;   // non-zero: the information call fails
    std::int32_t smartStatus = 0;  // non-zero: the attribute call fails
};

struct SimArecaController {
    std::string identify;                      // the 128-byte text, blank-padded
    std::array<std::uint8_t, 256> sysInfo{};  // the reply as the board lays it out
    // Fans, voltages, temperatures; each count defaults to its list's length.
    std::array<std::vector<std::uint16_t>, 3> monitor;
    std::array<std::optional<std::uint16_t>, 3> monitorCounts;
    std::map<int, SimArecaDrive> slots;  // a slot without a drive answers status 18
};

struct SimArecaConfig {
    std::int32_t findStatus = 0;
    std::int32_t dllVersion = 1;
    std::vector<SimArecaController> controllers;
    std::optional<std::int32_t> reportedControllerCount;
    SimRaidFaults faults;
};

SimLibrary makeThreewareLibrary(const SimThreewareConfig& config, SimDisks& disks);
SimLibrary makeArecaLibrary(const SimArecaConfig& config, SimDisks& disks);
// What the simulated build carries for a library: bytes its loader knows.
std::vector<std::uint8_t> simLibraryImage(const std::string& block);

}  // namespace platform::sim
