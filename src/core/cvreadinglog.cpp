#include "core/cvreadinglog.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include "base/cvdatetime.h"
#include "base/cvformat.h"
#include "core/cvlogsinks.h"
#include "core/cvservices.h"
#include "core/cvtext.h"
#include "core/cvtickdividers.h"
#include "core/cvvars.h"

using cvformat::Format;
namespace fs = std::filesystem;

namespace {

constexpr int XapStatusSelection = 3;

std::string DayStem(const platform::LocalTime& day) {
    return Format("CVLog%.4d%.2d%.2d", {day.year, day.month, day.day});
}

std::string TodayFile(const platform::LocalTime& now) { return ProgramDir + DayStem(now) + ".csv"; }

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

// Temperatures, fans, voltages, then speeds, each in slot order.
template <typename Visit>
void ForEachLoggedSlot(const TReadingSlots& slots, Visit visit) {
    for (auto kind : {TReadingKind::Temp, TReadingKind::Fan, TReadingKind::Volt, TReadingKind::Pwm}) {
        for (std::size_t i = 0; i < slots.SlotCount(kind); ++i) {
            const auto& slot = slots.Slot(kind, i);
            if (slot.Logged) visit(kind, slot);
        }
    }
}

void MaintainLogsOn(const platform::LocalTime& now, TLogSinks& log) {
    const std::string today = TodayFile(now);
    if (FileExists(today)) {
        std::string aside;
        for (int n = 1;; ++n) {
            aside = ProgramDir + Format("CVLog%.4d%.2d%.2d-%.4d.csv", {now.year, now.month, now.day, n});
            if (!FileExists(aside)) break;
        }
        std::error_code ec;
        fs::rename(today, aside, ec);
        if (ec) log.TraceMessage(Format("Unable to move %s to %s", {today, aside}), 1);
    }

    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(ProgramDir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_directory(typeError) && WildcardMatch("CVLog*.csv", it->path().filename().string()))
            files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());

    // In floating point: any count the options file holds is a valid distance.
    const TDateTime firstKept = EncodeDateTime(now) - (static_cast<double>(LogOptions.MaxDays) - 1);
    const std::string limit = UpperCase(DayStem(DecodeDateTime(firstKept)));
    for (const auto& file : files) {
        if (UpperCase(file.filename().string().substr(0, limit.size())) < limit) fs::remove(file, ec);
    }
}

}  // namespace

std::string FormatLogValue(double value, int maxDecs, const std::string& decSep) {
    const char localeSep = cvformat::UserFormat().decimalSeparator;
    // The count goes in as an argument: the formatter caps it at the digits a double holds.
    std::string text = Format("%.*f", {maxDecs, value});
    const auto sep = text.find(localeSep);
    if (sep == std::string::npos) return text;
    while (text.size() > sep + 1 && text.back() == '0') text.pop_back();
    if (text.size() == sep + 1) text += '0';
    if (!decSep.empty() && decSep != std::string(1, localeSep)) text.replace(sep, 1, decSep);
    return text;
}

void TReadingLog::WriteLogLine(const TReadingSlots& slots, const TSensorList& sensors, TLogSinks& log) {
    if (!LogOptions.Enabled) return;
    if (LogOptions.MaxDecs < 1) LogOptions.MaxDecs = 1;

    const auto now = platform::current().clock().localNow();
    const std::string path = TodayFile(now);
    std::string text;
    if (!FileExists(path)) {
        MaintainLogsOn(now, log);
        if (LogOptions.AddHeader) {
            text = "Seconds";
            ForEachLoggedSlot(slots, [&](TReadingKind, const TReadingData& slot) { text += "\t" + slot.Name; });
            text += "\r\n";
        }
    }
    text += Format("%d", {now.hour * 3600 + now.minute * 60 + now.second});
    ForEachLoggedSlot(slots, [&](TReadingKind kind, const TReadingData& slot) {
        const double value = SlotStats(sensors, kind, slot).Last();
        text += "\t";
        text += kind == TReadingKind::Fan ? Format("%.0f", {value})
                                          : FormatLogValue(value, LogOptions.MaxDecs, LogOptions.DecSep);
    });
    text += "\r\n";

    std::ofstream file(path, std::ios::binary | std::ios::app);
    file << text;
}

void TReadingLog::MaintainLogs(TLogSinks& log) { MaintainLogsOn(platform::current().clock().localNow(), log); }

void TReadingLog::SendXapStatus(TXapSender* xap, TTickDividers& dividers) {
    if (!xap) return;
    if (!xap->Settings().Enabled) {
        dividers.XapCounter = TTickDividers::MaxInt;
        return;
    }
    if (!TTickDividers::Due(dividers.XapCounter, dividers.XapDivider)) return;
    xap->Broadcast(xap->BuildPCStatusMessage(XapStatusSelection));
}
