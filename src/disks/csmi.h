#pragma once
// Texts of the CSMI records.

#include <cstdint>
#include <span>
#include <string>

// The 8 bytes last first, upper-case hexadecimal without leading zeros,
// separated by blanks.
std::string CsmiSASAddressText(std::span<const std::uint8_t, 8> address);
std::string CsmiLinkRateText(std::uint8_t rate);
std::string CsmiDeviceTypeText(std::uint8_t type);
// The protocol bits' names, blank separated.
std::string CsmiProtocolText(std::uint8_t bits);
