// The ALi M7101 host against its simulated controller.

#include <gtest/gtest.h>

#include "platform/sim/smbus/alihost.h"
#include "smbushostfixture.h"

namespace {

using namespace smbustest;
using platform::sim::AliHost;
using platform::sim::SMBusFault;
using platform::sim::SMBusHostTiming;

constexpr std::uint16_t A = 0xB00;

class Ali : public HostTest {
protected:
    void UseAli(std::uint8_t code, SMBusHostTiming timing = {}) {
        Use(std::make_shared<AliHost>(A, segment, timing), HostKinds::Ali, code);
    }
};

TEST_F(Ali, ByteDataReadSequence) {
    UseAli(29);
    std::uint8_t value = 0;
    ASSERT_TRUE(link->ReadByteData(Chip, 0x05, value));
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{In(A, 0x04), Out(A, 0xFF),  // idle, then (code 29) cleared
                                                   Out(A + 3, 0x5B), In(A + 1, 0x00), Out(A + 1, 0x20),
                                                   Out(A + 7, 0x05),             // command at B+7
                                                   In(A, 0x04),                  // busy check
                                                   Out(A + 2, 0xFF),             // start
                                                   In(A, 0x08), In(A, 0x14),     // busy, done
                                                   In(A, 0x14), Out(A, 0xFF),    // final reset
                                                   In(A + 4, 0x42)}));
}

TEST_F(Ali, StatusIsClearedBeforeTheIdleWaitOnTheOlderBridges) {
    UseAli(27);
    ASSERT_TRUE(link->WriteWordData(Chip, 0x06, 0xBEEF));
    EXPECT_EQ(Accesses().front(), Out(A, 0xFF));
    EXPECT_EQ(slave->registers().peek(0x06), 0xBE);
    EXPECT_EQ(slave->registers().peek(0x07), 0xEF);
    ASSERT_TRUE(link->WriteQuick(Chip, 0));
}

TEST_F(Ali, BlocksClearTheIndexThroughTheControlRegister) {
    UseAli(29);
    TSMBBlockData block;
    ASSERT_TRUE(link->ReadBlock(Chip, block));
    EXPECT_EQ(block, (TSMBBlockData{0xA1, 0xA2, 0xA3}));
    const auto& all = Accesses();
    EXPECT_EQ(std::vector<PortAccess>(all.end() - 6, all.end()),
              (std::vector<PortAccess>{In(A + 1, 0x40), Out(A + 1, 0xC0), In(A + 4, 0x03), In(A + 6, 0xA1),
                                       In(A + 6, 0xA2), In(A + 6, 0xA3)}));
    ASSERT_TRUE(link->WriteBlock(Chip, {1, 2}));
    EXPECT_EQ(slave->block(), (TSMBBlockData{1, 2}));
    for (const auto& access : Writes()) EXPECT_FALSE(access.port == A + 7 && (access.value & 0x80));
}

// A host busy after loading: the first reset, the second, or neither frees it.
struct ResetCase {
    SMBusHostTiming::Stuck stuck;
    std::vector<std::uint8_t> resets;
    bool ok;
};

class AliReset : public Ali, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(AliReset, ResetsUntilTheHostIsFree) {
    const ResetCase& c = GetParam();
    SMBusHostTiming timing;
    timing.stuck = c.stuck;
    timing.stuckAfter = 1;  // the idle wait still passes
    UseAli(29, timing);
    EXPECT_EQ(Transact(SMBusProtocols::ByteData, true, 0x05), c.ok);
    std::vector<std::uint8_t> resets;
    for (const auto& access : Writes())
        if (access.port == A + 1 && (access.value == 0x04 || access.value == 0x08) && resets.size() < 2)
            resets.push_back(static_cast<std::uint8_t>(access.value));
    EXPECT_EQ(resets, c.resets);
    EXPECT_TRUE(Logged("Resetting $2D (busy) : $08"));
    if (!c.ok) {
        EXPECT_EQ(link->LastError(), SMBusErrors::TimeoutStart);
        EXPECT_TRUE(Logged("SMBUS reset FAILED! $2D : $08"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AliReset,
    ::testing::Values(ResetCase{SMBusHostTiming::Stuck::UntilReset, {0x04}, true},
                      ResetCase{SMBusHostTiming::Stuck::UntilSecondReset, {0x04, 0x08}, true},
                      ResetCase{SMBusHostTiming::Stuck::Forever, {0x04, 0x08}, false}));

TEST_F(Ali, DecodeAndFinalReset) {
    UseAli(29);
    slave->setFault({SMBusFault::Kind::Nack, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_TRUE(Logged("SMBUS device error $2D"));
    EXPECT_EQ(link->LastError(), SMBusErrors::Unknown);
    EXPECT_EQ(Writes().back(), Out(A, 0xFF));
    EXPECT_EQ(Writes()[Writes().size() - 2], Out(A + 1, 0x08)) << "done with an error: time-out reset";

    slave->setFault({SMBusFault::Kind::Collision, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::Collision);

    slave->setFault({SMBusFault::Kind::Timeout, 1});
    ClearAccesses();
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::TimeoutEnd);
    EXPECT_TRUE(Logged("SMBUS Timeout! $2D"));
    EXPECT_EQ(Writes()[Writes().size() - 2], Out(A + 1, 0x04)) << "not done: abort";
}

}  // namespace
