#pragma once
// TDateTime: days since 1899-12-30, the fraction being the time of day.

#include <string>

#include "platform/platform.h"

using TDateTime = double;

TDateTime EncodeDateTime(const platform::LocalTime& t);
// Exact to the millisecond. Values outside years 1..9999 (or not finite)
// decode as the nearest end of that range (0 for not a number).
platform::LocalTime DecodeDateTime(TDateTime value);
// The platform clock's local time.
TDateTime Now();

// Delphi's FormatDateTime pictures: "c" (short date, and long time unless
// midnight), "ddddd" (short date), "tt" (long time), "t" (hh:nn),
// d dd ddd dddd m mm mmm mmmm yy yyyy h hh n nn s ss z zzz, am/pm and a/p,
// "m" right after an "h" meaning minutes, "/" and ":" the locale's
// separators, and quoted literals. Day and month names are English.
std::string FormatDateTime(const std::string& picture, TDateTime value, const platform::LocaleInfo& locale);
