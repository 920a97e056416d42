#pragma once
// The program's start-up on the machine of a test: the real detection, the
// timers on the machine's clock and a window that only records.

#include "core/cvtimers.h"
#include "core/fakeservices.h"
#include "cpu/noscpuidmsr.h"
#include "detect/cvsensordetection.h"
#include "detectfixture.h"

class ProgramStartupTest : public DetectTest {
protected:
    ProgramStartupTest() {
        ResetCpuidMsrData();  // another board's processors were collected before
        detection.Install();
        monitor.TimerService = &timers;
        monitor.Window = &window;
    }
    ~ProgramStartupTest() override { ResetCpuidMsrData(); }
    void startProgram() {
        monitor.FormCreate({"caldavor"});
        monitor.DeferredStartup();
    }

    TClockTimers timers;
    coretest::TFakeWindow window;
    TSensorDetection detection{monitor};
};
