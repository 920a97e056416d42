#pragma once
// The Super I/O chip that detection identified: its chip code, its name text
// ("$" and the configuration port in four hex digits, a blank and the chip
// name), the chip name alone and its configuration port (the index port;
// data is the next one). Chip drivers read it to reach their chip's
// configuration space.

#include <cstdint>
#include <optional>
#include <string>

struct TSuperIOInfo {
    // No sensor until detection records a chip.
    static constexpr std::uint8_t NoChip = 1;

    std::uint8_t ChipCode = NoChip;
    std::string Name;
    std::uint16_t ConfigPort = 0;
    std::string ChipName{};
    // The base of the chip's hardware monitor (or of its controller's
    // mailbox), once a set-up or the monitor activation has found it.
    int MonitorBase = 0;
};

extern TSuperIOInfo SuperIOInfo;

// The port that a text "$%.4x %s" starts with; none when it does not.
std::optional<std::uint16_t> SuperIOTextPort(const std::string& text);

// The only writer of the chip code, the names and the port. Text is
// "$%.4x %s" (port, chip name); a Text without its port (an empty one
// included) changes nothing.
void RecordSuperIOChip(std::uint8_t chipCode, const std::string& text);
