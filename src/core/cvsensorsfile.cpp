#include "core/cvsensorsfile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <unistd.h>

#include "base/cvformat.h"
#include "core/cvconfigvalue.h"
#include "core/cvlogsinks.h"
#include "core/cvsafefile.h"
#include "core/cvsensorsparser.h"
#include "core/cvservices.h"
#include "core/cvtext.h"
#include "core/cvvars.h"
#include "core/cvzipfile.h"
#include "core/txtunit.h"
#include "hw/cvlink.h"

using namespace sensorsfile;

const char* const SensorsFileName = "caldavorsens.cfg";
const char* const EventsFileName = "caldavorevents.cfg";
const char* const ConfigsZipName = "configs.zip";

std::vector<TStickyProp> StickyProps;

namespace {

std::string fmt(std::string_view picture, std::initializer_list<cvformat::FormatArg> args) {
    return cvformat::Format(picture, args, cvformat::Invariant());
}

// ---- board identity ----------------------------------------------------------

std::string cfgNamePart(const std::string& text) {
    std::string result;
    for (unsigned char c : Trim(text)) {
        if (c < 32 || c >= 128 || c == '/' || c == '\\' || c == '|') result += fmt("%%%.2x", {unsigned{c}});
        else result += static_cast<char>(c);
    }
    return result;
}

std::string cfgName(const TBoardIdentity& b, const std::string& boardVersion) {
    return Trim(cfgNamePart(b.BoardManufacturer) + " " + cfgNamePart(b.BoardProduct) + " " +
                cfgNamePart(boardVersion) + " " + cfgNamePart(b.SystemManufacturer) + " " +
                cfgNamePart(b.SystemProduct));
}

// ---- files -------------------------------------------------------------------

std::optional<std::vector<std::string>> readLines(const std::string& fileName) {
    return TxtReadLines(fileName, 10240, 10000);
}

// ---- slots -------------------------------------------------------------------

TReadingKind readingKind(TSlotKind kind) {
    switch (kind) {
        case TSlotKind::Temp: return TReadingKind::Temp;
        case TSlotKind::Pwm: return TReadingKind::Pwm;
        case TSlotKind::Fan: return TReadingKind::Fan;
        case TSlotKind::Volt: break;
    }
    return TReadingKind::Volt;
}

const TSensor* sensorAt(const TSensorList& sensors, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < sensors.size() ? sensors[index].get() : nullptr;
}

std::string displayNameOf(const TSensorList& sensors, int index) {
    const TSensor* sensor = sensorAt(sensors, index);
    return sensor ? sensor->FDisplayName : std::string();
}

template <class Slot>
void swapSlots(std::vector<Slot>& slots, std::size_t a, std::size_t b) {
    std::swap(slots[a], slots[b]);
}

void swapSlots(TReadingSlots& s, TReadingKind kind, std::size_t a, std::size_t b) {
    switch (kind) {
        case TReadingKind::Temp: swapSlots(s.TempSlots, a, b); break;
        case TReadingKind::Fan: swapSlots(s.FanSlots, a, b); break;
        case TReadingKind::Pwm: swapSlots(s.PwmSlots, a, b); break;
        case TReadingKind::Volt: swapSlots(s.VoltSlots, a, b); break;
    }
}

// The slot of a kind bound to that reading of the sensor with that display
// name (case matters); -1 when there is none.
int findSlot(const TSensorsFileContext& c, TReadingKind kind, const TReadingRef& ref) {
    for (std::size_t i = 0; i < c.Slots.SlotCount(kind); ++i) {
        const TReadingData& slot = c.Slots.Slot(kind, i);
        const TSensor* sensor = sensorAt(c.Sensors, slot.SensorIndex);
        if (sensor && sensor->FDisplayName == ref.SensorId && slot.ReadingIndex == ref.ReadingIndex)
            return static_cast<int>(i);
    }
    return -1;
}

// A slot bound to no existing sensor or reading is bound to the first of each;
// a temperature that drives a speed slot that does not exist drives none.
void repairBindings(const TSensorsFileContext& c) {
    const int sensorCount = static_cast<int>(c.Sensors.size());
    for (TReadingKind kind : {TReadingKind::Temp, TReadingKind::Fan, TReadingKind::Pwm, TReadingKind::Volt})
        for (std::size_t i = 0; i < c.Slots.SlotCount(kind); ++i) {
            TReadingData& slot = c.Slots.Slot(kind, i);
            if (slot.SensorIndex < 0 || slot.SensorIndex >= sensorCount) slot.SensorIndex = 0;
            const TSensor* sensor = sensorAt(c.Sensors, slot.SensorIndex);
            if (sensor && (slot.ReadingIndex < 1 || slot.ReadingIndex > ReadingCount(*sensor, kind)))
                slot.ReadingIndex = 1;
        }
    const int pwmCount = static_cast<int>(c.Slots.PwmSlots.size());
    for (auto& temp : c.Slots.TempSlots)
        if (std::any_of(temp.UsedPwms.begin(), temp.UsedPwms.end(), [&](int n) { return n < 1 || n > pwmCount; }))
            temp.ClearUsedPwms();
}

// ---- the 2.x reader's effects ------------------------------------------------

class Applier : public TSectionSink {
public:
    explicit Applier(const TSensorsFileContext& c) : c_(c) {}

    void Sensor(const TSensorSection& s) override {
        const auto it = std::find_if(c_.Sensors.begin(), c_.Sensors.end(),
                                     [&](const auto& sensor) { return SameText(sensor->FDisplayName, s.UniqueId); });
        if (it == c_.Sensors.end()) {
            log("Old sensor no longer detected -->");
            return;
        }
        log("Old sensor properly detected -->");
        log(fmt("  %s on %s @ %s", {s.Name, s.UsedBus, s.Address}));
        for (const auto& prop : s.Props) applyProperty(**it, prop);
    }

    void Slot(const TSlotSection& s) override {
        static constexpr const char* titles[] = {"Temperature", "PWM", "Fan", "Volt"};
        const TReadingKind kind = readingKind(s.Kind);
        const char* title = titles[static_cast<int>(s.Kind)];
        const bool known = std::any_of(c_.Sensors.begin(), c_.Sensors.end(),
                                       [&](const auto& sensor) { return sensor->FDisplayName == s.Ref.SensorId; });
        log(known ? fmt("%s from %s -->", {title, s.Ref.SensorId})
                  : fmt("%s from UNKNOWN (%s) -->", {title, s.Ref.SensorId}));
        const std::string name = s.Name.value_or("");
        if (kind == TReadingKind::Temp)
            log(fmt("  %s %d %d %d", {name, s.Wanted.value_or(50), s.Warning.value_or(55), s.Offset.value_or(0)}));
        else if (kind == TReadingKind::Pwm)
            log(fmt("  %s %d %d", {name, s.MinPercent.value_or(0), s.MaxPercent.value_or(100)}));
        else
            log(fmt("  %s", {name}));

        int index = findSlot(c_, kind, s.Ref);
        if (index < 0) {
            log("  not found in list");
            return;
        }
        index = moveToNextPosition(kind, index);
        TReadingData& slot = c_.Slots.Slot(kind, static_cast<std::size_t>(index));
        if (s.Name) slot.Name = *s.Name;
        if (s.Active) slot.Active = *s.Active;
        if (kind == TReadingKind::Temp) storeTemp(c_.Slots.TempSlots[index], s);
        if (kind == TReadingKind::Pwm) storePwm(c_.Slots.PwmSlots[index], s);
        if (s.Logged) slot.Logged = *s.Logged;
        log("  properly added");
    }

    void FanController(const TFanControllerSection& s) override {
        const int pwm = s.Pwm ? findSlot(c_, TReadingKind::Pwm, *s.Pwm) : -1;
        if (pwm < 0) {
            log(fmt("ERROR: Fan Controller %d can't find PWM (%s)", {s.Number, s.Pwm ? s.Pwm->SensorId : ""}), 1);
            remember(s.Number, -1);
            return;
        }
        const TPwmReadingData& slot = c_.Slots.PwmSlots[pwm];
        TFanController controller;
        controller.Name = s.Name.value_or("");
        controller.SensorIndex = slot.SensorIndex;
        controller.PwmIndex = slot.ReadingIndex;
        controller.ControlMethod = s.Method;
        controller.Enabled = s.Enabled;
        remember(s.Number, static_cast<int>(c_.FanControllers.size()));
        c_.FanControllers.push_back(std::move(controller));
    }

    void ControllerInput(const TControllerInputSection& s) override {
        const int temp = s.Temp ? findSlot(c_, TReadingKind::Temp, *s.Temp) : -1;
        if (temp < 0) log(fmt("Can't find temperature sensor (%s)", {s.TempRaw}), 1);
        // Inputs belong to the controller they were written under, even when an
        // earlier controller could not be added.
        const auto position = controllerAt_.find(s.Controller);
        const bool haveController = position != controllerAt_.end() && position->second >= 0;
        if (!haveController) log(fmt("ERROR: Can't find Fan Controller %d", {s.Controller}), 1);
        if (temp < 0 || !haveController) return;
        const TTempReadingData& slot = c_.Slots.TempSlots[temp];
        TFanCtrlTemp input;
        input.SensorIndex = slot.SensorIndex;
        input.ReadingIndex = slot.ReadingIndex;
        input.MinTemp = s.MinTemp;
        input.MaxTemp = s.MaxTemp;
        input.Hysteresis = s.Hysteresis;
        input.ControlPoints = s.ControlPoints;
        c_.FanControllers[position->second].Temps.push_back(input);
    }

    void OriginalCfgId(std::int32_t id) override {
        ::OriginalCfgId = id;
        trace(fmt("OriginalCfgId=%d", {id}));
    }

private:
    void log(const std::string& msg, int level = 0) { c_.Log.LogMessageEx(msg, level != 0); }
    void remember(std::int32_t number, int position) {
        if (number >= 0) controllerAt_[number] = position;
    }
    void trace(const std::string& msg, int level = 0) { c_.Log.TraceMessage(msg, level); }

    void applyProperty(TSensor& sensor, const TPropertyLine& prop) {
        log(fmt("PROP %s (%d) = %s", {prop.PropName, prop.PropId, prop.Value}));
        int position = -1;
        for (int p = 0; p < sensor.GetPropCount() && position < 0; ++p)
            if (sensor.GetPropId(p) == prop.PropId) position = p;
        if (position < 0) {
            log(fmt("NOT FOUND! %s (%d) = %s", {prop.PropName, prop.PropId, prop.Value}));
            return;
        }
        const auto options = sensor.GetPropOptions(position);
        if (std::none_of(options.begin(), options.end(), [&](const auto& o) { return SameText(o, prop.Value); })) {
            trace(fmt("%s is NOT valid for %s", {prop.Value, prop.PropName}), 1);
            log(fmt("ERROR: Unable to set %s for %s", {prop.PropName, sensor.FChipName}), 1);
            log(fmt("   %s is NOT valid for %s", {prop.Value, prop.PropName}), 1);
            return;
        }
        trace(fmt("%s is valid for %s", {prop.Value, prop.PropName}));
        sensor.SetPropValue(position, prop.Value);
        TStickyProp sticky{sensor.FDisplayName, prop.PropId, sensor.GetPropName(position), sensor.GetPropValue(position)};
        const auto it = std::find_if(StickyProps.begin(), StickyProps.end(), [&](const TStickyProp& p) {
            return p.SensorUid == sticky.SensorUid && p.PropId == sticky.PropId;
        });
        if (it != StickyProps.end()) *it = std::move(sticky);
        else StickyProps.push_back(std::move(sticky));
    }

    // Slots take the order of their sections in the file.
    int moveToNextPosition(TReadingKind kind, int index) {
        int& counter = counters_[static_cast<int>(kind)];
        ++counter;
        if (static_cast<std::size_t>(counter) >= c_.Slots.SlotCount(kind)) {
            trace(fmt("CFG: slot position %d is past the slots, order kept", {counter}));
            return index;
        }
        swapSlots(c_.Slots, kind, static_cast<std::size_t>(index), static_cast<std::size_t>(counter));
        return counter;
    }

    void storeTemp(TTempReadingData& slot, const TSlotSection& s) {
        if (s.Wanted) slot.Wanted = *s.Wanted;
        if (s.Warning) slot.Warning = *s.Warning;
        if (s.Offset) slot.Offset = *s.Offset;
        if (s.InTray) slot.InTray = *s.InTray;
        if (!s.UsedPwms) return;
        slot.ClearUsedPwms();
        for (const auto& driven : *s.UsedPwms) {
            const int pwm = findSlot(c_, TReadingKind::Pwm, driven.Ref);
            if (pwm < 0) {
                log(fmt("  PWM not found --> %s", {driven.Raw}));
                continue;
            }
            slot.AddUsedPwm(pwm + 1);
            log(fmt("  PWM %d from %d", {driven.Ref.ReadingIndex, c_.Slots.PwmSlots[pwm].SensorIndex}));
        }
    }

    static void storePwm(TPwmReadingData& slot, const TSlotSection& s) {
        if (s.MinPercent) slot.MinPercent = *s.MinPercent;
        if (s.MaxPercent) slot.MaxPercent = *s.MaxPercent;
        if (s.Variate) slot.Variate = *s.Variate;
    }

    const TSensorsFileContext& c_;
    std::array<int, 4> counters_{-1, -1, -1, -1};
    std::map<std::int32_t, int> controllerAt_;  // header number -> position, -1 when dropped
};

// ---- the 1.01 reader -----------------------------------------------------------

void applyLegacyLine(const TSensorsFileContext& c, TReadingKind kind, std::size_t index, const TLegacyLine& line) {
    TReadingData& slot = c.Slots.Slot(kind, index);
    const std::string& key = line.Key;
    const std::int32_t number = ParseConfigInteger(line.Value).value_or(0);
    if (key == "name") slot.Name = line.Value;
    else if (key == "active") slot.Active = ParseConfigBoolean(line.Value);
    else if (key == "chip") slot.SensorIndex = number;
    else if (key == "index") slot.ReadingIndex = number;
    else if (key == "logged") slot.Logged = ParseConfigBoolean(line.Value);
    else if (kind == TReadingKind::Temp) {
        TTempReadingData& temp = c.Slots.TempSlots[index];
        if (key == "wanted") temp.Wanted = number;
        else if (key == "warning") temp.Warning = number;
        else if (key == "offset") temp.Offset = number;
        else if (key == "intray") temp.InTray = ParseConfigBoolean(line.Value);
        else if (key == "pwm") temp.AddUsedPwm(number);
    } else if (kind == TReadingKind::Pwm) {
        TPwmReadingData& pwm = c.Slots.PwmSlots[index];
        if (key == "min") pwm.MinPercent = number;
        else if (key == "max") pwm.MaxPercent = number;
        else if (key == "variate") pwm.Variate = ParseConfigBoolean(line.Value);
    }
}

void readLegacy(const TSensorsFileContext& c, const std::vector<std::string>& lines) {
    c.Log.LogMessageEx("Reading Cfg Version 1.01", false);
    std::array<int, 4> current{-1, -1, -1, -1};
    std::optional<TReadingKind> kind;
    for (const auto& line : ReadLegacyLines(lines)) {
        if (line.Opens) {
            kind = readingKind(line.Kind);
            const int index = ++current[static_cast<int>(*kind)];
            if (static_cast<std::size_t>(index) >= c.Slots.SlotCount(*kind))
                c.Log.TraceMessage(fmt("CFG: slot position %d is past the slots, section ignored", {index}), 0);
            else if (*kind == TReadingKind::Temp)
                c.Slots.TempSlots[index].ClearUsedPwms();
            continue;
        }
        if (!kind) continue;
        const int index = current[static_cast<int>(*kind)];
        if (static_cast<std::size_t>(index) < c.Slots.SlotCount(*kind))
            applyLegacyLine(c, *kind, static_cast<std::size_t>(index), line);
    }
}

// ---- the writer ------------------------------------------------------------------

class Writer {
public:
    void Line(const std::string& text) { text_ += text + "\r\n"; }
    void Blank() { text_ += "\r\n"; }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

void writeSlotHeader(Writer& w, const TSensorsFileContext& c, const char* picture, const TReadingData& slot) {
    w.Blank();
    w.Line(fmt(picture, {slot.ReadingIndex, displayNameOf(c.Sensors, slot.SensorIndex)}));
    w.Line("name=" + slot.Name);
    w.Line(fmt("active=%s", {BoolToTrueFalse(slot.Active)}));
}

std::string sensorsFileText(const TSensorsFileContext& c) {
    Writer w;
    w.Line("xxx version 2.03");
    w.Blank();
    if (c.Board) {
        const TBoardIdentity& b = *c.Board;
        w.Line("xxx SMBIOS info");
        w.Line("MBManufacturer=" + b.BoardManufacturer);
        w.Line("MBModel=" + b.BoardProduct);
        w.Line("MBVersion=" + b.BoardVersion);
        w.Line("BIOSVendor=" + b.BIOSVendor);
        w.Line("BIOSVersion=" + b.BIOSVersion);
        w.Line("SysManufacturer=" + b.SystemManufacturer);
        w.Line("SysProductName=" + b.SystemProduct);
        w.Line("SysVersion=" + b.SystemVersion);
        w.Line("xxx end");
    }
    if (OriginalCfgId != 0) w.Line(fmt("xxx OriginalCfgId=%d", {OriginalCfgId}));

    for (const auto& link : Links()) {
        w.Blank();
        w.Line("xxx Link UniqueID=" + link->DisplayName());
        w.Line("Name=" + link->BusText());
        w.Line(fmt("Address=$%x", {link->BaseAddress()}));
        w.Line("xxx end");
    }

    for (const auto& sensor : c.Sensors) {
        w.Blank();
        w.Line("xxx Sensor UniqueID=" + sensor->FDisplayName);
        w.Line("Name=" + sensor->FChipName);
        w.Line("UsedBUS=" + sensor->FLinkText);
        w.Line(fmt("Address=$%x", {sensor->FAddress}));
        w.Line("Link=" + (sensor->FLink ? sensor->FLink->BusText() : std::string()));
        std::vector<const TStickyProp*> props;
        for (const auto& p : StickyProps)
            if (p.SensorUid == sensor->FDisplayName) props.push_back(&p);
        w.Line(fmt("StickyProps=%d", {static_cast<int>(props.size())}));
        for (const auto* p : props) w.Line(fmt("Property=%d |%s| set to |%s|", {p->PropId, p->PropName, p->Value}));
        w.Line("xxx end");
    }
    w.Blank();
    w.Line("xxx the end");

    const auto& pwms = c.Slots.PwmSlots;
    for (const auto& slot : pwms) {
        writeSlotHeader(w, c, "xxx Pwm %d from %s", slot);
        w.Line(fmt("min=%d", {slot.MinPercent}));
        w.Line(fmt("max=%d", {slot.MaxPercent}));
        w.Line(fmt("variate=%s", {BoolToTrueFalse(slot.Variate)}));
        w.Line(fmt("logged=%s", {BoolToTrueFalse(slot.Logged)}));
        w.Line("xxx end");
    }
    for (const auto& slot : c.Slots.TempSlots) {
        writeSlotHeader(w, c, "xxx Temp %d from %s", slot);
        w.Line(fmt("wanted=%d", {slot.Wanted}));
        w.Line(fmt("warning=%d", {slot.Warning}));
        w.Line(fmt("offset=%d", {slot.Offset}));
        w.Line(fmt("intray=%s", {BoolToTrueFalse(slot.InTray)}));
        std::vector<const TPwmReadingData*> driven;
        for (int n : slot.UsedPwms)
            if (n >= 1 && static_cast<std::size_t>(n) <= pwms.size()) driven.push_back(&pwms[n - 1]);
        w.Line(fmt("UsedPwms=%d", {static_cast<int>(driven.size())}));
        for (const auto* pwm : driven)
            w.Line(fmt("pwm=%d from %s", {pwm->ReadingIndex, displayNameOf(c.Sensors, pwm->SensorIndex)}));
        w.Line(fmt("logged=%s", {BoolToTrueFalse(slot.Logged)}));
        w.Line("xxx end");
    }
    for (const auto& [slots, picture] : {std::pair{&c.Slots.FanSlots, "xxx Fan %d from %s"},
                                         std::pair{&c.Slots.VoltSlots, "xxx Volt %d from %s"}})
        for (const auto& slot : *slots) {
            writeSlotHeader(w, c, picture, slot);
            w.Line(fmt("logged=%s", {BoolToTrueFalse(slot.Logged)}));
            w.Line("xxx end");
        }

    const auto& controllers = c.FanControllers;
    for (std::size_t i = 0; i < controllers.size(); ++i) {
        const TFanController& fc = controllers[i];
        w.Blank();
        w.Line(fmt("xxx FanController %d", {static_cast<int>(i)}));
        w.Line("name=" + fc.Name);
        w.Line(fmt("pwm=%d from %s", {fc.PwmIndex, displayNameOf(c.Sensors, fc.SensorIndex)}));
        w.Line(fmt("method=%d", {int{fc.ControlMethod}}));
        w.Line(fmt("enabled=%s", {BoolToTrueFalse(fc.Enabled)}));
        w.Line("xxx end");
    }
    for (std::size_t i = 0; i < controllers.size(); ++i)
        for (const TFanCtrlTemp& input : controllers[i].Temps) {
            w.Blank();
            w.Line(fmt("xxx FanControllerTemp from FanController %d", {static_cast<int>(i)}));
            w.Line(fmt("temp=%d from %s", {input.ReadingIndex, displayNameOf(c.Sensors, input.SensorIndex)}));
            w.Line(fmt("MinTemp=%d", {input.MinTemp}));
            w.Line(fmt("MaxTemp=%d", {input.MaxTemp}));
            w.Line(fmt("hysteresis=%d", {input.Hysteresis}));
            std::string points;
            for (double p : input.ControlPoints) points += (points.empty() ? "" : " ") + fmt("%.0f", {p});
            w.Line("ControlPoints=" + points);
            w.Line("xxx end");
        }
    return w.Text();
}

}  // namespace

std::string GetCfgFileName(const TBoardIdentity& board) { return cfgName(board, board.BoardVersion); }
std::string GetCfgFileName2(const TBoardIdentity& board) { return cfgName(board, ""); }

bool SaveSensorsConfig(const TSensorsFileContext& context, const std::string& fileName) {
    if (!ReplaceFileContents(fileName, sensorsFileText(context))) {
        const std::string warning = "Unable to save to " + fileName;
        if (context.Dialogs) context.Dialogs->ShowWarning(warning);
        else WriteDebugLog(warning);
        return false;
    }
    // The events file has shown its own error box when it failed.
    return !context.Events || context.Events->SaveEvents(ProgramDir + EventsFileName);
}

std::int32_t READCFGVERSION(TLogSinks& log, const std::string& fileName) {
    log.TraceMessage("Entering READCFGVERSION", 0);
    const auto lines = readLines(fileName);
    const std::int32_t version = lines ? ParseCfgVersion(*lines) : -1;
    log.TraceMessage(fmt("End of READCFGVERSION (%d)", {version}), 0);
    return version;
}

bool LOADASSOCIATIONS(const TSensorsFileContext& context, const std::string& fileName, bool propertiesOnly,
                      bool loadEvents) {
    TLogSinks& log = context.Log;
    log.TraceMessage("Starting LOADASSOCIATIONS", 0);
    const std::int32_t version = READCFGVERSION(log, fileName);
    log.TraceMessage(fmt("Configuration File Version is %d", {version}), 0);
    bool result = true;
    const auto lines = version == -1 ? std::nullopt : readLines(fileName);
    if (version == 0) {
        log.TraceMessage("WARNING: Invalid Configuration File", 0);
        result = false;
    } else if (version == -1 || !lines) {
        // No file: nothing to apply.
    } else if (version == 101) {
        readLegacy(context, *lines);
    } else if (version >= 200 && version <= 203) {
        const std::int32_t major = version / 100, minor = version % 100;
        log.TraceMessage(fmt("Reading Cfg Version %d.%.2d", {major, minor}), 0);
        if (!propertiesOnly) context.FanControllers.clear();
        Applier applier(context);
        ReadSections(*lines, version, propertiesOnly, applier,
                     [&](const std::string& msg) { log.TraceMessage(msg, 0); });
        log.TraceMessage(fmt("Completed Reading Cfg Version %d.%.2d", {major, minor}), 0);
    } else {
        log.TraceMessage("WARNING: Unknown Configuration File Version", 0);
        result = false;
    }
    repairBindings(context);
    log.TraceMessage("End of LOADASSOCIATIONS", 0);
    if (loadEvents && context.Events) context.Events->LOADEVENTS(ProgramDir + EventsFileName);
    return result;
}

void LoadFineTunedAssociations(const TSensorsFileContext& context) {
    if (!context.Board) return;
    const auto say = [&](const std::string& msg) { context.Log.TraceMessage("LoadFineTunedAssociations: " + msg, 0); };

    std::string tempFile = (std::filesystem::temp_directory_path() / "CVCXXXXXX").string();
    const int fd = mkstemp(tempFile.data());
    if (fd < 0) {
        say("Unable to create a temporary file");
        return;
    }
    close(fd);
    say("TempFileName=<" + tempFile + ">");

    const std::string archive = ProgramDir + ConfigsZipName;
    std::string name = GetCfgFileName(*context.Board);
    say("CfgFileName=<" + name + ">");
    std::int32_t result = ExtractFileFromZip(archive, name, tempFile);
    if (result == ZipMemberNotFound) {
        say("CFG <" + name + "> not found in ZIP");
        name = GetCfgFileName2(*context.Board);
        say("CfgFileName2=<" + name + ">");
        result = ExtractFileFromZip(archive, name, tempFile);
    }
    if (result != ZipExtracted) {
        say(fmt("Error %d while extracting CFG (%s) from ZIP", {result, name}));
    } else if (std::filesystem::exists(tempFile)) {
        say("Reading pre-built configuration");
        LOADASSOCIATIONS(context, tempFile, false, false);
        say("Pre-built configuration processing completed");
    } else {
        say("Unable to find extracted configuration file");
    }
    std::remove(tempFile.c_str());
}
