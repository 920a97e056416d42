#pragma once
// The composition root's one place for plugging the subsystems that exist
// into the monitor: sensor detection with its steps, the processor sources,
// the mail sender and the xAP sender.

#include <memory>

class TMonitor;

class TWiredServices {
public:
    virtual ~TWiredServices() = default;
};

// The services live as long as the answer does; the monitor must not outlive it.
std::unique_ptr<TWiredServices> WireServices(TMonitor& monitor);
