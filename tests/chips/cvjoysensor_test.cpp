// The joystick-port probes through the simulated joystick position query.

#include <gtest/gtest.h>

#include "chips/chipsfixture.h"
#include "chips/cvjoysensor.h"

namespace {

class JOYSensor : public ChipTest {
protected:
    std::unique_ptr<TJOYSensor> make(std::uint32_t joystick, std::uint8_t code = TJOYSensor::ChipCode) {
        return CreateSensor<TJOYSensor>(nullptr, joystick, code, Logger(), "", "", "");
    }
};

TEST_F(JOYSensor, TheAxesOfItsJoystickAreTheTwoTemperatures) {
    machine().joysticks()[0] = {0, 0, 0, 0};
    machine().joysticks()[1] = {32767, 65535, 100, 0};
    auto s = make(1);
    EXPECT_EQ(s->FChipName, "Joystick Sensor");
    ASSERT_EQ(s->GetTempCount(), 2);
    EXPECT_EQ(s->GetTemp(1).Stats->FName, "Joystick Sensor Temp1");
    EXPECT_EQ(s->GetTemp(2).Name, "Temp2");
    s->ReadTemps();
    // No spike filter: a first reading far above any temperature is kept.
    EXPECT_DOUBLE_EQ(s->GetTemp(1).Stats->Last(), 32767);
    EXPECT_DOUBLE_EQ(s->GetTemp(2).Stats->Last(), 65535);
}

TEST_F(JOYSensor, AFailingQueryGivesNoValue) {
    machine().joysticks()[0] = {1200, 3400, 0, 0};
    auto s = make(0);
    s->ReadTemps();
    machine().joysticks().erase(0);  // unplugged
    s->ReadTemps();
    EXPECT_DOUBLE_EQ(s->GetTemp(1).Stats->Last(), 0);
    EXPECT_DOUBLE_EQ(s->GetTemp(2).Stats->Last(), 0);
    EXPECT_DOUBLE_EQ(s->GetTemp(1).Stats->Previous(), 1200);
}

TEST_F(JOYSensor, AnotherChipCodeHasNoReadings) {
    auto s = make(0, 20);
    EXPECT_EQ(s->FChipName, "none");
    EXPECT_EQ(s->GetTempCount(), 0);
}

}  // namespace
