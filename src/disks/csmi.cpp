#include "disks/csmi.h"

#include "base/cvformat.h"

std::string CsmiSASAddressText(std::span<const std::uint8_t, 8> address) {
    std::string text;
    for (auto byte = address.rbegin(); byte != address.rend(); ++byte)
        text += (text.empty() ? "" : " ") + cvformat::Format("%x", {unsigned{*byte}});
    return text;
}
