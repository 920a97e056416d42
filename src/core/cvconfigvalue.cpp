#include "core/cvconfigvalue.h"

#include "core/cvtext.h"

std::optional<std::int32_t> ParseConfigInteger(std::string_view text) {
    // Values are trimmed of blanks and control characters, as Booleans are.
    const std::string trimmed = Trim(text);
    std::string_view s = trimmed;
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    }
    if (s.empty()) return std::nullopt;
    // Hexadecimal covers the whole unsigned 32-bit range ($FFFFFFFF is -1).
    const std::int64_t limit = base == 16 ? 0xFFFFFFFFLL : (negative ? 0x80000000LL : 0x7FFFFFFFLL);
    std::int64_t value = 0;
    for (char c : s) {
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else return std::nullopt;
        value = value * base + digit;
        if (value > limit) return std::nullopt;
    }
    if (negative) value = -value;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

bool ParseConfigBoolean(std::string_view text) { return SameText(Trim(text), "true"); }

std::string BoolToTrueFalse(bool value) { return value ? "true" : "false"; }
