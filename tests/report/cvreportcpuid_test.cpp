#include "report/cvreportcpuid.h"

#include <gtest/gtest.h>

#include "cpu/noscpuidmsr.h"
#include "reportfixture.h"

namespace {

using namespace reporttest;

TEST(FormatScaled, KeepsEverySignificantDigitUpToTheLimit) {
    struct Case {
        int decimals, base, maxDigits;
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0, 1024, 2, 262144, "256 K"},    {0, 1024, 2, 8388608, "8 M"},     {0, 1024, 2, 1572864, "1536 K"},
        {0, 1024, 2, 512, "512 "},        {0, 1000, 3, 200e6, "200 M"},     {0, 1000, 3, 3200e6, "3200 M"},
        {2, 1000, 3, 2.66e9, "2.66 G"},   {0, 1000, 3, 133.33e6, "133 M"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatScaled(c.decimals, c.base, c.maxDigits, c.value), c.text) << c.value;
    EXPECT_EQ(SignificantDigitCount(0, 0), 1);
    EXPECT_EQ(SignificantDigitCount(2, 2.50), 2);
}

TEST(CpuidSection, CacheLines) {
    struct Case {
        TCacheInfo cache;
        const char* line;  // nullptr: no line
    };
    const Case cases[] = {
        {{true, true, 262144, 262144, 1, 8}, " - L2 Cache : 256 KB 8-way"},
        {{true, true, 8388608, 4194304, 2, 16}, " - L2 Cache : 8 MB (2 x 4 MB) 16-way"},
        {{true, false, 32768, 32768, 1, 255}, " - L2 Cache : 32 KB fully associative not available"},
        {{false, true, 32768, 32768, 1, 8}, nullptr},
    };
    for (const Case& c : cases) {
        TRecordingProgress progress;
        TReport report(progress);
        AddCacheLine(report, "L2 Cache", c.cache);
        EXPECT_EQ(report.Text(), c.line ? std::string("\r\n") + c.line : std::string());
    }
}

TEST(CpuidSection, CpusInSystemAndRegisterText) {
    EXPECT_EQ(CpusInSystem(8, 2, 4), 2);
    EXPECT_EQ(CpusInSystem(8, 8, 4), 1);
    EXPECT_EQ(CpuidRegisterText(0x0000000B), "....");
    EXPECT_EQ(CpuidRegisterText(0x756E6547), "Genu");
    EXPECT_EQ(CpuidRegisterText(0x6C65746E), "ntel");
    EXPECT_EQ(CpuidRegisterText(0x49656E69), "ineI");
    EXPECT_EQ(cpuidreport::YesNoText(true), "yes");
}

class CpuidBoard : public ReportTest {
protected:
    CpuidBoard() {
        ResetCpuidMsrData();
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/cpu-intel-core2.json");
    }
    ~CpuidBoard() override { ResetCpuidMsrData(); }
};

TEST_F(CpuidBoard, AnIntelProcessorPrintsItsNamesFlagsAndEachLeafOnce) {
    AddCpuidInfo(report, true);
    const auto lines = Lines();
    ASSERT_GT(lines.size(), 2u);
    EXPECT_TRUE(lines[1].starts_with("CPU Name : ")) << lines[1];
    EXPECT_TRUE(HasLine(" - Vendor : GenuineIntel"));
    // The board's leaf 80000001h EDX is 20100000h: bit 29, 64-bit mode, is set.
    EXPECT_TRUE(HasLine(" - EM64T : yes"));
    int leafZero = 0;
    for (const std::string& line : lines)
        if (line.starts_with("$00000000 - ")) {
            ++leafZero;
            EXPECT_TRUE(line.ends_with(" Genu ntel ineI")) << line;
        }
    EXPECT_EQ(leafZero, 1);
}

}  // namespace
