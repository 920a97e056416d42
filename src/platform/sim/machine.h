#pragma once
#include <map>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/platform.h"
#include "platform/sim/portspace.h"
#include "platform/sim/registerfile.h"
#include "platform/sim/simclock.h"
#include "platform/sim/simregistry.h"

namespace platform::sim {

// A virtual PC. Tests build one in code; the program loads one from a board file.
class Machine : public Platform {
public:
    explicit Machine(bool virtualTime = true);
    ~Machine() override;

    // Adds a board's contents to this machine. A malformed board throws
    // BoardError (see boardreader.h) and leaves the machine half built, to
    // be thrown away.
    void loadFromFile(const std::string& path);
    void loadFromJson(const std::string& text, const std::string& sourceName);

    std::string programDir() const override { return programDir_; }
    std::string windowsDir() const override { return windowsDir_; }
    OsVersion osVersion() const override { return os_; }
    Clock& clock() override { return clock_; }
    LocaleInfo locale() const override { return locale_; }
    Registry& registry() override { return registry_; }
    std::unique_ptr<NamedMutex> createMutex(const std::string& name) override;

    SimClock& simClock() { return clock_; }
    SimRegistry& simRegistry() { return registry_; }
    PortSpace& ports() { return ports_; }
    // Adds a trailing "/" when missing.
    void setProgramDir(std::string dir);
    void setWindowsDir(std::string dir) { windowsDir_ = std::move(dir); }
    void setLocale(const LocaleInfo& locale) { locale_ = locale; }
    void setOsVersion(const OsVersion& os) { os_ = os; }

    // Register files by device name, so tests can look at what the program
    // wrote. Adding a second file of one name throws std::invalid_argument.
    void addRegisterFile(const std::string& name, std::shared_ptr<RegisterFile> file);
    std::shared_ptr<RegisterFile> registerFile(const std::string& name) const;

    // What the mutexes of one name share.
    struct MutexState {
        std::mutex mutex;
        std::condition_variable freed;
        const NamedMutex* holder = nullptr;
    };

private:
    SimClock clock_;
    SimRegistry registry_;
    PortSpace ports_;
    LocaleInfo locale_;
    OsVersion os_;
    std::string programDir_ = "./";
    std::string windowsDir_ = "C:\\WINDOWS";
    std::map<std::string, std::shared_ptr<RegisterFile>> registerFiles_;
    // Mutexes of one name are one lock for every holder on this machine.
    std::map<std::string, std::shared_ptr<MutexState>> mutexes_;
};

}  // namespace platform::sim
