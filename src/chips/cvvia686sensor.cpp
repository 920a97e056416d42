#include "chips/cvvia686sensor.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "chips/cvchipaccess.h"
#include "chips/cvchipconv.h"

namespace {

constexpr std::array<int, 256> VIATempTable = {
    -709, -688, -667, -646, -627, -607, -589, -570, -553, -536, -519, -503, -487, -471, -456, -442,
    -428, -414, -400, -387, -375, -362, -350, -339, -327, -316, -305, -295, -285, -275, -265, -255,
    -246, -237, -229, -220, -212, -204, -196, -188, -180, -173, -166, -159, -152, -145, -139, -132,
    -126, -120, -114, -108, -102, -96,  -91,  -85,  -80,  -74,  -69,  -64,  -59,  -54,  -49,  -44,
    -39,  -34,  -29,  -25,  -20,  -15,  -11,  -6,   -2,   3,    7,    12,   16,   20,   25,   29,
    33,   37,   42,   46,   50,   54,   59,   63,   67,   71,   75,   79,   84,   88,   92,   96,
    100,  104,  109,  113,  117,  121,  125,  130,  134,  138,  142,  146,  151,  155,  159,  163,
    168,  172,  176,  181,  185,  189,  193,  198,  202,  206,  211,  215,  219,  224,  228,  232,
    237,  241,  245,  250,  254,  259,  263,  267,  272,  276,  281,  285,  290,  294,  299,  303,
    307,  312,  316,  321,  325,  330,  334,  339,  344,  348,  353,  357,  362,  366,  371,  376,
    380,  385,  390,  395,  399,  404,  409,  414,  419,  423,  428,  433,  438,  443,  449,  454,
    459,  464,  469,  475,  480,  486,  491,  497,  502,  508,  514,  520,  526,  532,  538,  544,
    551,  557,  564,  571,  578,  584,  592,  599,  606,  614,  621,  629,  637,  645,  654,  662,
    671,  680,  689,  698,  708,  718,  728,  738,  749,  759,  770,  782,  793,  805,  818,  830,
    843,  856,  870,  883,  898,  912,  927,  943,  958,  975,  991,  1008, 1026, 1044, 1062, 1081,
    1101, 1121, 1141, 1162, 1184, 1206, 1229, 1252, 1276, 1301, 1326, 1352, 1378, 1406, 1434, 1462,
};

// Where a 10-bit temperature's two low bits live; mask 0 means none.
struct TTempChannel {
    std::uint8_t high, lowReg, lowMask;
    int lowShift;
};
constexpr TTempChannel VT686Temps[] = {{0x20, 0x4B, 0xC0, 6}, {0x21, 0x49, 0x30, 4}, {0x1F, 0x49, 0xC0, 6}};
constexpr TTempChannel VT8231Temps[] = {{0x1F, 0x49, 0xC0, 6}, {0x20, 0, 0, 0},       {0x21, 0x49, 0x30, 4},
                                        {0x22, 0x4D, 0x03, 0}, {0x23, 0x4D, 0x0C, 2}, {0x24, 0x4D, 0x30, 4},
                                        {0x25, 0x4D, 0xC0, 6}};
constexpr double VT686Correction = 2.0;
constexpr std::uint8_t ChannelGates = 0x4A;  // bit k-1 enables channel k of 3-7

struct TVolt {
    std::uint8_t reg;
    double factor, offset;
};
constexpr TVolt VT686Volts[] = {{0x22, 0.01224790716, 0.005801588712},
                                {0x24, 0.016267395072, 0.005985425408},
                                {0x25, 0.0252275427, 0.00644210478},
                                {0x26, 0.06113055534, 0.00835214556}};

constexpr std::uint8_t FanCounts[] = {0x29, 0x2A};
constexpr std::uint8_t FanDivisors = 0x47;
constexpr std::uint8_t PwmRegs[] = {0x60, 0x61};
constexpr std::uint8_t SMBusAddressReg = 0x48;

double WholePercent(int duty) { return std::nearbyint(chipconv::DutyToPercent(duty, chipconv::DutyScale8)); }

}  // namespace

double VIATableTemperature(int value10) {
    const int b = value10 / 4;
    const int c = value10 % 4;
    if (b <= 0) return VIATempTable[0] / 10.0;
    if (b >= 255) return VIATempTable[255] / 10.0;
    if (c == 0) return VIATempTable[static_cast<std::size_t>(b)] / 10.0;
    const double low = VIATempTable[static_cast<std::size_t>(b)];
    const double high = VIATempTable[static_cast<std::size_t>(b + 1)];
    return ((4 - c) * 25 * low + c * 25 * high) / 100 / 10;
}

TVIA686Sensor::TVIA686Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                             std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FFans.resize(2);
    if (FChipCode == ChipVT82C686) {
        FChipName = "VIA VT82C686";
        FTemps.resize(std::size(VT686Temps));
        for (const char* name : {"Core", "+3.3V", "+5V", "+12V"}) FVolts.push_back(TReading{name, nullptr});
    } else {
        FChipName = FChipCode == ChipVT1211 ? "VIA VT1211" : "VIA VT8231";
        FTemps.resize(std::size(VT8231Temps));
        FTemps[0].Name = "CPU diode";
        if (FChipCode == ChipVT1211) FPwms.resize(std::size(PwmRegs));
    }
    FinishReadingSetup();
}

bool TVIA686Sensor::UsesLinkRegisters() const {
    return FLink && (FLink->LinkKind() == LinkKinds::ISAFlat || FLink->LinkKind() == LinkKinds::SMBus);
}

std::optional<std::uint8_t> TVIA686Sensor::Read(std::uint8_t reg) {
    if (UsesLinkRegisters()) return ReadChipByte(FLink, static_cast<int>(FAddress), reg);
    if (!FLink) return std::nullopt;
    return FLink->ReadPort(static_cast<std::uint16_t>(FAddress + reg), 0xFF);
}

bool TVIA686Sensor::Write(std::uint8_t reg, std::uint8_t value) {
    if (UsesLinkRegisters()) return WriteChipByte(FLink, static_cast<int>(FAddress), reg, value);
    if (!FLink) return false;
    FLink->WritePort(static_cast<std::uint16_t>(FAddress + reg), value);
    return true;
}

std::uint16_t TVIA686Sensor::GetReportedSMBus() {
    if (FChipCode != ChipVT8231) return 0xFFFF;
    TChipAccess access(FLink);
    const auto reg = Read(SMBusAddressReg);
    return reg ? static_cast<std::uint16_t>(*reg & 0x7F) : 0xFFFF;
}

void TVIA686Sensor::ReadTempsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    const bool vt686 = FChipCode == ChipVT82C686;
    const std::span<const TTempChannel> channels = vt686 ? std::span<const TTempChannel>(VT686Temps)
                                                         : std::span<const TTempChannel>(VT8231Temps);
    const auto gates = vt686 ? std::optional<std::uint8_t>(0xFF) : Read(ChannelGates);
    for (std::size_t k = 0; k < channels.size(); ++k) {
        if (!vt686 && k >= 2 && !(gates && (*gates >> k) & 1)) continue;
        const TTempChannel& ch = channels[k];
        const auto high = Read(ch.high);
        if (!high) continue;
        int low = 0;
        if (ch.lowMask) {
            const auto lowReg = Read(ch.lowReg);
            if (!lowReg) continue;
            low = chipconv::GetField(*lowReg, ch.lowMask, ch.lowShift);
        }
        const int v = 4 * *high + low;
        if (vt686)
            values[k] = VIATableTemperature(v) - VT686Correction;
        else
            values[k] = FChipCode == ChipVT1211 ? v / 10.0 : VIATableTemperature(v);
    }
}

void TVIA686Sensor::ReadFansInternal(std::span<double> values) {
    TChipAccess access(FLink);
    const double clock = FChipCode == ChipVT82C686 ? 1350000.0 : 1310720.0;
    const auto divisors = Read(FanDivisors);
    if (!divisors) return;
    const int codes[] = {chipconv::GetField(*divisors, 0x30, 4), chipconv::GetField(*divisors, 0xC0, 6)};
    for (std::size_t i = 0; i < std::size(FanCounts); ++i)
        if (const auto count = Read(FanCounts[i]))
            values[i] = chipconv::FanRpmDivided(clock, *count, chipconv::DivisorFromCode(codes[i]), chipconv::NoFan8Bit);
}

void TVIA686Sensor::ReadPwmsInternal(std::span<double> values) {
    if (FChipCode != ChipVT1211) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < std::size(PwmRegs); ++i)
        if (const auto duty = Read(PwmRegs[i])) values[i] = WholePercent(*duty);
}

void TVIA686Sensor::ReadVoltsInternal(std::span<double> values) {
    if (FChipCode != ChipVT82C686) return;
    TChipAccess access(FLink);
    for (std::size_t i = 0; i < std::size(VT686Volts); ++i)
        if (const auto raw = Read(VT686Volts[i].reg)) values[i] = *raw * VT686Volts[i].factor + VT686Volts[i].offset;
}

double TVIA686Sensor::SetPwmInternal(int index, double percent) {
    if (FChipCode != ChipVT1211 || index < 1 || index > static_cast<int>(std::size(PwmRegs))) return 0;
    TChipAccess access(FLink);
    const std::uint8_t reg = PwmRegs[index - 1];
    if (!Write(reg, static_cast<std::uint8_t>(chipconv::PercentToDuty(percent, chipconv::DutyScale8)))) return 0;
    const auto back = Read(reg);
    return back ? WholePercent(*back) : 0;
}
