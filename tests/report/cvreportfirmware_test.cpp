#include "report/cvreportfirmware.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "firmware/cvsmbios.h"
#include "report/cvcompress.h"
#include "reportfixture.h"

namespace {

using namespace reporttest;
using Strings = std::vector<std::string>;

// What a standard zip reader finds in the archive: its entry names and the content of "t".
std::string ReadWithPython(const std::string& path) {
    const std::string command = "python3 -c \"import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); "
                                "sys.stdout.buffer.write((','.join(z.namelist())+':').encode()+z.read('t'))\" " + path;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "<no python>";
    std::string out;
    char chunk[4096];
    for (std::size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) out.append(chunk, n);
    pclose(pipe);
    return out;
}

TEST(ZipString, RoundTripsAnyBytesAsAStandardArchive) {
    std::mt19937 random(7);
    std::string noise(50000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    const std::string cases[] = {"", "DSDT", std::string("\0\0\x01\0zero", 8), std::string(40000, 'A') + noise};
    testsupport::TempDir dir;
    for (const std::string& data : cases) {
        const std::string packed = ZipString(data);
        EXPECT_EQ(UnzipString(packed), data) << data.size();
        testsupport::writeFile(dir.file("t.zip"), packed);
        EXPECT_EQ(ReadWithPython(dir.file("t.zip")), "t:" + data) << data.size();
    }
    EXPECT_THROW(UnzipString("not an archive"), std::runtime_error);
}

class FirmwareSections : public ReportTest {
protected:
    FirmwareSections() { ResetCvsmbios(); }
    ~FirmwareSections() override { ResetCvsmbios(); }
};

TEST_F(FirmwareSections, HexLinesHoldThirtyTwoBytes) {
    AddHexLines(report, std::string(100, '\xAB'));
    const Strings lines = Lines();
    ASSERT_EQ(lines.size(), 5u);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(lines[static_cast<std::size_t>(i)].size(), 64u);
    EXPECT_EQ(lines[4], "ABABABAB");
}

TEST_F(FirmwareSections, AcpiTablesArePackedAndPrintedOrAbsentWithoutPhysicalMemory) {
    machine().loadFromJson(R"({"acpiTables": {"dsdt": {"signature": "DSDT", "size": 30000},
        "tables": [{"signature": "FACP", "size": 116}]}})", "acpi.json");
    IOPort.reset();
    AddAcpiTables(report);
    EXPECT_EQ(Lines(), (Strings{"", "<-- End of ACPI TABLES SCAN"}));

    report.Clear();
    IOPort = std::make_unique<TIOPort>();
    AddAcpiTables(report);
    const Strings lines = Lines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[1], "");
    EXPECT_TRUE(lines[2].starts_with("Found ACPI TABLE=DSDT (30000 bytes) (")) << lines[2];
    const std::size_t packed = std::stoul(lines[2].substr(lines[2].rfind('(') + 1));
    EXPECT_LT(packed, 30000u);
    EXPECT_EQ(lines[3].size(), 64u);
    EXPECT_EQ(lines.back(), "<-- End of ACPI TABLES SCAN");
    EXPECT_TRUE(traced("ACPI TABLE DSDT content compressed from 30000 to " + std::to_string(packed)));
}

TEST_F(FirmwareSections, DmiLeavesOutCachesAndPortConnectors) {
    AddDmiScan(report);
    EXPECT_EQ(Lines(), (Strings{"", "ERROR: ERROR WHILE ACCESSING DMI INFO (SMBIOSExplorer is invalid)"}));

    machine().loadFromJson(R"({"smbios": {"version": "2.7", "structures": [
        {"type": 0, "vendor": "Firmware Works", "version": "F12"},
        {"type": 1, "manufacturer": "Tesla Kit", "product": "Quiet Tower"},
        {"type": 2, "manufacturer": "Tesla Kit", "product": "TK-Z3"},
        {"type": 7, "data": "01 02", "length": 6},
        {"type": 8, "data": "03 04", "strings": ["J1"], "length": 6},
        {"type": 9, "data": "0A 0B", "length": 6}]}})", "smbios.json");
    InitializeCvsmbios();
    report.Clear();
    AddDmiScan(report);
    const Strings lines = Lines();
    EXPECT_EQ(lines[1], "DMI structures from SMBIOS ver. 2.7");
    EXPECT_EQ(lines[2], "MBManufacturer : Tesla Kit");
    EXPECT_EQ(lines[10], "SysSerialNumber : ");
    Strings headers;
    for (const std::string& line : lines)
        if (line.starts_with("Structure ")) headers.push_back(line.substr(0, 13));
    EXPECT_EQ(headers, (Strings{"Structure   0", "Structure   1", "Structure   2", "Structure   9", "Structure 127"}));
    const auto slot = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("Structure   9"); });
    ASSERT_NE(slot, lines.end());
    EXPECT_TRUE(slot->ends_with("- fixed len is 2 bytes -> " + SMBIOSTypeName(9))) << *slot;
    EXPECT_EQ(*(slot + 1), "  -> 0A 0B");
    EXPECT_TRUE((slot + 2)->starts_with("Structure 127")) << "no strings, no string lines";
}

TEST_F(FirmwareSections, WmiSectionFrame) {
    AddWmiScan(report);
    const Strings lines = Lines();
    ASSERT_GE(lines.size(), 11u);
    EXPECT_TRUE(lines[1].starts_with("WMI interface is registered : "));
    EXPECT_EQ(lines[5], "ACPI temp: 0.0");
    EXPECT_EQ(lines[9], "WMI quick analysis results -->");
    EXPECT_EQ(lines.back(), "<-- End of WMI quick analysis results");
}

}  // namespace
