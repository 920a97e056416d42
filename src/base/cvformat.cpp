#include "base/cvformat.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <vector>

#include "platform/platform.h"

namespace cvformat {

FormatSettings UserFormat() {
    // Before a platform is installed (early start-up, plain unit tests) the
    // invariant settings are the only sensible answer.
    if (!platform::isInstalled()) return Invariant();
    const platform::LocaleInfo locale = platform::current().locale();
    return {locale.decimalSeparator, locale.thousandSeparator};
}

FormatSettings Invariant() { return {'.', ','}; }

namespace {

// Floating-point conversions never print more than 18 digits after the point.
constexpr int MaxFloatDigits = 18;
constexpr int DefaultFixedDigits = 2;
constexpr int DefaultSignificantDigits = 15;

struct Conversion {
    bool leftJustify = false;
    int width = -1;
    int precision = -1;  // -1: none given
    char kind = 0;       // lower-case conversion letter
};

std::string cPrintf(const char* picture, int precision, double value) {
    const int length = std::snprintf(nullptr, 0, picture, precision, value);
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::snprintf(buffer.data(), buffer.size(), picture, precision, value);
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::string digits(std::uint64_t value, bool hex) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    const unsigned base = hex ? 16 : 10;
    std::string out;
    do {
        out.insert(out.begin(), Hex[value % base]);
        value /= base;
    } while (value != 0);
    return out;
}

std::string zeroPad(std::string text, int precision) {
    if (precision > 0 && static_cast<int>(text.size()) < precision)
        text.insert(0, static_cast<std::size_t>(precision) - text.size(), '0');
    return text;
}

// Negative integers print as their two's complement, 32 bits wide when the
// value fits an Integer, as the program's 32-bit integers always do.
std::uint64_t asUnsigned(std::int64_t value) {
    if (value >= std::numeric_limits<std::int32_t>::min() && value < 0)
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
    return static_cast<std::uint64_t>(value);
}

std::string notANumber(double value) {
    if (std::isnan(value)) return "NAN";
    return value < 0 ? "-INF" : "INF";
}

// Fixed-point text the way the program has always printed it: the value taken
// to 15 significant digits, then rounded at the last shown decimal with
// halves away from zero (40.5 shows as 41, 0.125 with two decimals as 0.13).
std::string fixed(double value, int precision, char decimalSeparator) {
    if (!std::isfinite(value)) return notANumber(value);
    const std::string sci = cPrintf("%.*e", DefaultSignificantDigits - 1, std::fabs(value));
    std::string significant = sci.substr(0, 1) + sci.substr(2, DefaultSignificantDigits - 1);
    const int exponent = std::stoi(sci.substr(sci.find('e') + 1));
    // Digits before the point: exponent + 1 (none when negative); pad so every
    // shown decimal has a digit, then round at the cut.
    int integerDigits = exponent + 1;
    if (integerDigits < 1) {
        significant.insert(0, static_cast<std::size_t>(1 - integerDigits), '0');
        integerDigits = 1;
    }
    const std::size_t kept = static_cast<std::size_t>(integerDigits + precision);
    if (significant.size() < kept + 1) significant.append(kept + 1 - significant.size(), '0');
    const bool roundUp = significant[kept] >= '5';
    significant.resize(kept);
    if (roundUp) {
        std::size_t i = kept;
        while (i > 0 && significant[i - 1] == '9') significant[--i] = '0';
        if (i == 0) {
            significant.insert(0, 1, '1');
            ++integerDigits;
        } else {
            ++significant[i - 1];
        }
    }
    std::string text = (std::signbit(value) ? "-" : "") + significant.substr(0, static_cast<std::size_t>(integerDigits));
    if (precision > 0) text += decimalSeparator + significant.substr(static_cast<std::size_t>(integerDigits));
    return text;
}

std::string withThousands(std::string text, const FormatSettings& settings) {
    const std::size_t start = (!text.empty() && text[0] == '-') ? 1 : 0;
    std::size_t end = text.find(settings.decimalSeparator, start);
    if (end == std::string::npos) end = text.size();
    for (std::size_t pos = end; pos > start + 3; pos -= 3) text.insert(pos - 3, 1, settings.thousandSeparator);
    return text;
}

// Splits C's "%.*e" answer into mantissa and decimal exponent.
struct Scientific {
    std::string mantissa;
    int exponent = 0;
};

Scientific scientific(double value, int significantDigits) {
    const std::string text = cPrintf("%.*e", significantDigits - 1, value);
    const std::size_t e = text.find('e');
    return {text.substr(0, e), std::stoi(text.substr(e + 1))};
}

std::string stripTrailingZeros(std::string text) {
    if (text.find('.') == std::string::npos) return text;
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

std::string exponential(double value, int precision, char decimalSeparator) {
    if (!std::isfinite(value)) return notANumber(value);
    Scientific s = scientific(value, std::clamp(precision < 0 ? DefaultSignificantDigits : precision, 1, MaxFloatDigits));
    std::replace(s.mantissa.begin(), s.mantissa.end(), '.', decimalSeparator);
    const std::string exponent = zeroPad(std::to_string(std::abs(s.exponent)), 3);
    return s.mantissa + 'E' + (s.exponent < 0 ? '-' : '+') + exponent;
}

// Shortest of fixed and scientific: fixed while the integer digits fit the
// precision and the value is not tiny; trailing zeros go.
std::string general(double value, int precision, char decimalSeparator) {
    if (!std::isfinite(value)) return notANumber(value);
    if (value == 0) return "0";
    const int significant = std::clamp(precision < 0 ? DefaultSignificantDigits : precision, 1, MaxFloatDigits);
    Scientific s = scientific(value, significant);
    std::string text;
    if (s.exponent < significant && std::fabs(value) >= 0.00001) {
        text = stripTrailingZeros(cPrintf("%.*f", std::max(significant - 1 - s.exponent, 0), value));
    } else {
        text = stripTrailingZeros(s.mantissa) + 'E' + (s.exponent < 0 ? "-" : "") + std::to_string(std::abs(s.exponent));
    }
    std::replace(text.begin(), text.end(), '.', decimalSeparator);
    return text;
}

class Formatter {
public:
    Formatter(std::string_view picture, std::initializer_list<FormatArg> args, const FormatSettings& settings)
        : picture_(picture), args_(args), next_(args.begin()), settings_(settings) {}

    std::string run() {
        std::string out;
        std::size_t pos = 0;
        while (pos < picture_.size()) {
            const char c = picture_[pos++];
            if (c != '%') {
                out += c;
                continue;
            }
            if (pos < picture_.size() && picture_[pos] == '%') {
                out += '%';
                ++pos;
                continue;
            }
            const Conversion conversion = parse(pos);
            out += justify(convert(conversion), conversion);
        }
        return out;
    }

private:
    [[noreturn]] void fail() const {
        throw std::invalid_argument("Format '" + std::string(picture_) + "' invalid or incompatible with argument");
    }

    const FormatArg& nextArg() {
        if (next_ == args_.end()) fail();
        return *next_++;
    }

    bool isInteger(const FormatArg& arg) const {
        return std::holds_alternative<std::int64_t>(arg.value()) || std::holds_alternative<std::uint64_t>(arg.value());
    }

    // A number in the picture, or "*" taking it from the arguments.
    int number(std::size_t& pos) {
        if (pos < picture_.size() && picture_[pos] == '*') {
            ++pos;
            const FormatArg& arg = nextArg();
            if (!isInteger(arg)) fail();
            if (const auto* v = std::get_if<std::int64_t>(&arg.value())) return static_cast<int>(std::clamp<std::int64_t>(*v, -1, 1 << 20));
            return static_cast<int>(std::min<std::uint64_t>(std::get<std::uint64_t>(arg.value()), 1 << 20));
        }
        int value = -1;
        while (pos < picture_.size() && std::isdigit(static_cast<unsigned char>(picture_[pos]))) {
            value = std::max(value, 0) * 10 + (picture_[pos++] - '0');
            if (value > (1 << 20)) fail();
        }
        return value;
    }

    Conversion parse(std::size_t& pos) {
        Conversion conversion;
        if (pos < picture_.size() && picture_[pos] == '-') {
            conversion.leftJustify = true;
            ++pos;
        }
        conversion.width = number(pos);
        if (pos < picture_.size() && picture_[pos] == '.') {
            ++pos;
            conversion.precision = number(pos);
        }
        if (pos >= picture_.size()) fail();
        conversion.kind = static_cast<char>(std::tolower(static_cast<unsigned char>(picture_[pos++])));
        return conversion;
    }

    std::string convert(const Conversion& conversion) {
        const FormatArg& arg = nextArg();
        switch (conversion.kind) {
        case 'd': return decimal(arg, conversion.precision);
        case 'u': return zeroPad(digits(unsignedValue(arg), false), conversion.precision);
        case 'x': return zeroPad(digits(unsignedValue(arg), true), conversion.precision);
        case 's': return string(arg, conversion.precision);
        case 'f': return fixed(floatValue(arg), fixedDigits(conversion.precision), settings_.decimalSeparator);
        case 'n':
            return withThousands(fixed(floatValue(arg), fixedDigits(conversion.precision), settings_.decimalSeparator),
                                 settings_);
        case 'e': return exponential(floatValue(arg), conversion.precision, settings_.decimalSeparator);
        case 'g': return general(floatValue(arg), conversion.precision, settings_.decimalSeparator);
        default: fail();
        }
    }

    static int fixedDigits(int precision) { return precision < 0 ? DefaultFixedDigits : std::min(precision, MaxFloatDigits); }

    std::string decimal(const FormatArg& arg, int precision) {
        if (const auto* u = std::get_if<std::uint64_t>(&arg.value())) return zeroPad(digits(*u, false), precision);
        const auto* v = std::get_if<std::int64_t>(&arg.value());
        if (!v) fail();
        const std::uint64_t magnitude = *v < 0 ? 0 - static_cast<std::uint64_t>(*v) : static_cast<std::uint64_t>(*v);
        std::string text = zeroPad(digits(magnitude, false), precision);
        if (*v < 0) text.insert(text.begin(), '-');
        return text;
    }

    std::uint64_t unsignedValue(const FormatArg& arg) {
        if (const auto* u = std::get_if<std::uint64_t>(&arg.value())) return *u;
        const auto* v = std::get_if<std::int64_t>(&arg.value());
        if (!v) fail();
        return asUnsigned(*v);
    }

    double floatValue(const FormatArg& arg) {
        if (const auto* d = std::get_if<double>(&arg.value())) return *d;
        if (const auto* v = std::get_if<std::int64_t>(&arg.value())) return static_cast<double>(*v);
        if (const auto* u = std::get_if<std::uint64_t>(&arg.value())) return static_cast<double>(*u);
        fail();
    }

    std::string string(const FormatArg& arg, int precision) {
        const auto* s = std::get_if<std::string>(&arg.value());
        if (!s) fail();
        if (precision >= 0 && static_cast<std::size_t>(precision) < s->size()) return s->substr(0, static_cast<std::size_t>(precision));
        return *s;
    }

    static std::string justify(std::string text, const Conversion& conversion) {
        if (conversion.width <= static_cast<int>(text.size())) return text;
        const std::size_t fill = static_cast<std::size_t>(conversion.width) - text.size();
        if (conversion.leftJustify)
            text.append(fill, ' ');
        else
            text.insert(0, fill, ' ');
        return text;
    }

    std::string_view picture_;
    std::initializer_list<FormatArg> args_;
    const FormatArg* next_;
    FormatSettings settings_;
};

}  // namespace

std::string Format(std::string_view picture, std::initializer_list<FormatArg> args) {
    return Format(picture, args, UserFormat());
}

std::string Format(std::string_view picture, std::initializer_list<FormatArg> args, const FormatSettings& settings) {
    return Formatter(picture, args, settings).run();
}

}  // namespace cvformat
