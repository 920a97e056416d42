#pragma once
// A chip's byte registers: 256 per bank, each with its own behaviour. The
// program side (read/write) sees the behaviours; the set/peek side is for
// boards and tests and bypasses them.

#include <cstdint>
#include <vector>

#include "platform/sim/valuegenerator.h"

namespace platform::sim {

// How a register reacts to the program. Plain is both masks at their
// defaults; read-only is a write mask of 0.
struct RegisterBehaviour {
    std::uint8_t writeMask = 0xFF;   // bits a write may change
    std::uint8_t clearOnRead = 0x00;  // bits a read clears after answering

    static RegisterBehaviour plain() { return {}; }
    static RegisterBehaviour readOnly() { return {0x00, 0x00}; }
    static RegisterBehaviour masked(std::uint8_t writeMask) { return {writeMask, 0x00}; }
    static RegisterBehaviour readToClear(std::uint8_t bits = 0xFF) { return {0xFF, bits}; }
};

class RegisterFile {
public:
    static constexpr int registersPerBank = 256;

    // Throws std::invalid_argument for fewer than one bank.
    explicit RegisterFile(int banks = 1);

    int bankCount() const { return static_cast<int>(banks_.size()); }
    int bank() const { return bank_; }
    // Throws std::out_of_range for a bank the file does not have.
    void selectBank(int bank);

    // The program's accesses, to the selected bank.
    std::uint8_t read(std::uint8_t reg);
    void write(std::uint8_t reg, std::uint8_t value);

    // Board and test side; banks are range-checked (std::out_of_range).
    void set(std::uint8_t reg, std::uint8_t value, int bank = 0);
    std::uint8_t peek(std::uint8_t reg, int bank = 0) const;
    void setBehaviour(std::uint8_t reg, RegisterBehaviour behaviour, int bank = 0);
    // From now on reads of the register answer the generator's values.
    void setGenerator(std::uint8_t reg, ValueGenerator generator, int bank = 0);

private:
    struct Register {
        std::uint8_t value = 0;
        RegisterBehaviour behaviour;
        ValueGenerator generator;
    };
    using Bank = std::vector<Register>;

    void checkBank(int bank) const;
    Register& at(int bank, std::uint8_t reg);
    const Register& at(int bank, std::uint8_t reg) const;

    std::vector<Bank> banks_;
    int bank_ = 0;
};

}  // namespace platform::sim
