#pragma once
// The one-second CPU-load tick: uptime, usage on the readings page and in
// the free-layout boxes, load-driven switching of the bus clock, then the
// events. Window-free: the widgets sit behind TCpuLoadView and the Clock
// page behind TCpuLoadClock, so tests drive it on scripted usage.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

struct TCPUUsage;
class TClock;

// A bar of the CPU-load panel.
struct TCpuLoadBar {
    int Left = 0;
    int Width = 0;
    bool operator==(const TCpuLoadBar&) const = default;
};

// One bar per CPU side by side with a pixel between; none when a bar would
// be narrower than one pixel.
std::vector<TCpuLoadBar> CpuLoadBars(int panelWidth, int cpuCount);

// "%d days" and "%.2d:%.2d:%.2d" of a system uptime.
struct TUptimeTexts {
    std::string Days;
    std::string Time;
};
TUptimeTexts UptimeTexts(std::uint32_t seconds);

// The widgets the tick writes; any of them may raise.
class TCpuLoadView {
public:
    virtual ~TCpuLoadView() = default;
    // Nothing when the panel has no "SCUptime" box.
    virtual void ShowUptime(const TUptimeTexts& texts) = 0;
    virtual bool IsMinimized() const = 0;
    virtual void ShowTotal(const std::string& text) = 0;  // LABCPULoad
    virtual int PanelWidth() const = 0;                   // PanCPULoad
    virtual int BarCount() const = 0;
    // Frees every bar, then makes these ("PBCPULoad%.2d" in PanCPULoad).
    virtual void SetBars(const std::vector<TCpuLoadBar>& bars) = 0;
    virtual void SetBarPosition(int cpu, int position) = 0;
    // The box "SCCPUUsage%.2d" of Number, counted from 1.
    virtual bool HasUsageBox(int number) const = 0;
    virtual void SetUsageBoxText(int number, const std::string& text) = 0;
    virtual void SetUsageBoxPosition(int number, int position) = 0;
};

// What the Clock page offers the switching.
class TCpuLoadClock {
public:
    virtual ~TCpuLoadClock() = default;
    virtual bool UseClockGen() const = 0;      // CBUseClockGen
    virtual int LowSpeedIndex() const = 0;     // CBLowSpeed, -1 when none
    virtual int HighSpeedIndex() const = 0;    // CBHighSpeed, -1 when none
    virtual TClock* ClockGenerator() const = 0;
    virtual void ShowClockStatus(const std::string& text) = 0;  // LABClockStatus
    virtual void ShowClockWish(const std::string& text) = 0;    // LABClockWish
};

// What the tick needs of the program beside the widgets.
struct TCpuLoadHost {
    std::function<std::int64_t()> UptimeSeconds;
    std::function<void()> UpdateCpuUsage;  // may raise
    std::function<void()> ProcessEvents;
    std::function<void()> PostCpuClock;    // WM_USER+2
    std::function<bool()> Updating;
    std::function<void()> SaveParams;      // with the clock
};

class TCpuLoadTicker {
public:
    static constexpr int DefaultInterval = 1000;
    static constexpr std::uint8_t LowSpeed = 1, HighSpeed = 3;

    TCpuLoadTicker(TCPUUsage& usage, TCpuLoadHost host) : usage_(usage), host_(std::move(host)) {}

    void SetView(TCpuLoadView* view) { view_ = view; }
    void SetClock(TCpuLoadClock* clock) { clock_ = clock; }

    void RxTimerCPULoadTimer();
    void SetupCPULoadPanel();
    // Set the speed at once when the box, an entry and the generator allow it.
    void SetLowSpeedMode();
    void SetHighSpeedMode();

    void EDLowCPUUsageChange(int value);
    void EDHighCPUUsageChange(int value);
    void EDLowCPUTimeChange(int value);
    void EDHighCPUTimeChange(int value);
    void CBUseClockGenClick() { SaveUnlessUpdating(); }

    float HighCPUUsage = 40;
    float LowCPUUsage = 10;
    std::int32_t HighCPUTime = 4;
    std::int32_t LowCPUTime = 10;
    bool PowerWanted = true;
    std::int32_t PhaseTicks = 0;
    std::uint8_t ClockMode = 0;
    int Interval = DefaultInterval;

private:
    int NumCPUs() const;
    void ShowUptime();
    void ShowUsage(int cpus);
    void SwitchClock();
    double PhaseSeconds() const;
    // True when the speed was set.
    bool TrySpeed(bool low);
    void SaveUnlessUpdating();

    TCPUUsage& usage_;
    TCpuLoadHost host_;
    TCpuLoadView* view_ = nullptr;
    TCpuLoadClock* clock_ = nullptr;
    int barsMadeFor_ = -1;  // the CPU count of the last set-up
};
