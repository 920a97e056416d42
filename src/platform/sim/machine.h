#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "platform/sim/portspace.h"
#include "platform/sim/simdesktop.h"
#include "platform/sim/simclock.h"
#include "platform/sim/simregistry.h"

namespace platform::sim {

// A virtual PC. Tests build one in code; the program loads one from a board file.
class Machine : public Platform {
public:
    explicit Machine(bool virtualTime = true);
    ~Machine() override;

    std::string programDir() const override { return programDir_; }
    std::string windowsDir() const override { return windowsDir_; }
    OsVersion osVersion() const override { return os_; }
    Clock& clock() override { return clock_; }
    LocaleInfo locale() const override { return locale_; }
    Registry& registry() override { return registry_; }
    std::unique_ptr<NamedMutex> createMutex(const std::string& name) override;
    Desktop& desktop() override { return desktop_; }

    SimClock& simClock() { return clock_; }
    SimRegistry& simRegistry() { return registry_; }
    PortSpace& ports() { return ports_; }
    SimDesktop& simDesktop() { return desktop_; }
    // Adds a trailing "/" when missing.
    void setProgramDir(std::string dir);
    void setWindowsDir(std::string dir) { windowsDir_ = std::move(dir); }
    void setLocale(const LocaleInfo& locale) { locale_ = locale; }
    void setOsVersion(const OsVersion& os) { os_ = os; }

private:
    SimClock clock_;
    SimRegistry registry_;
    PortSpace ports_;
    SimDesktop desktop_;
    LocaleInfo locale_;
    OsVersion os_;
    std::string programDir_ = "./";
    std::string windowsDir_ = "C:\\WINDOWS";
    // Mutexes of one name are one lock for every holder on this machine.
    std::map<std::string, std::shared_ptr<std::recursive_mutex>> mutexes_;
};

}  // namespace platform::sim
