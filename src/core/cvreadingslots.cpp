#include "core/cvreadingslots.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include "base/cvformat.h"
#include "core/cvlogsinks.h"
#include "core/cvvalueformat.h"

using cvformat::Format;

int TTempReadingData::GetUsedPwm(int index) const {
    return index >= 1 && index <= UsedPwmCount() ? UsedPwms[static_cast<std::size_t>(index - 1)] : 0;
}

void TTempReadingData::SetUsedPwm(int index, int value) {
    if (index < 1) return;
    if (index > UsedPwmCount()) UsedPwms.resize(static_cast<std::size_t>(index));
    UsedPwms[static_cast<std::size_t>(index - 1)] = value;
}

int ReadingCount(const TSensor& sensor, TReadingKind kind) {
    switch (kind) {
    case TReadingKind::Temp: return sensor.GetTempCount();
    case TReadingKind::Fan: return sensor.GetFanCount();
    case TReadingKind::Pwm: return sensor.GetPwmCount();
    case TReadingKind::Volt: return sensor.GetVoltCount();
    }
    return 0;
}

TReading GetReading(const TSensor& sensor, TReadingKind kind, int index) {
    switch (kind) {
    case TReadingKind::Temp: return sensor.GetTemp(index);
    case TReadingKind::Fan: return sensor.GetFan(index);
    case TReadingKind::Pwm: return sensor.GetPwm(index);
    case TReadingKind::Volt: return sensor.GetVolt(index);
    }
    return sensor.GetTemp(0);
}

const TValueStats& SlotStats(const TSensorList& sensors, TReadingKind kind, const TReadingData& slot) {
    if (slot.SensorIndex >= 0 && static_cast<std::size_t>(slot.SensorIndex) < sensors.size())
        return *GetReading(*sensors[static_cast<std::size_t>(slot.SensorIndex)], kind, slot.ReadingIndex).Stats;
    static const TValueStats zero = [] {
        TValueStats stats(1, "Zero");
        stats.Add(0);
        return stats;
    }();
    return zero;
}

namespace {

constexpr std::array<TReadingKind, 4> Kinds{TReadingKind::Temp, TReadingKind::Fan, TReadingKind::Pwm,
                                            TReadingKind::Volt};

const char* SlotNamePicture(TReadingKind kind) {
    switch (kind) {
    case TReadingKind::Temp: return "Temp%.2d";
    case TReadingKind::Fan: return "Fan%.2d";
    case TReadingKind::Pwm: return "Speed%.2d";
    case TReadingKind::Volt: return "Volt%.2d";
    }
    return "";
}

int TotalReadings(const TSensorList& sensors, TReadingKind kind) {
    int total = 0;
    for (const auto& sensor : sensors) total += ReadingCount(*sensor, kind);
    return total;
}

// Runs one part of the layout; a failure is reported in the information
// page's box and the next part runs.
template <typename Step>
void Guarded(TLogSinks& log, const std::string& label, bool withMessage, Step step) {
    try {
        step();
    } catch (const std::exception& e) {
        log.LogMessageEx(withMessage ? label + " " + e.what() : label, false);
    }
}

void MarkSensor(std::vector<bool>& sensorInUse, int sensorIndex) {
    // A binding to a sensor that is gone marks nothing.
    if (sensorIndex >= 0 && static_cast<std::size_t>(sensorIndex) < sensorInUse.size())
        sensorInUse[static_cast<std::size_t>(sensorIndex)] = true;
}

void ShowRows(const TReadingSlots& slots, TReadingKind kind, const std::vector<int>& order, TLabelColumn& column) {
    const std::size_t shown = std::min(order.size(), column.Visible.size());
    for (std::size_t row = 0; row < shown; ++row) {
        column.Visible[row] = true;
        column.Names[row] = slots.Slot(kind, static_cast<std::size_t>(order[row])).Name + ":";
    }
}

void HideRows(const std::vector<int>& order, TLabelColumn& column) {
    for (std::size_t row = order.size(); row < column.Visible.size(); ++row) {
        column.Visible[row] = false;
        column.Names[row].clear();
    }
}

void PlaceRows(int nameLeft, const TLayoutMetrics& metrics, TLabelColumn& column) {
    int width = 10;
    for (std::size_t row = 0; row < column.Visible.size(); ++row) {
        if (column.Visible[row]) width = std::max(width, metrics.TextWidth(column.Names[row]));
    }
    column.NameWidth = width;
    column.ValueLeft = nameLeft + width + 2;
}

}  // namespace

std::size_t TReadingSlots::SlotCount(TReadingKind kind) const {
    switch (kind) {
    case TReadingKind::Temp: return TempSlots.size();
    case TReadingKind::Fan: return FanSlots.size();
    case TReadingKind::Pwm: return PwmSlots.size();
    case TReadingKind::Volt: return VoltSlots.size();
    }
    return 0;
}

const TReadingData& TReadingSlots::Slot(TReadingKind kind, std::size_t index) const {
    switch (kind) {
    case TReadingKind::Temp: return TempSlots.at(index);
    case TReadingKind::Fan: return FanSlots.at(index);
    case TReadingKind::Pwm: return PwmSlots.at(index);
    case TReadingKind::Volt: break;
    }
    return VoltSlots.at(index);
}

TReadingData& TReadingSlots::Slot(TReadingKind kind, std::size_t index) {
    return const_cast<TReadingData&>(std::as_const(*this).Slot(kind, index));
}

void TReadingSlots::BuildReadingSlots(const TSensorList& sensors) {
    const auto count = [&](TReadingKind kind) { return static_cast<std::size_t>(TotalReadings(sensors, kind)); };
    if (TempSlots.empty()) {
        TempSlots.resize(count(TReadingKind::Temp));
        for (auto& slot : TempSlots) {
            slot.Wanted = 40;
            slot.Warning = 50;
            slot.Offset = 0;
            slot.InTray = &slot == &TempSlots.front();
        }
    }
    if (FanSlots.empty()) FanSlots.resize(count(TReadingKind::Fan));
    if (PwmSlots.empty()) {
        PwmSlots.resize(count(TReadingKind::Pwm));
        for (auto& slot : PwmSlots) {
            slot.MinPercent = 0;
            slot.MaxPercent = 100;
            slot.Variate = false;
        }
    }
    if (VoltSlots.empty()) VoltSlots.resize(count(TReadingKind::Volt));
    for (auto kind : Kinds) {
        for (std::size_t i = 0; i < SlotCount(kind); ++i)
            Slot(kind, i).Name = Format(SlotNamePicture(kind), {static_cast<int>(i + 1)});
    }
}

void TReadingSlots::AutoAssociate(const TSensorList& sensors) {
    if (sensors.empty()) return;
    for (auto kind : Kinds) {
        if (TotalReadings(sensors, kind) == 0) continue;
        std::size_t sensor = 0;
        int reading = 1;
        for (std::size_t i = 0; i < SlotCount(kind); ++i) {
            // Some sensor has a reading of this kind, so this ends within one round.
            while (ReadingCount(*sensors[sensor], kind) < reading) {
                sensor = (sensor + 1) % sensors.size();
                reading = 1;
            }
            auto& slot = Slot(kind, i);
            slot.SensorIndex = static_cast<int>(sensor);
            slot.ReadingIndex = reading;
            slot.Name = GetReading(*sensors[sensor], kind, reading).Name;
            ++reading;
        }
    }
}

void TReadingSlots::PARSEUSED(const TSensorList& sensors, std::vector<bool>& sensorInUse,
                              const TLayoutMetrics& metrics, TLogSinks& log, TDutyEdits& edits) {
    sensorInUse.assign(sensors.size(), false);
    const auto buildOrder = [&](TReadingKind kind, std::vector<int>& order) {
        order.clear();
        for (std::size_t i = 0; i < SlotCount(kind); ++i) {
            const auto& slot = Slot(kind, i);
            if (!slot.Active) continue;
            order.push_back(static_cast<int>(i));
            MarkSensor(sensorInUse, slot.SensorIndex);
        }
    };

    Guarded(log, "DEBUG PARSEUSED.1", true, [&] {
        buildOrder(TReadingKind::Temp, TempOrder);
        Guarded(log, "DEBUG PARSEUSED.1.1", false, [&] { ShowRows(*this, TReadingKind::Temp, TempOrder, Layout.Temps); });
        Guarded(log, "DEBUG PARSEUSED.1.2", false, [&] { HideRows(TempOrder, Layout.Temps); });
        Guarded(log, "DEBUG PARSEUSED.1.3", false, [&] { PlaceRows(metrics.TempNameLeft, metrics, Layout.Temps); });
    });
    Guarded(log, "DEBUG PARSEUSED.2", true, [&] {
        buildOrder(TReadingKind::Fan, FanOrder);
        ShowRows(*this, TReadingKind::Fan, FanOrder, Layout.Fans);
        HideRows(FanOrder, Layout.Fans);
        PlaceRows(metrics.FanNameLeft, metrics, Layout.Fans);
    });
    Guarded(log, "DEBUG PARSEUSED.3", true, [&] {
        buildOrder(TReadingKind::Pwm, UsedPwms);
        ShowRows(*this, TReadingKind::Pwm, UsedPwms, Layout.Pwms);
        HideRows(UsedPwms, Layout.Pwms);
        PlaceRows(metrics.PwmNameLeft, metrics, Layout.Pwms);
        Layout.Pwms.ThirdLeft = Layout.Pwms.ValueLeft + metrics.PwmEditWidth + 2;
        RefreshPwmEdits(sensors, edits);
    });
    Guarded(log, "DEBUG PARSEUSED.4", true, [&] {
        buildOrder(TReadingKind::Volt, VoltOrder);
        ShowRows(*this, TReadingKind::Volt, VoltOrder, Layout.Volts);
        HideRows(VoltOrder, Layout.Volts);
        PlaceRows(metrics.VoltNameLeft, metrics, Layout.Volts);
        Layout.Volts.ValueWidth = metrics.TextWidth(FormatVolt(99.99));
    });
}

void TReadingSlots::RefreshPwmEdits(const TSensorList& sensors, TDutyEdits& edits) const {
    const std::size_t shown = std::min(UsedPwms.size(), static_cast<std::size_t>(TDutyEdits::Count));
    for (std::size_t row = 0; row < shown; ++row) {
        const auto& slot = PwmSlots.at(static_cast<std::size_t>(UsedPwms[row]));
        const double duty = SlotStats(sensors, TReadingKind::Pwm, slot).Last();
        // An edit holds whole percents; a reading that is no number leaves it.
        if (std::isfinite(duty))
            edits.Show(static_cast<int>(row) + 1, static_cast<std::int32_t>(std::nearbyint(std::clamp(duty, -1e9, 1e9))));
    }
}
