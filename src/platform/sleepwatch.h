#pragma once
// The host's sleep announcements ("about to sleep", "woke up") as the power
// broadcasts the window handles. A delay lock, held while awake, gives the
// suspend sequence its time: it goes once that sequence has run and comes
// back after the resume.

#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace platform {

// The wParam codes the announcements become.
inline constexpr std::uint32_t SleepSuspendEvent = 4;
inline constexpr std::uint32_t SleepResumeEvent = 18;

// The system's delay lock on sleeping.
class SleepDelayLock {
public:
    virtual ~SleepDelayLock() = default;
    // False when the system refuses it; sleeping is then not delayed.
    virtual bool take() = 0;
    virtual void release() = 0;
};

class SleepWatch : public PowerEventSource {
public:
    explicit SleepWatch(SleepDelayLock& lock) : lock_(lock) {}

    // Takes the lock for the first suspend.
    void start() { takeLock(); }
    void prepareForSleep(bool sleeping);

    std::vector<std::uint32_t> takePowerEvents() override;
    void powerEventHandled(std::uint32_t wParam) override;

private:
    void takeLock();

    SleepDelayLock& lock_;
    bool held_ = false;
    std::vector<std::uint32_t> pending_;
};

}  // namespace platform
