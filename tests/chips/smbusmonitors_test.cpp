// The SMBus monitors as the program meets them: a board file's Intel-style
// host on its ports, a real TLink with that family's transport, and the
// sensors read through it.

#include <gtest/gtest.h>

#include "chips/chipsfixture.h"
#include "chips/cvadm1021sensor.h"
#include "chips/cvjedecjc424sensor.h"
#include "chips/cvlm75sensor.h"

namespace {

class SMBusMonitors : public ChipTest {
protected:
    SMBusMonitors() { machine().loadFromFile(CALDAVOR_BOARDS_DIR "/smbusmonitors.json"); }

    template <class T>
    std::unique_ptr<T> Make(int address, std::uint8_t code) {
        return CreateSensor<T>(&link, static_cast<std::uint32_t>(address), code, Logger(), "", "", "");
    }

    TLink link{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0};
};

TEST_F(SMBusMonitors, SensorsReadThroughTheIntelHost) {
    auto adt = Make<TADM1021Sensor>(0x2E, 112);
    adt->ReadTemps();
    EXPECT_DOUBLE_EQ(adt->GetTemp(1).Stats->Last(), 45);
    EXPECT_DOUBLE_EQ(adt->GetTemp(2).Stats->Last(), 30);
    EXPECT_DOUBLE_EQ(adt->GetTemp(3).Stats->Last(), 40.25);
    adt->ReadFans();
    EXPECT_DOUBLE_EQ(adt->GetFan(1).Stats->Last(), 1000);
    EXPECT_DOUBLE_EQ(adt->GetFan(2).Stats->Last(), 0);
    adt->ReadVolts();
    EXPECT_NEAR(adt->GetVolt(5).Stats->Last(), 12.0, 1e-4);
    EXPECT_TRUE(adt->SetPwm(1, 100));
    EXPECT_EQ(machine().registerFile("ich@2E")->peek(0x30), 0xFF);

    auto lm75 = Make<TLM75Sensor>(0x48, 54);
    lm75->ReadTemps();
    EXPECT_DOUBLE_EQ(lm75->GetTemp(1).Stats->Last(), 25.5);

    auto dimm0 = Make<TJedecJC424Sensor>(0x18, 207);
    auto dimm1 = Make<TJedecJC424Sensor>(0x19, 207);
    dimm0->ReadTemps();
    dimm1->ReadTemps();
    EXPECT_DOUBLE_EQ(dimm0->GetTemp(1).Stats->Last(), 26.25);
    EXPECT_DOUBLE_EQ(dimm1->GetTemp(1).Stats->Last(), 31);

    auto absent = Make<TLM75Sensor>(0x4C, 65);
    absent->ReadTemps();
    EXPECT_DOUBLE_EQ(absent->GetTemp(1).Stats->Last(), 0);
    EXPECT_EQ(BusLockCount(false), 0);
}

class DemoBoardMonitors : public ChipTest {
protected:
    DemoBoardMonitors() { machine().loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json"); }

    TLink link{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0};
};

TEST_F(DemoBoardMonitors, AnLM75AndTwoModuleSensors) {
    auto lm75 = CreateSensor<TLM75Sensor>(&link, 0x48u, std::uint8_t{54}, Logger(), "", "", "");
    lm75->ReadTemps();
    EXPECT_DOUBLE_EQ(lm75->GetTemp(1).Stats->Last(), 26.5);
    const std::pair<std::uint32_t, double> modules[] = {{0x18, 28.25}, {0x19, 29.0}};
    for (auto [address, temp] : modules) {
        auto module = CreateSensor<TJedecJC424Sensor>(&link, address, std::uint8_t{209}, Logger(), "", "", "");
        module->ReadTemps();
        EXPECT_DOUBLE_EQ(module->GetTemp(1).Stats->Last(), temp) << address;
    }
}

}  // namespace
