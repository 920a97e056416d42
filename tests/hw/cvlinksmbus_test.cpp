// The SMBus frame of a link against a host that answers at the protocol
// level: retry rule, counters, outcome codes, byte order and block guards.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hw/cvlink.h"
#include "hw/cvsmbushost.h"
#include "hwfixture.h"
#include "platform/sim/smbussegment.h"
#include "support/simsmbushost.h"

namespace {

using platform::sim::SMBusFault;
using platform::sim::SMBusProtocol;
using platform::sim::SMBusSegment;
using platform::sim::SMBusSlave;

constexpr int SlaveChip = 0x2D;

class SMBusFrame : public HwTest {
protected:
    SMBusFrame() {
        segment.attach(SlaveChip, slave);
        link.SetOnLog([this](TLink&, const std::string& msg) { log.push_back(msg); });
    }

    std::uint64_t elapsedMs() { return machine().simClock().monotonicMs(); }
    std::size_t requestCount() const { return segment.requests().size(); }

    SMBusSegment segment;
    std::shared_ptr<SMBusSlave> slave = std::make_shared<SMBusSlave>();
    TLink link{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, testsupport::SimProtocolHost::On(segment)};
    std::vector<std::string> log;
};

TEST_F(SMBusFrame, FirstTrySuccessCountsNothing) {
    slave->registers().set(0x05, 0x42);
    std::uint8_t value = 0;
    ASSERT_TRUE(link.ReadByteData(SlaveChip, 0x05, value));
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(requestCount(), 1u);
    EXPECT_EQ(link.LastError(), 0);
    for (int outcome = -2; outcome <= 10; ++outcome) EXPECT_EQ(link.OutcomeCount(outcome), 0u) << outcome;
    EXPECT_TRUE(log.empty());
}

// How many transactions a failing operation makes, and what it books.
struct RetryCase {
    const char* name;
    bool registered;
    bool quickWrite;
    int address;
    std::size_t transactions;
    int retryOutcome;
    int logLines;
};

class SMBusRetry : public SMBusFrame, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(SMBusRetry, FailureIsRetriedAndBooked) {
    const RetryCase& c = GetParam();
    if (c.registered) link.RegisterAddress(c.address);
    std::uint8_t value = 0x77;
    const bool ok = c.quickWrite ? link.WriteQuick(c.address, 0) : link.ReadByteData(c.address, 0x05, value);
    EXPECT_FALSE(ok);
    EXPECT_EQ(value, 0x77) << "a failed read leaves the value";
    EXPECT_EQ(requestCount(), c.transactions);
    EXPECT_EQ(link.LastError(), SMBusErrors::NoAck);
    EXPECT_EQ(link.OutcomeCount(-1), 1u);
    EXPECT_EQ(link.OutcomeCount(c.retryOutcome), 1u);
    EXPECT_EQ(static_cast<int>(log.size()), c.logLines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SMBusRetry,
    ::testing::Values(RetryCase{"ReadUnregistered", false, false, 0x48, 2, 1, 0},
                      RetryCase{"QuickWriteUnregisteredNoAck", false, true, 0x48, 1, 0, 0},
                      RetryCase{"ReadRegistered", true, false, 0x48, 9, 8, 1},
                      RetryCase{"QuickWriteRegistered", true, true, 0x48, 9, 8, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SMBusFrame, RegisteredFailureLogsOneLineWithTimeAndHost) {
    link.RegisterAddress(0x48);
    std::uint8_t value = 0;
    EXPECT_FALSE(link.ReadByteData(0x48, 0x05, value));
    // Nine transactions, each with the 1 ms pause before its end wait.
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "10:00:00.009 Unsuccessful SELB $05 to $48 on Intel");
}

TEST_F(SMBusFrame, CollisionsPauseBeforeEachRetry) {
    link.RegisterAddress(SlaveChip);
    slave->setFault({SMBusFault::Kind::Collision, 2});
    EXPECT_TRUE(link.WriteByteData(SlaveChip, 0x10, 0x99));
    EXPECT_EQ(slave->registers().peek(0x10), 0x99);
    EXPECT_EQ(requestCount(), 3u);
    // Three end-wait pauses and one pause after each of the two collisions.
    EXPECT_EQ(elapsedMs(), 5u);
    EXPECT_EQ(link.OutcomeCount(2), 1u);
    EXPECT_EQ(link.OutcomeCount(-1), 0u);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "10:00:00.005 WRITEB $10 to $2D on Intel (2 retries)");
}

TEST_F(SMBusFrame, SingleRetrySuccessIsCountedButNotLogged) {
    link.RegisterAddress(SlaveChip);
    slave->setFault({SMBusFault::Kind::Nack, 1});
    std::uint8_t value = 0;
    EXPECT_TRUE(link.ReadByteData(SlaveChip, 0, value));
    EXPECT_EQ(link.OutcomeCount(1), 1u);
    EXPECT_TRUE(log.empty());
}

TEST_F(SMBusFrame, DeviceThatNeverFinishesFailsWithinTheBound) {
    slave->setFault({SMBusFault::Kind::Timeout});
    std::uint8_t value = 0;
    EXPECT_FALSE(link.ReadByteData(SlaveChip, 0, value));
    EXPECT_EQ(link.LastError(), SMBusErrors::TimeoutEnd);
    EXPECT_EQ(requestCount(), 2u);
    EXPECT_EQ(link.PollCount(), 2u);
    EXPECT_EQ(link.ZeroPollCount(), 2u);
}

TEST_F(SMBusFrame, PollStatisticsOfAnsweredWaits) {
    segment.setBusyPolls(3);
    std::uint8_t value = 0;
    ASSERT_TRUE(link.ReadByteData(SlaveChip, 0, value));
    ASSERT_TRUE(link.ReadByteData(SlaveChip, 0, value));
    // Three busy reads and the idle one: 50000 - 4 left each time.
    EXPECT_EQ(link.PollCount(), 2u);
    EXPECT_EQ(link.NonZeroPollCount(), 2u);
    EXPECT_EQ(link.NonZeroPollSum(), 2.0 * 49996);
    EXPECT_EQ(link.MinPolls(), 49996);
    EXPECT_EQ(link.MaxPolls(), 49996);
}

TEST_F(SMBusFrame, WordsHaveTheFirstBusByteHigh) {
    slave->registers().set(0x20, 0x12);
    slave->registers().set(0x21, 0x34);
    std::uint16_t value = 0;
    ASSERT_TRUE(link.ReadWordData(SlaveChip, 0x20, value));
    EXPECT_EQ(value, 0x1234);

    ASSERT_TRUE(link.WriteWordData(SlaveChip, 0x30, 0xABCD));
    EXPECT_EQ(slave->registers().peek(0x30), 0xAB);
    EXPECT_EQ(slave->registers().peek(0x31), 0xCD);
}

TEST_F(SMBusFrame, RequestsCarryTheProtocolOfEachOperation) {
    std::uint8_t byte = 0;
    std::uint16_t word = 0;
    TSMBBlockData block;
    link.WriteQuick(SlaveChip, 1);
    link.ReadByteData(SlaveChip, 3, byte);
    link.ReadWordData(SlaveChip, 4, word);
    link.ReadBlock(SlaveChip, block);
    link.WriteBlock(SlaveChip, {1, 2});
    ASSERT_EQ(requestCount(), 5u);
    const auto& r = segment.requests();
    EXPECT_EQ(r[0].protocol, SMBusProtocol::Quick);
    EXPECT_FALSE(r[0].read);
    EXPECT_EQ(r[0].data0, 1);
    EXPECT_EQ(r[1].protocol, SMBusProtocol::ByteData);
    EXPECT_TRUE(r[1].read);
    EXPECT_EQ(r[1].command, 3);
    EXPECT_EQ(r[2].protocol, SMBusProtocol::WordData);
    EXPECT_EQ(r[3].protocol, SMBusProtocol::Block);
    EXPECT_TRUE(r[3].read);
    EXPECT_EQ(r[4].protocol, SMBusProtocol::Block);
    EXPECT_EQ(r[4].block, (std::vector<std::uint8_t>{1, 2}));
}

TEST_F(SMBusFrame, AddressIsSevenBits) {
    slave->registers().set(0, 0x5A);
    std::uint8_t value = 0;
    ASSERT_TRUE(link.ReadByteData(SlaveChip | 0x80, 0, value));
    EXPECT_EQ(segment.requests().at(0).address, SlaveChip);
}

TEST_F(SMBusFrame, BlockWritesOutsideOneTo32BytesAreRefusedBeforeTheBus) {
    struct Case {
        std::size_t size;
        const char* line;
    };
    for (const Case& c : {Case{0, "BLOCKWRITE with block too small (2D)"},
                          Case{33, "BLOCKWRITE with block too large (2D)"}}) {
        log.clear();
        EXPECT_FALSE(link.WriteBlock(SlaveChip, TSMBBlockData(c.size, 0xAA))) << c.size;
        EXPECT_EQ(link.LastError(), SMBusErrors::UnsupportedProtocol);
        EXPECT_EQ(requestCount(), 0u);
        // Refused on the first try and on the retry of an unregistered address.
        EXPECT_EQ(log, (std::vector<std::string>{c.line, c.line}));
    }
    EXPECT_TRUE(link.WriteBlock(SlaveChip, TSMBBlockData(32, 0xAA)));
    EXPECT_EQ(slave->block().size(), 32u);
}

TEST_F(SMBusFrame, BlockReadsAreClampedTo32Bytes) {
    TSMBBlockData source(40);
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i);
    slave->setBlock(source);
    TSMBBlockData data;
    ASSERT_TRUE(link.ReadBlock(SlaveChip, data));
    EXPECT_EQ(data, TSMBBlockData(source.begin(), source.begin() + 32));

    slave->setFault({SMBusFault::Kind::AllOnes});
    ASSERT_TRUE(link.ReadBlock(SlaveChip, data));
    EXPECT_EQ(data, TSMBBlockData(32, 0xFF));
}

TEST_F(SMBusFrame, FailedBlockReadLeavesTheCallersData) {
    TSMBBlockData data{7, 8, 9};
    EXPECT_FALSE(link.ReadBlock(0x48, data));
    EXPECT_EQ(data, (TSMBBlockData{7, 8, 9}));
}

TEST_F(SMBusFrame, AddressIsEmptyOnlyWhenNothingAnswers) {
    EXPECT_FALSE(link.IsAddressEmpty(SlaveChip));
    segment.clearRequests();
    EXPECT_TRUE(link.IsAddressEmpty(0x48));
    // The quick write, not repeated after "no ack", then the byte read and its retry.
    ASSERT_EQ(requestCount(), 3u);
    EXPECT_EQ(segment.requests()[0].protocol, SMBusProtocol::Quick);
}

TEST_F(SMBusFrame, EepromAddressesAreProbedWithoutQuickWrites) {
    for (int address : {0x30, 0x37, 0x50, 0x5F}) {
        segment.clearRequests();
        EXPECT_TRUE(link.IsAddressEmpty(address)) << address;
        for (const auto& request : segment.requests()) {
            EXPECT_EQ(request.protocol, SMBusProtocol::ByteData) << address;
            EXPECT_TRUE(request.read);
        }
    }
    segment.attach(0x50, std::make_shared<SMBusSlave>());
    EXPECT_FALSE(link.IsAddressEmpty(0x50));
}

using SMBusEngine = HwTest;

// What some host kinds refuse, one transaction each, whatever their family
// would do: outcome 16 before the block-size guard and before the bus.
TEST_F(SMBusEngine, HostKindsRefuseWhatTheyCannotDo) {
    constexpr const char* NoWrites = "SMBIntelMCH does not support WRITE operations";
    constexpr const char* TooLarge = "BLOCKWRITE with block too large (2D)";
    struct Case {
        std::uint8_t hostKind;
        std::uint8_t protocol;
        bool read;
        std::size_t blockSize;
        std::uint8_t lastError;  // 0: the transaction succeeds
        const char* line;
    };
    using P = std::uint8_t;
    const Case cases[] = {
        {HostKinds::IntelMCH, P{SMBusProtocols::ByteData}, true, 0, 0, nullptr},
        {HostKinds::IntelMCH, P{SMBusProtocols::ByteData}, false, 0, 16, NoWrites},
        {HostKinds::IntelMCH, P{SMBusProtocols::WordData}, false, 0, 16, nullptr},
        {HostKinds::IntelMCH, P{SMBusProtocols::WordData}, true, 0, 16, nullptr},
        {HostKinds::IntelMCH, P{SMBusProtocols::Quick}, false, 0, 16, nullptr},
        {HostKinds::IntelMCH, P{SMBusProtocols::Block}, true, 0, 16, nullptr},
        {HostKinds::IntelMCH, P{SMBusProtocols::Block}, false, 33, 16, nullptr},
        {HostKinds::SiS968, P{SMBusProtocols::Block}, true, 0, 16, nullptr},
        {HostKinds::SiS968, P{SMBusProtocols::Block}, false, 33, 16, nullptr},
        {HostKinds::SiS968, P{SMBusProtocols::WordData}, false, 0, 0, nullptr},
        {HostKinds::Uli, P{SMBusProtocols::Block}, true, 0, 16, nullptr},
        {HostKinds::Uli, P{SMBusProtocols::Block}, false, 4, 16, nullptr},
        {HostKinds::Uli, P{SMBusProtocols::Block}, false, 33, 16, nullptr},
        {HostKinds::Uli, P{SMBusProtocols::ByteData}, false, 0, 0, nullptr},
        {HostKinds::Intel, P{SMBusProtocols::Block}, true, 0, 0, nullptr},
        {HostKinds::Intel, P{SMBusProtocols::Block}, false, 33, 16, TooLarge},
    };
    for (const Case& c : cases) {
        SMBusSegment segment;
        segment.attach(0x2D, std::make_shared<SMBusSlave>());
        TLink link(0, LinkKinds::SMBus, c.hostKind, 0x400, 0, testsupport::SimProtocolHost::On(segment));
        std::vector<std::string> log;
        link.SetOnLog([&log](TLink&, const std::string& msg) { log.push_back(msg); });
        const std::string label = std::to_string(c.hostKind) + "/" + std::to_string(c.protocol) +
                                  (c.read ? " read" : " write");
        EXPECT_EQ(link.Transaction(0x2D, c.protocol, c.read, 0, 0, 0, TSMBBlockData(c.blockSize, 0xAA)),
                  c.lastError == 0)
            << label;
        EXPECT_EQ(link.LastError(), c.lastError) << label;
        EXPECT_EQ(segment.requests().size(), c.lastError == 0 ? 1u : 0u) << label;
        EXPECT_EQ(log, c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{}) << label;
    }
}

TEST_F(SMBusEngine, HostKindsWithoutTransactionsFailWithUnknownError) {
    for (int hostKind : {0, 1, 18, 19}) {
        TLink link(0, LinkKinds::SMBus, static_cast<std::uint8_t>(hostKind), 0x400, 0);
        std::uint16_t value = 0x1111;
        EXPECT_FALSE(link.ReadWordData(0x2D, 0, value)) << hostKind;
        EXPECT_EQ(value, 0x1111);
        EXPECT_EQ(link.LastError(), SMBusErrors::Unknown);
        EXPECT_EQ(link.ResultWord(), 0);
        TSMBBlockData block{1};
        EXPECT_FALSE(link.ReadBlock(0x2D, block));
        EXPECT_EQ(link.LastError(), SMBusErrors::Unknown);
    }
    EXPECT_EQ(machine().ports().recorder().accesses().size(), 0u);
}

TEST_F(SMBusEngine, OnlySMBusLinksHaveEmptyAddresses) {
    TLink isa(2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0);
    EXPECT_FALSE(isa.IsAddressEmpty(0x2D));
}

}  // namespace

namespace {

TEST(BoundedWait, CountsOutAtZeroEvenWhenTheLastReadSucceeds) {
    struct Case {
        int limit;
        int answersOnRead;  // 0: never
        int left;
        int reads;
    };
    const Case cases[] = {{3, 2, 1, 2}, {3, 3, 0, 3}, {3, 0, 0, 3}, {1, 1, 0, 1}, {50000, 1, 49999, 1}};
    for (const Case& c : cases) {
        int reads = 0;
        EXPECT_EQ(PollUntil(c.limit, [&] { return ++reads == c.answersOnRead; }), c.left)
            << c.limit << "/" << c.answersOnRead;
        EXPECT_EQ(reads, c.reads);
    }
}

}  // namespace
