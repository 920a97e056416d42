#include "firmware/cvspd.h"

#include <gmock/gmock.h>

#include <initializer_list>
#include <numeric>
#include <string>
#include <utility>

#include "firmware/jep106.h"
#include "hw/cvlink.h"
#include "hw/hwfixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

constexpr std::uint8_t Sdr = 4, Ddr = 7, Ddr2 = 8, FbDimm = 9, Ddr3 = 11;

using SpdBytes = std::initializer_list<std::pair<int, std::uint8_t>>;

// An image of one memory type with chosen bytes; the others are zero.
TSPDImage Image(std::uint8_t type, SpdBytes bytes = {}) {
    TSPDImage image{};
    image[2] = type;
    for (auto [at, value] : bytes) image[static_cast<std::size_t>(at)] = value;
    return image;
}

void WriteText(TSPDImage& image, int at, const std::string& text) {
    std::copy(text.begin(), text.end(), image.begin() + at);
}

// FB-DIMM and DDR3 keep a CRC in bytes 126-127; the others a sum in byte 63.
TSPDImage Sealed(TSPDImage image) {
    if (image[2] == FbDimm || image[2] == Ddr3) {
        const std::uint16_t crc = SPDCrc16(image.data(), image[0] & 0x80 ? 117 : 126);
        image[126] = static_cast<std::uint8_t>(crc);
        image[127] = static_cast<std::uint8_t>(crc >> 8);
    } else {
        image[63] = static_cast<std::uint8_t>(std::accumulate(image.begin(), image.begin() + 63, 0u));
    }
    return image;
}

// DDR3 with the usual 1/8 ns medium and 1 ps fine time base.
TSPDImage Ddr3Image(SpdBytes bytes) {
    TSPDImage image = Image(Ddr3, {{9, 0x11}, {10, 1}, {11, 8}});
    for (auto [at, value] : bytes) image[static_cast<std::size_t>(at)] = value;
    return image;
}

TEST(DecodeSPD, CycleTimeClockAndSpeedNamePerType) {
    struct Case {
        const char* what;
        TSPDImage image;
        double cycle;
        int clock;
        const char* speed;
    };
    const Case cases[] = {
        {"SDR 7.5 ns", Image(Sdr, {{9, 0x75}}), 7.5, 133, "PC133"},
        {"DDR 6.0 ns, 64 bits", Image(Ddr, {{9, 0x60}, {6, 64}}), 6.0, 167, "PC2700"},
        {"DDR 5.0 ns, 72 bits counts 64", Image(Ddr, {{9, 0x50}, {6, 72}}), 5.0, 200, "PC3200"},
        {"DDR2 25h", Image(Ddr2, {{9, 0x25}, {6, 64}}), 2.5, 400, "PC2-6400"},
        {"DDR2 3Dh", Image(Ddr2, {{9, 0x3D}, {6, 64}}), 3.75, 267, "PC2-4300"},
        {"DDR2 low nibble 10", Image(Ddr2, {{9, 0x3A}, {6, 64}}), 3.25, 308, "PC2-4900"},
        {"DDR2 low nibble 14 adds nothing", Image(Ddr2, {{9, 0x3E}, {6, 64}}), 3.0, 333, "PC2-5300"},
        {"FB-DIMM 3.0 ns, no clock", Image(FbDimm, {{9, 1}, {10, 4}, {11, 12}}), 3.0, 0, "PC2-5300"},
        {"DDR3 12 MTB", Ddr3Image({{12, 12}}), 1.5, 667, "DDR3-1333"},
        {"DDR3 15 MTB", Ddr3Image({{12, 15}}), 1.875, 533, "DDR3-1067"},
        {"zero cycle time", Image(Ddr2, {{6, 64}}), 0, 0, ""},
    };
    for (const auto& c : cases) {
        const TDecodeSPD spd(c.image);
        EXPECT_DOUBLE_EQ(spd.CycleTime, c.cycle) << c.what;
        EXPECT_EQ(spd.ClockMHz, c.clock) << c.what;
        EXPECT_EQ(spd.SpeedName, c.speed) << c.what;
    }
}

TEST(DecodeSPD, LowerCasTimesAndTimings) {
    const TDecodeSPD sdr(Image(Sdr, {{23, 0xA0}, {25, 0x29}, {27, 20}, {29, 20}, {30, 45}}));
    EXPECT_DOUBLE_EQ(sdr.CycleTime2, 10.0);
    EXPECT_EQ(sdr.ClockMHz2, 100);
    EXPECT_DOUBLE_EQ(sdr.CycleTime3, 10.25) << "quarter time: 10 + 1 x 0.25";
    EXPECT_DOUBLE_EQ(sdr.TRP, 20);
    EXPECT_DOUBLE_EQ(sdr.TRAS, 45);

    const TDecodeSPD ddr2(Image(Ddr2, {{23, 0x3D}, {25, 0x50}, {27, 0x3D}, {29, 0x32}, {30, 45}}));
    EXPECT_DOUBLE_EQ(ddr2.CycleTime2, 3.75);
    EXPECT_EQ(ddr2.ClockMHz3, 200);
    EXPECT_DOUBLE_EQ(ddr2.TRP, 15.25);
    EXPECT_DOUBLE_EQ(ddr2.TRCD, 12.5);

    const TDecodeSPD fb(Image(FbDimm, {{9, 1}, {10, 4}, {19, 60}, {21, 60}, {22, 0xF1}, {23, 0x02}}));
    EXPECT_DOUBLE_EQ(fb.MTB, 0.25);
    EXPECT_DOUBLE_EQ(fb.TRCD, 15);
    EXPECT_DOUBLE_EQ(fb.TRAS, 258 * 0.25) << "the high byte's upper nibble is not part of tRAS";
}

TEST(DecodeSPD, Ddr3FineOffsetsAreSignedFineTimeBaseSteps) {
    struct Case {
        std::uint8_t offset;
        double cycle;
    };
    for (const auto& c : {Case{0x00, 1.5}, Case{0x01, 1.501}, Case{0xFF, 1.499}, Case{0x80, 1.5 - 0.128}}) {
        const TDecodeSPD spd(Ddr3Image({{12, 12}, {34, c.offset}, {18, 105}, {36, 0xB5}}));
        EXPECT_DOUBLE_EQ(spd.FTB, 0.001);
        EXPECT_NEAR(spd.CycleTime, c.cycle, 1e-12) << int{c.offset};
        EXPECT_NEAR(spd.TRCD, 13.125 - 0.075, 1e-12);
    }
}

TEST(DecodeSPD, AZeroTimeBaseDivisorLeavesItsTimesAtZero) {
    const TDecodeSPD spd(Image(Ddr3, {{9, 0x10}, {10, 1}, {11, 0}, {12, 12}, {34, 0x05}}));
    EXPECT_EQ(spd.MTB, 0);
    EXPECT_EQ(spd.FTB, 0);
    EXPECT_EQ(spd.CycleTime, 0);
    EXPECT_EQ(spd.ClockMHz, 0);
    EXPECT_EQ(spd.SpeedName, "");
}

TEST(DecodeSPD, Dates) {
    struct Case {
        TSPDImage image;
        int week, year;
    };
    const Case cases[] = {
        {Image(Sdr, {{93, 69}, {94, 12}}), 12, 2069},
        {Image(Sdr, {{93, 99}, {94, 0x12}}), 18, 1999},
        {Image(Sdr, {{93, 70}}), 0, 1970},
        {Image(Ddr2, {{93, 0x08}, {94, 0x32}}), 32, 2008},
        {Image(FbDimm, {{120, 0x07}, {121, 0x51}}), 51, 2007},
        {Image(Ddr3, {{120, 0x10}, {121, 0x25}}), 25, 2010},
    };
    for (const auto& c : cases) {
        const TDecodeSPD spd(c.image);
        EXPECT_EQ(spd.ManufactureWeek, c.week) << int{c.image[2]};
        EXPECT_EQ(spd.ManufactureYear, c.year) << int{c.image[2]};
    }
}

TEST(DecodeSPD, GeometryAndRankSize) {
    struct Case {
        const char* what;
        TSPDImage image;
        int banks, ranks, rankSize, width;
        bool ecc;
    };
    const Case cases[] = {
        {"SDR", Image(Sdr, {{5, 2}, {31, 0x40}, {6, 72}, {11, 0x02}}), 2, 0, 256, 72, true},
        {"DDR", Image(Ddr, {{5, 2}, {31, 0x80}, {6, 0x40}, {7, 0x01}}), 2, 3, 512, 320, false},
        {"DDR2 one bit", Image(Ddr2, {{17, 8}, {5, 0x61}, {31, 0x01}, {6, 64}}), 8, 2, 1024, 64, false},
        {"DDR2 20h", Image(Ddr2, {{31, 0x20}}), 0, 1, 128, 0, false},
        {"DDR2 two bits", Image(Ddr2, {{31, 0x03}}), 0, 1, 0, 0, false},
        {"FB-DIMM", Image(FbDimm, {{4, 0x01}, {7, 0x11}, {81, 0x02}}), 8, 2, 0, 8, true},
        {"FB-DIMM rank code 3", Image(FbDimm, {{7, 0x18}}), 4, 0, 0, 4, false},
        {"DDR3 2 Gbit x8 on 64 bits", Image(Ddr3, {{4, 0x03}, {7, 0x09}, {8, 0x03}}), 8, 2, 2048, 0, false},
        {"DDR3 1 Gbit x16, 4 ranks", Image(Ddr3, {{4, 0x12}, {7, 0x1A}, {8, 0x03}}), 16, 4, 512, 0, false},
        {"DDR3 rank code 4, 256 Mbit x4 on 8 bits", Image(Ddr3, {{7, 0x20}}), 8, 8, 64, 0, false},
        {"DDR3 unknown density", Image(Ddr3, {{4, 0x07}, {7, 0x28}, {8, 0x03}}), 8, 0, 0, 0, false},
    };
    for (const auto& c : cases) {
        const TDecodeSPD spd(c.image);
        EXPECT_EQ(spd.Banks, c.banks) << c.what;
        EXPECT_EQ(spd.Ranks, c.ranks) << c.what;
        EXPECT_EQ(spd.RankSize, c.rankSize) << c.what;
        EXPECT_EQ(spd.DataWidth, c.width) << c.what;
        EXPECT_EQ(spd.ECC, c.ecc) << c.what;
    }
}

TEST(DecodeSPD, CasLatencyLists) {
    EXPECT_THAT(TDecodeSPD(Image(Sdr, {{18, 0x06}})).CASLatencies, ElementsAre(3, 2));
    EXPECT_THAT(TDecodeSPD(Image(Ddr, {{18, 0x1C}})).CASLatencies, ElementsAre(3, 2.5, 2));
    EXPECT_THAT(TDecodeSPD(Image(Ddr2, {{18, 0x38}})).CASLatencies, ElementsAre(5, 4, 3));
    EXPECT_THAT(TDecodeSPD(Image(FbDimm, {{13, 0x34}})).CASLatencies, ElementsAre(4, 5, 6));
    EXPECT_THAT(TDecodeSPD(Image(Ddr3, {{15, 0x41}, {14, 0x81}})).CASLatencies, ElementsAre(18, 12, 11, 4));
}

TEST(DecodeSPD, ModuleTypesAndVoltages) {
    struct Case {
        const char* what;
        TSPDImage image;
        int moduleType;
        std::vector<double> dram, channel;
    };
    const Case cases[] = {
        {"SDR 3.3 V", Image(Sdr, {{8, 1}}), 0, {3.3}, {}},
        {"DDR 2.5 V", Image(Ddr, {{8, 4}}), 0, {2.5}, {}},
        {"DDR2 UDIMM 1.8 V", Image(Ddr2, {{20, 0x02}, {8, 5}}), 4, {1.8}, {}},
        {"DDR2 no type, unknown voltage", Image(Ddr2, {{20, 0x00}, {8, 6}}), 1, {}, {}},
        {"DDR2 two type bits", Image(Ddr2, {{20, 0x03}}), 2, {5.0}, {}},
        {"FB-DIMM", Image(FbDimm, {{6, 0x07}, {3, 0x21}}), 16, {1.5}, {1.8}},
        {"FB-DIMM bit 3", Image(FbDimm, {{6, 0x0A}, {3, 0x34}}), 0, {1.2}, {}},
        {"DDR3 LRDIMM 1.5 V and 1.35 V", Image(Ddr3, {{3, 0x0B}, {6, 0x02}}), 13, {1.5, 1.35}, {}},
        {"DDR3 low voltage only", Image(Ddr3, {{3, 0x0E}, {6, 0x07}}), 2, {1.35, 1.25}, {}},
    };
    for (const auto& c : cases) {
        const TDecodeSPD spd(c.image);
        EXPECT_EQ(spd.ModuleType, c.moduleType) << c.what;
        EXPECT_THAT(spd.DRAMVoltages, ElementsAreArray(c.dram)) << c.what;
        EXPECT_THAT(spd.ChannelVoltages, ElementsAreArray(c.channel)) << c.what;
    }
    EXPECT_EQ(SPDModuleTypeName(16), "FB-DIMM");
    EXPECT_EQ(SPDMemoryTypeName(TDecodeSPD(Image(Ddr2)).MemoryType), "DDR2");
}

TEST(DecodeSPD, Manufacturers) {
    struct Case {
        const char* what;
        TSPDImage image;
        const char* module;
        const char* amb;
        const char* dram;
    };
    const Case cases[] = {
        {"bank 4 after three 7Fh", Image(Ddr2, {{64, 0x7F}, {65, 0x7F}, {66, 0x7F}, {67, 0x0B}}),
         "Nanya Technology", "", ""},
        {"zeros passed over, parity bit dropped", Image(Ddr, {{64, 0x00}, {65, 0x7F}, {66, 0x00}, {67, 0x98}}),
         "Kingston", "", ""},
        {"bank 1", Image(Sdr, {{64, 0x2C}}), "Micron Technology", "", ""},
        {"no code", Image(Ddr2), "", "", ""},
        {"only continuation bytes", Image(Ddr2, {{64, 0x7F}, {65, 0x7F}}), "cont=2 id=0", "", ""},
        {"FB-DIMM", Image(FbDimm, {{117, 0x00}, {118, 0xCE}, {115, 0x80}, {116, 0x89}, {148, 0x80}, {149, 0xAD}}),
         "Samsung", "Intel", "SK Hynix (former Hyundai Electronics)"},
        {"DDR3 beyond the table", Image(Ddr3, {{117, 0x0A}, {118, 0x01}, {148, 0x08}, {149, 0x29}}),
         "cont=10 id=1", "", "cont=8 id=41"},
    };
    for (const auto& c : cases) {
        const TDecodeSPD spd(c.image);
        EXPECT_EQ(spd.ModuleManufacturer, c.module) << c.what;
        EXPECT_EQ(spd.AMBManufacturer, c.amb) << c.what;
        EXPECT_EQ(spd.DRAMManufacturer, c.dram) << c.what;
    }
    EXPECT_EQ(JedecManufacturerName(0, 0xCE), "Samsung");
    EXPECT_EQ(JedecManufacturerName(12, 0xCE), "cont=12 id=206") << "the code is printed as it came";
    EXPECT_EQ(JedecManufacturerName(8, 40), "Leahkinn Technology Limited") << "the table's last row";
}

TEST(DecodeSPD, TheTableHoldsBanksOneToEightWholeAndBankNineToCode40) {
    for (std::size_t i = 0; i < JedecManufacturers.size(); ++i) {
        EXPECT_EQ(JedecManufacturers[i].Continuation, i / 126) << i;
        EXPECT_EQ(JedecManufacturers[i].Code, i % 126 + 1) << i;
    }
}

TEST(DecodeSPD, PartAndSerialNumbers) {
    TSPDImage ddr2 = Image(Ddr2, {{95, 0x1A}, {96, 0x2B}, {97, 0x0C}, {98, 0xFF}});
    WriteText(ddr2, 73, " \tKM2G64D2-800");
    const TDecodeSPD spd(ddr2);
    EXPECT_EQ(spd.PartNumber, "KM2G64D2-800") << "blanks, control characters and zeros trimmed";
    EXPECT_EQ(spd.SerialNumber, "1A2B0CFF");

    TSPDImage ddr3 = Image(Ddr3, {{122, 0xDE}, {123, 0xAD}, {124, 0x00}, {125, 0x01}});
    WriteText(ddr3, 128, "KM4G64D3-1600XYZAB");
    const TDecodeSPD three(ddr3);
    EXPECT_EQ(three.PartNumber, "KM4G64D3-1600XYZAB");
    EXPECT_EQ(three.SerialNumber, "DEAD0001");
}

TEST(DecodeSPD, Crc16IsTheOneOverPolynomial1021hFromZero) {
    const std::string check = "123456789";
    EXPECT_EQ(SPDCrc16(reinterpret_cast<const std::uint8_t*>(check.data()), check.size()), 0x31C3);
}

TEST(DecodeSPD, ChecksumAndCrc) {
    for (std::uint8_t type : {Sdr, Ddr, Ddr2, FbDimm, Ddr3}) {
        const TSPDImage good = Sealed(Image(type, {{0, 0x92}, {9, 0x25}, {40, 0x11}}));
        EXPECT_TRUE(TDecodeSPD(good).ChecksumOK) << int{type};
        TSPDImage bad = good;
        bad[40] ^= 0x04;
        EXPECT_FALSE(TDecodeSPD(bad).ChecksumOK) << int{type};
    }
    // Bit 7 of byte 0 limits the CRC to bytes 0-116.
    TSPDImage shortCrc = Sealed(Ddr3Image({{0, 0x92}}));
    shortCrc[120] = 0x10;
    EXPECT_TRUE(TDecodeSPD(shortCrc).ChecksumOK);
    TSPDImage longCrc = Sealed(Ddr3Image({{0, 0x12}}));
    longCrc[120] = 0x10;
    EXPECT_FALSE(TDecodeSPD(longCrc).ChecksumOK);
}

TEST(DecodeSPD, UnsupportedImagesDecodeToNothing) {
    TSPDImage blank;
    blank.fill(0xFF);
    for (const TSPDImage& image : {blank, Sealed(Image(12)), Sealed(Image(Ddr2 + 2))}) {
        const TDecodeSPD spd(image);
        EXPECT_FALSE(spd.ChecksumOK);
        EXPECT_EQ(spd.CycleTime, 0);
        EXPECT_THAT(spd.CASLatencies, IsEmpty());
        EXPECT_THAT(spd.DRAMVoltages, IsEmpty());
        EXPECT_EQ(spd.ModuleManufacturer, "");
        EXPECT_EQ(spd.SerialNumber, "");
        EXPECT_EQ(spd.ManufactureYear, 0);
    }
    EXPECT_EQ(TDecodeSPD(blank).MemoryType, 0);
    EXPECT_EQ(SPDMemoryTypeName(TDecodeSPD(Image(12)).MemoryType), "DDR4");
}

// The demo board's two DDR2 modules, read byte by byte over the ICH SMBus.
class DemoBoardModules : public HwTest {
protected:
    DemoBoardModules() {
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
        IOPort = std::make_unique<TIOPort>();
    }

    TSPDImage ReadModule(int address) {
        TSPDImage image{};
        for (int reg = 0; reg < 256; ++reg)
            EXPECT_TRUE(link.ReadByteData(address, static_cast<std::uint8_t>(reg), image[static_cast<std::size_t>(reg)]));
        return image;
    }

    TLink link{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0};
};

TEST_F(DemoBoardModules, DecodeAsTheTwoGigabyteModulesTheSmbiosNames) {
    for (const auto& [address, serial] : {std::pair{0x50, "1A2B3C4D"}, std::pair{0x51, "1A2B3C4E"}}) {
        const TDecodeSPD spd(ReadModule(address));
        EXPECT_TRUE(spd.ChecksumOK);
        EXPECT_EQ(SPDMemoryTypeName(spd.MemoryType), "DDR2");
        EXPECT_EQ(SPDModuleTypeName(spd.ModuleType), "UDIMM");
        EXPECT_EQ(spd.RankSize * spd.Ranks, 2048);
        EXPECT_EQ(spd.SpeedName, "PC2-6400");
        EXPECT_EQ(spd.PartNumber, "KM2G64D2-800");
        EXPECT_EQ(spd.SerialNumber, serial);
        EXPECT_THAT(spd.CASLatencies, ElementsAre(6, 5, 4));
        EXPECT_THAT(spd.DRAMVoltages, ElementsAre(1.8));
        EXPECT_EQ(spd.ModuleManufacturer, "Nanya Technology");
        EXPECT_EQ(spd.ManufactureYear, 2009);
    }
}

}  // namespace
