#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/platform.h"

namespace platform::sim {

// Runs in real time, or on virtual time that only sleeps and advance() move,
// so waits and time-outs cost a test nothing. Virtual time belongs to the
// thread that made or restarted the clock: another thread's sleep does not
// move it, but ends when the owner's time has passed it or, at the latest,
// after as long in real time.
class SimClock : public Clock {
public:
    explicit SimClock(bool virtualTime = true, LocalTime start = {2026, 1, 15, 10, 0, 0, 0});

    LocalTime localNow() override;
    std::uint64_t monotonicMs() override;
    void sleepMs(std::uint32_t ms) override;
    std::uint64_t performanceFrequency() override { return performanceFrequency_; }
    // On virtual time each read moves the clock on by one microsecond, so a
    // spin on the counter ends.
    std::uint64_t performanceCount() override;
    void setPerformanceFrequency(std::uint64_t frequency) { performanceFrequency_ = frequency; }
    // Nanoseconds since the start, without moving the clock.
    std::uint64_t elapsedNs() const;
    // A read inside a spin: on virtual time the clock moves on by one
    // microsecond, so every spin ends.
    void spin();

    bool isVirtual() const { return virtual_; }
    LocalTime startTime() const { return start_; }
    void advance(std::uint64_t ms);
    // Starts over from `start` in the given mode; monotonic time restarts at 0.
    void restart(bool virtualTime, LocalTime start);

private:
    void moveOn(std::uint64_t ns);
    std::uint64_t virtualNs() const { return elapsedMs_ * 1'000'000 + elapsedSubMsNs_; }

    mutable std::mutex mutex_;
    std::condition_variable moved_;
    std::thread::id owner_ = std::this_thread::get_id();
    bool virtual_;
    LocalTime start_;
    std::uint64_t elapsedMs_ = 0;
    std::uint64_t elapsedSubMsNs_ = 0;  // virtual time below the millisecond
    std::uint64_t performanceFrequency_ = 10'000'000;
    std::uint64_t realStartMs_;
};

}  // namespace platform::sim
