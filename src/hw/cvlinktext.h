#pragma once
// Text helpers of the link units: the hexadecimal pictures of their messages
// (upper-case, at least `digits` digits) and the time stamp of the
// transaction log.

#include <cstdint>
#include <string>

std::string HexText(std::uint32_t value, int digits = 1);
// "hh:nn:ss.zzz" of the platform's local time.
std::string TransactionTimeText();
