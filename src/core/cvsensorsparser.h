#pragma once
// Reading the sensors file's text: sections and their lines, turned into
// records handed one by one to whoever applies them. Knows nothing of sensors
// or slots, so it is tested and fuzzed on text alone.
//
// Lines of a section are expected in the order the writer puts them, each
// starting with its key (compared without regard to case). A missing or
// unexpected line leaves that field absent; a line starting with "xxx " ends
// the section early, so a file cut short or edited by hand never lets one
// section swallow the next.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/cvfancontrol.h"

namespace sensorsfile {

enum class TSlotKind { Temp, Pwm, Fan, Volt };

// "%d from %s": a reading of a sensor named by its display name.
struct TReadingRef {
    std::int32_t ReadingIndex = 0;
    std::string SensorId;
};

struct TPropertyLine {
    std::int32_t PropId = 0;
    std::string PropName;
    std::string Value;
};

struct TSensorSection {
    std::string UniqueId;
    std::string Name, UsedBus, Address, Link;
    std::vector<TPropertyLine> Props;
};

struct TDrivenPwm {
    std::string Raw;  // the line's value, for the log
    TReadingRef Ref;
};

struct TSlotSection {
    TSlotKind Kind = TSlotKind::Temp;
    TReadingRef Ref;
    std::optional<std::string> Name;
    std::optional<bool> Active;
    std::optional<std::int32_t> Wanted, Warning, Offset;  // temperatures
    std::optional<bool> InTray;
    std::optional<std::int32_t> MinPercent, MaxPercent;   // speeds
    std::optional<bool> Variate;
    std::optional<std::vector<TDrivenPwm>> UsedPwms;      // temperatures
    std::optional<bool> Logged;
};

struct TFanControllerSection {
    std::int32_t Number = 0;
    std::optional<std::string> Name;
    std::string PwmRaw;
    std::optional<TReadingRef> Pwm;
    std::uint8_t Method = 0;
    bool Enabled = false;
};

struct TControllerInputSection {
    std::int32_t Controller = 0;
    std::string TempRaw;
    std::optional<TReadingRef> Temp;
    std::int32_t MinTemp = 30, MaxTemp = 60, Hysteresis = 2;
    std::array<double, FanCurvePointCount> ControlPoints{};
};

// Receives each section as soon as it has been read.
class TSectionSink {
public:
    virtual ~TSectionSink() = default;
    virtual void Sensor(const TSensorSection& section) = 0;
    virtual void Slot(const TSlotSection& section) = 0;
    virtual void FanController(const TFanControllerSection& section) = 0;
    virtual void ControllerInput(const TControllerInputSection& section) = 0;
    virtual void OriginalCfgId(std::int32_t id) = 0;
};

using TTraceFn = std::function<void(const std::string& msg)>;

// major * 100 + minor of the first "xxx version " line; 0 when there is none.
std::int32_t ParseCfgVersion(const std::vector<std::string>& lines);

// Reads a version 2.00 to 2.03 file. With propertiesOnly only sensor sections
// are read.
void ReadSections(const std::vector<std::string>& lines, std::int32_t version, bool propertiesOnly,
                  TSectionSink& sink, const TTraceFn& trace);

// One key line of a version 1.01 file, or the opening of its next slot.
struct TLegacyLine {
    bool Opens = false;  // "xxx temp" and the like
    TSlotKind Kind = TSlotKind::Temp;
    std::string Key;     // lower case, without "="
    std::string Value;
};
// The lines of a version 1.01 file that mean something, in order.
std::vector<TLegacyLine> ReadLegacyLines(const std::vector<std::string>& lines);

// Small parsers shared with the appliers.
TReadingRef ParseReadingRef(std::string_view text);
std::optional<TPropertyLine> ParsePropertyLine(std::string_view afterKey);
// Sixteen points, or nothing when the text holds no usable number.
std::optional<std::array<double, FanCurvePointCount>> ParseControlPoints(std::string_view text);

}  // namespace sensorsfile
