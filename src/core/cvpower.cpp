#include "core/cvpower.h"

#include <exception>
#include <optional>

#include "base/cvformat.h"
#include "core/cvmonitor.h"
#include "hw/cvlink.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

constexpr int CommandSetFans = 1, CommandClose = 2;
constexpr int FansFull = 1, FansMinimum = 2, FansMaximum = 3;
constexpr std::uint8_t BatteryCharging = 8, NoBattery = 128, Unknown = 255;
constexpr int CellOnLine = 0, CellCharging = 1, CellOnBattery = 2, CellNoBattery = 3;

void SetSlotPwm(TMonitor& m, const TPwmReadingData& slot, double percent) {
    if (slot.SensorIndex < 0 || static_cast<std::size_t>(slot.SensorIndex) >= m.Sensors.size()) return;
    m.Sensors[static_cast<std::size_t>(slot.SensorIndex)]->SetPwm(slot.ReadingIndex, percent);
}

// Both boxes with DebugMode, else the information page's only.
void LogSelectable(TMonitor& m, const std::string& line) { m.Log.LogMessageEx(line, m.Options.DebugMode); }

void Trace(TMonitor& m, const std::string& line) { m.Log.TraceMessage(line, 0); }

// One step of the resume: a failure is logged and the resume goes on.
template <class Step>
void ResumeStep(TMonitor& m, const char* what, Step step) {
    try {
        step();
    } catch (const std::exception& e) {
        Trace(m, Format("ResumeFromSuspend ERROR (%s): %s", {what, e.what()}));
    }
}

template <class Call>
void ForEachSensorGuarded(TMonitor& m, const char* failure, Call call) {
    for (const auto& sensor : m.Sensors) {
        try {
            call(*sensor);
        } catch (const std::exception& e) {
            m.Log.TraceMessage(Format(failure, {sensor->FChipName, e.what()}), 1);
        }
    }
}

}  // namespace

// Speeds set by the program are no user change.
void ExternalCommand(TMonitor& m, std::intptr_t wParam, std::intptr_t lParam) {
    TSuppressedWrites suppressed(m.DutyEdits);
    m.Log.LogMessage(Format("COMMAND received : wParam=%d lParam=%d",
                            {static_cast<long long>(wParam), static_cast<long long>(lParam)}));
    if (wParam == CommandSetFans) {
        for (const auto& slot : m.Slots.PwmSlots) {
            switch (lParam) {
            case FansFull: SetSlotPwm(m, slot, 100); break;
            case FansMinimum: SetSlotPwm(m, slot, slot.MinPercent); break;
            case FansMaximum: SetSlotPwm(m, slot, slot.MaxPercent); break;
            default: break;
            }
        }
    } else if (wParam == CommandClose) {
        if (m.Window) m.Window->Close();
    }
}

void CpuClockMessage(TMonitor& m) {
    if (!m.Cpu.MeasureCpuClock) {
        WriteDebugLog("INFO : clock measurement not available in this build");
        return;
    }
    const std::string text = Format("%.0f MHz", {m.Cpu.MeasureCpuClock(500)});
    if (m.Window) m.Window->ShowCpuSpeed(text);
    if (m.Tiles && m.Tiles->HasTile("SCFrequency")) m.Tiles->SetTileText("SCFrequency", text);
}

void PowerStatusMessage(TMonitor& m) {
    static const std::string Tile = "SCBattery";
    if (!m.Tiles || !m.Tiles->HasTile(Tile)) return;
    const auto status = platform::current().powerStatus();
    if (!status) {
        m.Tiles->SetTilePicture(Tile, CellNoBattery);
        m.Tiles->SetTileText(Tile, "??%");
        return;
    }
    std::optional<int> cell;
    if (status->acLineStatus == 0) cell = CellOnBattery;
    if (status->acLineStatus == 1) cell = CellOnLine;
    if (status->batteryFlag != Unknown) {
        if (status->batteryFlag & BatteryCharging) cell = CellCharging;
        if (status->batteryFlag & NoBattery) cell = CellNoBattery;
    }
    if (cell) m.Tiles->SetTilePicture(Tile, *cell);
    if (status->batteryLifePercent != Unknown)
        m.Tiles->SetTileText(Tile, Format("%d%%", {static_cast<int>(status->batteryLifePercent)}));
}

int PowerBroadcast(TMonitor& m, std::uint32_t wParam) {
    switch (wParam) {
    case PowerEvents::QuerySuspend:
        LogSelectable(m, "QUERYSUSPEND message received");
        PrepareForSuspend(m);
        break;
    case PowerEvents::Suspend:
        LogSelectable(m, "SUSPEND message received");
        PrepareForSuspend(m);
        break;
    case PowerEvents::QuerySuspendFailed:
        LogSelectable(m, "QUERYSUSPENDFAILED message received");
        ResumeFromSuspend(m);
        break;
    case PowerEvents::ResumeCritical:
    case PowerEvents::ResumeSuspend:
    case PowerEvents::ResumeAutomatic:
        LogSelectable(m, "APMRESUME message received");
        ResumeFromSuspend(m);
        break;
    case PowerEvents::PowerStatusChange:
        if (m.Window) m.Window->PostMessage(WM_POWER_STATUS, 0, 0);
        break;
    default: break;
    }
    return 1;
}

void PrepareForSuspend(TMonitor& m) {
    LogSelectable(m, "Preparing for suspend...");
    m.SetTimersEnabled(false);
    ForEachSensorGuarded(m, "ERROR IN PREPAREFORSUSPEND (%s): %s", [](TSensor& s) { s.PrepareForSuspend(); });
    m.IO.CloseIO();
    LogSelectable(m, "Ready for suspend!");
}

void ResumeFromSuspend(TMonitor& m) {
    TSuppressedWrites suppressed(m.DutyEdits);
    LogSelectable(m, "Resuming from suspend...");
    m.IO.EnsureIO();
    if (m.IO.IOAvailable) {
        Trace(m, "ResumeFromSuspend (resuming sensors)");
        ForEachSensorGuarded(m, "ERROR IN RESUMEFROMSUSPEND (%s): %s", [&m](TSensor& s) {
            Trace(m, Format("ResumeFromSuspend (resuming %s)", {s.FChipName}));
            s.ResumeFromSuspend();
        });
        m.Log.TraceMessage("ResumeFromSuspend (loading associations)", 1);
        m.LOADASSOCIATIONS(m.SensorsFilePath(), true, true);

        const auto varied = [&m](auto each) {
            for (const auto& slot : m.Slots.PwmSlots)
                if (slot.Active && slot.Variate) each(slot);
        };
        Trace(m, "ResumeFromSuspend (setting PWMs to 100%)");
        ResumeStep(m, "setting PWMs to 100%", [&] {
            varied([&m](const TPwmReadingData& slot) {
                Trace(m, Format("%s set to 100%%", {slot.Name}));
                SetSlotPwm(m, slot, 100);
            });
        });
        platform::current().clock().sleepMs(500);
        Trace(m, "ResumeFromSuspend (setting PWMs to min)");
        ResumeStep(m, "setting PWMs to min", [&] {
            varied([&m](const TPwmReadingData& slot) {
                m.Log.LogMessage(Format("%s set to %d%%", {slot.Name, slot.MinPercent}));
                SetSlotPwm(m, slot, slot.MinPercent);
            });
        });
        platform::current().clock().sleepMs(100);
        Trace(m, "ResumeFromSuspend (reading PWMs)");
        ResumeStep(m, "reading PWMs", [&m] {
            for (const auto& sensor : m.Sensors) sensor->ReadPwms();
        });
        Trace(m, "ResumeFromSuspend (showing PWMs)");
        ResumeStep(m, "showing PWMs", [&m] { m.RefreshPwmEdits(); });

        Trace(m, "ResumeFromSuspend (reactivating BUSes)");
        for (const auto& link : Links()) link->IsReady();
        Trace(m, "ResumeFromSuspend (setting clock speed)");
        switch (m.ClockControls ? m.ClockControls->ClockMode() : 0) {
        case 1: m.ClockControls->SetLowSpeedMode(); break;
        case 2: LogSelectable(m, "ERROR: would like to set MEDIUM clock speed!!!"); break;
        case 3: m.ClockControls->SetHighSpeedMode(); break;
        default: break;
        }
    }
    // The timers come back even without hardware access.
    Trace(m, "ResumeFromSuspend (activating timers)");
    m.SetTimersEnabled(true);
    if (!m.IO.IOAvailable) return;
    Trace(m, "ResumeFromSuspend (completed)");
    LogSelectable(m, "Resumed from suspend!");
}
