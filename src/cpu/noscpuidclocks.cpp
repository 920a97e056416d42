// Bus speed, core ratio and voltages from the clock MSRs, chosen by the
// processor line code.

#include <algorithm>
#include <initializer_list>

#include "cpu/noscpuidmsr.h"
#include "cpu/cpuidbits.h"

namespace {

bool OneOf(std::uint8_t code, std::initializer_list<int> codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}
bool InRange(std::uint8_t code, int low, int high) { return code >= low && code <= high; }

// A register field looked up in a table; indexes past its end give 0.
template <std::size_t N>
double Lookup(const double (&table)[N], std::uint32_t index) {
    return index < N ? table[index] : 0;
}

constexpr double FsbFromCD[8] = {1066, 533, 800, 667, 1333, 400, 1600, 0};
constexpr double FsbMobileFromCD[8] = {0, 533, 0, 667, 0, 400, 0, 0};
constexpr double FsbFrom2C[8] = {1066, 533, 800, 667, 1333, 0, 0, 0};
constexpr double FsbFrom2A[4] = {66, 133, 100, 0};
constexpr double ViaFsbFrom2A[4] = {0, 133, 100, 0};

constexpr double T6[32] = {5, 3, 4,   2, 5.5, 3.5, 4.5, 2.5, 0, 7,   8, 6, 2, 7.5, 1.5, 6.5,
                           9, 0, 0,   0, 9.5, 0,   8.5, 0,   0, 0,   0, 10};
constexpr double T91[16] = {5, 0, 4, 10, 5.5, 3.5, 4.5, 11, 9, 7, 8, 6, 12, 7.5, 13, 6.5};
constexpr double T92[32] = {5,  16,   0,    10,   5.5,  0,  0,  9.5, 9,  7,    8, 6,    12, 7.5,  8.5, 6.5,
                            9,  11,   12,   10,   13.5, 11.5, 12.5, 10.5, 13, 15, 16, 14, 12, 15.5, 0,   14.5};

std::uint32_t Ratio2A(std::uint64_t msr2A) { return Bits(msr2A, 27, 1) * 16 + Bits(msr2A, 22, 4); }

bool Unread(std::uint64_t msr) { return msr == MsrUnread; }

struct NoteField {
    std::uint64_t TNosCMCPUData::*msr;
    int bit;
};
// FIDn at bits n..n+4 (+0.5 at n+6), VIDn at the six bits below them.
constexpr NoteField NoteFields[8] = {
    {&TNosCMCPUData::Msr198, 8}, {&TNosCMCPUData::Msr198, 24}, {&TNosCMCPUData::Msr198, 40},
    {&TNosCMCPUData::Msr198, 56}, {&TNosCMCPUData::Msr199, 8}, {&TNosCMCPUData::Msr19D, 8},
    {&TNosCMCPUData::MsrCE, 8},   {&TNosCMCPUData::MsrCE, 40},
};

// Geode LX (core field, GLIU field) pairs, in the order they are tried.
struct GeodeRow {
    std::uint8_t core, gliu;
};
constexpr GeodeRow GeodeRows[31] = {
    {4, 4},   {5, 5},   {7, 5},   {7, 7},   {9, 5},   {9, 7},   {9, 9},   {10, 5},  {10, 7},  {10, 9},  {11, 5},
    {11, 7},  {11, 9},  {11, 11}, {12, 7},  {12, 9},  {12, 11}, {13, 7},  {13, 9},  {13, 11}, {14, 7},  {14, 9},
    {14, 11}, {15, 7},  {15, 9},  {15, 11}, {17, 5},  {16, 9},  {16, 11}, {17, 9},  {17, 11},
};
int GeodeCoreMhz(std::uint8_t field) {
    static constexpr struct {
        std::uint8_t field;
        int mhz;
    } speeds[] = {{4, 166},  {5, 200},  {7, 266},  {9, 333},  {10, 366}, {11, 400},
                  {12, 433}, {13, 466}, {14, 500}, {15, 533}, {16, 566}, {17, 600}};
    for (const auto& s : speeds) {
        if (s.field == field) return s.mhz;
    }
    return 0;
}

}  // namespace

double BusSpeedFromMsrs(const TNosCMCPUData& Cpu, std::uint8_t Code) {
    if (!Cpu.MsrsRead) return 0;
    if (InRange(Code, 91, 93)) return Unread(Cpu.Msr2A) ? 0 : ViaFsbFrom2A[Bits(Cpu.Msr2A, 18, 2)];
    if (OneOf(Code, {44, 47, 48, 71, 85, 86}) || InRange(Code, 52, 58))
        return Unread(Cpu.MsrCD) ? 0 : FsbFromCD[Bits(Cpu.MsrCD, 0, 3)];
    if (OneOf(Code, {46, 59, 60})) return Unread(Cpu.MsrCD) ? 0 : FsbMobileFromCD[Bits(Cpu.MsrCD, 0, 3)];
    if (OneOf(Code, {42, 45, 50, 87}) || InRange(Code, 80, 84)) {
        if (Unread(Cpu.Msr2C)) return 0;
        const std::uint32_t model = Cpu.Info.Model;
        if (model <= 1) return Bits(Cpu.Msr2C, 21, 3) == 0 ? 400 : 0;
        if (model == 2 || model == 3 || model == 4 || model == 6) {
            const std::uint32_t field = Bits(Cpu.Msr2C, 16, 3);
            if (field == 0) return model == 2 ? 400 : 1066;
            return FsbFrom2C[field];
        }
        return 0;
    }
    if (OneOf(Code, {43, 49, 51, 90}) || InRange(Code, 76, 79)) {
        if (Unread(Cpu.Msr2A)) return 0;
        return FsbFrom2A[Bits(Cpu.Msr2A, 18, 2)] * (Code == 49 ? 4 : 1);
    }
    return 0;
}

double RatioFromMsrs(const TNosCMCPUData& Cpu, std::uint8_t Code) {
    if (!Cpu.MsrsRead) return 0;
    if (Code == 91) return Unread(Cpu.Msr2A) ? 0 : Lookup(T91, Bits(Cpu.Msr2A, 22, 4));
    if (Code == 92) return Unread(Cpu.Msr2A) ? 0 : Lookup(T92, Ratio2A(Cpu.Msr2A));
    if (Code == 93) return Unread(Cpu.Msr2A) ? 0 : Ratio2A(Cpu.Msr2A);
    if (OneOf(Code, {46, 52, 53, 54, 56, 58, 59, 71, 81, 84, 85, 86, 88})) {
        if (Unread(Cpu.Msr198)) return 0;
        const bool half = Bits(Cpu.Msr198, 46, 1) != 0 && Code != 71;
        return Bits(Cpu.Msr198, 40, 5) + (half ? 0.5 : 0);
    }
    if (InRange(Code, 62, 70)) return Unread(Cpu.MsrCE) ? 0 : Bits(Cpu.MsrCE, 8, 8);
    if (OneOf(Code, {42, 45, 50, 80, 82, 83, 87})) {
        const std::uint32_t model = Cpu.Info.Model;
        if (Unread(Cpu.Msr2C) || !(model == 2 || model == 3 || model == 4 || model == 6)) return 0;
        return Bits(Cpu.Msr2C, 24, 8);
    }
    if (OneOf(Code, {43, 51, 90}) || InRange(Code, 76, 79))
        return Unread(Cpu.Msr2A) ? 0 : Lookup(T6, Ratio2A(Cpu.Msr2A));
    return 0;
}

double VidToVoltage(std::uint16_t Vid) {
    if (Vid == 0) return 0;
    return 1.6 - (static_cast<double>(~Vid & 0x3F) - 1) * 0.0125;
}

double IntelNoteRatio(const TNosCMCPUData& Cpu, int Index) {
    const NoteField f = NoteFields[Index];
    const std::uint64_t msr = Cpu.*f.msr;
    return Bits(msr, f.bit, 5) + (Bits(msr, f.bit + 6, 1) ? 0.5 : 0);
}

double IntelNoteVoltage(const TNosCMCPUData& Cpu, int Index) {
    const NoteField f = NoteFields[Index];
    return VidToVoltage(static_cast<std::uint16_t>(Bits(Cpu.*f.msr, f.bit - 8, 6)));
}

int GeodeCoreSpeed(const TNosCMCPUData& Cpu, std::uint8_t Code) {
    if (!Cpu.MsrsRead || Code != 11 || Unread(Cpu.Msr4C000014)) return 0;
    const auto high = static_cast<std::uint32_t>(Cpu.Msr4C000014 >> 32);
    const std::uint32_t core = Bits(high, 1, 5), gliu = Bits(high, 7, 5);
    for (const GeodeRow& row : GeodeRows) {
        const int mhz = GeodeCoreMhz(row.core);
        if (mhz != 0 && row.core == core && row.gliu == gliu) return mhz;
    }
    return 0;
}
