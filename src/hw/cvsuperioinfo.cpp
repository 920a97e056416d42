#include "hw/cvsuperioinfo.h"

#include <charconv>

TSuperIOInfo SuperIOInfo;

void RecordSuperIOChip(std::uint8_t chipCode, const std::string& text) {
    constexpr std::size_t PortEnd = 5;  // "$" and four hex digits
    if (text.size() < PortEnd || text[0] != '$') return;
    std::uint16_t port = 0;
    const char* last = text.data() + PortEnd;
    const auto [end, error] = std::from_chars(text.data() + 1, last, port, 16);
    if (error != std::errc{} || end != last) return;
    SuperIOInfo.ChipCode = chipCode;
    SuperIOInfo.Name = text;
    SuperIOInfo.ChipName = text.size() > PortEnd + 1 ? text.substr(PortEnd + 1) : std::string();
    SuperIOInfo.ConfigPort = port;
}
