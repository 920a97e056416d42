#pragma once
// The daily reading log: one tab-separated line per main tick with the
// newest values of the slots marked for logging, one file per day in the
// program folder ("CVLog20240131.csv"), old files removed after
// LogOptions.MaxDays. The same tick paces the xAP status message.

#include <string>

#include "core/cvreadingslots.h"

class TLogSinks;
class TXapSender;
struct TTickDividers;

// One value with at most MaxDecs decimals and no trailing zeros but one,
// the locale's separator replaced by DecSep (an empty DecSep keeps it).
std::string FormatLogValue(double value, int maxDecs, const std::string& decSep);

class TReadingLog {
public:
    // The log step of the main tick; errors lose the line and nothing else.
    void WriteLogLine(const TReadingSlots& slots, const TSensorList& sensors, TLogSinks& log);
    // Moves today's file aside and deletes expired files.
    void MaintainLogs(TLogSinks& log);
    // Sends the status when the xAP divider is due while xAP is enabled; a
    // disabled sender keeps the counter at MaxInt, so enabling sends at once.
    void SendXapStatus(TXapSender* xap, TTickDividers& dividers);
};
