#include "firmware/cvwmi.h"

#include <gmock/gmock.h>

#include "platform/sim/simwmi.h"
#include "smbiosfixture.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using platform::WmiProperty;
using platform::WmiValue;

namespace {

WmiValue Int(std::int64_t v) { return WmiValue::of(v); }
WmiValue Text(const char* v) { return WmiValue::of(std::string(v)); }

class WmiTest : public SmbiosTest {
protected:
    platform::sim::SimWmi& wmi() { return machine().simWmi(); }
    std::vector<std::string> Lines(const std::string& ns, const std::string& cls) {
        TWmiInspector inspector;
        inspector.ExploreClass(ns, cls, true);
        return inspector.Lines;
    }
};

TEST_F(WmiTest, PropertiesPrintByTheirCimType) {
    using namespace platform;
    const struct {
        WmiProperty property;
        const char* text;
    } cases[] = {
        {{"p", Int(2147483648LL), CimUint32}, "2147483648"},
        {{"p", Int(-1), CimSint32}, "-1"},
        {{"p", Int(0xFFFF), CimSint16}, "-1"},
        {{"p", Int(200), CimUint8}, "200"},
        {{"p", Int(-5), CimSint8}, "-5"},
        {{"p", Int(1LL << 40), CimSint64}, "1099511627776"},
        {{"p", Text("18446744073709551615"), CimUint64}, "18446744073709551615"},
        {{"p", WmiValue::of(true)}, "True"},
        {{"p", WmiValue::of(false)}, "False"},
        {{"p", WmiValue::of(30.0)}, "30"},
        {{"p", WmiValue::of(0.1)}, "0.1"},
        {{"p", WmiValue::of(1e20)}, "1E20"},
        {{"p", WmiValue::of(1e-5)}, "1E-5"},
        {{"p", WmiValue::of(2.5), CimReal32}, "2.5"},
        {{"p", Text("a text")}, "a text"},
        {{"p", Text("20240101000000.000000+000"), CimDateTime}, "20240101000000.000000+000"},
        {{"p", Text("x"), CimObject}, "<CIM Object>"},
        {{"p", Int(65), CimChar16}, "<16-bit character>"},
        {{"p", Int(1), 99}, "<Unknown type>"},
        {{"p", WmiValue::of(std::vector{Int(7), Int(8), Int(9)}), CimUint32}, " 7 8 9"},
        {{"p", WmiValue::of(std::vector{Text("a"), Text("b")})}, " a b"},
        {{"p", WmiValue::of(std::vector<WmiValue>{})}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(WmiPropertyToText(c.property), c.text) << c.text;
}

TEST_F(WmiTest, QueryValueAnswersTheLastNonNullMatchInAnyCase) {
    wmi().add("Win32_SystemDriver", {{"Caption", Text("caldavor")}, {"PathName", Text("C:\\first.sys")}});
    wmi().add("Win32_SystemDriver", {{"Caption", Text("caldavor")}, {"PathName", Text("C:\\second.sys")}});
    wmi().add("Win32_SystemDriver", {{"Caption", Text("caldavor")}, {"PathName", WmiValue{}}});
    TWmiInspector inspector;
    EXPECT_TRUE(inspector.Available);
    EXPECT_EQ(inspector.QueryValue("root\\cimv2", "select * from Win32_SystemDriver", "pathname"), "C:\\second.sys");
    EXPECT_EQ(inspector.QueryValue("root\\cimv2", "select * from Win32_SystemDriver", "nothing"), "");
    EXPECT_EQ(inspector.QueryValue("root\\cimv2", "select * from Win32_Fan", "pathname"), "");
}

TEST_F(WmiTest, FailuresReachTheCallerWithTheirMessage) {
    wmi().failConnectWith("Access denied");
    TWmiInspector inspector;
    try {
        inspector.QueryValue("root\\cimv2", "select * from Win32_Fan", "Name");
        ADD_FAILURE() << "no error";
    } catch (const platform::EWmiError& e) {
        EXPECT_STREQ(e.what(), "Access denied");
    }
}

TEST_F(WmiTest, WithoutWmiNothingIsExploredAndQueriesFail) {
    wmi().enabled = false;
    TWmiInspector inspector;
    EXPECT_FALSE(inspector.Available);
    EXPECT_EQ(inspector.LastError, "WMI interface not registered on this system.");
    inspector.ExploreAll();
    EXPECT_TRUE(inspector.Lines.empty());
    EXPECT_THROW(inspector.QueryValue("root\\cimv2", "select * from Win32_Fan", "Name"), platform::EWmiError);
}

TEST_F(WmiTest, ThermalZoneReadingsAreCapturedOnTheirOwnLines) {
    wmi().add("root\\WMI", "MSAcpi_ThermalZoneTemperature",
              {{"CurrentTemperature", Int(3032), platform::CimUint32},
               {"ActiveTripPoint", WmiValue::of(std::vector{Int(3532)}), platform::CimUint32},
               {"CriticalTripPoint", Int(3732), platform::CimUint32},
               {"PassiveTripPoint", WmiValue{}}});
    wmi().addMethod("root\\WMI", "MSAcpi_ThermalZoneTemperature", {"SetTrip", true, {"Trip", "Value"}});
    wmi().addMethod("root\\WMI", "MSAcpi_ThermalZoneTemperature", {"Reset", false, {}});
    TWmiInspector inspector;
    inspector.ExploreClass("root\\WMI", "msacpi_thermalzonetemperature", true);
    EXPECT_DOUBLE_EQ(inspector.AcpiTemperature, 30.0);
    EXPECT_DOUBLE_EQ(inspector.AcpiActiveTripPoint, 0);  // an array is no whole number
    EXPECT_DOUBLE_EQ(inspector.AcpiCriticalTripPoint, 100.0);
    EXPECT_THAT(inspector.Lines,
                ElementsAre("EXPLORING : root\\WMI\\msacpi_thermalzonetemperature", "  -> Object Start",
                            "  ActiveTripPoint =  3532 (0.0C)", "  CriticalTripPoint = 3732 (100.0C)",
                            "  CurrentTemperature = 3032 (30.0C)", "  Method -> SetTrip(Trip,Value)",
                            "  Method -> Reset"));
}

TEST_F(WmiTest, ExploreAllListsTheClassesInOrderAndCapturesTheBoard) {
    wmi().add("Win32_BaseBoard", {{"Manufacturer", Text("Orvane")}, {"Product", Text("P45-QX")}, {"Version", WmiValue{}}});
    wmi().add("Win32_Fan", {{"Name", Text("Cooling Device")}});
    TWmiInspector inspector;
    inspector.ExploreAll();
    EXPECT_EQ(inspector.BoardManufacturer, "Orvane");
    EXPECT_EQ(inspector.BoardModel, "P45-QX");
    EXPECT_EQ(inspector.BoardVersion, "<empty>");
    std::vector<std::string> headers;
    for (const auto& line : inspector.Lines)
        if (line.starts_with("EXPLORING")) headers.push_back(line);
    ASSERT_EQ(headers.size(), 22u);
    EXPECT_EQ(headers[0], "EXPLORING : root\\CIMV2\\Win32_BaseBoard");
    EXPECT_EQ(headers[1], "EXPLORING : root\\WMI\\msacpi_thermalzonetemperature");
    EXPECT_EQ(headers[2], "EXPLORING : root\\CIMV2\\CIM_AssociatedSensor");
    EXPECT_EQ(headers[20], "EXPLORING : root\\CIMV2\\Win32_VoltageProbe");
    EXPECT_EQ(headers[21], "EXPLORING : SMBIOS");
    EXPECT_THAT(inspector.Lines, ::testing::Contains("  Name = Cooling Device"));
}

TEST_F(WmiTest, RendersTheRawTableWithItsShownTypes) {
    LayTable(Join({Structure(1, 1, {1, 0, 0, 0}, {"Sys"}), Structure(27, 0x1B, {0xAB, 0x01}, {"Fan"}),
                   Structure(17, 0x11, {0, 0}, {"DIMM0"}), Structure(200, 0xC8, {}, {}), EndOfTable()}));
    TWmiInspector inspector;
    inspector.ExploreClass("root\\WMI", "MSSmBios_RawSMBiosTables", false);
    EXPECT_THAT(inspector.Lines,
                ElementsAre("  -> Object Start", "Structure  27 - 001B - fixed len is 6 bytes -> Cooling device",
                            "  -> AB 01", "  -> <Fan>",
                            "Structure 200 - 00C8 - fixed len is 4 bytes -> Unknown (200)"));
}

TEST_F(WmiTest, ABoardFileGivesTypedPropertiesAndMethods) {
    machine().loadFromJson(R"({"wmi": {"namespaces": {"root\\WMI": {"MSAcpi_ThermalZoneTemperature": [
        {"CurrentTemperature": {"cimType": 19, "value": 3132}, "InstanceName": "TZ0"}]}},
        "methods": [{"namespace": "root\\WMI", "class": "MSAcpi_ThermalZoneTemperature", "name": "Get", "inParameters": []}]}})",
                             "wmi.json");
    EXPECT_THAT(Lines("root\\WMI", "MSAcpi_ThermalZoneTemperature"),
                ElementsAre(HasSubstr("EXPLORING"), "  -> Object Start", "  CurrentTemperature = 3132 (40.0C)",
                            "  InstanceName = TZ0", "  Method -> Get()"));
}

}  // namespace
