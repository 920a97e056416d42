// A chip of a board file reached through real links of both kinds: a duty
// written on ISA cools the temperature read on SMBus, conversions run only on
// data, and the recorder shows the bus lock held at every port access.

#include <gtest/gtest.h>

#include "chips/chipsfixture.h"
#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"
#include "support/simsmbushost.h"

namespace {

constexpr int Chip = 0x2D;

class ChipTwin : public ChipTest {
protected:
    ChipTwin() {
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/chiptwin.json");
        machine().ports().recorder().clear();
    }

    std::optional<double> SMBusTemperature() {
        TChipAccess access(&smbus);
        const auto raw = ReadChipByte(&smbus, Chip, 0x27);
        return raw ? std::optional(chipconv::TempSigned8(*raw)) : std::nullopt;
    }

    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
    TLink smbus{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                testsupport::SimProtocolHost::On(machine().protocolSMBus())};
};

TEST_F(ChipTwin, DutyWrittenOnIsaCoolsTheTemperatureReadOnSMBus) {
    EXPECT_EQ(SMBusTemperature(), 65.0);  // 25 + 40 without a fan
    {
        TChipAccess access(&isa);
        ASSERT_EQ(ReadChipByte(&isa, 0, 0x4F), 0x5C);
        EXPECT_EQ(ReadChipByte(&isa, 0, 0x28), 0xFF);  // stopped fan
        ASSERT_TRUE(WriteChipByte(&isa, 0, 0x81, 0xFF));
    }
    machine().simClock().advance(10 * 60 * 1000);
    EXPECT_EQ(SMBusTemperature(), 33.0);  // 25 + 40 / (1 + 4)

    TChipAccess access(&smbus);
    const auto pair = ReadChipBytePair(&smbus, Chip, 0x29, 0x2A);
    ASSERT_TRUE(pair);
    EXPECT_DOUBLE_EQ(chipconv::TempHalfDegree(*pair >> 8, *pair & 0xFF), 33.0);
    const auto count = ReadChipByte(&smbus, Chip, 0x28);
    ASSERT_TRUE(count);
    EXPECT_DOUBLE_EQ(chipconv::FanRpmDivided(chipconv::FanClock8Bit, *count, 2, chipconv::NoFan8Bit), 2700);
}

TEST_F(ChipTwin, FailingRegisterIsNoValueOnSMBus) {
    {
        TChipAccess access(&smbus);
        EXPECT_EQ(ReadChipByte(&smbus, Chip, 0x40), std::nullopt);
        EXPECT_FALSE(UpdateChipField(&smbus, Chip, 0x40, 0x01, 0, 0));
    }
    EXPECT_EQ(machine().registerFile("monitor")->peek(0x40), 0x01);
    TChipAccess access(&isa);
    EXPECT_EQ(ReadChipByte(&isa, 0, 0x40), 0xFF);  // all ones on ISA, where a driver decides
    EXPECT_EQ(UnlessAllOnes(ReadChipByte(&isa, 0, 0x40)), std::nullopt);
    EXPECT_EQ(UnlessAllOnes(ReadChipByte(&isa, 0, 0x4F)), 0x5C);
    EXPECT_EQ(UnlessAllOnes(std::optional<std::uint16_t>(0xFFFF)), std::nullopt);
    EXPECT_EQ(UnlessAllOnes(std::optional<std::uint16_t>(0x00FF)), 0x00FF);
    EXPECT_EQ(BusLockCount(true), 1);
}

TEST_F(ChipTwin, RecorderNotesTheLockHeldAtEachAccess) {
    {
        TChipAccess access(&isa);
        ReadChipByte(&isa, 0, 0x4F);
    }
    std::uint8_t value = 0;
    isa.ReadByteData(0, 0x4F, value);  // outside a bracket
    const auto& recorder = machine().ports().recorder();
    ASSERT_EQ(recorder.accesses().size(), 4u);
    EXPECT_TRUE(recorder.lockHeld(0, ISABusMutexName));
    EXPECT_TRUE(recorder.lockHeld(1, ISABusMutexName));
    EXPECT_FALSE(recorder.lockHeld(1, SMBusMutexName));
    EXPECT_TRUE(recorder.locksHeld(2).empty());
    EXPECT_TRUE(recorder.locksHeld(3).empty());
    EXPECT_EQ(recorder.accessesTo(0x296, 0x296).size(), 2u);

    SMBusTemperature();
    const auto& requests = machine().protocolSMBus();
    ASSERT_EQ(requests.requests().size(), 1u);
    EXPECT_TRUE(requests.locks().held(0, SMBusMutexName));
    EXPECT_FALSE(requests.locks().held(0, ISABusMutexName));
    EXPECT_EQ(BusLockCount(true) + BusLockCount(false), 0);
}

}  // namespace
