// The SiS hosts (SiS5595, SiS630 class, SiS96x) against their simulated
// controllers.

#include <gtest/gtest.h>

#include "platform/sim/smbus/sis5595host.h"
#include "platform/sim/smbus/sishost.h"
#include "smbushostfixture.h"

namespace {

using namespace smbustest;
using platform::sim::SiS5595Host;
using platform::sim::SiSHost;
using platform::sim::SMBusFault;
using platform::sim::SMBusHostTiming;

// ---- SiS5595 ------------------------------------------------------------------

constexpr std::uint16_t S = 0xC00, Index = S + 0x38, Data = S + 0x39;

class SiS5595 : public HostTest {
protected:
    void UseSiS5595(SMBusHostTiming timing = {}) {
        Use(std::make_shared<SiS5595Host>(S, segment, timing), HostKinds::SiS5595);
    }
    // Register writes through the index/data pair, in order.
    std::vector<std::pair<int, int>> RegisterWrites() {
        std::vector<std::pair<int, int>> writes;
        int index = -1;
        for (const auto& a : Writes()) {
            if (a.port == Index) index = static_cast<int>(a.value);
            if (a.port == Data) writes.emplace_back(index, static_cast<int>(a.value));
        }
        return writes;
    }
};

TEST_F(SiS5595, ByteReadAndWordWriteUseTheHostDataRegisters) {
    UseSiS5595();
    std::uint8_t value = 0;
    ASSERT_TRUE(link->ReadByteData(Chip, 0x05, value));
    EXPECT_EQ(value, 0x42);
    using RegWrites = std::vector<std::pair<int, int>>;
    EXPECT_EQ(RegisterWrites(), (RegWrites{{0x04, 0x5B}, {0x05, 0x05}, {0x02, 0x04},
                                           {0x02, 0x14},   // start
                                           {0x00, 0x40},   // final reset: done
                                           {0x01, 0x00}}));
    EXPECT_EQ(Accesses().back(), In(Data, 0x42));

    ClearAccesses();
    ASSERT_TRUE(link->WriteWordData(Chip, 0x06, 0xBEEF));
    const auto writes = RegisterWrites();
    using Writes5 = std::vector<std::pair<int, int>>;
    EXPECT_EQ(Writes5(writes.begin(), writes.begin() + 5),
              (Writes5{{0x04, 0x5A}, {0x05, 0x06}, {0x08, 0xBE}, {0x09, 0xEF}, {0x02, 0x06}}));
    EXPECT_EQ(slave->registers().peek(0x06), 0xBE);
    EXPECT_EQ(slave->registers().peek(0x07), 0xEF);
    std::uint16_t word = 0;
    ASSERT_TRUE(link->ReadWordData(Chip, 0x06, word));
    EXPECT_EQ(word, 0xBEEF);
    ASSERT_TRUE(link->WriteQuick(Chip, 0));
    TSMBBlockData block{9};
    ASSERT_TRUE(link->ReadBlock(Chip, block));
    EXPECT_TRUE(block.empty()) << "blocks move no data";
}

TEST_F(SiS5595, KillMustLeaveExactly0002) {
    SMBusHostTiming timing;
    timing.stuck = SMBusHostTiming::Stuck::UntilReset;
    timing.stuckAfter = 1;
    UseSiS5595(timing);
    EXPECT_TRUE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_TRUE(Logged("About to KILL..."));

    timing = {};
    timing.staleStatus = true;  // a device error survives its write-back
    auto model = std::make_shared<SiS5595Host>(0xD00, segment, timing);
    Use(model, HostKinds::SiS5595);
    slave->setFault({SMBusFault::Kind::Nack, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_TRUE(Logged("SMBus Device error! $2D"));
    log.clear();
    model->timing().stuck = SMBusHostTiming::Stuck::UntilReset;
    model->timing().stuckAfter = 1;
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::TimeoutStart);
    EXPECT_EQ(log, (std::vector<std::string>{"Prior to bit reset : ", "After bit reset : ", "About to KILL...",
                                             "SMBUS kill FAILED! $2D : $0012"}));
}

TEST_F(SiS5595, DecodeNamesCollisionAndTimeout) {
    UseSiS5595();
    slave->setFault({SMBusFault::Kind::Collision, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::Collision);
    EXPECT_TRUE(Logged("SMBus collision!"));
    slave->setFault({SMBusFault::Kind::Timeout, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::TimeoutEnd);
    EXPECT_TRUE(Logged("SMBUS Timeout! $2D"));
}

// ---- SiS630 class and SiS96x ----------------------------------------------------

class SiS : public HostTest {
protected:
    void UseX30(SMBusHostTiming timing = {}, std::uint16_t base = 0xD00) {
        Use(std::make_shared<SiSHost>(platform::sim::SiSx30Family, base, segment, timing), HostKinds::SiSx30);
    }
};

TEST_F(SiS, X30ByteDataReadSequence) {
    constexpr std::uint16_t R = 0xD80;
    UseX30();
    std::uint8_t value = 0;
    ASSERT_TRUE(link->ReadByteData(Chip, 0x05, value));
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{In(R + 2, 0x00),                      // idle
                                                   In(R, 0x00), Out(R, 0x00),            // status written back
                                                   In(R + 3, 0x00), Out(R + 3, 0x02),    // byte data
                                                   Out(R + 4, 0x5B), Out(R + 5, 0x05),   // address, command
                                                   In(R + 2, 0x00),                      // busy check
                                                   In(R + 3, 0x02), Out(R + 3, 0x12),    // start
                                                   In(R + 2, 0x01), In(R + 2, 0x00),     // started, done
                                                   In(R, 0x00),                          // decode
                                                   In(R, 0x00),                          // final reset
                                                   In(R + 8, 0x42)}));
}

TEST_F(SiS, X30WordAndQuickWrites) {
    UseX30();
    ASSERT_TRUE(link->WriteWordData(Chip, 0x06, 0xBEEF));
    EXPECT_EQ(Writes(), (std::vector<PortAccess>{Out(0xD80, 0x00), Out(0xD88, 0xBE), Out(0xD89, 0xEF),
                                                 Out(0xD83, 0x03), Out(0xD84, 0x5A), Out(0xD85, 0x06),
                                                 Out(0xD83, 0x13)}));
    std::uint16_t word = 0;
    ASSERT_TRUE(link->ReadWordData(Chip, 0x06, word));
    EXPECT_EQ(word, 0xBEEF);
    ASSERT_TRUE(link->WriteQuick(Chip, 0));
}

// Blocks move in windows of eight; COUNT 0 means 32.
class SiSWindows : public SiS, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(SiSWindows, BlockReadAndWrite) {
    TSMBBlockData bytes(GetParam());
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(0x40 + i);
    slave->setBlock(bytes);
    UseX30();
    TSMBBlockData block;
    ASSERT_TRUE(link->ReadBlock(Chip, block));
    EXPECT_EQ(block, bytes);
    const auto writes = Writes();
    EXPECT_EQ(std::count(writes.begin(), writes.end(), Out(0xD80, 0x10)), static_cast<long>((bytes.size() + 7) / 8))
        << "one acknowledgement per window";

    ASSERT_TRUE(link->WriteBlock(Chip, bytes));
    EXPECT_EQ(slave->block(), bytes);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SiSWindows, ::testing::Values(std::size_t{12}, std::size_t{32}, std::size_t{3}));

TEST_F(SiS, X30BlockErrorsComeFromTheStatus) {
    UseX30();
    link->SetDebugMode(true);
    slave->setFault({SMBusFault::Kind::Collision, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::Block, true));
    EXPECT_EQ(link->LastError(), SMBusErrors::Collision);
    EXPECT_TRUE(Logged("BLK SMB Error $2D : COLLISION (04)"));
}

TEST_F(SiS, StuckHostIsKilledOnceThenTimesOut) {
    SMBusHostTiming timing;
    timing.stuck = SMBusHostTiming::Stuck::UntilReset;
    UseX30(timing);
    EXPECT_TRUE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(Writes()[1], Out(0xD83, 0x20));

    timing.stuck = SMBusHostTiming::Stuck::Forever;
    Use(std::make_shared<SiSHost>(platform::sim::SiS968Family, 0xE00, segment, timing), HostKinds::SiS968);
    link->SetDebugMode(true);
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::TimeoutStart);
    EXPECT_EQ(log, (std::vector<std::string>{"SMBus $2D busy waiting IDLE (STS=$00): killing...",
                                             "Timeout waiting IDLE SMBus $2D (STS=$00)"}));
}

TEST_F(SiS, Sis968DataRegistersAndDecode) {
    Use(std::make_shared<SiSHost>(platform::sim::SiS968Family, 0xE00, segment), HostKinds::SiS968);
    std::uint16_t word = 0;
    ASSERT_TRUE(link->ReadWordData(Chip, 0x06, word));
    EXPECT_EQ(word, 0x1234);
    EXPECT_EQ(Accesses().back(), In(0xE11, 0x34));
    link->SetDebugMode(true);
    slave->setFault({SMBusFault::Kind::Collision, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::Collision);
    EXPECT_TRUE(Logged("SMB Error $2D : COLLISION (04)"));
}

}  // namespace
