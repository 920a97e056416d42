#include "hw/cvsuperioinfo.h"

#include <charconv>

TSuperIOInfo SuperIOInfo;

namespace {
constexpr std::size_t PortEnd = 5;  // "$" and four hex digits
}

std::optional<std::uint16_t> SuperIOTextPort(const std::string& text) {
    if (text.size() < PortEnd || text[0] != '$') return std::nullopt;
    std::uint16_t port = 0;
    const char* last = text.data() + PortEnd;
    const auto [end, error] = std::from_chars(text.data() + 1, last, port, 16);
    if (error != std::errc{} || end != last) return std::nullopt;
    return port;
}

void RecordSuperIOChip(std::uint8_t chipCode, const std::string& text) {
    const auto port = SuperIOTextPort(text);
    if (!port) return;
    SuperIOInfo.ChipCode = chipCode;
    SuperIOInfo.Name = text;
    SuperIOInfo.ChipName = text.size() > PortEnd + 1 ? text.substr(PortEnd + 1) : std::string();
    SuperIOInfo.ConfigPort = *port;
}
