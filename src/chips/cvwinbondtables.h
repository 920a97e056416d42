#pragma once
// The Winbond/Nuvoton chip rows: what each chip code names, how wide its bank
// field is, and which register layout each reading group of the driver uses.
// The driver picks one row at construction and reads only through it.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace winbond {

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

// An input is read only while its gate register's bits `mask` equal `value`
// (mask 0: always); while the gate register does not answer it gives no value.
struct TInputGate {
    std::uint8_t reg = 0, mask = 0, value = 0;
};

// One voltage input: its register, the bank it lives in (NoBank: the bank
// already selected) and raw x factor + offset. With `sensorFactor` k, the
// factor is multiplied by the sensor's factor k, which board fix-ups change
// (and the sensor's offset k replaces `offset` when the table says so). With
// a mode register, its bit 0 set picks the mode factor and offset instead.
// With a low register, raw is the register x 4 + the low register's bits
// `lowMask` from bit `lowShift` (the whole byte by default), read after the
// input unless it is the group's shared low register.
struct TVoltSource {
    std::uint8_t reg;
    int bank = NoBank;
    double factor = 1;
    double offset = 0;
    int sensorFactor = -1;
    int modeReg = -1;
    double modeFactor = 1, modeOffset = 0;
    TInputGate gate = {};  // an input gated off keeps its value
    int low = -1;
    std::uint8_t lowMask = 0xFF, lowShift = 0;
};

// A bank is reached through its field, or by writing 4Eh whole.
enum class BankSwitch { Field, Whole };

// What a group does before its inputs: nothing; read 00h; or read 00h and
// write it back with bits 2:0 clear (bank 0). Nothing is read when 00h is not.
enum class GroupEntry { None, Probe00, Bank00 };

// How a group of readings reaches its registers. The gate registers are read
// once after the entry, in order; the shared low register once after them.
struct TBankAccess {
    BankSwitch banks = BankSwitch::Field;
    int endBank = NoBank;  // the bank left selected after a banked read
    int flatBase = -1;     // with a flat window known, the group's first port there
    bool needsIsaBase = false;  // no banked reading when the ISA base is unused
    GroupEntry entry = GroupEntry::None;
    std::vector<std::uint8_t> gates = {};
    int sharedLow = -1;  // an input whose low register this is uses the value read once
};

// How a fan's count converts: an 8-bit count with the fan's divisor; a
// 13-bit count (register x 32 + the next register's bits 4:0); a 16-bit
// count (high register first); the low 12 bits of such a pair; a 12-bit
// count (register x 16 + the whole low register, latched by the register
// read and read after it); or a pair that is the speed itself.
enum class FanForm { Divided, Count13, Count16, Count12Pair, Count12Latched, Speed };

struct TFanSource {
    std::uint8_t reg;
    int bank = NoBank;
    FanForm form = FanForm::Divided;
    TInputGate gate = {};  // a fan gated off keeps its value
    std::uint8_t low = 0;
};

// Fan n is inputs[n]. With a flat window known, fan n is the speed in ports
// flatBase + 2n and + 2n + 1.
struct TFanTable {
    TBankAccess access;
    int noFan = -1;             // a speed that means no fan
    std::vector<TFanSource> inputs;
};

// How a temperature converts: a signed byte; plus half a degree from bit 7
// of register `low`; plus half a degree from bit `bit` of register `low`;
// or plus quarter degrees from bits `bit` + 1:`bit` of register `low`, read
// after the input unless it is the group's shared low register.
enum class TempForm { Signed, HalfDegree, HalfBit, Quarter };

struct TTempSource {
    int reading;
    std::uint8_t reg;
    int bank = NoBank;
    TempForm form = TempForm::Signed;
    std::uint8_t low = 0;
    int bit = 0;
    TInputGate gate = {};  // a temperature gated off reads 0
};

// Inputs in the order they are read. With a flat window known, reading n is
// the signed byte at its port flatBase + n.
struct TTempTable {
    TBankAccess access;
    std::vector<TTempSource> inputs;
};

// Reading n is inputs[n]; an empty input is never read.
struct TVoltTable {
    TBankAccess access;  // with a flat window known, reading n is its port flatBase + n
    bool sensorOffsets = false;
    std::vector<std::optional<TVoltSource>> inputs;
};

// How a duty register holds the duty: all 8 bits, 6 bits (bits 5:0), the
// high or the low nibble, or, by a mode bit per output, 6 bits in 7:2 or 8.
enum class PwmScale { Full, Six, HighNibble, LowNibble, ModeDependent };

// What precedes an output access: nothing, 4Eh := 00h, bank 0 through the
// bank field, or 00h := 00h with the outputs unreached when that write fails.
enum class PwmEntry { None, Bank4E, Bank0, Clear00 };

struct TPwmModeBit {
    std::uint8_t reg, bit;
};

// Where a duty is written when not at its read register.
struct TPwmTarget {
    int bank;
    std::uint8_t reg;
};

// Output n reads regs[n] (bank 0 or none). A write puts the duty (0-255)
// into the scale's field, keeping the register's other bits, plus `setBits`.
struct TPwmOutputs {
    PwmEntry readEntry;
    PwmEntry writeEntry;
    std::vector<std::uint8_t> regs;
    PwmScale scale;
    std::vector<TPwmModeBit> modes = {};   // by output, for ModeDependent
    std::vector<TPwmTarget> targets = {};  // by output; empty: regs[n], unbanked
    std::uint8_t setBits = 0;
    int manualGate = -1;         // bits 2n+1:2n (n from 1) must be 00, else no write
    bool needsIsaBase = false;   // nothing reached while the ISA base is unused
    bool readBack = true;        // a write answers the duty read back, else the duty asked
};

// One register field of a property: the field's bits are value bits from
// `valueShift` on; bank NoBank: the bank register is left alone.
struct TPropPart {
    int bank;
    std::uint8_t reg, mask, shift, valueShift;
    std::uint8_t setMask = 0;  // the bits the setter writes (the mask when 0)
};

// A property read from and written to register fields.
struct TPropRow {
    int id;
    std::vector<TPropPart> parts;
    bool readOnly = false;
    bool clearsBank4E = false;     // 4Eh := 00h before a write
    std::vector<int> refused = {};  // values the setter refuses
    bool needsIsaBase = false;     // neither read nor written while the ISA base is unused
};

// Where the chip shows its SMBus address: the field (register >> shift) &
// mask, after the entry step (and bank 0 through the bank field when asked),
// logged at level 0 with `log` when that is not empty.
struct TReportedAddress {
    std::uint8_t reg = 0x48, mask = 0x7F, shift = 0;
    GroupEntry entry = GroupEntry::None;
    bool selectsBank0 = false;
    std::string log = {};
};

// The option texts of the properties `ids`; a chip's first row naming an id
// gives its options.
struct TPropOptions {
    std::vector<int> ids;
    std::vector<std::string> texts;
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
    const TPwmOutputs* pwm;  // null: no outputs
    TDivisors divisors;
    std::vector<TPropRow> propFields = {};
    TReportedAddress reportedSMBus = {};
    std::vector<TPropOptions> propOptions = {};
    std::vector<std::pair<int, std::string>> propNames = {};  // by id, where not the catalogue's
};

// The row of a chip code; nullptr for a code the class does not serve.
const TWinbondChip* FindChip(std::uint8_t code);

// Board voltage fix-ups.
extern const std::vector<std::string> IntelBoards;        // every board of the Intel step
extern const std::vector<std::string> IntelBoardsFirst;   // factors 11.0, 4.92, 1.5
extern const std::vector<std::string> IntelBoardsSecond;  // factors 16.0, 4.0, 1.2
extern const std::vector<std::string> AsusP8P67Boards;

}  // namespace winbond
