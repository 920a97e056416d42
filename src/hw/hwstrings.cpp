#include "hw/hwstrings.h"

#include <algorithm>
#include <utility>

#include "platform/asciicase.h"

namespace hw {

std::string Trim(const std::string& s) {
    const auto isSpace = [](unsigned char c) { return c <= ' '; };
    const auto first = std::find_if_not(s.begin(), s.end(), isSpace);
    const auto last = std::find_if_not(s.rbegin(), s.rend(), isSpace).base();
    return first < last ? std::string(first, last) : std::string{};
}

std::string UpperCase(std::string s) { return platform::asciiUpper(std::move(s)); }

std::string LowerCase(std::string s) { return platform::asciiLower(std::move(s)); }

}  // namespace hw
