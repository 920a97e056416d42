#include "core/cvvalueformat.h"

#include <array>
#include <string_view>

#include "base/cvformat.h"
#include "core/cvtext.h"
#include "core/cvvars.h"

using cvformat::Format;

double CelsiusToFahrenheit(double celsius) { return celsius * 9 / 5 + 32; }

double TempToDisplay(double celsius, bool useCelsius) {
    return useCelsius ? celsius : CelsiusToFahrenheit(celsius);
}

std::string FormatTemp(double celsius, bool useCelsius) {
    return useCelsius ? Format("%.0fC", {celsius}) : Format("%.0fF", {CelsiusToFahrenheit(celsius)});
}

std::string FormatVolt(double volts) { return Format("%.2fV", {volts}); }

std::string FormatRpm(double rpm) { return Format("%.0f RPM", {rpm}); }

std::string UrlEncode(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        // ASCII letters and digits only, whatever the C locale says.
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) out += static_cast<char>(c);
        else if (c == ' ') out += '+';
        else out += Format("%%%.2x", {static_cast<unsigned>(c)});
    }
    return out;
}

bool IsBeta(const std::string& caption) { return caption.find(" beta ") != std::string::npos; }

std::string GetExoticType(TExoticKind kind) {
    switch (kind) {
    case TExoticKind::Temperature: return "TSCTemperature";
    case TExoticKind::Fan: return "TSCFan";
    case TExoticKind::Volt: return "TSCVolt";
    case TExoticKind::SmartDrive: return "TSCSmartDrive";
    case TExoticKind::Uptime: return "TSCUptime";
    case TExoticKind::Battery: return "TSCBattery";
    case TExoticKind::Usage: return "TSCUsage";
    case TExoticKind::Frequency: return "TSCFrequency";
    case TExoticKind::Other: break;
    }
    return "Unknown";
}

std::string GetExoticTypeForLoad(TExoticKind kind) { return GetExoticType(kind); }

std::optional<THintControl> ParseHintControl(const std::string& controlName) {
    const std::string name = LowerCase(controlName);
    if (name == "pbcpuload") return THintControl{THintTarget::CpuLoad};
    struct TPrefix {
        std::string_view Text;
        THintTarget Target;
    };
    constexpr std::array<TPrefix, 3> prefixes{
        {{"labtemp", THintTarget::Temp}, {"labfan", THintTarget::Fan}, {"labvolt", THintTarget::Volt}}};
    for (const auto& prefix : prefixes) {
        if (!name.starts_with(prefix.Text)) continue;
        const std::string_view digits = std::string_view(name).substr(prefix.Text.size());
        if (digits.empty() || digits.size() > 4) return std::nullopt;
        int row = 0;
        for (char c : digits) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
            row = row * 10 + (c - '0');
        }
        return THintControl{prefix.Target, row};
    }
    return std::nullopt;
}

std::string StatsHintText(const TValueStats& stats, int decimals, const std::function<double(double)>& convert) {
    const std::string f = "%." + std::to_string(decimals) + "f";
    return Format("last: " + f + "  min: " + f + "  max: " + f + "  mean: " + f,
                  {convert(stats.Last()), convert(stats.FMin), convert(stats.FMax), convert(stats.Mean())});
}

std::string CpuLoadHintText(const std::vector<double>& loads) {
    std::string out;
    for (std::size_t i = 0; i < loads.size(); ++i) {
        if (i > 0) out += ' ';
        out += Format("CPU%d: %.1f%%", {static_cast<int>(i), loads[i]});
    }
    return out;
}
