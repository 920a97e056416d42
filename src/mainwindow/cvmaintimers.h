#pragma once
// The window's timers: each of the model's timers is a QTimer ticking on the
// GUI thread's event loop.

#include "core/cvservices.h"

class TQtTimerService : public TTimerService {
public:
    std::unique_ptr<TTimer> CreateTimer(int intervalMs, std::function<void()> onTick) override;
};
