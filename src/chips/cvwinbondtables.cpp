#include "chips/cvwinbondtables.h"

#include "chips/cvwinbond.h"

#include <algorithm>

namespace winbond {
namespace {

using S = std::vector<std::string>;
using DP = DivisorPrefix;

S Unnamed(int n) { return S(static_cast<std::size_t>(n)); }

S Numbered(const std::string& prefix, int first, int last) {
    S names;
    for (int i = first; i <= last; ++i) names.push_back(prefix + std::to_string(i));
    return names;
}

template <class T>
std::vector<T> Join(std::vector<T> a, const std::vector<T>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Fans 0-2 of the classic chips; fan n's third bit, when the chip has it, is 5Dh bit 5 + n.
std::vector<TDivisorField> ClassicFields(bool high, int fans = 3) {
    std::vector<TDivisorField> f = {{0x47, 0x30, 4}, {0x47, 0xC0, 6}, {0x4B, 0xC0, 6}};
    f.resize(static_cast<std::size_t>(fans));
    if (high)
        for (std::size_t i = 0; i < f.size(); ++i) f[i].highReg = 0x5D, f[i].highBit = static_cast<std::uint8_t>(5 + i);
    return f;
}

std::vector<TDivisorField> W83791Fields() {
    auto f = ClassicFields(true);
    f.push_back({0x5C, 0x07, 0});
    f.push_back({0x5C, 0x70, 4});
    return f;
}

const TDivisors EHFDivisors{
    {{0x47, 0x30, 4, 0x5D, 5}, {0x47, 0xC0, 6, 0x5D, 6}, {0x4B, 0xC0, 6, 0x5D, 7}, {0x59, 0x03, 0, 0x4C, 7},
     {0x59, 0x0C, 2, 0x59, 7}},
    7, DP::Bank0, DP::Bank0};
const TDivisors ClassicHigh{ClassicFields(true), 7, DP::Bank4E, DP::Bank4E};
const TDivisors ClassicLow{ClassicFields(false), 3, DP::None, DP::Bank4E};
const TDivisors NoDivisors{};

using F = TFanSource;
using enum FanForm;

// Fans 0-7 enabled by 06h bits 0-7, fans 8-13 by 07h bits 0-5.
const TFanTable FansW83795G = [] {
    TFanTable t{{BankSwitch::Field, NoBank, -1, false, GroupEntry::Probe00, {0x06, 0x07}}, -1, {}};
    for (int i = 0; i < 14; ++i) {
        const auto bit = static_cast<std::uint8_t>(1 << (i % 8));
        t.inputs.push_back(F{static_cast<std::uint8_t>(0x2E + i), NoBank, Count12Latched,
                             {static_cast<std::uint8_t>(i < 8 ? 0x06 : 0x07), bit, bit}, 0x3C});
    }
    return t;
}();
const TFanTable FansW83793G = [] {
    TFanTable t{{BankSwitch::Field, NoBank, -1, false, GroupEntry::Bank00}, -1, {}};
    for (int i = 0; i < 12; ++i) t.inputs.push_back(F{static_cast<std::uint8_t>(0x23 + 2 * i), NoBank, Count12Pair});
    return t;
}();
const TFanTable FansNCT6106D{{BankSwitch::Field, NoBank, -1, false}, -1,
                             {F{0x20, 0, Count13}, F{0x22, 0, Count13}, F{0x24, 0, Count13}}};
const TFanTable FansNCT6779D{{BankSwitch::Field, NoBank, 0x3A, true}, -1,
                             {F{0xC0, 4, Speed}, F{0xC2, 4, Speed}, F{0xC4, 4, Speed}, F{0xC6, 4, Speed},
                              F{0xC8, 4, Speed}}};
const std::vector<F> Bank6Speeds = {F{0x56, 6, Speed}, F{0x58, 6, Speed}, F{0x5A, 6, Speed}, F{0x5C, 6, Speed},
                                    F{0x5E, 6, Speed}};
// The NCT6776F reads A4h for a fan that is not turning.
const TFanTable FansNCT6776F{{BankSwitch::Field, 0, -1, false}, 0xA4, Bank6Speeds};
const TFanTable FansW83677HG{{BankSwitch::Field, 0, -1, false}, -1, Bank6Speeds};
const TFanTable FansADP3228{{BankSwitch::Field, NoBank, -1, false}, -1, {F{0x51, NoBank, Count16}}};
// Fan 5 counts in bank 5.
const TFanTable FansW83627EHF{{BankSwitch::Field, 0, -1, false}, -1,
                              {F{0x28, 0}, F{0x29, 0}, F{0x2A, 0}, F{0x3F, 0}, F{0x53, 5}}};
const TFanTable FansDivided{{BankSwitch::Field, NoBank, -1, false}, -1,
                            {F{0x28}, F{0x29}, F{0x2A}}};
// Fans 4 and 5 in bank 0, 4Eh written whole.
const TFanTable FansW83791D{{BankSwitch::Whole, NoBank, -1, false}, -1,
                            {F{0x28}, F{0x29}, F{0x2A}, F{0xBA, 0}, F{0xBB, 0}}};
const TFanTable FansW83792D{{BankSwitch::Field, NoBank, -1, false}, -1,
                            {F{0x28}, F{0x29}, F{0x2A}, F{0xB8}, F{0xB9}, F{0xBA}, F{0xBE}}};

using T = TTempSource;
using enum TempForm;

// Quarter degrees in 3Ch bits 7:6, latched by the read of the input; each
// input enabled by its bits of 04h or 05h.
T W83795Temp(int reading, int reg, int gateReg, int gateMask) {
    const auto mask = static_cast<std::uint8_t>(gateMask);
    return T{reading, static_cast<std::uint8_t>(reg), NoBank, Quarter, 0x3C, 6,
             {static_cast<std::uint8_t>(gateReg), mask, mask}};
}
const TTempTable TempsW83795G = [] {
    TTempTable t{{BankSwitch::Field, NoBank, -1, false, GroupEntry::Probe00, {0x04, 0x05}},
                 {W83795Temp(0, 0x1F, 0x04, 0x03), W83795Temp(1, 0x20, 0x04, 0x0C)}};
    for (int i = 0; i < 8; ++i) t.inputs.push_back(W83795Temp(6 + i, 0x26 + i, 0x04, 0x20));
    for (int i = 0; i < 4; ++i) t.inputs.push_back(W83795Temp(2 + i, 0x21 + i, 0x05, 1 << (2 * i)));
    return t;
}();
// Quarter degrees of the diodes in 22h, two bits each.
const TTempTable TempsW83793G{{BankSwitch::Field, NoBank, -1, false, GroupEntry::Bank00, {}, 0x22},
                              {T{0, 0x1C, NoBank, Quarter, 0x22, 0}, T{1, 0x1D, NoBank, Quarter, 0x22, 2},
                               T{2, 0x1E, NoBank, Quarter, 0x22, 4}, T{3, 0x1F, NoBank, Quarter, 0x22, 6},
                               T{4, 0x20}, T{5, 0x21}}};
const TTempTable TempsW83L784R{{BankSwitch::Field, NoBank, -1, false}, {T{0, 0x27}}};
const TTempTable TempsW83L785R{{BankSwitch::Field, NoBank, -1, false}, {T{1, 0x26}, T{0, 0x27}}};
const TTempTable TempsMozart2{{BankSwitch::Field, NoBank, -1, false}, {T{0, 0x27}, T{1, 0x13}}};

// System in bank 0, CPU and AUX in banks 1 and 2; bank 0 selected after.
std::vector<T> ClassicTemps(T system) {
    return {system, T{1, 0x50, 1, HalfDegree, 0x51}, T{2, 0x50, 2, HalfDegree, 0x51}};
}
TTempTable ClassicTable(std::vector<T> inputs) {
    return {{BankSwitch::Field, 0, -1, false}, std::move(inputs)};
}
const TTempTable TempsClassic = ClassicTable(ClassicTemps(T{0, 0x27, 0}));
const TTempTable TempsW83667HGB = ClassicTable(ClassicTemps(T{0, 0x27, 0, HalfDegree, 0x7C}));
// SMIOVT4-6 in bank 6, their half degrees in bits 0-2 of 2Eh.
const TTempTable TempsNCT6776F = ClassicTable(Join(
    ClassicTemps(T{0, 0x27, 0}),
    {T{3, 0x2B, 6, HalfBit, 0x2E, 0}, T{4, 0x2C, 6, HalfBit, 0x2E, 1}, T{5, 0x2D, 6, HalfBit, 0x2E, 2}}));
const TTempTable TempsASB100 = ClassicTable(Join(ClassicTemps(T{0, 0x27, 0}), {T{3, 0x17, 0}}));

const TTempTable TempsNCT6106D{{BankSwitch::Field, NoBank, -1, false},
                               {T{0, 0x10, 0, HalfBit, 0x16, 0}, T{1, 0x11, 0, HalfBit, 0x16, 1},
                                T{2, 0x12, 0, HalfBit, 0x16, 2}, T{3, 0x13, 0, HalfBit, 0x16, 3},
                                T{4, 0x14, 0, HalfBit, 0x16, 4}, T{5, 0x15, 0, HalfBit, 0x16, 5}}};
const TTempTable TempsNCT6792D{{BankSwitch::Field, NoBank, -1, false},
                               {T{0, 0x90, 4}, T{1, 0x91, 4}, T{2, 0x92, 4}, T{3, 0x93, 4}, T{4, 0x94, 4}, T{5, 0x95, 4}}};
const TTempTable TempsNCT6779D{{BankSwitch::Field, NoBank, 0x10, true},
                               {T{0, 0x27, 0}, T{1, 0x50, 1, HalfDegree, 0x51}, T{2, 0x92, 4}, T{3, 0x93, 4},
                                T{4, 0x94, 4}, T{5, 0x95, 4}}};
// CPU in bank 1 through 4Eh written whole.
const TTempTable TempsW83783S{{BankSwitch::Whole, 0, -1, false},
                              {T{0, 0x27}, T{1, 0x50, 1, HalfDegree, 0x51}}};
const TTempTable TempsW83791D{{BankSwitch::Field, NoBank, -1, false},
                              {T{0, 0x27, 0}, T{1, 0xC0, 0, HalfDegree, 0xC1}, T{2, 0xC8, 0, HalfDegree, 0xC9}}};

using V = TVoltSource;
constexpr std::nullopt_t Unread = std::nullopt;

// Inputs 10h-12h take two low bits each from 1Bh.
V W83793Fine(int i) {
    V v{static_cast<std::uint8_t>(0x10 + i), NoBank, 0.002};
    v.low = 0x1B, v.lowMask = 0x03, v.lowShift = static_cast<std::uint8_t>(2 * i);
    return v;
}
const TVoltTable VoltsW83793G{{BankSwitch::Field, NoBank, -1, false, GroupEntry::None, {}, 0x1B}, false,
                              {W83793Fine(0), W83793Fine(1), W83793Fine(2), V{0x14, NoBank, 0.016}, V{0x15, NoBank, 0.016},
                               V{0x16, NoBank, 0.016}, V{0x17, NoBank, 0.008}, V{0x18, NoBank, 0.024, 0.15},
                               V{0x19, NoBank, 0.024, 0.15}, V{0x1A, NoBank, 0.016}}};
// (register x 4 + the whole of 3Ch, latched by the register read) x factor;
// each input enabled by its bit of 02h or 03h, or by mode bits 10b in 04h or 05h.
V W83795Input(int reg, double factor, int gateReg, int gateMask, int gateValue) {
    V v{static_cast<std::uint8_t>(reg), NoBank, factor};
    v.gate = {static_cast<std::uint8_t>(gateReg), static_cast<std::uint8_t>(gateMask),
              static_cast<std::uint8_t>(gateValue)};
    v.low = 0x3C;
    return v;
}
const TVoltTable VoltsW83795G = [] {
    TVoltTable t{{BankSwitch::Field, NoBank, -1, false, GroupEntry::Probe00, {0x02, 0x03, 0x04, 0x05}}, false, {}};
    for (int i = 0; i < 8; ++i) t.inputs.push_back(W83795Input(0x10 + i, 0.002, 0x02, 1 << i, 1 << i));
    for (int i = 0; i < 4; ++i) t.inputs.push_back(W83795Input(0x18 + i, 0.002, 0x03, 1 << i, 1 << i));
    for (int i = 0; i < 3; ++i) t.inputs.push_back(W83795Input(0x1C + i, 0.006, 0x03, 0x10 << i, 0x10 << i));
    const int modeRegs[] = {0x04, 0x04, 0x05, 0x05, 0x05, 0x05}, modeShifts[] = {0, 2, 0, 2, 4, 6};
    for (int i = 0; i < 6; ++i)
        t.inputs.push_back(W83795Input(0x1F + i, 0.002, modeRegs[i], 3 << modeShifts[i], 2 << modeShifts[i]));
    return t;
}();
const TVoltTable VoltsW83667HGB{
    {BankSwitch::Field, NoBank, -1, false}, false,
    {V{0x50, 5, 0.016}, V{0x51, 5, 0.016}, V{0x20, 0, 0.008}, V{0x21, 0, 0.008 * 6.6}, V{0x22, 0, 0.016},
     V{0x23, 0, 0.016}}};
const TVoltTable VoltsNCT6776F{
    {BankSwitch::Field, NoBank, -1, false}, false,
    {V{0x50, 5, 0.008, 0, 0}, V{0x51, 5, 0.008, 0, 1}, V{0x20, 0, 0.008, 0, 2}, V{0x21, 0, 0.008, 0, 3},
     V{0x22, 0, 0.008, 0, 4}, V{0x23, 0, 0.008, 0, 5}, V{0x24, 0, 0.008, 0, 6}, V{0x25, 0, 0.008, 0, 7},
     V{0x26, 0, 0.008, 0, 8}}};
const TVoltTable VoltsW83627EHF{{BankSwitch::Field, NoBank, -1, false}, false,
                                {V{0x20, NoBank, 0.008}, V{0x21, NoBank, 0.008 * 66 / 10}, V{0x22, NoBank, 0.008 * 2}}};
// Vcore reads VRM9 when 18h bit 0 is set.
const TVoltTable VoltsW83627THF{
    {BankSwitch::Whole, 0, -1, false}, false,
    {V{0x20, NoBank, 0.016, 0, -1, 0x18, 0.00488, 0.70}, V{0x21, NoBank, 0.016 * 3.8}, V{0x22, NoBank, 0.016},
     V{0x23, NoBank, 0.016 * 1.66666666666667}, Unread, V{0x50, 5, 0.016 * 1.66666666666667}, Unread}};
const TVoltTable VoltsMozart2{{BankSwitch::Field, NoBank, -1, false}, false,
                              {V{0x20, NoBank, 0.016}, V{0x22, NoBank, 0.016}, V{0x23, NoBank, 0.016 * 1.68},
                               V{0x24, NoBank, 0.016 * 4}}};
const TVoltTable VoltsW83L784R{{BankSwitch::Field, NoBank, -1, false}, false,
                               {V{0x20, NoBank, 0.016}, V{0x21, NoBank, 0.016 * 3.34343434343434}, V{0x22, NoBank, 0.016},
                                V{0x23, NoBank, 0.016 * 1.68}}};
const TVoltTable VoltsW83L785R{{BankSwitch::Field, NoBank, -1, false}, false,
                               {V{0x20, NoBank, 0.008}, V{0x21, NoBank, 0.008 * 2}, V{0x22, NoBank, 0.008},
                                V{0x23, NoBank, 0.008 * 3}}};
// raw x 0.016 x the sensor's factor k + its offset k.
V ClassicInput(std::uint8_t reg, int k, int bank = NoBank) { return V{reg, bank, 0.016, 0, k}; }
const TVoltTable VoltsClassic{{BankSwitch::Whole, 0, -1, false}, true,
                              {ClassicInput(0x20, 0), ClassicInput(0x21, 1), ClassicInput(0x22, 2),
                               ClassicInput(0x23, 3), ClassicInput(0x24, 4), ClassicInput(0x25, 5),
                               ClassicInput(0x26, 6), ClassicInput(0x50, 7, 5), ClassicInput(0x51, 8, 5)}};
const TVoltTable VoltsW83783S{{BankSwitch::Whole, 0, -1, false}, true,
                              {ClassicInput(0x20, 1), ClassicInput(0x22, 2), ClassicInput(0x23, 3),
                               ClassicInput(0x24, 4), ClassicInput(0x25, 5), ClassicInput(0x26, 6),
                               ClassicInput(0x50, 7, 5), ClassicInput(0x51, 8, 5)}};
const TVoltTable VoltsW83637HF{{BankSwitch::Whole, 0, -1, false}, true,
                               {ClassicInput(0x20, 0), ClassicInput(0x21, 1), ClassicInput(0x22, 2),
                                ClassicInput(0x23, 3), ClassicInput(0x24, 4), ClassicInput(0x50, 5, 5),
                                ClassicInput(0x51, 6, 5)}};
const TVoltTable VoltsW83792D{{BankSwitch::Field, NoBank, -1, false}, false,
                              {V{0x20, NoBank, 0.008}, V{0x21, NoBank, 0.008}, V{0x22, NoBank, 0.016}}};
// raw x 0.008 x the sensor's factor n.
V NuvotonInput(std::uint8_t reg, int n, int bank) { return V{reg, bank, 0.008, 0, n}; }
const TVoltTable VoltsNCT6106D{{BankSwitch::Field, NoBank, -1, true}, false,
                               {NuvotonInput(0x00, 0, 0), NuvotonInput(0x01, 1, 0), NuvotonInput(0x02, 2, 0),
                                NuvotonInput(0x03, 3, 0), NuvotonInput(0x04, 4, 0), NuvotonInput(0x05, 5, 0),
                                NuvotonInput(0x07, 6, 0), NuvotonInput(0x08, 7, 0)}};
const TVoltTable VoltsNCT6779D = [] {
    TVoltTable t{{BankSwitch::Field, NoBank, 0, true}, false, {}};
    for (int n = 0; n < 15; ++n) t.inputs.push_back(NuvotonInput(static_cast<std::uint8_t>(0x80 + n), n, 4));
    return t;
}();

using PS = PwmScale;
using PE = PwmEntry;

const std::vector<TPwmModeBit> EHFModes = {{0x04, 0}, {0x04, 1}, {0x12, 0}, {0x62, 6}};
const TPwmOutputs PwmW83793G{PE::Clear00, PE::Clear00, {0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA}, PS::Six};
const TPwmOutputs PwmW83627THF{PE::Bank4E, PE::Bank4E, {0x01, 0x03, 0x11}, PS::HighNibble};
// Bit 7 enables the output.
const TPwmOutputs PwmAS99127F{PE::Bank4E, PE::Bank4E, {0x59, 0x5A}, PS::LowNibble, {}, {}, 0x80};
const TPwmOutputs PwmW83791D{PE::Bank4E, PE::Bank4E, {0x81, 0x83, 0x94, 0xA0, 0xA1}, PS::Full};
const TPwmOutputs PwmW83782D{PE::Bank4E, PE::Bank4E, {0x5B, 0x5A, 0x5E, 0x5F}, PS::Full};
const TPwmOutputs PwmW83627HF{PE::Bank4E, PE::Bank4E, {0x5A, 0x5B}, PS::Full};
const TPwmOutputs PwmW83697HF{PE::Bank4E, PE::Bank4E, {0x01, 0x03}, PS::Full};
const TPwmOutputs PwmW83637HF{PE::Bank4E, PE::Bank4E, {0x01, 0x03, 0x11}, PS::Full};
// 84h holds each output's mode; only a manual one takes a duty.
const TPwmOutputs PwmW83L784R{PE::None, PE::None, {0x81, 0x83}, PS::Full, {}, {}, 0, 0x84};
const TPwmOutputs PwmW83L785R{PE::None, PE::None, {0x81, 0x83}, PS::Full};
const TPwmOutputs PwmW83792D{PE::Bank4E, PE::Bank4E, {0x81, 0x83, 0x94, 0xA3, 0xA4, 0xA5}, PS::LowNibble};
const TPwmOutputs PwmW83627EHF{PE::Bank0, PE::Bank4E, {0x01, 0x03, 0x11, 0x61}, PS::ModeDependent, EHFModes,
                               {}, 0, -1, false, false};
// Each output's duty is written at 09h of the bank of its number.
const TPwmOutputs PwmNCT6776F{PE::Bank0, PE::Bank0, {0x01, 0x03, 0x11}, PS::ModeDependent, EHFModes,
                              {{1, 0x09}, {2, 0x09}, {3, 0x09}}, 0, -1, false, false};
const TPwmOutputs PwmNCT6779D{PE::Bank0, PE::None, {0x01, 0x03, 0x11, 0x13, 0x15, 0x17}, PS::Full, {},
                              {{1, 0x09}, {2, 0x09}, {3, 0x09}, {8, 0x09}, {9, 0x09}, {10, 0x09}}, 0, -1, true};
const TPwmOutputs PwmNCT6106D{PE::Bank0, PE::None, {0x4A, 0x4B, 0x4C}, PS::Full, {},
                              {{1, 0x19}, {1, 0x29}, {1, 0x39}}};

using TPropRows = std::vector<TPropRow>;

std::uint8_t PropByte(int v) { return static_cast<std::uint8_t>(v); }
TPropPart PropPart(int bank, int reg, int mask, int shift, int valueShift) {
    return {bank, PropByte(reg), PropByte(mask), PropByte(shift), PropByte(valueShift)};
}
TPropRow PropFieldRow(int id, int bank, int reg, int mask, int shift, int setMask = 0) {
    return {id, {TPropPart{bank, PropByte(reg), PropByte(mask), PropByte(shift), 0, PropByte(setMask)}}};
}
TPropRow PropBitFieldRow(int id, int bank, int reg, int bit) { return PropFieldRow(id, bank, reg, 1 << bit, bit); }
template <class Make>
TPropRows PropRowsFor(const std::vector<int>& ids, std::size_t count, Make make) {
    TPropRows rows;
    for (std::size_t k = 0; k < count && k < ids.size(); ++k) rows.push_back(make(ids[k], static_cast<int>(k)));
    return rows;
}
TPropRows PropRowsNeedingIsaBase(TPropRows rows) {
    for (TPropRow& row : rows) row.needsIsaBase = true;
    return rows;
}

const std::vector<int> PropModeIds = {13, 14, 19, 102, 103, 121, 122, 123};
const std::vector<int> PropDiodeIds = {1, 2, 3};
const std::vector<int> PropClockIds = {4, 5, 6, 7};
const std::vector<int> PropOutputKindIds = {116, 117, 118, 119};

// Sensor type n: 59h bit 4 + n, with the bit above it in 5Dh bit 1 + n.
const TPropRows ClassicDiodes = PropRowsFor(PropDiodeIds, 3, [](int id, int k) {
    return TPropRow{id, {PropPart(NoBank, 0x59, 0x10 << k, 4 + k, 0), PropPart(NoBank, 0x5D, 0x02 << k, 1 + k, 1)}, false, true};
});
const TPropRows W83783SDiodes = PropRowsFor(PropDiodeIds, 2, [](int id, int k) {
    return TPropRow{id, {PropPart(NoBank, 0x59, 0x20 >> k, 5 - k, 0), PropPart(NoBank, 0x5D, 0x04 >> k, 2 - k, 1)}, false, true};
});
const TPropRows W83L785RDiodes = PropRowsFor(PropDiodeIds, 2, [](int id, int k) {
    TPropRow row = PropFieldRow(id, NoBank, 0x52, 0x03 << (2 * k), 2 * k);
    row.clearsBank4E = true;
    return row;
});

const TPropRows W83782DClocks = PropRowsFor(PropClockIds, 4, [](int id, int k) {
    const int banks[] = {0, 0, 4, 4}, masks[] = {0x70, 0x07, 0x07, 0x70}, shifts[] = {4, 0, 0, 4};
    TPropRow row = PropFieldRow(id, banks[k], 0x5C, masks[k], shifts[k]);
    row.readOnly = true;
    return row;
});
const TPropRows W83627HFClocks = PropRowsFor(PropClockIds, 2, [](int id, int k) {
    return PropFieldRow(id, NoBank, 0x5C, k == 0 ? 0x07 : 0x70, k == 0 ? 0 : 4);
});
const TPropRows W83697HFClocks = PropRowsFor(PropClockIds, 2, [](int id, int k) {
    return PropFieldRow(id, NoBank, k == 0 ? 0x00 : 0x02, 0xFF, 0);
});
// A divider of 0 or 128 stops the output.
const TPropRows EHFClocks = PropRowsFor(PropClockIds, 4, [](int id, int k) {
    const int regs[] = {0x00, 0x02, 0x10, 0x60};
    TPropRow row = PropFieldRow(id, 0, regs[k], 0xFF, 0);
    row.refused = {0, 128};
    return row;
});

const TPropRows EHFOutputKinds = PropRowsFor(PropOutputKindIds, 4, [](int id, int k) {
    const int regs[] = {0x04, 0x04, 0x12, 0x62}, bits[] = {0, 1, 0, 6};
    return PropBitFieldRow(id, 0, regs[k], bits[k]);
});
const TPropRows NCT6106OutputKinds = PropRowsNeedingIsaBase(
    PropRowsFor(PropOutputKindIds, 3, [](int id, int k) { return PropBitFieldRow(id, 0, 0xF3, k); }));
const TPropRows NCT6779OutputKinds = PropRowsNeedingIsaBase(
    PropRowsFor(PropOutputKindIds, 1, [](int id, int) { return PropBitFieldRow(id, 0, 0x04, 0); }));

const TPropRows W83697HFSwitches = PropRowsFor(std::vector<int>{96, 97, 98}, 3, [](int id, int k) {
    const int regs[] = {0x04, 0x04, 0x12}, bits[] = {0, 1, 0};
    return PropBitFieldRow(id, 0, regs[k], bits[k]);
});

// Every mode is the set of its sources: bit `mode` of 01h-06h in bank 2.
const TPropRows W83793GModes = PropRowsFor(PropModeIds, 8, [](int id, int k) {
    TPropRow row{id, {}};
    for (int j = 0; j < 6; ++j) row.parts.push_back(PropPart(2, 0x01 + j, 1 << k, k, j));
    return row;
});
const TPropRows W83L784RModes = PropRowsFor(PropModeIds, 2, [](int id, int k) {
    return PropFieldRow(id, NoBank, 0x84, 0x0C << (2 * k), 2 + 2 * k);
});
const int ClassicModeRegs[] = {0x04, 0x04, 0x12, 0x62}, ClassicModeMasks[] = {0x0C, 0x30, 0x06, 0x30},
          ClassicModeShifts[] = {2, 4, 1, 4};
TPropPart ClassicModePart(int k, int valueShift) {
    return PropPart(0, ClassicModeRegs[k], ClassicModeMasks[k], ClassicModeShifts[k], valueShift);
}
TPropRows ClassicModes(std::size_t count) {
    return PropRowsFor(PropModeIds, count, [](int id, int k) {
        return PropFieldRow(id, NoBank, ClassicModeRegs[k], ClassicModeMasks[k], ClassicModeShifts[k]);
    });
}
const TPropRows W83791DModes = PropRowsFor(PropModeIds, 3, [](int id, int k) {
    const int regs[] = {0x84, 0x84, 0x95}, masks[] = {0x0C, 0x30, 0x0C}, shifts[] = {2, 4, 2};
    return PropFieldRow(id, NoBank, regs[k], masks[k], shifts[k]);
});
// The mode's third bit: 5Eh bits 4-5 in bank 1 for the first two, 75h bits 4-5 for the others.
const TPropRows W83627DHGPModes = PropRowsFor(PropModeIds, 4, [](int id, int k) {
    const TPropPart high = k < 2 ? PropPart(1, 0x5E, 0x10 << k, 4 + k, 0) : PropPart(0, 0x75, 0x10 << (k - 2), 2 + k, 0);
    return TPropRow{id, {ClassicModePart(k, 1), high}};
});
const TPropRows W83667HGModes = {
    {13, {TPropPart{0, 0x04, 0x0C, 2, 2}, TPropPart{0, 0x62, 0x10, 4, 1}, TPropPart{0, 0x7C, 0x10, 4, 0}}},
    {14, {TPropPart{0, 0x04, 0x30, 4, 1}, TPropPart{0, 0x7C, 0x20, 5, 0}}},
    {19, {TPropPart{0, 0x12, 0x06, 1, 2}, TPropPart{0, 0x62, 0x20, 5, 1}, TPropPart{0, 0x7C, 0x40, 6, 0}}},
};
// The low bit of each mode in 50h bit 0 of banks 9-11.
const TPropRows W83667HGBModes = PropRowsFor(PropModeIds, 3, [](int id, int k) {
    return TPropRow{id, {ClassicModePart(k, 1), PropPart(9 + k, 0x50, 0x01, 0, 0)}};
});
const TPropRows NCT6776FModes =
    PropRowsFor(PropModeIds, 3, [](int id, int k) { return PropFieldRow(id, 1 + k, 0x02, 0xF0, 4); });
// The setter writes the field's whole nibble, bit 7 cleared.
const TPropRows NCT6106DModes = PropRowsNeedingIsaBase(PropRowsFor(PropModeIds, 3, [](int id, int k) {
    return PropFieldRow(id, 1, 0x13 + 0x10 * k, 0x70, 4, 0xF0);
}));
const TPropRows NCT6779DModes = PropRowsNeedingIsaBase(PropRowsFor(PropModeIds, 6, [](int id, int k) {
    const int banks[] = {1, 2, 3, 8, 9, 10};
    return PropFieldRow(id, banks[k], 0x02, 0x70, 4, 0xF0);
}));

using TOptionRows = std::vector<TPropOptions>;

S OptionsRepeated(S head, std::size_t size, const std::string& rest) {
    head.resize(size, rest);
    return head;
}

// Dividers 1-127 of the high clock, then of the low one; 0 and 128 stop the output.
S FrequencyOptions(double high, double low) {
    S options(256);
    options[0] = options[128] = "<invalid>";
    for (int i = 1; i < 128; ++i) {
        options[static_cast<std::size_t>(i)] = FormatPwmFrequency(high / i / 256);
        options[static_cast<std::size_t>(128 + i)] = FormatPwmFrequency(low / i / 256);
    }
    return options;
}

const std::vector<int> DivisorIds = {8, 9, 10, 11, 104};
const TPropOptions FourDivisors{DivisorIds, {"1", "2", "4", "8"}};
const TPropOptions EightDivisors{DivisorIds, {"1", "2", "4", "8", "16", "32", "64", "128"}};
const TPropOptions OutputKindOptions{PropOutputKindIds, {"PWM output", "DC output"}};
const TPropOptions SwitchOptions{{96, 97, 98}, {"ON", "OFF"}};
const TPropOptions ThermistorDiodes{PropDiodeIds, {"Thermistor (00)", "Thermistor (01)", "<reserved>", "Internal diode"}};
const TPropOptions TransistorDiodes{PropDiodeIds, {"Thermistor 2N3904", "Thermistor diode", "PII 2N3904", "PII diode"}};
const TPropOptions ClockSteps{PropClockIds, {"46.87 KHz", "23.43 KHz", "11.72 KHz", "5.85 KHz", "2.93 KHz", "<reserved>",
                                             "<reserved>", "<reserved>"}};
// Built with the chip table, as they format through the shared formatter.
TPropOptions EHFClockOptions() { return {PropClockIds, FrequencyOptions(24000000, 180000)}; }
TOptionRows W83697HFClockOptions() {
    return {{{4}, FrequencyOptions(24000000, 180000)}, {{5}, FrequencyOptions(1000000, 125000)}};
}

TPropOptions ClassicModeOptions(const std::string& fourth) {
    return {{13, 14, 19, 102}, {"Manual PWM Control", "Thermal Cruise", "Fan Speed Cruise", fourth}};
}
const TOptionRows W83627DHGPModeOptions = [] {
    S modes = {"Manual", "SmartFan 3+", "Thermal Cruise", "SmartFan 3+", "Fan Speed Cruise", "SmartFan 3+",
               "<reserved>", "SmartFan 3+"};
    S cpu = modes;
    cpu[6] = "SmartFan 3";
    return TOptionRows{{{14}, cpu}, {PropModeIds, modes}};
}();
TPropOptions W83793GModeOptions() {
    TPropOptions row{PropModeIds, {}};
    for (int v = 0; v < 64; ++v) row.texts.push_back(FanControlSourcesText(v));
    return row;
}
TPropOptions NCT6776ModeOptions(const std::string& fourth) {
    return {PropModeIds, OptionsRepeated({"Manual", "Thermal Cruise", "Fan Speed Cruise", fourth, "Smart Fan IV"}, 16,
                                         "<reserved>")};
}
const TOptionRows W83667HGModeOptions = [] {
    S others = {"Manual *", "SmartFan 4 *", "SmartFan 3 (same as CPU) *", "<invalid>",
                "Thermal Cruise *", "SmartFan 4", "SmartFan 3 (same as CPU)", "<invalid>",
                "Fan Speed Cruise *", "SmartFan 4", "SmartFan 3 (same as CPU)", "<invalid>",
                "<reserved>", "SmartFan 4", "SmartFan 3 (same as CPU)", "<invalid>"};
    S aux = others;
    aux[0] = "Manual *", aux[1] = "SmartFan 4", aux[2] = "SmartFan 3 (same as CPU)";
    aux[12] = "<reserved> *";
    return TOptionRows{{{14}, {"Manual *", "SmartFan 4", "Thermal Cruise *", "SmartFan 4", "Fan Speed Cruise *", "SmartFan 4",
                               "SmartFan 3 *", "SmartFan 4"}},
                       {{19}, aux},
                       {PropModeIds, others}};
}();
const TPropOptions W83667HGBModeOptions{PropModeIds, {"Manual", "SmartFan IV", "Thermal Cruise", "SmartFan IV",
                                                      "Fan Speed Cruise", "SmartFan IV", "SmartFan III", "SmartFan IV"}};
const TPropOptions NCT6779ModeOptions{
    PropModeIds, OptionsRepeated({"Manual", "Thermal Cruise", "Speed Cruise", "DO NOT USE!", "Smart Fan IV"}, 16, "DO NOT USE!")};

const std::vector<std::pair<int, std::string>> EHFClockNames = {
    {4, "Sys Fan PWM Base Freq."}, {5, "CPU0 Fan PWM Base Freq."}, {6, "Aux0 Fan PWM Base Freq."}, {7, "CPU1 Fan PWM Base Freq."}};

const S EHFTemps = {"System", "CPU", "AUX"};
const S NCT6776Temps = {"System", "CPU", "AUX", "SMIOVT4", "SMIOVT5", "SMIOVT6"};
const S NCT6776Volts = {"3Vsb", "Vbat", "Vcore", "+12V", "AVcc", "3Vcc", "VIN1", "VIN2", "VIN3"};
const S NCT6779Temps = {"System", "CPU", "AUXTIN0", "AUXTIN1", "AUXTIN2", "AUXTIN3"};
const S NCT6779Fans = {"Sys Fan", "CPU Fan", "Aux Fan", "Aux1 Fan", "Aux2 Fan"};
const S NCT6779Pwms = {"Sys", "CPU", "Aux", "Aux1", "Aux2"};
const S NCT6779Volts = {"Vcore", "VIN1", "AVcc", "3Vcc", "VIN0", "VIN8", "VIN4", "3Vsb",
                        "Vbat",  "Vtt",  "VIN5", "VIN6", "VIN2", "VIN3", "VIN7"};
const S ClassicVolts = {"VCOREA", "VINR0", "+3.3V", "+5V", "+12V", "-12V", "-5V"};
const S EHFFans = {"Sys Fan", "CPU0 Fan", "Aux Fan", "Aux1 Fan", "Aux2 Fan"};
const std::vector<int> EHFProps = {1, 2, 3, 8, 9, 10, 11, 104, 13, 14, 19};

std::vector<TWinbondChip> BuildChips() {
    S nct6791Volts = NCT6779Volts;
    nct6791Volts[5] = "VcoreRef";
    std::vector<TWinbondChip> chips = {
        {25, "Winbond W83781D", 3, Unnamed(3), Unnamed(3), {}, {"VCORE", "VINR0", "+3.3V", "+5V", "+12V", "-12V", "-5V"},
         {8, 9, 10}, FactorRow::Default, &TempsClassic, &FansDivided, &VoltsClassic, nullptr, ClassicLow, {}, {},
         TOptionRows{FourDivisors}},
        {26, "Winbond W83782D", 3, Unnamed(3), Unnamed(3), Unnamed(4),
         {"VCOREA", "VINR0", "+3.3V", "+5V", "+12V", "-12V", "-5V", "+5VSB", "VBAT"}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
         FactorRow::Default, &TempsClassic, &FansDivided, &VoltsClassic, &PwmW83782D, ClassicHigh,
         Join(ClassicDiodes, W83782DClocks), {}, TOptionRows{TransistorDiodes, ClockSteps, EightDivisors}},
        {27, "Winbond W83L784R", 3, Unnamed(1), Unnamed(2), Unnamed(2), {"VCORE", "VBAT", "+3.3V", "+5V"}, {8, 9, 13, 14},
         FactorRow::Default, &TempsW83L784R, &FansDivided, &VoltsW83L784R, &PwmW83L784R,
         {{{0x49, 0x07, 0}, {0x49, 0x70, 4}}, 7},
         W83L784RModes, TReportedAddress{0x4A}, TOptionRows{EightDivisors, ClassicModeOptions("<reserved>")}},
        {28, "Winbond W83L785R", 3, Unnamed(2), Unnamed(2), Unnamed(2), {"VCORE", "+2.5V", "+1.5V", "+3.3V"}, {1, 2},
         FactorRow::Default, &TempsW83L785R, &FansDivided, &VoltsW83L785R, &PwmW83L785R,
         {{{0x47, 0x07, 0}, {0x47, 0x70, 4}}, -1, DP::None, DP::None, false},
         W83L785RDiodes, {}, TOptionRows{ThermistorDiodes}},
        {29, "Winbond W83L785TS-S", 3, Unnamed(1), {}, {}, {}, {}, FactorRow::Default, &TempsW83L784R, nullptr, nullptr,
         nullptr, NoDivisors},
        {30, "Winbond W83627DHG", 3, EHFTemps, {"Sys Fan", "CPU0 Fan", "Aux0 Fan", "CPU1 Fan", "Aux1 Fan"}, Unnamed(4),
         {"Vcore", "+12V", "AVcc"}, Join(EHFProps, std::vector<int>{102, 116, 117, 118, 119, 4, 5, 6, 7}),
         FactorRow::Default, &TempsClassic,
         &FansW83627EHF, &VoltsW83627EHF, &PwmW83627EHF, EHFDivisors,
         Join(Join(EHFOutputKinds, ClassicDiodes), Join(EHFClocks, ClassicModes(4))), {},
         TOptionRows{ThermistorDiodes, EightDivisors, ClassicModeOptions("SmartFan III"), OutputKindOptions, EHFClockOptions()},
         EHFClockNames},
        {31, "Winbond W83627DHG-P", 3, EHFTemps, {"Sys Fan", "CPU0 Fan", "AUX Fan", "CPU1 Fan", "AUX1 Fan"},
         {"Sys", "CPU0", "Aux", "Aux"}, {"Vcore", "+12V", "AVcc"}, Join(EHFProps, std::vector<int>{102}),
         FactorRow::Default, &TempsClassic,
         &FansW83627EHF, &VoltsW83627EHF, &PwmW83627EHF, EHFDivisors, Join(ClassicDiodes, W83627DHGPModes), {},
         Join(TOptionRows{TransistorDiodes, EightDivisors}, W83627DHGPModeOptions)},
        {33, "Winbond W83627HF", 3, Unnamed(3), Unnamed(3), Unnamed(2),
         {"VCOREA", "VCOREB", "+3.3V", "+5V", "+12V", "-12V", "-5V", "+5VSB", "VBAT"}, {1, 2, 3, 4, 5, 8, 9, 10},
         FactorRow::Default, &TempsClassic, &FansDivided, &VoltsClassic, &PwmW83627HF, ClassicHigh,
         Join(ClassicDiodes, W83627HFClocks), {}, TOptionRows{TransistorDiodes, ClockSteps, EightDivisors}},
        {34, "Winbond W83627THF", 3, Unnamed(3), Unnamed(3), Unnamed(3),
         {"Vcore", "+12V", "3.3V", "Vcc", "Vin2", "5Vsb", "Vbat"}, {1, 2, 3, 8, 9, 10, 13, 14, 19},
         FactorRow::Default,
         &TempsClassic, &FansDivided, &VoltsW83627THF, &PwmW83627THF, ClassicHigh,
         Join(ClassicDiodes, ClassicModes(3)), {},
         TOptionRows{TransistorDiodes, EightDivisors, ClassicModeOptions("<reserved>")}},
        {35, "Winbond W83783S", 3, Unnamed(2), Unnamed(3), Unnamed(2), {"VCORE", "+3.3V", "+5V", "+12V", "-12V", "-5V"},
         {1, 2, 4, 5, 8, 9, 10}, FactorRow::Default, &TempsW83783S, &FansDivided, &VoltsW83783S, &PwmW83627HF,
         ClassicHigh, Join(W83783SDiodes, W83627HFClocks), {},
         TOptionRows{TransistorDiodes, ClockSteps, EightDivisors}},
        {36, "Asus AS99127F", 3, Unnamed(3), Unnamed(3), Unnamed(2), ClassicVolts, {8, 9, 10}, FactorRow::Default,
         &TempsClassic, &FansDivided, &VoltsClassic, &PwmAS99127F, ClassicLow, {}, {}, TOptionRows{FourDivisors}},
        {37, "Winbond W83697HF", 3, Unnamed(2), Unnamed(2), Unnamed(2),
         {"VCORE", "+3.3V", "+5V", "+12V", "-12V", "-5V", "+5VSB", "VBAT"}, {8, 9, 4, 5, 13, 14, 96, 97},
         FactorRow::Default, &TempsW83783S, &FansDivided, &VoltsW83783S, &PwmW83697HF,
         {ClassicFields(true, 2), 7, DP::Bank4E, DP::Bank4E},
         Join(Join(W83697HFClocks, W83697HFSwitches), ClassicModes(3)), {},
         Join(W83697HFClockOptions(), TOptionRows{EightDivisors, ClassicModeOptions("<reserved>"), SwitchOptions})},
        {38, "Winbond W83637HF", 3, Unnamed(3), Unnamed(3), Unnamed(3),
         {"VCORE", "+12V", "+3.3V", "+5V", "VIN2", "+5VSB", "VBAT"}, {8, 9, 10, 13, 14, 19, 96, 97, 98},
         FactorRow::Default, &TempsClassic, &FansDivided, &VoltsW83637HF, &PwmW83637HF, ClassicHigh,
         Join(W83697HFSwitches, ClassicModes(3)), {},
         TOptionRows{EightDivisors, ClassicModeOptions("<reserved>"), SwitchOptions}},
        {39, "Winbond W83791D", 3, Unnamed(3), Unnamed(5), Unnamed(5), {}, {8, 9, 10, 11, 104, 13, 14, 19},
         FactorRow::Default, &TempsW83791D, &FansW83791D, nullptr, &PwmW83791D,
         {W83791Fields(), 4, DP::Bank4E, DP::Bank4E},
         W83791DModes, {}, TOptionRows{EightDivisors, ClassicModeOptions("<reserved>")}},
        {40, "Winbond W83792D", 3, Unnamed(3), Unnamed(7), Unnamed(6), {"VcoreA", "VcoreB", "+3.3V"}, {},
         FactorRow::Default, &TempsW83791D, &FansW83792D, &VoltsW83792D, &PwmW83792D,
         {{{0x47, 0x07, 0}, {0x47, 0x70, 4}, {0x5B, 0x07, 0}, {0x5B, 0x70, 4}, {0x5C, 0x07, 0}, {0x5C, 0x70, 4},
           {0x9E, 0x07, 0}},
          -1, DP::None, DP::None, false}},
        {41, "Winbond W83793G", 0, {"Diode 1", "Diode 2", "Diode 3", "Diode 4", "Remote 1", "Remote 2"}, Unnamed(12),
         Unnamed(8), {"VCoreA", "VCoreB", "Vtt", "VIN1", "VIN2", "VIN3", "VIN4", "5VDD", "5VSB", "VBAT"},
         {13, 14, 19, 102, 103, 121, 122, 123}, FactorRow::Default, &TempsW83793G, &FansW83793G, &VoltsW83793G,
         &PwmW83793G,
         NoDivisors,
         W83793GModes,
         TReportedAddress{0x0B, 0x7F, 1, GroupEntry::Bank00, false, "GetReportedSMBus for W83793G is $%.2x"},
         TOptionRows{W83793GModeOptions()}},
        {42, "Winbond W83795G", 3, Join(S{"Temp 5", "Temp 6", "Temp 1", "Temp 2", "Temp 3", "Temp 4"}, Numbered("DTS", 1, 8)),
         Unnamed(14), {},
         Join(Join(Numbered("VIN", 1, 11), S{"VTT", "3VDD", "3VSB", "VBAT"}), Numbered("VIN", 12, 17)),
         {}, FactorRow::Default, &TempsW83795G, &FansW83795G, &VoltsW83795G, nullptr, NoDivisors},
        {43, "Asus ASB100", 3, Unnamed(4), Unnamed(3), Unnamed(2), ClassicVolts, {8, 9, 10}, FactorRow::Default, &TempsASB100,
         &FansDivided, &VoltsClassic, &PwmAS99127F, ClassicLow, {}, {}, TOptionRows{FourDivisors}},
        {44, "Asus MOZART-2", 3, Unnamed(2), Unnamed(2), {}, {"VCORE", "+3.3V", "+5V", "+12V"}, {8, 9},
         FactorRow::Default, &TempsMozart2, &FansDivided, &VoltsMozart2, nullptr,
         {{{0xA1, 0x30, 4}, {0xA1, 0xC0, 6}}, 3}, {}, {}, TOptionRows{FourDivisors}},
        {48, "Nuvoton NCT6776F", 3, NCT6776Temps, {"Sys Fan", "CPU Fan", "Aux Fan", "Aux1 Fan", "Aux2 Fan"},
         {"Sys", "CPU", "Aux"}, NCT6776Volts, {13, 14, 19}, FactorRow::NCT6776F, &TempsNCT6776F, &FansNCT6776F,
         &VoltsNCT6776F,
         &PwmNCT6776F, NoDivisors, NCT6776FModes, TReportedAddress{0x48, 0x7F, 0, GroupEntry::None, true},
         TOptionRows{NCT6776ModeOptions("<reserved>")}},
        {49, "ADP3228", 3, {}, {"PWR Fan"}, {}, {}, {}, FactorRow::Default, nullptr, &FansADP3228, nullptr, nullptr,
         NoDivisors},
        {50, "Winbond W83667HG", 3, EHFTemps, EHFFans, {"Sys", "CPU", "Aux"}, {"Vcore", "+12V", "AVcc"},
         Join(EHFProps, std::vector<int>{116, 117, 118}), FactorRow::Default, &TempsClassic, &FansW83627EHF,
         &VoltsW83627EHF, &PwmW83627EHF,
         EHFDivisors,
         Join(Join(EHFOutputKinds, ClassicDiodes), Join(EHFClocks, W83667HGModes)), {},
         Join(TOptionRows{ThermistorDiodes, EightDivisors, OutputKindOptions}, W83667HGModeOptions), EHFClockNames},
        {51, "Winbond W83667HG-B", 4, EHFTemps, EHFFans, {"Sys", "CPU", "Aux"},
         {"3Vsb", "Vbat", "Vcore", "+12V", "AVcc", "3Vcc"}, {8, 9, 10, 11, 104, 13, 14, 19}, FactorRow::Default,
         &TempsW83667HGB,
         &FansW83627EHF, &VoltsW83667HGB, &PwmW83627EHF, EHFDivisors, W83667HGBModes, {},
         TOptionRows{EightDivisors, W83667HGBModeOptions}},
        {52, "Winbond W83677HG-I", 3, NCT6776Temps, {"Sys Fan", "CPU0 Fan", "Aux Fan", "Aux1 Fan"}, {"Sys", "CPU", "Aux"},
         NCT6776Volts, {1, 2, 3, 13, 14, 19}, FactorRow::NCT6776F, &TempsNCT6776F, &FansW83677HG, &VoltsNCT6776F,
         &PwmNCT6776F,
         NoDivisors,
         Join(ClassicDiodes, NCT6776FModes), {}, TOptionRows{ThermistorDiodes, NCT6776ModeOptions("Smart Fan III")}},
        {229, "Nuvoton NCT6779D", 4, NCT6779Temps, NCT6779Fans, NCT6779Pwms, NCT6779Volts, {13, 14, 19, 102, 103, 116},
         FactorRow::NCT6779D, &TempsNCT6779D, &FansNCT6779D, &VoltsNCT6779D, &PwmNCT6779D, NoDivisors,
         Join(NCT6779OutputKinds, NCT6779DModes), {}, TOptionRows{NCT6779ModeOptions, OutputKindOptions}},
        {230, "Nuvoton NCT6791D", 4, NCT6779Temps, Join(NCT6779Fans, S{"Aux3 Fan"}), NCT6779Pwms, nct6791Volts,
         {13, 14, 19, 102, 103, 116}, FactorRow::NCT6779D, &TempsNCT6779D, &FansNCT6779D, &VoltsNCT6779D,
         &PwmNCT6779D,
         NoDivisors,
         Join(NCT6779OutputKinds, NCT6779DModes), {}, TOptionRows{NCT6779ModeOptions, OutputKindOptions}},
        {231, "Nuvoton NCT6792D", 4, NCT6779Temps, Join(NCT6779Fans, S{"Aux3 Fan"}), Join(NCT6779Pwms, S{"Aux3"}),
         nct6791Volts, {13, 14, 19, 102, 103, 121, 116}, FactorRow::NCT6779D, &TempsNCT6792D, &FansNCT6779D,
         &VoltsNCT6779D,
         &PwmNCT6779D, NoDivisors, Join(NCT6779OutputKinds, NCT6779DModes), {},
         TOptionRows{NCT6779ModeOptions, OutputKindOptions}},
        {234, "Nuvoton NCT6106D", 2, {"System", "CPU", "AUX", "System", "System", "System"}, Unnamed(3), Unnamed(3),
         {"Vcore", "VIN0", "AVcc", "3Vcc", "VIN1", "VIN2", "3VSB", "VBAT"}, {13, 14, 19, 116, 117, 118},
         FactorRow::NCT6106D, &TempsNCT6106D, &FansNCT6106D, &VoltsNCT6106D, &PwmNCT6106D, NoDivisors,
         Join(NCT6106OutputKinds, NCT6106DModes), {}, TOptionRows{NCT6779ModeOptions, OutputKindOptions}},
    };
    // The W83627EHF is the W83627DHG under another name, its sensor types
    // named as the older chips' (the first row naming an id wins).
    TWinbondChip ehf = chips[5];
    ehf.code = 32;
    ehf.name = "Winbond W83627EHF";
    ehf.propOptions.insert(ehf.propOptions.begin(), TransistorDiodes);
    chips.push_back(ehf);
    return chips;
}

}  // namespace

const TWinbondChip* FindChip(std::uint8_t code) {
    static const std::vector<TWinbondChip> chips = BuildChips();
    const auto it = std::find_if(chips.begin(), chips.end(), [code](const TWinbondChip& c) { return c.code == code; });
    return it == chips.end() ? nullptr : &*it;
}

const std::vector<std::string> IntelBoardsSecond = {"DB65AL", "DB65ALB3", "DP67BG", "DP67BGB3", "DQ67EP",
                                                   "DQ67EPB3", "DQ67OW", "DQ67OWB3", "DQ67SW", "DQ67SWB3"};
const std::vector<std::string> IntelBoardsFirst = {
    "DH61AG", "DH61AGB3", "DH61BE", "DH61BEB3", "DH61CR", "DH61CRB3", "DH61DL",   "DH61DLB3", "DH61SA", "DH61WW",
    "DH61WWB3", "DH61ZE", "DH67BL", "DH67BLB3", "DH67CF", "DH67CFB3", "DH67CL", "DH67CLB3", "DH67GD",   "DH67GDB3",
    "DP67BA", "DP67BAB3", "DP67DE", "DP67DEB3", "DZ68BC", "DZ68DB"};
const std::vector<std::string> IntelBoards = [] {
    S all = IntelBoardsFirst;
    all.insert(all.end(), IntelBoardsSecond.begin(), IntelBoardsSecond.end());
    return all;
}();
const std::vector<std::string> AsusP8P67Boards = {"P8P67", "P8P67 DELUXE", "P8P67-M"};

}  // namespace winbond
