// The Toshiba fan through a simulated fan driver device.

#include <gtest/gtest.h>

#include <cstring>

#include "chips/chipsfixture.h"
#include "chips/cvtoshibasensor.h"

namespace {

// The fan driver: read (FE00h) answers the state in dword 2, set (FF00h) takes it.
struct FanState {
    bool running = false;
    int requests = 0;
};

class FanDevice : public platform::Device {
public:
    explicit FanDevice(FanState& state) : state_(state) {}
    bool control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                 std::uint32_t& returned) override {
        if (code != TToshibaSensor::RequestCode || input.size() != 24 || output.size() != 24) return false;
        std::uint32_t in[6];
        std::memcpy(in, input.data(), sizeof in);
        ++state_.requests;
        std::uint32_t out[6] = {};
        if (in[0] == 0xFF00) state_.running = in[2] != 0;
        if (in[0] == 0xFE00) out[2] = state_.running ? 1 : 0;
        std::memcpy(output.data(), out, sizeof out);
        returned = 24;
        return true;
    }

private:
    FanState& state_;
};

class ToshibaSensor : public ChipTest {
protected:
    void plugIn() {
        machine().addDevice(TToshibaSensor::DevicePath, [this] { return std::make_unique<FanDevice>(fan); });
    }
    std::unique_ptr<TToshibaSensor> make(std::uint8_t code = TToshibaSensor::ChipCode) {
        return CreateSensor<TToshibaSensor>(nullptr, 0u, code, Logger(), "", "", "");
    }
    FanState fan;
};

TEST_F(ToshibaSensor, SwitchesAtHalfAndReadsWhatTheFirmwareDid) {
    plugIn();
    auto s = make();
    ASSERT_EQ(s->GetPwmCount(), 1);
    EXPECT_EQ(s->GetPwm(1).Name, "Pwm1");
    EXPECT_TRUE(s->SetPwm(1, 50));  // 127.5 rounds to the even 128: on
    EXPECT_TRUE(fan.running);
    EXPECT_DOUBLE_EQ(s->GetPwm(1).Stats->Last(), 100);
    EXPECT_TRUE(s->SetPwm(1, 49));  // 125: off
    EXPECT_FALSE(fan.running);
    EXPECT_DOUBLE_EQ(s->GetPwm(1).Stats->Last(), 0);
    fan.running = true;  // the firmware switched it on
    s->ReadPwms();
    EXPECT_DOUBLE_EQ(s->GetPwm(1).Stats->Last(), 100);
}

TEST_F(ToshibaSensor, WithoutTheDeviceNothingIsDoneAndAnotherCodeHasNoOutput) {
    auto s = make();
    EXPECT_TRUE(s->SetPwm(1, 100));
    EXPECT_DOUBLE_EQ(s->GetPwm(1).Stats->Last(), 0);
    s->ReadPwms();
    EXPECT_DOUBLE_EQ(s->GetPwm(1).Stats->Last(), 0);
    plugIn();
    auto other = make(20);
    EXPECT_EQ(other->FChipName, "none");
    EXPECT_EQ(other->GetPwmCount(), 0);
    EXPECT_EQ(fan.requests, 0);
}

}  // namespace
