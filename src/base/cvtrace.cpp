#include "base/cvtrace.h"

#include <cstdio>

#include "base/cvdatetime.h"
#include "platform/platform.h"
#include "platform/tracesink.h"

std::mutex DebugLogLock;
std::string ProgramDir;
const char* const DebugLogName = "debug.nfo";

namespace {
const char* const TraceStampPicture = "ddddd tt.zzz";
// What the platform has to say about the machine (refused routes, ports a
// kernel driver holds) belongs in this trace.
[[maybe_unused]] const bool platformTraceInstalled = (platform::setTraceSink(&WriteDebugLog), true);
}

void WriteDebugLog(const std::string& msg) {
    try {
        if (!platform::isInstalled()) return;
        std::lock_guard<std::mutex> lock(DebugLogLock);
        const std::string line =
            FormatDateTime(TraceStampPicture, Now(), platform::current().locale()) + " - " + msg + "\r\n";
        // Opened and closed per line so the trace is whole up to the last
        // line even when the program stops abruptly.
        if (std::FILE* file = std::fopen((ProgramDir + DebugLogName).c_str(), "ab")) {
            std::fwrite(line.data(), 1, line.size(), file);
            std::fclose(file);
        }
    } catch (...) {
        // A trace line that cannot be written is lost without notice.
    }
}

