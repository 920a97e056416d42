#pragma once
// Delphi-style format pictures, the one formatter of the program:
// "%d", "%u", "%x" (upper-case hex), "%.2x" (zero-padded), "%2x" and "%02x"
// (blank-padded: a width never pads with zeros), "%s", "%.3s" (cut),
// "%.0f", "%.2f" ("%f" means "%.2f"), "%n" (thousands), "%e", "%g", "%%",
// "%-8s"-style left alignment and "*" taking a width or precision from the
// arguments. Conversion letters may be upper case. A wrong argument type, a
// missing argument or an unknown conversion throws std::invalid_argument.
// Floats use the separators of the settings passed; by default the user's
// locale.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace cvformat {

struct FormatSettings {
    char decimalSeparator = '.';
    char thousandSeparator = ',';
};

// The user's locale, from the platform.
FormatSettings UserFormat();
// "." and ",": files and reports that must read alike everywhere.
FormatSettings Invariant();

class FormatArg {
public:
    FormatArg(int v) : value_(static_cast<std::int64_t>(v)) {}
    FormatArg(long v) : value_(static_cast<std::int64_t>(v)) {}
    FormatArg(long long v) : value_(static_cast<std::int64_t>(v)) {}
    FormatArg(unsigned v) : value_(static_cast<std::uint64_t>(v)) {}
    FormatArg(unsigned long v) : value_(static_cast<std::uint64_t>(v)) {}
    FormatArg(unsigned long long v) : value_(static_cast<std::uint64_t>(v)) {}
    FormatArg(double v) : value_(v) {}
    FormatArg(float v) : value_(static_cast<double>(v)) {}
    FormatArg(const char* v) : value_(std::string(v)) {}
    FormatArg(std::string v) : value_(std::move(v)) {}
    FormatArg(std::string_view v) : value_(std::string(v)) {}

    using Value = std::variant<std::int64_t, std::uint64_t, double, std::string>;
    const Value& value() const { return value_; }

private:
    Value value_;
};

std::string Format(std::string_view picture, std::initializer_list<FormatArg> args);
std::string Format(std::string_view picture, std::initializer_list<FormatArg> args, const FormatSettings& settings);

}  // namespace cvformat
