#include "ui/cvconfigexchange.h"

#include <cctype>
#include <memory>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvmailqueue.h"
#include "core/cvmonitor.h"
#include "hw/cvlink.h"
#include "platform/platform.h"
#include "ui/cvconfig.h"
#include "ui/cvconfigmodel.h"
#include "ui/uiprompts.h"

using cvformat::Format;

namespace {

constexpr std::uint32_t DefaultXapUID = 0xFF671100;
constexpr std::uint32_t SettleMs = 100;

// The columns every kind shows; the kind's own fields are filled apart.
TUsedData SlotDisplay(const TMonitor& monitor, TReadingKind kind, const TReadingData& slot,
                      std::string valueText) {
    TUsedData data;
    data.SensorIndex = slot.SensorIndex;
    data.ReadingIndex = slot.ReadingIndex;
    data.Logged = slot.Logged;
    data.Active = slot.Active;
    data.Name = slot.Name;
    data.ValueText = std::move(valueText);
    if (slot.SensorIndex >= 0 && slot.SensorIndex < static_cast<int>(monitor.Sensors.size())) {
        const TSensor& sensor = *monitor.Sensors[static_cast<std::size_t>(slot.SensorIndex)];
        data.ChipText = sensor.FChipName;
        data.ReadingText = GetReading(sensor, kind, slot.ReadingIndex).Name;
        data.BusText = sensor.FLinkText;
        data.AddressText = Format("$%.x", {sensor.FAddress});
    }
    return data;
}

double Newest(const TMonitor& monitor, TReadingKind kind, const TReadingData& slot) {
    return SlotStats(monitor.Sensors, kind, slot).Last();
}

void FillSlots(TMonitor& monitor, TDlgConfigModel& model) {
    const auto& readingSlots = monitor.Slots;
    const std::size_t speedCount = readingSlots.PwmSlots.size();
    for (const auto& slot : readingSlots.TempSlots) {
        TUsedData data = SlotDisplay(monitor, TReadingKind::Temp, slot,
                                     monitor.FormatTemp(Newest(monitor, TReadingKind::Temp, slot)));
        data.Wanted = slot.Wanted;
        data.Warning = slot.Warning;
        data.InTray = slot.InTray;
        data.ControlsSpeed.assign(speedCount, false);
        for (int i = 1; i <= slot.UsedPwmCount(); ++i) {
            const int speed = slot.GetUsedPwm(i);
            if (speed >= 1 && speed <= static_cast<int>(speedCount))
                data.ControlsSpeed[static_cast<std::size_t>(speed - 1)] = true;
            else
                WriteDebugLog(Format("Driven speed %d of %s beyond the %d speed slots dropped",
                                     {speed, slot.Name, static_cast<int>(speedCount)}));
        }
        model.Temps.push_back(std::move(data));
    }
    for (const auto& slot : readingSlots.FanSlots)
        model.Fans.push_back(
            SlotDisplay(monitor, TReadingKind::Fan, slot, FormatRpm(Newest(monitor, TReadingKind::Fan, slot))));
    for (const auto& slot : readingSlots.PwmSlots) {
        TUsedData data = SlotDisplay(monitor, TReadingKind::Pwm, slot,
                                     Format("%.0f", {Newest(monitor, TReadingKind::Pwm, slot)}));
        data.Variate = slot.Variate;
        data.MinPercent = slot.MinPercent;
        data.MaxPercent = slot.MaxPercent;
        model.Speeds.push_back(std::move(data));
    }
    for (const auto& slot : readingSlots.VoltSlots)
        model.Volts.push_back(
            SlotDisplay(monitor, TReadingKind::Volt, slot, FormatVolt(Newest(monitor, TReadingKind::Volt, slot))));
}

void FillOptions(const TMonitor& monitor, TDlgConfigModel& model) {
    const TOptions& o = monitor.Options;
    TOptionsTab& tab = model.Options;
    tab.FontLarge = o.TrayFontSize == 1;
    tab.Celsius = o.UseCelsius;
    tab.IconBack = o.CLIconBack;
    tab.IconText = o.CLIconText;
    tab.FullOnExit = o.FullOnExit;
    tab.MinimizeOnClose = o.MinimizeOnClose;
    tab.FanDelta = o.FanDelta;
    tab.DebugMode = o.DebugMode;
    tab.DoSummaryLogScan = monitor.ScanFlags.DoSummaryLogScan;
    tab.DellFans = o.DellFans;
    tab.UseISA = o.UseISA;
    tab.UseSMB = o.UseSMB;
    tab.StartupHide = o.StartupHide;
    tab.ShowStaticIcon = o.ShowStaticIcon;
    tab.Languages.clear();
    tab.LanguageIndex = -1;
    if (monitor.Language) {
        tab.Languages = monitor.Language->LanguageNames();
        tab.LanguageIndex = monitor.Language->ActiveLanguageNumber() - 1;
    }
}

void FillXap(const TMonitor& monitor, TXapTab& tab) {
    tab.Enabled = monitor.Xap != nullptr;
    if (!tab.Enabled) return;
    const TXapSettings settings = monitor.Xap->Settings();
    tab.Enabled = settings.Enabled;
    tab.UID = Format("%.8x", {settings.UID});
    tab.HostName = settings.HostName;
    tab.HostIP = settings.HostIP;
    tab.BroadcastIP = settings.BroadcastIP;
}

// "$" + text read as an integer; the default when it is no number.
std::uint32_t ParseUID(const std::string& text) {
    if (text.empty() || text.size() > 8) return DefaultXapUID;
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                          : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                                                                      : -1;
        if (digit < 0) return DefaultXapUID;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

void ReadBackXap(TXapSender& xap, const TXapTab& tab) {
    TXapSettings settings = xap.Settings();
    settings.Enabled = false;
    xap.SetSettings(settings);
    settings.UID = ParseUID(tab.UID);
    settings.HostName = tab.HostName;
    settings.HostIP = tab.HostIP;
    settings.BroadcastIP = tab.BroadcastIP;
    settings.Enabled = tab.Enabled;
    xap.SetSettings(settings);
}

void ReadBackSlot(TReadingData& slot, const TUsedData& data) {
    slot.Name = data.Name;
    slot.Active = data.Active;
    slot.SensorIndex = data.SensorIndex;
    slot.ReadingIndex = data.ReadingIndex;
    slot.Logged = data.Logged;
}

void ReadBackSlots(TReadingSlots& readingSlots, const TDlgConfigModel& model) {
    for (std::size_t i = 0; i < readingSlots.TempSlots.size() && i < model.Temps.size(); ++i) {
        TTempReadingData& slot = readingSlots.TempSlots[i];
        const TUsedData& data = model.Temps[i];
        ReadBackSlot(slot, data);
        slot.Wanted = data.Wanted;
        slot.Warning = data.Warning;
        slot.InTray = data.InTray;
        slot.ClearUsedPwms();
        for (std::size_t j = 0; j < data.ControlsSpeed.size() && j < model.Speeds.size(); ++j)
            if (data.ControlsSpeed[j] && model.Speeds[j].Active) slot.AddUsedPwm(static_cast<int>(j + 1));
    }
    for (std::size_t i = 0; i < readingSlots.FanSlots.size() && i < model.Fans.size(); ++i)
        ReadBackSlot(readingSlots.FanSlots[i], model.Fans[i]);
    for (std::size_t i = 0; i < readingSlots.PwmSlots.size() && i < model.Speeds.size(); ++i) {
        TPwmReadingData& slot = readingSlots.PwmSlots[i];
        const TUsedData& data = model.Speeds[i];
        ReadBackSlot(slot, data);
        slot.Variate = data.Variate;
        slot.MinPercent = data.MinPercent;
        slot.MaxPercent = data.MaxPercent;
    }
    for (std::size_t i = 0; i < readingSlots.VoltSlots.size() && i < model.Volts.size(); ++i)
        ReadBackSlot(readingSlots.VoltSlots[i], model.Volts[i]);
}

void ReadBackOptions(TMonitor& monitor, const TOptionsTab& tab) {
    TOptions& o = monitor.Options;
    o.TrayFontSize = tab.FontLarge ? 1 : 0;
    o.UseCelsius = tab.Celsius;
    monitor.FreeTrayIcons();
    o.CLIconBack = tab.IconBack;
    o.CLIconText = tab.IconText;
    o.MinimizeOnClose = tab.MinimizeOnClose;
    o.FullOnExit = tab.FullOnExit;
    o.FanDelta = tab.FanDelta;
    o.DebugMode = tab.DebugMode;
    monitor.ScanFlags.DoSummaryLogScan = tab.DoSummaryLogScan;
    o.DellFans = tab.DellFans;
    for (const auto& link : Links()) link->SetDebugMode(o.DebugMode);
    o.UseISA = tab.UseISA;
    o.UseSMB = tab.UseSMB;
    o.StartupHide = tab.StartupHide;
    o.ShowStaticIcon = tab.ShowStaticIcon;
    if (monitor.Language && tab.LanguageIndex >= 0 &&
        tab.LanguageIndex < static_cast<int>(tab.Languages.size())) {
        monitor.Language->SetActiveLanguageNumber(tab.LanguageIndex + 1);
        o.Language = tab.Languages[static_cast<std::size_t>(tab.LanguageIndex)];
    }
}

}  // namespace

void FillConfigDialog(TMonitor& monitor, TDlgConfigModel& model) {
    FillSlots(monitor, model);
    for (const auto& event : monitor.Events.Events) model.Events.push_back(event.Def);
    FillOptions(monitor, model);
    model.Log = LogOptions;
    model.Proxy = ProxySettings;
    FillXap(monitor, model.Xap);
    model.MailProfiles = MailProfileList;
    model.SyncMailProfile(0);
    model.AdvFanSpeed = monitor.Options.AdvFanSpeed;
    model.FanCtrls = monitor.FanControllers;
    model.DataReady = true;
}

void ReadBackConfigDialog(TMonitor& monitor, const TDlgConfigModel& model) {
    ReadBackSlots(monitor.Slots, model);
    auto& events = monitor.Events.Events;
    events.assign(model.Events.size(), TCVEventDef{});
    for (std::size_t i = 0; i < events.size(); ++i) events[i].Def = model.Events[i];
    monitor.Events.CompileSimpleEvents();
    MailProfileList = model.MailProfiles;
    ReadBackOptions(monitor, model.Options);
    LogOptions = model.Log;
    ProxySettings = model.Proxy;
    if (monitor.Xap) ReadBackXap(*monitor.Xap, model.Xap);
    WriteDebugLog(Format("DLGCONFIG-exit : Found %d Fan Controllers", {static_cast<int>(model.FanCtrls.size())}));
    monitor.FanControllers = model.FanCtrls;
    monitor.Options.AdvFanSpeed = model.AdvFanSpeed;
    monitor.SaveParams(true);
    monitor.SaveSensorsConfig();
    monitor.MaintainLogs();
    monitor.TickDividers.FireAllOnNextTick();
}

void CloseConfigDialog(TMonitor& monitor) {
    monitor.PARSEUSED();
    if (monitor.Window) monitor.Window->SetupChart();
    platform::current().clock().sleepMs(SettleMs);
    for (const auto& sensor : monitor.Sensors) sensor->ReadPwms();
    auto& edits = monitor.DutyEdits;
    const bool suppressed = edits.SuppressPwmWrite;
    edits.SuppressPwmWrite = true;
    monitor.RefreshPwmEdits();
    edits.SuppressPwmWrite = suppressed;
    if (monitor.Window) monitor.Window->RebuildExoticFrames();
}

void BTNConfigClick(TMonitor& monitor, TUiPrompts& prompts, QWidget* parent) {
    bool accepted = false;
    {
        TDlgConfig dialog(monitor, parent, &prompts);
        FillConfigDialog(monitor, dialog.Model());
        dialog.ShowModel();
        accepted = prompts.RunModal(dialog) == TUiPrompts::Accepted;
        dialog.FormCloseQuery();
        if (accepted) ReadBackConfigDialog(monitor, dialog.Model());
    }
    CloseConfigDialog(monitor);
}

void CBAutoFanSpeedClick(TMonitor& monitor, bool checked) {
    monitor.Options.AutoFanSpeed = checked;
    if (!monitor.DutyEdits.SuppressPwmWrite) monitor.SaveParams(true);
}
