#include "core/cvtimers.h"

#include <algorithm>

#include "platform/platform.h"

namespace {

std::uint64_t NowMs() { return platform::current().clock().monotonicMs(); }

}  // namespace

class TClockTimers::TClockTimer : public TTimer {
public:
    TClockTimer(std::shared_ptr<TRegistry> registry, int intervalMs, std::function<void()> onTick)
        : registry_(std::move(registry)), interval_(intervalMs), onTick_(std::move(onTick)) {
        registry_->push_back(this);
    }
    ~TClockTimer() override { std::erase(*registry_, this); }

    void SetEnabled(bool enabled) override {
        if (enabled && !enabled_) due_ = NowMs() + static_cast<std::uint64_t>(interval_);
        enabled_ = enabled;
    }
    bool Enabled() const override { return enabled_; }
    int Interval() const override { return interval_; }

    void RunIfDue(std::uint64_t now) {
        if (!enabled_ || now < due_) return;
        due_ = now + static_cast<std::uint64_t>(interval_);
        if (onTick_) onTick_();
    }

private:
    std::shared_ptr<TRegistry> registry_;
    int interval_;
    std::function<void()> onTick_;
    bool enabled_ = false;
    std::uint64_t due_ = 0;
};

std::unique_ptr<TTimer> TClockTimers::CreateTimer(int intervalMs, std::function<void()> onTick) {
    return std::make_unique<TClockTimer>(timers_, intervalMs, std::move(onTick));
}

void TClockTimers::RunDue() {
    const std::uint64_t now = NowMs();
    // A tick may make or drop timers: walk a copy.
    const TRegistry timers = *timers_;
    for (auto* timer : timers)
        if (std::find(timers_->begin(), timers_->end(), timer) != timers_->end()) timer->RunIfDue(now);
}
