// Frequency tables of the SMBus clock generators: per row the select code in
// the chip's bit positions, then the chip's columns in the order its
// description gives. Where no data sheet completes a table, it holds the rows
// that are known exactly, in their order (README, "Not done yet").

#include <array>

#include "cpu/cvclockchips.h"

namespace {

// CPU, PCI.
constexpr TClockRow ICS9148B04[] = {
    {0x00, {50, 25}},     {0x60, {60, 30}},   {0x70, {66.8f, 33.4f}}, {0x30, {68.5f, 34.5f}},
    {0x10, {75, 32}},     {0x50, {75, 37.5f}}, {0x40, {83.3f, 33.3f}}, {0x20, {83.3f, 41.65f}},
};

// CPU, PCI; partial.
constexpr TClockRow ICS924839[] = {
    {0x30, {66.8f, 33.4f}}, {0x70, {100.3f, 33.43f}}, {0x14, {115, 38.33f}},
    {0x50, {112, 37.33f}},  {0x54, {150, 37.5f}},
};

// The 9248-39's rows with 112 and 115 MHz the other way round; partial.
constexpr TClockRow ICS925008[] = {
    {0x30, {66.8f, 33.4f}}, {0x70, {100.3f, 33.43f}}, {0x50, {112, 37.33f}},
    {0x14, {115, 38.33f}},  {0x54, {150, 37.5f}},
};

// CPU, PCI, SDRAM; partial.
constexpr TClockRow ICS924873[] = {
    {0x30, {66.89f, 33.44f, 100.33f}},
    {0x00, {100.23f, 33.41f, 100.23f}},
    {0x14, {150, 37.5f, 150}},
};

// CPU, PCI; partial.
constexpr TClockRow ICS924898[] = {
    {0x30, {66.82f, 33.41f}},
    {0x70, {100.23f, 33.41f}},
    {0x84, {166, 41.5f}},
};

// The 9248-98's codes; partial.
constexpr TClockRow ICS925018[] = {
    {0x30, {66.9f, 33.45f}},
    {0x70, {100.7f, 33.57f}},
    {0x84, {166, 41.5f}},
};

// CPU, SDRAM, PCI, AGP; partial.
constexpr TClockRow ICS9248171[] = {
    {0x00, {66.66f, 66.66f, 33.33f, 66.66f}},
    {0x40, {100, 133.33f, 33.33f, 66.66f}},
    {0xF4, {146.66f, 146.66f, 36.66f, 73.33f}},
};

// CPU, SDRAM, PCI; partial.
constexpr TClockRow ICS9248199ABC[] = {
    {0x00, {66.66f, 66.66f, 33.33f}},
    {0x30, {133.33f, 133.33f, 33.33f}},
    {0xF4, {200, 200, 33.33f}},
};

// CPU, PCI, SDRAM; partial.
constexpr TClockRow ICS925025[] = {
    {0x00, {55, 27.5f, 82.5f}},
    {0x84, {125, 31.3f, 93.75f}},
    {0x74, {153.33f, 38.3f, 153.33f}},
};

// CPU, PCI; partial (its last two rows).
constexpr TClockRow ICS925037[] = {
    {0xE4, {133, 26.6f}},
    {0xF4, {150, 30}},
};

// CPU, PCI, SDRAM; partial.
constexpr TClockRow ICS94203[] = {
    {0x10, {60, 30, 90}},
    {0x84, {132.9f, 33.21f, 99.65f}},
    {0xF0, {200, 50, 200}},
};

// CPU, PCI, AGP; partial.
constexpr TClockRow ICS94225[] = {
    {0x64, {90, 30, 60}},
    {0x00, {133.33f, 33.33f, 66.67f}},
    {0x7C, {150, 37.5f, 75}},
};

// CPU, PCI, AGP, spread; partial.
constexpr TClockRow ICS94229[] = {
    {0x0B, {66.67f, 33.33f, 66.67f}, "+/-0.25% spread"},
    {0x0E, {100, 33.33f, 66.67f}, "+/-0.25% spread (100MHz to SBridge)"},
    {0x21, {166.67f, 33.33f, 66.67f}, "0 to -0.5% spread"},
    {0x00, {233.33f, 38.88f, 77.78f}, "+/-0.25% spread"},
};

// CPU, SDRAM, AGP, PCI; partial.
constexpr TClockRow ICS952005[] = {
    {0x60, {100, 100, 66.66f, 33.33f}},
    {0x20, {100, 100, 66.66f, 33.33f}},
    {0x1E, {200.05f, 200.05f, 66.68f, 33.34f}},
};

// CPU, AGP, PCI; partial.
constexpr TClockRow ICS952607[] = {
    {0x78, {75, 50, 25}},
    {0x00, {100, 66.66f, 33.33f}},
    {0x6D, {460, 79.99f, 40}},
};

// CPU; four groups that share one code each.
constexpr TClockRow IMIC9835[] = {
    {0x00, {66.7f}}, {0x00, {100}}, {0x00, {133.3f}}, {0x00, {133.3f}},
    {0x01, {70}},    {0x01, {105}}, {0x01, {140}},    {0x01, {140}},
    {0x02, {73.3f}}, {0x02, {110}}, {0x02, {146.7f}}, {0x02, {146.7f}},
    {0x03, {80}},    {0x03, {120}}, {0x03, {160}},    {0x03, {160}},
};

// CPU, PCI; partial.
constexpr TClockRow PLL20503[] = {
    {0x30, {66.8f, 33.4f}},
    {0x70, {100, 33.3f}},
    {0xD4, {155, 38.7f}},
};

// CPU, PCI.
constexpr TClockRow RTM52039D[] = {
    {0x30, {66.8f, 33.4f}}, {0x10, {75, 37.5f}},   {0x20, {83.3f, 41.7f}},  {0x70, {100, 33.3f}},
    {0x40, {103, 34.3f}},   {0x50, {112, 37.3f}},  {0x00, {124, 41.3f}},    {0x60, {133.3f, 33.3f}},
};

// CPU, PCI, spread; the W230 and the W230-03 alike; partial.
constexpr TClockRow W230[] = {
    {0x46, {95, 31.7f}, "OFF"},
    {0x76, {100, 33.3f}, "-0.5%"},
    {0x56, {100, 33.3f}, "0.5%"},
    {0x00, {166, 41.6f}, "OFF"},
};

// CPU, PCI; partial.
constexpr TClockRow W311[] = {
    {0x42, {66.6f, 33.3f}},
    {0x46, {66.6f, 33.3f}},
    {0x00, {200, 33.3f}},
};

// CPU, PCI.
constexpr TClockRow W48S11114[] = {
    {0x30, {66.8f, 33.4f}}, {0x00, {68.5f, 34.25f}}, {0x10, {75, 37.5f}},   {0x20, {83.3f, 41.6f}},
    {0x70, {100, 33.3f}},   {0x40, {103, 34.25f}},   {0x50, {112, 37.3f}},  {0x60, {133.3f, 44.43f}},
};

struct TTableById {
    std::uint8_t ChipId;
    std::span<const TClockRow> Rows;
};

// The ICS 9248-90 has no row known exactly: its table is empty.
constexpr std::array<TTableById, 23> Tables{{
    {2, ICS9148B04}, {3, ICS924839},  {4, ICS924873},  {5, {}},           {6, ICS924898},  {7, ICS9248171},
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
