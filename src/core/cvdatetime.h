#pragma once
// TDateTime: days since 1899-12-30, the fraction being the time of day.

#include <string>

#include "platform/platform.h"

using TDateTime = double;

TDateTime EncodeDateTime(const platform::LocalTime& t);
platform::LocalTime DecodeDateTime(TDateTime value);
// The platform clock's local time.
TDateTime Now();

// Delphi's FormatDateTime pictures: "ddddd" (short date), "tt" (long time),
// d dd m mm yy yyyy h hh n nn s ss z zzz, and quoted literals.
std::string FormatDateTime(const std::string& picture, TDateTime value, const platform::LocaleInfo& locale);
