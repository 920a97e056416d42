#pragma once
// An NVIDIA card's memory-mapped side on the simulated machine: the register
// window at BAR0 (the thermal dword at 15B4h, the dumped ranges, the ROM
// enable at 1850h), the ROM window at BAR0 + 300000h that shows the video
// BIOS while enabled and FFh otherwise, and the mapped window at
// BAR0 + 601000h. Also a video-BIOS builder following the published layouts
// (expansion ROM header, PCI data structure, BIT header and tokens).

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace platform::sim {

class Machine;

struct VideoBiosSpec {
    std::uint16_t vendorId = 0x10DE, deviceId = 0;
    bool withBit = true;
    std::array<std::uint8_t, 5> version{};  // bytes 0..4 of the 'B' token
    std::vector<std::string> strings;       // up to 7
    std::vector<std::pair<std::uint8_t, std::uint16_t>> thermal;  // thermal table entries: id, value
};

inline constexpr std::size_t VideoBiosSize = 0x10000;
// Where the builder places its structures.
inline constexpr std::size_t BiosPcirAt = 0x40, BiosBitAt = 0x100, BiosThermalAt = 0x400;
std::vector<std::uint8_t> buildVideoBios(const VideoBiosSpec& spec);

struct GeForceMmio {
    std::uint32_t bar0 = 0;
    std::uint32_t thermal = 0;  // the dword at 15B4h
    std::vector<std::uint8_t> bios;
    // Faults: reads longer than this from the ROM window copy nothing (0: none).
    std::size_t largestRomRead = 0;
};
inline constexpr std::uint32_t RomWindowOffset = 0x300000, RegWindowOffset = 0x601000, RomEnableRegister = 0x1850;

void addGeForceMmio(Machine& machine, const GeForceMmio& card);

}  // namespace platform::sim
