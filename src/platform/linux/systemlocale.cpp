#include "platform/linux/systemlocale.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <string>

namespace platform::native {
namespace {

struct Conversion {
    char letter;
    const char* picture;       // Delphi picture, or a strftime format to expand
    const char* unpadded;      // with the "-" flag; nullptr when the same
};

// Composite conversions are expanded in place ("%T" is "%H:%M:%S").
const Conversion conversions[] = {
    {'d', "dd", "d"},      {'e', "d", nullptr},    {'m', "mm", "m"},      {'y', "yy", nullptr},
    {'Y', "yyyy", nullptr}, {'b', "mmm", nullptr}, {'h', "mmm", nullptr}, {'B', "mmmm", nullptr},
    {'a', "ddd", nullptr}, {'A', "dddd", nullptr}, {'H', "hh", "h"},      {'k', "h", nullptr},
    {'I', "hh", "h"},      {'l', "h", nullptr},    {'M', "nn", "n"},      {'S', "ss", "s"},
    {'p', "AM/PM", nullptr}, {'P', "am/pm", nullptr},
    {'D', "%m/%d/%y", nullptr}, {'F', "%Y-%m-%d", nullptr}, {'T', "%H:%M:%S", nullptr},
    {'R', "%H:%M", nullptr},    {'r', "%I:%M:%S %p", nullptr},
};

const Conversion* findConversion(char letter) {
    for (const auto& c : conversions) {
        if (c.letter == letter) return &c;
    }
    return nullptr;
}

// Translates a strftime format into a picture, writing `separator` as
// `marker`. Conversions with no picture equivalent are dropped.
class PictureWriter {
public:
    PictureWriter(char separator, char marker) : separator_(separator), marker_(marker) {}

    std::string run(std::string_view format) {
        write(format);
        return out_;
    }

private:
    void write(std::string_view format) {
        for (std::size_t i = 0; i < format.size(); ++i) {
            if (format[i] != '%' || i + 1 == format.size()) {
                literal(format[i]);
                continue;
            }
            bool unpadded = false;
            while (i + 1 < format.size() && std::string_view("-_0^#EO").find(format[i + 1]) != std::string_view::npos)
                unpadded = unpadded || format[++i] == '-';
            while (i + 1 < format.size() && std::isdigit(static_cast<unsigned char>(format[i + 1]))) ++i;
            if (i + 1 == format.size()) break;
            const char letter = format[++i];
            if (letter == '%') {
                literal('%');
            } else if (letter == 'n' || letter == 't') {
                out_ += ' ';
            } else if (const Conversion* c = findConversion(letter)) {
                const std::string_view picture = unpadded && c->unpadded ? c->unpadded : c->picture;
                if (picture.find('%') != std::string_view::npos)
                    write(picture);
                else
                    out_ += picture;
            }
        }
    }

    void literal(char c) {
        if (c == separator_) {
            out_ += marker_;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '/' || c == ':') {
            out_ += '"';
            out_ += c;
            out_ += '"';
        } else if (c == '"') {
            out_ += "'\"'";
        } else if (c == '\'') {
            out_ += "\"'\"";
        } else {
            out_ += c;
        }
    }

    std::string out_;
    char separator_;
    char marker_;
};

// The first one-byte punctuation mark between conversions, after the
// composites are expanded; 0 when there is none.
char separatorOf(std::string_view format) {
    for (std::size_t i = 0; i < format.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(format[i]);
        if (c == '%') {
            if (i + 1 < format.size()) {
                const Conversion* conversion = findConversion(format[i + 1]);
                if (conversion && conversion->picture[0] == '%') {
                    if (char inner = separatorOf(conversion->picture)) return inner;
                }
            }
            ++i;
            continue;
        }
        if (c < 0x80 && std::ispunct(c) && c != '"' && c != '\'') return static_cast<char>(c);
    }
    return 0;
}

// Month and day names, AM/PM and the currency symbol, where the locale has them.
void addNamesFromPosix(LocaleInfo& info, locale_t loc) {
    const auto take = [&](nl_item item, std::string& target) {
        const char* text = nl_langinfo_l(item, loc);
        if (text && *text) target = text;
    };
    for (int i = 0; i < 12; ++i) {
        take(ABMON_1 + i, info.shortMonthNames[static_cast<std::size_t>(i)]);
        take(MON_1 + i, info.longMonthNames[static_cast<std::size_t>(i)]);
    }
    for (int i = 0; i < 7; ++i) {
        take(ABDAY_1 + i, info.shortDayNames[static_cast<std::size_t>(i)]);
        take(DAY_1 + i, info.longDayNames[static_cast<std::size_t>(i)]);
    }
    take(AM_STR, info.timeAMString);
    take(PM_STR, info.timePMString);
    // The first character tells where the symbol stands.
    if (const char* currency = nl_langinfo_l(CRNCYSTR, loc); currency && currency[0] && currency[1])
        info.currencyString = currency + 1;
}

}  // namespace

LocaleInfo localeFromPosix(std::string_view dateFormat, std::string_view timeFormat, std::string_view decimal,
                           std::string_view thousands) {
    LocaleInfo locale;
    if (const char sep = separatorOf(dateFormat)) locale.dateSeparator = sep;
    if (const char sep = separatorOf(timeFormat)) locale.timeSeparator = sep;
    locale.shortDateFormat = PictureWriter(locale.dateSeparator, '/').run(dateFormat);
    locale.longTimeFormat = PictureWriter(locale.timeSeparator, ':').run(timeFormat);
    const auto oneAscii = [](std::string_view s) { return s.size() == 1 && static_cast<unsigned char>(s[0]) < 0x80; };
    if (oneAscii(decimal)) locale.decimalSeparator = decimal[0];
    if (oneAscii(thousands))
        locale.thousandSeparator = thousands[0];
    else if (thousands.empty())
        locale.thousandSeparator = locale.decimalSeparator == ',' ? '.' : ',';
    else
        locale.thousandSeparator = ' ';
    return locale;
}

LocaleInfo systemLocale() {
    locale_t loc = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    if (!loc) loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    if (!loc) return localeFromPosix("%m/%d/%y", "%H:%M:%S", ".", "");
    LocaleInfo info =
        localeFromPosix(nl_langinfo_l(D_FMT, loc), nl_langinfo_l(T_FMT, loc), nl_langinfo_l(RADIXCHAR, loc),
                        nl_langinfo_l(THOUSEP, loc));
    addNamesFromPosix(info, loc);
    freelocale(loc);
    return info;
}

}  // namespace platform::native
