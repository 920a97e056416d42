// Links whose operations go straight to ports: the ISA index/data window,
// the ISA flat window and the embedded-controller mailbox.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "hw/cvdriver.h"
#include "hw/cvlink.h"
#include "hwfixture.h"
#include "platform/sim/ecmailbox.h"
#include "platform/sim/flatportrange.h"
#include "platform/sim/indexdataport.h"
#include "platform/sim/registerfile.h"

namespace {

using platform::sim::PortAccess;
using platform::sim::RegisterFile;

PortAccess In(std::uint16_t port, std::uint32_t value, int width = 1) { return {port, width, value, false}; }
PortAccess Out(std::uint16_t port, std::uint32_t value, int width = 1) { return {port, width, value, true}; }

class PortLink : public HwTest {
protected:
    PortLink() { IOPort = std::make_unique<TIOPort>(); }

    void Track(TLink& link) {
        link.SetOnLog([this](TLink&, const std::string& msg) { log.push_back(msg); });
    }
    const std::vector<PortAccess>& Accesses() { return machine().ports().recorder().accesses(); }
    void ClearAccesses() { machine().ports().recorder().clear(); }

    std::vector<std::string> log;
};

// ---- ISA index/data window at 290h -------------------------------------------

class IsaLink : public PortLink {
protected:
    IsaLink() {
        chip->set(0x40, 0x5A);
        chip->set(0x41, 0xC3);
        platform::sim::IndexDataPort::install(machine().ports(), chip, 0x295, 0x296, "monitor");
        Track(link);
        ClearAccesses();
    }
    std::shared_ptr<RegisterFile> chip = std::make_shared<RegisterFile>();
    TLink link{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
};

TEST_F(IsaLink, ByteReadGoesThroughIndexAndData) {
    std::uint8_t value = 0;
    ASSERT_TRUE(link.ReadByteData(0, 0x40, value));
    EXPECT_EQ(value, 0x5A);
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{Out(0x295, 0x40), In(0x296, 0x5A)}));
}

TEST_F(IsaLink, WritesAndWordsUseTheDataPortWidth) {
    ASSERT_TRUE(link.WriteQuick(0, 0x44));
    ASSERT_TRUE(link.WriteByteData(0x2D, 0x41, 0x11));
    ASSERT_TRUE(link.WriteWordData(0, 0x42, 0x2233));
    std::uint16_t word = 0;
    ASSERT_TRUE(link.ReadWordData(0, 0x41, word));
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{Out(0x296, 0x44), Out(0x295, 0x41), Out(0x296, 0x11),
                                                   Out(0x295, 0x42), Out(0x296, 0x2233, 2), Out(0x295, 0x41),
                                                   In(0x296, word, 2)}));
    EXPECT_EQ(chip->peek(0x41), 0x11);
    EXPECT_EQ(chip->peek(0x42), 0x33) << "the data port takes the low byte";
}

TEST_F(IsaLink, BlocksAreRefusedWithoutTouchingPortsOrCounters) {
    TSMBBlockData block{1, 2};
    EXPECT_FALSE(link.ReadBlock(0, block));
    EXPECT_FALSE(link.WriteBlock(0, block));
    EXPECT_EQ(block, (TSMBBlockData{1, 2}));
    EXPECT_EQ(log, (std::vector<std::string>{"READBLOCK not supported on ISA", "WRITEBLOCK not supported on ISA"}));
    EXPECT_TRUE(Accesses().empty());
    for (int outcome = -2; outcome <= 10; ++outcome) EXPECT_EQ(link.OutcomeCount(outcome), 0u);
}

TEST_F(IsaLink, PlainPortsOnlyOnIsaLinks) {
    link.WritePort(0x295, 0x40);
    EXPECT_EQ(link.ReadPort(0x296, 0x00), 0x5A);

    TLink flat(0, LinkKinds::ISAFlat, HostKinds::ISAFlat, 0x290, 0);
    TLink smbus(0, LinkKinds::SMBus, HostKinds::Intel, 0x290, 0);
    ClearAccesses();
    for (TLink* other : {&flat, &smbus}) {
        other->WritePort(0x295, 0x41);
        EXPECT_EQ(other->ReadPort(0x296, 0x77), 0x77);
    }
    EXPECT_TRUE(Accesses().empty());
}

// ---- ISA flat window at 0CCBh ------------------------------------------------

TEST_F(PortLink, FlatLinkReadsBasePlusRegister) {
    auto chip = std::make_shared<RegisterFile>();
    chip->set(0x10, 0x9C);
    chip->set(0x11, 0x01);
    platform::sim::FlatPortRange::install(machine().ports(), chip, 0xCCB, 0x20, "PM2");
    TLink link(2, LinkKinds::ISAFlat, HostKinds::ISAFlat, 0xCCB, 0);
    Track(link);
    ClearAccesses();

    ASSERT_TRUE(link.SelectByte(0x2D, 0x10));
    EXPECT_TRUE(Accesses().empty()) << "a select only remembers the register";
    EXPECT_EQ(link.ResultByte(), 0x9C);
    EXPECT_EQ(link.ResultWord(), 0x019C);
    ASSERT_TRUE(link.WriteByteData(0, 0x12, 0x55));
    ASSERT_TRUE(link.WriteQuick(0, 0x66));
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{In(0xCDB, 0x9C), In(0xCDB, 0x019C, 2), Out(0xCDD, 0x55)}));

    TSMBBlockData block;
    EXPECT_FALSE(link.ReadBlock(0, block));
    EXPECT_FALSE(link.WriteBlock(0, {1}));
    EXPECT_EQ(log,
              (std::vector<std::string>{"READBLOCK not supported on ISAFlat", "WRITEBLOCK not supported on ISAFlat"}));
}

TEST_F(PortLink, PortsPastFFFFhAreNeverWrappedToTheLowPorts) {
    TLink flat(0, LinkKinds::ISAFlat, HostKinds::ISAFlat, 0xFFF0, 0);
    TLink isa(0, LinkKinds::ISA, HostKinds::ISA, 0xFFFC, 0);
    ClearAccesses();
    flat.WriteByteData(0, 0x20, 0x01);
    std::uint8_t value = 0;
    EXPECT_TRUE(flat.ReadByteData(0, 0x20, value));
    EXPECT_EQ(value, 0xFF);
    isa.WriteByteData(0, 0x40, 0x01);
    EXPECT_TRUE(isa.ReadByteData(0, 0x4F, value));
    EXPECT_EQ(value, 0xFF);
    EXPECT_TRUE(Accesses().empty());
    flat.WriteByteData(0, 0x0F, 0x02);  // FFFFh itself is a port
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{Out(0xFFFF, 0x02)}));
}

// ---- embedded-controller mailbox at 2E0h --------------------------------------

class MailboxLink : public PortLink {
protected:
    static constexpr std::uint16_t B = 0x2E0;
    MailboxLink() {
        ram->set(0x40, 0x37, 3);
        mailbox = platform::sim::ECMailbox::install(machine().ports(), ram, B, "EC");
        Track(link);
        ClearAccesses();
    }
    std::uint64_t elapsedMs() { return machine().simClock().monotonicMs(); }
    std::size_t Count(const PortAccess& access) {
        return static_cast<std::size_t>(std::count(Accesses().begin(), Accesses().end(), access));
    }

    std::shared_ptr<RegisterFile> ram = std::make_shared<RegisterFile>(8);
    std::shared_ptr<platform::sim::ECMailbox> mailbox;
    TLink link{0, LinkKinds::ECNuvoton, HostKinds::ECNuvoton, B, 0};
};

TEST_F(MailboxLink, ReadFromAFreeMailbox) {
    std::uint8_t value = 0;
    ASSERT_TRUE(link.ReadByteData(3, 0x40, value));
    EXPECT_EQ(value, 0x37);
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{In(B, 0xFF), Out(B, 3), Out(B + 1, 0x40), In(B + 2, 0x37),
                                                   Out(B, 0xFF)}));
    EXPECT_TRUE(mailbox->isFree());
    EXPECT_EQ(link.PollCount(), 1u);
    EXPECT_EQ(link.MaxPolls(), 9999);
    EXPECT_TRUE(log.empty());
}

TEST_F(MailboxLink, WriteToAFreeMailbox) {
    ASSERT_TRUE(link.WriteByteData(5, 0x21, 0x64));
    EXPECT_EQ(ram->peek(0x21, 5), 0x64);
    EXPECT_EQ(Accesses(), (std::vector<PortAccess>{In(B, 0xFF), Out(B, 5), Out(B + 1, 0x21), Out(B + 2, 0x64),
                                                   Out(B, 0xFF)}));
}

TEST_F(MailboxLink, FirstReadWaitsAnotherPassForABusyMailbox) {
    mailbox->holdFor(15000);
    std::uint8_t value = 0;
    ASSERT_TRUE(link.ReadByteData(3, 0x40, value));
    EXPECT_EQ(value, 0x37);
    EXPECT_EQ(log, std::vector<std::string>{"10 attempts left..."});
    EXPECT_EQ(elapsedMs(), 1u);
    // The second pass found it free on its 5001st read.
    EXPECT_EQ(link.PollCount(), 1u);
    EXPECT_EQ(link.MaxPolls(), 10000 - 5001);
}

TEST_F(MailboxLink, FirstReadOfAStuckMailboxForcesReleaseThenGivesUp) {
    mailbox->holdForever();
    std::uint8_t value = 0;
    EXPECT_FALSE(link.ReadByteData(3, 0x40, value));
    EXPECT_EQ(value, 0xFF);

    std::vector<std::string> expected;
    for (int left = 10; left >= 1; --left) {
        expected.push_back(std::to_string(left) + " attempts left...");
        if (left == 2) expected.push_back("Forced release!");
    }
    expected.push_back("A=$03 R=$40 C=0 V=$FF B=$02E0 $01");
    EXPECT_EQ(log, expected);
    EXPECT_EQ(Count(In(B, platform::sim::ECMailbox::OtherOwner)), 11u * 10000u) << "eleven passes";
    EXPECT_EQ(elapsedMs(), 10u) << "a pause after each failed pass but the last";
    EXPECT_EQ(Count(Out(B, 0xFF)), 1u) << "the forced release";
    EXPECT_EQ(Accesses().size(), 11u * 10000u + 1u) << "nothing else is touched";
    EXPECT_EQ(link.PollCount(), 1u);
    EXPECT_EQ(link.ZeroPollCount(), 1u);

    log.clear();
    ClearAccesses();
    EXPECT_FALSE(link.ReadByteData(3, 0x40, value));
    EXPECT_EQ(log, std::vector<std::string>{"A=$03 R=$40 C=0 V=$FF B=$02E0 $01"});
    EXPECT_EQ(Accesses().size(), 10000u) << "later reads make one pass";
    EXPECT_EQ(elapsedMs(), 10u);
}

TEST_F(MailboxLink, WriteToAStuckMailboxFailsSilently) {
    mailbox->holdForever();
    EXPECT_FALSE(link.WriteByteData(3, 0x40, 0x01));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(Accesses().size(), 10000u);
    EXPECT_EQ(Count(In(B, platform::sim::ECMailbox::OtherOwner)), 10000u);
    EXPECT_EQ(link.ZeroPollCount(), 1u);
}

// Free only on the last of the 10000 reads: claimed, used and released, but
// the wait ran out, so the operation reports failure (and a first read takes
// no further pass).
TEST_F(MailboxLink, MailboxFreedOnTheLastReadIsUsedButTheWaitRanOut) {
    mailbox->holdFor(9999);
    std::uint8_t value = 0;
    EXPECT_FALSE(link.ReadByteData(3, 0x40, value));
    EXPECT_EQ(value, 0x37);
    EXPECT_EQ(Accesses().size(), 10000u + 4u);
    EXPECT_EQ(std::vector<PortAccess>(Accesses().end() - 5, Accesses().end()),
              (std::vector<PortAccess>{In(B, 0xFF), Out(B, 3), Out(B + 1, 0x40), In(B + 2, 0x37), Out(B, 0xFF)}));
    EXPECT_EQ(log, std::vector<std::string>{"A=$03 R=$40 C=0 V=$37 B=$02E0 $FF"});
    EXPECT_EQ(elapsedMs(), 0u);

    mailbox->holdFor(9999);
    log.clear();
    EXPECT_FALSE(link.WriteByteData(5, 0x21, 0x64));
    EXPECT_EQ(ram->peek(0x21, 5), 0x64);
    EXPECT_TRUE(mailbox->isFree());
    EXPECT_EQ(link.ZeroPollCount(), 2u);
    EXPECT_TRUE(log.empty());
}

TEST_F(MailboxLink, OtherOperationsFailInTheEngine) {
    std::uint16_t word = 0x1234;
    EXPECT_FALSE(link.ReadWordData(3, 0x40, word));
    EXPECT_EQ(word, 0x1234);
    EXPECT_EQ(link.LastError(), SMBusErrors::Unknown);
    EXPECT_FALSE(link.WriteWordData(3, 0x40, 1));
    EXPECT_FALSE(link.WriteQuick(3, 0));
    EXPECT_TRUE(Accesses().empty());
}

TEST_F(PortLink, MailboxThatAnswersAllOnesReadsAllOnes) {
    // Nothing claims the ports: every read is FFh, so the mailbox looks free.
    TLink link(0, LinkKinds::ECNuvoton, HostKinds::ECNuvoton, 0x2E0, 0);
    std::uint8_t value = 0;
    EXPECT_TRUE(link.ReadByteData(3, 0x40, value));
    EXPECT_EQ(value, 0xFF);
}

}  // namespace
