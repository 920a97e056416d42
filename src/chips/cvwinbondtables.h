#pragma once
// The Winbond/Nuvoton chip rows: what each chip code names, how wide its bank
// field is, and which register layout each reading group of the driver uses.
// The driver picks one row at construction and reads only through it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace winbond {

// Register layouts; each names the first chip that has it.
enum class PwmLayout { None, W83793G, W83627THF, AS99127F, W83791D, W83782D, W83627HF, W83697HF, W83637HF, W83L784R, W83L785R, W83792D, W83627EHF, NCT6776F, NCT6779D, NCT6106D };
enum class FactorRow { Default, NCT6776F, NCT6779D, NCT6106D };

// How a divisor field is reached: nothing first, 4Eh = 00h, or bank 0.
enum class DivisorPrefix { None, Bank4E, Bank0 };

// One fan's divisor code: low bits in a field, an optional third bit
// (adds 4) elsewhere.
struct TDivisorField {
    std::uint8_t reg, mask, shift;
    int highReg = -1;
    std::uint8_t highBit = 0;
};

struct TDivisors {
    std::vector<TDivisorField> fields;  // by fan
    int maxCode = -1;                   // -1: the setter refuses every code
    DivisorPrefix prefixGet = DivisorPrefix::None;
    DivisorPrefix prefixSet = DivisorPrefix::None;
    bool exposed = true;  // GetFanDivisor answers these (else only the fan read uses them)
};

inline constexpr int NoBank = -1;

// One voltage input: its register, the bank it lives in (NoBank: the bank
// already selected) and raw x factor + offset. With `sensorFactor` k, the
// factor is multiplied by the sensor's factor k, which board fix-ups change
// (and the sensor's offset k replaces `offset` when the table says so). With
// a mode register, its bit 0 set picks the mode factor and offset instead.
struct TVoltSource {
    std::uint8_t reg;
    int bank = NoBank;
    double factor = 1;
    double offset = 0;
    int sensorFactor = -1;
    int modeReg = -1;
    double modeFactor = 1, modeOffset = 0;
};

// The W83793G and W83795G read 10-bit inputs whose low bits share a register.
enum class VoltFormat { Bytes, W83793G, W83795G };
// A bank is reached through its field, or by writing 4Eh whole.
enum class BankSwitch { Field, Whole };

// How a group of readings reaches its registers.
struct TBankAccess {
    BankSwitch banks = BankSwitch::Field;
    int endBank = NoBank;  // the bank left selected after a banked read
    int flatBase = -1;     // with a flat window known, the group's first port there
    bool needsIsaBase = false;  // no banked reading when the ISA base is unused
};

// How a fan's count converts: an 8-bit count with the fan's divisor; a
// 13-bit count (register x 32 + the next register's bits 4:0); a 16-bit
// count (high register first); or a pair that is the speed itself.
enum class FanForm { Divided, Count13, Count16, Speed };

struct TFanSource {
    std::uint8_t reg;
    int bank = NoBank;
    FanForm form = FanForm::Divided;
};

// The W83795G and W83793G gate or bank their counts through shared registers.
enum class FanFormat { Counts, W83795G, W83793G };

// Fan n is inputs[n]. With a flat window known, fan n is the speed in ports
// flatBase + 2n and + 2n + 1.
struct TFanTable {
    FanFormat format = FanFormat::Counts;
    TBankAccess access;
    int noFan = -1;             // a speed that means no fan
    std::vector<TFanSource> inputs;
};

// How a temperature converts: a signed byte; plus half a degree from bit 7
// of register `low`; or plus half a degree from bit `bit` of register `low`.
enum class TempForm { Signed, HalfDegree, HalfBit };

struct TTempSource {
    int reading;
    std::uint8_t reg;
    int bank = NoBank;
    TempForm form = TempForm::Signed;
    std::uint8_t low = 0;
    int bit = 0;
};

// The W83793G and W83795G read quarter degrees from shared registers.
enum class TempFormat { Bytes, W83793G, W83795G };

// Inputs in the order they are read. With a flat window known, reading n is
// the signed byte at its port flatBase + n.
struct TTempTable {
    TempFormat format = TempFormat::Bytes;
    TBankAccess access;
    std::vector<TTempSource> inputs;
};

// Reading n is inputs[n]; an empty input is never read.
struct TVoltTable {
    VoltFormat format = VoltFormat::Bytes;
    TBankAccess access;  // with a flat window known, reading n is its port flatBase + n
    bool sensorOffsets = false;
    std::vector<std::optional<TVoltSource>> inputs;
};

struct TWinbondChip {
    std::uint8_t code;
    std::string name;
    int bankWidth;
    std::vector<std::string> temps;  // "" = unnamed
    std::vector<std::string> fans;
    std::vector<std::string> pwms;
    std::vector<std::string> volts;
    std::vector<int> props;
    FactorRow factors;
    const TTempTable* temp;  // null: no temperatures
    const TFanTable* fan;  // null: no fans
    const TVoltTable* volt;  // null: no voltages
    PwmLayout pwm;
    TDivisors divisors;
};

// The row of a chip code; nullptr for a code the class does not serve.
const TWinbondChip* FindChip(std::uint8_t code);

// Board voltage fix-ups.
extern const std::vector<std::string> IntelBoards;        // every board of the Intel step
extern const std::vector<std::string> IntelBoardsFirst;   // factors 11.0, 4.92, 1.5
extern const std::vector<std::string> IntelBoardsSecond;  // factors 16.0, 4.0, 1.2
extern const std::vector<std::string> AsusP8P67Boards;

}  // namespace winbond
