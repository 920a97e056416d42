#pragma once
// A simulated machine with a HECI device and QST firmware of either
// generation, and the requests it saw.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "firmware/cvintelqst2.h"
#include "platform/sim/heci.h"
#include "support/testmachine.h"

using Bytes = std::vector<std::uint8_t>;

// Temperatures at indexes 0, 2 and 11 (mask 0805h), a CPU fan, +12V, and
// controllers 1 (software, 45 %) and 2 (automatic, 30 %).
inline platform::sim::HeciConfig QstBoard(int generation) {
    using platform::sim::QstMonitor;
    platform::sim::HeciConfig c;
    c.generation = generation;
    c.version = generation == 2 ? Bytes{6, 0, 0, 0x10, 0x05} : Bytes{5, 1, 2, 0x34, 0x12};
    auto constant = [](std::int32_t v) { return [v] { return v; }; };
    c.temps[0] = {1, 1, 0, {5000, 7000, 8500, 9500}, constant(4525), 0};
    c.temps[2] = {1, 7, 1, {}, constant(3100), 0};
    c.temps[11] = {2, 40, 0, {}, constant(-250), 0};
    c.fans[0] = {1, 1, 0, {1000, 800, 500, 300}, constant(1234), 0};
    c.volts[1] = {1, 1, 0, {12000, 11400, 12600, 11000, 13000, 10000, 14000}, constant(12125), 0};
    c.controllers[1] = {1, 1, 4500, 0x09, ""};
    c.controllers[2] = {1, 5, 3000, 0x01 | 0x04, ""};
    return c;
}

class QstTest : public ::testing::Test {
protected:
    ~QstTest() override { ResetIntelQSTGlobals(); }

    std::shared_ptr<platform::sim::SimHeci> Install(platform::sim::HeciConfig config) {
        sim = platform::sim::installHeci(test.machine(), std::move(config));
        return sim;
    }
    platform::sim::Machine& machine() { return test.machine(); }
    std::uint64_t now() { return test.machine().clock().monotonicMs(); }

    testsupport::TestMachine test;
    std::shared_ptr<platform::sim::SimHeci> sim;
};
