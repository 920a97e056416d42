#pragma once
// A chip's registers: 256 per bank, each with its own behaviour. The program
// side (read/write and the word forms) sees the behaviours and never throws; the
// set/peek side is for boards and tests and bypasses them.
//
// Registers are bytes unless marked word-wide: a word register holds 16 bits,
// shows its high byte to byte reads (with a byte selector: the high byte while
// its bit is set, the low byte while it is clear) and goes high byte first on
// the bus for word reads.

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/sim/valuegenerator.h"

namespace platform::sim {

// What a register does wrong when the program reads it: Fail answers no value
// (a NACK on SMBus, all ones on ports) `times` times, -1 for always; AllOnes
// and Garbage answer wrong bytes. Writes still arrive.
struct RegisterFault {
    enum class Kind { None, Fail, AllOnes, Garbage };
    Kind kind = Kind::None;
    int times = -1;
};

// Another register's bits that guard this one.
struct RegisterBit {
    std::uint8_t reg = 0;
    std::uint8_t mask = 0;
};

// How a register reacts to the program. Plain is every field at its default;
// read-only is a write mask of 0.
struct RegisterBehaviour {
    std::uint16_t writeMask = 0xFFFF;  // bits a write may change
    std::uint16_t clearOnRead = 0x0000;  // bits a read clears after answering
    bool word = false;
    std::optional<std::uint8_t> writeTo;   // writes land at this address instead
    std::optional<std::uint8_t> mirrorOf;  // reads answer this register instead
    std::optional<RegisterBit> protectedBy;  // writes ignored while any of these bits is set
    std::function<void(std::uint16_t value)> onWrite;  // told each value the program writes

    static RegisterBehaviour plain() { return {}; }
    static RegisterBehaviour readOnly() { return masked(0x00); }
    static RegisterBehaviour masked(std::uint16_t writeMask) {
        RegisterBehaviour b;
        b.writeMask = writeMask;
        return b;
    }
    static RegisterBehaviour readToClear(std::uint16_t bits = 0xFF) {
        RegisterBehaviour b;
        b.clearOnRead = bits;
        return b;
    }
};

// A bank field: bits `mask` of register `reg` (shifted down by `shift`) pick
// which copy of registers first..last the program sees. The select register
// itself, and every register outside the range, is the same in every bank.
struct BankSelector {
    std::uint8_t reg = 0x4E;
    std::uint8_t mask = 0x07;
    int shift = 0;
    std::uint8_t first = 0x00;
    std::uint8_t last = 0xFF;
};

class RegisterFile {
public:
    static constexpr int registersPerBank = 256;

    // Throws std::invalid_argument for fewer than one bank.
    explicit RegisterFile(int banks = 1);

    int bankCount() const { return static_cast<int>(banks_.size()); }
    // The bank chosen by selectBank (files without a bank selector).
    int bank() const { return bank_; }
    // Throws std::out_of_range for a bank the file does not have.
    void selectBank(int bank);
    // From now on the bank comes from the selector's register.
    void setBankSelector(BankSelector selector) { bankSelector_ = selector; }
    // Byte accesses of word registers reach the high byte while the bit is set
    // and the low byte while it is clear.
    void setByteSelector(RegisterBit selector) { byteSelector_ = selector; }

    // The program's accesses. A bank the file lacks reads FFh and drops writes.
    std::uint8_t read(std::uint8_t reg);
    std::optional<std::uint8_t> readChecked(std::uint8_t reg);
    void write(std::uint8_t reg, std::uint8_t value);
    // A word transfer in bus order: a word register, or reg and reg + 1.
    std::optional<std::pair<std::uint8_t, std::uint8_t>> readWordBytes(std::uint8_t reg);
    void writeWordBytes(std::uint8_t reg, std::uint8_t first, std::uint8_t second);

    // Board and test side; banks are range-checked (std::out_of_range).
    void set(std::uint8_t reg, std::uint16_t value, int bank = 0);
    std::uint8_t peek(std::uint8_t reg, int bank = 0) const;
    std::uint16_t peekWord(std::uint8_t reg, int bank = 0) const;
    void setBehaviour(std::uint8_t reg, RegisterBehaviour behaviour, int bank = 0);
    // One more listener to the values the program writes, after any it has.
    void addWriteHook(std::uint8_t reg, std::function<void(std::uint16_t value)> hook, int bank = 0);
    // From now on reads of the register answer the generator's values.
    void setGenerator(std::uint8_t reg, ValueGenerator generator, int bank = 0);
    void setFault(std::uint8_t reg, RegisterFault fault, int bank = 0);

private:
    struct Register {
        std::uint16_t value = 0;
        RegisterBehaviour behaviour;
        ValueGenerator generator;
        RegisterFault fault;
    };
    using Bank = std::vector<Register>;

    void checkBank(int bank) const;
    Register& at(int bank, std::uint8_t reg);
    const Register& at(int bank, std::uint8_t reg) const;
    // The register the program reaches at `reg` now; null in a missing bank.
    Register* live(std::uint8_t reg);
    std::optional<std::uint16_t> readValue(Register& r);
    void writeValue(std::uint8_t reg, std::uint16_t value, bool whole);
    bool bitSet(RegisterBit bit);
    bool showsLowByte();

    std::vector<Bank> banks_;
    int bank_ = 0;
    std::optional<BankSelector> bankSelector_;
    std::optional<RegisterBit> byteSelector_;
    std::uint32_t garbageState_ = 0x2545F491u;
};

}  // namespace platform::sim
