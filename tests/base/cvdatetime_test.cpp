#include "base/cvdatetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/testmachine.h"

namespace {

platform::LocalTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) { return {y, mo, d, h, mi, s, ms}; }

bool same(const platform::LocalTime& a, const platform::LocalTime& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
           a.second == b.second && a.millisecond == b.millisecond;
}

TEST(CvDateTime, EncodesDaysSinceTheEpoch) {
    const struct {
        platform::LocalTime t;
        double want;
    } cases[] = {
        {at(1899, 12, 30), 0.0},
        {at(1899, 12, 31, 18), 1.75},
        {at(1900, 1, 1), 2.0},
        {at(2000, 1, 1, 12), 36526.5},
        {at(1899, 12, 29, 6), -1.25},
        {at(1899, 12, 30, 0, 0, 0, 1), 1.0 / 86'400'000},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(EncodeDateTime(c.t), c.want) << c.want;
}

TEST(CvDateTime, RoundTripsEveryMillisecondExactly) {
    const platform::LocalTime days[] = {at(2026, 1, 15), at(1899, 12, 30), at(1850, 6, 1), at(9999, 12, 31)};
    for (platform::LocalTime t : days) {
        for (int ms = 0; ms < 86'400'000; ms += 4'999) {
            t.hour = ms / 3'600'000;
            t.minute = ms / 60'000 % 60;
            t.second = ms / 1000 % 60;
            t.millisecond = ms % 1000;
            ASSERT_TRUE(same(DecodeDateTime(EncodeDateTime(t)), t)) << t.year << " " << ms;
        }
        t.hour = 23, t.minute = 59, t.second = 59, t.millisecond = 999;
        EXPECT_TRUE(same(DecodeDateTime(EncodeDateTime(t)), t)) << t.year;
    }
}

TEST(CvDateTime, DecodesValuesOutOfRangeWithoutFault) {
    EXPECT_TRUE(same(DecodeDateTime(std::numeric_limits<double>::quiet_NaN()), at(1899, 12, 30)));
    EXPECT_EQ(DecodeDateTime(1e300).year, 9999);
    EXPECT_EQ(DecodeDateTime(-1e300).year, 1);
}

TEST(CvDateTime, NowReadsThePlatformClock) {
    testsupport::TestMachine m;
    m->simClock().advance(1234);
    // The simulated clock starts at 2026-01-15 10:00:00.000.
    EXPECT_TRUE(same(DecodeDateTime(Now()), at(2026, 1, 15, 10, 0, 1, 234)));
}

TEST(CvDateTime, FormatsPictures) {
    platform::LocaleInfo dotted;
    dotted.shortDateFormat = "dd/mm/yyyy";
    dotted.longTimeFormat = "hh:nn:ss";
    dotted.dateSeparator = '.';
    platform::LocaleInfo us;
    us.shortDateFormat = "m/d/yy";
    us.longTimeFormat = "h:nn:ss AM/PM";
    const TDateTime afternoon = EncodeDateTime(at(2026, 1, 5, 15, 4, 5, 7));
    const TDateTime morning = EncodeDateTime(at(2026, 1, 15, 0, 30, 0, 250));
    const struct {
        const char* picture;
        TDateTime value;
        const platform::LocaleInfo& locale;
        const char* want;
    } cases[] = {
        {"ddddd tt.zzz", afternoon, dotted, "05.01.2026 15:04:05.007"},
        {"ddddd tt.zzz", afternoon, us, "1/5/26 3:04:05 PM.007"},
        {"ddddd tt", morning, us, "1/15/26 12:30:00 AM"},
        {"hh:nn:ss.zzz", morning, dotted, "00:30:00.250"},
        {"yyyymmdd hhnn", afternoon, dotted, "20260105 1504"},
        {"h:m d/m/y", afternoon, us, "15:4 5/1/26"},
        {"'at' hh:mm \"dd\" d", afternoon, dotted, "at 15:04 dd 5"},
        {"ddd, dd mmm yyyy", afternoon, dotted, "Mon, 05 Jan 2026"},
        {"dddd d mmmm z", afternoon, dotted, "Monday 5 January 7"},
        {"hh:nn a/p", afternoon, dotted, "03:04 p"},
        {"c", EncodeDateTime(at(2026, 1, 5)), dotted, "05.01.2026"},
        {"c", afternoon, dotted, "05.01.2026 15:04:05"},
        {"t", afternoon, dotted, "15:04"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.picture, c.value, c.locale), c.want) << c.picture;
}

TEST(CvDateTime, LocalePictureNamingItselfStops) {
    platform::LocaleInfo looping;
    looping.shortDateFormat = "ddddd d";
    EXPECT_EQ(FormatDateTime("ddddd", EncodeDateTime(at(2026, 1, 5)), looping), " 5");
}

}  // namespace
