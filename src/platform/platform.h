#pragma once
// The program's only view of the machine it runs on. Everything outside
// src/platform reaches the machine through platform::current(); which backend
// answers (the simulated board or the native one) is decided once at start.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

class Desktop;

struct LocalTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The user's locale as the program formats with it. Pictures use the
// Delphi tokens (d, dd, m, mm, yy, yyyy, h, hh, n, nn, s, ss, am/pm).
struct LocaleInfo {
    std::string shortDateFormat = "dd/mm/yyyy";
    std::string longTimeFormat = "hh:nn:ss";
    char decimalSeparator = '.';
    char thousandSeparator = ',';
    char dateSeparator = '/';
    char timeSeparator = ':';
};

// The OS version record the program identifies the system by.
struct OsVersion {
    std::uint32_t major = 10, minor = 0, build = 19045;
    std::uint32_t platformId = 2;  // 1 = Windows 9x, 2 = NT
    std::string csdVersion;        // service-pack text
    std::uint16_t servicePackMajor = 0, servicePackMinor = 0;
    std::uint16_t suiteMask = 0;
    std::uint8_t productType = 1;  // 1 workstation, 2 domain controller, 3 server
    bool isWow64 = false;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime localNow() = 0;
    // Milliseconds since an arbitrary start; never goes back.
    virtual std::uint64_t monotonicMs() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;
};

// HKEY_CURRENT_USER. Keys are written as the program names them
// ("\Software\Caldavor\TDlgPost"); case does not matter.
class Registry {
public:
    virtual ~Registry() = default;
    virtual bool keyExists(const std::string& key) = 0;
    virtual std::optional<std::string> readString(const std::string& key, const std::string& name) = 0;
    virtual std::optional<std::uint32_t> readInteger(const std::string& key, const std::string& name) = 0;
    // Writing creates the key.
    virtual bool writeString(const std::string& key, const std::string& name, const std::string& value) = 0;
    virtual bool writeInteger(const std::string& key, const std::string& name, std::uint32_t value) = 0;
};

// A cross-process mutex known by name. Waits have no time-out.
class NamedMutex {
public:
    virtual ~NamedMutex() = default;
    virtual void lock() = 0;
    virtual bool tryLock() = 0;
    virtual void unlock() = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Folder of the program file, ending in "/".
    virtual std::string programDir() const = 0;
    // The Windows folder as the system reports it, no trailing separator.
    virtual std::string windowsDir() const = 0;

    virtual OsVersion osVersion() const = 0;
    // Programs, documents, tones and tray balloons; a machine without a
    // desktop session does nothing (platform/desktop.h).
    virtual Desktop& desktop();
    virtual Clock& clock() = 0;
    virtual LocaleInfo locale() const = 0;
    virtual Registry& registry() = 0;
    // nullptr when the mutex cannot be created.
    virtual std::unique_ptr<NamedMutex> createMutex(const std::string& name) = 0;
};

// The platform in force. Calling it before one is installed is a programming
// error and aborts.
Platform& current();
bool isInstalled();

// Installs a platform for the scope's lifetime and gives the previous one back
// at the end, so tests never share a machine.
class ScopedPlatform {
public:
    explicit ScopedPlatform(Platform& platform);
    ~ScopedPlatform();
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    Platform* previous_;
};

}  // namespace platform
