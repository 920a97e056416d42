#pragma once
// Numbers and Booleans as the configuration files (options, sensors, events)
// write them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Decimal, or hexadecimal after "$", optionally signed; nullopt for anything
// else or out of 32-bit range.
std::optional<std::int32_t> ParseConfigInteger(std::string_view text);
// Trimmed and lower-cased, only "true" is true.
bool ParseConfigBoolean(std::string_view text);
std::string BoolToTrueFalse(bool value);
