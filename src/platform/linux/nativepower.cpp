#include "platform/linux/nativepower.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <system_error>

#include "platform/linux/filehandle.h"

namespace platform::native {
namespace {

namespace fs = std::filesystem;

// The battery flags of the status record.
constexpr std::uint8_t FlagHigh = 1, FlagLow = 2, FlagCritical = 4, FlagCharging = 8, FlagNoBattery = 128;

std::string attribute(const fs::path& supply, const char* name) {
    auto text = readSmallFile((supply / name).string());
    if (!text) return {};
    while (!text->empty() && (text->back() == '\n' || text->back() == ' ')) text->pop_back();
    return *text;
}

std::optional<int> number(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<PowerStatus> readPowerSupplies(const std::string& sysRoot) {
    std::error_code ec;
    fs::directory_iterator entries(fs::path(sysRoot) / "class/power_supply", ec);
    if (ec) return std::nullopt;
    bool mainsSeen = false, mainsOnline = false, batterySeen = false, charging = false;
    int percent = -1;
    for (const auto& entry : entries) {
        const std::string type = attribute(entry.path(), "type");
        if (type == "Mains") {
            mainsSeen = true;
            mainsOnline = mainsOnline || attribute(entry.path(), "online") == "1";
        } else if (type == "Battery" && attribute(entry.path(), "present") != "0") {
            batterySeen = true;
            charging = charging || attribute(entry.path(), "status") == "Charging";
            if (const auto capacity = number(attribute(entry.path(), "capacity")); capacity && percent < 0)
                percent = std::clamp(*capacity, 0, 100);
        }
    }
    PowerStatus status;
    // A machine without a battery runs on mains.
    status.acLineStatus = mainsSeen ? (mainsOnline ? 1 : 0) : (batterySeen ? 255 : 1);
    if (!batterySeen) {
        status.batteryFlag = FlagNoBattery;
        return status;
    }
    if (percent >= 0) {
        status.batteryLifePercent = static_cast<std::uint8_t>(percent);
        status.batteryFlag = percent > 66 ? FlagHigh : percent < 5 ? FlagCritical : percent < 33 ? FlagLow : 0;
    } else {
        status.batteryFlag = 0;
    }
    if (charging) status.batteryFlag |= FlagCharging;
    return status;
}

}  // namespace platform::native
