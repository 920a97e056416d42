#include <gtest/gtest.h>

#include "core/cvvalueformat.h"
#include "coretest.h"

namespace {

class ValueFormat : public coretest::CoreTest {};

TEST_F(ValueFormat, ReadingsInCelsiusAndFahrenheit) {
    EXPECT_EQ(FormatTemp(40, true), "40C");
    EXPECT_EQ(FormatTemp(40, false), "104F");
    EXPECT_EQ(FormatTemp(-40, false), "-40F");
    EXPECT_DOUBLE_EQ(TempToDisplay(100, false), 212);
    EXPECT_DOUBLE_EQ(TempToDisplay(37.5, true), 37.5);
    EXPECT_EQ(FormatVolt(12), "12.00V");
    EXPECT_EQ(FormatRpm(1234.4), "1234 RPM");

    platform::LocaleInfo locale;
    locale.decimalSeparator = ',';
    machine_->setLocale(locale);
    EXPECT_EQ(FormatVolt(3.3), "3,30V");
}

TEST_F(ValueFormat, SmallTextHelpers) {
    EXPECT_EQ(UrlEncode("a b/c"), "a+b%2Fc");
    EXPECT_EQ(UrlEncode("Z9_\xC3\x84"), "Z9%5F%C3%84");
    EXPECT_TRUE(IsBeta("Caldavor 1.0 beta 3"));
    EXPECT_FALSE(IsBeta("Caldavor 1.0 beta"));
    EXPECT_FALSE(IsBeta("Caldavor 1.0 Beta 3"));

    const std::pair<TExoticKind, const char*> tiles[] = {
        {TExoticKind::Temperature, "TSCTemperature"}, {TExoticKind::Fan, "TSCFan"},
        {TExoticKind::Volt, "TSCVolt"},               {TExoticKind::SmartDrive, "TSCSmartDrive"},
        {TExoticKind::Uptime, "TSCUptime"},           {TExoticKind::Battery, "TSCBattery"},
        {TExoticKind::Usage, "TSCUsage"},             {TExoticKind::Frequency, "TSCFrequency"},
        {TExoticKind::Other, "Unknown"}};
    for (const auto& [kind, name] : tiles) {
        EXPECT_EQ(GetExoticType(kind), name);
        EXPECT_EQ(GetExoticTypeForLoad(kind), name);
    }
}

TEST_F(ValueFormat, HintControlsAreKnownByName) {
    const auto temp = ParseHintControl("LABTemp3");
    ASSERT_TRUE(temp);
    EXPECT_EQ(temp->Target, THintTarget::Temp);
    EXPECT_EQ(temp->Row, 3);
    EXPECT_EQ(ParseHintControl("labvolt15")->Row, 15);
    EXPECT_EQ(ParseHintControl("PBCPULoad")->Target, THintTarget::CpuLoad);
    for (const char* other : {"NameTemp1", "labtemp", "labfanx", "LABPwm1", "pbcpuload2"})
        EXPECT_FALSE(ParseHintControl(other)) << other;
    EXPECT_EQ(CpuLoadHintText({12.5, 100}), "CPU0: 12.5% CPU1: 100.0%");
}

}  // namespace
