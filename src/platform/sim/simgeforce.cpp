#include "platform/sim/simgeforce.h"

#include <algorithm>
#include <cstring>

#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

void put16(std::vector<std::uint8_t>& image, std::size_t at, std::uint16_t value) {
    image[at] = static_cast<std::uint8_t>(value);
    image[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr std::uint32_t RegisterSpan = 0x5000, MappedSpan = 0x2000, ThermalRegister = 0x15B4;
constexpr std::size_t TokenSize = 6;

}  // namespace

std::vector<std::uint8_t> buildVideoBios(const VideoBiosSpec& spec) {
    std::vector<std::uint8_t> image(VideoBiosSize, 0);
    image[0] = 0x55;
    image[1] = 0xAA;
    image[2] = static_cast<std::uint8_t>(VideoBiosSize / 512);
    put16(image, 0x18, BiosPcirAt);
    std::memcpy(&image[BiosPcirAt], "PCIR", 4);
    put16(image, BiosPcirAt + 4, spec.vendorId);
    put16(image, BiosPcirAt + 6, spec.deviceId);
    put16(image, BiosPcirAt + 10, 0x18);  // the structure's length
    if (!spec.withBit) return image;

    // The header: FFh B8h "BIT" 0, version 1.00, header size 12, token size 6, token count, checksum.
    const std::size_t header = BiosBitAt - 2;
    const std::uint8_t bitHeader[] = {0xFF, 0xB8, 'B', 'I', 'T', 0, 0x00, 0x01, 12, TokenSize, 3, 0};
    std::copy(std::begin(bitHeader), std::end(bitHeader), image.begin() + static_cast<std::ptrdiff_t>(header));
    std::size_t token = header + 12;
    std::size_t data = 0x200;
    const auto addToken = [&](char id, std::size_t size) {
        image[token] = static_cast<std::uint8_t>(id);
        image[token + 1] = 1;
        put16(image, token + 2, static_cast<std::uint16_t>(size));
        put16(image, token + 4, static_cast<std::uint16_t>(data));
        token += TokenSize;
        const std::size_t at = data;
        data += size;
        return at;
    };
    std::copy(spec.version.begin(), spec.version.end(), image.begin() + static_cast<std::ptrdiff_t>(addToken('B', 5)));
    const std::size_t strings = addToken('S', 21);
    std::size_t text = 0x300;
    for (std::size_t k = 0; k < std::min<std::size_t>(spec.strings.size(), 7); ++k) {
        put16(image, strings + 3 * k, static_cast<std::uint16_t>(text));
        image[strings + 3 * k + 2] = static_cast<std::uint8_t>(spec.strings[k].size());
        std::memcpy(&image[text], spec.strings[k].data(), spec.strings[k].size());
        text += spec.strings[k].size() + 1;
    }
    put16(image, addToken('P', 16) + 12, BiosThermalAt);
    // The thermal table: version, header size 4, entry size 3, entry count.
    const std::uint8_t thermalHeader[] = {0x10, 4, 3, static_cast<std::uint8_t>(spec.thermal.size())};
    std::copy(std::begin(thermalHeader), std::end(thermalHeader), image.begin() + BiosThermalAt);
    for (std::size_t c = 0; c < spec.thermal.size(); ++c) {
        image[BiosThermalAt + 4 + 3 * c] = spec.thermal[c].first;
        put16(image, BiosThermalAt + 5 + 3 * c, spec.thermal[c].second);
    }
    return image;  // the token after the last stays 00h 00h and ends the list
}

void addGeForceMmio(Machine& machine, const GeForceMmio& card) {
    PhysicalMemory& memory = machine.memory();
    std::vector<std::uint8_t> registers(RegisterSpan, 0);
    std::memcpy(&registers[ThermalRegister], &card.thermal, 4);
    put16(registers, RomEnableRegister, 1);  // the ROM window starts disabled
    memory.addRegion(card.bar0, std::move(registers), "GPU registers");
    const std::uint32_t rom = card.bar0 + RomWindowOffset;
    memory.addRegion(rom, std::vector<std::uint8_t>(VideoBiosSize, 0xFF), "GPU ROM window");
    if (card.largestRomRead) memory.limitTransfer(rom, card.largestRomRead);
    memory.addRegion(card.bar0 + RegWindowOffset, std::vector<std::uint8_t>(MappedSpan, 0), "GPU mapped registers");
    std::vector<std::uint8_t> bios = card.bios;
    bios.resize(VideoBiosSize, 0xFF);
    memory.onDWordWrite(card.bar0 + RomEnableRegister, [&memory, rom, bios](std::uint32_t value) {
        std::uint8_t* window = memory.window(rom, VideoBiosSize);
        if (value == 0)
            std::copy(bios.begin(), bios.end(), window);
        else
            std::fill_n(window, VideoBiosSize, 0xFF);
    });
}

}  // namespace platform::sim
