#include "chips/cvchipaccess.h"

#include "chips/cvchipconv.h"

std::optional<std::uint8_t> ReadChipByte(TLink* link, int address, std::uint8_t reg) {
    std::uint8_t value = 0;
    if (!link || !link->ReadByteData(address, reg, value)) return std::nullopt;
    return value;
}

std::optional<std::uint16_t> ReadChipWord(TLink* link, int address, std::uint8_t reg) {
    std::uint16_t value = 0;
    if (!link || !link->ReadWordData(address, reg, value)) return std::nullopt;
    return value;
}

std::optional<std::uint16_t> ReadChipBytePair(TLink* link, int address, std::uint8_t highReg, std::uint8_t lowReg) {
    const auto high = ReadChipByte(link, address, highReg);
    if (!high) return std::nullopt;
    const auto low = ReadChipByte(link, address, lowReg);
    if (!low) return std::nullopt;
    return static_cast<std::uint16_t>(*high << 8 | *low);
}

std::optional<std::uint8_t> UnlessAllOnes(std::optional<std::uint8_t> value) {
    return value == 0xFF ? std::nullopt : value;
}

std::optional<std::uint16_t> UnlessAllOnes(std::optional<std::uint16_t> value) {
    return value == 0xFFFF ? std::nullopt : value;
}

std::optional<int> ReadField(std::optional<std::uint8_t> reg, std::uint8_t mask, int shift) {
    if (!reg) return std::nullopt;
    return chipconv::GetField(*reg, mask, shift);
}

std::optional<std::uint16_t> ReadThermometerWord(TLink* link, int address, std::uint8_t reg) {
    return UnlessAllOnes(ReadChipWord(link, address, reg));
}

bool WriteChipByte(TLink* link, int address, std::uint8_t reg, std::uint8_t value) {
    return link && link->WriteByteData(address, reg, value);
}

bool UpdateChipField(TLink* link, int address, std::uint8_t reg, std::uint8_t mask, int shift, std::uint8_t field) {
    const auto old = ReadChipByte(link, address, reg);
    if (!old) return false;
    return WriteChipByte(link, address, reg, chipconv::SetField(*old, mask, shift, field));
}
