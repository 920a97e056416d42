#pragma once
// A machine with the bus locks and the driver open, and one register file
// behind an ISA index/data pair (295h/296h) and at SMBus address 2Dh, for the
// chip drivers' benchmarks; traces go to a folder of its own.

#include <filesystem>
#include <memory>
#include <string>

#include "base/cvtrace.h"
#include "hw/cvbuslocks.h"
#include "hw/cvdriver.h"
#include "platform/sim/indexdataport.h"
#include "platform/sim/machine.h"
#include "support/simsmbushost.h"

struct ChipBench {
    std::filesystem::path path;
    platform::sim::Machine machine;
    platform::ScopedPlatform scope{machine};
    std::shared_ptr<platform::sim::RegisterFile> chip = std::make_shared<platform::sim::RegisterFile>();

    explicit ChipBench(const std::string& folder = "caldavor-bench-chips")
        : path(std::filesystem::temp_directory_path() / folder) {
        std::filesystem::create_directories(path);
        ProgramDir = path.string() + "/";
        InitializeBusLocks();
        IOPort = std::make_unique<TIOPort>();
        machine.ports().recorder().setEnabled(false);
        machine.protocolSMBus().setRecording(false);
        chip->set(0x27, 0x29);
        platform::sim::IndexDataPort::install(machine.ports(), chip, 0x295, 0x296, "monitor");
        machine.protocolSMBus().attach(0x2D, std::make_shared<platform::sim::SMBusSlave>(chip));
    }
    ~ChipBench() {
        IOPort.reset();
        FinalizeBusLocks();
        std::filesystem::remove_all(path);
    }
    TSMBusHostFactory host() { return testsupport::SimProtocolHost::On(machine.protocolSMBus()); }
};
