#include "platform/sim/registerfile.h"

#include <stdexcept>
#include <string>

namespace platform::sim {

RegisterFile::RegisterFile(int banks) {
    if (banks < 1) throw std::invalid_argument("a register file needs at least one bank");
    banks_.assign(static_cast<std::size_t>(banks), Bank(registersPerBank));
}

void RegisterFile::checkBank(int bank) const {
    if (bank < 0 || bank >= bankCount())
        throw std::out_of_range("register bank " + std::to_string(bank) + " of " + std::to_string(bankCount()));
}

RegisterFile::Register& RegisterFile::at(int bank, std::uint8_t reg) {
    checkBank(bank);
    return banks_[static_cast<std::size_t>(bank)][reg];
}

const RegisterFile::Register& RegisterFile::at(int bank, std::uint8_t reg) const {
    checkBank(bank);
    return banks_[static_cast<std::size_t>(bank)][reg];
}

void RegisterFile::selectBank(int bank) {
    checkBank(bank);
    bank_ = bank;
}

std::uint8_t RegisterFile::read(std::uint8_t reg) {
    Register& r = at(bank_, reg);
    if (r.generator) r.value = r.generator();
    const std::uint8_t value = r.value;
    r.value &= static_cast<std::uint8_t>(~r.behaviour.clearOnRead);
    return value;
}

void RegisterFile::write(std::uint8_t reg, std::uint8_t value) {
    Register& r = at(bank_, reg);
    const std::uint8_t mask = r.behaviour.writeMask;
    r.value = static_cast<std::uint8_t>((r.value & ~mask) | (value & mask));
}

void RegisterFile::set(std::uint8_t reg, std::uint8_t value, int bank) { at(bank, reg).value = value; }

std::uint8_t RegisterFile::peek(std::uint8_t reg, int bank) const { return at(bank, reg).value; }

void RegisterFile::setBehaviour(std::uint8_t reg, RegisterBehaviour behaviour, int bank) {
    at(bank, reg).behaviour = behaviour;
}

void RegisterFile::setGenerator(std::uint8_t reg, ValueGenerator generator, int bank) {
    at(bank, reg).generator = std::move(generator);
}

}  // namespace platform::sim
