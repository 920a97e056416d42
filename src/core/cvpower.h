#pragma once
// The main window's messages from outside: commands of other programs, the
// processor clock and power-status requests, and the system's power events
// with the suspend and resume sequences.

#include <cstdint>

class TMonitor;

// The power broadcasts' wParam codes.
namespace PowerEvents {
enum : std::uint32_t {
    QuerySuspend = 0,
    QuerySuspendFailed = 2,
    Suspend = 4,
    ResumeCritical = 6,
    ResumeSuspend = 7,
    PowerStatusChange = 10,
    ResumeAutomatic = 18,
};
}

// WM_USER+1: wParam 1 sets every speed slot (lParam 1 full, 2 minimum,
// 3 maximum), wParam 2 closes the window; every command is logged.
void ExternalCommand(TMonitor& monitor, std::intptr_t wParam, std::intptr_t lParam);
// WM_USER+2: the processor clock into LABRealCPUSpeed and the "SCFrequency" tile.
void CpuClockMessage(TMonitor& monitor);
// WM_USER+3: the "SCBattery" tile from the power status, when the tile exists.
void PowerStatusMessage(TMonitor& monitor);
// WM_POWERBROADCAST; always answers 1, so no suspend is ever refused.
int PowerBroadcast(TMonitor& monitor, std::uint32_t wParam);

void PrepareForSuspend(TMonitor& monitor);
void ResumeFromSuspend(TMonitor& monitor);
