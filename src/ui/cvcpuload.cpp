#include "ui/cvcpuload.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "cpu/cvclocks.h"
#include "cpu/noscpuusage.h"

using cvformat::Format;

namespace {

int RoundedPercent(float value) { return static_cast<int>(std::nearbyint(value)); }

}  // namespace

std::vector<TCpuLoadBar> CpuLoadBars(int panelWidth, int cpuCount) {
    std::vector<TCpuLoadBar> bars;
    if (cpuCount <= 0) return bars;
    const int width = panelWidth / cpuCount - 1;
    if (width < 1) return bars;
    for (int i = 0; i < cpuCount; ++i) bars.push_back({i * (width + 1), width});
    return bars;
}

TUptimeTexts UptimeTexts(std::uint32_t seconds) {
    return {Format("%d days", {seconds / 86400}),
            Format("%.2d:%.2d:%.2d", {seconds % 86400 / 3600, seconds % 3600 / 60, seconds % 60})};
}

int TCpuLoadTicker::NumCPUs() const { return std::clamp(usage_.NumCPUs.load(), 0, MaxUsageCpus); }

void TCpuLoadTicker::RxTimerCPULoadTimer() {
    ShowUptime();
    if (NumCPUs() != 0) {
        try {
            host_.UpdateCpuUsage();
        } catch (const std::exception& e) {
            WriteDebugLog(Format("ERROR #1 in CPULoadTimer (%s)", {e.what()}));
        }
        if (view_) ShowUsage(NumCPUs());
        SwitchClock();
    }
    if (host_.ProcessEvents) host_.ProcessEvents();
}

void TCpuLoadTicker::ShowUptime() {
    if (view_ && host_.UptimeSeconds) view_->ShowUptime(UptimeTexts(static_cast<std::uint32_t>(host_.UptimeSeconds())));
}

void TCpuLoadTicker::ShowUsage(int cpus) {
    int step = 10000;
    try {
        if (view_->IsMinimized()) return;
        step = 10001;
        view_->ShowTotal(Format("%.1f%%", {usage_.total.load()}));
        step = 10002;
        const bool barsDue = !CpuLoadBars(view_->PanelWidth(), cpus).empty();
        if (cpus != barsMadeFor_ || (barsDue && view_->BarCount() == 0)) {
            step = 10003;
            WriteDebugLog("WARNING #2 in CPULoadTimer : fixing CPULoadPanel");
            SetupCPULoadPanel();
        }
        step = 10004;
        for (int i = 0; i < cpus; ++i) {
            const int base = i * 100;
            const float load = usage_.PerCPU[static_cast<std::size_t>(i)].load();
            step = base;
            if (barsDue) view_->SetBarPosition(i, RoundedPercent(load));
            step = base + 1;
            const bool hasBox = view_->HasUsageBox(i + 1);
            step = base + 2;
            if (!hasBox) continue;
            step = base + 3;
            view_->SetUsageBoxText(i + 1, Format("%.1f%%", {load}));
            step = base + 4;
            view_->SetUsageBoxPosition(i + 1, RoundedPercent(load));
        }
    } catch (const std::exception& e) {
        WriteDebugLog(Format("ERROR #2.%d in CPULoadTimer (%s)", {step, e.what()}));
        try {
            WriteDebugLog(Format("CPUUsage.NumCPUs=%d", {usage_.NumCPUs.load()}));
            WriteDebugLog(Format("CPUUsage.total  =%.1f", {usage_.total.load()}));
        } catch (const std::exception&) {
            WriteDebugLog("ERROR WHILE GENERATING DEBUG DATA");
        }
        WriteDebugLog("ERROR #2 - End of debug data");
    }
}

// The phase turns at the far threshold only (hysteresis); within a phase the
// wanted speed is tried on every tick until it is set.
void TCpuLoadTicker::SwitchClock() {
    const bool power = PowerWanted;
    try {
        ++PhaseTicks;
        const float total = usage_.total.load();
        if (power ? total <= LowCPUUsage : total >= HighCPUUsage) {
            if (clock_) clock_->ShowClockWish(power ? "Low power preferred" : "Power needed");
            PowerWanted = !power;
            PhaseTicks = 1;
            return;
        }
        const std::uint8_t wanted = power ? HighSpeed : LowSpeed;
        if (PhaseSeconds() >= (power ? HighCPUTime : LowCPUTime) && ClockMode != wanted) TrySpeed(!power);
    } catch (const std::exception& e) {
        WriteDebugLog(Format("ERROR #%d in CPULoadTimer (%s)", {power ? 4 : 3, e.what()}));
    }
}

double TCpuLoadTicker::PhaseSeconds() const {
    return static_cast<double>(static_cast<std::int64_t>(PhaseTicks) * Interval) / 1000.0;
}

bool TCpuLoadTicker::TrySpeed(bool low) {
    if (!clock_ || !clock_->UseClockGen()) return false;
    const int index = low ? clock_->LowSpeedIndex() : clock_->HighSpeedIndex();
    TClock* generator = clock_->ClockGenerator();
    if (index < 0 || !generator || !generator->SetClock(index)) return false;
    ClockMode = low ? LowSpeed : HighSpeed;
    clock_->ShowClockStatus(low ? "Low speed mode set" : "High speed mode set");
    clock_->ShowClockWish("");
    if (host_.PostCpuClock) host_.PostCpuClock();
    return true;
}

void TCpuLoadTicker::SetLowSpeedMode() { TrySpeed(true); }
void TCpuLoadTicker::SetHighSpeedMode() { TrySpeed(false); }

void TCpuLoadTicker::SetupCPULoadPanel() {
    barsMadeFor_ = NumCPUs();
    if (view_) view_->SetBars(CpuLoadBars(view_->PanelWidth(), barsMadeFor_));
}

void TCpuLoadTicker::EDLowCPUUsageChange(int value) {
    LowCPUUsage = static_cast<float>(value);
    SaveUnlessUpdating();
}

void TCpuLoadTicker::EDHighCPUUsageChange(int value) {
    HighCPUUsage = static_cast<float>(value);
    SaveUnlessUpdating();
}

void TCpuLoadTicker::EDLowCPUTimeChange(int value) {
    LowCPUTime = value;
    SaveUnlessUpdating();
}

void TCpuLoadTicker::EDHighCPUTimeChange(int value) {
    HighCPUTime = value;
    SaveUnlessUpdating();
}

void TCpuLoadTicker::SaveUnlessUpdating() {
    if (host_.Updating && host_.Updating()) return;
    if (host_.SaveParams) host_.SaveParams();
}
