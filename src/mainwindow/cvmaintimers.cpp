#include "mainwindow/cvmaintimers.h"

#include <QTimer>

namespace {

class TQtTimer : public TTimer {
public:
    TQtTimer(int intervalMs, std::function<void()> onTick) {
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [tick = std::move(onTick)] { tick(); });
    }
    // Enabling a stopped timer starts a fresh interval; a running one runs on.
    void SetEnabled(bool enabled) override {
        if (!enabled)
            timer_.stop();
        else if (!timer_.isActive())
            timer_.start();
    }
    bool Enabled() const override { return timer_.isActive(); }
    int Interval() const override { return timer_.interval(); }

private:
    QTimer timer_;
};

}  // namespace

std::unique_ptr<TTimer> TQtTimerService::CreateTimer(int intervalMs, std::function<void()> onTick) {
    return std::make_unique<TQtTimer>(intervalMs, std::move(onTick));
}
