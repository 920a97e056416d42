// The placeholder and the heuristic watcher of unknown SMBus devices.

#include <gtest/gtest.h>

#include "chips/chipsfixture.h"
#include "chips/cvheuristicsensor.h"
#include "core/cvtext.h"
#include "platform/sim/valuegenerator.h"
#include "support/testmachine.h"

namespace {

using platform::sim::SMBusFault;

class HeuristicSensor : public SMBusChipTest {
protected:
    HeuristicSensor() {
        segment.setRecording(false);
        sensor = CreateSensor<THeuristicSensor>(&smbus, static_cast<std::uint32_t>(Chip), THeuristicSensor::ChipCode,
                                                Logger(), "", "", "");
    }
    // The dump's lines for one register: its summary and, when it changed, its sequence.
    std::vector<std::string> DumpOf(int reg) {
        const auto lines = testsupport::splitLines(sensor->GetDebugInfo(), "\r\n");
        const std::string head = cvformat::Format("  [%.2x] ", {reg});
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].rfind(head, 0) != 0) continue;
            std::vector<std::string> found{lines[i]};
            if (i + 1 < lines.size() && lines[i + 1].rfind("   -> ", 0) == 0) found.push_back(lines[i + 1]);
            return found;
        }
        return {};
    }

    std::unique_ptr<THeuristicSensor> sensor;
};

TEST_F(HeuristicSensor, CyclesCountFanReads) {
    EXPECT_EQ(sensor->FChipName, "HeuristicSensor");
    EXPECT_EQ(sensor->FDisplayName, "HeuristicSensor");
    ASSERT_EQ(sensor->GetFanCount(), 1);
    EXPECT_EQ(sensor->GetFan(1).Name, "Cycles");
    EXPECT_EQ(sensor->GetFan(1).Stats->FName, "HeuristicSensor Cycles");
    std::vector<double> seen;
    for (int i = 0; i < 3; ++i) {
        sensor->ReadFans();
        seen.push_back(sensor->GetFan(1).Stats->Last());
    }
    EXPECT_EQ(seen, (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(HeuristicSensor, DumpShowsEachRegistersValuesAndChanges) {
    slave->registers().set(0x00, 0x42);
    slave->registers().setGenerator(0x05, platform::sim::scriptedValues({0x10, 0x10, 0x11, 0x10}));
    for (int i = 0; i < 4; ++i) sensor->ReadFans();
    EXPECT_EQ(DumpOf(0x00), (std::vector<std::string>{"  [00] samples=   1  min=42  max=42  values=42"}));
    EXPECT_EQ(DumpOf(0x05), (std::vector<std::string>{"  [05] samples=   3  min=10  max=11  values=10 11",
                                                      "   -> 10 11 10"}));
    const auto lines = testsupport::splitLines(sensor->GetDebugInfo(), "\r\n");
    EXPECT_EQ(lines.size(), 256u + 1u);  // one register changed
}

TEST_F(HeuristicSensor, FailedReadsAddNothing) {
    slave->setFault({SMBusFault::Kind::Nack, -1});
    sensor->ReadFans();
    EXPECT_EQ(sensor->GetFan(1).Stats->Last(), 1);  // the cycle still counts
    EXPECT_EQ(DumpOf(0x00), (std::vector<std::string>{"  [00] samples=   0  min=FF  max=00  values=", "   -> "}));
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(HeuristicSensor, CounterRegisterKeepsARecentSequenceOnly) {
    slave->registers().setGenerator(0x07, platform::sim::countingValue(0));
    const int reads = 300;
    for (int i = 0; i < reads; ++i) sensor->ReadFans();
    const auto dump = DumpOf(0x07);
    ASSERT_EQ(dump.size(), 2u);
    EXPECT_EQ(dump[0].substr(0, 39), "  [07] samples= 300  min=00  max=FF  va");
    // The sequence says it is the tail of the count, and the tail has the length it says.
    const std::string label = "   -> (last 64 of 300) ";
    ASSERT_EQ(dump[1].substr(0, label.size()), label);
    const auto recent = testsupport::splitLines(dump[1].substr(label.size()), " ");
    ASSERT_EQ(recent.size(), THeuristicSensor::RecentLimit);
    EXPECT_EQ(recent.front(), cvformat::Format("%.2x", {(reads - 64) & 0xFF}));
    EXPECT_EQ(recent.back(), cvformat::Format("%.2x", {(reads - 1) & 0xFF}));
}

TEST(UnusedSensor, OnlyItsNameChanges) {
    testsupport::TestMachine test;
    auto unused = CreateSensor<TUnusedSensor>(nullptr, 0x290u, TUnusedSensor::ChipCode, nullptr, "", "", "");
    EXPECT_EQ(unused->FChipName, "Unused chip");
    EXPECT_EQ(unused->GetTempCount() + unused->GetFanCount() + unused->GetPwmCount() + unused->GetVoltCount(), 0);
    unused->SetName("IT8712F (>>>need support<<<)");
    EXPECT_EQ(unused->FChipName, "IT8712F (>>>need support<<<)");

    std::vector<std::string> log;
    auto other = CreateSensor<THeuristicSensor>(nullptr, 0x48u, THeuristicSensor::ChipCode,
                                                [&](TSensor&, const std::string& msg, int) { log.push_back(msg); },
                                                "", "", "");
    other->SetName("renamed");
    EXPECT_EQ(other->FChipName, "HeuristicSensor");
    EXPECT_EQ(log.size(), 1u);
}

}  // namespace
