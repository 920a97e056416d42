// The ITE driver on a board file, the way the program runs it: an IT8720F read
// on ISA and on its SMBus twin while its output drives the thermal model, the
// IT8693F's banks and the IT8702F's output modes given back at exit.

#include <gtest/gtest.h>

#include "chips/chipsfixture.h"
#include "chips/cvite.h"
#include "chips/readingcheck.h"
#include "platform/sim/registerfile.h"
#include "support/simsmbushost.h"

namespace {

class ITEBoard : public ChipTest {
protected:
    ITEBoard() {
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/ite.json");
        machine().ports().recorder().clear();
    }
    std::unique_ptr<TITSensor> onIsa(std::uint8_t code, TLink& link) {
        return CreateSensor<TITSensor>(&link, link.BaseAddress(), code, Logger(), "", "", "");
    }
    platform::sim::RegisterFile& chip(const std::string& name) { return *machine().registerFile(name); }

    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
    TLink smbus{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                testsupport::SimProtocolHost::On(machine().protocolSMBus())};
};

TEST_F(ITEBoard, IT8720FReadsTheSameOnBothLinksUnderTheirBusLocks) {
    auto isaSensor = onIsa(86, isa);
    auto smbusSensor = CreateSensor<TITSensor>(&smbus, 0x2Du, std::uint8_t{86}, Logger(), "", "", "");
    EXPECT_EQ(isaSensor->GetReportedSMBus(), 0x2D);
    for (TITSensor* s : {isaSensor.get(), smbusSensor.get()}) {
        SCOPED_TRACE(s->FLinkText);
        ExpectReadings(SampledTemps(*s), {65, 30, -10}, "temperatures");  // 25 + 40, fan stopped
        ExpectReadings(SampledFans(*s), {0, 5000, 0, 500, 0}, "fans");
        ExpectReadings(SampledVolts(*s),
                       {112 * 0.016, 112 * 0.016, 206 * 0.016, 186 * 0.016 * 1.68, 188 * 0.016 * 4,
                        60 * 0.016 * 5.142857 - 16.969143, 75 * 0.016 * 3.142857 - 8.777143, 186 * 0.016 * 1.68,
                        200 * 0.016},
                       "voltages");
        ExpectReadings(SampledPwms(*s), {0, 64 * 100.0 / 127, 100}, "outputs");
    }
    ASSERT_TRUE(isaSensor->SetPwm(1, 100));
    EXPECT_EQ(isaSensor->GetPwm(1).Stats->Last(), 100);
    machine().simClock().advance(10 * 60 * 1000);
    EXPECT_EQ(SampledTemps(*smbusSensor)[0], 33);  // 25 + 40 / (1 + 4)
    EXPECT_EQ(SampledFans(*smbusSensor)[0], 2700);  // 16-bit count 250, divisor 2

    ExpectEveryAccessLocked(0x295, 0x296);
}

TEST_F(ITEBoard, IT8693FBanksComeBackAtExit) {
    TLink link{2, LinkKinds::ISA, HostKinds::ISA, 0xA40, 0};
    auto s = onIsa(78, link);
    EXPECT_EQ(s->GetReportedSMBus(), 0x2E);
    ExpectReadings(SampledTemps(*s), {40, 30, -10}, "temperatures");
    ExpectReadings(SampledFans(*s), {5000, 2500, 0}, "fans");
    ExpectReadings(SampledPwms(*s), {64 * 100.0 / 127, 100, 100}, "outputs");
    ASSERT_TRUE(s->SetPwm(1, 100));
    EXPECT_EQ(s->GetPwm(1).Stats->Last(), 100);
    EXPECT_EQ(chip("it8693f").peek(0x52, 0), 0x00);
    s.reset();
    EXPECT_EQ(chip("it8693f").peek(0x52, 0), 0x3F);
    EXPECT_EQ(chip("it8693f").peek(0x53, 2), 0x32);
    EXPECT_EQ(chip("it8693f").peek(0x51), 0x03);
}

TEST_F(ITEBoard, IT8702FOutputsArePwmWhileTheDriverLives) {
    TLink link{2, LinkKinds::ISA, HostKinds::ISA, 0xA60, 0};
    auto s = onIsa(79, link);
    EXPECT_EQ(chip("it8702f").peek(0x13), 0x07);
    ExpectReadings(SampledFans(*s), {5000, 5000, 5000}, "fans");
    ExpectReadings(SampledPwms(*s), {100, 64 * 100.0 / 127, 0}, "outputs");
    s.reset();
    EXPECT_EQ(chip("it8702f").peek(0x13), 0x00);
}

}  // namespace
