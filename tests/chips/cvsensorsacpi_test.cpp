#include "chips/cvsensorsacpi.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>

#include "chipsfixture.h"
#include "hw/cvosinfo.h"
#include "platform/driverctl.h"
#include "platform/sim/boardreader.h"
#include "platform/sim/simacpi.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Statistics keep single precision.
::testing::Matcher<double> Near(double v) { return ::testing::DoubleNear(v, 1e-4); }

class AcpiSensorTest : public ChipTest {
protected:
    AcpiSensorTest() { ResetWindows8Check(); }
    ~AcpiSensorTest() override {
        OperatingSystem.reset();
        ResetWindows8Check();
    }

    void Load(const std::string& board) {
        machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR "/acpi/") + board);
        Restart();
    }
    // The OS identity and the driver as the program finds them at start.
    void Restart() {
        InitializeCvosinfo();
        IOPort = std::make_unique<TIOPort>();
    }
    void SetDriver(std::uint32_t major, std::uint32_t minor) {
        machine().driver().major = major;
        machine().driver().minor = minor;
        Restart();
    }
    // Methods that answer before the board's own, as {"NAME": answer or case}.
    void Prepend(const std::string& methodsJson) {
        const auto json = nlohmann::json::parse(methodsJson);
        const std::string source = "test";
        const platform::sim::BoardNode node(&json, source, "");
        machine().devices()[0].acpiMethods->prependFrom(*platform::sim::loadAcpiMethods(node));
    }
    void PrependBoardMethods(const std::string& board) {
        std::ifstream in(std::string(CALDAVOR_BOARDS_DIR "/acpi/") + board);
        const auto json = nlohmann::json::parse(in);
        Prepend(json["devices"][0]["acpiMethods"].dump());
    }

    template <class T>
    std::unique_ptr<T> Make() {
        return CreateSensor<T>(nullptr, 0, T::ChipCode, Logger(), "", "", "");
    }
    static std::vector<std::string> Names(TSensor& s, TReading (TSensor::*get)(int) const, int count) {
        std::vector<std::string> names;
        for (int i = 1; i <= count; ++i) names.push_back((s.*get)(i).Name);
        return names;
    }
    static std::vector<double> Last(TSensor& s, TReading (TSensor::*get)(int) const, int count) {
        std::vector<double> values;
        for (int i = 1; i <= count; ++i) values.push_back((s.*get)(i).Stats->Last());
        return values;
    }
    int Logged(const std::string& line) const { return static_cast<int>(std::count(log.begin(), log.end(), line)); }
    const std::vector<platform::sim::NamespaceRequest>& Requests() { return machine().namespaceLog().requests; }
};

TEST(AcpiConversions, KelvinTenthsToCelsius) {
    EXPECT_DOUBLE_EQ(KelvinTenthsToCelsius(3032), 30.0);
    EXPECT_DOUBLE_EQ(KelvinTenthsToCelsius(2732), 0.0);
    EXPECT_DOUBLE_EQ(KelvinTenthsToCelsius(2632), -10.0);
    const std::pair<const char*, double> texts[] = {
        {"3232", 50.0}, {" 3432 3332", 0}, {"<empty>", 0}, {"", 0}, {"2532", -20.0}};
    for (const auto& [text, celsius] : texts) EXPECT_DOUBLE_EQ(KelvinTenthsTextToCelsius(text), celsius) << text;
}

// ---- thermal zones ---------------------------------------------------------------

struct RouteCase {
    const char* name;
    bool installed;
    std::uint32_t major, minor, osMajor, osMinor;
    std::uint32_t code;  // of the zone requests; 0: none
    std::uint8_t route;
    std::vector<double> temps;
};

class ThermalRoutes : public AcpiSensorTest, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(ThermalRoutes, ZonesTakeTheRouteTheDriverAndSystemAllow) {
    const RouteCase& c = GetParam();
    Load("thermalzones.json");
    setOs(c.osMajor, c.osMinor);
    if (c.installed) {
        SetDriver(c.major, c.minor);
    } else {
        machine().driver().installed = false;
        InitializeCvosinfo();
        IOPort.reset();
    }
    auto sensor = Make<TACPISensor>();
    EXPECT_EQ(sensor->Route, c.route);
    EXPECT_THAT(Names(*sensor, &TSensor::GetTemp, sensor->GetTempCount()), ElementsAre("Temp1", "Temp2"));
    sensor->ReadTemps();
    const auto temps = Last(*sensor, &TSensor::GetTemp, 2);
    EXPECT_NEAR(temps[0], c.temps[0], 1e-4);
    EXPECT_NEAR(temps[1], c.temps[1], 1e-4);
    EXPECT_EQ(Logged(std::string("0 Read ACPI temperatures using ") + (c.route == 0 ? "ACPI" : "WMI") + " method"), 1);
    for (const auto& r : Requests()) EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(Requests().empty(), c.code == 0);
    EXPECT_EQ(machine().namespaceLog().openHandles, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Acpi, ThermalRoutes,
    ::testing::Values(
        RouteCase{"Driver22OnWindows10", true, 2, 2, 10, 0, platform::drv::RawThermalQuery, 0, {30.0, 39.8}},
        // Windows 8 wants the driver's own query, which 1.6 lacks: no zone answers, so WMI reads.
        RouteCase{"Driver16OnWindows10", true, 1, 6, 10, 0, 0, 1, {50.0, 40.0}},
        RouteCase{"Driver16OnWindows7", true, 1, 6, 6, 1, platform::drv::ThermalZoneInformationQuery, 0, {30.0, 39.8}},
        RouteCase{"NoDriver", false, 2, 3, 10, 0, 0, 1, {50.0, 40.0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AcpiSensorTest, TheSystemQueryKeepsTheTripPoints) {
    Load("thermalzones.json");
    setOs(6, 1);
    SetDriver(1, 6);
    auto sensor = Make<TACPISensor>();
    TACPIReadings readings;
    sensor->UpdateReadings(readings);
    ASSERT_EQ(readings.size(), 2u);
    EXPECT_DOUBLE_EQ(readings[0].Active, 80.0);
    EXPECT_DOUBLE_EQ(readings[0].Critical, 100.0);
    EXPECT_DOUBLE_EQ(readings[0].Passive, 90.0);
    EXPECT_THAT(log, Contains("0   Passive trip point =90.0"));
    EXPECT_THAT(log, Contains("0 Not running on Windows 8"));
}

TEST_F(AcpiSensorTest, DriverZoneDetailsAreTracedForTheFirstTwoPassesAndWindows8Once) {
    Load("thermalzones.json");
    auto sensor = Make<TACPISensor>();
    auto second = Make<TACPISensor>();
    sensor->ReadTemps();
    sensor->ReadTemps();
    // Zone 1 answers ten words: ten lines, 00 to 09.
    const auto raw = std::count_if(log.begin(), log.end(),
                                   [](const std::string& l) { return l.rfind("0   RAW DATA[", 0) == 0; });
    // Construction and the first read of one sensor, construction of the other; two zones each.
    EXPECT_EQ(raw, 3 * (10 + 5));
    EXPECT_THAT(log, Contains("0   RAW DATA[04]=3032  (30.0)"));
    EXPECT_THAT(log, Contains("0   RAW DATA[09]=0  (-273.2)"));
    EXPECT_THAT(log, Contains("0   Thermal stamp      =7"));
    EXPECT_EQ(Logged("0 Thermal Zone Info (00000050) (sensor)"), 3);
    EXPECT_EQ(Logged("0 Windows 8 detected") + Logged("0 Not running on Windows 8"), 1);
    EXPECT_EQ(Logged("0 About to scan Thermal Zones (sensor)..."), 2);
}

TEST_F(AcpiSensorTest, AZoneThatFailsOnATickReadsZeroInItsOwnSlot) {
    Load("thermalzones.json");
    auto sensor = Make<TACPISensor>();
    machine().devices()[0].openError = platform::ErrorAccessDenied;
    sensor->ReadTemps();
    EXPECT_THAT(Last(*sensor, &TSensor::GetTemp, 2), ElementsAre(0.0, Near(39.8)));
    EXPECT_EQ(sensor->Route, TACPISensor::RouteAcpi);
}

TEST_F(AcpiSensorTest, AShortThermalAnswerGivesNoRecord) {
    Load("thermalzones.json");
    machine().devices()[0].rawThermal = {7, 0, 0, 0};  // 16 bytes: no current temperature
    auto sensor = Make<TACPISensor>();
    sensor->ReadTemps();
    EXPECT_THAT(Last(*sensor, &TSensor::GetTemp, 2), ElementsAre(0.0, Near(39.8)));
}

// ---- ATK0110 ---------------------------------------------------------------------

struct PersonalityCase {
    const char* name;
    const char* board;
    const char* prepend;
    bool withMethod1;
    int method;
    std::vector<std::string> temps, fans, volts;
    const char* line;
};

class ATK0110Personalities : public AcpiSensorTest, public ::testing::WithParamInterface<PersonalityCase> {};

TEST_P(ATK0110Personalities, ChooseTheirMethod) {
    const PersonalityCase& c = GetParam();
    Load(c.board);
    Prepend(c.prepend);
    if (c.withMethod1) PrependBoardMethods("atk0110-method1.json");
    auto sensor = Make<TATK0110Sensor>();
    EXPECT_EQ(sensor->Method, c.method);
    EXPECT_EQ(Names(*sensor, &TSensor::GetTemp, sensor->GetTempCount()), c.temps);
    EXPECT_EQ(Names(*sensor, &TSensor::GetFan, sensor->GetFanCount()), c.fans);
    EXPECT_EQ(Names(*sensor, &TSensor::GetVolt, sensor->GetVoltCount()), c.volts);
    EXPECT_EQ(sensor->GetPwmCount(), 0);
    EXPECT_THAT(log, Contains(c.line));
    EXPECT_EQ(Logged("1 TATK0110Sensor : ERROR creating - Unable to find working interface!"), c.method ? 0 : 1);
    EXPECT_EQ(machine().namespaceLog().openHandles, 0);
}

const std::vector<std::string> Temps{"CPU", "MB"}, Fans{"CPU"}, Volts{"Vcore", "+3.3V", "+5V", "+12V"};

INSTANTIATE_TEST_SUITE_P(
    Acpi, ATK0110Personalities,
    ::testing::Values(
        PersonalityCase{"Method3With13V2AtItsMaximum", "atk0110-method3.json", "{}", false, 3, Temps, Fans, Volts,
                        "0 Voltages test result: 0 bad - 4 tot - 4 ok"},
        PersonalityCase{"Method3RejectedBy14V", "atk0110-method3.json",
                        R"({"GITM": {"args": [131075], "answer": {"buffer": "01 00 00 00 B0 36 00 00"}}})", true, 1,
                        Temps, Fans, Volts, "0 Voltages test result: 1 bad - 4 tot - 3 ok"},
        PersonalityCase{"ItemOfType5", "atk0110-method3.json",
                        R"({"VSN0": {"package": [327680, "Odd", 0, 0, 0, 0, 1]}})", false, 0, {}, {}, {},
                        "0 Error executing ACPI method VSN0 (Unknown item type 5)"},
        PersonalityCase{"GitmBufferOf7Bytes", "atk0110-method3.json",
                        R"({"GITM": {"args": [196608], "answer": {"buffer": "01 00 00 00 C2 01 00"}}})", false, 0, {},
                        {}, {}, "0 End of method 3 testing (False)"},
        PersonalityCase{"Method1Alone", "atk0110-method1.json", "{}", false, 1, Temps, Fans, Volts,
                        "0 Error executing ACPI method GGRP(6) (Error evaluating ACPI method GGRP ($C0000034))"},
        PersonalityCase{"RtmpAnsweringTwoValues", "atk0110-method1.json",
                        R"({"RTMP": {"args": [17], "answer": {"package": [420, 1]}}})", false, 0, {}, {}, {},
                        "0 End of method 1 testing (False)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AcpiSensorTest, ATK0110ReadsItsItemsEachTick) {
    Load("atk0110-method3.json");
    auto sensor = Make<TATK0110Sensor>();
    EXPECT_THAT(log, Contains("0   Vcore Voltage           =1.200  min=0.850  max=1.600  flags=$00020000  "
                              "enable=$00000001"));
    EXPECT_THAT(log, Contains("0   CPU Fan Speed           =2500  min=600  max=7200  flags=$00040000  "
                              "enable=$00000001"));
    EXPECT_EQ(sensor->GetTemp(1).Stats->FName, "ATK0110 CPU");
    sensor->ReadTemps();
    sensor->ReadFans();
    sensor->ReadVolts();
    EXPECT_THAT(Last(*sensor, &TSensor::GetTemp, 2), ElementsAre(45.0, 38.0));
    EXPECT_THAT(Last(*sensor, &TSensor::GetFan, 1), ElementsAre(2500.0));
    EXPECT_THAT(Last(*sensor, &TSensor::GetVolt, 4), ElementsAre(Near(1.2), Near(3.3), Near(5.0), Near(13.2)));

    // A failed status stores nothing; a device that will not open is logged.
    Prepend(R"({"GITM": {"args": [196608], "answer": {"buffer": "00 00 00 00 C2 01 00 00"}}})");
    sensor->ReadTemps();
    EXPECT_THAT(Last(*sensor, &TSensor::GetTemp, 2), ElementsAre(0.0, 38.0));
    machine().devices()[0].openError = platform::ErrorAccessDenied;
    sensor->ReadFans();
    EXPECT_THAT(log, Contains("0 TATK0110Sensor : Unable to open \\\\.\\caldavor\\Device\\00000045 (error $00000005)"));
}

TEST_F(AcpiSensorTest, ATK0110WithoutADeviceHasNoReadings) {
    machine().loadFromJson(R"({"driver": {"major": 2, "minor": 3}})", "empty");
    Restart();
    auto sensor = Make<TATK0110Sensor>();
    EXPECT_EQ(sensor->Method, 0);
    EXPECT_EQ(sensor->GetTempCount() + sensor->GetFanCount() + sensor->GetVoltCount(), 0);
    EXPECT_THAT(log, Contains("0 TATK0110Sensor.FoundMethod3 : Unable to open  (error $00000002)"));
}

// ---- notebooks -------------------------------------------------------------------

TEST_F(AcpiSensorTest, SonyReadsTemperaturesAndFanBytes) {
    Load("sony-ec.json");
    Prepend(R"({"TS2R": {"script": [{"fails": "0xC0000001"}, 41]}, "TS3R": {"script": [38, {"integer": "0xFFFFFFFF"}]}})");
    auto sensor = Make<TACPISonySensor>();
    EXPECT_THAT(Names(*sensor, &TSensor::GetTemp, 3), ElementsAre("CPU", "System", "Temp3"));
    EXPECT_THAT(Names(*sensor, &TSensor::GetFan, 2), ElementsAre("CPU Fan", "Fan2"));
    EXPECT_EQ(sensor->GetTemp(3).Stats->FName, "SONY VAIO Temp3");
    sensor->ReadFans();
    EXPECT_THAT(Last(*sensor, &TSensor::GetFan, 2), ElementsAre(4768.0, 0.0));
    // TS2R fails once: the sequence stops there.
    sensor->ReadTemps();
    EXPECT_THAT(Last(*sensor, &TSensor::GetTemp, 3), ElementsAre(52.0, 0.0, 0.0));
    EXPECT_EQ(Logged("0 TACPISonySensor: Error executing ACPI method (Error evaluating ACPI method TS2R ($C0000001))"),
              1);
    sensor->ReadTemps();
    EXPECT_THAT(Last(*sensor, &TSensor::GetTemp, 3), ElementsAre(52.0, 41.0, 38.0));
    // All ones from the controller is no temperature.
    sensor->ReadTemps();
    EXPECT_EQ(sensor->GetTemp(3).Stats->Last(), 0.0);
}

TEST_F(AcpiSensorTest, NotebookSensorsWithoutEvaluationOrControllerReadNothing) {
    Load("sony-ec.json");
    SetDriver(1, 5);
    auto sony = Make<TACPISonySensor>();
    auto asus = Make<TACPIAsusLaptopSensor>();
    sony->ReadTemps();
    sony->ReadFans();
    EXPECT_THAT(Requests(), IsEmpty());
    EXPECT_EQ(asus->GetFanCount(), 0);
    EXPECT_THAT(log, Contains("0 TACPIAsusLaptopSensor: Found 0 fans"));

    // No controller: every open fails with its code and nothing is evaluated.
    machine().devices().clear();
    SetDriver(2, 3);
    log.clear();
    auto lost = Make<TACPISonySensor>();
    lost->ReadTemps();
    EXPECT_THAT(log, Contains("0 TACPISonySensor: Unable to open  (error $00000002)"));
    EXPECT_THAT(Last(*lost, &TSensor::GetTemp, 3), ElementsAre(0.0, 0.0, 0.0));
}

TEST_F(AcpiSensorTest, AsusCountsItsFanByTach) {
    Load("asus-ec.json");
    auto sensor = Make<TACPIAsusLaptopSensor>();
    ASSERT_EQ(sensor->GetFanCount(), 1);
    EXPECT_EQ(sensor->GetFan(1).Name, "CPU Fan");
    EXPECT_THAT(sensor->ThermalZonePaths(), ElementsAre("\\\\.\\caldavor\\Device\\00000050"));
    EXPECT_THAT(log, Contains("0 " + std::string(24, ' ') + " Opened EC device"));
    sensor->ReadFans();
    EXPECT_THAT(Last(*sensor, &TSensor::GetFan, 1), ElementsAre(2650.0));

    machine().devices()[0].acpiMethods = std::make_shared<platform::sim::SimAcpiMethods>();
    log.clear();
    auto without = Make<TACPIAsusLaptopSensor>();
    EXPECT_EQ(without->GetFanCount(), 0);
    EXPECT_THAT(log, Contains("0 TACPIAsusLaptopSensor: Found 0 fans"));
}

TEST_F(AcpiSensorTest, FindAcpiDeviceTakesTheLastMatchAndEvalIntegerOnlyASingleResult) {
    Load("sony-ec.json");
    auto second = machine().devices()[0];
    second.record.setString(platform::devprop::PhysicalDeviceObjectName, "\\Device\\0000004d");
    machine().devices().push_back(second);
    auto sensor = Make<TACPISonySensor>();
    EXPECT_EQ(sensor->DevicePath, "\\\\.\\caldavor\\Device\\0000004d");
    EXPECT_EQ(Logged("0 TACPIBaseSensor.FindAcpiDevice for TACPISonySensor: Found EC at "
                     "\\\\.\\caldavor\\Device\\0000004c"),
              1);
    Prepend(R"({"PAIR": {"package": [1, 2]}})");
    auto device = platform::current().openDevice(sensor->DevicePath).device;
    EXPECT_EQ(sensor->EvalInteger(device.get(), "PAIR"), 0);
    EXPECT_EQ(sensor->EvalInteger(device.get(), "TS1R"), 52);
}

}  // namespace
