#pragma once
// Sensor detection as the start-up calls it: one sensor factory for the whole
// run (host discovery hands it its own sensors too) and, per detection, an
// engine bound to the window's sinks. Install plugs it into the monitor with
// the detection steps that exist.

#include <memory>

#include "core/cvservices.h"
#include "detect/cvsensorfactory.h"
#include "detect/cvsourceservices.h"

class TMonitor;

class TSensorDetection : public TDetectionServices {
public:
    explicit TSensorDetection(TMonitor& monitor) : monitor_(monitor), factory_(monitor) {}

    std::unique_ptr<TDetectionRun> BeginDetection() override;
    TSensorFactory& Factory() { return factory_; }

    // Sets the monitor's detection service, the discovered-sensor sink and the
    // steps built so far.
    void Install();
    // The access objects app/ installs for the sources; the steps of those
    // given become built (call Install first).
    void SetSources(const TSourceServices& sources);

private:
    void InstallSourceSteps();

    TMonitor& monitor_;
    TSensorFactory factory_;
    TSourceServices sources_;
};
