#include "core/cvmaintick.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "base/cvformat.h"
#include "core/cvmonitor.h"
#include "core/sharedmm.h"
#include "core/cvvars.h"
#include "core/cvwebsite.h"
#include "hw/cvlink.h"

using cvformat::Format;

namespace {

bool OnSlowLink(const TSensor& sensor) {
    if (!sensor.FLink) return false;
    switch (sensor.FLink->LinkKind()) {
    case LinkKinds::SMART:
    case LinkKinds::SCSI:
    case LinkKinds::ArecaRAID:
    case LinkKinds::AMCC3wareRAID:
    case LinkKinds::AdvSMART: return true;
    default: return false;
    }
}

struct TDueReads {
    bool Fans = false;
    bool Volts = false;
    bool Slow = false;
};

// An exception ends every read of this tick: the sensors after it keep the
// values they have.
void ReadSensors(TMonitor& m, const TDueReads& due) {
    const std::vector<bool> fanInputs = m.FanControlSensors();
    for (std::size_t i = 0; i < m.Sensors.size(); ++i) {
        const bool inUse = (i < m.SensorInUse.size() && m.SensorInUse[i]) || (i < fanInputs.size() && fanInputs[i]);
        if (!inUse) continue;
        TSensor& sensor = *m.Sensors[i];
        if (!OnSlowLink(sensor) || due.Slow) sensor.ReadTemps();
        if (due.Fans) sensor.ReadFans();
        if (due.Volts) sensor.ReadVolts();
    }
}

// Runs one step; a failure writes its line to both boxes.
template <class Step>
void Guarded(TMonitor& m, const char* failureLine, Step step) {
    try {
        step();
    } catch (const std::exception&) {
        m.Log.LogMessage(failureLine);
    }
}

struct TDisplayRows {
    TDisplayKind Kind;
    TReadingKind Reading;
    std::size_t Labels;
    const char* LabelFailure;
    const char* TileFailure;
};

constexpr TDisplayRows DisplayRows[] = {
    {TDisplayKind::Temp, TReadingKind::Temp, TReadingsLayout::TempRows, "DEBUG 1", "DEBUG 1 sub 1"},
    {TDisplayKind::Fan, TReadingKind::Fan, TReadingsLayout::FanRows, "DEBUG 2", "DEBUG 2 sub 1"},
    {TDisplayKind::Volt, TReadingKind::Volt, TReadingsLayout::VoltRows, "DEBUG 10", "DEBUG 10"},
};

const std::vector<int>& OrderOf(const TReadingSlots& slots, TReadingKind kind) {
    switch (kind) {
    case TReadingKind::Temp: return slots.TempOrder;
    case TReadingKind::Fan: return slots.FanOrder;
    case TReadingKind::Volt: return slots.VoltOrder;
    case TReadingKind::Pwm: break;
    }
    return slots.UsedPwms;
}

std::string FormatReading(const TMonitor& m, TReadingKind kind, double value) {
    switch (kind) {
    case TReadingKind::Temp: return m.FormatTemp(value);
    case TReadingKind::Fan: return FormatRpm(value);
    default: return FormatVolt(value);
    }
}

std::string SlotText(const TMonitor& m, TReadingKind kind, std::size_t slotIndex) {
    return FormatReading(m, kind, SlotStats(m.Sensors, kind, m.Slots.Slot(kind, slotIndex)).Last());
}

// A temperature without a vote keeps the arrow it had.
void ShowTrendArrows(TMonitor& m, const TFanVotes& votes) {
    const auto& order = m.Slots.TempOrder;
    for (std::size_t k = 0; k < std::min(votes.size(), order.size()); ++k) {
        if (!votes[k]) continue;
        const int cell = *votes[k];
        if (m.Window && k < TReadingsLayout::TempRows) m.Window->SetTrendArrow(static_cast<int>(k + 1), cell);
        if (m.Tiles) m.Tiles->SetTrendPicture(order[k], cell);
    }
}

}  // namespace

void UpdateReadingsDisplay(TMonitor& m) {
    for (const auto& rows : DisplayRows) {
        Guarded(m, rows.LabelFailure, [&] {
            const auto& order = OrderOf(m.Slots, rows.Reading);
            for (std::size_t row = 0; row < std::min(order.size(), rows.Labels); ++row) {
                const std::string text = SlotText(m, rows.Reading, static_cast<std::size_t>(order[row]));
                if (m.Window) m.Window->SetReadingLabel(rows.Kind, static_cast<int>(row + 1), text);
            }
        });
        if (!m.Tiles) continue;
        Guarded(m, rows.TileFailure, [&] {
            for (std::size_t i = 0; i < m.Slots.SlotCount(rows.Reading); ++i) {
                if (m.Slots.Slot(rows.Reading, i).Active)
                    m.Tiles->SetReadingTileText(rows.Kind, static_cast<int>(i), SlotText(m, rows.Reading, i));
            }
        });
    }
}

std::string BuildTrayHint(const TMonitor& m) {
    if (m.Options.ShowStaticIcon) return "Caldavor";
    std::string hint;
    for (const int index : m.Slots.TempOrder) {
        const auto& slot = m.Slots.Slot(TReadingKind::Temp, static_cast<std::size_t>(index));
        if (!hint.empty()) hint += '\r';
        hint += Format("%s: %s", {slot.Name, SlotText(m, TReadingKind::Temp, static_cast<std::size_t>(index))});
    }
    return hint;
}

void RxTimerMainTimer(TMonitor& m) {
    SampleTime = Now();
    if (!m.ScanFlags.TimerEnabled) return;
    if (m.InTimer) {
        m.Log.LogMessageEx("DEBUG INFO : INTIMER REENTRANCY AVOIDED.", false);
        m.Log.LogMessageEx(std::string("PLEASE REPORT TO ") + SupportAddress, false);
        return;
    }
    m.InTimer = true;
    // Cleared on every way out, the exceptional ones included.
    struct TClearInTimer {
        bool& InTimer;
        ~TClearInTimer() { InTimer = false; }
    } clear{m.InTimer};

    try {
        TTickDividers& d = m.TickDividers;
        TDueReads due;
        due.Fans = TTickDividers::Due(d.FanCounter, d.FanDivider);
        due.Volts = TTickDividers::Due(d.VoltCounter, d.VoltDivider);
        due.Slow = TTickDividers::Due(d.SlowCounter, d.SlowDivider);
        try {
            ReadSensors(m, due);
        } catch (const std::exception& e) {
            m.Log.TraceMessage(Format("OnTimer ERROR (retrieving sensor data) : %s", {e.what()}), 1);
        }

        m.UpdateSharedReadings();
        Guarded(m, "DEBUG 5", [&] { UpdateReadingsDisplay(m); });
        Guarded(m, "DEBUG 6", [&] {
            std::string hint = BuildTrayHint(m);
            if (hint.size() > TrayHintLimit) hint.resize(TrayHintLimit);
            if (m.Window) m.Window->SetTrayHint(hint);
        });
        Guarded(m, "DEBUG 7", [&] {
            if (m.Window) m.Window->UpdateTrayIcon();
        });
        Guarded(m, "DEBUG 8", [&] { ShowTrendArrows(m, m.RunFanLogic()); });
        if (m.Charts) Guarded(m, "DEBUG 9", [&] { m.Charts->RepaintIfShown(); });
        Guarded(m, "DEBUG 11", [&] { m.WriteLogLine(); });
        try {
            m.SendXapStatus();
        } catch (const std::exception& e) {
            m.Log.LogMessage(Format("DEBUG 12 (%s)", {e.what()}));
        }
        if (m.Window) m.Window->PostMessage(WM_POWER_STATUS, 0, 0);
    } catch (const std::exception& e) {
        m.Log.TraceMessage(Format("DEBUG 13 (%s)", {e.what()}), 1);
    }
}
