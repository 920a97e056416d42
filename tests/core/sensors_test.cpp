#include "core/cvsensors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct LogLine {
    std::string Msg;
    int Level;
    bool operator==(const LogLine&) const = default;
};

struct Counts {
    int Temps = 0, Fans = 0, Pwms = 0, Volts = 0;
};

// A chip with chosen raw values and switchable failures.
class TTestSensor : public TSensor {
public:
    TTestSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                std::string boardVendor, std::string boardProduct, std::string systemProduct, Counts counts,
                std::vector<int> ownProps = {}, std::vector<std::string> tempNames = {})
        : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
                  std::move(systemProduct)) {
        FChipName = "TestChip";
        FTemps.resize(counts.Temps);
        FFans.resize(counts.Fans);
        FPwms.resize(counts.Pwms);
        FVolts.resize(counts.Volts);
        for (std::size_t i = 0; i < tempNames.size(); ++i) FTemps[i].Name = tempNames[i];
        for (std::size_t i = 0; i < FVolts.size(); ++i) FVolts[i].Name = "V" + std::to_string(i + 1);
        for (int id : ownProps) AddProp(id);
        RawTemps.assign(counts.Temps, 0);
        RawFans.assign(counts.Fans, 0);
        RawPwms.assign(counts.Pwms, 0);
        FinishReadingSetup();
    }

    std::vector<double> RawTemps, RawFans, RawPwms;
    bool FailTemps = false, FailFans = false, FailSetPwm = false, FailOwnPropValue = false;
    bool DrivesOutputs = true;
    std::vector<std::pair<int, double>> PwmRequests;

    using TSensor::MakeOptionsUnique;

protected:
    void ReadTempsInternal(std::span<double> values) override {
        if (FailTemps) throw std::runtime_error("bus timeout");
        std::copy(RawTemps.begin(), RawTemps.end(), values.begin());
    }
    void ReadFansInternal(std::span<double> values) override {
        if (FailFans) throw std::runtime_error("no answer");
        std::copy(RawFans.begin(), RawFans.end(), values.begin());
    }
    void ReadPwmsInternal(std::span<double> values) override {
        std::copy(RawPwms.begin(), RawPwms.end(), values.begin());
    }
    double SetPwmInternal(int index, double percent) override {
        if (!DrivesOutputs) return TSensor::SetPwmInternal(index, percent);
        if (FailSetPwm) throw std::runtime_error("chip locked");
        PwmRequests.emplace_back(index, percent);
        return percent;
    }
    std::string GetPropValueInternal(int id) override {
        if (id == 13 && FailOwnPropValue) throw std::runtime_error("register gone");
        return TSensor::GetPropValueInternal(id);
    }
};

class SensorTest : public ::testing::Test {
protected:
    std::unique_ptr<TTestSensor> Make(Counts counts, std::vector<int> ownProps = {},
                                      std::vector<std::string> tempNames = {}) {
        return CreateSensor<TTestSensor>(&link, 0x2A0u, std::uint8_t{7}, logger(), "Vendor", "Board", "System",
                                         counts, std::move(ownProps), std::move(tempNames));
    }
    TSensorLogEvent logger() {
        return [this](TSensor&, const std::string& msg, int level) { logs.push_back({msg, level}); };
    }
    // Position of a property id in the sensor's list.
    static int PositionOf(TSensor& s, int id) {
        for (int i = 0; i < s.GetPropCount(); ++i)
            if (s.GetPropId(i) == id) return i;
        ADD_FAILURE() << "property " << id << " not offered";
        return -1;
    }

    // Host text "", bus text "ISA": the link text is trimmed.
    TLink link{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
    std::vector<LogLine> logs;
};

TEST_F(SensorTest, ConstructionKeepsLinkAddressAndNames) {
    auto s = Make({});
    EXPECT_EQ(s->FChipCode, 7);
    EXPECT_EQ(s->FAddress, 0x2A0u);
    EXPECT_EQ(s->FAddress2, 0);
    EXPECT_EQ(s->FAux2, 0);
    EXPECT_EQ(s->FAux3, 0);
    EXPECT_EQ(s->FLinkText, "ISA");
    EXPECT_EQ(s->FDisplayName, "TestChip@$2A0(onISA@$290)");
    EXPECT_EQ(s->FBoardVendor, "Vendor");
    EXPECT_EQ(s->FSystemProduct, "System");
    EXPECT_THAT(link.RegisteredAddresses(), ElementsAre(0x2A0));
}

TEST_F(SensorTest, WithoutLinkTheLinkTextStaysNone) {
    auto s = CreateSensor<TTestSensor>(nullptr, 0x4Cu, std::uint8_t{1}, TSensorLogEvent{}, "", "", "", Counts{});
    EXPECT_EQ(s->FLinkText, "none");
    EXPECT_EQ(s->FDisplayName, "TestChip@$4C(onnone)");
    s->SetName("quiet");  // no log event given: nothing to call
}

TEST_F(SensorTest, ReadingSetUpNamesReadingsAndStatistics) {
    auto single = Make({.Temps = 1}, {}, {"Board"});
    EXPECT_EQ(single->GetTemp(1).Name, "Temp");
    EXPECT_EQ(single->GetTemp(1).Stats->FName, "Temp");

    auto s = Make({.Temps = 3, .Fans = 2, .Pwms = 1, .Volts = 1}, {}, {"", "CPU"});
    EXPECT_EQ(s->GetTemp(1).Name, "Temp1");
    EXPECT_EQ(s->GetTemp(2).Name, "CPU");
    EXPECT_EQ(s->GetTemp(3).Name, "Temp3");
    EXPECT_EQ(s->GetTemp(2).Stats->FName, "TestChip CPU");
    EXPECT_EQ(s->GetFan(2).Name, "Fan2");
    EXPECT_EQ(s->GetFan(2).Stats->FName, "TestChip Fan2");
    EXPECT_EQ(s->GetPwm(1).Name, "Pwm1");
    EXPECT_EQ(s->GetVolt(1).Stats->FName, "TestChip V1");
    EXPECT_NE(s->GetTemp(1).Stats, s->GetTemp(3).Stats);
    EXPECT_EQ(s->GetTemp(1).Stats, s->GetTemp(1).Stats);  // copies share the statistics
}

TEST_F(SensorTest, SpikeFiltersOnTemperaturesAndFansOnly) {
    auto s = Make({.Temps = 1, .Fans = 1, .Pwms = 1});
    s->RawTemps = {126};
    s->RawFans = {8501};
    s->RawPwms = {130};
    s->ReadTemps();
    s->ReadFans();
    s->ReadPwms();
    EXPECT_EQ(s->GetTemp(1).Stats->FCount, 0);  // refused once
    EXPECT_EQ(s->GetFan(1).Stats->FCount, 0);
    EXPECT_EQ(s->GetPwm(1).Stats->FCount, 1);
    s->ReadTemps();
    EXPECT_DOUBLE_EQ(s->GetTemp(1).Stats->Last(), 126);
}

TEST_F(SensorTest, OutOfRangeIndexGivesTheZeroReading) {
    auto s = Make({.Temps = 2});
    for (TReading r : {s->GetTemp(0), s->GetTemp(3), s->GetFan(1), s->GetPwm(-1), s->GetVolt(1)}) {
        EXPECT_EQ(r.Name, "");
        EXPECT_EQ(r.Stats->FName, "Zero");
        EXPECT_EQ(r.Stats->FCount, 1);
        EXPECT_DOUBLE_EQ(r.Stats->Last(), 0);
    }
}

TEST_F(SensorTest, BasePropertiesFollowTheChipsOwnInOrder) {
    auto s = Make({.Temps = 2, .Fans = 2, .Pwms = 1}, {13});
    std::vector<int> ids;
    for (int i = 0; i < s->GetPropCount(); ++i) ids.push_back(s->GetPropId(i));
    EXPECT_THAT(ids, ElementsAre(13, 76, 77, 26, 46, 27, 47, 66));
    EXPECT_EQ(s->GetPropName(0), "PWM 1 mode");
    EXPECT_EQ(s->GetPropName(7), "Reverse PWM01 logic");
    EXPECT_EQ(s->GetPropValue(1), "0");
    EXPECT_EQ(s->GetPropValue(3), "1");
    EXPECT_EQ(s->GetPropValue(7), "OFF");
    EXPECT_EQ(s->GetPropValue(0), "<undefined>");  // the test chip does not implement it
    EXPECT_THAT(s->GetPropOptions(0), IsEmpty());
}

TEST_F(SensorTest, OnlyTheFirstTwentyTwentyAndTenReadingsGetProperties) {
    auto s = Make({.Temps = 25, .Fans = 22, .Pwms = 12});
    EXPECT_EQ(s->GetPropCount(), 20 + 2 * 20 + 10);
    EXPECT_EQ(s->GetPropId(19), 95);
    EXPECT_EQ(s->GetPropId(20), 26);
    EXPECT_EQ(s->GetPropId(59), 65);
    EXPECT_EQ(s->GetPropId(60), 66);
    EXPECT_EQ(s->GetPropId(69), 75);

    s->RawTemps.assign(25, 33);
    s->ReadTemps();
    EXPECT_DOUBLE_EQ(s->GetTemp(25).Stats->Last(), 33);  // temperature 25 keeps offset 0
}

TEST_F(SensorTest, TemperatureOffsetShiftsLaterSamples) {
    auto s = Make({.Temps = 2});
    s->RawTemps = {40, 50};
    ASSERT_TRUE(s->SetPropValue(PositionOf(*s, 76), "-5"));
    EXPECT_EQ(s->GetPropValue(PositionOf(*s, 76)), "-5");
    s->ReadTemps();
    EXPECT_DOUBLE_EQ(s->GetTemp(1).Stats->Last(), 35);
    EXPECT_DOUBLE_EQ(s->GetTemp(2).Stats->Last(), 50);
}

TEST_F(SensorTest, FanDivisorAndMultiplier) {
    auto s = Make({.Fans = 2});
    s->RawFans = {1000, 3000};
    ASSERT_TRUE(s->SetPropValue(PositionOf(*s, 47), "2"));  // FAN2 div
    s->ReadFans();
    EXPECT_DOUBLE_EQ(s->GetFan(2).Stats->Last(), 1500);
    ASSERT_TRUE(s->SetPropValue(PositionOf(*s, 27), "3"));  // FAN2 mult
    s->ReadFans();
    EXPECT_DOUBLE_EQ(s->GetFan(2).Stats->Last(), 4500);
    EXPECT_DOUBLE_EQ(s->GetFan(1).Stats->Last(), 1000);
    EXPECT_EQ(s->GetPropValue(PositionOf(*s, 47)), "2");
}

TEST_F(SensorTest, ReversedOutputIsDrivenAndRecordedInTheUsersSense) {
    auto s = Make({.Pwms = 2});
    ASSERT_TRUE(s->SetPropValue(PositionOf(*s, 66), "ON"));
    EXPECT_EQ(s->GetPropValue(PositionOf(*s, 66)), "ON");

    s->SetPwm(1, 30);
    EXPECT_THAT(s->PwmRequests, ElementsAre(std::pair{1, 70.0}));
    EXPECT_DOUBLE_EQ(s->GetPwm(1).Stats->Last(), 30);

    s->RawPwms = {70, 70};
    s->ReadPwms();
    EXPECT_DOUBLE_EQ(s->GetPwm(1).Stats->Last(), 30);
    EXPECT_DOUBLE_EQ(s->GetPwm(2).Stats->Last(), 70);

    s->SetPwm(2, 45);
    EXPECT_EQ(s->PwmRequests.back(), (std::pair{2, 45.0}));
}

TEST_F(SensorTest, SetPwmOutsideTheOutputsDoesNothing) {
    auto s = Make({.Pwms = 2});
    s->SetPwm(0, 50);
    s->SetPwm(3, 50);
    EXPECT_THAT(s->PwmRequests, IsEmpty());
    EXPECT_EQ(s->GetPwm(1).Stats->FCount, 0);
    EXPECT_EQ(s->GetPwm(2).Stats->FCount, 0);
}

TEST_F(SensorTest, FailedSetPwmAddsNoSample) {
    auto s = Make({.Pwms = 1});
    s->FailSetPwm = true;
    s->SetPwm(1, 50);
    EXPECT_EQ(s->GetPwm(1).Stats->FCount, 0);
    EXPECT_THAT(logs, ElementsAre(LogLine{"error in SETPWMINTERNAL (chip locked)", 1}));
}

TEST_F(SensorTest, OutputThatCannotBeDrivenKeepsItsRecordedDuty) {
    for (bool reverse : {false, true}) {
        auto s = Make({.Pwms = 1});
        s->DrivesOutputs = false;
        ASSERT_TRUE(s->SetPropValue(PositionOf(*s, 66), reverse ? "ON" : "OFF"));
        s->RawPwms = {40};
        s->ReadPwms();
        const double shown = reverse ? 60 : 40;
        EXPECT_DOUBLE_EQ(s->GetPwm(1).Stats->Last(), shown);
        s->SetPwm(1, 90);
        EXPECT_EQ(s->GetPwm(1).Stats->FCount, 2);
        EXPECT_DOUBLE_EQ(s->GetPwm(1).Stats->Last(), shown) << "reverse " << reverse;
    }
}

TEST_F(SensorTest, FailingTemperatureReadGivesOffsetSamplesAndALogLine) {
    auto s = Make({.Temps = 2});
    ASSERT_TRUE(s->SetPropValue(PositionOf(*s, 77), "3"));
    s->FailTemps = true;
    s->ReadTemps();
    s->ReadTemps();
    EXPECT_EQ(s->GetTemp(1).Stats->FCount, 2);
    EXPECT_DOUBLE_EQ(s->GetTemp(1).Stats->Last(), 0);
    EXPECT_DOUBLE_EQ(s->GetTemp(2).Stats->Last(), 3);
    EXPECT_EQ(logs.front(), (LogLine{"error in READTEMPSINTERNAL (bus timeout)", 1}));
    EXPECT_EQ(logs.size(), 2u);
}

TEST_F(SensorTest, FailingFanReadLogsWithoutTheMessage) {
    auto s = Make({.Fans = 1});
    s->FailFans = true;
    s->ReadFans();
    EXPECT_EQ(s->GetFan(1).Stats->FCount, 1);
    EXPECT_THAT(logs, ElementsAre(LogLine{"error in READFANSINTERNAL", 1}));
}

TEST_F(SensorTest, SensorMadeWithoutAfterConstructionReportsUncorrectedReads) {
    auto s = std::make_unique<TTestSensor>(&link, 0x290u, std::uint8_t{7}, logger(), "", "", "", Counts{.Temps = 1});
    s->RawTemps = {42};
    s->ReadTemps();
    EXPECT_DOUBLE_EQ(s->GetTemp(1).Stats->Last(), 42);
    EXPECT_THAT(logs, ElementsAre(LogLine{"error in READTEMPSINTERNAL (applying offsets)", 1}));
}

TEST_F(SensorTest, OptionLookupIgnoresCaseAndAnswersMaxIntWhenAbsent) {
    auto s = Make({.Temps = 1, .Fans = 1, .Pwms = 1});
    EXPECT_EQ(s->GetPropOptionIndex(66, "on"), 1);
    EXPECT_EQ(s->GetPropOptionIndex(66, "Off"), 0);
    EXPECT_EQ(s->GetPropOptionIndex(66, "maybe"), TSensor::MaxInt);
    EXPECT_EQ(s->GetPropOptionIndex(76, "-127"), 0);
    EXPECT_EQ(s->GetPropOptionIndex(76, "127"), 254);
    EXPECT_EQ(s->GetPropOptionIndex(26, "20"), 19);
    EXPECT_EQ(s->GetPropOptionIndex(26, "21"), TSensor::MaxInt);
    EXPECT_EQ(s->GetPropOptionIndex(13, "1"), TSensor::MaxInt);
}

TEST_F(SensorTest, ValueThatIsNoOptionKeepsThePreviousValue) {
    auto s = Make({.Temps = 1, .Fans = 1, .Pwms = 1});
    const int offset = PositionOf(*s, 76), mult = PositionOf(*s, 26), reverse = PositionOf(*s, 66);
    ASSERT_TRUE(s->SetPropValue(offset, "7"));
    ASSERT_TRUE(s->SetPropValue(mult, "4"));
    ASSERT_TRUE(s->SetPropValue(reverse, "on"));
    EXPECT_FALSE(s->SetPropValue(offset, "128"));
    EXPECT_FALSE(s->SetPropValue(mult, "0"));
    EXPECT_FALSE(s->SetPropValue(reverse, "yes"));
    EXPECT_EQ(s->GetPropValue(offset), "7");
    EXPECT_EQ(s->GetPropValue(mult), "4");
    EXPECT_EQ(s->GetPropValue(reverse), "ON");
}

TEST_F(SensorTest, BadPositionsAnswerDefaultsAndLog) {
    auto s = Make({.Temps = 1});
    EXPECT_EQ(s->GetPropName(-1), "<unknown>");
    EXPECT_EQ(s->GetPropId(5), -1);
    EXPECT_THAT(s->GetPropOptions(5), IsEmpty());
    EXPECT_EQ(s->GetPropValue(5), "<error>");
    EXPECT_FALSE(s->SetPropValue(5, "x"));
    EXPECT_THAT(logs, ElementsAre(LogLine{"Bad Property Name INDEX (-1)", 1}, LogLine{"Bad Property Id INDEX (5)", 1},
                                  LogLine{"Bad Property Options INDEX (5)", 1},
                                  LogLine{"Bad Property Value INDEX (5) (x)", 1}));
}

TEST_F(SensorTest, IdsOutsideTheCatalogue) {
    auto s = Make({}, {0, 149});
    for (int i : {0, 1}) {
        EXPECT_EQ(s->GetPropName(i), "<unknown>");
        EXPECT_EQ(s->GetPropId(i), -1);
        EXPECT_EQ(s->GetPropValue(i), "<undefined>");
        EXPECT_FALSE(s->SetPropValue(i, "1"));
    }
    EXPECT_THAT(logs, IsEmpty());
}

TEST_F(SensorTest, BaseIdBeyondTheReadingsStoresNothing) {
    auto s = Make({.Temps = 1}, {80});
    EXPECT_EQ(s->GetPropName(0), "Temperature 5 offset");
    EXPECT_EQ(s->GetPropValue(0), "<undefined>");
    EXPECT_FALSE(s->SetPropValue(0, "3"));
}

TEST_F(SensorTest, FailingPropertyValueAnswersErrorAndLogsTheContext) {
    auto s = Make({.Temps = 1}, {13});
    s->FailOwnPropValue = true;
    EXPECT_EQ(s->GetPropValue(0), "<error>");
    EXPECT_THAT(logs, ElementsAre(LogLine{"Error in GETPROPVALUE (index=0) (msg=register gone)", 1},
                                  LogLine{"Error in GETPROPVALUE (TestChip@$2A0(onISA@$290))", 1},
                                  LogLine{"Error in GETPROPVALUE (FProps[0]=13)", 1},
                                  LogLine{"Error in GETPROPVALUE (FProps[1]=76)", 1}));
}

TEST_F(SensorTest, SetNameIsRefused) {
    auto s = Make({});
    s->SetName("Other");
    EXPECT_EQ(s->FChipName, "TestChip");
    EXPECT_THAT(logs, ElementsAre(LogLine{"ERROR: Can't change sensor name from TestChip to Other ", 1}));
}

TEST_F(SensorTest, BaseAnswersOfTheOtherSlots) {
    auto s = Make({.Fans = 1});
    EXPECT_EQ(s->GetReportedSMBus(), 0xFFFF);
    EXPECT_EQ(s->GetFanDivisor(1), 1);
    EXPECT_FALSE(s->SetFanDivisor(1, 2));
    EXPECT_EQ(s->GetDebugInfo(), "");
}

TEST(SensorOptions, RepeatedTextsBecomeUnique) {
    TPropStringArray options = {"Auto", "Manual", "auto", "Off", "Manual"};
    TTestSensor::MakeOptionsUnique(options);
    EXPECT_THAT(options, ElementsAre("Auto", "Manual", "auto (2)", "Off", "Manual (4)"));
}

TEST(SensorPropCatalogue, RowsAndNames) {
    const auto& rows = SensorPropInfos();
    ASSERT_EQ(rows.size(), 148u);
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].Id, static_cast<int>(i + 1));

    const std::pair<int, const char*> names[] = {
        {1, "Temperature sensor diode 1"}, {12, "PWMOUT clock"}, {21, "STOP GRANT disconnect"},
        {25, "FAN 2"}, {26, "FAN1 mult"}, {45, "FAN20 mult"}, {46, "FAN1 div"}, {65, "FAN20 div"},
        {66, "Reverse PWM01 logic"}, {75, "Reverse PWM10 logic"}, {76, "Temperature 1 offset"},
        {95, "Temperature 20 offset"}, {96, "PWM 1 Enable"}, {104, "FAN5 divisor"}, {112, "BJT Gain 4"},
        {119, "PWM 4 Type"}, {120, "DTS interpretation"}, {121, "PWM 6 mode"}, {147, "PWM 32 mode"},
        {148, "PWM 5 Enable"}, {0, "<unknown>"}, {149, "<unknown>"}};
    for (const auto& [id, name] : names) EXPECT_EQ(SensorPropName(id), name) << id;
    EXPECT_EQ(SensorPropId(148), 148);
    EXPECT_EQ(SensorPropId(0), -1);
    EXPECT_EQ(SensorPropId(149), -1);
}

}  // namespace
