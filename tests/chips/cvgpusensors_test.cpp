// The graphics-card sensors over their card objects on the simulated boards.

#include <gtest/gtest.h>

#include <cmath>

#include "chips/chipsfixture.h"
#include "chips/cvgpusensors.h"
#include "cpu/cvatiadl.h"
#include "cpu/cvgeforce.h"
#include "cpu/cvnvapi.h"
#include "cpu/cvnvcpanel.h"

namespace {

class GpuSensors : public ChipTest {
protected:
    ~GpuSensors() override {
        ResetAtiAdl();
        GeForceCards().clear();
        FinalizeNVCpl();
        UnloadNvApi();
    }
    template <class T>
    std::unique_ptr<T> make(std::uint32_t address = 0) {
        return CreateSensor<T>(nullptr, address, T::ChipCode, Logger(), "", "", "");
    }
};

TEST_F(GpuSensors, ControlPanelReadsCoreAndAmbientOrZerosWithoutItsLibrary) {
    auto missing = make<TNVCplSensor>();
    missing->ReadTemps();
    EXPECT_DOUBLE_EQ(missing->GetTemp(1).Stats->Last(), 0);
    EXPECT_TRUE(log.empty());
    machine().loadFromFile(CALDAVOR_BOARDS_DIR "/gpu-geforce.json");
    InitNVCpl();
    auto s = make<TNVCplSensor>();
    s->ReadTemps();
    EXPECT_EQ(s->GetTemp(2).Stats->FName, "NVidia Video Card Ambient");
    EXPECT_DOUBLE_EQ(s->GetTemp(1).Stats->Last(), 58);
    EXPECT_DOUBLE_EQ(s->GetTemp(2).Stats->Last(), 35);
}

TEST_F(GpuSensors, GeForceSensorsAreNamedByTheirCardsKey) {
    machine().loadFromFile(CALDAVOR_BOARDS_DIR "/gpu-geforce.json");
    LoadNvApi();
    for (int bus : {1, 2}) GeForceCards().push_back(std::make_unique<TGeForcePciCard>(bus, 0, 0, nullptr));
    auto registers = make<TGeForceSensor>(0);
    auto library = make<TGeForceSensor>(1);
    EXPECT_EQ(registers->FDisplayName, "GeForce039110DE010000");
    EXPECT_EQ(library->FDisplayName, "GeForce060010DE020000");
    registers->ReadTemps();
    library->ReadTemps();
    // Mixed model: 6581 x 0.0442 - 240.88 plus the BIOS bias 2.
    EXPECT_NEAR(registers->GetTemp(1).Stats->Last(), 6581 * 0.0442 - 240.88 + 2, 1e-4);  // statistics keep floats
    EXPECT_DOUBLE_EQ(library->GetTemp(1).Stats->Last(), 61);
    auto none = make<TGeForceSensor>(5);
    none->ReadTemps();
    EXPECT_NE(std::find(log.begin(), log.end(), "1 Error in READTEMPSINTERNAL for GeForce card #5 (no such card)"), log.end())
        << log.back();
}

class AtiSensor : public GpuSensors {
protected:
    AtiSensor() {
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/gpu-radeon.json");
        CreateAtiAdl({});
    }
};

TEST_F(AtiSensor, ReadingsFollowTheCardsCapabilities) {
    auto s = make<TATIADLSensor>();
    ASSERT_EQ(s->GetTempCount(), 1);
    ASSERT_EQ(s->GetFanCount(), 1) << "the approximate RPM makes the fan";
    ASSERT_EQ(s->GetPwmCount(), 1);
    ASSERT_EQ(s->GetVoltCount(), 1);
    EXPECT_NE(std::find(log.begin(), log.end(), "0 HasFan: CanRead=1 Valid=0 Inferred=1"), log.end());
    s->ReadTemps();
    s->ReadFans();
    s->ReadVolts();
    EXPECT_DOUBLE_EQ(s->GetTemp(1).Stats->Last(), 45.5);
    EXPECT_DOUBLE_EQ(s->GetFan(1).Stats->Last(), 1200);
    EXPECT_FLOAT_EQ(s->GetVolt(1).Stats->Last(), 1.15);
}

TEST_F(AtiSensor, SetPwmClampsRoundsAndAnswersTheReadBack) {
    auto s = make<TATIADLSensor>();
    const std::pair<double, double> rows[] = {{130, 100}, {-5, 25}, {62.5, 62}, {63.5, 64}, {NAN, 25}};
    // The duty the card holds afterwards: limits 25..100, half to even.
    for (const auto& [asked, held] : rows) {
        s->SetPwm(1, asked);
        EXPECT_EQ(AtiAdl()->GetFanPercent(0), held) << asked;
    }
    s->SetPwm(2, 50);
    EXPECT_EQ(AtiAdl()->GetFanPercent(0), 25) << "only output 1 is served";
}

TEST_F(AtiSensor, RestoreHandsTheFanBackUnlessTheUserHadIt) {
    for (const bool manual : {false, true}) {
        ResetAtiAdl();
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/gpu-radeon.json");
        CreateAtiAdl({});
        if (manual) AtiAdl()->SetFanPercent(0, 50, false);
        auto s = make<TATIADLSensor>();
        log.clear();
        s->SaveInitialState();
        s->RestoreInitialState();
        const bool handedBack = std::find(log.begin(), log.end(), "0 ADL_Overdrive5_FanSpeedToDefault_Set returned 0") != log.end();
        EXPECT_EQ(handedBack, !manual) << manual;
        EXPECT_FALSE(AtiAdl()->GetCardFanSpeedManualControl(0) && !manual);
    }
}

}  // namespace
