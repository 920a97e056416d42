// The tour of ACPI devices in beta builds: the "Found" and "Opened" lines and
// their sinks, each explorer's methods, and the decoding of "_WDG".

#include <gtest/gtest.h>

#include "acpifixture.h"
#include "detect/cvacpiexplore.h"

namespace {

using Lines = std::vector<std::string>;

std::vector<std::uint8_t> Bytes(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3) bytes.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

const std::string MethodRecord = "05 90 1D A4 C7 6D 94 49 8E 8E A5 5D 45 BE 48 09 41 41 01 02";
const std::string EventRecord = "13 96 3E 60 25 EF 1D 4A 92 0B 7A 8D 8C 4D 37 A5 D0 00 01 08";
const std::string MethodLine =
    "GUID={A41D9005-6DC7-4994-8E8E-A55D45BE4809}  OID=AA  NOT=$41  INST=$01  EXP=False  METH=True   STR=False  EVT=False";
const std::string EventLine =
    "GUID={603E9613-EF25-4A1D-920B-7A8D8C4D37A5}  OID=    NOT=$D0  INST=$01  EXP=False  METH=False  STR=False  EVT=True ";

struct WdgRow {
    const char* name;
    TAcpiVariantArray results;
    Lines lines;
};

class Wdg : public ::testing::TestWithParam<WdgRow> {};

TEST_P(Wdg, Decoding) { EXPECT_EQ(DecodeWdg(GetParam().results), GetParam().lines); }

INSTANTIATE_TEST_SUITE_P(
    AcpiExplore, Wdg,
    ::testing::Values(
        WdgRow{"TwoRecords",
               {TAcpiVariant::OfBytes(Bytes(MethodRecord + " " + EventRecord))},
               {"  Answer[0] length is 40 (record length should be 20)", MethodLine, EventLine}},
        WdgRow{"ThirtyBytes",
               {TAcpiVariant::OfBytes(Bytes(MethodRecord + " 00 01 02 03 04 05 06 07 08 09"))},
               {"  Answer[0] length is 30 (record length should be 20)", "  Invalid record size"}},
        WdgRow{"Empty", {}, {"  Expected 1 argument, but got 0"}},
        WdgRow{"Several",
               {TAcpiVariant::OfInt(1), TAcpiVariant::OfInt(2)},
               {"  Expected 1 argument, but got 2"}},
        WdgRow{"NotABuffer", {TAcpiVariant::OfInt(20)}, {}},
        WdgRow{"UnderEightBytes", {TAcpiVariant::OfBytes(Bytes("01 02 03 04 05 06 07"))}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

class AcpiExplorers : public AcpiTest {
protected:
    void explore() {
        TAcpiData data;
        ScanAcpiDevices(context, data);
        ExploreAcpi(context, data);
    }
    int evaluations(const std::string& object, const std::string& method) {
        int count = 0;
        for (const auto& request : machine().namespaceLog().requests) {
            if (request.object != object || request.input.size() < 8) continue;
            count += std::string(request.input.begin() + 4, request.input.begin() + 8) == method;
        }
        return count;
    }
};

const Lines FoundLines = {
    AcpiTracePad + " Found ACPI_HAL (ACPI_HAL\\PNP0C08 - *PNP0C08)",
    AcpiTracePad + " Found PTID (ACPI\\INT340E - *INT340E)",
    AcpiTracePad + " Found Control Method Battery (ACPI\\PNP0C0A - *PNP0C0A)",
    AcpiTracePad + " Found Microsoft WMI for ACPI (ACPI\\PNP0C14 - *PNP0C14)",
    AcpiTracePad + " Found Power Meter (ACPI\\ACPI000D - *ACPI000D)",
};

TEST_F(AcpiExplorers, NothingOutsideBeta) {
    load("hp-notebook.json");
    explore();
    for (const std::string& line : FoundLines) EXPECT_FALSE(traced(line)) << line;
    EXPECT_TRUE(tracedAll({"About to explore ACPI...", "End of ACPI exploration"}));
}

TEST_F(AcpiExplorers, EachDeviceWithItsMethodsAndSinks) {
    monitor.Caption = "Caldavor 1.0 beta 1";
    load("hp-notebook.json");
    explore();
    EXPECT_TRUE(tracedAll(FoundLines));
    // "Opened" lines: the HAL, PTID and power meter to the trace file only.
    for (const char* opened : {" Opened ACPI_HAL", " Opened PTID", " Opened Power Meter"}) {
        EXPECT_TRUE(traced(AcpiTracePad + opened)) << opened;
        EXPECT_FALSE(has(boxes.Info, AcpiTracePad + opened)) << opened;
    }
    for (const char* opened : {" Opened Control Method Battery", " Opened Microsoft WMI for ACPI"})
        EXPECT_TRUE(has(boxes.Info, AcpiTracePad + opened)) << opened;
    // PTID: each of its ten methods on its own, extended.
    EXPECT_TRUE(tracedAll({AcpiTracePad + " Executing EVAL_EX of TSDL", AcpiTracePad + " Executing EVAL_EX of RPMD"}));
    // Both batteries get every method: the first lacks BATI, the second fails _BIF.
    EXPECT_EQ(tracedCount(AcpiTracePad + " Executing EVAL of BATI"), 2);
    EXPECT_EQ(tracedCount(AcpiTracePad + " Executing EVAL of _BST"), 2);
    EXPECT_TRUE(tracedAll({"  Answer[0] length is 40 (record length should be 20)", MethodLine, EventLine}));
    // The power meter's sequence ends at the failing _PMM.
    EXPECT_EQ(evaluations("\\Device\\00000064", "_PMC"), 1);
    EXPECT_EQ(evaluations("\\Device\\00000064", "_PMM"), 1);
    EXPECT_EQ(evaluations("\\Device\\00000064", "_PMD"), 0);
}

TEST_F(AcpiExplorers, BelowDriver1006OnlyTheFoundLines) {
    monitor.Caption = "Caldavor 1.0 beta 1";
    load("hp-notebook.json");
    useDriver(1, 5);
    explore();
    EXPECT_TRUE(tracedAll(FoundLines));
    EXPECT_FALSE(tracedWith(" Opened "));
    EXPECT_TRUE(machine().namespaceLog().requests.empty());
}

}  // namespace
