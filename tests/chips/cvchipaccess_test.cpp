// Register access for drivers: the lock bracket, reads that answer no value
// on a failed link, and field updates that never write after a failed read.

#include <gtest/gtest.h>

#include <stdexcept>

#include "chips/cvchipaccess.h"
#include "chips/chipsfixture.h"
#include "platform/sim/indexdataport.h"

namespace {

using platform::sim::SMBusFault;

class ChipAccess : public SMBusChipTest {
protected:
    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
};

TEST_F(ChipAccess, BracketHoldsTheLinksLockAndAlwaysReleasesIt) {
    {
        TChipAccess access(&isa);
        EXPECT_EQ(BusLockCount(true), 1);
        EXPECT_EQ(BusLockCount(false), 0);
    }
    EXPECT_EQ(BusLockCount(true), 0);
    try {
        TChipAccess access(&smbus);
        EXPECT_EQ(BusLockCount(false), 1);
        throw std::runtime_error("driver failure");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(BusLockCount(false), 0);
    TChipAccess none(nullptr);  // a sensor without a link brackets nothing
    EXPECT_EQ(BusLockCount(true) + BusLockCount(false), 0);
}

TEST_F(ChipAccess, ReadsAnswerValuesOrNothing) {
    slave->registers().set(0x20, 0x5A);
    slave->registers().set(0x21, 0x3C);
    EXPECT_EQ(ReadChipByte(&smbus, Chip, 0x20), 0x5A);
    EXPECT_EQ(ReadChipWord(&smbus, Chip, 0x20), 0x5A3C);
    EXPECT_EQ(ReadChipBytePair(&smbus, Chip, 0x21, 0x20), 0x3C5A);

    slave->setFault({SMBusFault::Kind::Nack, -1});
    EXPECT_EQ(ReadChipByte(&smbus, Chip, 0x20), std::nullopt);
    EXPECT_EQ(ReadChipWord(&smbus, Chip, 0x20), std::nullopt);
    EXPECT_EQ(ReadChipBytePair(&smbus, Chip, 0x21, 0x20), std::nullopt);
    EXPECT_FALSE(WriteChipByte(&smbus, Chip, 0x20, 1));
    EXPECT_EQ(ReadChipByte(nullptr, Chip, 0x20), std::nullopt);
    EXPECT_EQ(ReadChipByte(&smbus, 0x50, 0x20), std::nullopt);  // nobody at the address
}

TEST_F(ChipAccess, FieldUpdateWritesOnlyAfterASuccessfulRead) {
    slave->registers().set(0x47, 0xB4);
    EXPECT_TRUE(UpdateChipField(&smbus, Chip, 0x47, 0x30, 4, 1));
    EXPECT_EQ(slave->registers().peek(0x47), 0x94);

    slave->setFault({SMBusFault::Kind::Nack, -1});
    segment.clearRequests();
    EXPECT_FALSE(UpdateChipField(&smbus, Chip, 0x47, 0x30, 4, 2));
    for (const auto& request : segment.requests()) EXPECT_TRUE(request.read) << "a write after a failed read";
    EXPECT_EQ(slave->registers().peek(0x47), 0x94);
}

TEST_F(ChipAccess, IsaFieldUpdateGoesThroughIndexAndData) {
    auto chip = std::make_shared<platform::sim::RegisterFile>();
    chip->set(0x47, 0x0F);
    platform::sim::IndexDataPort::install(machine().ports(), chip, 0x295, 0x296, "monitor");
    EXPECT_TRUE(UpdateChipField(&isa, 0, 0x47, 0xC0, 6, 3));
    EXPECT_EQ(chip->peek(0x47), 0xCF);
}

}  // namespace
