#include "platform/sleepwatch.h"

#include <utility>

namespace platform {

void SleepWatch::takeLock() {
    if (!held_) held_ = lock_.take();
}

void SleepWatch::prepareForSleep(bool sleeping) {
    pending_.push_back(sleeping ? SleepSuspendEvent : SleepResumeEvent);
    // Ready to delay the next suspend as soon as the machine is awake.
    if (!sleeping) takeLock();
}

std::vector<std::uint32_t> SleepWatch::takePowerEvents() { return std::exchange(pending_, {}); }

void SleepWatch::powerEventHandled(std::uint32_t wParam) {
    if (wParam != SleepSuspendEvent || !held_) return;
    lock_.release();
    held_ = false;
}

}  // namespace platform
