#include "core/cvlogsinks.h"

#include "base/cvformat.h"
#include "core/cvsensors.h"
#include "core/cvvars.h"
#include "hw/cvlink.h"

using cvformat::Format;

void TLogSinks::LogMessage(const std::string& msg) { LogMessageEx(msg, true); }

void TLogSinks::LogMessageEx(const std::string& msg, bool toBoth) {
    if (!boxes_) return;
    if (toBoth) boxes_->AddReadingsLine(msg);
    boxes_->AddInfoLine(msg);
}

void TLogSinks::TraceMessage(const std::string& msg, int level) {
    WriteDebugLog(msg);
    LogMessageEx(msg, level != 0);
}

void TLogSinks::TraceDebug(const std::string& msg) { TraceMessage(msg, 0); }

void TLogSinks::SensorLog(const TSensor& sender, const std::string& msg, int level) {
    TraceMessage(Format("%s at $%.2x msg : %s", {sender.FChipName, sender.FAddress, msg}), level);
}

void TLogSinks::LinkLog(const TLink& sender, const std::string& msg) {
    LogMessage(Format("%s msg : %s", {sender.BusText(), msg}));
}

void TLogSinks::ClockLog(const std::string& chipName, std::uint32_t address, const std::string& msg, bool show) {
    if (!show || clockLogCount_ >= ClockLogLimit) return;
    ++clockLogCount_;
    LogMessageEx(Format("%s at $%.2x msg : %s", {chipName, address, msg}), false);
}
