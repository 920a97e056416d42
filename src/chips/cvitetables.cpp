#include "chips/cvitetables.h"

#include <algorithm>
#include <array>

namespace ite {
namespace {

using enum CountWidth;

// The single-precision constants of the dividers: 36/7, 22/7 and the
// offsets -(factor - 1) x 4.096 V of the negative rails.
constexpr float Div36_7 = 5.142857f;
constexpr float Div22_7 = 3.142857f;
constexpr float Minus12Offset = -16.969143f;
constexpr float Minus5Offset = -8.777143f;

const TVoltList ListA{0.016,
                      {{"Vcore1", 1, 0},
                       {"Vcore2", 1, 0},
                       {"+3.3V", 1, 0},
                       {"+5V", 1.68f, 0},
                       {"+12V", 4, 0},
                       {"-12V", Div36_7, Minus12Offset},
                       {"-5V", Div22_7, Minus5Offset},
                       {"+5V", 1.68f, 0},
                       {"Vbat", 1, 0}}};

const TVoltList ListB{0.016,
                      {{"Vcore1", 1, 0},
                       {"Vcore2", 1, 0},
                       {"Vin2", 1, 0},
                       {"+5V", 1.68f, 0},
                       {"+12V", 4, 0},
                       {"-12V", Div36_7, Minus12Offset},
                       {"-5V", Div22_7, Minus5Offset}}};

const TVoltList ListC{0.012,
                      {{"Vcore", 1, 0},
                       {"+3.3V", 1.65f, 0},
                       {"+12V", 6, 0},
                       {"+5V", 2.5f, 0},
                       {"CPU VAXG", 1, 0},
                       {"CPU VRIN", 1, 0},
                       {"DRAM", 1, 0},
                       {"Vsb", 2, 0},
                       {"Vbat", 2, 0}}};

const TVoltList ListD{0.016,
                      {{"Vcore1", 1, 0},
                       {"Vcore2", 1, 0},
                       {"-5V", Div22_7, Minus5Offset},
                       {"+3.3V", 1, 0},
                       {"+12V", 4, 0},
                       {"Vcc", 1.68f, 0},
                       {"Vbat", 1, 0},
                       {"+5V", 1.68f, 0},
                       {"Vbat", 1, 0}}};

const std::vector<std::uint8_t> Temps{0x29, 0x2A, 0x2B};

constexpr TDivisorField Two{};
constexpr TDivisorField Fan1Field{DivisorKind::Exponent, 0x0B, 0x07, 0};
constexpr TDivisorField Fan2Field{DivisorKind::Exponent, 0x0B, 0x38, 3};
constexpr TDivisorField Fan3Select{DivisorKind::TwoOrEight, 0x0B, 0x40, 6};

// Fans 1-3 at 0Dh-0Fh (high bytes 18h-1Ah), and fans 4-5 as 16-bit pairs
// at 80h/81h and 82h/83h.
std::vector<TFanCount> Fans(CountWidth width, TDivisorField fan1, TDivisorField fan2, TDivisorField fan3,
                            bool fourAndFive) {
    std::vector<TFanCount> fans = {{0x0D, 0x18, width, fan1}, {0x0E, 0x19, width, fan2}, {0x0F, 0x1A, width, fan3}};
    if (fourAndFive) fans.insert(fans.end(), {{0x80, 0x81, Word, Two}, {0x82, 0x83, Word, Two}});
    return fans;
}

// Outputs 1-3 with their duty in the control register, and on the
// IT8712F-I/-J outputs 4-5 at 88h/89h.
std::vector<TOutput> SevenBitOutputs(bool fourAndFive) {
    std::vector<TOutput> out;
    for (int n = 0; n < 3; ++n) out.push_back({n, 0x15 + n, static_cast<std::uint8_t>(0x15 + n), 127, true, true});
    if (fourAndFive) out.insert(out.end(), {{-1, 0x88, 0x88, 127, false, true}, {-1, 0x89, 0x89, 127, false, true}});
    return out;
}

std::vector<TOutput> EightBitOutputs() {
    const std::array<std::uint8_t, 3> duty = {0x63, 0x6B, 0x73};
    std::vector<TOutput> out;
    for (int n = 0; n < 3; ++n) out.push_back({n, 0x15 + n, duty[static_cast<std::size_t>(n)], 255, false, true});
    return out;
}

std::vector<TOutput> IT8620EOutputs() {
    auto out = EightBitOutputs();
    out.insert(out.end(), {{-1, NoRegister, 0x7B, 255, false, false, 99}, {-1, NoRegister, 0xA3, 255, false, false, 148}});
    return out;
}

const std::vector<int> FullProps = {1, 2, 3, 13, 14, 19, 12};

const std::vector<TITChip>& Chips() {
    static const std::vector<TITChip> chips = {
        {77, "IT8620E", Temps, Fans(Word, Two, Two, Two, true), IT8620EOutputs(), false, &ListC,
         {13, 14, 19, 99, 148}, false, false, SetUp::None},
        {78, "IT8693F", {0x27, 0x3E, 0x3F},
         {{0x28, 0, Byte, {DivisorKind::Exponent, 0x47, 0x30, 4}},
          {0x29, 0, Byte, {DivisorKind::Exponent, 0x47, 0xC0, 6}},
          {0x2A, 0, Byte, Two}},
         {}, true, &ListB, {8, 9}, true, true, SetUp::SaveBanks},
        {79, "IT8702F", {}, Fans(Byte, Fan1Field, Fan2Field, Two, false), SevenBitOutputs(false), false, nullptr,
         {8, 9}, true, false, SetUp::PwmModeOutputs},
        {81, "IT8712F", Temps, Fans(Byte, Fan1Field, Fan2Field, Fan3Select, false), SevenBitOutputs(false), false,
         &ListA, {1, 2, 3, 8, 9, 10, 13, 14, 19, 12}, true, true, SetUp::None},
        {82, "IT8712F-I", Temps, Fans(ByConfig, Fan1Field, Fan2Field, Fan3Select, true), SevenBitOutputs(true), false,
         &ListA, {1, 2, 3, 8, 9, 10, 13, 14, 19, 102, 103, 12}, true, true, SetUp::None},
        {83, "IT8712F-J", Temps, Fans(ByConfig, Fan1Field, Fan2Field, Two, true), SevenBitOutputs(true), false, &ListA,
         {1, 2, 3, 13, 14, 19, 102, 103, 12}, false, true, SetUp::None},
        {85, "IT8718F", Temps, Fans(ByConfig, Fan1Field, Fan2Field, Two, true), SevenBitOutputs(false), false, &ListA,
         FullProps, false, true, SetUp::None},
        {86, "IT8720F", Temps, Fans(ByConfig, Two, Two, Two, true), SevenBitOutputs(false), false, &ListA, FullProps,
         false, true, SetUp::None},
        {87, "IT8721F", Temps, Fans(Word, Two, Two, Two, true), EightBitOutputs(), false, nullptr, FullProps, false,
         true, SetUp::None},
        {89, "IT8728F", Temps, Fans(Word, Two, Two, Two, true), EightBitOutputs(), false, nullptr, FullProps, false,
         false, SetUp::None},
        // The chip's second and third tachometers and outputs.
        {90, "IT8772F", Temps, {{0x0E, 0x19, Word, Two}, {0x0F, 0x1A, Word, Two}},
         {{1, 0x16, 0x6B, 255, false, true}, {2, 0x17, 0x73, 255, false, true}}, false, nullptr, {13, 14, 12}, false,
         false, SetUp::None},
        {91, "IT8783F", Temps, Fans(ByConfig, Two, Two, Two, false), SevenBitOutputs(false), false, &ListD,
         {13, 14, 19}, false, false, SetUp::None},
    };
    return chips;
}

}  // namespace

const TITChip* FindChip(std::uint8_t code) {
    const auto& chips = Chips();
    const auto it = std::find_if(chips.begin(), chips.end(), [code](const TITChip& c) { return c.code == code; });
    return it == chips.end() ? nullptr : &*it;
}

}  // namespace ite
