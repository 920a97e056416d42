// The AMD northbridge temperature of each node, per family.

#include <gtest/gtest.h>

#include "chips/chipsfixture.h"
#include "chips/cvamdsensor.h"

namespace {

class AmdSensor : public ChipTest {
protected:
    // Puts value into register reg of the northbridge function of node.
    void setNode(unsigned node, unsigned reg, std::uint32_t value) {
        platform::sim::PciConfigSpace config{};
        for (int i = 0; i < 4; ++i) config[reg + i] = static_cast<std::uint8_t>(value >> (8 * i));
        machine().pci().addFunction({0, 0x18 + node, 3}, config);
    }
    template <class T>
    double readOnce(std::uint8_t code, std::uint32_t node = 0) {
        auto sensor = CreateSensor<T>(nullptr, node, code, Logger(), "", "", "");
        sensor->ReadTemps();
        EXPECT_EQ(sensor->GetTempCount(), 1);
        return sensor->GetTemp(1).Stats->Last();
    }
};

TEST_F(AmdSensor, K8ReadsRegisterE4MinusFortyNine) {
    setNode(0, 0xE4, 0x005A0000);
    auto sensor = CreateSensor<TAMDK8Sensor>(nullptr, 0u, TAMDK8Sensor::ChipCode, Logger(), "", "", "");
    EXPECT_EQ(sensor->FChipName, "AMD K8");
    EXPECT_EQ(sensor->GetTemp(1).Name, "Core");
    sensor->ReadTemps();
    EXPECT_DOUBLE_EQ(sensor->GetTemp(1).Stats->Last(), 41);
}

TEST_F(AmdSensor, LaterFamiliesDecodeCurTmpWithTheirRangeSelectRule) {
    struct Case {
        std::uint8_t code;
        std::uint32_t a4;
        double expected;
    };
    const Case cases[] = {
        {6, 0x2D000000, 45.0},   // CurTmp 360
        {9, 0x59030000, 40.0},   // CurTmp 712, range select 3: half degrees less 49
        {9, 0x59000000, 89.0},   // range select 0
        {10, 0x59030000, 40.0},  // K16 like K15
        {6, 0x59030000, 89.0},   // K10 ignores the range-select bits
        {8, 0x59030000, 89.0},
    };
    setNode(0, 0xA4, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        *machine().pci().function({0, 0x18, 3}) = {};
        for (int i = 0; i < 4; ++i) (*machine().pci().function({0, 0x18, 3}))[0xA4 + i] = static_cast<std::uint8_t>(c.a4 >> (8 * i));
        EXPECT_DOUBLE_EQ(readOnce<TAMDK10Sensor>(c.code), c.expected);
    }
}

TEST_F(AmdSensor, NamesAndStatisticsFollowTheChipCode) {
    const std::pair<std::uint8_t, const char*> names[] = {
        {6, "AMD K10"}, {7, "AMD K11"}, {8, "AMD K12K14"}, {9, "AMD K15"}, {10, "AMD K16"}, {11, "none"}};
    for (const auto& [code, name] : names) {
        auto sensor = CreateSensor<TAMDK10Sensor>(nullptr, 0u, code, Logger(), "", "", "");
        EXPECT_EQ(sensor->FChipName, name);
        EXPECT_EQ(sensor->GetTemp(1).Name, "Core");
        EXPECT_EQ(sensor->GetTemp(1).Stats->FName, std::string(name) + " Core");
    }
}

TEST_F(AmdSensor, SecondNodeReadsDevice19hAndAnAbsentNodeGivesNoValue) {
    setNode(1, 0xA4, 0x2D000000);
    EXPECT_DOUBLE_EQ(readOnce<TAMDK10Sensor>(6, 1), 45.0);
    // Node 2 is absent: all ones through mechanism 1 is no temperature.
    EXPECT_DOUBLE_EQ(readOnce<TAMDK10Sensor>(9, 2), 0.0);
    EXPECT_DOUBLE_EQ(readOnce<TAMDK8Sensor>(5, 2), 0.0);
}

}  // namespace
