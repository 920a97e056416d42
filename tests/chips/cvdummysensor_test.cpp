// The dummy sensor: four outputs held in memory, started from a random
// source, driven through the sensor's public operations.

#include <gtest/gtest.h>

#include "chips/chipsfixture.h"
#include "chips/cvdummysensor.h"

namespace {

class DummySensor : public ChipTest {
protected:
    std::unique_ptr<TDummySensor> Make(TRandomSource random) {
        return CreateSensor<TDummySensor>(&pci, 0u, TDummySensor::ChipCode, Logger(), "", "", "", random);
    }
    double Last(TDummySensor& s, int pwm) { return s.GetPwm(pwm).Stats->Last(); }

    TLink pci{0, LinkKinds::PCI, HostKinds::None, 0, 0};
};

TEST_F(DummySensor, StartsFromTheRandomSource) {
    int next = 0;
    const int starts[] = {0, 99, 42, 7};
    std::vector<int> ranges;
    auto sensor = Make([&](int range) {
        ranges.push_back(range);
        return starts[next++];
    });
    EXPECT_EQ(sensor->FChipName, "Dummy");
    EXPECT_EQ(ranges, std::vector<int>(4, 100));
    ASSERT_EQ(sensor->GetPwmCount(), 4);
    sensor->ReadPwms();
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(Last(*sensor, i), starts[i - 1]);
        EXPECT_EQ(sensor->GetPwm(i).Name, "Pwm" + std::to_string(i));
        EXPECT_EQ(sensor->GetPwm(i).Stats->FName, "Dummy Pwm" + std::to_string(i));
    }
    auto real = CreateSensor<TDummySensor>(&pci, 0u, TDummySensor::ChipCode, Logger(), "", "", "");
    real->ReadPwms();
    for (int i = 1; i <= 4; ++i) {
        EXPECT_GE(Last(*real, i), 0);
        EXPECT_LE(Last(*real, i), 99);
    }
}

TEST_F(DummySensor, SetStoresTheRoundedDuty) {
    auto sensor = Make([](int) { return 10; });
    sensor->SetPwm(2, 40.4);
    sensor->ReadPwms();
    EXPECT_EQ(Last(*sensor, 2), 40);
    for (int i : {1, 3, 4}) EXPECT_EQ(Last(*sensor, i), 10);

    sensor->SetPwm(3, 42.5);
    sensor->ReadPwms();
    EXPECT_EQ(Last(*sensor, 3), 42);
    sensor->SetPwm(3, 43.5);
    sensor->ReadPwms();
    EXPECT_EQ(Last(*sensor, 3), 44);
    sensor->SetPwm(1, 250);  // not limited to 0..100
    sensor->SetPwm(4, 1e300);  // but kept inside the duty's 32 bits
    sensor->ReadPwms();
    EXPECT_EQ(Last(*sensor, 1), 250);
    EXPECT_FLOAT_EQ(static_cast<float>(Last(*sensor, 4)), 2147483647.0f);
}

TEST_F(DummySensor, OutOfRangeOutputsChangeNothing) {
    auto sensor = Make([](int) { return 10; });
    EXPECT_FALSE(sensor->SetPwm(0, 50));
    EXPECT_FALSE(sensor->SetPwm(5, 50));
    sensor->ReadPwms();
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(Last(*sensor, i), 10);
}

TEST_F(DummySensor, ReversedOutputStoresTheComplement) {
    auto sensor = Make([](int) { return 10; });
    std::vector<std::string> names;
    for (int i = 0; i < sensor->GetPropCount(); ++i) names.push_back(sensor->GetPropName(i));
    EXPECT_EQ(names, (std::vector<std::string>{"Reverse PWM01 logic", "Reverse PWM02 logic", "Reverse PWM03 logic",
                                               "Reverse PWM04 logic"}));
    ASSERT_TRUE(sensor->SetPropValue(1, "ON"));
    sensor->SetPwm(2, 30);
    sensor->ReadPwms();
    EXPECT_EQ(Last(*sensor, 2), 30);
    EXPECT_EQ(BusLockCount(true) + BusLockCount(false), 0);
}

}  // namespace
