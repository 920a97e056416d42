// Frequency tables of the SMBus clock generators: per row the select code in
// the chip's bit positions, then the chip's columns in the order its
// description gives. Every table has its chip's full row count; a row whose
// clocks are not known is a hole (its select code where that is known), so
// an index keeps naming the same setting when holes are filled (README, "Not
// done yet", lists what is known per chip).

#include <array>
#include <initializer_list>
#include <utility>

#include "cpu/cvclockchips.h"

namespace {

using TPlacedRow = std::pair<std::size_t, TClockRow>;

// A table of Count holes with the known rows at their indexes.
template <std::size_t Count>
constexpr std::array<TClockRow, Count> Placed(std::initializer_list<TPlacedRow> known) {
    std::array<TClockRow, Count> rows{};
    for (const TPlacedRow& row : known) rows[row.first] = row.second;
    return rows;
}

// 32 rows whose codes are known: bits 7..4 count up, first with bit 2 clear,
// then set. Known clocks are placed over them.
constexpr std::array<TClockRow, 32> NibbleCoded(std::initializer_list<TPlacedRow> known) {
    std::array<TClockRow, 32> rows{};
    for (std::size_t i = 0; i < 32; ++i)
        rows[i].Select = static_cast<std::uint8_t>((i % 16) << 4 | (i < 16 ? 0x00 : 0x04));
    for (const TPlacedRow& row : known) rows[row.first] = row.second;
    return rows;
}

// CPU, PCI.
constexpr TClockRow ICS9148B04[] = {
    {0x00, {50, 25}},     {0x60, {60, 30}},   {0x70, {66.8f, 33.4f}}, {0x30, {68.5f, 34.5f}},
    {0x10, {75, 32}},     {0x50, {75, 37.5f}}, {0x40, {83.3f, 33.3f}}, {0x20, {83.3f, 41.65f}},
};

// CPU, PCI.
constexpr auto ICS924839 = Placed<16>({
    {0, {0x30, {66.8f, 33.4f}}},
    {3, {0x70, {100.3f, 33.43f}}},
    {7, {0x14, {115, 38.33f}}},
    {8, {0x50, {112, 37.33f}}},
    {15, {0x54, {150, 37.5f}}},
});

// The 9248-39's rows with 112 and 115 MHz the other way round.
constexpr auto ICS925008 = Placed<16>({
    {0, {0x30, {66.8f, 33.4f}}},
    {3, {0x70, {100.3f, 33.43f}}},
    {7, {0x50, {112, 37.33f}}},
    {8, {0x14, {115, 38.33f}}},
    {15, {0x54, {150, 37.5f}}},
});

// CPU, PCI, SDRAM.
constexpr auto ICS924873 = Placed<16>({
    {0, {0x30, {66.89f, 33.44f, 100.33f}}},
    {6, {0x00, {100.23f, 33.41f, 100.23f}}},
    {15, {0x14, {150, 37.5f, 150}}},
});

// CPU, PCI; every code known, no clock.
constexpr auto ICS924890 = NibbleCoded({});

// CPU, PCI. Row 20 (132.99 / 33.25) is known without its code.
constexpr auto ICS924898 = Placed<32>({
    {0, {0x30, {66.82f, 33.41f}}},
    {8, {0x70, {100.23f, 33.41f}}},
    {31, {0x84, {166, 41.5f}}},
});

// The 9248-98's codes. Row 20 (133.9 / 33.25) is known without its code.
constexpr auto ICS925018 = Placed<32>({
    {0, {0x30, {66.9f, 33.45f}}},
    {8, {0x70, {100.7f, 33.57f}}},
    {31, {0x84, {166, 41.5f}}},
});

// CPU, SDRAM, PCI, AGP.
constexpr auto ICS9248171 = Placed<32>({
    {0, {0x00, {66.66f, 66.66f, 33.33f, 66.66f}}},
    {7, {0x40, {100, 133.33f, 33.33f, 66.66f}}},
    {31, {0xF4, {146.66f, 146.66f, 36.66f, 73.33f}}},
});

// CPU, SDRAM, PCI.
constexpr auto ICS9248199ABC = Placed<32>({
    {0, {0x00, {66.66f, 66.66f, 33.33f}}},
    {17, {0x30, {133.33f, 133.33f, 33.33f}}},
    {31, {0xF4, {200, 200, 33.33f}}},
});

// CPU, PCI, SDRAM.
constexpr auto ICS925025 = Placed<32>({
    {0, {0x00, {55, 27.5f, 82.5f}}},
    {15, {0x84, {125, 31.3f, 93.75f}}},
    {31, {0x74, {153.33f, 38.3f, 153.33f}}},
});

// CPU, PCI; every code known, the clocks of the last two rows.
constexpr auto ICS925037 = NibbleCoded({
    {30, {0xE4, {133, 26.6f}}},
    {31, {0xF4, {150, 30}}},
});

// CPU, PCI, SDRAM.
constexpr auto ICS94203 = Placed<32>({
    {0, {0x10, {60, 30, 90}}},
    {16, {0x84, {132.9f, 33.21f, 99.65f}}},
    {31, {0xF0, {200, 50, 200}}},
});

// CPU, PCI, AGP.
constexpr auto ICS94225 = Placed<32>({
    {0, {0x64, {90, 30, 60}}},
    {23, {0x00, {133.33f, 33.33f, 66.67f}}},
    {31, {0x7C, {150, 37.5f, 75}}},
});

// CPU, PCI, AGP, spread.
constexpr auto ICS94229 = Placed<32>({
    {0, {0x0B, {66.67f, 33.33f, 66.67f}, "+/-0.25% spread"}},
    {1, {0x0E, {100, 33.33f, 66.67f}, "+/-0.25% spread (100MHz to SBridge)"}},
    {16, {0x21, {166.67f, 33.33f, 66.67f}, "0 to -0.5% spread"}},
    {31, {0x00, {233.33f, 38.88f, 77.78f}, "+/-0.25% spread"}},
});

// CPU, SDRAM, AGP, PCI.
constexpr auto ICS952005 = Placed<128>({
    {0, {0x60, {100, 100, 66.66f, 33.33f}}},
    {1, {0x20, {100, 100, 66.66f, 33.33f}}},
    {127, {0x1E, {200.05f, 200.05f, 66.68f, 33.34f}}},
});

// CPU, AGP, PCI.
constexpr auto ICS952607 = Placed<128>({
    {0, {0x78, {75, 50, 25}}},
    {7, {0x00, {100, 66.66f, 33.33f}}},
    {127, {0x6D, {460, 79.99f, 40}}},
});

// CPU; four groups that share one code each.
constexpr TClockRow IMIC9835[] = {
    {0x00, {66.7f}}, {0x00, {100}}, {0x00, {133.3f}}, {0x00, {133.3f}},
    {0x01, {70}},    {0x01, {105}}, {0x01, {140}},    {0x01, {140}},
    {0x02, {73.3f}}, {0x02, {110}}, {0x02, {146.7f}}, {0x02, {146.7f}},
    {0x03, {80}},    {0x03, {120}}, {0x03, {160}},    {0x03, {160}},
};

// CPU, PCI.
constexpr auto PLL20503 = Placed<32>({
    {0, {0x30, {66.8f, 33.4f}}},
    {7, {0x70, {100, 33.3f}}},
    {31, {0xD4, {155, 38.7f}}},
});

// CPU, PCI.
constexpr TClockRow RTM52039D[] = {
    {0x30, {66.8f, 33.4f}}, {0x10, {75, 37.5f}},   {0x20, {83.3f, 41.7f}},  {0x70, {100, 33.3f}},
    {0x40, {103, 34.3f}},   {0x50, {112, 37.3f}},  {0x00, {124, 41.3f}},    {0x60, {133.3f, 33.3f}},
};

// CPU, PCI, spread; the W230 and the W230-03 alike.
constexpr auto W230 = Placed<32>({
    {0, {0x46, {95, 31.7f}, "OFF"}},
    {1, {0x76, {100, 33.3f}, "-0.5%"}},
    {3, {0x56, {100, 33.3f}, "0.5%"}},
    {31, {0x00, {166, 41.6f}, "OFF"}},
});

// CPU, PCI.
constexpr auto W311 = Placed<32>({
    {0, {0x42, {66.6f, 33.3f}}},
    {1, {0x46, {66.6f, 33.3f}}},
    {31, {0x00, {200, 33.3f}}},
});

// CPU, PCI.
constexpr TClockRow W48S11114[] = {
    {0x30, {66.8f, 33.4f}}, {0x00, {68.5f, 34.25f}}, {0x10, {75, 37.5f}},   {0x20, {83.3f, 41.6f}},
    {0x70, {100, 33.3f}},   {0x40, {103, 34.25f}},   {0x50, {112, 37.3f}},  {0x60, {133.3f, 44.43f}},
};

struct TTableById {
    std::uint8_t ChipId;
    std::span<const TClockRow> Rows;
};

constexpr std::array<TTableById, 23> Tables{{
    {2, ICS9148B04}, {3, ICS924839},  {4, ICS924873},  {5, ICS924890},  {6, ICS924898},  {7, ICS9248171},
    {8, ICS9248199ABC}, {9, ICS925008}, {10, ICS925018}, {11, ICS925025}, {12, ICS925037}, {13, ICS94203},
    {14, ICS94225},  {15, ICS94229},  {16, ICS952005}, {17, ICS952607}, {18, IMIC9835},  {19, PLL20503},
    {20, RTM52039D}, {21, W230},      {22, W230},      {23, W311},      {24, W48S11114},
}};

}  // namespace

std::span<const TClockRow> ClockFrequencyTable(std::uint8_t chipId) {
    for (const TTableById& table : Tables)
        if (table.ChipId == chipId) return table.Rows;
    return {};
}
