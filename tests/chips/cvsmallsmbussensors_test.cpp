// The small SMBus sensors: Fujitsu monitors, GMT fan controllers, JC-42.4
// module thermometers and the PWS-865-PQ supply, through a real SMBus link.

#include <gtest/gtest.h>

#include <map>

#include "chips/chipsfixture.h"
#include "chips/cvfujitsusensor.h"
#include "chips/cvgmtsensor.h"
#include "chips/cvjedecjc424sensor.h"
#include "chips/cvsupermicrosensor.h"

namespace {

using platform::sim::RegisterFault;
using platform::sim::SMBusProtocol;
using Regs = std::map<int, int>;

class SmallSensors : public SMBusChipTest {
protected:
    template <class T>
    std::unique_ptr<T> Make(std::uint8_t code, const Regs& regs = {}) {
        for (auto [reg, value] : regs) slave->registers().set(static_cast<std::uint8_t>(reg), static_cast<std::uint16_t>(value));
        return CreateSensor<T>(&smbus, static_cast<std::uint32_t>(Chip), code, Logger(), "", "", "");
    }
    // Read twice: the spike filter holds back a first value beyond its limit.
    static double Temp(TSensor& s, int i = 1) {
        s.ReadTemps();
        s.ReadTemps();
        return s.GetTemp(i).Stats->Last();
    }
    int Writes() {
        int n = 0;
        for (const auto& r : segment.requests()) n += !r.read;
        return n;
    }
};

TEST_F(SmallSensors, FujitsuReadingsAreBiasedBy128) {
    auto hades = Make<TFujitsuSensor>(226, {{0x70, 0x80}, {0x80, 0x9E}, {0x5B, 0x90}});
    EXPECT_EQ(hades->FChipName, "FS Hades");
    EXPECT_EQ(hades->GetTempCount(), 5);
    EXPECT_DOUBLE_EQ(Temp(*hades, 1), 0);
    EXPECT_DOUBLE_EQ(Temp(*hades, 2), 30);
    hades->ReadFans();
    EXPECT_DOUBLE_EQ(hades->GetFan(1).Stats->Last(), 16);

    auto hermes = Make<TFujitsuSensor>(178, {{0x45, 192}, {0x42, 0xFF}, {0x48, 0}});
    EXPECT_EQ(hermes->GetVolt(1).Name, "+12V");
    hermes->ReadVolts();
    EXPECT_NEAR(hermes->GetVolt(1).Stats->Last(), 12.0, 1e-4);
    EXPECT_NEAR(hermes->GetVolt(2).Stats->Last(), 255 * 0.0258823529, 1e-4);
    EXPECT_TRUE(hermes->SetPwm(3, 100));
    EXPECT_EQ(slave->registers().peek(0xB5), 0xFF);
    EXPECT_NEAR(hermes->GetPwm(3).Stats->Last(), 100, 1e-4);

    auto poseidon = Make<TFujitsuSensor>(179);
    EXPECT_EQ(poseidon->GetPwmCount(), 0);
    segment.clearRequests();
    EXPECT_FALSE(poseidon->SetPwm(1, 50));
    EXPECT_EQ(Writes(), 0);
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(SmallSensors, GMTCountsAndPercents) {
    auto g = Make<TGMTSensor>(TGMTSensor::G768B, {{0x20, 80}, {0x30, 0xF6}, {0x11, 0xF0}});
    EXPECT_DOUBLE_EQ(g->GmtCountToPercent(80), 100);
    EXPECT_DOUBLE_EQ(g->GmtCountToPercent(254), 1);
    EXPECT_DOUBLE_EQ(g->GmtCountToPercent(255), 0);
    EXPECT_DOUBLE_EQ(g->GmtCountToPercent(0), 0);
    EXPECT_GT(g->GmtCountToPercent(60), 100);
    EXPECT_EQ(g->GmtPercentToCount(0), 0);
    EXPECT_EQ(g->GmtPercentToCount(100), 80);
    EXPECT_DOUBLE_EQ(Temp(*g, 1), -10);
    g->ReadFans();
    EXPECT_DOUBLE_EQ(g->GetFan(1).Stats->Last(), 2048);

    // Output 2 is off by default: the chip keeps its count.
    segment.clearRequests();
    EXPECT_TRUE(g->SetPwm(2, 50));
    EXPECT_EQ(Writes(), 0);
    EXPECT_NEAR(g->GetPwm(2).Stats->Last(), 100, 1e-4);
    const int enable2 = 1;
    EXPECT_EQ(g->GetPropId(enable2), 97);
    EXPECT_EQ(g->GetPropValue(enable2), "OFF");
    EXPECT_TRUE(g->SetPropValue(enable2, "ON"));
    EXPECT_TRUE(g->SetPwm(2, 0));
    EXPECT_EQ(slave->registers().peek(0x20), 0);
    EXPECT_FALSE(g->SetPropValue(enable2, "MAYBE"));
    EXPECT_EQ(g->GetPropValue(enable2), "ON");

    auto d = Make<TGMTSensor>(TGMTSensor::G768D);
    EXPECT_EQ(d->GetFanCount(), 1);
    EXPECT_EQ(d->GetPropCount() > 0 ? d->GetPropId(0) : 0, 96);
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(SmallSensors, JC424ReadsThirteenBitsOfWord05) {
    auto s = Make<TJedecJC424Sensor>(207);
    EXPECT_EQ(s->FChipName, "SE97");
    EXPECT_EQ(s->GetTemp(1).Name, "Ambient");
    EXPECT_EQ(s->GetTemp(1).Stats->FName, "SE97 Ambient");
    struct Case { int high, low; double temp; };
    for (const Case c : {Case{0x01, 0xA4, 26.25}, Case{0xC1, 0xA4, 26.25}, Case{0x1F, 0xF0, -1}, Case{0x10, 0x00, -256}}) {
        slave->registers().set(0x05, static_cast<std::uint16_t>(c.high));
        slave->registers().set(0x06, static_cast<std::uint16_t>(c.low));
        EXPECT_DOUBLE_EQ(Temp(*s), c.temp) << c.high << " " << c.low;
    }
    EXPECT_EQ(segment.requests().back().protocol, SMBusProtocol::WordData);
    slave->setFault({platform::sim::SMBusFault::Kind::Nack, -1});
    auto silent = Make<TJedecJC424Sensor>(1);
    EXPECT_EQ(silent->FChipName, "none");
    EXPECT_DOUBLE_EQ(Temp(*silent), 0);
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(SmallSensors, PowerSupplyTemperatureAndFans) {
    auto s = Make<TSuperMicroSensor>(TSuperMicroSensor::PWS865PQ, {{0x09, 0xC8}, {0x0A, 131}, {0x0B, 255}});
    EXPECT_EQ(s->GetTemp(1).Stats->FName, "Temp");
    EXPECT_EQ(s->GetFan(2).Stats->FName, "PWS-865-PQ Secondary Fan");
    EXPECT_DOUBLE_EQ(Temp(*s), 200);
    s->ReadFans();
    s->ReadFans();
    EXPECT_NEAR(s->GetFan(1).Stats->Last(), 15000, 1e-3);
    EXPECT_DOUBLE_EQ(s->GetFan(2).Stats->Last(), 0);
    slave->registers().setFault(0x0A, {RegisterFault::Kind::Fail, -1});
    s->ReadFans();
    EXPECT_DOUBLE_EQ(s->GetFan(1).Stats->Last(), 0);
    EXPECT_EQ(BusLockCount(false), 0);
}

}  // namespace
