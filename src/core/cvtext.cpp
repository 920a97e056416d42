#include "core/cvtext.h"

#include <algorithm>

#include "platform/asciicase.h"

std::string LowerCase(std::string_view s) { return platform::asciiLower(std::string(s)); }

std::string UpperCase(std::string_view s) { return platform::asciiUpper(std::string(s)); }

bool SameText(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return LowerChar(x) == LowerChar(y); });
}

bool StartsText(std::string_view prefix, std::string_view text) {
    return text.size() >= prefix.size() && SameText(prefix, text.substr(0, prefix.size()));
}

std::string TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return std::string(s);
}

std::string TrimRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

std::string Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }
