#include "disks/csmi.h"

#include <array>
#include <string_view>

#include "base/cvformat.h"

namespace {
struct CodeText {
    std::uint8_t code;
    std::string_view text;
};

template <std::size_t N>
std::string textOf(const std::array<CodeText, N>& table, std::uint8_t code) {
    for (const auto& row : table)
        if (row.code == code) return std::string(row.text);
    return cvformat::Format("unknown (%d)", {unsigned{code}});
}
}  // namespace

std::string CsmiSASAddressText(std::span<const std::uint8_t, 8> address) {
    std::string text;
    for (auto byte = address.rbegin(); byte != address.rend(); ++byte)
        text += (text.empty() ? "" : " ") + cvformat::Format("%x", {unsigned{*byte}});
    return text;
}

std::string CsmiLinkRateText(std::uint8_t rate) {
    static constexpr std::array<CodeText, 8> rates{{{0, "unknown"},
                                                    {1, "phy disabled"},
                                                    {2, "rate failed"},
                                                    {3, "spinup hold"},
                                                    {4, "port selector"},
                                                    {8, "1.5GBPS"},
                                                    {9, "3.0GBPS"},
                                                    {16, "virtual"}}};
    return textOf(rates, rate);
}

std::string CsmiDeviceTypeText(std::uint8_t type) {
    static constexpr std::array<CodeText, 4> types{
        {{0, "unused"}, {16, "end device"}, {32, "edge expander device"}, {48, "fanout expander device"}}};
    return textOf(types, type);
}

std::string CsmiProtocolText(std::uint8_t bits) {
    static constexpr std::array<std::string_view, 4> names{" SATA", " SMP", " STP", " SSP"};
    if (bits == 0) return "none";
    std::string text;
    for (std::size_t bit = 0; bit < names.size(); ++bit)
        if (bits & (1u << bit)) text += names[bit];
    if (text.empty()) return cvformat::Format("unknown (%d)", {unsigned{bits}});
    return text.substr(1);
}
