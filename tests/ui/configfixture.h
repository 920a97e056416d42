#pragma once
// A monitor with one fake chip (three temperatures, two fans, three speeds,
// a voltage) bound to its slots, and a window that counts what the closing
// steps of the configuration exchange ask of it.

#include <filesystem>

#include "core/coretest.h"
#include "core/fakesensor.h"
#include "core/fakeservices.h"
#include "core/cvmonitor.h"
#include "ui/cvconfigmodel.h"

namespace uitest {

class TCountingWindow : public coretest::TFakeWindow {
public:
    void SetupChart() override { ++Charts; }
    void FreeTrayIcons() override { ++TrayIconsFreed; }
    void RebuildExoticFrames() override { ++ExoticRebuilds; }
    int Charts = 0;
    int TrayIconsFreed = 0;
    int ExoticRebuilds = 0;
};

class ConfigFixture : public coretest::CoreTest {
protected:
    ConfigFixture() {
        chip = &coretest::AddFakeSensor(monitor.Sensors, "Chip",
                                        {{"CPU", "MB", "Aux"}, {"F1", "F2"}, {"P1", "P2", "P3"}, {"Vcore"}});
        chip->Sample(TReadingKind::Temp, {45, 30, 20});
        chip->Sample(TReadingKind::Pwm, {40, 50, 60});
        monitor.BuildReadingSlots();
        monitor.AutoAssociate();
        monitor.Window = &window;
    }
    ~ConfigFixture() override { monitor.Window = nullptr; }

    bool exists(const std::string& name) const { return std::filesystem::exists(file(name)); }

    TMonitor monitor;
    TCountingWindow window;
    coretest::TFakeSensor* chip = nullptr;
};

}  // namespace uitest
