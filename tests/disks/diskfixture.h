#pragma once
// A simulated machine with disks from a few lines of board JSON, the disk
// access log switched on, and helpers to look at the recorded requests.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/cvtrace.h"
#include "disks/cvadvsmart.h"
#include "platform/sim/simdisk.h"
#include "support/testmachine.h"

namespace diskfixture {

// A drive as a board describes it; `extra` adds or overrides fields.
inline std::string diskJson(const std::string& extra) {
    return R"({"model": "WDC WD5000AAKS-00V1A0", "firmware": "05.01D05", "serial": "WD-WCAWF1234567",
               "sectors": 976773168, "lba48": true,
               "attributes": [{"id": 1, "flags": "0x000F", "value": 200, "worst": 200, "raw": "0x0"},
                              {"id": 9, "flags": "0x0032", "value": 87, "worst": 87, "raw": "0x2A1C"},
                              {"id": 194, "flags": "0x0022", "value": 108, "worst": 99, "raw": "0x27"}],
               "thresholds": [51, 0, 0])" +
           (extra.empty() ? "" : ", " + extra) + "}";
}

class DiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramDir = machine.programDir();
        DiskAccessLog.emplace();
    }
    void TearDown() override { DiskAccessLog.reset(); }

    // Loads {"disks": {"d0": <disk>}}.
    void loadDisk(const std::string& extra) { load(R"({"disks": {"d0": )" + diskJson(extra) + "}}"); }
    void load(const std::string& board) { machine->loadFromJson(board, "test.json"); }
    platform::sim::SimDisks& disks() { return machine->disks(); }
    platform::sim::SimAtaDisk& disk(const std::string& name = "d0") { return *disks().find(name); }

    std::vector<platform::sim::SimDiskRequest> requests(std::uint32_t code) {
        std::vector<platform::sim::SimDiskRequest> found;
        for (const auto& r : disks().recorder())
            if (r.code == code) found.push_back(r);
        return found;
    }
    const std::vector<std::string>& log() { return *DiskAccessLog; }

    testsupport::TestMachine machine;
};

inline std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

inline std::vector<std::uint8_t> slice(const std::vector<std::uint8_t>& data, std::size_t at, std::size_t n) {
    if (at >= data.size()) return {};
    return {data.begin() + at, data.begin() + std::min(data.size(), at + n)};
}

}  // namespace diskfixture
