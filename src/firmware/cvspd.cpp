#include "firmware/cvspd.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>
#include <span>

#include "base/cvformat.h"
#include "core/cvtext.h"
#include "firmware/jep106.h"

using cvformat::Format;

namespace {

// How a time is stored: in nanoseconds from the byte's nibbles or quarters,
// or in medium time-base units with an optional fine offset.
enum class Time { None, Nibble, Ddr2Nibble, Quarter, Ns, Mtb, MtbFine, MtbWide };

struct TimeAt {
    Time encoding = Time::None;
    int byte = 0;
    int extra = 0;  // the fine-offset byte (MtbFine) or the low byte (MtbWide)
};

struct CasBit {
    int byte, bit;
    double latency;
};

enum class Speed { Clock, Width, FbDimm, Ddr3 };

// Where one memory type keeps its fields. The fields whose formula differs
// per type have a small function each.
struct Layout {
    std::uint8_t memoryType;
    int timeBaseByte;  // FTB there, MTB as the next byte over the one after; 0: none
    std::array<TimeAt, 3> cycles;
    TimeAt trcd, trp, tras;
    bool clock;  // ClockMHz decoded
    const char* speedPicture;
    Speed speed;
    bool bcdDate;
    int weekByte, yearByte, partAt, serialAt;
    int moduleMaker;  // continuation byte, code after it; 0: the bytes 64-71 walk
    int ambMaker, dramMaker;  // 0: none
    bool crc;
    void (*geometry)(const TSPDImage&, TDecodeSPD&);
    int (*moduleType)(const TSPDImage&);
    TCASLatency (*casLatencies)(const TSPDImage&);
    void (*voltages)(const TSPDImage&, TDecodeSPD&);
};

int bit(const TSPDImage& b, int byte, int n) { return b[static_cast<std::size_t>(byte)] >> n & 1; }

// Half to even, held inside int for times that come out near zero or negative.
int roundToInt(double value) {
    const double rounded = std::nearbyint(value);
    if (!(rounded > INT_MIN)) return INT_MIN;
    if (!(rounded < INT_MAX)) return INT_MAX;
    return static_cast<int>(rounded);
}

int bcd(std::uint8_t v) { return (v >> 4) * 10 + (v & 0x0F); }

double nibbleTime(std::uint8_t v, bool ddr2) {
    static constexpr double ddr2Tenths[] = {0.25, 0.33, 0.66, 0.75};
    const int low = v & 0x0F;
    double time = v >> 4;
    if (low <= 9) time += low / 10.0;
    else if (ddr2 && low <= 13) time += ddr2Tenths[low - 10];
    return time;
}

double decodeTime(const TSPDImage& b, const TimeAt& at, double mtb, double ftb) {
    const std::uint8_t v = b[static_cast<std::size_t>(at.byte)];
    const std::uint8_t extra = b[static_cast<std::size_t>(at.extra)];
    switch (at.encoding) {
    case Time::None: return 0;
    case Time::Nibble: return nibbleTime(v, false);
    case Time::Ddr2Nibble: return nibbleTime(v, true);
    case Time::Quarter: return (v >> 2) + (v & 3) * 0.25;
    case Time::Ns: return v;
    case Time::Mtb: return v * mtb;
    case Time::MtbFine: return v * mtb + static_cast<std::int8_t>(extra) * ftb;
    case Time::MtbWide: return ((v & 0x0F) * 256 + extra) * mtb;
    }
    return 0;
}

// 0 for a byte no row names.
int mapped(std::span<const std::pair<int, int>> rows, int key, int otherwise = 0) {
    for (const auto& [from, to] : rows)
        if (from == key) return to;
    return otherwise;
}

TCASLatency fromBits(const TSPDImage& b, std::span<const CasBit> bits) {
    TCASLatency list;
    for (const auto& c : bits)
        if (bit(b, c.byte, c.bit)) list.push_back(c.latency);
    return list;
}

constexpr CasBit SdrCas[] = {{18, 6, 7}, {18, 5, 6}, {18, 4, 5}, {18, 3, 4}, {18, 2, 3}, {18, 1, 2}, {18, 0, 1}};
constexpr CasBit DdrCas[] = {{18, 6, 4}, {18, 5, 3.5}, {18, 4, 3}, {18, 3, 2.5}, {18, 2, 2}, {18, 1, 1.5}, {18, 0, 1}};
constexpr CasBit Ddr2Cas[] = {{18, 7, 7}, {18, 6, 6}, {18, 5, 5}, {18, 4, 4}, {18, 3, 3}, {18, 2, 2}};
constexpr CasBit Ddr3Cas[] = {{15, 6, 18}, {15, 5, 17}, {15, 4, 16}, {15, 3, 15}, {15, 2, 14}, {15, 1, 13},
                              {15, 0, 12}, {14, 7, 11}, {14, 6, 10}, {14, 5, 9},  {14, 4, 8},  {14, 3, 7},
                              {14, 2, 6},  {14, 1, 5},  {14, 0, 4}};

TCASLatency fbDimmCas(const TSPDImage& b) {
    TCASLatency list;
    for (int i = 0; i < (b[13] >> 4); ++i) list.push_back((b[13] & 0x0F) + i);
    return list;
}

constexpr std::pair<int, int> Ddr2RankSizes[] = {{0x01, 1024}, {0x02, 2048}, {0x04, 4096}, {0x08, 8192},
                                                 {0x10, 16384}, {0x20, 128},  {0x40, 256},  {0x80, 512}};
constexpr std::pair<int, int> FbDimmRanks[] = {{1, 1}, {2, 2}};
constexpr std::pair<int, int> Ddr3Ranks[] = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 8}};

void sdrGeometry(const TSPDImage& b, TDecodeSPD& spd) {
    spd.Banks = b[5];
    spd.RankSize = b[31] * 4;
    spd.DataWidth = b[6] | b[7] << 8;
    spd.ECC = bit(b, 11, 1);
}

void ddrGeometry(const TSPDImage& b, TDecodeSPD& spd) {
    sdrGeometry(b, spd);
    spd.Ranks = (b[5] & 7) + 1;
}

void ddr2Geometry(const TSPDImage& b, TDecodeSPD& spd) {
    spd.Banks = b[17];
    spd.Ranks = (b[5] & 7) + 1;
    spd.RankSize = mapped(Ddr2RankSizes, b[31]);
    spd.DataWidth = b[6];
    spd.ECC = bit(b, 11, 1);
}

void fbDimmGeometry(const TSPDImage& b, TDecodeSPD& spd) {
    spd.Banks = 4 << (b[4] & 3);
    spd.Ranks = mapped(FbDimmRanks, b[7] >> 3 & 7);
    spd.DataWidth = 4 << (b[7] & 7);
    spd.ECC = bit(b, 81, 1);
}

void ddr3Geometry(const TSPDImage& b, TDecodeSPD& spd) {
    spd.Banks = 8 << (b[4] >> 4 & 7);
    spd.Ranks = mapped(Ddr3Ranks, b[7] >> 3 & 7);
    const int density = b[4] & 0x0F;
    if (density <= 6) {
        const double megabits = 256 << density;
        spd.RankSize = roundToInt(megabits * (8 << (b[8] & 7)) / (4 << (b[7] & 7)) / 8);
    }
}

int noModuleType(const TSPDImage&) { return 0; }

int ddr2ModuleType(const TSPDImage& b) {
    static constexpr std::pair<int, int> rows[] = {{0x00, 1}, {0x01, 3}, {0x02, 4}, {0x04, 5}, {0x06, 6},
                                                   {0x07, 7}, {0x08, 8}, {0x10, 9}, {0x20, 10}};
    return mapped(rows, b[20], 2);
}

int fbDimmModuleType(const TSPDImage& b) {
    static constexpr std::pair<int, int> rows[] = {{1, 3}, {2, 4}, {3, 5}, {4, 8}, {5, 9}, {6, 10}, {7, 16}};
    if (bit(b, 6, 3)) return 0;
    return mapped(rows, b[6] & 0x0F, 1);
}

int ddr3ModuleType(const TSPDImage& b) {
    static constexpr int codes[16] = {1, 3, 4, 5, 8, 9, 10, 11, 12, 7, 6, 13, 14, 15, 2, 2};
    return codes[b[3] & 0x0F];
}

TSPDVoltages nibbleVoltage(int code) {
    static constexpr double volts[] = {1.8, 1.5, 1.2};
    if (code >= 1 && code <= 3) return {volts[code - 1]};
    return {};
}

void byte8Voltages(const TSPDImage& b, TDecodeSPD& spd) {
    static constexpr double volts[] = {5.0, 3.3, 1.5, 3.3, 2.5, 1.8};
    if (b[8] < std::size(volts)) spd.DRAMVoltages = {volts[b[8]]};
}

void fbDimmVoltages(const TSPDImage& b, TDecodeSPD& spd) {
    spd.DRAMVoltages = nibbleVoltage(b[3] >> 4);
    spd.ChannelVoltages = nibbleVoltage(b[3] & 0x0F);
}

void ddr3Voltages(const TSPDImage& b, TDecodeSPD& spd) {
    if (!bit(b, 6, 0)) spd.DRAMVoltages.push_back(1.5);
    if (bit(b, 6, 1)) spd.DRAMVoltages.push_back(1.35);
    if (bit(b, 6, 2)) spd.DRAMVoltages.push_back(1.25);
}

constexpr TimeAt none{};

constexpr Layout Layouts[] = {
    {5, 0, {{{Time::Nibble, 9}, {Time::Nibble, 23}, {Time::Quarter, 25}}},
     {Time::Ns, 29}, {Time::Ns, 27}, {Time::Ns, 30}, true, "PC%d", Speed::Clock,
     false, 94, 93, 73, 95, 0, 0, 0, false, sdrGeometry, noModuleType,
     [](const TSPDImage& b) { return fromBits(b, SdrCas); }, byte8Voltages},
    {8, 0, {{{Time::Nibble, 9}, {Time::Nibble, 23}, {Time::Nibble, 25}}},
     {Time::Quarter, 29}, {Time::Quarter, 27}, {Time::Ns, 30}, true, "PC%d", Speed::Width,
     true, 94, 93, 73, 95, 0, 0, 0, false, ddrGeometry, noModuleType,
     [](const TSPDImage& b) { return fromBits(b, DdrCas); }, byte8Voltages},
    {9, 0, {{{Time::Ddr2Nibble, 9}, {Time::Ddr2Nibble, 23}, {Time::Ddr2Nibble, 25}}},
     {Time::Quarter, 29}, {Time::Quarter, 27}, {Time::Ns, 30}, true, "PC2-%d", Speed::Width,
     true, 94, 93, 73, 95, 0, 0, 0, false, ddr2Geometry, ddr2ModuleType,
     [](const TSPDImage& b) { return fromBits(b, Ddr2Cas); }, byte8Voltages},
    {10, 8, {{{Time::Mtb, 11}, none, none}},
     {Time::Mtb, 19}, {Time::Mtb, 21}, {Time::MtbWide, 22, 23}, false, "PC2-%d", Speed::FbDimm,
     true, 121, 120, 128, 122, 117, 115, 148, true, fbDimmGeometry, fbDimmModuleType, fbDimmCas, fbDimmVoltages},
    {12, 9, {{{Time::MtbFine, 12, 34}, none, none}},
     {Time::MtbFine, 18, 36}, {Time::MtbFine, 20, 37}, {Time::MtbWide, 21, 22}, true, "DDR3-%d", Speed::Ddr3,
     true, 121, 120, 128, 122, 117, 0, 148, true, ddr3Geometry, ddr3ModuleType,
     [](const TSPDImage& b) { return fromBits(b, Ddr3Cas); }, ddr3Voltages},
};

const Layout* layoutOf(std::uint8_t memoryType) {
    for (const auto& layout : Layouts)
        if (layout.memoryType == memoryType) return &layout;
    return nullptr;
}

int clockOf(double cycleTime) { return cycleTime != 0 ? roundToInt(1000 / cycleTime) : 0; }

std::string speedName(const Layout& layout, const TDecodeSPD& spd) {
    if (spd.CycleTime == 0) return {};
    const double rate = 2000 / spd.CycleTime;
    int value = 0;
    switch (layout.speed) {
    case Speed::Clock:
        if (spd.ClockMHz == 0) return {};
        value = spd.ClockMHz;
        break;
    case Speed::Width:
        // The ECC bits carry no data: a 72-bit module is named by its 64.
        value = roundToInt(std::min(spd.DataWidth, 64) * rate / 8 / 100) * 100;
        break;
    case Speed::FbDimm: value = roundToInt(8 * rate / 100) * 100; break;
    case Speed::Ddr3: value = roundToInt(rate); break;
    }
    return Format(layout.speedPicture, {value});
}

std::string makerAt(const TSPDImage& b, int at) {
    return JedecManufacturerName(b[static_cast<std::size_t>(at)] & 0x7F, b[static_cast<std::size_t>(at + 1)] & 0x7F);
}

// 7Fh bytes count banks, zero bytes are passed over, the first other byte is the code.
std::string walkedMaker(const TSPDImage& b) {
    int continuation = 0;
    for (std::size_t at = 64; at <= 71; ++at) {
        if (b[at] == 0x7F) ++continuation;
        else if (b[at] != 0) return JedecManufacturerName(continuation, b[at]);
    }
    return JedecManufacturerName(continuation, 0);
}

bool checksumRight(const TSPDImage& b, bool crc) {
    if (!crc) return std::accumulate(b.begin(), b.begin() + 63, 0u) % 256 == b[63];
    const std::size_t count = bit(b, 0, 7) ? 117 : 126;
    return SPDCrc16(b.data(), count) == (b[127] << 8 | b[126]);
}

}  // namespace

std::uint16_t SPDCrc16(const std::uint8_t* bytes, std::size_t count) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= static_cast<std::uint16_t>(bytes[i] << 8);
        for (int n = 0; n < 8; ++n) crc = static_cast<std::uint16_t>(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::string JedecManufacturerName(int continuation, int code) {
    if (continuation == 0 && code == 0) return {};
    const auto row = std::find_if(JedecManufacturers.begin(), JedecManufacturers.end(), [&](const auto& r) {
        return r.Continuation == continuation && r.Code == (code & 0x7F);
    });
    if (row == JedecManufacturers.end()) return Format("cont=%d id=%d", {continuation, code});
    return Trim(row->Name);
}

std::string SPDMemoryTypeName(int memoryType) {
    static constexpr const char* names[] = {
        "<Unknown>", "<Reserved>", "Fast Page Mode", "EDO", "Pipelined Nibble", "SDRAM", "ROM", "DDR SGRAM",
        "DDR SDRAM", "DDR2", "DDR2 FB-DIMM", "DDR2 FB-DIMM Probe", "DDR3", "DDR4"};
    return memoryType >= 0 && memoryType < static_cast<int>(std::size(names)) ? names[memoryType] : names[0];
}

std::string SPDModuleTypeName(int moduleType) {
    static constexpr const char* names[] = {
        "<Unknown>", "<Undefined>", "<Reserved>", "RDIMM", "UDIMM", "SO-DIMM", "72b-SO-CDIMM", "72b-SO-RDIMM",
        "Micro-DIMM", "Mini-RDIMM", "Mini-UDIMM", "Mini-CDIMM", "72b-SO-UDIMM", "LRDIMM", "16b-SO-DIMM",
        "32b-SO-DIMM", "FB-DIMM"};
    return moduleType >= 0 && moduleType < static_cast<int>(std::size(names)) ? names[moduleType] : names[0];
}

TDecodeSPD::TDecodeSPD(const TSPDImage& b) {
    if (b[2] <= 12) MemoryType = static_cast<std::uint8_t>(b[2] + 1);
    const Layout* layout = layoutOf(MemoryType);
    if (!layout) return;

    if (layout->timeBaseByte) {
        const std::uint8_t ftb = b[static_cast<std::size_t>(layout->timeBaseByte)];
        const std::uint8_t dividend = b[static_cast<std::size_t>(layout->timeBaseByte + 1)];
        const std::uint8_t divisor = b[static_cast<std::size_t>(layout->timeBaseByte + 2)];
        // A zero divisor leaves its time base, and every time built on it, at 0.
        if (ftb & 0x0F) FTB = (ftb >> 4) / static_cast<double>(ftb & 0x0F) / 1000;
        if (divisor) MTB = dividend / static_cast<double>(divisor);
    }
    CycleTime = decodeTime(b, layout->cycles[0], MTB, FTB);
    CycleTime2 = decodeTime(b, layout->cycles[1], MTB, FTB);
    CycleTime3 = decodeTime(b, layout->cycles[2], MTB, FTB);
    if (layout->clock) {
        ClockMHz = clockOf(CycleTime);
        ClockMHz2 = clockOf(CycleTime2);
        ClockMHz3 = clockOf(CycleTime3);
    }
    CASLatencies = layout->casLatencies(b);
    TRCD = decodeTime(b, layout->trcd, MTB, FTB);
    TRP = decodeTime(b, layout->trp, MTB, FTB);
    TRAS = decodeTime(b, layout->tras, MTB, FTB);
    layout->geometry(b, *this);
    ModuleType = layout->moduleType(b);
    SpeedName = speedName(*layout, *this);
    layout->voltages(b, *this);

    const std::uint8_t week = b[static_cast<std::size_t>(layout->weekByte)];
    const std::uint8_t year = b[static_cast<std::size_t>(layout->yearByte)];
    ManufactureWeek = layout->bcdDate ? bcd(week) : week;
    ManufactureYear = layout->bcdDate ? bcd(year) + 2000 : year + (year >= 70 ? 1900 : 2000);

    ModuleManufacturer = layout->moduleMaker ? makerAt(b, layout->moduleMaker) : walkedMaker(b);
    if (layout->ambMaker) AMBManufacturer = makerAt(b, layout->ambMaker);
    if (layout->dramMaker) DRAMManufacturer = makerAt(b, layout->dramMaker);

    const auto* part = reinterpret_cast<const char*>(b.data() + layout->partAt);
    PartNumber = Trim(std::string_view(part, 18));
    const auto serial = b.begin() + layout->serialAt;
    SerialNumber = Format("%.2x%.2x%.2x%.2x", {int{serial[0]}, int{serial[1]}, int{serial[2]}, int{serial[3]}});
    ChecksumOK = checksumRight(b, layout->crc);
}
