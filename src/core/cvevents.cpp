#include "core/cvevents.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <string_view>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvconfigvalue.h"
#include "core/cvmailqueue.h"
#include "core/cvmonitor.h"
#include "core/cvsafefile.h"
#include "core/cvsmartdisk.h"
#include "core/cvtext.h"
#include "core/txtunit.h"
#include "hw/cvlink.h"
#include "platform/desktop.h"

using cvformat::Format;

namespace {

constexpr std::uint16_t FileBufferSize = 10240;
constexpr std::uint16_t MaxLineLength = 32768;
constexpr double MSecsPerDay = 86400000.0;

// By TEventSource: the kind in a condition and a file, and its spelling when written.
constexpr std::array<std::string_view, 4> SourceNames{"temp", "fan", "volt", "smart"};
constexpr std::array<std::string_view, 4> SourceFileNames{"temp", "fan", "volt", "SMART"};
// By TEventAction.
constexpr std::array<std::string_view, 4> ActionNames{"execute", "popupmsg", "beep", "sendmail"};

// By TCVStackType.
constexpr std::array<std::string_view, 4> StackTypeNames{"INT", "FLOAT", "STRING", "BOOLEAN"};

template <std::size_t N>
std::optional<std::size_t> IndexOf(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::size_t i = 0; i < N; ++i)
        if (names[i] == name) return i;
    return std::nullopt;
}

// ---- reading one rule ----------------------------------------------------------

// The value of the last line that begins with key and "=", ignoring case.
std::optional<std::string> FindEventKey(const std::vector<std::string>& lines, std::string_view key) {
    const std::string prefix = std::string(key) + "=";
    std::optional<std::string> value;
    for (const auto& line : lines)
        if (StartsText(prefix, line)) value = line.substr(prefix.size());
    return value;
}

std::optional<std::int32_t> FindEventInteger(const std::vector<std::string>& lines, std::string_view key) {
    const auto value = FindEventKey(lines, key);
    if (!value) return std::nullopt;
    const auto number = ParseConfigInteger(*value);
    if (!number || *number == -1) return std::nullopt;
    return number;
}

std::optional<std::int32_t> ParseOrigin(const TSensorList& sensors, const std::string& text) {
    constexpr std::string_view Special = "special";
    if (StartsText(Special, text)) {
        // Only 1 and above name a special source: anything else would turn it
        // into a sensor index or the invalid mark.
        const auto number = ParseConfigInteger(text.substr(Special.size()));
        if (!number || *number < 1 || -*number == InvalidEventOrigin) return std::nullopt;
        return -*number;
    }
    std::optional<std::int32_t> origin;
    for (std::size_t i = 0; i < sensors.size(); ++i)
        if (SameText(sensors[i]->FDisplayName, text)) origin = static_cast<std::int32_t>(i);
    return origin;
}

std::optional<TEventDef> ParseEventDef(const TSensorList& sensors, const std::vector<std::string>& lines) {
    TEventDef def;
    const auto originText = FindEventKey(lines, "Origin");
    if (!originText || originText->empty()) return std::nullopt;
    const auto origin = ParseOrigin(sensors, TrimRight(*originText));
    if (!origin) return std::nullopt;
    def.Origin = *origin;

    const auto source = IndexOf(SourceNames, LowerCase(TrimRight(FindEventKey(lines, "SourceType").value_or(""))));
    if (!source) return std::nullopt;
    def.SourceType = static_cast<TEventSource>(*source);

    const auto readingIdx = FindEventInteger(lines, "ReadingIdx");
    if (!readingIdx) return std::nullopt;
    def.ReadingIdx = *readingIdx;

    def.CheckType = FindEventKey(lines, "CheckType").value_or("");
    def.CheckValue = FindEventKey(lines, "CheckValue").value_or("");
    if (def.CheckType.empty() || def.CheckValue.empty()) return std::nullopt;

    const auto action = IndexOf(ActionNames, LowerCase(TrimRight(FindEventKey(lines, "Action").value_or(""))));
    if (!action) return std::nullopt;
    def.Action = static_cast<TEventAction>(*action);

    def.ActionPar1 = FindEventKey(lines, "ActionPar1").value_or("");
    def.ActionPar2 = FindEventKey(lines, "ActionPar2").value_or("");

    const auto allowEvery = FindEventInteger(lines, "AllowEvery");
    const auto verifiedFor = allowEvery ? FindEventInteger(lines, "VerifiedFor") : std::nullopt;
    if (!verifiedFor) return std::nullopt;
    def.AllowEvery = *allowEvery;
    def.VerifiedFor = *verifiedFor;
    return def;
}

// ---- timing ---------------------------------------------------------------------

// Counted in whole milliseconds first, so that tick steps of exactly one
// second are not cut to 0.999... by the day fractions.
std::int64_t WholeSecondsBetween(TDateTime a, TDateTime b) {
    return std::llround(std::fabs(a - b) * MSecsPerDay) / 1000;
}

// ---- actions --------------------------------------------------------------------

// Blanks separate arguments; double quotes group blanks into one and are dropped.
std::vector<std::string> SplitCommandLine(const std::string& text) {
    std::vector<std::string> args;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) args.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) args.push_back(std::move(current));
    return args;
}

bool IsDocument(const std::string& file) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (ec || !fs::exists(status)) return false;
    constexpr auto anyExec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    return !fs::is_regular_file(status) || (status.permissions() & anyExec) == fs::perms::none;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\r', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// ---- mail body ------------------------------------------------------------------

std::string MachineName() {
    const std::string name = platform::current().computerName();
    return name.empty() ? "<unknown>" : name;
}

// ---- resolver ---------------------------------------------------------------------

std::optional<double> StatsField(const TValueStats& stats, const std::string& field) {
    const std::string name = LowerCase(field);
    if (name == "value") return stats.Last();
    if (name == "previous") return stats.Previous();
    if (name == "mean") return stats.Mean();
    if (name == "min") return stats.FMin;
    if (name == "max") return stats.FMax;
    return std::nullopt;
}

std::optional<std::int64_t> RoundedPercent(std::optional<double> fraction) {
    if (!fraction || !std::isfinite(*fraction) || std::fabs(*fraction) > 1e12) return std::nullopt;
    return static_cast<std::int64_t>(std::nearbyint(*fraction * 100));
}

std::optional<std::int64_t> SmartField(const TSmartDisk& disk, std::int64_t index, const std::string& field) {
    const std::string name = LowerCase(field);
    if (index == SmartFitnessIndex) return name == "value" ? RoundedPercent(disk.Fitness()) : std::nullopt;
    if (index == SmartPerformanceIndex) return name == "value" ? RoundedPercent(disk.Performance()) : std::nullopt;

    // Only entries the disk really answered are looked at.
    const auto entry = [](std::span<const std::uint8_t> page, std::int64_t id) -> std::span<const std::uint8_t> {
        for (int i = 0; i < TSmartDisk::PageEntries; ++i) {
            const std::size_t offset = TSmartDisk::EntryOffset(i);
            if (offset + TSmartDisk::EntrySize > page.size()) break;
            if (page[offset] == id) return page.subspan(offset, TSmartDisk::EntrySize);
        }
        return {};
    };
    if (name == "value" || name == "worst") {
        const auto attribute = entry(disk.AttributePage(), index);
        if (attribute.empty()) return std::nullopt;
        return attribute[name == "value" ? 3 : 4];
    }
    if (name == "warning") {
        const auto threshold = entry(disk.ThresholdPage(), index);
        if (threshold.empty()) return std::nullopt;
        return threshold[1];
    }
    return std::nullopt;
}

}  // namespace

// ---- rules ------------------------------------------------------------------------

std::string EventToCondition(const TEventDef& def) {
    const auto source = static_cast<std::size_t>(def.SourceType);
    return Format("sensor[%d].%s[%d].value%s%s",
                  {def.Origin, source < SourceNames.size() ? SourceNames[source] : "?", def.ReadingIdx, def.CheckType,
                   def.CheckValue});
}

std::vector<std::string> WriteEventDef(const TSensorList& sensors, const TEventDef& def) {
    std::string origin;
    if (def.Origin < 0) origin = Format("special%d", {-static_cast<std::int64_t>(def.Origin)});
    else if (static_cast<std::size_t>(def.Origin) < sensors.size()) origin = sensors[static_cast<std::size_t>(def.Origin)]->FDisplayName;
    return {
        "Origin=" + origin,
        Format("ReadingIdx=%d", {def.ReadingIdx}),
        Format("SourceType=%s", {SourceFileNames.at(static_cast<std::size_t>(def.SourceType))}),
        "CheckType=" + def.CheckType,
        "CheckValue=" + def.CheckValue,
        Format("Action=%s", {ActionNames.at(static_cast<std::size_t>(def.Action))}),
        "ActionPar1=" + def.ActionPar1,
        "ActionPar2=" + def.ActionPar2,
        Format("AllowEvery=%d", {def.AllowEvery}),
        Format("VerifiedFor=%d", {def.VerifiedFor}),
    };
}

TEventDef ReadEventDef(const TSensorList& sensors, const std::vector<std::string>& lines) {
    TEventDef invalid;
    invalid.Origin = InvalidEventOrigin;
    return ParseEventDef(sensors, lines).value_or(invalid);
}

// ---- events file ------------------------------------------------------------------

bool TEvents::SaveEvents(const std::string& fileName) {
    std::string text = "[parameters]\r\nCfgVersion=01.0001\r\nEventsVersion=01.0001\r\n";
    for (const auto& event : Events) {
        text += "[event]\r\n";
        for (const auto& line : WriteEventDef(monitor_.Sensors, event.Def)) text += line + "\r\n";
    }
    if (ReplaceFileContents(fileName, text)) return true;
    const std::string msg = "Unable to save events to " + fileName;
    if (monitor_.Dialogs) monitor_.Dialogs->ShowError(msg);
    else traceAndShow(msg);
    return false;
}

void TEvents::LOADEVENTS(const std::string& fileName) {
    WriteDebugLog("Starting LOADEVENTS");
    const auto lines = TxtReadLines(fileName, FileBufferSize, MaxLineLength);
    if (!lines) {
        WriteDebugLog("End of LOADEVENTS");
        return;
    }
    Events.clear();

    std::optional<std::string> header;
    std::vector<std::string> section;
    const auto closeSection = [&] {
        if (header && LowerCase(*header) == "[event]") {
            const TEventDef def = ReadEventDef(monitor_.Sensors, section);
            if (def.Origin != InvalidEventOrigin) {
                Events.emplace_back().Def = def;
            } else {
                monitor_.Log.LogMessage("Error loading event -->");
                for (const auto& line : section) monitor_.Log.LogMessage("  " + line);
            }
        }
        section.clear();
    };

    for (const auto& text : *lines) {
        std::string line = TrimLeft(text);
        if (line.empty() || line.front() == '#') continue;
        const std::string trimmed = Trim(line);
        if (trimmed.front() == '[' && trimmed.back() == ']') {
            closeSection();
            header = trimmed;
        } else if (header) {
            section.push_back(std::move(line));
        }
    }
    if (!section.empty()) closeSection();

    CompileSimpleEvents();
    for (const auto& event : Events)
        WriteDebugLog(Format("Loaded event : %s for %d every %d",
                             {event.Condition, event.Def.VerifiedFor, event.Def.AllowEvery}));
    monitor_.Log.LogMessage(Format("Loaded %d events", {Events.size()}));
    WriteDebugLog("End of LOADEVENTS");
}

// ---- evaluation -------------------------------------------------------------------

struct TEvents::TOutcome {
    bool True = false;
    // Empty when the condition gave one Boolean; else what went wrong,
    // beginning with a quoted text.
    std::string Error;
    // The message of the exception the evaluation raised, if it raised one.
    std::optional<std::string> Exception;
};

void TEvents::CompileSimpleEvents() {
    for (auto& event : Events) {
        event.Condition = EventToCondition(event.Def);
        TCVParser parser;
        parser.SetText(event.Condition);
        parser.CompileExpression(event.Items);
        if (!parser.ErrorText().empty()) {
            event.Items.clear();
            event.CompileState = TEventCompileState::ParseError;
            monitor_.Log.TraceDebug(Format("Error compiling SIMPLE EVENT (parse) : |%s| -> %s",
                                           {event.Condition, parser.ErrorText()}));
            continue;
        }
        // Only a raised error marks the test evaluation as failed; a result of
        // the wrong shape is reported on every tick instead.
        const TOutcome outcome = evaluate(event);
        event.CompileState = outcome.Exception ? TEventCompileState::EvalError : TEventCompileState::Compiled;
        if (outcome.Exception)
            monitor_.Log.TraceDebug(
                Format("Error compiling SIMPLE EVENT (eval) : |%s| -> %s", {event.Condition, *outcome.Exception}));
    }
}

TEvents::TOutcome TEvents::evaluate(const TCVEventDef& event) {
    TCVEvaluator evaluator;
    evaluator.AddIdProc([this](const TCVIdParams& params, TCVStack& stack) { return ResolveEventVariable(params, stack); });
    try {
        evaluator.EvaluateExpression(event.Items);
    } catch (const std::exception& e) {
        return {false, Format("\"%s\": exception :", {e.what()}), e.what()};
    }
    const TCVStack& stack = evaluator.Stack();
    if (stack.Count() != 1)
        return {false, Format("\"%s\": returned %d elements on stack", {event.Condition, stack.Count()}), {}};
    const TCVStackItem result = stack.GetItem(0);
    if (result.Type != TCVStackType::Boolean) {
        const auto type = static_cast<std::size_t>(result.Type);
        return {false, Format("\"%s\": stack contains %s data",
                              {event.Condition, type < StackTypeNames.size() ? StackTypeNames[type] : "UNKNOWN"}), {}};
    }
    return {std::get<bool>(result.Value), {}, {}};
}

bool TEvents::EvaluateEvent(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= Events.size()) return false;
    const TOutcome outcome = evaluate(Events[static_cast<std::size_t>(index)]);
    if (!outcome.Error.empty()) traceAndShow("Error evaluating " + outcome.Error);
    return outcome.True;
}

void TEvents::ProcessEvents() {
    for (std::size_t i = 0; i < Events.size(); ++i) {
        TCVEventDef& event = Events[i];
        // A condition that did not compile has nothing to evaluate.
        if (event.CompileState == TEventCompileState::ParseError) continue;
        try {
            const TDateTime start = Now();
            if (EvaluateEvent(static_cast<int>(i))) {
                if (event.TrueCount < std::numeric_limits<std::int32_t>::max()) ++event.TrueCount;
                if (WholeSecondsBetween(start, event.LastAction) >= std::int64_t{event.Def.AllowEvery} - 1 &&
                    event.TrueCount >= event.Def.VerifiedFor) {
                    event.LastAction = start;
                    runAction(event.Def);
                }
            } else {
                event.TrueCount = 0;
            }
            event.EvalTime += Now() - start;
            ++event.EvalCount;
        } catch (const std::exception& e) {
            traceAndShow(std::string("Error processing events: ") + e.what());
        }
    }
}

void TEvents::Tick() {
    const std::uint64_t now = platform::current().clock().monotonicMs();
    if (lastTickMs_ && now - *lastTickMs_ < 1000) return;
    lastTickMs_ = now;
    ProcessEvents();
}

void TEvents::TraceEvaluationTimes() {
    const platform::LocaleInfo locale = platform::current().locale();
    for (const auto& event : Events) {
        if (event.EvalCount == 0) continue;
        const TDateTime mean = event.EvalTime / static_cast<double>(event.EvalCount);
        WriteDebugLog(Format("EVENT %s execution took %s on the average",
                             {event.Condition, FormatDateTime("hh:nn:ss.zzz", mean, locale)}));
    }
}

// ---- resolver -----------------------------------------------------------------------

bool TEvents::ResolveEventVariable(const TCVIdParams& params, TCVStack& stack) {
    if (params.size() != 5 || LowerCase(params[0].Text) != "sensor" || params[1].Text != "[]" ||
        params[3].Text != "[]")
        return false;
    const auto source = IndexOf(SourceNames, params[2].Text);
    if (!source) return false;

    const TSensorList& sensors = monitor_.Sensors;
    const TCVStackItem sensorIndex = stack.Pop();
    const TSensor* sensor = nullptr;
    if (sensorIndex.Type == TCVStackType::String) {
        const std::string& prefix = std::get<std::string>(sensorIndex.Value);
        for (const auto& candidate : sensors)
            if (StartsText(prefix, candidate->FDisplayName)) sensor = candidate.get();
    } else if (sensorIndex.Type == TCVStackType::Int) {
        const std::int64_t i = std::get<std::int64_t>(sensorIndex.Value);
        if (i >= 0 && static_cast<std::size_t>(i) < sensors.size()) sensor = sensors[static_cast<std::size_t>(i)].get();
    }
    if (!sensor) return false;

    const TCVStackItem readingIndex = stack.Pop();
    if (readingIndex.Type != TCVStackType::Int) return false;
    const std::int64_t index = std::get<std::int64_t>(readingIndex.Value);

    if (static_cast<TEventSource>(*source) == TEventSource::Smart) {
        const auto* disk = dynamic_cast<const TSmartDisk*>(sensor);
        if (!disk || index < 1 || index > SmartPerformanceIndex) return false;
        const auto value = SmartField(*disk, index, params[4].Text);
        if (!value) return false;
        stack.PushInt(*value);
        return true;
    }

    static constexpr TReadingKind Kinds[] = {TReadingKind::Temp, TReadingKind::Fan, TReadingKind::Volt};
    const TReadingKind kind = Kinds[*source];
    if (index < 1 || index > ReadingCount(*sensor, kind)) return false;
    const TReading reading = GetReading(*sensor, kind, static_cast<int>(index));
    if (!reading.Stats) return false;
    const auto value = StatsField(*reading.Stats, params[4].Text);
    if (!value) return false;
    stack.PushFloat(*value);
    return true;
}

// ---- actions --------------------------------------------------------------------------

void TEvents::runAction(const TEventDef& def) {
    platform::Desktop& desktop = platform::current().desktop();
    switch (def.Action) {
    case TEventAction::Execute:
        execute(def);
        break;
    case TEventAction::PopupMsg:
        desktop.showBalloon("Caldavor", def.ActionPar1, 10000, platform::BalloonIcon::Warning);
        break;
    case TEventAction::Beep:
        desktop.beep(494, 250);
        break;
    case TEventAction::SendMail:
        SendEventMail(def.ActionPar1, def.ActionPar2);
        break;
    }
}

// The program starts directly with its parameters split as a command line,
// never through a shell; a document, or what cannot be started, is opened by
// the desktop's handler.
void TEvents::execute(const TEventDef& def) {
    const std::string& file = def.ActionPar1;
    if (file.empty()) return;
    platform::Desktop& desktop = platform::current().desktop();
    if (IsDocument(file)) {
        desktop.openDocument(file);
        return;
    }
    const std::string folder = std::filesystem::path(file).parent_path().string();
    if (!desktop.startProgram(file, SplitCommandLine(def.ActionPar2), folder)) desktop.openDocument(file);
}

void TEvents::SendEventMail(const std::string& subject, const std::string& profileName) {
    for (const auto& profile : MailProfileList) {
        if (!SameText(profile.ProfileName, profileName)) continue;
        if (!Mail) {
            WriteDebugLog(Format("No mail sender: mail <%s> not sent", {subject}));
            return;
        }
        Mail->QueueMail(profile, subject, SplitLines(CreateMailBody()), {});
        Mail->Resume();
        return;
    }
    traceAndShow(Format("Unable to find mail profile <%s>", {profileName}));
}

std::string TEvents::CreateMailBody() {
    std::string body = Format("Current time is %s - Machine name is %s\r",
                              {FormatDateTime("c", Now(), platform::current().locale()), MachineName()});
    const TSensorList& sensors = monitor_.Sensors;
    const TReadingSlots& slots = monitor_.Slots;
    try {
        const auto section = [&](const char* title, TReadingKind kind, const auto& valueText) {
            body += title;
            for (std::size_t i = 0; i < slots.SlotCount(kind); ++i) {
                const TReadingData& slot = slots.Slot(kind, i);
                if (slot.Active)
                    body += Format("%s -> %s\r", {slot.Name, valueText(SlotStats(sensors, kind, slot).Last())});
            }
        };
        section("\rTemperatures:\r", TReadingKind::Temp, [&](double v) { return monitor_.FormatTemp(v); });
        section("\rFans:\r", TReadingKind::Fan, FormatRpm);
        section("\rVoltages:\r", TReadingKind::Volt, FormatVolt);
        section("\rSpeeds:\r", TReadingKind::Pwm, [](double v) { return Format("%.0f%%", {v}); });
    } catch (const std::exception&) {
        monitor_.Log.LogMessage("DEBUG CreateMailBody.1");
    }
    body += "\rHard disks' status:\r";
    for (const auto& sensor : sensors) {
        const auto* disk = dynamic_cast<const TSmartDisk*>(sensor.get());
        if (!disk || !IsDiskLink(*sensor)) continue;
        body += Format("%s (drive %d) : fitness=%s%%   performance=%s%%\r",
                       {disk->NameText(), disk->GetDriveNumber(), HealthPercentText(disk->Fitness()),
                        HealthPercentText(disk->Performance())});
    }
    return body;
}

void TEvents::traceAndShow(const std::string& msg) { monitor_.Log.TraceMessage(msg, 1); }
