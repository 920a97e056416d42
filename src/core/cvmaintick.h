#pragma once
// The monitoring cycle of the running program: every 3080 ms it reads the
// used sensors at their kinds' rates, publishes the readings (shared block,
// labels and tiles, tray hint and icon), runs fan control, repaints the
// chart, writes the daily log line, sends the xAP status and asks for the
// power status. Each publishing step has its own handler, so one failing
// step never stops the others.

#include <string>

class TMonitor;

// The tray's hint may hold no more characters than this.
inline constexpr std::size_t TrayHintLimit = 255;

void RxTimerMainTimer(TMonitor& monitor);
// The newest readings into the display rows and the tiles.
void UpdateReadingsDisplay(TMonitor& monitor);
// The shown temperatures, one "name: value" line each, joined by CR.
std::string BuildTrayHint(const TMonitor& monitor);
