#include "platform/linux/nativeclock.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

namespace platform::native {

LocalTime localTimeAt(std::time_t seconds, int millisecond) {
    tm local{};
    localtime_r(&seconds, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
            std::min(local.tm_sec, 59), millisecond, static_cast<int>(local.tm_gmtoff / 60)};
}

LocalTime NativeClock::localNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return localTimeAt(now.tv_sec, static_cast<int>(now.tv_nsec / 1'000'000));
}

std::uint64_t NativeClock::monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec / 1'000'000);
}

std::uint64_t NativeClock::performanceCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(now.tv_nsec);
}

void NativeClock::sleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace platform::native
