#pragma once
// The system's and the program's running time in whole seconds, from the
// platform's 64-bit uptime, so the 49.7-day wrap of a 32-bit tick count
// never shows.

#include <cstdint>

// Seconds since the system started.
std::int64_t GetSystemUptimeSeconds();
// Seconds since InitializeCvuptime.
std::int64_t GetProgramUptimeSeconds();
// Unit start-up: notes the system uptime the program started at.
void InitializeCvuptime();
