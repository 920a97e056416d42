#pragma once
// The user's locale as the program formats with it, from the C library's
// locale data (LANG, LC_TIME, LC_NUMERIC ...).

#include <string_view>

#include "platform/platform.h"

namespace platform::native {

// Builds the locale from strftime-style date and time formats and the
// numeric separators. In the pictures the date separator is written "/" and
// the time separator ":", as the formatter substitutes them. Separators
// that are not one ASCII character become a blank (thousands) or stay the
// default (decimal);
// an empty thousands separator becomes whichever of "," and "." is not the
// decimal separator.
LocaleInfo localeFromPosix(std::string_view dateFormat, std::string_view timeFormat, std::string_view decimal,
                           std::string_view thousands);

// The environment's locale, or the C locale's when it cannot be loaded.
// Leaves the process's global locale alone.
LocaleInfo systemLocale();

}  // namespace platform::native
