#include "cpu/cvuptime.h"

#include "platform/platform.h"

namespace {
std::int64_t StartSeconds = 0;
}

std::int64_t GetSystemUptimeSeconds() { return static_cast<std::int64_t>(platform::current().uptimeMs() / 1000); }

std::int64_t GetProgramUptimeSeconds() { return GetSystemUptimeSeconds() - StartSeconds; }

void InitializeCvuptime() { StartSeconds = GetSystemUptimeSeconds(); }
