#include "platform/linux/ioports.h"

#include <cctype>
#include <charconv>
#include <optional>

namespace platform::native {
namespace {

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// "0000:00:1f.4": a PCI function's window, requested by no driver.
bool isPciAddress(std::string_view name) {
    static constexpr std::string_view shape = "xxxx:xx:xx.x";
    if (name.size() != shape.size()) return false;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool ok = shape[i] == 'x' ? std::isxdigit(static_cast<unsigned char>(name[i])) != 0 : name[i] == shape[i];
        if (!ok) return false;
    }
    return true;
}

bool namesADriver(std::string_view name) {
    return !name.empty() && !startsWith(name, "PCI Bus") && !startsWith(name, "pnp ") && name != "reserved" &&
           !isPciAddress(name);
}

std::optional<std::uint16_t> port(std::string_view digits) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty() || value > 0xFFFF)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::optional<PortClaim> claimOf(std::string_view line) {
    line = trimmed(line);
    const auto dash = line.find('-');
    const auto colon = line.find(" : ");
    if (dash == std::string_view::npos || colon == std::string_view::npos || dash > colon) return std::nullopt;
    const auto first = port(line.substr(0, dash));
    const auto last = port(trimmed(line.substr(dash + 1, colon - dash - 1)));
    const std::string_view name = trimmed(line.substr(colon + 3));
    if (!first || !last || *first > *last || *last == 0 || !namesADriver(name)) return std::nullopt;
    return PortClaim{*first, *last, std::string(name)};
}

}  // namespace

std::vector<PortClaim> parseIoPorts(std::string_view text) {
    std::vector<PortClaim> claims;
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (auto claim = claimOf(text.substr(0, end))) claims.push_back(std::move(*claim));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return claims;
}

}  // namespace platform::native
