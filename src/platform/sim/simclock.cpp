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
    LocalTime local = localTimeOf(start + milliseconds{ms});
    local.utcOffsetMinutes = t.utcOffsetMinutes;
    return local;
}

}  // namespace

SimClock::SimClock(bool virtualTime, LocalTime start) : virtual_(virtualTime), start_(start), realStartMs_(steadyMs()) {}

std::uint64_t SimClock::monotonicMs() {
    if (!virtual_) return steadyMs() - realStartMs_;
    const std::lock_guard lock(mutex_);
    return elapsedMs_;
}

void SimClock::moveOn(std::uint64_t ns) {
    {
        const std::lock_guard lock(mutex_);
        const std::uint64_t total = elapsedSubMsNs_ + ns;
        elapsedMs_ += total / 1'000'000;
        elapsedSubMsNs_ = total % 1'000'000;
    }
    moved_.notify_all();
}

LocalTime SimClock::localNow() { return addMs(start_, monotonicMs()); }

void SimClock::sleepMs(std::uint32_t ms) {
    if (!virtual_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    } else if (std::this_thread::get_id() == owner_) {
        moveOn(std::uint64_t{ms} * 1'000'000);
    } else {
        std::unique_lock lock(mutex_);
        const std::uint64_t wake = virtualNs() + std::uint64_t{ms} * 1'000'000;
        moved_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return virtualNs() >= wake; });
    }
}

void SimClock::spin() {
    if (virtual_) moveOn(1000);
}

std::uint64_t SimClock::elapsedNs() const {
    if (virtual_) {
        const std::lock_guard lock(mutex_);
        return virtualNs();
    }
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count()) -
           realStartMs_ * 1'000'000;
}

std::uint64_t SimClock::performanceCount() {
    spin();
    // 128-bit product: the count at this frequency without overflow.
    return static_cast<std::uint64_t>(static_cast<unsigned __int128>(elapsedNs()) * performanceFrequency_ /
                                      1'000'000'000u);
}

void SimClock::restart(bool virtualTime, LocalTime start) {
    const std::lock_guard lock(mutex_);
    owner_ = std::this_thread::get_id();
    virtual_ = virtualTime;
    start_ = start;
    elapsedMs_ = 0;
    elapsedSubMsNs_ = 0;
    realStartMs_ = steadyMs();
}

void SimClock::advance(std::uint64_t ms) {
    if (virtual_) moveOn(ms * 1'000'000);
}

}  // namespace platform::sim
