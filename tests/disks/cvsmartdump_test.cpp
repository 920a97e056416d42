#include "disks/cvsmartdump.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "disks/cvhdfinder.h"

namespace {

using Page = std::array<std::uint8_t, 512>;

// Collects the search log's lines through its callback.
class SearchLogLines : public ::testing::Test {
protected:
    void SetUp() override {
        SetSearchLogCallback([this](const std::string& line) { lines.push_back(line); });
    }
    void TearDown() override {
        SetSearchLogCallback(nullptr);
        EXPECT_EQ(SearchLogIndentation(), 0);
    }
    // The lines after the 16 dump lines that follow `header`.
    std::vector<std::string> after(const std::string& header, std::size_t skip) {
        auto it = std::find(lines.begin(), lines.end(), header);
        if (it == lines.end()) return {};
        return {it + 1 + static_cast<std::ptrdiff_t>(skip), lines.end()};
    }
    std::vector<std::string> lines;
};

std::string zeros(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += " 00";
    return text;
}

TEST(AtaCommandNames, EveryCommandByteIsCoveredOnce) {
    std::array<int, 256> covered{};
    for (const auto& row : AtaCommandNames) ++covered[row.command];
    for (const auto& row : AtaCommandRanges)
        for (int c = row.first; c <= row.last; ++c) ++covered[c];
    for (const auto& row : AtaSubCommands) ++covered[row.command];
    for (int c = 0; c < 256; ++c) EXPECT_EQ(covered[c], 1) << "command " << c;
}

TEST(AtaCommandNames, StageOneAndStageTwo) {
    struct Case {
        int command, features;
        std::string name;
    };
    const Case cases[] = {
        {0x03, 0, "CFA REQUEST EXTENDED ERROR CODE"},
        {0x25, 0x77, "READ DMA EXT"},
        {0x34, 0, "WRITE SECTORS(S) EXT"},
        {0xF8, 0, "READ NATIVE MAX ADDRESS"},
        {0x2C, 0, "<reserved>"},
        {0xEB, 0, "<reserved>"},
        {0x15, 0, "<recalibrate_ret4>"},
        {0x64, 0, "<reserved_sa>"},
        {0x7F, 0, "<seek_ret4>"},
        {0x9A, 0, "<vendor_specific>"},
        {0xFF, 0, "<vendor_specific>"},
        {0xBC, 0, "<reserved_cf>"},
        {0xD3, 0, "<reserved_mcpt>"},
        {0x00, 0x00, "NOP [Abort queued commands]"},
        {0x00, 0x01, "NOP [Don't abort queued commands]"},
        {0x00, 0x02, "NOP [Reserved subcommand]"},
        {0x92, 0x07, "DOWNLOAD MICROCODE [Save]"},
        {0x92, 0x03, "DOWNLOAD MICROCODE [Reserved subcommand]"},
        {0xB0, 0xD5, "SMART READ LOG"},
        {0xB0, 0xDB, "SMART EN/DISABLE AUTO OFFLINE [NS (SFF-8035i)]"},
        {0xB0, 0xE7, "[Vendor specific SMART command]"},
        {0xB0, 0xDC, "[Reserved SMART command]"},
        {0xB1, 0xC3, "DEVICE CONFIGURATION SET"},
        {0xB1, 0x00, "DEVICE CONFIGURATION [Reserved command]"},
        {0xE9, 0xDD, "WRITE SAME [Start unspecified] [RET-4]"},
        {0xE9, 0x00, "WRITE SAME [Invalid subcommand] [RET-4]"},
        {0xEF, 0x03, "SET FEATURES [subcode $03]"},
        {0xEF, 0xAA, "SET FEATURES [subcode $AA]"},
        {0xF9, 0x04, "SET MAX FREEZE LOCK"},
        {0xF9, 0x05, "[Reserved SET MAX command]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AtaCommandName(static_cast<std::uint8_t>(c.command), static_cast<std::uint8_t>(c.features)), c.name)
            << c.command;
}

TEST(SmartLogNames, StatesTypesStatusesPercentAndLba) {
    EXPECT_EQ(DeviceStateName(0), "in an unknown state");
    EXPECT_EQ(DeviceStateName(4), "doing SMART Offline or Self-test");
    EXPECT_EQ(DeviceStateName(5), "in a reserved state");
    EXPECT_EQ(DeviceStateName(10), "in a reserved state");
    EXPECT_EQ(DeviceStateName(11), "in a vendor specific state");
    EXPECT_EQ(DeviceStateName(15), "in a vendor specific state");

    const std::pair<int, std::string> types[] = {
        {0, "Offline"},         {2, "Extended offline"},   {4, "Selective offline"}, {5, "Reserved offline"},
        {63, "Reserved offline"}, {64, "Vendor offline"}, {126, "Vendor offline"}, {127, "Abort offline test"},
        {128, "Reserved offline"}, {129, "Short captive"}, {132, "Selective captive"}, {133, "Reserved offline"},
        {191, "Reserved offline"}, {192, "Vendor offline"}, {255, "Vendor offline"}};
    for (const auto& [n, name] : types) EXPECT_EQ(SelfTestTypeName(static_cast<std::uint8_t>(n)), name) << n;

    EXPECT_EQ(SelfTestStatusName(0), "Completed without error");
    EXPECT_EQ(SelfTestStatusName(8), "Completed: handling damage??");
    EXPECT_EQ(SelfTestStatusName(9), "Unknown test status");
    EXPECT_EQ(SelfTestStatusName(14), "Unknown test status");
    EXPECT_EQ(SelfTestStatusName(15), "Self-test routine in progress");

    EXPECT_EQ(SelfTestPercent(0), 100);
    EXPECT_EQ(SelfTestPercent(5), 50);
    EXPECT_EQ(SelfTestPercent(15), 150);

    EXPECT_EQ(LbaText(0), "--------");
    EXPECT_EQ(LbaText(0xFFFFFFFF), "--------");
    EXPECT_EQ(LbaText(0x1234), "00001234");
    EXPECT_EQ(LbaText(0xABCDEF01), "ABCDEF01");
}

TEST_F(SearchLogLines, AllZeroPagePrintsNothing) {
    Page page{};
    EXPECT_TRUE(DumpSector(page, true, true));
    EXPECT_FALSE(DumpAttributePage(page));
    EXPECT_TRUE(lines.empty());
}

TEST_F(SearchLogLines, SectorLinesChecksumAndTextColumn) {
    Page page{};
    page[0] = 'A';
    page[1] = 0x05;
    page[2] = 0x80;   // not text in a UTF-8 log
    page[33] = 0x7E;  // '~'
    EXPECT_FALSE(DumpSector(page, true, true));
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0], "WARNING: Bad buffer checksum ($44)");  // 41h + 05h + 80h + 7Eh
    EXPECT_EQ(lines[1], "000  41 05 80" + zeros(29) + " A.." + std::string(29, '.'));
    EXPECT_EQ(lines[2], "020  00 7E" + zeros(30) + " .~" + std::string(30, '.'));
    EXPECT_EQ(lines[16], "1E0 " + zeros(32) + " " + std::string(32, '.'));

    lines.clear();
    page[511] = static_cast<std::uint8_t>(0x100 - 0x44);  // sums to a multiple of 256
    DumpSector(page, true, false);
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[0], "000  41 05 80" + zeros(29));
    EXPECT_EQ(lines[15], "1E0 " + zeros(31) + " BC");
}

TEST_F(SearchLogLines, IdentifyAndAttributeIndentation) {
    Page page{};
    page[0] = 1;
    DumpIdentifySector(page);
    ASSERT_EQ(lines.size(), 17u);
    EXPECT_EQ(lines[0], "  Identify Sector -->");
    EXPECT_EQ(lines[1].substr(0, 11), "    000  01");
    lines.clear();
    EXPECT_TRUE(DumpAttributePage(page));
    EXPECT_EQ(lines[0], "    WARNING: Bad buffer checksum ($01)");
}

TEST_F(SearchLogLines, LogDirectoryListsPagesOfAddressesOneToSeven) {
    Page page{};
    page[0] = 1;
    page[2] = 1;      // address 1
    page[12] = 2;     // address 6
    page[16] = 9;     // address 8: not listed
    DumpLogDirectory(page);
    EXPECT_EQ(after("  Smart Log Directory -->", 16),
              (std::vector<std::string>{"    Smart Logging Version=$0001", "    Log #$01 contains 1 pages",
                                        "    Log #$06 contains 2 pages"}));
}

TEST_F(SearchLogLines, SummaryErrorLogWithOnlyEntryThree) {
    Page page{};
    page[0] = 1;
    page[1] = 3;
    page[452] = 0x2C;
    page[453] = 0x01;
    std::uint8_t* e = page.data() + 2 + 90 * 2;
    const std::uint8_t failing[] = {0x00, 0xD5, 0x01, 0x06, 0x4F, 0xC2, 0xA0, 0xB0};  // DC FR SC SN CL CH DH CR
    std::copy(std::begin(failing), std::end(failing), e + 48);
    const std::uint8_t first[] = {0x08, 0x03, 0x00, 0x00, 0x00, 0x00, 0xE0, 0xEF};
    std::copy(std::begin(first), std::end(first), e);
    e[61] = 0x04;  // error
    e[62] = 0x01;
    e[63] = 0x06;
    e[64] = 0x4F;
    e[65] = 0xC2;
    e[66] = 0xA0;
    e[67] = 0x51;  // status
    e[87] = 0x13;  // active or idle
    DumpSummaryErrorLog(page);
    EXPECT_EQ(lines[0], "  Smart Summary Error Log -->");
    EXPECT_EQ(lines[1].substr(0, 12), "    WARNING:");
    EXPECT_EQ(after("  Smart Summary Error Log -->", 17),
              (std::vector<std::string>{
                  "    Error Log Version=$0001",
                  "    Error Log Index=3",
                  "    Device Error Count=300",
                  "    Error #3 occurred when the device was active or idle",
                  "    After command completion occurred, registers were:",
                  "      ER ST SC SN CL CH DH",
                  "      -- -- -- -- -- -- --",
                  "       4 51  1  6 4F C2 A0",
                  "    Commands leading to the command that caused the error were:",
                  "    CR FR SC SN CL CH DH DC   Powered_Up_Time  Command/Feature_Name",
                  "    -- -- -- -- -- -- -- --  ----------------  --------------------",
                  "    B0 D5  1  6 4F C2 A0  0              ----  SMART READ LOG",
                  "     0  0  0  0  0  0  0  0              ----  NOP [Abort queued commands]",
                  "     0  0  0  0  0  0  0  0              ----  NOP [Abort queued commands]",
                  "     0  0  0  0  0  0  0  0              ----  NOP [Abort queued commands]",
                  "    EF  3  0  0  0  0 E0  8              ----  SET FEATURES [subcode $03]",
              }));
}

TEST_F(SearchLogLines, SelfTestEntriesWithTheirPadding) {
    Page page{};
    page[0] = 1;
    page[508] = 2;
    std::uint8_t* e1 = page.data() + 2;
    e1[0] = 1;
    e1[1] = 0x25;
    e1[4] = 7;
    std::fill(e1 + 5, e1 + 9, 0xFF);
    std::uint8_t* e12 = page.data() + 2 + 24 * 11;
    e12[0] = 2;
    e12[1] = 0x00;
    e12[5] = 0x34;
    e12[6] = 0x12;
    DumpSelfTestLog(page);
    EXPECT_EQ(after("  Smart Self-Test Log -->", 17),
              (std::vector<std::string>{
                  "    Revision=$0001", "    Self-Test Index=2",
                  "    Entry  1 : Short offline       -  Interrupted (host reset)      -  50%  -  Failure "
                  "Checkpoint is   7  -  Failing LBA is --------",
                  "    Entry 12 : Extended offline    -  Completed without error       - 100%  -  Failure "
                  "Checkpoint is   0  -  Failing LBA is 00001234",
              }));
}

}  // namespace
