#include "report/base64.h"

#include <array>
#include <cstdint>

namespace {

constexpr std::string_view Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int NotInAlphabet = -1;

constexpr std::array<int, 256> DecodeTable() {
    std::array<int, 256> table{};
    table.fill(NotInAlphabet);
    for (std::size_t i = 0; i < Alphabet.size(); ++i) table[static_cast<unsigned char>(Alphabet[i])] = static_cast<int>(i);
    return table;
}

constexpr std::array<int, 256> Values = DecodeTable();

std::size_t TrailingPads(const std::string& text) {
    std::size_t pads = 0;
    while (pads < text.size() && text[text.size() - 1 - pads] == '=') ++pads;
    return pads;
}

}  // namespace

std::string Base64ToStr(const std::string& text) {
    if (text.size() <= 3 || text.size() % 4 != 0) throw EBase64Error("Base64ToStr: illegal input length!");
    const std::size_t pads = TrailingPads(text);
    if (pads > 2) throw EBase64Error("Base64ToStr: illegal character");
    const std::size_t dataEnd = text.size() - pads;

    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t group = 0; group < text.size(); group += 4) {
        std::array<std::uint32_t, 4> v{};
        for (std::size_t i = 0; i < 4; ++i) {
            const std::size_t at = group + i;
            if (at >= dataEnd) continue;  // a final pad counts as 0
            const int value = Values[static_cast<unsigned char>(text[at])];
            if (value == NotInAlphabet) throw EBase64Error("Base64ToStr: illegal character");
            v[i] = static_cast<std::uint32_t>(value);
        }
        bytes.push_back(static_cast<char>((v[0] << 2 | v[1] >> 4) & 0xFF));
        bytes.push_back(static_cast<char>((v[1] << 4 | v[2] >> 2) & 0xFF));
        bytes.push_back(static_cast<char>((v[2] << 6 | v[3]) & 0xFF));
    }
    bytes.resize(bytes.size() - pads);
    return bytes;
}
