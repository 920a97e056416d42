// The nForce2 bus-clock PLL on the board's host bridge and memory controller:
// the PLL arithmetic, the step sequence as the bridge sees it, the boot and
// PLL reads, and each failure's lines.

#include <gmock/gmock.h>

#include "clockfixture.h"
#include "cpu/cvnforce2clock.h"
#include "hw/cvpci.h"
#include "platform/sim/nforce2pll.h"

namespace {

using ::testing::ElementsAre;
using Write = platform::sim::NForce2HostBridge::Write;

TEST(NForce2Pll, BusClockOfAPllValueRoundsHalfToEven) {
    struct Case {
        int n, m, mhz;
    };
    for (const Case& c : {Case{1, 2, 12}, Case{3, 2, 38}, Case{5, 0, 0}, Case{253, 63, 100}, Case{250, 47, 133},
                          Case{254, 1, 6350}})
        EXPECT_EQ(TNForce2::PllToFsb(TNForce2::MakePllValue(c.n, c.m)), c.mhz) << c.n << "/" << c.m;
    EXPECT_EQ(TNForce2::MakePllValue(253, 63), 0x10FD3Fu);
}

TEST(NForce2Pll, FindsTheLargestDividerThatReachesTheClock) {
    struct Case {
        int mhz;
        std::int64_t value;
    };
    for (const Case& c : {Case{66, 0x10FE60}, Case{98, 0x10FE41}, Case{99, 0x10FE40}, Case{100, 0x10FD3F},
                          Case{133, 0x10FA2F}, Case{200, 0x10F81F}, Case{300, 0x10FC15},
                          Case{6349, 0x10FE01},  // only 6350 is reached, one above
                          Case{6351, -1}})
        EXPECT_EQ(TNForce2::FindPllValue(c.mhz), c.value) << c.mhz;
}

class NForce2 : public ClockTest {
protected:
    NForce2() {
        loadBoard("clock-nforce2.json");
        IOPort = std::make_unique<TIOPort>();
        bridge().setRecording(true);
        clock = Make(TNForce2::Id, nullptr);
    }

    platform::sim::NForce2HostBridge& bridge() {
        return dynamic_cast<platform::sim::NForce2HostBridge&>(*machine().pci().model({0, 0, 0}));
    }
    std::uint8_t& config(unsigned function, unsigned reg) { return (*machine().pci().function({0, 0, function}))[reg]; }
    // One step: enable, the PLL value loaded 64 times, the load byte.
    static std::vector<Write> Step(std::uint32_t pll) {
        std::vector<Write> writes{{0xA8, 4, 0x01}};
        const auto load = Load(pll);
        writes.insert(writes.end(), load.begin(), load.end());
        writes.push_back({0xA0, 4, 0x40});
        return writes;
    }
    static std::vector<Write> Load(std::uint32_t pll) {
        std::vector<Write> writes{{0xA0, 4, 0x00}};
        writes.insert(writes.end(), 64, Write{0xA4, 4, pll});
        return writes;
    }

    std::unique_ptr<TClock> clock;
};

TEST_F(NForce2, HasOneEntryPerMHz) {
    ASSERT_EQ(clock->EntryCount(), 235);
    EXPECT_EQ(clock->GetEntry(0).Text, "CPU : 66MHz");
    EXPECT_EQ(clock->GetEntry(234).Cpu, 300.0f);
    EXPECT_EQ(clock->Name(), "nVidia nForce2");
}

TEST_F(NForce2, StepsOneMHzAtATime) {
    const std::uint64_t start = machine().clock().monotonicMs();
    ASSERT_TRUE(clock->SetClock(98 - 66));
    std::vector<Write> expected = Step(0x10FE40);
    const auto second = Step(0x10FE41);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(bridge().writes(), expected);
    EXPECT_GE(machine().clock().monotonicMs() - start, 30u);
    EXPECT_NEAR(*bridge().busClockMHz(), 98.0, 0.5);
    EXPECT_THAT(log, ElementsAre("- About to SETCLOCK", "- PLL Enable=1", "- PLL enabled", "- Current FSB (PLL)=100",
                                 "- End of SETCLOCK"));
    EXPECT_EQ(clock->ReadClock(), 98 - 66);
}

TEST_F(NForce2, FromOneHundredDownTo66TakesThirtyFourSteps) {
    const std::uint64_t start = machine().clock().monotonicMs();
    ASSERT_TRUE(clock->SetClock(0));
    EXPECT_EQ(bridge().writes().size(), 34u * 67u);
    EXPECT_EQ(bridge().writes().back(), (Write{0xA0, 4, 0x40}));
    EXPECT_GE(machine().clock().monotonicMs() - start, 34u * 15u);
    EXPECT_NEAR(*bridge().busClockMHz(), 66.0, 0.5);
}

TEST_F(NForce2, TheCurrentClockWritesNothingOnceThePllRuns) {
    ASSERT_TRUE(clock->SetClock(100 - 66));
    EXPECT_TRUE(bridge().writes().empty());
}

TEST_F(NForce2, TheBootClockLoadsThePllFirst) {
    config(0, 0xA8) = 0x00;
    log.clear();
    EXPECT_EQ(clock->ReadClock(), 67);
    EXPECT_THAT(log, ElementsAre("- About to READCLOCK", "- PLL Enable=0", "- PLL not enabled",
                                 "- Found NForce2 Memory Controller 5", "- Current FSB (boot)=133.33",
                                 "- End of READCLOCK"));
    ASSERT_TRUE(clock->SetClock(67));
    EXPECT_EQ(bridge().writes(), Load(0x10FA2F)) << "loaded, not switched on";
}

TEST_F(NForce2, ABridgeAKernelDriverHoldsIsLeftAlone) {
    machine().simKernelClaims().holdPci({0, 0, 0}, "nforce2_pll");
    log.clear();
    EXPECT_FALSE(clock->SetClock(0));
    EXPECT_TRUE(bridge().writes().empty());
    EXPECT_EQ(log.end()[-2], "+ ERROR setting new FSB");
}

TEST_F(NForce2, WithoutTheChipsetNothingIsRead) {
    config(0, 0x00) = 0xFF;  // the host bridge's vendor is no longer 10DEh
    log.clear();
    EXPECT_EQ(clock->ReadClock(), -1);
    EXPECT_FALSE(clock->SetClock(0));
    EXPECT_THAT(log, ElementsAre("- About to READCLOCK", "+ Unable to read FSB", "- End of READCLOCK",
                                 "- About to SETCLOCK", "+ ERROR getting the FSB", "+ ERROR setting new FSB",
                                 "- End of SETCLOCK"));

    config(0, 0x00) = 0xDE;
    config(0, 0xA8) = 0x00;
    config(3, 0x00) = 0xFF;  // nor the memory controller's
    log.clear();
    EXPECT_EQ(clock->ReadClock(), -1);
    EXPECT_EQ(log[3], "+ Unable to read FSB");
    EXPECT_FALSE(clock->SetClock(0));
    EXPECT_TRUE(bridge().writes().empty());

    log.clear();
    EXPECT_FALSE(clock->SetClock(235));
    EXPECT_THAT(log, ElementsAre("- About to SETCLOCK", "+ Index out of bounds (235)", "- End of SETCLOCK"));
}

}  // namespace
