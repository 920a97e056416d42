#pragma once
// Readings as the user sees them, and the small text helpers of the window.

#include <functional>
#include <optional>
#include <string>
#include <vector>

class TValueStats;

double CelsiusToFahrenheit(double celsius);
double TempToDisplay(double celsius, bool useCelsius);
// "%.0fC", or "%.0fF" of the converted value.
std::string FormatTemp(double celsius, bool useCelsius);
std::string FormatVolt(double volts);  // "%.2fV"
std::string FormatRpm(double rpm);     // "%.0f RPM"

// Letters and digits stay, a blank becomes "+", anything else "%XX".
std::string UrlEncode(const std::string& text);
// The window caption marks a beta build.
bool IsBeta(const std::string& caption);

// The kinds of free-layout tiles, named in the tiles file by their class.
enum class TExoticKind { Temperature, Fan, Volt, SmartDrive, Uptime, Battery, Usage, Frequency, Other };
std::string GetExoticType(TExoticKind kind);
// The class name the tiles file is read back by: the same names.
std::string GetExoticTypeForLoad(TExoticKind kind);

// The reading hints of the readings page: the control under the pointer, by
// its name in lower case, "labtemp", "labfan" or "labvolt" with a 1-based row,
// or "pbcpuload".
enum class THintTarget { Temp, Fan, Volt, CpuLoad };
struct THintControl {
    THintTarget Target;
    int Row = 0;
};
std::optional<THintControl> ParseHintControl(const std::string& controlName);
// "last: %.Nf  min: %.Nf  max: %.Nf  mean: %.Nf", each value converted.
std::string StatsHintText(const TValueStats& stats, int decimals, const std::function<double(double)>& convert);
// "CPU%d: %.1f%%" per processor, separated by one blank.
std::string CpuLoadHintText(const std::vector<double>& loads);
struct TReadingHint {
    std::string Text;
    int HidePauseMs = 30000;
};
