#include "platform/sim/simclock.h"

#include <chrono>
#include <thread>

namespace platform::sim {
namespace {

std::uint64_t steadyMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

LocalTime addMs(const LocalTime& t, std::uint64_t ms) {
    using namespace std::chrono;
    const sys_days days = year{t.year} / month{static_cast<unsigned>(t.month)} / day{static_cast<unsigned>(t.day)};
    const auto start = time_point_cast<milliseconds>(days) + hours{t.hour} + minutes{t.minute} + seconds{t.second} +
                       milliseconds{t.millisecond};
    const auto now = start + milliseconds{ms};
    const auto nowDays = floor<std::chrono::days>(now);
    const year_month_day ymd{nowDays};
    const hh_mm_ss<milliseconds> hms{now - nowDays};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(hms.hours().count()),
            static_cast<int>(hms.minutes().count()), static_cast<int>(hms.seconds().count()),
            static_cast<int>(hms.subseconds().count())};
}

}  // namespace

SimClock::SimClock(bool virtualTime, LocalTime start) : virtual_(virtualTime), start_(start), realStartMs_(steadyMs()) {}

std::uint64_t SimClock::monotonicMs() { return virtual_ ? elapsedMs_ : steadyMs() - realStartMs_; }

LocalTime SimClock::localNow() { return addMs(start_, monotonicMs()); }

void SimClock::sleepMs(std::uint32_t ms) {
    if (virtual_)
        elapsedMs_ += ms;
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::uint64_t SimClock::performanceCount() {
    std::uint64_t ns = 0;
    if (virtual_) {
        constexpr std::uint64_t step = 1000;
        elapsedSubMsNs_ += step;
        elapsedMs_ += elapsedSubMsNs_ / 1'000'000;
        elapsedSubMsNs_ %= 1'000'000;
        ns = elapsedMs_ * 1'000'000 + elapsedSubMsNs_;
    } else {
        using namespace std::chrono;
        ns = static_cast<std::uint64_t>(duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count());
    }
    // 128-bit product: the count at this frequency without overflow.
    return static_cast<std::uint64_t>(static_cast<unsigned __int128>(ns) * performanceFrequency_ / 1'000'000'000u);
}

void SimClock::restart(bool virtualTime, LocalTime start) {
    virtual_ = virtualTime;
    start_ = start;
    elapsedMs_ = 0;
    elapsedSubMsNs_ = 0;
    realStartMs_ = steadyMs();
}

void SimClock::advance(std::uint64_t ms) {
    if (virtual_) elapsedMs_ += ms;
}

}  // namespace platform::sim
