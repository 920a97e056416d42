#include "i18ntest.h"

namespace {

class CapturedLocale : public i18ntest::FormTest {};

TEST_F(CapturedLocale, TheComponentTakesTheBoardsLocaleWhenCreated) {
    machine->loadFromJson(R"({"locale": {"currencyString": "€", "decimalSeparator": ",", "thousandSeparator": ".",
        "longDateFormat": "dddd d mmmm yyyy", "shortTimeFormat": "hh.nn", "timeAMString": "", "timePMString": "",
        "shortMonthNames": ["gen", "feb", "mar", "apr", "mag", "giu", "lug", "ago", "set", "ott", "nov", "dic"],
        "longDayNames": ["domenica", "lunedì", "martedì", "mercoledì", "giovedì", "venerdì", "sabato"]}})",
                          "it.json");
    TsiLangRT lang{form.get()};
    const TCapturedLocale& l = lang.CapturedLocale();
    EXPECT_EQ(l[0], "€");
    EXPECT_EQ(l[1], ".");
    EXPECT_EQ(l[2], ",");
    EXPECT_EQ(l[5], "dddd d mmmm yyyy");
    EXPECT_EQ(l[7], "");
    EXPECT_EQ(l[9], "hh.nn");
    EXPECT_EQ(l[11], "gen,feb,mar,apr,mag,giu,lug,ago,set,ott,nov,dic");
    EXPECT_EQ(l[12], "January,February,March,April,May,June,July,August,September,October,November,December");
    EXPECT_EQ(l[14], "domenica,lunedì,martedì,mercoledì,giovedì,venerdì,sabato");
}

TEST_F(CapturedLocale, ANameListMustHaveEveryName) {
    EXPECT_THROW(machine->loadFromJson(R"({"locale": {"shortDayNames": ["a", "b"]}})", "bad.json"), std::exception);
}

}  // namespace
