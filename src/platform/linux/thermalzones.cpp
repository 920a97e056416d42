#include "platform/linux/thermalzones.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <map>
#include <optional>

#include "platform/linux/filehandle.h"

namespace platform::native {
namespace {

namespace fs = std::filesystem;

std::string firstLine(const fs::path& file) {
    auto text = readSmallFile(file.string()).value_or("");
    text.erase(std::find(text.begin(), text.end(), '\n'), text.end());
    return text;
}

// Millidegrees Celsius, as the kernel writes them.
std::optional<long> millidegrees(const fs::path& file) {
    const std::string text = firstLine(file);
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

WmiProperty kelvinTenths(const char* name, long millidegreesCelsius) {
    const auto tenths = static_cast<std::int64_t>(std::nearbyint(millidegreesCelsius / 100.0)) + 2732;
    return {name, WmiValue::of(tenths), CimUint32};
}

WmiObject zoneObject(const fs::path& zone) {
    const std::string name = zone.filename().string();
    WmiObject object{{"Active", WmiValue::of(true)},
                     {"InstanceName", WmiValue::of(name + " (" + firstLine(zone / "type") + ")")}};
    // The trip types the class names, the lowest-numbered of each kind.
    static const std::pair<const char*, const char*> trips[] = {
        {"critical", "CriticalTripPoint"}, {"passive", "PassiveTripPoint"}, {"active", "ActiveTripPoint"}};
    for (const auto& [type, property] : trips) {
        for (int n = 0; fs::exists(zone / ("trip_point_" + std::to_string(n) + "_type")); ++n) {
            if (firstLine(zone / ("trip_point_" + std::to_string(n) + "_type")) != type) continue;
            if (const auto temp = millidegrees(zone / ("trip_point_" + std::to_string(n) + "_temp")))
                object.push_back(kelvinTenths(property, *temp));
            break;
        }
    }
    return object;
}

}  // namespace

std::vector<WmiObject> thermalZoneObjects(const std::string& sysRoot) {
    std::map<int, fs::path> zones;
    std::error_code ec;
    const std::string prefix = "thermal_zone";
    for (const auto& entry : fs::directory_iterator(fs::path(sysRoot) / "class" / "thermal", ec)) {
        const std::string name = entry.path().filename().string();
        int number = 0;
        if (name.rfind(prefix, 0) != 0) continue;
        const auto [end, error] = std::from_chars(name.data() + prefix.size(), name.data() + name.size(), number);
        if (error == std::errc{} && end == name.data() + name.size()) zones[number] = entry.path();
    }
    std::vector<WmiObject> objects;
    for (const auto& [number, zone] : zones) {
        const auto temp = millidegrees(zone / "temp");
        if (!temp) continue;
        WmiObject object = zoneObject(zone);
        object.push_back(kelvinTenths("CurrentTemperature", *temp));
        objects.push_back(std::move(object));
    }
    return objects;
}

}  // namespace platform::native
