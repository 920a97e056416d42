// INI-style translation files are written by hand: any text loads, lists
// keys and values that pair up, and saves without harm.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "i18n/memini.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TsiMemIniFile ini("");
    ini.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto& section : ini.ListSections()) {
        const auto keys = ini.ListKeys(section);
        const auto values = ini.ListSectionValues(section);
        if (keys.size() != values.size()) std::abort();
        if (!keys.empty() && ini.GetValue(section, keys[0], "\x01") != values[0]) std::abort();
        ini.GetIntValue(section, keys.empty() ? std::string() : keys.back(), 0);
    }
    std::vector<std::string> lines;
    ini.SaveLines(lines);
    return 0;
}
