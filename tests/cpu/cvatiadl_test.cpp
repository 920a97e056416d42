// The display-library wrapper against the simulated library.

#include <gtest/gtest.h>

#include "cpu/gpufixture.h"

namespace {

using Lines = std::vector<std::string>;

class AtiAdl : public GpuTest {
protected:
    std::unique_ptr<TAtiAdl> make() {
        if (graphics->adl.path.empty()) load("gpu-radeon.json");
        return std::make_unique<TAtiAdl>(true, [this](const std::string& m) { log.push_back(m); });
    }
    bool logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }
    Lines log;
};

TEST_F(AtiAdl, BindsOncePerProcessAndFreesItsBuffersAtTheLastRelease) {
    {
        auto first = make();
        EXPECT_TRUE(logged("DLL found and opened"));
        EXPECT_TRUE(logged("Linked ADL_Overdrive5_FanSpeedToDefault_Set"));
        EXPECT_TRUE(logged("ADL_Main_Control_Create returned 0"));
        EXPECT_EQ(first->AdapterCount(), 2);
        EXPECT_EQ(first->CardCount(), 1) << "two outputs of one card";
        auto second = make();
        EXPECT_EQ(ADLHandleReferences(), 2);
        EXPECT_EQ(AdlAllocations(), 1u);
    }
    EXPECT_EQ(ADLHandleReferences(), 0);
    EXPECT_FALSE(AdlLoaded());
    EXPECT_EQ(AdlAllocations(), 0u);
    EXPECT_TRUE(logged("Closed DLL"));
}

TEST_F(AtiAdl, AMissingEntryPointReleasesTheLibrary) {
    // Only the 32-bit name, and one entry point missing.
    graphics->adl.path = platform::adl::FileName32;
    graphics->adl.missing = {platform::adl::FanSpeedSet};
    place();
    Lines lines;
    TAtiAdl adl(true, [&](const std::string& m) { lines.push_back(m); });
    const Lines expected = {"Trying to load 32 bit DLL...", "DLL found and opened"};
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 2), expected);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Unable to link ADL_Overdrive5_FanSpeed_Set"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "WARNING: ADLHandleReferences became negative!"), lines.end());
    EXPECT_EQ(adl.CardCount(), 0);
}

TEST_F(AtiAdl, ReadingsAndTheirFirstLogLines) {
    auto adl = make();
    EXPECT_DOUBLE_EQ(adl->GetTemperature(0), 45.5);
    EXPECT_TRUE(logged("  Temperature=45.50"));
    log.clear();
    adl->GetTemperature(0);
    EXPECT_TRUE(log.empty());
    const TAtiFanReading fan = adl->GetFanSpeed(0, true);
    EXPECT_FALSE(fan.RPMValid);
    EXPECT_EQ(fan.ApproxRPM, 1200);  // 3000 / 100 x 40
    EXPECT_TRUE(logged("  Fan speed=40% (flags=$00000000) (approximately 1200 RPM)"));
    EXPECT_EQ(adl->GetActivity(0)[3], 1150);
    EXPECT_DOUBLE_EQ(adl->GetTemperature(-1), TAtiAdl::NoTemperature);
}

TEST_F(AtiAdl, TheFanSetIsClampedToTheCardsLimits) {
    auto adl = make();
    adl->GetFanSpeed(0, true);
    EXPECT_EQ(adl->SetFanPercent(0, 10, false), 25);
    EXPECT_EQ(adl->GetCardInfo(0).PercentWriteState, 1) << "refused below the limit: not a failure";
    EXPECT_EQ(adl->SetFanPercent(0, 60, true), 60);
    EXPECT_TRUE(adl->GetCardFanSpeedManualControl(0));
    EXPECT_TRUE(logged("  MANUAL CONTROL IS ENABLED"));
}

TEST_F(AtiAdl, AFailedFeatureIsNeverAskedAgain) {
    graphics->adl.path = platform::adl::FileName;
    platform::sim::SimAdlCard card;
    card.adapters = {0};
    card.faults[platform::adl::FanSpeedInfoGet] = {false, -1};
    card.faults[platform::adl::TemperatureGet] = {false, -8};
    graphics->adl.cards = {card};
    place();
    TAtiAdl other(true, {});
    EXPECT_DOUBLE_EQ(other.GetTemperature(0), TAtiAdl::NoTemperature);
    other.GetFanSpeed(0, true);
    graphics->adl.cards[0].faults.clear();
    EXPECT_DOUBLE_EQ(other.GetTemperature(0), TAtiAdl::NoTemperature) << "failed once, never asked again";
    EXPECT_FALSE(other.GetFanSpeed(0, true).PercentValid);
    EXPECT_EQ(other.GetCardInfo(0).FanInfoState, 2);
    EXPECT_FALSE(other.GetCardFanSpeedManualControl(0));
}

TEST_F(AtiAdl, ScanI2CDumpsAnsweringDevices) {
    auto adl = make();
    adl->ScanI2C();
    EXPECT_TRUE(traced("ATIADL - Video Card #0 - ATI Radeon HD 4850"));
    EXPECT_TRUE(traced("ATIADL -   SCANNING LINE 1 ADDRESS $50 -->"));
    EXPECT_TRUE(traced("ATIADL - 00   12 34 FF FF FF FF FF FF FF FF FF FF FF FF FF FF  .4.............."));
    EXPECT_TRUE(traced("ATIADL -   SCANNING LINE 1 ADDRESS $20 --> error=-1"));
}

TEST_F(AtiAdl, TheControlPanelWithoutItsLibraryAnswersZeros) {
    InitNVCpl();
    EXPECT_TRUE(traced("About to open NVCPL.DLL..."));
    EXPECT_TRUE(traced("Error opening NVCPL.DLL!"));
    EXPECT_EQ(GetInitError(), "");
    const TNVCpl::TThermal t = NVCpl()->GetThermalSettings(0);
    EXPECT_EQ(t.Core + t.Ambient + t.Limit, 0u);
}

}  // namespace
