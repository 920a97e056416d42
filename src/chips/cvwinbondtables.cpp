#include "chips/cvwinbondtables.h"

#include <algorithm>

namespace winbond {
namespace {

using S = std::vector<std::string>;
using PL = PwmLayout;
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

const TFanTable FansW83795G{FanFormat::W83795G, {BankSwitch::Field, NoBank, -1, false}, -1, {}};
const TFanTable FansW83793G{FanFormat::W83793G, {BankSwitch::Field, NoBank, -1, false}, -1, {}};
const TFanTable FansNCT6106D{FanFormat::Counts, {BankSwitch::Field, NoBank, -1, false}, -1,
                             {F{0x20, 0, Count13}, F{0x22, 0, Count13}, F{0x24, 0, Count13}}};
const TFanTable FansNCT6779D{FanFormat::Counts, {BankSwitch::Field, NoBank, 0x3A, true}, -1,
                             {F{0xC0, 4, Speed}, F{0xC2, 4, Speed}, F{0xC4, 4, Speed}, F{0xC6, 4, Speed},
                              F{0xC8, 4, Speed}}};
const std::vector<F> Bank6Speeds = {F{0x56, 6, Speed}, F{0x58, 6, Speed}, F{0x5A, 6, Speed}, F{0x5C, 6, Speed},
                                    F{0x5E, 6, Speed}};
// The NCT6776F reads A4h for a fan that is not turning.
const TFanTable FansNCT6776F{FanFormat::Counts, {BankSwitch::Field, 0, -1, false}, 0xA4, Bank6Speeds};
const TFanTable FansW83677HG{FanFormat::Counts, {BankSwitch::Field, 0, -1, false}, -1, Bank6Speeds};
const TFanTable FansADP3228{FanFormat::Counts, {BankSwitch::Field, NoBank, -1, false}, -1, {F{0x51, NoBank, Count16}}};
// Fan 5 counts in bank 5.
const TFanTable FansW83627EHF{FanFormat::Counts, {BankSwitch::Field, 0, -1, false}, -1,
                              {F{0x28, 0}, F{0x29, 0}, F{0x2A, 0}, F{0x3F, 0}, F{0x53, 5}}};
const TFanTable FansDivided{FanFormat::Counts, {BankSwitch::Field, NoBank, -1, false}, -1,
                            {F{0x28}, F{0x29}, F{0x2A}}};
// Fans 4 and 5 in bank 0, 4Eh written whole.
const TFanTable FansW83791D{FanFormat::Counts, {BankSwitch::Whole, NoBank, -1, false}, -1,
                            {F{0x28}, F{0x29}, F{0x2A}, F{0xBA, 0}, F{0xBB, 0}}};
const TFanTable FansW83792D{FanFormat::Counts, {BankSwitch::Field, NoBank, -1, false}, -1,
                            {F{0x28}, F{0x29}, F{0x2A}, F{0xB8}, F{0xB9}, F{0xBA}, F{0xBE}}};

using T = TTempSource;
using enum TempForm;

const TTempTable TempsW83795G{TempFormat::W83795G, {BankSwitch::Field, NoBank, -1, false}, {}};
const TTempTable TempsW83793G{TempFormat::W83793G, {BankSwitch::Field, NoBank, -1, false}, {}};
const TTempTable TempsW83L784R{TempFormat::Bytes, {BankSwitch::Field, NoBank, -1, false}, {T{0, 0x27}}};
const TTempTable TempsW83L785R{TempFormat::Bytes, {BankSwitch::Field, NoBank, -1, false}, {T{1, 0x26}, T{0, 0x27}}};
const TTempTable TempsMozart2{TempFormat::Bytes, {BankSwitch::Field, NoBank, -1, false}, {T{0, 0x27}, T{1, 0x13}}};

// System in bank 0, CPU and AUX in banks 1 and 2; bank 0 selected after.
std::vector<T> ClassicTemps(T system) {
    return {system, T{1, 0x50, 1, HalfDegree, 0x51}, T{2, 0x50, 2, HalfDegree, 0x51}};
}
TTempTable ClassicTable(std::vector<T> inputs) {
    return {TempFormat::Bytes, {BankSwitch::Field, 0, -1, false}, std::move(inputs)};
}
const TTempTable TempsClassic = ClassicTable(ClassicTemps(T{0, 0x27, 0}));
const TTempTable TempsW83667HGB = ClassicTable(ClassicTemps(T{0, 0x27, 0, HalfDegree, 0x7C}));
// SMIOVT4-6 in bank 6, their half degrees in bits 0-2 of 2Eh.
const TTempTable TempsNCT6776F = ClassicTable(Join(
    ClassicTemps(T{0, 0x27, 0}),
    {T{3, 0x2B, 6, HalfBit, 0x2E, 0}, T{4, 0x2C, 6, HalfBit, 0x2E, 1}, T{5, 0x2D, 6, HalfBit, 0x2E, 2}}));
const TTempTable TempsASB100 = ClassicTable(Join(ClassicTemps(T{0, 0x27, 0}), {T{3, 0x17, 0}}));

const TTempTable TempsNCT6106D{TempFormat::Bytes, {BankSwitch::Field, NoBank, -1, false},
                               {T{0, 0x10, 0, HalfBit, 0x16, 0}, T{1, 0x11, 0, HalfBit, 0x16, 1},
                                T{2, 0x12, 0, HalfBit, 0x16, 2}, T{3, 0x13, 0, HalfBit, 0x16, 3},
                                T{4, 0x14, 0, HalfBit, 0x16, 4}, T{5, 0x15, 0, HalfBit, 0x16, 5}}};
const TTempTable TempsNCT6792D{TempFormat::Bytes, {BankSwitch::Field, NoBank, -1, false},
                               {T{0, 0x90, 4}, T{1, 0x91, 4}, T{2, 0x92, 4}, T{3, 0x93, 4}, T{4, 0x94, 4}, T{5, 0x95, 4}}};
const TTempTable TempsNCT6779D{TempFormat::Bytes, {BankSwitch::Field, NoBank, 0x10, true},
                               {T{0, 0x27, 0}, T{1, 0x50, 1, HalfDegree, 0x51}, T{2, 0x92, 4}, T{3, 0x93, 4},
                                T{4, 0x94, 4}, T{5, 0x95, 4}}};
// CPU in bank 1 through 4Eh written whole.
const TTempTable TempsW83783S{TempFormat::Bytes, {BankSwitch::Whole, 0, -1, false},
                              {T{0, 0x27}, T{1, 0x50, 1, HalfDegree, 0x51}}};
const TTempTable TempsW83791D{TempFormat::Bytes, {BankSwitch::Field, NoBank, -1, false},
                              {T{0, 0x27, 0}, T{1, 0xC0, 0, HalfDegree, 0xC1}, T{2, 0xC8, 0, HalfDegree, 0xC9}}};

using V = TVoltSource;
constexpr std::nullopt_t Unread = std::nullopt;

const TVoltTable VoltsW83793G{VoltFormat::W83793G, {BankSwitch::Field, NoBank, -1, false}, false, {}};
const TVoltTable VoltsW83795G{VoltFormat::W83795G, {BankSwitch::Field, NoBank, -1, false}, false, {}};
const TVoltTable VoltsW83667HGB{
    VoltFormat::Bytes, {BankSwitch::Field, NoBank, -1, false}, false,
    {V{0x50, 5, 0.016}, V{0x51, 5, 0.016}, V{0x20, 0, 0.008}, V{0x21, 0, 0.008 * 6.6}, V{0x22, 0, 0.016},
     V{0x23, 0, 0.016}}};
const TVoltTable VoltsNCT6776F{
    VoltFormat::Bytes, {BankSwitch::Field, NoBank, -1, false}, false,
    {V{0x50, 5, 0.008, 0, 0}, V{0x51, 5, 0.008, 0, 1}, V{0x20, 0, 0.008, 0, 2}, V{0x21, 0, 0.008, 0, 3},
     V{0x22, 0, 0.008, 0, 4}, V{0x23, 0, 0.008, 0, 5}, V{0x24, 0, 0.008, 0, 6}, V{0x25, 0, 0.008, 0, 7},
     V{0x26, 0, 0.008, 0, 8}}};
const TVoltTable VoltsW83627EHF{VoltFormat::Bytes, {BankSwitch::Field, NoBank, -1, false}, false,
                                {V{0x20, NoBank, 0.008}, V{0x21, NoBank, 0.008 * 66 / 10}, V{0x22, NoBank, 0.008 * 2}}};
// Vcore reads VRM9 when 18h bit 0 is set.
const TVoltTable VoltsW83627THF{
    VoltFormat::Bytes, {BankSwitch::Whole, 0, -1, false}, false,
    {V{0x20, NoBank, 0.016, 0, -1, 0x18, 0.00488, 0.70}, V{0x21, NoBank, 0.016 * 3.8}, V{0x22, NoBank, 0.016},
     V{0x23, NoBank, 0.016 * 1.66666666666667}, Unread, V{0x50, 5, 0.016 * 1.66666666666667}, Unread}};
const TVoltTable VoltsMozart2{VoltFormat::Bytes, {BankSwitch::Field, NoBank, -1, false}, false,
                              {V{0x20, NoBank, 0.016}, V{0x22, NoBank, 0.016}, V{0x23, NoBank, 0.016 * 1.68},
                               V{0x24, NoBank, 0.016 * 4}}};
const TVoltTable VoltsW83L784R{VoltFormat::Bytes, {BankSwitch::Field, NoBank, -1, false}, false,
                               {V{0x20, NoBank, 0.016}, V{0x21, NoBank, 0.016 * 3.34343434343434}, V{0x22, NoBank, 0.016},
                                V{0x23, NoBank, 0.016 * 1.68}}};
const TVoltTable VoltsW83L785R{VoltFormat::Bytes, {BankSwitch::Field, NoBank, -1, false}, false,
                               {V{0x20, NoBank, 0.008}, V{0x21, NoBank, 0.008 * 2}, V{0x22, NoBank, 0.008},
                                V{0x23, NoBank, 0.008 * 3}}};
// raw x 0.016 x the sensor's factor k + its offset k.
V ClassicInput(std::uint8_t reg, int k, int bank = NoBank) { return V{reg, bank, 0.016, 0, k}; }
const TVoltTable VoltsClassic{VoltFormat::Bytes, {BankSwitch::Whole, 0, -1, false}, true,
                              {ClassicInput(0x20, 0), ClassicInput(0x21, 1), ClassicInput(0x22, 2),
                               ClassicInput(0x23, 3), ClassicInput(0x24, 4), ClassicInput(0x25, 5),
                               ClassicInput(0x26, 6), ClassicInput(0x50, 7, 5), ClassicInput(0x51, 8, 5)}};
const TVoltTable VoltsW83783S{VoltFormat::Bytes, {BankSwitch::Whole, 0, -1, false}, true,
                              {ClassicInput(0x20, 1), ClassicInput(0x22, 2), ClassicInput(0x23, 3),
                               ClassicInput(0x24, 4), ClassicInput(0x25, 5), ClassicInput(0x26, 6),
                               ClassicInput(0x50, 7, 5), ClassicInput(0x51, 8, 5)}};
const TVoltTable VoltsW83637HF{VoltFormat::Bytes, {BankSwitch::Whole, 0, -1, false}, true,
                               {ClassicInput(0x20, 0), ClassicInput(0x21, 1), ClassicInput(0x22, 2),
                                ClassicInput(0x23, 3), ClassicInput(0x24, 4), ClassicInput(0x50, 5, 5),
                                ClassicInput(0x51, 6, 5)}};
const TVoltTable VoltsW83792D{VoltFormat::Bytes, {BankSwitch::Field, NoBank, -1, false}, false,
                              {V{0x20, NoBank, 0.008}, V{0x21, NoBank, 0.008}, V{0x22, NoBank, 0.016}}};
// raw x 0.008 x the sensor's factor n.
V NuvotonInput(std::uint8_t reg, int n, int bank) { return V{reg, bank, 0.008, 0, n}; }
const TVoltTable VoltsNCT6106D{VoltFormat::Bytes, {BankSwitch::Field, NoBank, -1, true}, false,
                               {NuvotonInput(0x00, 0, 0), NuvotonInput(0x01, 1, 0), NuvotonInput(0x02, 2, 0),
                                NuvotonInput(0x03, 3, 0), NuvotonInput(0x04, 4, 0), NuvotonInput(0x05, 5, 0),
                                NuvotonInput(0x07, 6, 0), NuvotonInput(0x08, 7, 0)}};
const TVoltTable VoltsNCT6779D = [] {
    TVoltTable t{VoltFormat::Bytes, {BankSwitch::Field, NoBank, 0, true}, false, {}};
    for (int n = 0; n < 15; ++n) t.inputs.push_back(NuvotonInput(static_cast<std::uint8_t>(0x80 + n), n, 4));
    return t;
}();

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
         {8, 9, 10}, FactorRow::Default, &TempsClassic, &FansDivided, &VoltsClassic, PL::None, ClassicLow},
        {26, "Winbond W83782D", 3, Unnamed(3), Unnamed(3), Unnamed(4),
         {"VCOREA", "VINR0", "+3.3V", "+5V", "+12V", "-12V", "-5V", "+5VSB", "VBAT"}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
         FactorRow::Default, &TempsClassic, &FansDivided, &VoltsClassic, PL::W83782D, ClassicHigh},
        {27, "Winbond W83L784R", 3, Unnamed(1), Unnamed(2), Unnamed(2), {"VCORE", "VBAT", "+3.3V", "+5V"}, {8, 9, 13, 14},
         FactorRow::Default, &TempsW83L784R, &FansDivided, &VoltsW83L784R, PL::W83L784R,
         {{{0x49, 0x07, 0}, {0x49, 0x70, 4}}, 7}},
        {28, "Winbond W83L785R", 3, Unnamed(2), Unnamed(2), Unnamed(2), {"VCORE", "+2.5V", "+1.5V", "+3.3V"}, {1, 2},
         FactorRow::Default, &TempsW83L785R, &FansDivided, &VoltsW83L785R, PL::W83L785R,
         {{{0x47, 0x07, 0}, {0x47, 0x70, 4}}, -1, DP::None, DP::None, false}},
        {29, "Winbond W83L785TS-S", 3, Unnamed(1), {}, {}, {}, {}, FactorRow::Default, &TempsW83L784R, nullptr, nullptr,
         PL::None, NoDivisors},
        {30, "Winbond W83627DHG", 3, EHFTemps, {"Sys Fan", "CPU0 Fan", "Aux0 Fan", "CPU1 Fan", "Aux1 Fan"}, Unnamed(4),
         {"Vcore", "+12V", "AVcc"}, Join(EHFProps, std::vector<int>{102, 116, 117, 118, 119, 4, 5, 6, 7}), FactorRow::Default, &TempsClassic,
         &FansW83627EHF, &VoltsW83627EHF, PL::W83627EHF, EHFDivisors},
        {31, "Winbond W83627DHG-P", 3, EHFTemps, {"Sys Fan", "CPU0 Fan", "AUX Fan", "CPU1 Fan", "AUX1 Fan"},
         {"Sys", "CPU0", "Aux", "Aux"}, {"Vcore", "+12V", "AVcc"}, Join(EHFProps, std::vector<int>{102}), FactorRow::Default, &TempsClassic,
         &FansW83627EHF, &VoltsW83627EHF, PL::W83627EHF, EHFDivisors},
        {33, "Winbond W83627HF", 3, Unnamed(3), Unnamed(3), Unnamed(2),
         {"VCOREA", "VCOREB", "+3.3V", "+5V", "+12V", "-12V", "-5V", "+5VSB", "VBAT"}, {1, 2, 3, 4, 5, 8, 9, 10},
         FactorRow::Default, &TempsClassic, &FansDivided, &VoltsClassic, PL::W83627HF, ClassicHigh},
        {34, "Winbond W83627THF", 3, Unnamed(3), Unnamed(3), Unnamed(3),
         {"Vcore", "+12V", "3.3V", "Vcc", "Vin2", "5Vsb", "Vbat"}, {1, 2, 3, 8, 9, 10, 13, 14, 19}, FactorRow::Default,
         &TempsClassic, &FansDivided, &VoltsW83627THF, PL::W83627THF, ClassicHigh},
        {35, "Winbond W83783S", 3, Unnamed(2), Unnamed(3), Unnamed(2), {"VCORE", "+3.3V", "+5V", "+12V", "-12V", "-5V"},
         {1, 2, 4, 5, 8, 9, 10}, FactorRow::Default, &TempsW83783S, &FansDivided, &VoltsW83783S, PL::W83627HF, ClassicHigh},
        {36, "Asus AS99127F", 3, Unnamed(3), Unnamed(3), Unnamed(2), ClassicVolts, {8, 9, 10}, FactorRow::Default,
         &TempsClassic, &FansDivided, &VoltsClassic, PL::AS99127F, ClassicLow},
        {37, "Winbond W83697HF", 3, Unnamed(2), Unnamed(2), Unnamed(2),
         {"VCORE", "+3.3V", "+5V", "+12V", "-12V", "-5V", "+5VSB", "VBAT"}, {8, 9, 4, 5, 13, 14, 96, 97},
         FactorRow::Default, &TempsW83783S, &FansDivided, &VoltsW83783S, PL::W83697HF,
         {ClassicFields(true, 2), 7, DP::Bank4E, DP::Bank4E}},
        {38, "Winbond W83637HF", 3, Unnamed(3), Unnamed(3), Unnamed(3),
         {"VCORE", "+12V", "+3.3V", "+5V", "VIN2", "+5VSB", "VBAT"}, {8, 9, 10, 13, 14, 19, 96, 97, 98},
         FactorRow::Default, &TempsClassic, &FansDivided, &VoltsW83637HF, PL::W83637HF, ClassicHigh},
        {39, "Winbond W83791D", 3, Unnamed(3), Unnamed(5), Unnamed(5), {}, {8, 9, 10, 11, 104, 13, 14, 19},
         FactorRow::Default, &TempsW83791D, &FansW83791D, nullptr, PL::W83791D,
         {W83791Fields(), 4, DP::Bank4E, DP::Bank4E}},
        {40, "Winbond W83792D", 3, Unnamed(3), Unnamed(7), Unnamed(6), {"VcoreA", "VcoreB", "+3.3V"}, {},
         FactorRow::Default, &TempsW83791D, &FansW83792D, &VoltsW83792D, PL::W83792D,
         {{{0x47, 0x07, 0}, {0x47, 0x70, 4}, {0x5B, 0x07, 0}, {0x5B, 0x70, 4}, {0x5C, 0x07, 0}, {0x5C, 0x70, 4},
           {0x9E, 0x07, 0}},
          -1, DP::None, DP::None, false}},
        {41, "Winbond W83793G", 0, {"Diode 1", "Diode 2", "Diode 3", "Diode 4", "Remote 1", "Remote 2"}, Unnamed(12),
         Unnamed(8), {"VCoreA", "VCoreB", "Vtt", "VIN1", "VIN2", "VIN3", "VIN4", "5VDD", "5VSB", "VBAT"},
         {13, 14, 19, 102, 103, 121, 122, 123}, FactorRow::Default, &TempsW83793G, &FansW83793G, &VoltsW83793G, PL::W83793G,
         NoDivisors},
        {42, "Winbond W83795G", 3, Join(S{"Temp 5", "Temp 6", "Temp 1", "Temp 2", "Temp 3", "Temp 4"}, Numbered("DTS", 1, 8)),
         Unnamed(14), {}, Join(Join(Numbered("VIN", 1, 11), S{"VTT", "3VDD", "3VSB", "VBAT"}), Numbered("VIN", 12, 17)),
         {}, FactorRow::Default, &TempsW83795G, &FansW83795G, &VoltsW83795G, PL::None, NoDivisors},
        {43, "Asus ASB100", 3, Unnamed(4), Unnamed(3), Unnamed(2), ClassicVolts, {8, 9, 10}, FactorRow::Default, &TempsASB100,
         &FansDivided, &VoltsClassic, PL::AS99127F, ClassicLow},
        {44, "Asus MOZART-2", 3, Unnamed(2), Unnamed(2), {}, {"VCORE", "+3.3V", "+5V", "+12V"}, {8, 9},
         FactorRow::Default, &TempsMozart2, &FansDivided, &VoltsMozart2, PL::None, {{{0xA1, 0x30, 4}, {0xA1, 0xC0, 6}}, 3}},
        {48, "Nuvoton NCT6776F", 3, NCT6776Temps, {"Sys Fan", "CPU Fan", "Aux Fan", "Aux1 Fan", "Aux2 Fan"},
         {"Sys", "CPU", "Aux"}, NCT6776Volts, {13, 14, 19}, FactorRow::NCT6776F, &TempsNCT6776F, &FansNCT6776F, &VoltsNCT6776F,
         PL::NCT6776F, NoDivisors},
        {49, "ADP3228", 3, {}, {"PWR Fan"}, {}, {}, {}, FactorRow::Default, nullptr, &FansADP3228, nullptr, PL::None,
         NoDivisors},
        {50, "Winbond W83667HG", 3, EHFTemps, EHFFans, {"Sys", "CPU", "Aux"}, {"Vcore", "+12V", "AVcc"},
         Join(EHFProps, std::vector<int>{116, 117, 118}), FactorRow::Default, &TempsClassic, &FansW83627EHF, &VoltsW83627EHF, PL::W83627EHF,
         EHFDivisors},
        {51, "Winbond W83667HG-B", 4, EHFTemps, EHFFans, {"Sys", "CPU", "Aux"},
         {"3Vsb", "Vbat", "Vcore", "+12V", "AVcc", "3Vcc"}, {8, 9, 10, 11, 104, 13, 14, 19}, FactorRow::Default, &TempsW83667HGB,
         &FansW83627EHF, &VoltsW83667HGB, PL::W83627EHF, EHFDivisors},
        {52, "Winbond W83677HG-I", 3, NCT6776Temps, {"Sys Fan", "CPU0 Fan", "Aux Fan", "Aux1 Fan"}, {"Sys", "CPU", "Aux"},
         NCT6776Volts, {1, 2, 3, 13, 14, 19}, FactorRow::NCT6776F, &TempsNCT6776F, &FansW83677HG, &VoltsNCT6776F, PL::NCT6776F,
         NoDivisors},
        {229, "Nuvoton NCT6779D", 4, NCT6779Temps, NCT6779Fans, NCT6779Pwms, NCT6779Volts, {13, 14, 19, 102, 103, 116},
         FactorRow::NCT6779D, &TempsNCT6779D, &FansNCT6779D, &VoltsNCT6779D, PL::NCT6779D, NoDivisors},
        {230, "Nuvoton NCT6791D", 4, NCT6779Temps, Join(NCT6779Fans, S{"Aux3 Fan"}), NCT6779Pwms, nct6791Volts,
         {13, 14, 19, 102, 103, 116}, FactorRow::NCT6779D, &TempsNCT6779D, &FansNCT6779D, &VoltsNCT6779D, PL::NCT6779D,
         NoDivisors},
        {231, "Nuvoton NCT6792D", 4, NCT6779Temps, Join(NCT6779Fans, S{"Aux3 Fan"}), Join(NCT6779Pwms, S{"Aux3"}),
         nct6791Volts, {13, 14, 19, 102, 103, 121, 116}, FactorRow::NCT6779D, &TempsNCT6792D, &FansNCT6779D, &VoltsNCT6779D,
         PL::NCT6779D, NoDivisors},
        {234, "Nuvoton NCT6106D", 2, {"System", "CPU", "AUX", "System", "System", "System"}, Unnamed(3), Unnamed(3),
         {"Vcore", "VIN0", "AVcc", "3Vcc", "VIN1", "VIN2", "3VSB", "VBAT"}, {13, 14, 19, 116, 117, 118},
         FactorRow::NCT6106D, &TempsNCT6106D, &FansNCT6106D, &VoltsNCT6106D, PL::NCT6106D, NoDivisors},
    };
    // The W83627EHF is the W83627DHG under another name.
    TWinbondChip ehf = chips[5];
    ehf.code = 32;
    ehf.name = "Winbond W83627EHF";
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
