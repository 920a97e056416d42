#pragma once
// What one detection run hands every probe: the monitor (options, log boxes,
// sensor list), the sensor factory and the detection engine. The run owns
// all three; probes only borrow them.

#include <utility>

#include "detect/cvsourceservices.h"

class TMonitor;
class TSensorFactory;
class TDetectionEngine;

struct TDetectionContext {
    TDetectionContext(TMonitor& monitor, TSensorFactory& factory, TDetectionEngine& engine,
                      TSourceServices sources = {})
        : Monitor(monitor), Factory(factory), Engine(engine), Sources(std::move(sources)) {}

    TMonitor& Monitor;
    TSensorFactory& Factory;
    TDetectionEngine& Engine;
    // Set by the VIA integrated-monitor probe when that monitor cannot be
    // used; the SMBus answer at 2Dh then stands in for it (chip code 72).
    bool VIAMonitorDisabled = false;
    // The access objects of the sources that app/ has installed.
    TSourceServices Sources;
};
