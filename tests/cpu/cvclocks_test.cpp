// The clock base: the two tables, construction and names, the entries'
// bounds, SetClock's refusal of a bad index, the register dump text, the
// clock page's factory and the processor clock measurement.

#include <gmock/gmock.h>

#include "clockfixture.h"
#include "core/cvvars.h"

namespace {

using ::testing::ElementsAre;

TEST(ClockTables, ChipRowsAreLookedUpById) {
    std::vector<int> ids, offered;
    for (const TClockInfo& row : ClockChipTable()) {
        ids.push_back(row.Id);
        if (IsOffered(row.State)) offered.push_back(row.Id);
    }
    EXPECT_EQ(ids, (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 25, 19, 20, 24, 21, 23, 22}));
    EXPECT_EQ(offered, (std::vector<int>{2, 3, 5, 7, 8, 10, 12, 14, 16, 17, 25, 19, 23}));
    ASSERT_NE(FindClockChip(25), nullptr);
    EXPECT_STREQ(FindClockChip(25)->Model, "nForce2");
    EXPECT_STREQ(FindClockChip(24)->Model, "W48S111-14");
    EXPECT_EQ(FindClockChip(18)->Capabilities, ClockCapabilities::CanSet);
    EXPECT_EQ(FindClockChip(1), nullptr);
    EXPECT_EQ(FindClockChip(26), nullptr);
}

TEST(ClockTables, BoardRowsNameKnownChips) {
    const auto boards = BoardClockTable();
    ASSERT_EQ(boards.size(), 43u);
    EXPECT_STREQ(boards.front().Model, "AN7");
    EXPECT_STREQ(boards[20].Maker, "DELTA");
    EXPECT_EQ(boards[20].ChipId, 24);
    EXPECT_EQ(boards[20].State, 0);
    EXPECT_STREQ(boards.back().Model, "EPIA M9000");
    for (const TMBClock& board : boards) EXPECT_NE(FindClockChip(board.ChipId), nullptr) << board.Model;
    // The SOYO 7IWM-L is offered, its chip is not.
    EXPECT_TRUE(IsOffered(boards[40].State));
    EXPECT_FALSE(IsOffered(FindClockChip(boards[40].ChipId)->State));
}

TEST(RegisterImage, EveryByteAsDollarHexAndABlank) {
    EXPECT_EQ(FormatRegisterImage({0x04, 0x0F}), "$04 $0F ");
    EXPECT_EQ(FormatRegisterImage({0xAB}), "$AB ");
    EXPECT_EQ(FormatRegisterImage({}), "");
}

using Clocks = ClockTest;

TEST_F(Clocks, AnUnknownIdHasNoNameAndNoCapabilities) {
    TClock onLink(&smbus, 1, Chip);
    EXPECT_EQ(onLink.Name(), "none");
    EXPECT_EQ(onLink.Capabilities(), 0);
    EXPECT_EQ(onLink.LinkName(), smbus.DisplayName());
    EXPECT_FALSE(smbus.IsUnregisteredAddress(Chip)) << "the address is registered";
    TClock alone(nullptr, 1, 0);
    EXPECT_EQ(alone.LinkName(), "none");
    EXPECT_EQ(CreateClock(1, &smbus, Chip), nullptr);
}

TEST_F(Clocks, EveryChipIdMakesItsClass) {
    for (const TClockInfo& row : ClockChipTable()) {
        const auto clock = Make(row.Id);
        ASSERT_NE(clock, nullptr) << int(row.Id);
        EXPECT_EQ(clock->ChipId(), row.Id);
        EXPECT_EQ(clock->Name(), std::string(row.Vendor) + " " + row.Model);
        EXPECT_EQ(clock->Capabilities(), row.Capabilities);
    }
}

TEST_F(Clocks, EntriesOutOfRangeAreEmpty) {
    const auto clock = Make(2);
    ASSERT_EQ(clock->EntryCount(), 8);
    for (int index : {-1, 8}) {
        const TClkEntry entry = clock->GetEntry(index);
        EXPECT_EQ(entry.Select, 0);
        EXPECT_EQ(entry.Cpu + entry.Pci + entry.Sdram + entry.Agp, 0.0f);
        EXPECT_EQ(entry.Text, "");
    }
}

TEST_F(Clocks, SetClockRefusesABadIndexWithoutTouchingTheBus) {
    const auto clock = Make(3);
    for (int index : {-1, clock->EntryCount()}) {
        log.clear();
        EXPECT_FALSE(clock->SetClock(index));
        EXPECT_THAT(log, ElementsAre("+ About to SETCLOCK", "+ Index out of bounds (" + std::to_string(index) + ")",
                                     "+ End of SETCLOCK"));
    }
    EXPECT_TRUE(segment.requests().empty());
}

TEST_F(Clocks, AChipWithoutALinkFailsAfterItsLogLines) {
    const auto readable = Make(3, nullptr);
    EXPECT_EQ(readable->ReadClock(), -1);
    EXPECT_FALSE(readable->SetClock(0));
    const auto fromDefault = Make(2, nullptr);
    EXPECT_FALSE(fromDefault->SetClock(2));
    EXPECT_THAT(log, ElementsAre("+ About to READCLOCK", "+ End of READCLOCK", "+ About to SETCLOCK",
                                 "+ Unable to Set Default Registers", "+ End of SETCLOCK", "+ About to SETCLOCK",
                                 "+ SetDefaultRegisters OK",
                                 "+ AlterToNewClock OK <$78 > (CPU : 66.8MHz  PCI : 33.4MHz)", "+ End of SETCLOCK"));
    EXPECT_TRUE(segment.requests().empty());
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(Clocks, ThePageUsesTheFirstSMBusLinkAt69h) {
    Links().clear();
    AddLink("ISA", 0, LinkKinds::ISA, HostKinds::ISA, 0x290, 0, 255, 255, 255);
    AddLink("first", 0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0, 0, 31, 3);
    AddLink("second", 0, LinkKinds::SMBus, HostKinds::Intel, 0x500, 0, 0, 31, 4);
    const auto chip = CreateClockForPage(3);
    EXPECT_EQ(chip->Link(), Links()[1].get());
    EXPECT_EQ(chip->Address(), 0x69);
    const auto pll = CreateClockForPage(25);
    EXPECT_EQ(pll->Link(), nullptr);
    EXPECT_EQ(pll->Address(), 0);
    Links().clear();
    EXPECT_EQ(CreateClockForPage(3)->Link(), nullptr) << "no SMBus link";
}

// ---- processor clock ------------------------------------------------------------------

class CpuClock : public CpuTest {
protected:
    CpuClock() { cpu(0).tscHz = 2'400'000'000; }
    ~CpuClock() override { HasTSC = false; }
};

TEST_F(CpuClock, WithoutATimeStampCounterItAnswersOneAtOnce) {
    HasTSC = false;
    const std::uint64_t before = machine().clock().monotonicMs();
    EXPECT_EQ(MeasureCpuClock(500), 1.0f);
    EXPECT_EQ(machine().clock().monotonicMs(), before);
    EXPECT_TRUE(machine().prioritySets().empty());
}

TEST_F(CpuClock, CountsTicksPerMicrosecondAtRaisedPriority) {
    HasTSC = true;
    const std::uint64_t before = machine().clock().monotonicMs();
    EXPECT_NEAR(MeasureCpuClock(500), 2400.0, 1.0);
    EXPECT_GE(machine().clock().monotonicMs() - before, 500u);
    using P = platform::SchedulingPriority;
    EXPECT_THAT(machine().prioritySets(),
                ElementsAre(P{P::RealtimeClass, P::ThreadTimeCritical}, P{P::NormalClass, P::ThreadNormal}));
}

TEST_F(CpuClock, TheTickCountsWrapDoesNoHarm) {
    HasTSC = true;
    machine().identity().uptimeAtStartMs = 0xFFFFFFFFull - 100;
    const std::uint32_t start = machine().tickCount();
    EXPECT_NEAR(MeasureCpuClock(500), 2400.0, 1.0);
    EXPECT_LT(machine().tickCount(), start) << "the measurement ran across the wrap";
}

}  // namespace
