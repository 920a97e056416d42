#include "report/cvpcidata.h"

#include <gtest/gtest.h>

#include "base/cvtrace.h"
#include "support/testmachine.h"

namespace {

TEST(PciNamesLine, FieldRules) {
    struct Case {
        const char* line;
        bool kept;
        std::uint16_t vendor, device;
        const char* name;  // as a look-up would give it
    };
    const Case cases[] = {
        {R"("8086","2448","Intel","82801 PCI Bridge")", true, 0x8086, 0x2448, "Intel 82801 PCI Bridge"},
        {R"("8086","2448","Intel","82801 PCI Bridge","Mobile","rev","A")", true, 0x8086, 0x2448,
         "Intel 82801 PCI Bridge Mobile rev A"},
        {R"("0x10de",'10DE','NVIDIA',"GPU")", true, 0x10DE, 0x10DE, "NVIDIA GPU"},
        {R"("10G8","0001","X","Y")", false, 0, 0, ""},
        {R"("8086", "2448","Intel","Bridge")", false, 0, 0, ""},
        {R"("8086",,"Intel","Bridge")", false, 0, 0, ""},
        {R"(8086,2448,Intel,Bridge)", false, 0, 0, ""},
        {R"("Vendor","Device","Vendor name","Device name")", false, 0, 0, ""},
        {R"("8086","2448","Intel","Bridge","Mobile",,"lost")", true, 0x8086, 0x2448, "Intel Bridge Mobile"},
        {R"("8086","2448","Intel","Bridge  )", true, 0x8086, 0x2448, "Intel Bridge"},
    };
    for (const Case& c : cases) {
        std::vector<TPCIData> rows;
        ParsePciNamesLine(c.line, rows);
        ASSERT_EQ(rows.size(), c.kept ? 1u : 0u) << c.line;
        if (!c.kept) continue;
        const TPCIData& r = rows[0];
        EXPECT_EQ(r.VendorId, c.vendor) << c.line;
        EXPECT_EQ(r.DeviceId, c.device) << c.line;
        std::string name = r.VendorName + " " + r.DeviceName;
        if (!r.Description.empty()) name += " " + r.Description;
        if (!r.Rest.empty()) name += " " + r.Rest;
        EXPECT_EQ(name, c.name) << c.line;
    }
    EXPECT_EQ(NormaliseHexId("0xab"), "AB");
    EXPECT_EQ(NormaliseHexId("1g"), "");
}

class PciNamesFile : public ::testing::Test {
protected:
    PciNamesFile() { ProgramDir = machine.programDir(); }
    testsupport::TestMachine machine;
};

TEST_F(PciNamesFile, LookUpsUseTheFirstRowAndTheDefaultWithoutAFile) {
    EXPECT_EQ(LookupPciName(0x8086, 0x2448, "<Unknown device>"), "<Unknown device>");
    testsupport::writeFile(machine.file("pciidsdata.csv"),
                           "\"8086\",\"2448\",\"Intel\",\"First\"\r\n\"8086\",\"2448\",\"Intel\",\"Second\"\n");
    EXPECT_EQ(LookupPciName(0x8086, 0x2448, "<Unknown device>"), "Intel First");
    EXPECT_EQ(LookupPciName(0x8086, 0x2449, "<Unknown device>"), "<Unknown device>");
}

TEST_F(PciNamesFile, NestedAcquiresReadTheFileOnce) {
    testsupport::writeFile(machine.file("pciidsdata.csv"), "\"1106\",\"3057\",\"VIA\",\"Bridge\"\n");
    const int before = PciNamesLoadCount();
    AcquirePciNames();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(LookupPciName(0x1106, 0x3057, "-"), "VIA Bridge");
    ReleasePciNames();
    EXPECT_EQ(PciNamesLoadCount(), before + 1);
    LookupPciName(0x1106, 0x3057, "-");
    EXPECT_EQ(PciNamesLoadCount(), before + 2) << "the last release freed the table";
}

}  // namespace
