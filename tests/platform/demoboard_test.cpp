#include <gtest/gtest.h>

#include "platform/sim/machine.h"

// The demo board is what the README's run command shows; it must load and
// answer where a desktop's chips sit.
TEST(DemoBoard, LoadsAndAnswersOnTheConfigurationAndMonitorPorts) {
    platform::sim::Machine m;
    ASSERT_NO_THROW(m.loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json"));
    EXPECT_EQ(m.osVersion().major, 10u);
    EXPECT_EQ(m.osVersion().minor, 0u);

    auto& ports = m.ports();
    ports.write(0x2E, 1, 0x20);
    EXPECT_EQ(ports.read(0x2F, 1), 0xFFu);  // locked until its key
    ports.write(0x2E, 1, 0x87);
    ports.write(0x2E, 1, 0x87);
    ports.write(0x2E, 1, 0x20);
    const auto chipId = ports.read(0x2F, 1);
    EXPECT_EQ(chipId, 0xA0u);  // a W83627DHG
    ports.write(0x2F, 1, 0x00);  // the id is read-only
    EXPECT_EQ(ports.read(0x2F, 1), chipId);

    ports.write(0x2E, 1, 0x07);
    ports.write(0x2F, 1, 0x0B);  // the monitor's logical device
    ports.write(0x2E, 1, 0x60);
    const auto baseHigh = ports.read(0x2F, 1);
    ports.write(0x2E, 1, 0x61);
    const auto base = baseHigh << 8 | ports.read(0x2F, 1);
    ports.write(static_cast<std::uint16_t>(base + 5), 1, 0x27);  // the monitor's index port
    const auto temperature = ports.read(static_cast<std::uint16_t>(base + 6), 1);
    EXPECT_GT(temperature, 20u);
    EXPECT_LT(temperature, 80u);
}

// The monitor's temperature follows the duty the program writes to its fan output.
TEST(DemoBoard, MonitorTemperatureFollowsTheFanOutput) {
    platform::sim::Machine m;
    m.loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
    m.simClock().restart(true, m.simClock().startTime());
    auto& ports = m.ports();
    const auto monitor = [&](std::uint8_t reg) {
        ports.write(0x295, 1, reg);
        return ports.read(0x296, 1);
    };
    const auto settleAtDuty = [&](std::uint8_t duty) {
        ports.write(0x295, 1, 0x01);  // output 1 of the W83627DHG
        ports.write(0x296, 1, duty);
        m.simClock().advance(10 * 60 * 1000);
        return monitor(0x27);
    };
    EXPECT_EQ(settleAtDuty(0xFF), 45u);  // 30 + 30 / (1 + 1)
    EXPECT_EQ(monitor(0x28), 112u);      // 1350000 / (3000 x 4), whole counts
    EXPECT_EQ(settleAtDuty(0x00), 60u);  // no cooling
    EXPECT_EQ(monitor(0x28), 0xFFu);     // a stopped fan
}

// The processors idle most of the minute and work in bursts, so the load
// pages and the load-driven clock switching have something to show.
TEST(DemoBoard, ProcessorLoadIsIdleWithBurstsEveryMinute) {
    platform::sim::Machine m;
    m.loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
    m.simClock().restart(true, m.simClock().startTime());
    auto& load = m.processorLoad();
    const std::pair<std::uint64_t, std::uint32_t> moments[] = {
        {10'000, 2}, {25'000, 49}, {40'000, 2}, {47'000, 60}, {55'000, 2}, {85'000, 49}};
    std::uint64_t now = 0;
    for (const auto& [at, percent] : moments) {
        m.simClock().advance(at - now);
        now = at;
        EXPECT_EQ(load.usagePercent(4), percent) << at;
    }
}
