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

RegisterFile::Register* RegisterFile::live(std::uint8_t reg) {
    int bank = bank_;
    if (bankSelector_) {
        const BankSelector& s = *bankSelector_;
        const bool banked = reg >= s.first && reg <= s.last && reg != s.reg;
        bank = banked ? (banks_[0][s.reg].value & s.mask) >> s.shift : 0;
    }
    if (bank >= bankCount()) return nullptr;
    return &banks_[static_cast<std::size_t>(bank)][reg];
}

bool RegisterFile::showsLowByte() { return byteSelector_ && !bitSet(*byteSelector_); }

bool RegisterFile::bitSet(RegisterBit bit) {
    const Register* r = live(bit.reg);
    return r && (r->value & bit.mask) != 0;
}

std::optional<std::uint16_t> RegisterFile::readValue(Register& r) {
    switch (r.fault.kind) {
        case RegisterFault::Kind::Fail:
            if (r.fault.times == 0) break;
            if (r.fault.times > 0) --r.fault.times;
            return std::nullopt;
        case RegisterFault::Kind::AllOnes:
            return 0xFFFF;
        case RegisterFault::Kind::Garbage:
            // xorshift32: a fixed sequence, so a test sees the same bytes each run
            garbageState_ ^= garbageState_ << 13;
            garbageState_ ^= garbageState_ >> 17;
            garbageState_ ^= garbageState_ << 5;
            return static_cast<std::uint16_t>(garbageState_);
        case RegisterFault::Kind::None:
            break;
    }
    if (r.generator) r.value = r.behaviour.word ? r.generator() : (r.generator() & 0xFF);
    const std::uint16_t value = r.value;
    r.value &= static_cast<std::uint16_t>(~r.behaviour.clearOnRead);
    return value;
}

std::optional<std::uint8_t> RegisterFile::readChecked(std::uint8_t reg) {
    Register* r = live(reg);
    if (r && r->behaviour.mirrorOf) r = live(*r->behaviour.mirrorOf);
    if (!r) return 0xFF;
    const auto value = readValue(*r);
    if (!value) return std::nullopt;
    if (!r->behaviour.word) return static_cast<std::uint8_t>(*value);
    const bool low = showsLowByte();
    return static_cast<std::uint8_t>(low ? *value : *value >> 8);
}

std::uint8_t RegisterFile::read(std::uint8_t reg) { return readChecked(reg).value_or(0xFF); }

std::optional<std::pair<std::uint8_t, std::uint8_t>> RegisterFile::readWordBytes(std::uint8_t reg) {
    Register* r = live(reg);
    if (r && r->behaviour.mirrorOf) r = live(*r->behaviour.mirrorOf);
    if (r && r->behaviour.word) {
        const auto value = readValue(*r);
        if (!value) return std::nullopt;
        return std::pair{static_cast<std::uint8_t>(*value >> 8), static_cast<std::uint8_t>(*value)};
    }
    const auto first = readChecked(reg);
    if (!first) return std::nullopt;
    const auto second = readChecked(static_cast<std::uint8_t>(reg + 1));
    if (!second) return std::nullopt;
    return std::pair{*first, *second};
}

void RegisterFile::writeValue(std::uint8_t reg, std::uint16_t value, bool whole) {
    Register* r = live(reg);
    if (r && r->behaviour.writeTo) r = live(*r->behaviour.writeTo);
    if (!r) return;
    const RegisterBehaviour& b = r->behaviour;
    if (b.protectedBy && bitSet(*b.protectedBy)) return;
    std::uint16_t mask = b.writeMask;
    if (b.word && !whole) {
        const bool low = showsLowByte();
        mask &= low ? 0x00FF : 0xFF00;
        value = low ? value : static_cast<std::uint16_t>(value << 8);
    } else if (!b.word) {
        mask &= 0xFF;
    }
    r->value = static_cast<std::uint16_t>((r->value & ~mask) | (value & mask));
    if (b.onWrite) b.onWrite(r->value);
}

void RegisterFile::write(std::uint8_t reg, std::uint8_t value) { writeValue(reg, value, false); }

void RegisterFile::writeWordBytes(std::uint8_t reg, std::uint8_t first, std::uint8_t second) {
    const Register* r = live(reg);
    if (r && r->behaviour.writeTo) r = live(*r->behaviour.writeTo);
    if (r && r->behaviour.word) {
        writeValue(reg, static_cast<std::uint16_t>(first << 8 | second), true);
        return;
    }
    write(reg, first);
    write(static_cast<std::uint8_t>(reg + 1), second);
}

void RegisterFile::set(std::uint8_t reg, std::uint16_t value, int bank) { at(bank, reg).value = value; }

std::uint8_t RegisterFile::peek(std::uint8_t reg, int bank) const {
    return static_cast<std::uint8_t>(at(bank, reg).value);
}

std::uint16_t RegisterFile::peekWord(std::uint8_t reg, int bank) const { return at(bank, reg).value; }

void RegisterFile::setBehaviour(std::uint8_t reg, RegisterBehaviour behaviour, int bank) {
    at(bank, reg).behaviour = std::move(behaviour);
}

void RegisterFile::addWriteHook(std::uint8_t reg, std::function<void(std::uint16_t value)> hook, int bank) {
    auto& onWrite = at(bank, reg).behaviour.onWrite;
    if (!onWrite) {
        onWrite = std::move(hook);
        return;
    }
    onWrite = [first = std::move(onWrite), second = std::move(hook)](std::uint16_t value) {
        first(value);
        second(value);
    };
}

void RegisterFile::setGenerator(std::uint8_t reg, ValueGenerator generator, int bank) {
    at(bank, reg).generator = std::move(generator);
}

void RegisterFile::setFault(std::uint8_t reg, RegisterFault fault, int bank) { at(bank, reg).fault = fault; }

}  // namespace platform::sim
