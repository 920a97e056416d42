#include "base/cvdatetime.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <string_view>

#include "base/cvformat.h"

namespace {

constexpr std::int64_t MsPerDay = 86'400'000;

std::int64_t daysSinceEpoch(int year, int month, int day) {
    using namespace std::chrono;
    constexpr sys_days Epoch = 1899y / December / 30d;
    const sys_days date = std::chrono::year{year} / static_cast<unsigned>(month) / static_cast<unsigned>(day);
    return (date - Epoch).count();
}

platform::LocalTime dateOf(std::int64_t days) {
    using namespace std::chrono;
    constexpr sys_days Epoch = 1899y / December / 30d;
    const year_month_day ymd{Epoch + std::chrono::days{days}};
    platform::LocalTime t;
    t.year = static_cast<int>(ymd.year());
    t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    return t;
}

constexpr std::array<const char*, 7> ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 7> LongDayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                     "Thursday", "Friday", "Saturday"};
constexpr std::array<const char*, 12> ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 12> LongMonthNames = {"January", "February", "March",     "April",
                                                        "May",     "June",     "July",      "August",
                                                        "September", "October", "November", "December"};

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// Whether a 12-hour marker follows somewhere in the picture (outside quotes
// or not: a stray match only switches the clock, as the pictures here never
// quote these letters).
bool hasAmPmMarker(std::string_view rest) {
    for (std::size_t i = 0; i < rest.size(); ++i)
        if (startsWithNoCase(rest.substr(i), "am/pm") || startsWithNoCase(rest.substr(i), "a/p")) return true;
    return false;
}

class DateTimeWriter {
public:
    DateTimeWriter(TDateTime value, const platform::LocaleInfo& locale)
        : t_(DecodeDateTime(value)), value_(value), locale_(locale) {}

    std::string run(std::string_view picture) {
        write(picture, 0);
        return out_;
    }

private:
    // Locale pictures are expanded once; a locale picture naming another
    // locale picture is not followed further.
    static constexpr int MaxDepth = 2;

    void number(int value, int digits) { out_ += cvformat::Format("%.*d", {digits, value}, cvformat::Invariant()); }

    int weekday() const {
        const std::int64_t days = daysSinceEpoch(t_.year, t_.month, t_.day);
        return static_cast<int>(((days + 6) % 7 + 7) % 7);  // 1899-12-30 was a Saturday
    }

    void write(std::string_view picture, int depth) {
        if (depth >= MaxDepth) return;
        bool afterHour = false;
        std::size_t i = 0;
        while (i < picture.size()) {
            const char c = picture[i];
            if (c == '\'' || c == '"') {
                const std::size_t end = picture.find(c, i + 1);
                const std::size_t stop = end == std::string_view::npos ? picture.size() : end;
                out_.append(picture.substr(i + 1, stop - i - 1));
                i = stop == picture.size() ? stop : stop + 1;
                continue;
            }
            if (c == '/' || c == ':') {
                out_ += c == '/' ? locale_.dateSeparator : locale_.timeSeparator;
                ++i;
                continue;
            }
            if (!std::isalpha(static_cast<unsigned char>(c))) {
                out_ += c;
                ++i;
                continue;
            }
            if (startsWithNoCase(picture.substr(i), "am/pm")) {
                out_.append(picture.substr(i + (t_.hour < 12 ? 0 : 3), 2));
                i += 5;
                continue;
            }
            if (startsWithNoCase(picture.substr(i), "a/p")) {
                out_ += picture[i + (t_.hour < 12 ? 0 : 2)];
                i += 3;
                continue;
            }
            const char token = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            std::size_t count = 1;
            while (i + count < picture.size() &&
                   std::tolower(static_cast<unsigned char>(picture[i + count])) == token)
                ++count;
            token == 'm' && afterHour && count <= 2 ? number(t_.minute, static_cast<int>(count))
                                                    : writeToken(token, count, picture.substr(i), depth);
            afterHour = token == 'h';
            i += count;
        }
    }

    void writeToken(char token, std::size_t count, std::string_view rest, int depth) {
        const int width = count >= 2 ? 2 : 1;
        switch (token) {
        case 'y':
            count <= 2 ? number(t_.year % 100, 2) : number(t_.year, 4);
            break;
        case 'm':
            if (count <= 2)
                number(t_.month, width);
            else
                out_ += (count == 3 ? ShortMonthNames : LongMonthNames)[static_cast<std::size_t>(t_.month - 1)];
            break;
        case 'd':
            if (count <= 2)
                number(t_.day, width);
            else if (count <= 4)
                out_ += (count == 3 ? ShortDayNames : LongDayNames)[static_cast<std::size_t>(weekday())];
            else
                write(locale_.shortDateFormat, depth + 1);  // no long date picture in the locale
            break;
        case 'h': {
            const int hour = hasAmPmMarker(rest) ? (t_.hour % 12 == 0 ? 12 : t_.hour % 12) : t_.hour;
            number(hour, width);
            break;
        }
        case 'n': number(t_.minute, width); break;
        case 's': number(t_.second, width); break;
        case 'z':
            count >= 3 ? number(t_.millisecond, 3) : number(t_.millisecond, 1);
            break;
        case 't': write(count >= 2 ? std::string_view(locale_.longTimeFormat) : "hh:nn", depth + 1); break;
        case 'c':
            write(locale_.shortDateFormat, depth + 1);
            if (value_ != std::trunc(value_)) {
                out_ += ' ';
                write(locale_.longTimeFormat, depth + 1);
            }
            break;
        default: out_.append(rest.substr(0, count)); break;
        }
    }

    platform::LocalTime t_;
    TDateTime value_;
    const platform::LocaleInfo& locale_;
    std::string out_;
};

}  // namespace

TDateTime EncodeDateTime(const platform::LocalTime& t) {
    const std::int64_t days = daysSinceEpoch(t.year, t.month, t.day);
    const std::int64_t ms = ((static_cast<std::int64_t>(t.hour) * 60 + t.minute) * 60 + t.second) * 1000 + t.millisecond;
    const double fraction = static_cast<double>(ms) / MsPerDay;
    // Before the epoch the whole days count down while the time of day still
    // counts up: -1.25 is 1899-12-29 06:00.
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

platform::LocalTime DecodeDateTime(TDateTime value) {
    constexpr double FirstDay = -693593.0;  // 0001-01-01
    constexpr double LastDay = 2958465.0;   // 9999-12-31
    value = std::isnan(value) ? 0.0 : std::clamp(value, FirstDay - 0.99999999, LastDay + 0.99999999);
    std::int64_t days = static_cast<std::int64_t>(std::trunc(value));
    auto ms = static_cast<std::int64_t>(std::nearbyint(std::fabs(value - std::trunc(value)) * MsPerDay));
    if (ms >= MsPerDay) {
        ms -= MsPerDay;
        days += value < 0 ? -1 : 1;
    }
    platform::LocalTime t = dateOf(days);
    t.hour = static_cast<int>(ms / 3'600'000);
    t.minute = static_cast<int>(ms / 60'000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.millisecond = static_cast<int>(ms % 1000);
    return t;
}

TDateTime Now() { return EncodeDateTime(platform::current().clock().localNow()); }

std::string FormatDateTime(const std::string& picture, TDateTime value, const platform::LocaleInfo& locale) {
    return DateTimeWriter(value, locale).run(picture);
}
