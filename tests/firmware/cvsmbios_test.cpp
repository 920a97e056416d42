#include <gmock/gmock.h>

#include "firmware/cvsmbios.h"
#include "platform/sim/machine.h"
#include "smbiosfixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Type 2 with strings: manufacturer 1, product 2, version 3, serial 4.
Bytes Board(const std::string& maker, const std::string& product, const std::string& version,
            std::uint16_t handle = 2) {
    return Structure(2, handle, {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0}, {maker, product, version, "SN-B"});
}

Bytes System(const std::string& maker, const std::string& product) {
    Bytes formatted(0x1B - 4, 0);
    formatted[0] = 1, formatted[1] = 2, formatted[2] = 3, formatted[3] = 4;
    return Structure(1, 1, formatted, {maker, product, "1.0", "SN-S"});
}

Bytes Bios(std::size_t formattedSize) {
    Bytes formatted(formattedSize, 0);
    formatted[0] = 1;
    if (formattedSize > 1) formatted[1] = 2;
    return Structure(0, 0, formatted, {"Vendor", "V1.2"});
}

TEST_F(SmbiosTest, SearchesTheLegacySegmentInThirteenReads) {
    LayTable(Join({System("Sys", "Box"), Board("Maker", "Board", "1.0"), EndOfTable()}));
    machine().memory().recordReads(true);
    SMBiosExplorer = std::make_unique<TSMBiosExplorer>();
    EXPECT_EQ(SMBiosExplorer->GetBoardProduct(), "Board");

    const auto& log = machine().memory().readLog();
    ASSERT_EQ(log.size(), 9u);
    for (std::uint32_t i = 0; i < 7; ++i) {
        EXPECT_EQ(log[i].address, 0xE0000 + i * 10240);
        EXPECT_EQ(log[i].count, 10240u);
    }
    // The point at F0000h lies in the seventh chunk; the search ends there.
    EXPECT_EQ(log[7].address, 0xF0000u);
    EXPECT_EQ(log[7].count, 31u);
}

TEST_F(SmbiosTest, ReadsAllThirteenChunksWhenNoAnchorIsFound) {
    machine().memory().addRegion(0xE0000, Bytes(0x20000, 0));
    machine().memory().recordReads(true);
    TSMBiosExplorer explorer;
    EXPECT_EQ(explorer.GetBoardManufacturer(), "");
    const auto& log = machine().memory().readLog();
    ASSERT_EQ(log.size(), 13u);
    EXPECT_EQ(log.back().address, 0xFE000u);
    EXPECT_EQ(log.back().count, 8192u);
    EXPECT_TRUE(explorer.Initialised());
    EXPECT_THAT(explorer.GetStructures(), IsEmpty());
    EXPECT_EQ(explorer.GetEntryPoint(), TSMBIOSEntryPoint{});
}

TEST_F(SmbiosTest, FindsAnAnchorOnTheLastBoundaryButNotBetweenBoundaries) {
    for (const auto& [address, found] : {std::pair{0xFFFF0u, true}, std::pair{0xFFFF8u, false}}) {
        platform::SmbiosTables at;
        at.entryAddress = address;
        LayTable(Join({Board("Maker", "Board", "1.0"), EndOfTable()}), at);
        TSMBiosExplorer explorer;
        EXPECT_EQ(explorer.GetBoardManufacturer(), found ? "Maker" : "") << std::hex << address;
    }
}

TEST_F(SmbiosTest, TracesTheEntryPointAndTheIdentity) {
    platform::SmbiosTables version;
    version.major = 2;
    version.minor = 6;
    LayTable(Join({System("Sys Maker", "Box"), Board("Maker", "Board", "Rev 1"), EndOfTable()}), version);
    TSMBiosExplorer explorer;
    explorer.GetBIOSVendor();
    const auto lines = trace();
    const auto start = std::find(lines.begin(), lines.end(), "DMI Header found at address $000F0000");
    ASSERT_NE(start, lines.end());
    const std::vector<std::string> header(start, std::min(lines.end(), start + 27));
    EXPECT_THAT(header, ElementsAre("DMI Header found at address $000F0000", "START OF DMI HEADER",
                                    "Anchor String=_SM_", "Entry Point Length=31", "SMBIOS Major Version=2",
                                    "SMBIOS Minor Version=6", ::testing::StartsWith("Maximum Structure Size="),
                                    "Entry Point Revision=0", "Intermediate Anchor String=_DMI_",
                                    ::testing::StartsWith("Intermediate Checksum="),
                                    ::testing::StartsWith("Structure Table Length="),
                                    "Structure Table Address=$00100000", "Number of SMBIOS Structures=3",
                                    "SMBIOS BCD Revision=$26", "END OF DMI HEADER", "About to read DMI tables...",
                                    "DMI tables properly read", "DMI tables properly parsed",
                                    " -> MB Manufacturer <Maker>", " -> MB Model <Board>", " -> MB Version <Rev 1>",
                                    " -> MB Serial <SN-B>", " -> SYS Manufacturer <Sys Maker>",
                                    " -> SYS ProductName <Box>", " -> SYS Version <1.0>",
                                    " -> SYS SerialNumber <SN-S>"));
}

struct WalkCase {
    const char* name;
    Bytes table;
    std::string vendor, board, system;
    std::size_t structures;
};

TEST_F(SmbiosTest, WalksTablesOfEveryShape) {
    const Bytes board = Board("Maker", "Board", "1.0");
    const WalkCase cases[] = {
        {"a BIOS structure with 5 bytes of formatted area", Join({Bios(5), EndOfTable()}), "Vendor", "", "", 2},
        {"a BIOS structure with only 4 bytes", Join({Bios(4), EndOfTable()}), "", "", "", 2},
        {"system and board need 4 bytes",
         Join({Structure(1, 1, {1, 2, 0, 0}, {"Sys", "Box"}), Structure(2, 2, {1, 2, 0, 0}, {"Mk", "Bd"}), EndOfTable()}),
         "", "Bd", "Box", 3},
        {"three bytes are not enough",
         Join({Structure(2, 2, {1, 2, 0}, {"Mk", "Bd"}), EndOfTable()}), "", "", "", 2},
        {"string number 0 and one past the strings",
         Join({Structure(2, 2, {1, 0, 9, 0}, {"Mk"}), EndOfTable()}), "", "", "", 2},
        {"the second board wins", Join({board, Board("Other", "Second", "2"), EndOfTable()}), "", "Second", "", 3},
        {"the walk stops at type 127", Join({EndOfTable(), board}), "", "", "", 1},
        {"no type 127: walked to the end", board, "", "Board", "", 1},
        {"a structure on the last byte is not recorded", Join({board, Bytes{2}}), "", "Board", "", 1},
        {"a header cut by the end is kept and ends the walk", Join({board, Bytes{2, 0x0F}}), "", "Board", "", 2},
        {"strings are trimmed", Join({Structure(2, 2, {1, 2, 0, 0}, {"  Mk ", "\tBd "}), EndOfTable()}), "", "Bd", "", 2},
        {"a length byte below 4 wraps the data length",
         Join({Structure(8, 8, {}, {}, 2), board, EndOfTable()}), "", "", "", 0},
        {"a string set without its double zero", Bytes{2, 8, 2, 0, 2, 1, 0, 0, 'M', 'k', 0, 'B', 'd'}, "", "Mk", "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LayTable(c.table);
        TSMBiosExplorer explorer;
        EXPECT_EQ(explorer.GetBIOSVendor(), c.vendor);
        EXPECT_EQ(explorer.GetBoardProduct(), c.board);
        EXPECT_EQ(explorer.GetSystemProduct(), c.system);
        if (c.structures) {
            EXPECT_EQ(explorer.GetStructures().size(), c.structures);
        }
    }
}

TEST_F(SmbiosTest, RecordsStructureFields) {
    LayTable(Join({Structure(8, 0x1234, {0xAA, 0xBB}, {"", "J1"}), Structure(3, 5, {}, {}, 2), EndOfTable()}));
    TSMBiosExplorer explorer;
    const auto& list = explorer.GetStructures();
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list[0].StructType, 8);
    EXPECT_EQ(list[0].Handle, 0x1234);
    EXPECT_EQ(list[0].DataLength, 2);
    EXPECT_EQ(list[0].Data, "\xAA\xBB");
    EXPECT_EQ(list[0].TypeName, "Port connector information");
    EXPECT_THAT(list[0].Strings, ElementsAre("J1"));
    EXPECT_EQ(list[1].DataLength, 254);  // length byte 2, minus 4 in 8 bits
    EXPECT_EQ(explorer.GetEntryPoint()[6], 2);
}

TEST_F(SmbiosTest, NamesTypes) {
    const std::pair<int, const char*> names[] = {{0, "BIOS information"},
                                                 {17, "Memory device"},
                                                 {41, "Onboard devices extended information"},
                                                 {42, "Unknown (42)"},
                                                 {126, "Inactive"},
                                                 {127, "End of table"},
                                                 {128, "Unknown (128)"},
                                                 {129, "Intel_ASF"}};
    for (const auto& [type, name] : names) EXPECT_EQ(SMBIOSTypeName(static_cast<std::uint8_t>(type)), name);
}

TEST_F(SmbiosTest, BuildsTheConfigurationKeys) {
    LayTable(Join({System("Sys/Co", "Box\xE9"), Board("A/B", "Board", "1.0"), EndOfTable()}));
    TSMBiosExplorer explorer;
    EXPECT_EQ(explorer.GetCfgFileName(), "A%2FB Board 1.0 Sys%2FCo Box%E9");
    EXPECT_EQ(explorer.GetCfgFileName2(), "A%2FB Board  Sys%2FCo Box%E9");
    EXPECT_EQ(explorer.GetBoardManufacturer(), "A/B");  // the identity itself is not escaped

    LayTable(Join({Board("Maker", "Board", ""), EndOfTable()}));
    TSMBiosExplorer noVersion;
    EXPECT_EQ(noVersion.GetCfgFileName(), noVersion.GetCfgFileName2());

    machine().setFirmwareTables({});
    TSMBiosExplorer none;
    EXPECT_EQ(none.GetCfgFileName(), "");
    EXPECT_EQ(none.GetCfgFileName2(), "");
}

TEST_F(SmbiosTest, AnUnreadableTableIsNeverWalked) {
    platform::SmbiosTables longer;
    const Bytes table = Join({Board("Maker", "Board", "1.0"), EndOfTable()});
    longer.tableLength = static_cast<std::uint16_t>(table.size() + 100);
    LayTable(table, longer);
    machine().memory().recordReads(true);
    TSMBiosExplorer explorer;
    EXPECT_EQ(explorer.GetBoardManufacturer(), "");
    EXPECT_THAT(explorer.GetStructures(), IsEmpty());
    EXPECT_TRUE(traced(cvformat::Format("Error reading DMI tables: $%.4x bytes at address $00100000 "
                                        "(physical memory read failed)",
                                        {table.size() + 100})));
    // The table is the last thing in memory: exactly its bytes can be read.
    EXPECT_TRUE(traced(cvformat::Format("  -> Could read at most %d bytes without getting an error", {table.size()})));
}

TEST_F(SmbiosTest, AZeroTableLengthIsSkipped) {
    platform::SmbiosTables empty;
    empty.tableLength = 0;
    LayTable(Join({Board("Maker", "Board", "1.0"), EndOfTable()}), empty);
    TSMBiosExplorer explorer;
    EXPECT_EQ(explorer.GetBoardManufacturer(), "");
    EXPECT_TRUE(traced("WARN : Skipping DMI tables (TableLen=0)"));
}

TEST_F(SmbiosTest, OnlyTheFirstAnchorIsProcessed) {
    platform::SmbiosTables twice;
    twice.secondAnchor = 0xF8000;
    LayTable(Join({Board("Maker", "Board", "1.0"), EndOfTable()}), twice);
    TSMBiosExplorer explorer;
    EXPECT_EQ(explorer.GetBoardManufacturer(), "Maker");
    const auto lines = trace();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("DMI Header found"); }),
              1);
}

TEST_F(SmbiosTest, RetriesWhileNoPortOpens) {
    LayTable(Join({Board("Maker", "Board", "1.0"), EndOfTable()}));
    machine().driver().installed = false;
    TSMBiosExplorer explorer;
    EXPECT_EQ(explorer.GetBoardManufacturer(), "");
    EXPECT_EQ(explorer.GetBoardProduct(), "");
    EXPECT_FALSE(explorer.Initialised());
    const auto lines = trace();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "ERROR creating local PortIO in TSMBiosExplorer.DoInitialize"), 2);

    machine().driver().installed = true;
    EXPECT_EQ(explorer.GetBoardManufacturer(), "Maker");
}

TEST_F(SmbiosTest, UnitStartUpMakesTheGlobal) {
    InitializeCvsmbios();
    ASSERT_NE(SMBiosExplorer, nullptr);
    EXPECT_FALSE(SMBiosExplorer->Initialised());  // nothing read yet
    EXPECT_THAT(trace(), ElementsAre("About to create SMBIOSExplorer object", "SMBIOSExplorer object created"));
}

TEST_F(SmbiosTest, ReadsTheBoardSectionThroughPhysicalMemory) {
    machine().loadFromJson(R"({"smbios": {"version": "2.7", "structures": [
        {"type": 0, "vendor": "Firmware Works", "version": "F12"},
        {"type": 1, "manufacturer": "Tesla Kit", "product": "Quiet Tower", "uuid": "03000200-0400-0500-0006-000700080009"},
        {"type": 2, "manufacturer": "Tesla Kit", "product": "TK-Z3", "version": "", "serial": 0},
        {"type": 17, "size": 2048, "locator": "DIMM0", "partNumber": "TK2G"},
        {"type": 9, "data": "01 02", "strings": ["PCIE1"], "length": 6}]}})",
                             "smbios.json");
    TSMBiosExplorer explorer;
    EXPECT_EQ(explorer.GetBIOSVendor(), "Firmware Works");
    EXPECT_EQ(explorer.GetBIOSVersion(), "F12");
    EXPECT_EQ(explorer.GetSystemProduct(), "Quiet Tower");
    EXPECT_EQ(explorer.GetBoardProduct(), "TK-Z3");
    EXPECT_EQ(explorer.GetBoardVersion(), "");
    const auto& list = explorer.GetStructures();
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(list[1].Data.substr(4, 4), std::string("\x00\x02\x00\x03", 4));  // UUID's first field little-endian
    EXPECT_EQ(static_cast<std::uint8_t>(list[3].Data[8]), 0x00);               // size 2048 MB at offset 12
    EXPECT_EQ(static_cast<std::uint8_t>(list[3].Data[9]), 0x08);
    EXPECT_THAT(list[3].Strings, ElementsAre("DIMM0", "TK2G"));
    EXPECT_EQ(list[4].StructType, 9);
    EXPECT_THAT(list[4].Strings, ElementsAre("PCIE1"));
    EXPECT_EQ(list[5].StructType, 127);
}

}  // namespace
