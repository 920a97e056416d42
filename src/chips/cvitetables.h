#pragma once
// The ITE chip rows: which registers each chip reads its temperatures, fan
// counts, divisors, voltages and outputs from, and which properties it offers.
// The driver picks one row at construction and reads only through it.

#include <cstdint>
#include <string>
#include <vector>

namespace ite {

// How wide a fan's count is: the low register alone, both registers, or as
// bit n of 0Ch says for fan n.
enum class CountWidth { Byte, Word, ByConfig };

// Where an 8-bit count's divisor comes from: always 2, 2 to the power of a
// field, or a bit choosing 2 or 8. The divisor code is the exponent.
enum class DivisorKind { Fixed, Exponent, TwoOrEight };

struct TDivisorField {
    DivisorKind kind = DivisorKind::Fixed;
    std::uint8_t reg = 0, mask = 0;
    int shift = 0;
};

struct TFanCount {
    std::uint8_t low, high;
    CountWidth width;
    TDivisorField divisor;
};

inline constexpr int NoRegister = -1;

// One output: its on/off mode bit in 13h/14h (-1: none), its control register
// (bit 7 automatic; -1: none), its duty register and scale, whether a read
// reports the automatic bit, whether 14h bit 7's polarity applies, and the
// enable property that gates its writes (0: none).
struct TOutput {
    int modeBit;
    int control;
    std::uint8_t duty;
    int scale;
    bool readsAutomatic;
    bool polarity;
    int enableProp = 0;
};

struct TVoltInput {
    std::string name;
    float factor;
    float offset;
};

// Reading n is register 20h + n - 1: offset + raw x step x factor.
struct TVoltList {
    double step;
    std::vector<TVoltInput> inputs;
};

// What the constructor does to the chip before reading it.
enum class SetUp { None, PwmModeOutputs, SaveBanks };

struct TITChip {
    std::uint8_t code;
    std::string name;
    std::vector<std::uint8_t> temps;
    std::vector<TFanCount> fans;
    std::vector<TOutput> outputs;
    bool bankedOutputs;  // three outputs in banks 0-2 of 52h (51h bits 7:6)
    const TVoltList* volts;
    std::vector<int> props;
    bool divisorsExposed;  // GetFanDivisor and SetFanDivisor serve the fans' fields
    bool reportsSMBus;
    SetUp setUp;

    std::size_t OutputCount() const { return bankedOutputs ? 3 : outputs.size(); }
};

// The row of a chip code; nullptr for a code the class does not serve.
const TITChip* FindChip(std::uint8_t code);

}  // namespace ite
