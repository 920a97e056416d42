// The AMD-register hosts (AMD, nVidia) and nForce2 against their simulated
// controllers.

#include <gtest/gtest.h>

#include "platform/sim/smbus/amdhost.h"
#include "platform/sim/smbus/nforce2host.h"
#include "smbushostfixture.h"

namespace {

using namespace smbustest;
using platform::sim::AmdHost;
using platform::sim::NForce2Host;
using platform::sim::SMBusFault;
using platform::sim::SMBusHostTiming;

class AmdHosts : public HostTest {};

TEST_F(AmdHosts, ByteDataReadSequenceWithSixteenBitRegisters) {
    constexpr std::uint16_t G = 0x8E0;  // AMD756 registers at B+E0h
    Use(std::make_shared<AmdHost>(0x800, 0xE0, segment), HostKinds::AMD);
    std::uint8_t value = 0;
    ASSERT_TRUE(link->ReadByteData(Chip, 0x05, value));
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{
                              In(G + 2, 0x0000, 2), Out(G + 2, 0x0002, 2),  // byte data
                              Out(G + 4, 0x005B, 2), Out(G + 8, 0x05),     // address, command
                              Out(G + 6, 0x00), Out(G + 7, 0x00),          // data, for reads too
                              In(G, 0x0000, 2),                            // busy check
                              In(G + 2, 0x0002, 2), Out(G + 2, 0x000A, 2), // start
                              In(G, 0x0008, 2), In(G, 0x0010, 2),          // started, complete
                              Out(G, 0x0037, 2), In(G, 0x0000, 2),         // final reset
                              In(G + 6, 0x42)}));
}

TEST_F(AmdHosts, NVidiaIsTheAmdSetAtTheBase) {
    constexpr std::uint16_t G = 0x900;
    Use(std::make_shared<AmdHost>(G, 0, segment), HostKinds::nVidia);
    ASSERT_TRUE(link->WriteWordData(Chip, 0x06, 0xBEEF));
    EXPECT_EQ(Writes(), (std::vector<PortAccess>{Out(G + 2, 0x0003, 2), Out(G + 4, 0x005A, 2), Out(G + 8, 0x06),
                                                 Out(G + 6, 0xBE), Out(G + 7, 0xEF), Out(G + 2, 0x000B, 2),
                                                 Out(G, 0x0037, 2)}));
    std::uint16_t word = 0;
    ASSERT_TRUE(link->ReadWordData(Chip, 0x06, word));
    EXPECT_EQ(word, 0xBEEF);
    ClearAccesses();
    ASSERT_TRUE(link->WriteQuick(Chip, 0));
    EXPECT_EQ(Writes().front(), Out(G + 2, 0x0000, 2));
    TSMBBlockData block;
    ASSERT_TRUE(link->ReadBlock(Chip, block));
    EXPECT_EQ(block, (TSMBBlockData{0xA1, 0xA2, 0xA3}));
    ASSERT_TRUE(link->WriteBlock(Chip, {7, 8}));
    EXPECT_EQ(slave->block(), (TSMBBlockData{7, 8}));
}

struct AmdDecodeCase {
    SMBusFault::Kind fault;
    std::uint8_t lastError;
    const char* line;
};

class AmdDecode : public AmdHosts, public ::testing::WithParamInterface<AmdDecodeCase> {};

TEST_P(AmdDecode, StatusBitsGiveTheirCodes) {
    const AmdDecodeCase& c = GetParam();
    Use(std::make_shared<AmdHost>(0x800, 0xE0, segment), HostKinds::AMD);
    slave->setFault({c.fault, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), c.lastError);
    if (c.line) {
        EXPECT_TRUE(Logged(c.line));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AmdDecode,
    ::testing::Values(AmdDecodeCase{SMBusFault::Kind::Collision, SMBusErrors::Collision,
                                    "SMB Error $2D : COLLISION (0002)"},
                      AmdDecodeCase{SMBusFault::Kind::Nack, SMBusErrors::Protocol, nullptr},
                      // Never finishes: busy after the end wait, no completion.
                      AmdDecodeCase{SMBusFault::Kind::Timeout, SMBusErrors::NotComplete, nullptr}));

TEST_F(AmdHosts, TimeoutBitAndALaterRuleOverriding) {
    SMBusHostTiming timing;
    timing.staleStatus = true;
    Use(std::make_shared<AmdHost>(0x800, 0xE0, segment, timing), HostKinds::AMD);
    slave->setFault({SMBusFault::Kind::Collision, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::Collision);
    slave->setFault({SMBusFault::Kind::Nack, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::Protocol) << "bit 2 comes after bit 1";
}

TEST_F(AmdHosts, BusyHostIsAbortedOnceThenFails) {
    SMBusHostTiming timing;
    timing.stuck = SMBusHostTiming::Stuck::Forever;
    Use(std::make_shared<AmdHost>(0x800, 0xE0, segment, timing), HostKinds::AMD);
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::NotCompleted);
    EXPECT_TRUE(Logged("SMBus busy $2D (STS=$0008): resetting..."));
    EXPECT_EQ(Writes().back(), Out(0x8E2, 0x0022, 2)) << "abort, and no start";

    timing.stuck = SMBusHostTiming::Stuck::UntilReset;
    Use(std::make_shared<AmdHost>(0x700, 0xE0, segment, timing), HostKinds::AMD);
    EXPECT_TRUE(Transact(SMBusProtocols::ByteData, true, 0x05));
}

// ---- nForce2 ------------------------------------------------------------------

class NForce2 : public HostTest {
protected:
    static constexpr std::uint16_t N = 0xA00;
    void UseNForce2(SMBusHostTiming timing = {}, std::uint16_t base = N) {
        Use(std::make_shared<NForce2Host>(base, segment, timing), HostKinds::nForce2);
    }
};

TEST_F(NForce2, ByteDataReadSequence) {
    UseNForce2();
    std::uint8_t value = 0;
    ASSERT_TRUE(link->ReadByteData(Chip, 0x05, value));
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{In(N, 0x00), In(N + 1, 0x00),       // idle, status
                                                   Out(N + 2, 0x5A), Out(N + 3, 0x05),  // no R/W bit
                                                   Out(N, 0x07),                        // read byte data: starts
                                                   In(N + 1, 0x00), In(N + 1, 0x80),    // done
                                                   In(N + 4, 0x42)}));
}

TEST_F(NForce2, WritesQuickWordAndBlocks) {
    UseNForce2();
    ASSERT_TRUE(link->WriteWordData(Chip, 0x06, 0xBEEF));
    EXPECT_EQ(Writes(),
              (std::vector<PortAccess>{Out(N + 4, 0xBE), Out(N + 5, 0xEF), Out(N + 2, 0x5A), Out(N + 3, 0x06),
                                       Out(N, 0x08)}));
    ClearAccesses();
    ASSERT_TRUE(link->WriteQuick(Chip, 0));
    EXPECT_EQ(Writes().back(), Out(N, 0x02));
    ASSERT_TRUE(link->WriteBlock(Chip, {5, 6, 7}));
    EXPECT_EQ(slave->block(), (TSMBBlockData{5, 6, 7}));
    slave->setBlock({0xA1, 0xA2, 0xA3});
    ClearAccesses();
    TSMBBlockData block;
    ASSERT_TRUE(link->ReadBlock(Chip, block));
    EXPECT_EQ(block, (TSMBBlockData{0xA1, 0xA2, 0xA3}));
    const auto& all = Accesses();
    EXPECT_EQ(std::vector<PortAccess>(all.end() - 4, all.end()),
              (std::vector<PortAccess>{In(N + 0x24, 0x03), In(N + 4, 0xA1), In(N + 5, 0xA2), In(N + 6, 0xA3)}));
}

struct StatusCase {
    std::uint8_t code;
    std::uint8_t lastError;
    const char* line;  // nullptr: none
};

class NForce2Status : public NForce2, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(NForce2Status, ClassifiedOnlyInDebugMode) {
    const StatusCase& c = GetParam();
    SMBusHostTiming timing;
    timing.statusCode = c.code;
    UseNForce2(timing);
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::Unknown);
    EXPECT_TRUE(log.empty());

    link->SetDebugMode(true);
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), c.lastError);
    if (c.line)
        EXPECT_EQ(log, std::vector<std::string>{c.line});
    else
        EXPECT_TRUE(log.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, NForce2Status,
                         ::testing::Values(StatusCase{0x07, SMBusErrors::UnknownFailure, "SMB Error $2D : Unknown Failure (87)"},
                                           StatusCase{0x10, SMBusErrors::NoAck, nullptr},
                                           StatusCase{0x11, SMBusErrors::Device, "SMB Error $2D : Device Error (91)"},
                                           StatusCase{0x12, SMBusErrors::CommandDenied, "SMB Error $2D : Command Denied (92)"},
                                           StatusCase{0x13, SMBusErrors::Unknown, "SMB Error $2D : Unknown Error (93)"},
                                           StatusCase{0x17, SMBusErrors::AccessDenied, "SMB Error $2D : Access Denied (97)"},
                                           StatusCase{0x18, SMBusErrors::Timeout, "SMB Error $2D : Timeout (98)"},
                                           StatusCase{0x19, SMBusErrors::Protocol, "SMB Error $2D : Bad Protocol (99)"},
                                           StatusCase{0x1A, SMBusErrors::Busy, "SMB Error $2D : Busy (9A)"},
                                           StatusCase{0x1F, SMBusErrors::PEC, "SMB Error $2D : PEC Error (9F)"},
                                           StatusCase{0x05, SMBusErrors::Unknown, "SMB Error $2D : NOTLISTED (85)"}));

TEST_F(NForce2, NeverDoneFailsWithTimeoutAndAStuckHostIsUsedAnyway) {
    SMBusHostTiming timing;
    timing.busyReads = SMBusHostTiming::Never;
    UseNForce2(timing);
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::Timeout);

    timing = {};
    timing.stuck = SMBusHostTiming::Stuck::Forever;
    UseNForce2(timing, 0xB00);
    link->SetDebugMode(true);
    Transact(SMBusProtocols::ByteData, true, 0x05);
    EXPECT_TRUE(Logged("SMBus $2D busy waiting IDLE (STS=$00)..."));
    EXPECT_EQ(Writes().back(), Out(0xB00, 0x07)) << "started regardless";
}

}  // namespace
