#include "core/cvsensorsparser.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/cvconfigvalue.h"
#include "core/cvtext.h"
#include "core/cvvars.h"

namespace sensorsfile {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view digitRun(std::string_view text) {
    std::size_t n = 0;
    while (n < text.size() && isDigit(text[n])) ++n;
    return text.substr(0, n);
}

// The number a run of digits stands for, or the fallback when there is none
// or it is too large.
std::int32_t leadingNumber(std::string_view text, std::int32_t fallback = 0) {
    return ParseConfigInteger(digitRun(text)).value_or(fallback);
}

bool isSectionLine(std::string_view line) { return StartsText("xxx ", line); }

class Reader {
public:
    Reader(const std::vector<std::string>& lines, const TTraceFn& trace) : lines_(lines), trace_(trace) {}

    bool AtEnd() const { return pos_ >= lines_.size(); }
    const std::string& Take() { return lines_[pos_++]; }

    // The value of the section's next line when it carries this key; a line
    // that does not is left for SkipSection.
    std::optional<std::string> Field(std::string_view key) {
        if (AtEnd()) return std::nullopt;
        const std::string& line = lines_[pos_];
        if (isSectionLine(line) || !StartsText(key, line)) return std::nullopt;
        ++pos_;
        return line.substr(key.size());
    }
    std::optional<std::int32_t> IntField(std::string_view key, std::int32_t unreadable) {
        auto value = Field(key);
        if (!value) return std::nullopt;
        return ParseConfigInteger(*value).value_or(unreadable);
    }
    std::optional<bool> BoolField(std::string_view key) {
        auto value = Field(key);
        if (!value) return std::nullopt;
        return ParseConfigBoolean(*value);
    }

    // Moves past the section's "xxx end"; stops before any other section line.
    void SkipSection(bool quiet = false) {
        while (!AtEnd()) {
            const std::string& line = lines_[pos_];
            if (WildcardMatch("xxx end", line)) {
                ++pos_;
                return;
            }
            if (isSectionLine(line)) return;
            if (!quiet) Malformed(line);
            ++pos_;
        }
    }

    void Malformed(const std::string& line) {
        if (!Trim(line).empty()) trace_("CFG: malformed line skipped: " + line);
    }

private:
    const std::vector<std::string>& lines_;
    const TTraceFn& trace_;
    std::size_t pos_ = 0;
};

struct SlotMask {
    const char* mask;
    const char* prefix;
    TSlotKind kind;
};

constexpr SlotMask slotMasks[] = {
    {"xxx Temp * from *", "xxx Temp ", TSlotKind::Temp},
    {"xxx Pwm * from *", "xxx Pwm ", TSlotKind::Pwm},
    {"xxx Volt * from *", "xxx Volt ", TSlotKind::Volt},
    {"xxx Fan * from *", "xxx Fan ", TSlotKind::Fan},
};

constexpr std::string_view sensorPrefix = "xxx Sensor UniqueID=";
constexpr std::string_view controllerPrefix = "xxx FanController ";
constexpr std::string_view inputPrefix = "xxx FanControllerTemp from FanController ";
constexpr std::string_view cfgIdPrefix = "xxx OriginalCfgId=";

void readSensor(Reader& in, const std::string& header, TSectionSink& sink) {
    TSensorSection s;
    s.UniqueId = header.substr(sensorPrefix.size());
    s.Name = in.Field("Name=").value_or("");
    s.UsedBus = in.Field("UsedBUS=").value_or("");
    s.Address = in.Field("Address=").value_or("");
    s.Link = in.Field("Link=").value_or("");
    const std::int32_t count = std::max(0, in.IntField("StickyProps=", 0).value_or(0));
    for (std::int32_t i = 0; i < count; ++i) {
        auto value = in.Field("Property=");
        if (!value) break;
        if (auto prop = ParsePropertyLine(*value)) s.Props.push_back(std::move(*prop));
        else in.Malformed("Property=" + *value);
    }
    sink.Sensor(s);
}

void readSlot(Reader& in, const std::string& header, const SlotMask& m, std::int32_t version, TSectionSink& sink) {
    TSlotSection s;
    s.Kind = m.kind;
    s.Ref = ParseReadingRef(std::string_view(header).substr(std::string_view(m.prefix).size()));
    s.Name = in.Field("name=");
    s.Active = in.BoolField("active=");
    int loggedFrom = 201;
    if (m.kind == TSlotKind::Temp) {
        s.Wanted = in.IntField("wanted=", 50);
        s.Warning = in.IntField("warning=", 55);
        s.Offset = in.IntField("offset=", 0);
        s.InTray = in.BoolField("intray=");
        if (auto count = in.IntField("UsedPwms=", 0)) {
            s.UsedPwms.emplace();
            for (std::int32_t i = 0; i < *count; ++i) {
                auto value = in.Field("pwm=");
                if (!value) break;
                s.UsedPwms->push_back({*value, ParseReadingRef(*value)});
            }
        }
    } else if (m.kind == TSlotKind::Pwm) {
        s.MinPercent = in.IntField("min=", 0);
        s.MaxPercent = in.IntField("max=", 100);
        s.Variate = in.BoolField("variate=");
        loggedFrom = 203;
    }
    if (version >= loggedFrom) s.Logged = in.BoolField("logged=");
    sink.Slot(s);
}

void readController(Reader& in, const std::string& header, TSectionSink& sink) {
    TFanControllerSection s;
    s.Number = leadingNumber(std::string_view(header).substr(controllerPrefix.size()), -1);
    s.Name = in.Field("name=");
    if (auto pwm = in.Field("pwm=")) {
        s.PwmRaw = *pwm;
        s.Pwm = ParseReadingRef(*pwm);
        const std::int32_t method = in.IntField("method=", 0).value_or(0);
        // A method that no byte holds runs the fan at full speed.
        s.Method = method >= 0 && method <= 255 ? static_cast<std::uint8_t>(method) : 255;
        s.Enabled = in.BoolField("enabled=").value_or(false);
    }
    sink.FanController(s);
}

void readInput(Reader& in, const std::string& header, TSectionSink& sink) {
    TControllerInputSection s;
    // No number (a negative one included) names no controller.
    s.Controller = leadingNumber(std::string_view(header).substr(inputPrefix.size()), -1);
    if (auto temp = in.Field("temp=")) {
        s.TempRaw = *temp;
        s.Temp = ParseReadingRef(*temp);
    }
    s.MinTemp = in.IntField("MinTemp=", 30).value_or(30);
    s.MaxTemp = in.IntField("MaxTemp=", 60).value_or(60);
    s.Hysteresis = in.IntField("hysteresis=", 2).value_or(2);
    // Without a usable curve the input asks for full speed rather than guessing.
    s.ControlPoints.fill(100);
    if (auto text = in.Field("ControlPoints="))
        if (auto points = ParseControlPoints(*text)) s.ControlPoints = *points;
    sink.ControllerInput(s);
}

}  // namespace

TReadingRef ParseReadingRef(std::string_view text) {
    TReadingRef ref;
    ref.ReadingIndex = leadingNumber(text);
    constexpr std::string_view from = " from ";
    for (std::size_t i = 0; i + from.size() <= text.size(); ++i)
        if (StartsText(from, text.substr(i))) {
            ref.SensorId = Trim(text.substr(i + from.size()));
            break;
        }
    return ref;
}

std::optional<TPropertyLine> ParsePropertyLine(std::string_view text) {
    // "%d |%s| set to |%s|"
    const std::string_view id = digitRun(text);
    const auto propId = ParseConfigInteger(id);
    if (!propId || text.substr(id.size(), 2) != " |") return std::nullopt;
    text.remove_prefix(id.size() + 2);
    constexpr std::string_view setTo = "| set to |";
    const std::size_t bar = text.find('|');
    if (bar == std::string_view::npos || text.substr(bar, setTo.size()) != setTo) return std::nullopt;
    TPropertyLine prop;
    prop.PropId = *propId;
    prop.PropName = std::string(text.substr(0, bar));
    std::string_view value = text.substr(bar + setTo.size());
    if (!value.empty() && value.back() == '|') value.remove_suffix(1);
    prop.Value = std::string(value);
    return prop;
}

std::optional<std::array<double, FanCurvePointCount>> ParseControlPoints(std::string_view text) {
    std::array<double, FanCurvePointCount> points{};
    int filled = 0;
    std::size_t pos = 0;
    while (filled < FanCurvePointCount && pos < text.size()) {
        const std::size_t end = std::min(text.find(' ', pos), text.size());
        const std::string_view token = text.substr(pos, end - pos);
        pos = end + 1;
        double value = 0;
        const auto [stop, ec] = std::from_chars(token.data(), token.data() + token.size(), value,
                                                std::chars_format::fixed);
        if (token.empty() || ec != std::errc() || stop != token.data() + token.size() || !std::isfinite(value) ||
            value == -1)
            continue;
        points[filled++] = value;
    }
    if (filled == 0) return std::nullopt;
    std::fill(points.begin() + filled, points.end(), points[filled - 1]);
    return points;
}

std::int32_t ParseCfgVersion(const std::vector<std::string>& lines) {
    constexpr std::string_view versionPrefix = "xxx version ";
    for (const auto& line : lines) {
        if (!StartsText(versionPrefix, line)) continue;
        const std::string_view rest = std::string_view(line).substr(versionPrefix.size());
        const std::size_t dot = rest.find('.');
        const std::int64_t major = ParseConfigInteger(rest.substr(0, dot)).value_or(0);
        const std::int64_t minor =
            dot == std::string_view::npos ? 0 : ParseConfigInteger(rest.substr(dot + 1)).value_or(0);
        // A version no 32-bit number holds is no version we know.
        const std::int64_t version = major * 100 + minor;
        return version >= INT32_MIN && version <= INT32_MAX ? static_cast<std::int32_t>(version) : -2;
    }
    return 0;
}

void ReadSections(const std::vector<std::string>& lines, std::int32_t version, bool propertiesOnly,
                  TSectionSink& sink, const TTraceFn& trace) {
    Reader in(lines, trace);
    while (!in.AtEnd()) {
        const std::string& line = in.Take();
        if (!Trim(line).empty()) trace("CFG: " + line);
        bool known = true, quiet = false;
        if (WildcardMatch("xxx Sensor UniqueID=*", line)) readSensor(in, line, sink);
        else if (propertiesOnly) known = false;
        else if (WildcardMatch("xxx FanControllerTemp from FanController *", line)) readInput(in, line, sink);
        else if (WildcardMatch("xxx FanController *", line)) readController(in, line, sink);
        else if (WildcardMatch("xxx OriginalCfgId=*", line))
            sink.OriginalCfgId(ParseConfigInteger(line.substr(cfgIdPrefix.size())).value_or(0));
        else if (WildcardMatch("xxx SMBIOS Info", line)) quiet = true;
        else {
            const auto m = std::find_if(std::begin(slotMasks), std::end(slotMasks),
                                        [&](const SlotMask& s) { return WildcardMatch(s.mask, line); });
            if (m == std::end(slotMasks)) known = false;
            else readSlot(in, line, *m, version, sink);
        }
        if (known) in.SkipSection(quiet);
    }
}

std::vector<TLegacyLine> ReadLegacyLines(const std::vector<std::string>& lines) {
    static constexpr struct {
        const char* line;
        TSlotKind kind;
    } openers[] = {{"xxx temp", TSlotKind::Temp}, {"xxx fan", TSlotKind::Fan},
                   {"xxx volt", TSlotKind::Volt}, {"xxx pwm", TSlotKind::Pwm}};
    std::vector<TLegacyLine> result;
    for (const auto& line : lines) {
        const auto opener = std::find_if(std::begin(openers), std::end(openers),
                                         [&](const auto& o) { return line == o.line; });
        if (opener != std::end(openers)) {
            result.push_back({true, opener->kind, {}, {}});
            continue;
        }
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        TLegacyLine entry;
        entry.Key = LowerCase(std::string_view(line).substr(0, eq));
        entry.Value = line.substr(eq + 1);
        result.push_back(std::move(entry));
    }
    return result;
}

}  // namespace sensorsfile
