// The software I2C master and the card's CRTC line access against a CRTC
// with a two-wire bus and a bit-level slave.

#include "hw/cvbitbanging.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hwfixture.h"
#include "platform/sim/crtc.h"

namespace {

using platform::sim::Crtc;
using platform::sim::I2CWire;
using platform::sim::SMBusSlave;
using Events = std::vector<std::string>;

constexpr int EepromChip = 0x50;

class BitBang : public HwTest {
protected:
    BitBang() {
        IOPort = std::make_unique<TIOPort>();
        crtc = Crtc::install(machine().ports(), std::make_shared<platform::sim::RegisterFile>());
        crtc->addBus(0x3E, wire);
        wire->slaves().attach(EepromChip, slave);
        slave->registers().set(0x10, 0x12);
        slave->registers().set(0x11, 0x34);
        i2c.OnLog = [this](const std::string& msg) { log.push_back(msg); };
    }

    // Writes to the CRTC data port, in order.
    std::vector<std::uint32_t> dataWrites() {
        std::vector<std::uint32_t> values;
        for (const auto& a : machine().ports().recorder().accesses())
            if (a.isWrite && a.port == Crtc::DataPort) values.push_back(a.value);
        return values;
    }

    std::shared_ptr<I2CWire> wire = std::make_shared<I2CWire>();
    std::shared_ptr<SMBusSlave> slave = std::make_shared<SMBusSlave>();
    std::shared_ptr<Crtc> crtc;
    TNvidiaI2C i2c{0x3E};
    std::vector<std::string> log;
};

TEST_F(BitBang, WordReadIsCommandThenRepeatedStartAndTwoBytes) {
    std::uint16_t word = 0;
    ASSERT_TRUE(i2c.ReadWordData(EepromChip, 0x10, word));
    EXPECT_EQ(word, 0x1234);
    EXPECT_EQ(wire->events(), (Events{"S", "A0+", "10+", "S", "A1+", "12+", "34-", "P"}));
    EXPECT_TRUE(log.empty());
}

TEST_F(BitBang, ByteReadEndsWithNackAndStop) {
    std::uint8_t value = 0;
    ASSERT_TRUE(i2c.ReadByteData(EepromChip, 0x11, value));
    EXPECT_EQ(value, 0x34);
    EXPECT_EQ(wire->events(), (Events{"S", "A0+", "11+", "S", "A1+", "34-", "P"}));
}

TEST_F(BitBang, NegativeCommandReadsWithoutWritePhase) {
    slave->pointer = 0x10;
    TSMBBlockData data;
    ASSERT_TRUE(i2c.ReadData(EepromChip, -1, 2, data));
    EXPECT_EQ(data, (TSMBBlockData{0x12, 0x34}));
    EXPECT_EQ(wire->events(), (Events{"S", "A1+", "12+", "34-", "P"}));
}

TEST_F(BitBang, ByteWriteReachesTheRegister) {
    ASSERT_TRUE(i2c.WriteByteData(EepromChip, 0x20, 0x5A));
    EXPECT_EQ(slave->registers().peek(0x20), 0x5A);
    EXPECT_EQ(wire->events(), (Events{"S", "A0+", "20+", "5A+", "P"}));
}

TEST_F(BitBang, QuickWriteSendsA0AndSleeps) {
    ASSERT_TRUE(i2c.WriteQuick(EepromChip));
    EXPECT_EQ(wire->events(), (Events{"S", "A0+", "P"}));
    EXPECT_GE(machine().simClock().monotonicMs(), 1u);
}

TEST_F(BitBang, AddressNackIsFollowedByStop) {
    std::uint8_t value = 0x77;
    EXPECT_FALSE(i2c.ReadByteData(0x51, 0x10, value));
    EXPECT_EQ(value, 0x77);
    EXPECT_EQ(wire->events(), (Events{"S", "A2-", "P"}));
    EXPECT_FALSE(i2c.WriteQuick(0x51));
    EXPECT_EQ(i2c.LastError, 0);
}

TEST_F(BitBang, CommandNackIsFollowedByStop) {
    wire->slaves().setNackWrites(true);
    std::uint8_t value = 0;
    EXPECT_FALSE(i2c.ReadByteData(EepromChip, 0x10, value));
    EXPECT_EQ(wire->events(), (Events{"S", "A0+", "10-", "P"}));
    wire->clearEvents();
    EXPECT_FALSE(i2c.WriteByteData(EepromChip, 0x10, 1));
    EXPECT_EQ(wire->events(), (Events{"S", "A0+", "10-", "P"}));
}

TEST_F(BitBang, StretchedClockWaitsUpToTheTimeout) {
    wire->stretchNextRelease(i2c.SCLTimeout);
    std::uint8_t value = 0;
    EXPECT_TRUE(i2c.ReadByteData(EepromChip, 0x10, value));
    EXPECT_EQ(value, 0x12);
    EXPECT_EQ(i2c.LastError, 0);

    wire->stretchNextRelease(i2c.SCLTimeout + 1);
    EXPECT_FALSE(i2c.ReadByteData(EepromChip, 0x10, value));
    EXPECT_EQ(i2c.LastError, TBitBanger::SCLTimedOut);
}

TEST_F(BitBang, HalfBitDelaySpinsOnTheCounterOrLoopsWithoutOne) {
    auto& clock = machine().simClock();
    std::uint8_t value = 0;
    ASSERT_TRUE(i2c.ReadByteData(EepromChip, 0x10, value));
    const std::uint64_t withCounter = clock.performanceCount();
    // Each delay waits 10 us at least; a byte read has dozens.
    EXPECT_GT(withCounter, 100u * 10 * clock.performanceFrequency() / 1'000'000);

    clock.restart(true, clock.startTime());
    clock.setPerformanceFrequency(0);
    TNvidiaI2C loop(0x3E);
    ASSERT_TRUE(loop.ReadByteData(EepromChip, 0x10, value));
    clock.setPerformanceFrequency(1'000'000'000);
    EXPECT_EQ(clock.performanceCount(), 1000u) << "the loop never read the counter";
}

TEST_F(BitBang, QuickWriteLockedUnlocksAndReleases) {
    auto& regs = crtc->registers();
    regs.set(0x49, 0x01);
    regs.set(0x11, 0xA5);
    ASSERT_TRUE(i2c.WriteQuickLocked(EepromChip));
    const auto writes = dataWrites();
    ASSERT_GE(writes.size(), 5u);
    EXPECT_EQ((std::vector<std::uint32_t>(writes.begin(), writes.begin() + 4)),
              (std::vector<std::uint32_t>{0x57, 0x05, 0x31, 0x25}));
    EXPECT_EQ(writes.back(), 0x30u);
    EXPECT_EQ(regs.peek(0x1F), 0x57);
}

TEST_F(BitBang, UnlockLeavesRegister49AloneWhenBit2IsSet) {
    crtc->registers().set(0x49, 0x04);
    ASSERT_TRUE(i2c.WriteQuickLocked(EepromChip));
    const auto writes = dataWrites();
    EXPECT_EQ(writes[1], 0x31u);
}

struct GlitchCase {
    const char* name;
    int indexGlitches;
    int dataGlitches;
    bool unlockFirst;  // a register write comes first, else a read
    const char* line;  // nullptr: no error
};

class CrtcGlitch : public BitBang, public ::testing::WithParamInterface<GlitchCase> {};

TEST_P(CrtcGlitch, RetriesAreBounded) {
    const GlitchCase& c = GetParam();
    crtc->glitchIndex(c.indexGlitches);
    crtc->glitchData(c.dataGlitches);
    if (c.unlockFirst)
        i2c.WriteQuickLocked(EepromChip);
    else
        i2c.GetSCL();
    if (c.line) {
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.front(), c.line);
    } else {
        EXPECT_TRUE(log.empty()) << log.front();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CrtcGlitch,
    ::testing::Values(GlitchCase{"IndexSettlesAfter20", 20, 0, false, nullptr},
                      GlitchCase{"IndexNeverSettles", 21, 0, false, "NVIDIAI2C error #1 in READREG[$3E]"},
                      GlitchCase{"DataSettlesAfter4", 0, 4, false, nullptr},
                      GlitchCase{"DataNeverSettles", 0, 5, false, "NVIDIAI2C error #2 in READREG[$3E]"},
                      GlitchCase{"WriteIndexSettlesAfter11", 11, 0, true, nullptr},
                      GlitchCase{"WriteIndexNeverSettles", 12, 0, true, "NVIDIAI2C error in WRITEREG[$1F,$57]"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BitBang, ReadErrorReadsAsLowLine) {
    crtc->glitchIndex(21);
    EXPECT_FALSE(i2c.GetSDA());
}

struct StuckCase {
    const char* name;
    std::optional<bool> scl;
    std::optional<bool> sda;
    std::vector<std::string> lines;
};

class BusCheck : public BitBang, public ::testing::WithParamInterface<StuckCase> {};

TEST_P(BusCheck, TracesWhatIsWrong) {
    const StuckCase& c = GetParam();
    wire->setStuckScl(c.scl);
    wire->setStuckSda(c.sda);
    EXPECT_EQ(i2c.BusCheck(), c.lines.empty());
    EXPECT_EQ(log, c.lines);
    EXPECT_EQ(crtc->registers().peek(0x3F), 0x30) << "released";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BusCheck,
    ::testing::Values(StuckCase{"Free", {}, {}, {}},
                      StuckCase{"SdaLow", {}, false, {"I2C seems to be busy (I2C@$3E)"}},
                      StuckCase{"SclLow", false, {}, {"I2C seems to be busy (I2C@$3E)"}},
                      StuckCase{"SdaHigh", {}, true, {"SDA is stuck high!"}},
                      StuckCase{"SclHigh", true, {}, {"SCL is stuck high!"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BitBang, BusCheckOnAFreeBusLeavesNoTrafficForSlaves) {
    ASSERT_TRUE(i2c.BusCheck());
    // Pulling SDA low with SCL high and letting it go is a start and a stop.
    EXPECT_EQ(wire->events(), (Events{"S", "P"}));
}

}  // namespace
