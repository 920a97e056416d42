// GeForce cards: the table, the key, the thermal models and the video BIOS.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "cpu/gpufixture.h"
#include "hw/cvpci.h"
#include "platform/sim/simgeforce.h"

namespace {

namespace sim = platform::sim;

TEST(GeForceTable, KnownRowsGiveTheArchitectureUnknownOnesOnlyTheName) {
    std::uint8_t arch = 99;
    std::string name;
    EXPECT_TRUE(LookupNVidiaCard(0x0018, arch, name));
    EXPECT_EQ(arch, 1);
    EXPECT_EQ(name, "Riva128");
    EXPECT_FALSE(LookupNVidiaCard(0x0043, arch, name));
    EXPECT_EQ(arch, 0);
    EXPECT_EQ(name, "GeForce 6800LE");
    EXPECT_TRUE(LookupNVidiaCard(0x0215, arch, name)) << "the later known row wins";
}

// Rows and known rows per architecture code, the fixed rows, 0215h twice.
TEST(GeForceTable, RowsPerArchitectureAndTheFixedRows) {
    const std::map<int, std::pair<int, int>> expected = {
        {0, {7, 0}},   {1, {2, 2}},   {3, {10, 10}}, {5, {13, 12}}, {8, {27, 19}}, {10, {4, 4}},  {11, {31, 26}},
        {13, {5, 5}},  {14, {26, 14}}, {18, {10, 7}}, {20, {22, 12}}, {21, {10, 10}}, {22, {19, 18}}, {23, {18, 12}},
        {24, {7, 7}},  {25, {10, 7}},  {27, {9, 9}},  {28, {5, 5}},  {29, {5, 5}},  {30, {4, 4}},  {31, {10, 10}}};
    const auto table = NVidiaCardTable();
    ASSERT_EQ(table.size(), 254u);
    std::map<int, std::pair<int, int>> counted;
    for (const TNVidiaCardRow& row : table) {
        ++counted[row.Architecture].first;
        counted[row.Architecture].second += row.Known;
        EXPECT_LE(row.Known, 1) << row.Name;
        EXPECT_TRUE(row.Name && *row.Name) << row.DeviceId;
    }
    EXPECT_EQ(counted, expected);

    const auto same = [](const TNVidiaCardRow& row, std::uint16_t id, int arch, int known, const std::string& name) {
        return row.DeviceId == id && row.Architecture == arch && row.Known == known && row.Name == name;
    };
    EXPECT_TRUE(same(table.front(), 0x0018, 1, 1, "Riva128"));
    EXPECT_TRUE(same(table.back(), 0x053E, 0, 0, "GeForce 7025 nForce630a"));
    const auto has = [&](std::uint16_t id, int arch, int known, const char* name) {
        return std::any_of(table.begin(), table.end(), [&](const auto& row) { return same(row, id, arch, known, name); });
    };
    EXPECT_TRUE(has(0x0040, 20, 1, "GeForce 6800 Ultra"));
    EXPECT_TRUE(has(0x0043, 20, 0, "GeForce 6800LE"));
    EXPECT_TRUE(has(0x0191, 29, 1, "GeForce 8800 GTX"));
    std::map<std::uint16_t, int> perId;
    for (const TNVidiaCardRow& row : table) ++perId[row.DeviceId];
    for (const auto& [id, n] : perId) EXPECT_EQ(n, id == 0x0215 ? 2 : 1) << std::hex << id;
    for (const TNVidiaCardRow& row : table) {
        if (row.DeviceId == 0x0215) {
            EXPECT_STREQ(row.Name, "GeForce 6800 GT");
        }
    }
}

TEST(GeForceModels, DefaultModelsByArchitecture) {
    const std::tuple<std::uint8_t, double, double> rows[] = {
        {22, 32.06, 0.792}, {23, 27.839, 0.78}, {24, -247.55, 0.0467}, {27, -250.51, 0.0458}, {28, -240.88, 0.0442}, {29, 0, 1.0}};
    for (const auto& [arch, offset, slope] : rows) {
        const TThermalModel m = DefaultThermalModel(arch);
        EXPECT_DOUBLE_EQ(m.Offset, offset) << int(arch);
        EXPECT_DOUBLE_EQ(m.Slope, slope) << int(arch);
    }
    EXPECT_EQ(BinaryText16(0xFF6B), "1111111101101011");
}

class GeForce : public GpuTest {
protected:
    GeForce() { load("gpu-geforce.json"); }
    TGeForcePciCard& make(int bus) {
        GeForceCards().push_back(std::make_unique<TGeForcePciCard>(bus, 0, 0, [this](const std::string& m, bool info) {
            log.push_back((info ? "I " : "D ") + m);
        }));
        return *GeForceCards().back();
    }
    bool logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }
    std::vector<std::string> log;
};

TEST_F(GeForce, RegisterCardReadsItsBiosAndConvertsInEachModel) {
    TGeForcePciCard& card = make(1);
    EXPECT_EQ(card.GetCardKey(), "GeForce039110DE010000");
    EXPECT_EQ(card.Architecture(), 28);
    EXPECT_TRUE(card.HasTemperature());
    EXPECT_TRUE(logged("D   --> BA[$10]=$FD000000 is MEM (type 0) "));
    EXPECT_TRUE(logged("D   --> BA[$14]=$E0000000 is MEM (type 0) (prefetchable) "));
    EXPECT_TRUE(logged("D   --> BA[$1C]=$0000DC00 is I/O "));
    EXPECT_TRUE(logged("D   BIOS Version 05.08.41.02"));
    EXPECT_TRUE(logged("D   String #01 : <GeForce 7600 GT VGA BIOS>"));
    EXPECT_TRUE(logged("D   NVTemp Data $10 -> $FF6B - 1111111101101011 - -149"));
    const TGeForceBIOSInfo& bios = card.BiosInfo();
    EXPECT_TRUE(bios.Parsed);
    EXPECT_DOUBLE_EQ(bios.BiosModel.Offset, -149);
    EXPECT_DOUBLE_EQ(bios.BiosModel.Slope, 0.1127);
    EXPECT_EQ(bios.BiosModel.Bias, 2);  // 0400h >> 9
    // Raw 6581 (13 bits): default 6581 x 0.0442 - 240.88; mixed adds the BIOS bias.
    EXPECT_NEAR(card.ReadTemperature(TGeForcePciCard::DefaultModel), 6581 * 0.0442 - 240.88, 1e-9);
    EXPECT_NEAR(card.ReadTemperature(TGeForcePciCard::MixedModel), 6581 * 0.0442 - 240.88 + 2, 1e-9);
    EXPECT_NEAR(card.ReadTemperature(TGeForcePciCard::BiosModel), 6581 * 0.1127 - 149 + 2, 1e-9);
    // The ROM window is disabled again after the read.
    std::uint8_t first = 0;
    IOPort->ReadPhysicalMemory(card.Bar0() + sim::RomWindowOffset, &first, 1);
    EXPECT_EQ(first, 0xFF);
}

TEST_F(GeForce, TheCacheIsUsedWhenValidAndRewrittenWhenNot) {
    make(1);
    const std::string cache = ProgramDir + "0100000391" "10DE81451043.bios";
    ASSERT_TRUE(std::filesystem::exists(cache));
    EXPECT_EQ(std::filesystem::file_size(cache), VideoBiosSize);
    // A valid cache naming another BIOS version wins over the card.
    sim::VideoBiosSpec other{0x10DE, 0x0391, true, {1, 2, 3, 4, 0}, {}, {}};
    const auto image = sim::buildVideoBios(other);
    std::ofstream(cache, std::ios::binary).write(reinterpret_cast<const char*>(image.data()), 0x10000);
    log.clear();
    make(1);
    EXPECT_TRUE(logged("D   BIOS read from file"));
    EXPECT_TRUE(logged("D   BIOS Version 04.03.02.01"));
    // A foreign image in the cache is refused and the card read instead.
    sim::VideoBiosSpec foreign{0x1002, 0x0391, false, {}, {}, {}};
    const auto bad = sim::buildVideoBios(foreign);
    std::ofstream(cache, std::ios::binary).write(reinterpret_cast<const char*>(bad.data()), 0x10000);
    log.clear();
    make(1);
    EXPECT_TRUE(logged("D   Unexpected BIOS Manufacturer ID ($1002)"));
    EXPECT_TRUE(logged("D   BIOS Version 05.08.41.02"));
    std::ofstream(cache, std::ios::binary | std::ios::trunc).write("short", 5);
    log.clear();
    make(1);
    EXPECT_TRUE(logged("D   BIOS file returned 5 bytes, but we expected 65536"));
}

TEST_F(GeForce, ReadsByDwordsOrBytesWhenLongReadsFail) {
    ReadGeForceRom = true;
    for (const auto& [largest, route] : {std::pair<std::size_t, const char*>{4, "DWORD"}, {2, "BYTE"}}) {
        machine().memory().limitTransfer(0xFD000000 + sim::RomWindowOffset, largest);
        std::filesystem::remove(ProgramDir + "010000039110DE81451043.bios");
        log.clear();
        make(1);
        EXPECT_TRUE(logged(std::string("D   Reading BIOS using ") + route + " access")) << route;
        EXPECT_TRUE(GeForceCards().back()->BiosInfo().Parsed) << route;
    }
}

TEST_F(GeForce, WithoutTheRomSwitchTheBiosIsUnreadable) {
    ReadGeForceRom = false;
    make(1);
    ReadGeForceRom = true;
    EXPECT_TRUE(logged("I   Unable to read Video BIOS"));
}

TEST_F(GeForce, TheGpuLibraryIsPreferredAndReportsOnce) {
    LoadNvApi();
    TGeForcePciCard& card = make(2);
    EXPECT_EQ(card.NvapiIndex(), 0);
    EXPECT_TRUE(card.HasTemperature());
    EXPECT_TRUE(logged("D   NVAPI reported temperature=61.00C"));
    EXPECT_TRUE(logged("D       Current fan speed=1700  (answer=0)"));
    EXPECT_TRUE(logged("D       RAM type=GDDR3"));
    EXPECT_TRUE(logged("D         Voltage=1150"));
    log.clear();
    EXPECT_DOUBLE_EQ(card.ReadTemperature(TGeForcePciCard::MixedModel), 61);
    EXPECT_TRUE(log.empty()) << "the report is written once";
}

TEST_F(GeForce, PointersNearTheEndOfTheImageCountAsAbsent) {
    TGeForcePciCard& card = make(1);
    sim::VideoBiosSpec spec{0x10DE, 0x0391, true, {}, {"A"}, {{0x10, 0xFF6B}, {0x11, 1}}};
    auto image = sim::buildVideoBios(spec);
    // Tokens start 10 bytes after "BIT": 'B', 'S', 'P'. The thermal table pointer and the first
    // string's pointer are moved to the last byte.
    const std::size_t pData = image[sim::BiosBitAt + 10 + 12 + 4] | image[sim::BiosBitAt + 10 + 12 + 5] << 8;
    image[pData + 12] = 0xFF;
    image[pData + 13] = 0xFF;
    const std::size_t sData = image[sim::BiosBitAt + 10 + 6 + 4] | image[sim::BiosBitAt + 10 + 6 + 5] << 8;
    image[sData] = 0xFF;
    image[sData + 1] = 0xFF;
    image[0xFFFF] = 'Z';
    log.clear();
    card.ParseVideoBios(image);
    EXPECT_TRUE(card.BiosInfo().Parsed);
    EXPECT_EQ(card.BiosInfo().BiosString1, "Z");
    EXPECT_EQ(card.BiosInfo().BiosModel.OffsetNum, 0) << "the table past the end is absent";
    EXPECT_EQ(FindBiosSignature(TVideoBios(VideoBiosSize, 'B'), "BIT", 0), -1);
}

}  // namespace
