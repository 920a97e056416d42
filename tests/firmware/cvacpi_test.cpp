#include "firmware/cvacpi.h"

#include <gmock/gmock.h>

#include "smbiosfixture.h"

using ::testing::ElementsAre;
using platform::AcpiTable;
using platform::MakeAcpiTable;

namespace {

class AcpiTablesTest : public SmbiosTest {
protected:
    std::vector<std::string> Collect(std::vector<AcpiTable> tables, std::optional<AcpiTable> dsdt = {}) {
        platform::AcpiTables acpi;
        acpi.tables = std::move(tables);
        acpi.dsdt = std::move(dsdt);
        platform::FirmwareTables all;
        all.acpi = std::move(acpi);
        machine().setFirmwareTables(std::move(all));
        IOPort = std::make_unique<TIOPort>();
        TAcpiTablesParser parser;
        parser.Parse();
        std::vector<std::string> names;
        for (int i = 0; i < parser.GetTableCount(); ++i) {
            const auto t = parser.GetTable(i);
            names.push_back(t.Name + ":" + std::to_string(t.Data.size()));
        }
        return names;
    }
};

TEST_F(AcpiTablesTest, CollectsInRsdtOrderThroughTheFacp) {
    machine().memory().recordReads(true);
    EXPECT_THAT(Collect({MakeAcpiTable("FACP", 116), MakeAcpiTable("APIC", 100), MakeAcpiTable("MCFG", 60),
                         MakeAcpiTable("SSDT", 80), MakeAcpiTable("HPET", 56)},
                        MakeAcpiTable("DSDT", 300)),
                ElementsAre("DSDT:300", "MCFG:60", "SSDT:80"));
    // RSDP at F0000h: chunks E0000h, EC000h, then F8000h is never read.
    const auto& log = machine().memory().readLog();
    EXPECT_EQ(log[0].address, 0xE0000u);
    EXPECT_EQ(log[1].address, 0xEC000u);
    EXPECT_EQ(log[1].count, 49152u);
    EXPECT_EQ(log[2].address, 0xF0000u);
}

TEST_F(AcpiTablesTest, APsdtIsAnSsdt) {
    EXPECT_THAT(Collect({MakeAcpiTable("PSDT", 40)}), ElementsAre("SSDT:40"));
}

TEST_F(AcpiTablesTest, TablesAreLimitedToTheWorkingBufferButTheDsdtIsNot) {
    EXPECT_THAT(Collect({MakeAcpiTable("FACP", 116), MakeAcpiTable("OEM1", 49153), MakeAcpiTable("OEM2", 49154)},
                        MakeAcpiTable("DSDT", 98306)),
                ElementsAre("DSDT:98306", "OEM1:49153"));
}

TEST_F(AcpiTablesTest, ATableWithAWrongChecksumIsLeftOut) {
    AcpiTable bad = MakeAcpiTable("OEMB", 64);
    bad.badChecksum = true;
    EXPECT_THAT(Collect({bad, MakeAcpiTable("OEMG", 64)}), ElementsAre("OEMG:64"));
}

TEST_F(AcpiTablesTest, NothingWithoutPhysicalMemoryAccess) {
    platform::FirmwareTables all;
    all.acpi = platform::AcpiTables{std::nullopt, {MakeAcpiTable("OEMG", 64)}, std::nullopt};
    machine().setFirmwareTables(std::move(all));
    TAcpiTablesParser parser;
    parser.Parse();  // no global port
    EXPECT_EQ(parser.GetTableCount(), 0);
    EXPECT_THROW(
        try { parser.GetTable(0); } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "Invalid index");
            throw;
        },
        std::out_of_range);
}

TEST_F(AcpiTablesTest, ABoardFileGivesTheTables) {
    machine().loadFromJson(R"({"acpiTables": {"dsdt": {"signature": "DSDT", "size": 200},
        "tables": [{"signature": "FACP", "size": 116}, {"signature": "SSDT", "size": 50, "badChecksum": true},
                   {"bytes": "54 45 53 54 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"}]}})",
                           "acpi.json");
    IOPort = std::make_unique<TIOPort>();
    TAcpiTablesParser parser;
    parser.Parse();
    ASSERT_EQ(parser.GetTableCount(), 2);
    EXPECT_EQ(parser.GetTable(0).Name, "DSDT");
    EXPECT_EQ(parser.GetTable(1).Name, "TEST");
}

}  // namespace
