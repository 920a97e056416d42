#include "report/cvdimminfo.h"

#include <gtest/gtest.h>

#include <numeric>

#include "detect/cvscanexceptions.h"
#include "firmware/cvspd.h"
#include "reportfixture.h"

namespace {

using namespace reporttest;
using Strings = std::vector<std::string>;
using Bytes = std::initializer_list<std::pair<int, std::uint8_t>>;

constexpr std::uint8_t Sdr = 4, Ddr = 7, Ddr3 = 11;

// An image of one memory type with chosen bytes, its checksum sealed unless told.
TSPDImage Image(std::uint8_t type, Bytes bytes, bool seal = true) {
    TSPDImage image{};
    image[2] = type;
    for (auto [at, value] : bytes) image[static_cast<std::size_t>(at)] = value;
    if (!seal) return image;
    if (type == Ddr3) {
        const std::uint16_t crc = SPDCrc16(image.data(), 126);
        image[126] = static_cast<std::uint8_t>(crc);
        image[127] = static_cast<std::uint8_t>(crc >> 8);
    } else {
        image[63] = static_cast<std::uint8_t>(std::accumulate(image.begin(), image.begin() + 63, 0u));
    }
    return image;
}

// SDRAM at 7.5 ns, CAS 3 and 2, RAS-to-CAS and precharge 20 ns, active-to-precharge 45 ns.
const Bytes SdrTimings = {{9, 0x75}, {18, 0x06}, {27, 20}, {29, 20}, {30, 45}};

class TRecordingView : public TDimmInfoView {
public:
    void SetButtonEnabled(bool enabled) override { states.push_back(enabled); }
    void SetLines(const std::vector<std::string>& newLines) override { lines = newLines; }
    std::vector<bool> states;
    Strings lines;
};

class DimmInfo : public ReportTest {
protected:
    void AddModule(std::uint8_t address, const TSPDImage& image) {
        auto& slave = AddSlave(address);
        for (int reg = 0; reg < 256; ++reg)
            slave.registers().set(static_cast<std::uint8_t>(reg), image[static_cast<std::size_t>(reg)]);
    }
    static bool Has(const Strings& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST(RoundUpCycles, IgnoresAnExcessBelowOneTenThousandth) {
    const std::pair<double, double> cases[] = {{20 / 7.5, 3}, {3.00005, 3}, {3.0, 3}, {3.0002, 4}, {0, 0}};
    for (const auto& [x, rounded] : cases) EXPECT_EQ(RoundUpCycles(x), rounded) << x;
}

TEST_F(DimmInfo, NoSMBusLinkGivesTheTwoUnableLines) {
    AddSMBusLink(HostKinds::I2CNVidia);
    TRecordingView view;
    BTNDimmInfoClick(view, nullptr);
    EXPECT_EQ(view.lines, (Strings{"Unable to gather info about DIMMs.", "May be they are not accessible on the SMBus."}));
    EXPECT_EQ(view.states, (std::vector<bool>{false, true}));
}

TEST_F(DimmInfo, LinksWithoutModulesShowOnlyTheirScanLines) {
    AddSMBusLink(HostKinds::Intel, 0x400);
    AddSMBusLink(HostKinds::Intel, 0x500);
    EXPECT_EQ(ReadDimmInfo(nullptr), (Strings{"Scanning SMBus at $0400...", "Scanning SMBus at $0500..."}));
}

TEST_F(DimmInfo, SdramTimingsCountWholeClocks) {
    AddModule(0x51, Image(Sdr, SdrTimings));
    AddModule(0x52, Image(Sdr, SdrTimings, false));
    AddSMBusLink();
    const Strings lines = ReadDimmInfo(nullptr);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "Decoding DIMM #1");
    EXPECT_EQ(lines[2], " Memory type is SDRAM");
    EXPECT_TRUE(Has(lines, " Speed is PC133"));
    EXPECT_TRUE(Has(lines, " Data ECC is not supported"));
    EXPECT_TRUE(Has(lines, " Timings : 133 MHz 3.0-3-3-6")) << "20 / 7.5 = 2.67 counts 3 clocks";
    EXPECT_FALSE(Has(lines, "Decoding DIMM #2")) << "a bad checksum adds nothing";
    for (const std::string& line : lines) EXPECT_FALSE(line.starts_with(" DIMM type is ")) << line;
}

TEST_F(DimmInfo, Ddr3ShowsItsModuleTypeAndDdrDoesNot) {
    AddModule(0x50, Image(Ddr3, {{3, 2}, {9, 0x11}, {10, 1}, {11, 8}, {12, 12}}));
    AddModule(0x53, Image(Ddr, {{9, 0x50}}));
    AddSMBusLink();
    const Strings lines = ReadDimmInfo(nullptr);
    const auto ddr = std::find(lines.begin(), lines.end(), "Decoding DIMM #3");
    ASSERT_NE(ddr, lines.end());
    EXPECT_EQ(lines[2], " Memory type is DDR3");
    EXPECT_EQ(lines[3], " DIMM type is " + SPDModuleTypeName(TDecodeSPD(Image(Ddr3, {{3, 2}})).ModuleType));
    EXPECT_EQ(*(ddr + 1), " Memory type is DDR SDRAM");
    EXPECT_TRUE((ddr + 2)->starts_with(" Size is ")) << *(ddr + 2);
}

TEST_F(DimmInfo, MemoryControllerBusReadsEverySlotAndEmptyOnesAddNothing) {
    AddModule(0x52, Image(Sdr, SdrTimings));
    TLink& link = AddSMBusLink(HostKinds::IntelMCH);
    const Strings lines = ReadDimmInfo(nullptr);
    EXPECT_TRUE(Has(lines, "Decoding DIMM #2"));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("Decoding"); }), 1);
    const TScanExceptionSet exceptions = GetScanExceptions(link, nullptr);
    int addresses = 0, allowed = 0;
    for (int a = 0x50; a <= 0x57; ++a) {
        if (!exceptions.test(static_cast<std::size_t>(a))) ++allowed;
        for (const auto& r : segment->requests())
            if (r.address == a && r.command == 0xFF) {
                ++addresses;
                break;
            }
    }
    EXPECT_EQ(addresses, allowed) << "all 256 bytes of every slot the exceptions allow are read";
    EXPECT_GT(allowed, 1);
}

}  // namespace
