#include "hw/hwstrings.h"

#include <algorithm>
#include <cctype>

namespace hw {

std::string Trim(const std::string& s) {
    const auto isSpace = [](unsigned char c) { return c <= ' '; };
    const auto first = std::find_if_not(s.begin(), s.end(), isSpace);
    const auto last = std::find_if_not(s.rbegin(), s.rend(), isSpace).base();
    return first < last ? std::string(first, last) : std::string{};
}

std::string UpperCase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

std::string LowerCase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace hw
