#include "platform/windowcommand.h"

#include <charconv>

namespace platform {
namespace {

std::optional<std::int64_t> takeNumber(std::string_view& text) {
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data()) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

std::size_t skipBlanks(std::string_view& text) {
    std::size_t n = 0;
    while (n < text.size() && (text[n] == ' ' || text[n] == '\t')) ++n;
    text.remove_prefix(n);
    return n;
}

}  // namespace

std::optional<WindowCommand> parseWindowCommand(std::string_view line) {
    if (line.size() > MaxWindowCommandLine) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    skipBlanks(line);
    const auto wParam = takeNumber(line);
    if (!wParam || skipBlanks(line) == 0) return std::nullopt;
    const auto lParam = takeNumber(line);
    skipBlanks(line);
    if (!lParam || !line.empty()) return std::nullopt;
    return WindowCommand{*wParam, *lParam};
}

}  // namespace platform
