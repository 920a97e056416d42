#include "hw/cvlinktext.h"

#include <cstdio>

#include "platform/platform.h"

std::string HexText(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string TransactionTimeText() {
    const platform::LocalTime now = platform::current().clock().localNow();
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", now.hour, now.minute, now.second, now.millisecond);
    return text;
}
