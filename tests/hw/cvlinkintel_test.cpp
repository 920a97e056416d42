// The Intel-style host families (Intel, AtiIgp, VIA, ULi) against their
// simulated controllers: port sequences, the semaphore, status decoding,
// stuck controllers and the two ways of moving a block.

#include <gtest/gtest.h>

#include <algorithm>

#include "hw/cvlinkio.h"
#include "platform/sim/smbus/ichstylehost.h"
#include "smbushostfixture.h"

namespace {

using namespace smbustest;
using platform::sim::IchStyleHost;
using platform::sim::SMBusFault;
using platform::sim::SMBusHostTiming;

constexpr std::uint16_t B = 0x400;
constexpr std::uint8_t ICH8 = 63, PIIX4 = 3, ICH10 = 66;

// The controller a chipset code names: the PIIX4 class (codes 3 to 8) is its own.
const platform::sim::IchStyleFamily& FamilyOf(std::uint8_t hostKind, std::uint8_t code) {
    if (hostKind == HostKinds::AtiIgp) return platform::sim::AtiIgpFamily;
    return code >= 3 && code <= 8 ? platform::sim::Piix4Family : platform::sim::IntelFamily;
}

class IntelHost : public HostTest {
protected:
    IchStyleHost& UseIntel(std::uint8_t code, SMBusHostTiming timing = {}, std::uint8_t aux = 0x02,
                           std::uint16_t base = B) {
        auto model = std::make_shared<IchStyleHost>(FamilyOf(HostKinds::Intel, code), base, segment, timing);
        model->setAux(aux);
        return Use(model, HostKinds::Intel, code);
    }
    bool WroteStatus(std::uint8_t value) {
        const auto writes = Writes();
        return std::find(writes.begin(), writes.end(), Out(B, value)) != writes.end();
    }
};

TEST_F(IntelHost, ByteDataReadSequence) {
    UseIntel(ICH8);
    std::uint8_t value = 0;
    ASSERT_TRUE(link->ReadByteData(Chip, 0x05, value));
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{
                              In(B, 0x00),                            // idle; the read takes the semaphore
                              In(B + 2, 0x00), Out(B + 2, 0x08),      // byte data
                              Out(B + 4, 0x5B), Out(B + 3, 0x05),     // address with R/W, command
                              In(B, 0x40),                            // busy check ignores the semaphore
                              In(B + 2, 0x08), Out(B + 2, 0x48),      // start
                              In(B, 0x41),                            // started
                              In(B, 0x42),                            // done
                              In(B, 0x42), Out(B, 0x02), In(B, 0x40), // final reset
                              In(B + 2, 0x08), Out(B, 0x40),          // no kill; semaphore released
                              In(B + 5, 0x42)}));
    EXPECT_FALSE(link->OutcomeCount(-1));
}

TEST_F(IntelHost, WordWriteAndQuickWriteSequences) {
    UseIntel(ICH8);
    ASSERT_TRUE(link->WriteWordData(Chip, 0x06, 0xBEEF));
    EXPECT_EQ(Writes(), (std::vector<PortAccess>{Out(B + 5, 0xBE), Out(B + 6, 0xEF), Out(B + 2, 0x0C),
                                                 Out(B + 4, 0x5A), Out(B + 3, 0x06), Out(B + 2, 0x4C), Out(B, 0x02),
                                                 Out(B, 0x40)}));
    EXPECT_EQ(slave->registers().peek(0x06), 0xBE) << "the high byte goes first";
    EXPECT_EQ(slave->registers().peek(0x07), 0xEF);
    std::uint16_t word = 0;
    ASSERT_TRUE(link->ReadWordData(Chip, 0x06, word));
    EXPECT_EQ(word, 0xBEEF);

    ClearAccesses();
    ASSERT_TRUE(link->WriteQuick(Chip, 0));
    EXPECT_EQ(Writes(), (std::vector<PortAccess>{Out(B + 5, 0x00), Out(B + 6, 0x00), Out(B + 2, 0x00),
                                                 Out(B + 4, 0x5A), Out(B + 3, 0x00), Out(B + 2, 0x40), Out(B, 0x02),
                                                 Out(B, 0x40)}));
}

TEST_F(IntelHost, BufferedBlockReadResetsTheIndexThenReadsTheCount) {
    UseIntel(59, {}, 0x02);  // ICH5 with the 32-byte buffer on
    TSMBBlockData block;
    ASSERT_TRUE(link->ReadBlock(Chip, block));
    EXPECT_EQ(block, (TSMBBlockData{0xA1, 0xA2, 0xA3}));
    const auto& all = Accesses();
    ASSERT_GE(all.size(), 5u);
    EXPECT_EQ(std::vector<PortAccess>(all.end() - 5, all.end()),
              (std::vector<PortAccess>{In(B + 2, 0x14), In(B + 5, 0x03), In(B + 7, 0xA1), In(B + 7, 0xA2),
                                       In(B + 7, 0xA3)}));
    EXPECT_FALSE(std::any_of(all.begin(), all.end(), [](const PortAccess& a) { return a.port == B && a.isWrite && (a.value & 0x80); }));

    ASSERT_TRUE(link->WriteBlock(Chip, {1, 2, 3, 4}));
    EXPECT_EQ(slave->block(), (TSMBBlockData{1, 2, 3, 4}));
}

TEST_F(IntelHost, PiixNeverWritesTheSemaphore) {
    SMBusHostTiming stuck;
    stuck.stuck = SMBusHostTiming::Stuck::Forever;
    UseIntel(PIIX4);
    std::uint8_t value = 0;
    EXPECT_TRUE(link->ReadByteData(Chip, 0x05, value));
    EXPECT_FALSE(link->ReadByteData(0x48, 0x05, value));
    EXPECT_FALSE(WroteStatus(0x40));

    machine().ports().recorder().clear();
    auto model = std::make_shared<IchStyleHost>(platform::sim::Piix4Family, 0x480, segment, stuck);
    Use(model, HostKinds::Intel, PIIX4);
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::TimeoutStart);
    for (const auto& access : Writes()) EXPECT_FALSE(access.port == 0x480 && access.value == 0x40);
}

// Data-sheet status bits: the PIIX4's bits 7:5 are reserved (read 0), the
// ICH's bit 6 is the in-use semaphore; a refused byte read is a device error
// (bit 2) on both.
TEST_F(IntelHost, StatusBitsOfEachController) {
    struct Case {
        std::uint8_t code;
        std::uint8_t inUse;
    };
    for (const Case c : {Case{PIIX4, 0x00}, Case{ICH8, 0x40}}) {
        const std::uint16_t base = c.code == PIIX4 ? 0x480 : B;
        UseIntel(c.code, {}, 0x02, base);
        EXPECT_FALSE(link->Transaction(0x48, SMBusProtocols::ByteData, true, 0x05, 0, 0));
        std::uint8_t seen = 0;
        for (const auto& a : Accesses())
            if (!a.isWrite && a.port == base) seen |= static_cast<std::uint8_t>(a.value);
        EXPECT_EQ(seen & 0x40, c.inUse) << int(c.code);
        EXPECT_EQ(seen & 0x1C, 0x04) << int(c.code);
        EXPECT_EQ(link->LastError(), SMBusErrors::Unknown) << "bits 2-4 decode to 1 without DebugMode";
    }
}

TEST_F(IntelHost, ReceiveSlaveAddressResetsTo44h) {
    UseIntel(ICH8);
    EXPECT_EQ(linkio::ReadPortByte(B + 9), 0x44);
}

// With E32B set the ICH moves a block through its buffer and never raises
// byte done (80h); with it clear each byte raises it.
TEST_F(IntelHost, ByteDoneOnlyWhileTheBufferIsOff) {
    for (const std::uint8_t aux : {0x02, 0x00}) {
        const std::uint16_t base = aux ? B : 0x480;
        UseIntel(ICH10, {}, aux, base);
        linkio::WritePortByte(base + 4, Chip << 1 | 1);
        linkio::WritePortByte(base + 2, 0x54);  // block, start
        std::uint8_t status = 0;
        for (int i = 0; i < 4; ++i) status |= linkio::ReadPortByte(base);
        EXPECT_EQ(status & 0x80, aux ? 0x00 : 0x80) << int(aux);
        EXPECT_EQ(linkio::ReadPortByte(base + 5), 3) << "the count in D0";
        linkio::ReadPortByte(base + 2);
        EXPECT_EQ(linkio::ReadPortByte(base + 7), 0xA1);
    }
}

TEST_F(IntelHost, SemaphoreIsReleasedOnEveryEnding) {
    // After a success and after a device error.
    UseIntel(ICH8);
    EXPECT_TRUE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_TRUE(WroteStatus(0x40));
    ClearAccesses();
    EXPECT_FALSE(link->Transaction(0x48, SMBusProtocols::ByteData, true, 0x05, 0, 0));
    EXPECT_EQ(Writes().back(), Out(B, 0x40));
}

TEST_F(IntelHost, IdleTimeoutKillsWaitsAgainAndReleasesTheSemaphore) {
    SMBusHostTiming timing;
    timing.stuck = SMBusHostTiming::Stuck::Forever;
    UseIntel(ICH8, timing);
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::TimeoutStart);
    EXPECT_EQ(Writes(), (std::vector<PortAccess>{Out(B + 2, 0x02), Out(B, 0x01), Out(B + 2, 0x00), Out(B, 0x40)}));
    EXPECT_TRUE(Logged("Timeout waiting IDLE SMBus $2D (STS=$41)"));
    EXPECT_EQ(link->ZeroPollCount(), 2u);
}

TEST_F(IntelHost, KillFreesAStuckController) {
    SMBusHostTiming timing;
    timing.stuck = SMBusHostTiming::Stuck::UntilReset;
    UseIntel(ICH8, timing);
    std::uint8_t value = 0;
    EXPECT_TRUE(link->ReadByteData(Chip, 0x05, value));
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(Writes().front(), Out(B + 2, 0x02));
    EXPECT_EQ(link->ZeroPollCount(), 1u);
}

TEST_F(IntelHost, StaleStatusFailsTheBusyCheck) {
    SMBusHostTiming timing;
    timing.staleStatus = true;
    UseIntel(ICH8, timing);
    EXPECT_FALSE(link->Transaction(0x48, SMBusProtocols::ByteData, true, 0x05, 0, 0));  // leaves the device error
    ClearAccesses();
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::NotCompleted);
    EXPECT_EQ(Writes().back(), Out(B, 0x40));
    const auto writes = Writes();
    EXPECT_EQ(std::count(writes.begin(), writes.end(), Out(B, 0x04)), 1) << "written back once";
}

// The error bits decide; only DebugMode says which.
struct DecodeCase {
    bool debug;
    SMBusFault::Kind fault;
    std::uint8_t lastError;
    const char* line;
};

class IntelDecode : public IntelHost, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(IntelDecode, ClassifiesOnlyInDebugMode) {
    const DecodeCase& c = GetParam();
    UseIntel(ICH8);
    link->SetDebugMode(c.debug);
    slave->setFault({c.fault, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), c.lastError);
    if (c.line)
        EXPECT_TRUE(Logged(c.line)) << (log.empty() ? "" : log.front());
    else
        EXPECT_TRUE(log.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IntelDecode,
    ::testing::Values(DecodeCase{false, SMBusFault::Kind::Collision, SMBusErrors::Unknown, nullptr},
                      DecodeCase{true, SMBusFault::Kind::Collision, SMBusErrors::Collision,
                                 "SMB Error $2D : COLLISION (4A)"},
                      DecodeCase{false, SMBusFault::Kind::Nack, SMBusErrors::Unknown, nullptr},
                      // A transfer that never ends fails with 4 in both modes.
                      DecodeCase{false, SMBusFault::Kind::Timeout, SMBusErrors::TimeoutEnd, nullptr},
                      DecodeCase{true, SMBusFault::Kind::Timeout, SMBusErrors::TimeoutEnd,
                                 "SMB Error $2D : BUSY (41)"}));

TEST_F(IntelHost, FinalResetClearsAKillLeftSet) {
    UseIntel(ICH8);
    linkio::WritePortByte(B + 2, 0x02);  // someone killed and left it
    EXPECT_TRUE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_TRUE(Logged("SMBus $2D KILL is set (CNT=$0A): clearing it (final reset)..."));
}

// ---- block variants -----------------------------------------------------------

struct VariantCase {
    std::uint8_t hostKind;
    std::uint8_t code;
    std::uint8_t aux;
    bool readsAux;
    bool byteByByte;
};

class BlockVariant : public IntelHost, public ::testing::WithParamInterface<VariantCase> {};

TEST_P(BlockVariant, ChosenByChipsetCodeAndAux) {
    const VariantCase& c = GetParam();
    auto model = std::make_shared<IchStyleHost>(FamilyOf(c.hostKind, c.code), B, segment);
    model->setAux(c.aux);
    Use(model, c.hostKind, c.code);
    TSMBBlockData block;
    ASSERT_TRUE(link->ReadBlock(Chip, block));
    EXPECT_EQ(block, (TSMBBlockData{0xA1, 0xA2, 0xA3}));
    const auto& all = Accesses();
    const bool auxRead = std::any_of(all.begin(), all.end(), [](const PortAccess& a) { return a.port == B + 0x0D; });
    const bool acknowledged = std::any_of(all.begin(), all.end(),
                                          [](const PortAccess& a) { return a.isWrite && a.port == B && (a.value & 0x80); });
    EXPECT_EQ(auxRead, c.readsAux);
    EXPECT_EQ(acknowledged, c.byteByByte);
}

INSTANTIATE_TEST_SUITE_P(Cases, BlockVariant,
                         ::testing::Values(VariantCase{HostKinds::Intel, 3, 0x02, false, false},
                                           VariantCase{HostKinds::Intel, 8, 0x02, false, false},
                                           VariantCase{HostKinds::Intel, 58, 0x02, true, false},
                                           VariantCase{HostKinds::Intel, 58, 0x00, true, true},
                                           VariantCase{HostKinds::Intel, 63, 0x00, true, true},
                                           VariantCase{HostKinds::Intel, 92, 0x02, true, false},
                                           VariantCase{HostKinds::Intel, 61, 0x00, false, true},
                                           VariantCase{HostKinds::Intel, ICH10, 0x02, true, false},
                                           VariantCase{HostKinds::Intel, ICH10, 0x00, true, true},
                                           VariantCase{HostKinds::AtiIgp, 92, 0x00, false, false}));

// Byte by byte: the last-byte bit is set once, when one byte is left.
struct ByteCase {
    TSMBBlockData block;
    int lastByteAfterBytes;  // BLK reads before the CNT write with bit 5; -1: none
};

class ByteByByte : public IntelHost, public ::testing::WithParamInterface<ByteCase> {};

TEST_P(ByteByByte, ReadsEachByteAndMarksTheLast) {
    const ByteCase& c = GetParam();
    slave->setBlock(c.block);
    UseIntel(ICH8, {}, 0x00);
    TSMBBlockData block{0xEE};
    ASSERT_TRUE(link->ReadBlock(Chip, block));
    EXPECT_EQ(block, c.block);
    int reads = 0, marks = 0, at = -1;
    for (const auto& a : Accesses()) {
        if (!a.isWrite && a.port == B + 7) ++reads;
        if (a.isWrite && a.port == B + 2 && (a.value & 0x20) && !(a.value & 0x40)) {
            ++marks;
            at = reads;
        }
    }
    EXPECT_EQ(marks, c.lastByteAfterBytes < 0 ? 0 : 1);
    EXPECT_EQ(at, c.lastByteAfterBytes);
}

INSTANTIATE_TEST_SUITE_P(Cases, ByteByByte,
                         ::testing::Values(ByteCase{{}, -1}, ByteCase{{0x11}, -1},
                                           ByteCase{{0x11, 0x22, 0x33}, 2}));

TEST_F(IntelHost, ByteByByteWriteHandsOverEachByte) {
    UseIntel(ICH8, {}, 0x00);
    ASSERT_TRUE(link->WriteBlock(Chip, {0x10, 0x20, 0x30}));
    EXPECT_EQ(slave->block(), (TSMBBlockData{0x10, 0x20, 0x30}));
}

TEST_F(IntelHost, ByteByByteErrorFailsTheBlockWithoutWaitingItOut) {
    UseIntel(ICH8, {}, 0x00);
    slave->setFault({SMBusFault::Kind::Nack, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::Block, true));
    EXPECT_EQ(link->LastError(), SMBusErrors::Unknown);
    EXPECT_EQ(link->ZeroPollCount(), 0u);
    slave->setFault({SMBusFault::Kind::Collision, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::Block, true));
    EXPECT_EQ(link->LastError(), SMBusErrors::Collision);
    EXPECT_TRUE(Logged("BLK SMB Error $2D : COLLISION (4A)"));
}

TEST_F(IntelHost, AtiIgpBehavesLikeIntel) {
    Use(std::make_shared<IchStyleHost>(platform::sim::AtiIgpFamily, B, segment), HostKinds::AtiIgp, 92);
    std::uint8_t value = 0;
    ASSERT_TRUE(link->ReadByteData(Chip, 0x05, value));
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(Writes().back(), Out(B, 0x40));
}

// ---- VIA ----------------------------------------------------------------------

TEST_F(IntelHost, ViaByteReadWritesTheDataRegistersToo) {
    constexpr std::uint16_t V = 0x500;
    Use(std::make_shared<IchStyleHost>(platform::sim::VIAFamily, V, segment), HostKinds::VIA);
    std::uint8_t value = 0;
    ASSERT_TRUE(link->ReadByteData(Chip, 0x05, value));
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{
                              In(V, 0x00), In(V + 2, 0x00), Out(V + 2, 0x08), Out(V + 4, 0x5B), Out(V + 3, 0x05),
                              Out(V + 5, 0x00), Out(V + 6, 0x00),  // data registers, for a read too
                              In(V, 0x00),                         // busy check
                              In(V + 2, 0x08), Out(V + 2, 0x48), In(V, 0x01), In(V, 0x02),  // start, waits
                              In(V, 0x02), Out(V, 0x02), In(V, 0x00),                      // final reset
                              In(V + 5, 0x42)}));
    ClearAccesses();
    TSMBBlockData block;
    ASSERT_TRUE(link->ReadBlock(Chip, block));
    EXPECT_EQ(block, (TSMBBlockData{0xA1, 0xA2, 0xA3}));
    const auto& all = Accesses();
    EXPECT_EQ(std::vector<PortAccess>(all.end() - 4, all.end()),
              (std::vector<PortAccess>{In(V + 5, 0x03), In(V + 7, 0xA1), In(V + 7, 0xA2), In(V + 7, 0xA3)}))
        << "no CNT read before the count";
}

TEST_F(IntelHost, ViaStuckControllerFailsWithTheIdleLine) {
    SMBusHostTiming timing;
    timing.stuck = SMBusHostTiming::Stuck::Forever;
    Use(std::make_shared<IchStyleHost>(platform::sim::VIAFamily, 0x500, segment, timing), HostKinds::VIA);
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::TimeoutStart);
    EXPECT_TRUE(Logged("Timeout waiting IDLE SMBus $2D (STS=$01)"));
}

// ---- ULi ----------------------------------------------------------------------

class UliHost : public HostTest {
protected:
    static constexpr std::uint16_t U = 0x600;
    void UseUli(SMBusHostTiming timing = {}) {
        Use(std::make_shared<IchStyleHost>(platform::sim::UliFamily, U, segment, timing), HostKinds::Uli);
    }
};

TEST_F(UliHost, ByteDataReadSequence) {
    UseUli();
    std::uint8_t value = 0;
    ASSERT_TRUE(link->ReadByteData(Chip, 0x05, value));
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{In(U, 0x00), In(U + 2, 0x00), Out(U + 2, 0x10), Out(U + 4, 0x5B),
                                                   Out(U + 3, 0x05), In(U, 0x00), In(U + 2, 0x10), Out(U + 2, 0x50),
                                                   In(U, 0x01), In(U, 0x02), In(U, 0x02), Out(U, 0xDE), In(U, 0x00),
                                                   In(U + 5, 0x42)}));
}

TEST_F(UliHost, DecodeNamesDeviceErrorCollisionAndTimeout) {
    UseUli();
    slave->setFault({SMBusFault::Kind::Nack, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::Device);
    slave->setFault({SMBusFault::Kind::Collision, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::Collision);
    slave->setFault({SMBusFault::Kind::Timeout, 1});
    EXPECT_FALSE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(link->LastError(), SMBusErrors::TimeoutEnd);
    EXPECT_TRUE(Logged("SMBUS Timeout! $2D"));
}

TEST_F(UliHost, StuckControllerIsKilledThroughCntBit2) {
    SMBusHostTiming timing;
    timing.stuck = SMBusHostTiming::Stuck::UntilReset;
    UseUli(timing);
    link->SetDebugMode(true);
    EXPECT_TRUE(Transact(SMBusProtocols::ByteData, true, 0x05));
    EXPECT_EQ(Writes().front(), Out(U + 2, 0x04));
    EXPECT_TRUE(Logged("SMBus $2D busy waiting IDLE (STS=$01): resetting..."));
}

}  // namespace
