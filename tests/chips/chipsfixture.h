#pragma once
// A simulated machine with the bus locks made and the driver open, and a
// recorder of sensor log lines, for the chip drivers' tests.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "hw/cvbuslocks.h"
#include "hw/cvdriver.h"
#include "core/cvsensors.h"
#include "hw/hwfixture.h"
#include "platform/sim/flatportrange.h"
#include "platform/sim/indexdataport.h"
#include "platform/sim/smbussegment.h"
#include "support/simsmbushost.h"

class ChipTest : public HwTest {
protected:
    ChipTest() {
        InitializeBusLocks();
        IOPort = std::make_unique<TIOPort>();
    }
    ~ChipTest() override { FinalizeBusLocks(); }

    TSensorLogEvent Logger() {
        return [this](TSensor&, const std::string& msg, int level) { log.push_back(std::to_string(level) + " " + msg); };
    }

    // Every access to the ports first..last held the ISA bus lock, every
    // request on the machine's SMBus segment the SMBus lock, and no lock is
    // left taken.
    void ExpectEveryAccessLocked(std::uint16_t first, std::uint16_t last) {
        const auto& recorder = machine().ports().recorder();
        ASSERT_FALSE(recorder.accesses().empty());
        for (std::size_t i = 0; i < recorder.accesses().size(); ++i) {
            const std::uint16_t port = recorder.accesses()[i].port;
            if (port >= first && port <= last) {
                EXPECT_TRUE(recorder.lockHeld(i, ISABusMutexName)) << i;
            }
        }
        const auto& segment = machine().protocolSMBus();
        ASSERT_FALSE(segment.requests().empty());
        for (std::size_t i = 0; i < segment.requests().size(); ++i)
            EXPECT_TRUE(segment.locks().held(i, SMBusMutexName)) << i;
        EXPECT_EQ(BusLockCount(true) + BusLockCount(false), 0);
    }

    std::vector<std::string> log;
};

// One chip at address Chip on an SMBus segment answered at the protocol
// level, and the SMBus link in front of it.
class SMBusChipTest : public ChipTest {
protected:
    static constexpr int Chip = 0x2D;

    SMBusChipTest() { segment.attach(Chip, slave); }

    platform::sim::SMBusSegment segment;
    std::shared_ptr<platform::sim::SMBusSlave> slave = std::make_shared<platform::sim::SMBusSlave>();
    TLink smbus{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, testsupport::SimProtocolHost::On(segment)};
};

// One chip whose registers (a varied pattern) answer both on an ISA link
// (index/data at base + 5/6) and on the machine's SMBus segment, where the
// lock recorder sees every request.
class TwinLinkChipTest : public ChipTest {
protected:
    static constexpr int TwinChip = 0x2D;
    static constexpr std::uint16_t TwinIsaBase = 0x290;
    static constexpr std::int32_t TwinConfigPort = 0x2E;

    TwinLinkChipTest() {
        for (int reg = 0; reg < 256; ++reg)
            registers->set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>((reg * 0x9D + 0x35) & 0xFF));
        platform::sim::IndexDataPort::install(machine().ports(), registers, TwinIsaBase + 5, TwinIsaBase + 6,
                                              "monitor");
        machine().protocolSMBus().attach(TwinChip, std::make_shared<platform::sim::SMBusSlave>(registers));
    }

    // A block of registers laid out on ports, as runtime-register chips have.
    void AddPortBlock(std::uint16_t base, int count) {
        for (int reg = 0; reg < count; ++reg)
            portBlock->set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>((reg * 0x3B + 0x6C) & 0xFF));
        platform::sim::FlatPortRange::install(machine().ports(), portBlock, base, count, "port block");
    }

    std::shared_ptr<platform::sim::RegisterFile> registers = std::make_shared<platform::sim::RegisterFile>();
    std::shared_ptr<platform::sim::RegisterFile> portBlock = std::make_shared<platform::sim::RegisterFile>();
    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, TwinIsaBase, 0};
    TLink smbus{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                testsupport::SimProtocolHost::On(machine().protocolSMBus())};
};
