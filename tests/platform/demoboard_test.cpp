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
    const auto chipId = ports.read(0x2F, 1);
    EXPECT_NE(chipId, 0xFFu);
    ports.write(0x2F, 1, 0x00);  // the id is read-only
    EXPECT_EQ(ports.read(0x2F, 1), chipId);

    ports.write(0x2E, 1, 0x60);
    const auto baseHigh = ports.read(0x2F, 1);
    ports.write(0x2E, 1, 0x61);
    const auto base = baseHigh << 8 | ports.read(0x2F, 1);
    ports.write(static_cast<std::uint16_t>(base + 5), 1, 0x27);  // the monitor's index port
    const auto temperature = ports.read(static_cast<std::uint16_t>(base + 6), 1);
    EXPECT_GT(temperature, 20u);
    EXPECT_LT(temperature, 80u);
}
