// The notebook embedded-controller probes: the maker dispatch, the Sony and
// Asus sensors and what their methods must answer, and the trace-only HP and
// Lenovo probes.

#include <gtest/gtest.h>

#include "acpifixture.h"
#include "detect/cvacpiec.h"

namespace {

std::string Smbios(const std::string& maker, const std::string& product, const std::string& boardProduct) {
    return R"("smbios": {"version": "2.5", "structures": [
      {"type": 1, "manufacturer": ")" + maker + R"(", "product": ")" + product + R"(", "version": "1", "serial": "1"},
      {"type": 2, "manufacturer": ")" + maker + R"(", "product": ")" + boardProduct + R"(", "version": "1", "serial": "2"}]})";
}

constexpr const char* Ec = R"({"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\0000004c",
   "hardwareIds": ["ACPI\\PNP0C09", "*PNP0C09"], "acpiMethods": {"TACH": 2000, "RPM1": 1}})";
constexpr const char* Zone = R"({"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\00000050",
   "hardwareIds": ["ACPI\\ThermalZone"], "acpiMethods": {"RFAN": 1800}})";

class EmbeddedController : public AcpiTest {
protected:
    void explore() {
        TAcpiData data;
        ScanAcpiDevices(context, data);
        ExploreAcpi(context, data);
    }
    int errorLines() const {
        const auto lines = trace();
        return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.starts_with("Error executing ACPI method (");
        }));
    }
};

struct DispatchRow {
    const char* maker;
    const char* found;  // null: no probe
};

class EcDispatch : public EmbeddedController, public ::testing::WithParamInterface<DispatchRow> {};

// Below driver 1006 every probe traces its "Found" line and nothing else.
TEST_P(EcDispatch, TheMakerPicksTheProbeWhateverItsCase) {
    loadJson(R"({"driver": {"major": 1, "minor": 5}, "devices": [)" + std::string(Ec) + "," + Zone + "], " +
             Smbios(GetParam().maker, "K52JT", "3063") + "}");
    explore();
    EXPECT_TRUE(traced(AcpiTracePad + " Found Embedded Controller (ACPI\\PNP0C09 - *PNP0C09)"));
    for (const char* maker : {"Sony", "Asus", "HP", "Lenovo"}) {
        const bool expected = GetParam().found && std::string(GetParam().found).starts_with(maker);
        EXPECT_EQ(tracedWith(AcpiTracePad + " Found " + maker + " "), expected) << maker;
    }
    if (GetParam().found) {
        EXPECT_TRUE(traced(AcpiTracePad + " Found " + GetParam().found));
    }
    EXPECT_FALSE(tracedWith("Opened")) << "no evaluation below 1006";
    EXPECT_TRUE(monitor.Sensors.empty());
}

INSTANTIATE_TEST_SUITE_P(AcpiStep, EcDispatch,
                         ::testing::Values(DispatchRow{"sony corporation", "Sony K52JT"},
                                           DispatchRow{"Sony Corporation", "Sony K52JT"},
                                           DispatchRow{"ASUSTeK Computer Inc.", "Asus K52JT"},
                                           DispatchRow{"Hewlett-Packard", "HP 3063"},
                                           DispatchRow{"Lenovo", "Lenovo 3063"},
                                           DispatchRow{"Acme Notebooks", nullptr}));

TEST_F(EmbeddedController, WithoutIdentityNothingIsCompared) {
    loadJson(R"({"devices": [)" + std::string(Ec) + "]}");
    explore();
    ResetCvsmbios();
    explore();
    EXPECT_EQ(tracedCount(AcpiTracePad + " Found Embedded Controller (ACPI\\PNP0C09 - *PNP0C09)"), 2);
    EXPECT_FALSE(tracedWith("Opened EC device"));
}

// ---- Sony ---------------------------------------------------------------------------------

TEST_F(EmbeddedController, SonyAddsItsSensorWhenTheFourTestedMethodsAnswer) {
    load("sony-notebook.json");
    explore();
    EXPECT_TRUE(tracedAll({AcpiTracePad + " Found Sony VGN-TZ90", AcpiTracePad + " Opened EC device", AcpiTracePad + " Executing EVAL of TS1R",
                           AcpiTracePad + " Executing EVAL of F2FL"}));
    EXPECT_EQ(errorLines(), 1) << "F2FL fails and ends the sequence";
    EXPECT_FALSE(traced(AcpiTracePad + " Executing EVAL of F2FH"));
    ASSERT_EQ(codes(), std::vector<int>{204});
    EXPECT_EQ(monitor.Sensors[0]->FLink->LinkKind(), LinkKinds::ACPI);
    EXPECT_TRUE(has(boxes.Readings, "Found Sony Corporation VAIO VGN-TZ90"));
}

TEST_F(EmbeddedController, SonyWithoutTS1LStopsThereAndAddsNothing) {
    loadJson(R"({"devices": [{"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\0000004c",
       "hardwareIds": ["ACPI\\PNP0C09"], "acpiMethods": {"TS1R": 52, "TS2R": 41, "F1FL": 160, "F1FH": 1}}], )" +
             Smbios("Sony Corporation", "VGN-TZ90", "VAIO") + "}");
    explore();
    EXPECT_TRUE(traced(AcpiTracePad + " Executing EVAL of TS1L"));
    EXPECT_FALSE(traced(AcpiTracePad + " Executing EVAL of TS2R"));
    EXPECT_EQ(errorLines(), 1);
    EXPECT_TRUE(monitor.Sensors.empty());
}

TEST_F(EmbeddedController, SonyAnswersThatAreNotOneIntegerAddNothing) {
    loadJson(R"({"devices": [{"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\0000004c",
       "hardwareIds": ["ACPI\\PNP0C09"], "acpiMethods": {"TS1R": 52, "TS1L": "0", "TS2R": 1, "TS2L": 1, "TS3R": 1,
       "TS3L": 1, "F1FL": {"package": [1, 2]}, "F1FH": 1, "F2FL": 1, "F2FH": 1, "ECF2": 1}}], )" +
             Smbios("Sony Corporation", "VGN-TZ90", "VAIO") + "}");
    explore();
    EXPECT_EQ(errorLines(), 0);
    EXPECT_TRUE(monitor.Sensors.empty());
}

// ---- Asus ---------------------------------------------------------------------------------

TEST_F(EmbeddedController, AsusK52JTWithoutZonesAddsItsSensorOnTACH) {
    load("asus-k52jt.json");
    explore();
    EXPECT_TRUE(tracedAll({AcpiTracePad + " Found Asus K52JT", AcpiTracePad + " Opened EC device"}));
    EXPECT_TRUE(tracedWith(AcpiTracePad + "   ---- Returned argument[0]=2650 ("));
    EXPECT_EQ(errorLines(), 1) << "TACH(1) fails and ends the sequence";
    ASSERT_EQ(codes(), std::vector<int>{219});
    EXPECT_EQ(monitor.Sensors[0]->FLink->LinkKind(), LinkKinds::ACPI);
    EXPECT_TRUE(has(boxes.Readings, "Found ASUSTeK Computer Inc. K52JT"));
}

struct AsusRow {
    const char* name;
    std::string devices;
    const char* product;
    bool runs;
    bool adds;
    std::vector<std::string> lines;
};

class AsusProbe : public EmbeddedController, public ::testing::WithParamInterface<AsusRow> {};

TEST_P(AsusProbe, WhoRunsAndWhatAddsTheSensor) {
    const AsusRow& row = GetParam();
    loadJson(R"({"devices": [)" + row.devices + "], " + Smbios("ASUSTeK Computer Inc.", row.product, "X") + "}");
    explore();
    EXPECT_EQ(traced(AcpiTracePad + " Found Asus " + row.product), row.runs);
    EXPECT_EQ(monitor.Sensors.size(), row.adds ? 1u : 0u);
    for (const std::string& line : row.lines) {
        EXPECT_TRUE(traced(line)) << line;
    }
}

const std::string NoTachEc = R"({"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\0000004c",
   "hardwareIds": ["ACPI\\PNP0C09"]})";
const std::string Hal = R"({"enumerator": "ACPI_HAL", "physicalDeviceObject": "\\Device\\00000001",
   "hardwareIds": ["ACPI_HAL\\PNP0C08"], "acpiMethods": {"\\_TZ_\\RFAN": 1700}})";
const std::string Atk0100 = R"({"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\00000046",
   "hardwareIds": ["ACPI\\ATK0100"]})";

INSTANTIATE_TEST_SUITE_P(
    AcpiStep, AsusProbe,
    ::testing::Values(AsusRow{"OtherDesktop", std::string(Ec), "P5B", false, false, {}},
                      AsusRow{"ATK0100", std::string(Ec) + "," + Atk0100, "P5B", true, true, {}},
                      AsusRow{"RfanOnly",
                              NoTachEc + "," + Zone + "," + Hal,
                              "F3JC",
                              true,
                              false,
                              {AcpiTracePad + " Opened TZ#0 device (00000050)"}},
                      AsusRow{"HalAfterZonesWithoutRfan",
                              std::string(Ec) + "," + Hal +
                                  R"(,{"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\00000050",
                                       "hardwareIds": ["ACPI\\ThermalZone"]})",
                              "F3JC",
                              true,
                              true,
                              {AcpiTracePad + " Trying to access 00000001", AcpiTracePad + " Opened HAL device (00000001)"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EmbeddedController, AsusTriesTheHALOnlyWhenNoZoneAnsweredRFAN) {
    loadJson(R"({"devices": [)" + NoTachEc + "," + Zone + "," + Hal + "], " +
             Smbios("ASUSTeK Computer Inc.", "F3JC", "X") + "}");
    explore();
    EXPECT_FALSE(tracedWith("Trying to access"));
}

// ---- HP and Lenovo --------------------------------------------------------------------------

TEST_F(EmbeddedController, HPTracesItsSevenTestsPerZone) {
    load("hp-notebook.json");
    explore();
    EXPECT_TRUE(tracedAll({AcpiTracePad + " Found HP 3063", AcpiTracePad + " Opened EC device", AcpiTracePad + " Opened TZ#0 device (00000050)",
                           "  Test 1...", "  Test 2...", "  Test 3...", "  Test 4...", "  Test 5...", "  Test 6...",
                           "  Test 7...", AcpiTracePad + " Executing EVAL of FRSP",
                           AcpiTracePad + " Executing EVAL_EX of \\_TZ_\\TSZ0\\FRSP", AcpiTracePad + " Executing EVAL_EX of _TZ_.TSZ0.FRSP"}));
    EXPECT_EQ(tracedCount(AcpiTracePad + "   ---- Returned argument[0]=3200 (integer)"), 1) << "only the full path answers";
    // RPM2 and FNON on the controller, six of the seven tests on the zone: each has its line.
    EXPECT_EQ(errorLines(), 8);
    EXPECT_TRUE(monitor.Sensors.empty());
}

TEST_F(EmbeddedController, LenovoOpensItsZonesAndEvaluatesNothingThere) {
    loadJson(R"({"devices": [)" + std::string(Ec) + "," + Zone + "], " + Smbios("LENOVO", "T61", "50382NU") + "}");
    explore();
    EXPECT_TRUE(tracedAll({AcpiTracePad + " Found Lenovo 50382NU", AcpiTracePad + " Opened EC device", AcpiTracePad + " Executing EVAL of RPM1",
                           AcpiTracePad + " Executing EVAL_EX of FSDH", AcpiTracePad + " Opened TZ#0 device (00000050)"}));
    EXPECT_FALSE(tracedWith("Test 1..."));
    EXPECT_FALSE(tracedWith("of RFAN"));
    EXPECT_TRUE(monitor.Sensors.empty());
}

TEST_F(EmbeddedController, AControllerThatDoesNotOpen) {
    loadJson(R"({"devices": [{"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\0000004c",
       "hardwareIds": ["ACPI\\PNP0C09"], "openError": "0x5", "acpiMethods": {"TACH": 1}}], )" +
             Smbios("ASUSTeK Computer Inc.", "K52JT", "X") + "}");
    explore();
    EXPECT_TRUE(traced("Unable to open \\\\.\\caldavor\\Device\\0000004c (error $00000005)"));
    EXPECT_FALSE(tracedWith("Opened EC device"));
    EXPECT_TRUE(monitor.Sensors.empty());
}

TEST(EcResults, IsSingleUnsignedResult) {
    EXPECT_TRUE(IsSingleUnsignedResult({TAcpiVariant::OfInt(-1)}));
    EXPECT_TRUE(IsSingleUnsignedResult({TAcpiVariant::OfUInt(52)}));
    EXPECT_FALSE(IsSingleUnsignedResult({}));
    EXPECT_FALSE(IsSingleUnsignedResult({TAcpiVariant::OfInt(1), TAcpiVariant::OfInt(2)}));
    EXPECT_FALSE(IsSingleUnsignedResult({TAcpiVariant::OfText("52")}));
    EXPECT_FALSE(IsSingleUnsignedResult({TAcpiVariant::OfBytes({52})}));
}

}  // namespace
