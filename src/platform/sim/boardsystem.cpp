#include "platform/sim/boardsystem.h"

#include <cctype>
#include <chrono>
#include <limits>

#include "platform/linux/nativeclock.h"
#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

template <class T>
void readUnsigned(const BoardNode& section, std::string_view key, T& target, std::int64_t min = 0,
                  std::int64_t max = std::numeric_limits<T>::max()) {
    if (auto node = section.optionalField(key)) target = static_cast<T>(node->asInteger(min, max));
}

// "2026-01-15T10:00:00"
std::optional<LocalTime> parseLocalTime(const std::string& text) {
    static constexpr std::string_view shape = "dddd-dd-ddTdd:dd:dd";
    if (text.size() != shape.size()) return std::nullopt;
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool digit = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        if (shape[i] == 'd' ? !digit : text[i] != shape[i]) return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t length) { return std::stoi(text.substr(at, length)); };
    LocalTime t{number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2), number(17, 2), 0};
    using namespace std::chrono;
    const year_month_day date{year{t.year}, month{static_cast<unsigned>(t.month)}, day{static_cast<unsigned>(t.day)}};
    if (!date.ok() || t.hour > 23 || t.minute > 59 || t.second > 59) return std::nullopt;
    return t;
}

}  // namespace

void loadOsSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"major", "minor", "build", "platformId", "csdVersion", "servicePackMajor",
                          "servicePackMinor", "suiteMask", "productType", "isWow64", "serverR2", "versionQuery"});
    OsVersion os = machine.osVersion();
    readUnsigned(section, "major", os.major);
    readUnsigned(section, "minor", os.minor);
    readUnsigned(section, "build", os.build);
    readUnsigned(section, "platformId", os.platformId, 0, 2);
    readUnsigned(section, "servicePackMajor", os.servicePackMajor);
    readUnsigned(section, "servicePackMinor", os.servicePackMinor);
    readUnsigned(section, "suiteMask", os.suiteMask);
    readUnsigned(section, "productType", os.productType, 1, 3);
    if (auto node = section.optionalField("csdVersion")) os.csdVersion = node->asString();
    if (auto node = section.optionalField("isWow64")) os.isWow64 = node->asBool();
    if (auto node = section.optionalField("serverR2")) os.serverR2 = node->asBool();
    if (auto node = section.optionalField("versionQuery")) {
        const std::string answer = node->isString() ? node->asString() : std::string();
        if (answer == "extended")
            os.answer = OsVersion::Answer::Extended;
        else if (answer == "short")
            os.answer = OsVersion::Answer::ShortOnly;
        else if (answer == "fails")
            os.answer = OsVersion::Answer::Fails;
        else
            node->failExpected("\"extended\", \"short\" or \"fails\"");
    }
    machine.setOsVersion(os);
}

void loadWindowsDirSection(const BoardNode& section, Machine& machine) {
    machine.setWindowsDir(section.asNonEmptyString());
}

void loadSystemFilesSection(const BoardNode& section, Machine& machine) {
    for (const BoardNode& item : section.items()) machine.addSystemFile(item.asNonEmptyString());
}

// A list of exactly as many names as the calendar has.
template <std::size_t N>
void loadNames(const BoardNode& section, std::string_view key, std::array<std::string, N>& names) {
    const auto node = section.optionalField(key);
    if (!node) return;
    const std::vector<BoardNode> items = node->items();
    if (items.size() != N) node->failExpected("a list of " + std::to_string(N) + " names");
    for (std::size_t i = 0; i < N; ++i) names[i] = items[i].asNonEmptyString();
}

void loadLocaleSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"shortDateFormat", "longTimeFormat", "decimalSeparator", "thousandSeparator",
                          "dateSeparator", "timeSeparator", "currencyString", "longDateFormat", "shortTimeFormat",
                          "timeAMString", "timePMString", "shortMonthNames", "longMonthNames", "shortDayNames",
                          "longDayNames"});
    LocaleInfo locale = machine.locale();
    const std::pair<std::string_view, std::string*> texts[] = {
        {"shortDateFormat", &locale.shortDateFormat}, {"longTimeFormat", &locale.longTimeFormat},
        {"longDateFormat", &locale.longDateFormat},   {"shortTimeFormat", &locale.shortTimeFormat}};
    for (const auto& [key, target] : texts)
        if (auto node = section.optionalField(key)) *target = node->asNonEmptyString();
    const std::pair<std::string_view, std::string*> plainTexts[] = {{"currencyString", &locale.currencyString},
                                                                    {"timeAMString", &locale.timeAMString},
                                                                    {"timePMString", &locale.timePMString}};
    for (const auto& [key, target] : plainTexts)
        if (auto node = section.optionalField(key)) *target = node->asString();
    loadNames(section, "shortMonthNames", locale.shortMonthNames);
    loadNames(section, "longMonthNames", locale.longMonthNames);
    loadNames(section, "shortDayNames", locale.shortDayNames);
    loadNames(section, "longDayNames", locale.longDayNames);
    const std::pair<std::string_view, char*> separators[] = {{"decimalSeparator", &locale.decimalSeparator},
                                                             {"thousandSeparator", &locale.thousandSeparator},
                                                             {"dateSeparator", &locale.dateSeparator},
                                                             {"timeSeparator", &locale.timeSeparator}};
    for (const auto& [key, target] : separators) {
        if (auto node = section.optionalField(key)) *target = node->asChar();
    }
    machine.setLocale(locale);
}

void loadClockSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"virtual", "start", "utcOffsetMinutes", "performanceFrequency"});
    SimClock& clock = machine.simClock();
    bool virtualTime = clock.isVirtual();
    if (auto node = section.optionalField("virtual")) virtualTime = node->asBool();
    // A real-time board without a start runs on the host's wall clock.
    LocalTime start = virtualTime ? clock.startTime() : native::NativeClock().localNow();
    if (auto node = section.optionalField("start")) {
        const auto parsed = parseLocalTime(node->isString() ? node->asString() : std::string());
        if (!parsed) node->failExpected("a local time like \"2026-01-15T10:00:00\"");
        start = *parsed;
    }
    if (auto node = section.optionalField("utcOffsetMinutes"))
        start.utcOffsetMinutes = static_cast<int>(node->asInteger(-14 * 60, 14 * 60));
    clock.restart(virtualTime, start);
    if (auto node = section.optionalField("performanceFrequency"))
        clock.setPerformanceFrequency(static_cast<std::uint64_t>(node->asInteger(0, 10'000'000'000)));
}

void loadRegistrySection(const BoardNode& section, Machine& machine) {
    SimRegistry& registry = machine.simRegistry();
    for (const auto& [key, values] : section.members()) {
        if (normaliseRegistryKey(key).empty()) values.fail("expected a key name such as \"\\\\Software\\\\Caldavor\"");
        registry.createKey(key);
        for (const auto& [name, value] : values.members()) {
            if (value.isString())
                registry.writeString(key, name, value.asString());
            else if (value.isInteger())
                registry.writeInteger(key, name, static_cast<std::uint32_t>(value.asInteger(0, 0xFFFFFFFF)));
            else
                value.failExpected("a string or an integer");
        }
    }
}

namespace {

std::optional<PowerStatus> readPowerStatus(const BoardNode& node) {
    if (auto fails = node.optionalField("fails"); fails && fails->asBool()) return std::nullopt;
    PowerStatus status;
    readUnsigned(node, "acLine", status.acLineStatus);
    readUnsigned(node, "batteryFlag", status.batteryFlag);
    readUnsigned(node, "batteryPercent", status.batteryLifePercent);
    return status;
}

}  // namespace

void loadPowerSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"acLine", "batteryFlag", "batteryPercent", "fails", "changes"});
    SimSession& session = machine.session();
    session.setPowerStatus(0, readPowerStatus(section));
    if (auto changes = section.optionalField("changes")) {
        for (const auto& change : changes->items()) {
            change.expectFields({"atMs", "acLine", "batteryFlag", "batteryPercent", "fails"});
            const auto at = static_cast<std::uint64_t>(change.field("atMs").asInteger(0, INT64_MAX));
            session.setPowerStatus(at, readPowerStatus(change));
        }
    }
}

}  // namespace platform::sim
