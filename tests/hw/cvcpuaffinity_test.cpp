#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "hw/cvcpuaffinity.h"
#include "platform/sim/machine.h"

namespace {

// A machine with 100 processors that keeps the affinity sets it was given.
class ManyCpus : public platform::sim::Machine {
public:
    unsigned processorCount() override { return 100; }
    std::vector<std::uint64_t> affinityWords() override { return current; }
    std::uint32_t setAffinityWords(const std::vector<std::uint64_t>& words) override {
        current = words;
        history.push_back(words);
        return 0;
    }
    // The thread stays on processor 3 for the first checks after each pin.
    std::optional<unsigned> currentProcessor() override {
        if (checksBeforeArrival > 0) {
            --checksBeforeArrival;
            return 3;
        }
        return Machine::currentProcessor();
    }
    std::vector<std::uint64_t> current{~0ull, 0xFFFFFFFFFull};
    std::vector<std::vector<std::uint64_t>> history;
    int checksBeforeArrival = 0;
};

}  // namespace

TEST(CpuAffinity, PinsProcessorsPastTheFirst64AndGivesTheSetBack) {
    ManyCpus machine;
    platform::ScopedPlatform scope(machine);
    {
        TNosCpuAffinity pinned(70);
        EXPECT_TRUE(pinned.Success);
        EXPECT_EQ(machine.current, (std::vector<std::uint64_t>{0, 1ull << 6}));
    }
    EXPECT_EQ(machine.current, (std::vector<std::uint64_t>{~0ull, 0xFFFFFFFFFull}));
    TNosCpuAffinity missing(100);
    EXPECT_FALSE(missing.Success);
    EXPECT_EQ(missing.LastError, 87u);
    EXPECT_EQ(machine.history.size(), 2u);
}

TEST(CpuAffinity, RunsNothingBeforeTheThreadArrivesOnThePinnedProcessor) {
    ManyCpus machine;
    platform::ScopedPlatform scope(machine);
    machine.checksBeforeArrival = 5;
    {
        TNosCpuAffinity late(70);
        EXPECT_TRUE(late.Success);
        EXPECT_EQ(machine.checksBeforeArrival, 0);
    }
    machine.checksBeforeArrival = 1000;
    {
        TNosCpuAffinity unreachable(70);
        EXPECT_FALSE(unreachable.Success);
        EXPECT_EQ(unreachable.LastError, 1460u);
    }
    // Both pins gave the starting set back.
    EXPECT_EQ(machine.current, (std::vector<std::uint64_t>{~0ull, 0xFFFFFFFFFull}));
}
