#pragma once
// The program's only view of the machine it runs on. Everything outside
// src/platform reaches the machine through platform::current(); which backend
// answers (the simulated board or the native one) is decided once at start.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

class Desktop;
class KernelClaims;
class PciReveal;
class Libraries;
class TempFiles;
class Wmi;

struct LocalTime {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    int utcOffsetMinutes = 0;  // local time minus UTC, daylight saving included
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
    // What the translation components capture and their locale lines set.
    std::string currencyString = "$";
    std::string longDateFormat = "dddd, mmmm d, yyyy";
    std::string shortTimeFormat = "h:nn AMPM";
    std::string timeAMString = "AM";
    std::string timePMString = "PM";
    std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> longMonthNames{"January", "February", "March",     "April",   "May",      "June",
                                               "July",    "August",   "September", "October", "November", "December"};
    std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> longDayNames{"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
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
    bool serverR2 = false;  // the system metric that marks a Server 2003 R2
    // What the version query answers: the extended record, only the short
    // one (no service-pack numbers, suite mask or product type), or nothing.
    enum class Answer : std::uint8_t { Extended, ShortOnly, Fails };
    Answer answer = Answer::Extended;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime localNow() = 0;
    // Milliseconds since an arbitrary start; never goes back.
    virtual std::uint64_t monotonicMs() = 0;
    virtual void sleepMs(std::uint32_t ms) = 0;
    // The high-resolution counter: its counts per second (0 when the machine
    // has none) and its current count.
    virtual std::uint64_t performanceFrequency() { return 0; }
    virtual std::uint64_t performanceCount() { return 0; }
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
    // True when the value existed; the key stays.
    virtual bool deleteValue(const std::string& key, const std::string& name) = 0;
};

// A cross-process mutex known by name. Waits have no time-out.
class NamedMutex {
public:
    virtual ~NamedMutex() = default;
    virtual void lock() = 0;
    virtual bool tryLock() = 0;
    virtual void unlock() = 0;
};

// The system's error code of a request that failed without a better reason.
inline constexpr std::uint32_t ErrorGenFailure = 31;

// A device opened by its path ("\\.\caldavor", "\\.\PhysicalDrive0", ...).
class Device {
public:
    virtual ~Device() = default;
    // One control request. The device reads `input`, writes at most
    // output.size() bytes to `output` and reports a byte count in `returned`
    // (what the request defines: normally the bytes written). False when the
    // device refuses or fails the request.
    virtual bool control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                         std::uint32_t& returned) = 0;
    // The system's error code of the last failed request.
    virtual std::uint32_t lastError() const { return ErrorGenFailure; }

    // Message transfers with a time-out in milliseconds, waited on the
    // platform clock. Nothing is left pending when they return.
    enum class TransferStatus : std::uint8_t { Done, TimedOut, Failed };
    struct Transfer {
        TransferStatus status = TransferStatus::Failed;
        std::uint32_t count = 0;  // bytes moved when done
        std::uint32_t error = 0;  // the system's error code when failed
    };
    // A device without messages refuses them with error 1 (invalid function).
    virtual Transfer write(std::span<const std::uint8_t> /*data*/, std::uint32_t /*timeoutMs*/) {
        return {TransferStatus::Failed, 0, 1};
    }
    virtual Transfer read(std::span<std::uint8_t> /*buffer*/, std::uint32_t /*timeoutMs*/) {
        return {TransferStatus::Failed, 0, 1};
    }
};

// The system's error code of a request that ran out of time (ERROR_TIMEOUT).
inline constexpr std::uint32_t ErrorTimeout = 1460;

// The system's error code for a path that names no device.
inline constexpr std::uint32_t ErrorFileNotFound = 2;
inline constexpr std::uint32_t ErrorAccessDenied = 5;
inline constexpr std::uint32_t ErrorInvalidParameter = 87;

struct DeviceOpenResult {
    std::unique_ptr<Device> device;  // empty when the path did not open
    std::uint32_t error = 0;         // the system's error code then
};

// The calendar fields of a time point.
LocalTime localTimeOf(std::chrono::sys_time<std::chrono::milliseconds> time);

// Port instructions and plain physical-memory access by the process itself,
// as a system without protection, or a granted port right, allows.
class DirectAccess {
public:
    virtual ~DirectAccess() = default;
    // Width 1, 2 or 4.
    virtual std::uint32_t readPort(std::uint16_t port, int width) = 0;
    virtual void writePort(std::uint16_t port, int width, std::uint32_t value) = 0;
    // Bytes copied: all of them, or 0 when the range is not memory.
    virtual std::size_t readMemory(std::uint32_t address, std::span<std::uint8_t> buffer) = 0;
    virtual void writeMemoryDWord(std::uint32_t address, std::uint32_t value) = 0;
};

class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // The binary path of an installed service; nullopt when there is none.
    virtual std::optional<std::string> binaryPath(const std::string& service) = 0;
};

// Setup-API property codes the device lists carry (SPDRP_*).
namespace devprop {
enum : std::uint32_t {
    DeviceDesc = 0, HardwareId = 1, CompatibleIds = 2, Service = 4, Class = 7, ClassGuid = 8, Driver = 9,
    Mfg = 11, FriendlyName = 12, LocationInformation = 13, PhysicalDeviceObjectName = 14, UiNumber = 16,
    UpperFilters = 17, LowerFilters = 18, BusTypeGuid = 19, EnumeratorName = 22, Address = 28,
    UiNumberDescFormat = 29, LocationPaths = 35,
};
}

// One device of a device list: its registry properties as raw bytes, as the
// system stores them (strings zero-terminated, multi-strings with a zero
// after each string and one at the end, numbers as little-endian dwords).
using Guid = std::array<std::uint8_t, 16>;

// One device interface: the path that opens it, and whether its detail
// record can be read.
struct DeviceInterface {
    std::string path;
    bool detailReadable = true;
};

struct DeviceRecord {
    std::map<std::uint32_t, std::vector<std::uint8_t>> properties;
    // The interfaces of the class asked for, in the system's order.
    std::vector<DeviceInterface> interfaces;

    void setString(std::uint32_t code, const std::string& text);
    void setMultiString(std::uint32_t code, const std::vector<std::string>& texts);
    void setDword(std::uint32_t code, std::uint32_t value);
    void setGuid(std::uint32_t code, const std::array<std::uint8_t, 16>& guid);
};

struct DeviceQuery {
    std::string enumerator;  // empty: every enumerator
    bool presentOnly = false;
    bool deviceInterface = false;  // only devices that offer an interface
};

// HKEY_LOCAL_MACHINE, read only. Keys are written as the program names them;
// case does not matter.
class SystemRegistry {
public:
    virtual ~SystemRegistry() = default;
    virtual bool keyExists(const std::string& key) = 0;
    // String values only.
    virtual std::optional<std::string> readString(const std::string& key, const std::string& name) = 0;
    // Any value as the bytes the system stores for it.
    virtual std::optional<std::vector<std::uint8_t>> readBinary(const std::string& key, const std::string& name) = 0;
    // Names of the subkeys, in the system's order.
    virtual std::vector<std::string> subKeys(const std::string& key) = 0;
    // Writes a REG_DWORD into an existing key; 0, or the system's error code.
    virtual std::uint32_t writeDWord(const std::string& key, const std::string&, std::uint32_t) {
        return keyExists(key) ? ErrorAccessDenied : ErrorFileNotFound;
    }
};

// What the joystick position query answers: the axes (0 to 65535) and the
// buttons held.
struct JoystickPosition {
    std::uint32_t x = 0, y = 0, z = 0;
    std::uint32_t buttons = 0;
};

// HKEY_DYN_DATA of the 9x family, where the kernel publishes its statistics:
// reading a statistic under "PerfStats\StartStat" starts it, under
// "PerfStats\StatData" samples it and under "PerfStats\StopStat" stops it.
class DynamicData {
public:
    virtual ~DynamicData() = default;
    virtual bool keyOpens(const std::string& key) = 0;
    // A 4-byte value; nullopt when it cannot be read.
    virtual std::optional<std::uint32_t> readDWord(const std::string& key, const std::string& name) = 0;
};

// The system's answer to a performance-data query that needs more room.
inline constexpr std::uint32_t ErrorMoreData = 234;

// The four registers of one CPUID execution.
struct CpuidRegisters {
    std::uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// A block of memory that other processes open by its name.
class SharedMemory {
public:
    virtual ~SharedMemory() = default;
    virtual std::span<std::uint8_t> bytes() = 0;
    // The block existed before this process opened it.
    virtual bool existed() const = 0;
};

struct SharedMemoryOpenResult {
    enum class Failure : std::uint8_t { None, Handle, View };
    std::unique_ptr<SharedMemory> block;  // empty when it failed
    Failure failure = Failure::None;      // which stage failed
    std::string reason;                   // the system's text, for the trace
};

// The system's power status; 255 in a field means unknown.
struct PowerStatus {
    std::uint8_t acLineStatus = 255;        // 0 offline, 1 online
    std::uint8_t batteryFlag = 255;         // 8 charging, 128 no battery
    std::uint8_t batteryLifePercent = 255;  // 0-100
};

// What other programs send the main window: one (wParam, lParam) per command.
struct WindowCommand {
    std::int64_t wParam = 0;
    std::int64_t lParam = 0;
    bool operator==(const WindowCommand&) const = default;
};

// Power events of the host that arrive beside the backend, through the
// desktop session (natively logind's sleep announcements).
class PowerEventSource {
public:
    virtual ~PowerEventSource() = default;
    // The wParam codes that came since the last call, in order.
    virtual std::vector<std::uint32_t> takePowerEvents() = 0;
    // The window has run its handling of one of them.
    virtual void powerEventHandled(std::uint32_t wParam) = 0;
};

class CommandChannel {
public:
    virtual ~CommandChannel() = default;
    // The commands that arrived since the last call, in order.
    virtual std::vector<WindowCommand> takeCommands() = 0;
    // A descriptor that turns readable when something may have arrived; -1
    // when the owner polls instead.
    virtual int readableHandle() const { return -1; }
};

// The scheduling priority of the process (its priority class) and of the
// calling thread, in the system's numbers.
struct SchedulingPriority {
    static constexpr std::uint32_t NormalClass = 0x20;
    static constexpr std::uint32_t RealtimeClass = 0x100;
    static constexpr int ThreadNormal = 0;
    static constexpr int ThreadTimeCritical = 15;
    std::uint32_t processClass = NormalClass;
    int thread = ThreadNormal;
    bool operator==(const SchedulingPriority&) const = default;
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
    // Overrides the user's format settings (a translation's locale lines).
    virtual void setLocale(const LocaleInfo& locale) = 0;
    virtual Registry& registry() = 0;
    // nullptr when the mutex cannot be created.
    virtual std::unique_ptr<NamedMutex> createMutex(const std::string& name) = 0;

    // The facilities below answer as a machine that lacks them, unless a
    // backend serves them.

    // Opens a device by its path; a missing device answers error 2.
    virtual DeviceOpenResult openDevice(const std::string& path);
    // The backend traces a refused device itself, naming it and the system's reason.
    virtual bool namesDeviceRefusals() const { return false; }
    // nullptr when the process may not execute port instructions itself.
    virtual DirectAccess* directAccess();

    virtual unsigned processorCount();
    virtual std::uint64_t processAffinity();
    // 0 when the mask is in force, else the system's error code.
    virtual std::uint32_t setProcessAffinity(std::uint64_t mask);
    // The processors the program may run on as 64-bit words (word n holds
    // processors 64n to 64n+63), so machines with more than 64 are named too.
    virtual std::vector<std::uint64_t> affinityWords();
    // 0 when the set is in force, else the system's error code.
    virtual std::uint32_t setAffinityWords(const std::vector<std::uint64_t>& words);
    // The processor the calling thread runs on now; nullopt when the machine
    // cannot tell. By default the lowest processor of the affinity set.
    virtual std::optional<unsigned> currentProcessor();
    // CPUID with EAX = leaf and ECX = subleaf on the processor the program
    // runs on; a machine that does not answer gives zeros.
    virtual CpuidRegisters cpuid(std::uint32_t leaf, std::uint32_t subleaf);
    // The time-stamp counter of the processor the program runs on; 0 on a
    // machine without one.
    virtual std::uint64_t timeStampCounter() { return 0; }
    // The process's and the calling thread's priority; a platform that does
    // not change them (the native one: raising needs privileges) answers the
    // normal ones and ignores the setter.
    virtual SchedulingPriority schedulingPriority() { return {}; }
    virtual void setSchedulingPriority(const SchedulingPriority&) {}

    // nullptr when the process may not open the service manager.
    virtual std::unique_ptr<ServiceManager> openServiceManager();
    // nullopt when the system has no device lists.
    virtual std::optional<std::vector<DeviceRecord>> listDevices(const DeviceQuery& query);
    // Present devices exposing an interface class, each with its interfaces;
    // nullopt when the system has no device lists.
    virtual std::optional<std::vector<DeviceRecord>> listInterfaces(const Guid& interfaceClass);
    virtual SystemRegistry& systemRegistry();

    virtual std::optional<std::string> environmentVariable(const std::string& name);
    virtual std::string systemDir() const;
    // Files by their Windows path (the system folder's drivers); a machine
    // without that folder has none and copies nothing.
    virtual bool fileExists(const std::string& path);
    // Fails when the target exists.
    virtual bool copyFile(const std::string& from, const std::string& to);
    virtual std::string computerName();
    // The machine's IPv4 address as dotted text; 127.0.0.1 when it has no other.
    virtual std::string ipv4Address();
    virtual std::string userName();
    // The keyboard state byte of a virtual key (bit 0 toggled, bit 7 held).
    virtual std::uint8_t keyState(std::uint8_t virtualKey);
    // Milliseconds since the system started.
    virtual std::uint64_t uptimeMs();
    // The 32-bit tick count: the low bits of uptimeMs().
    virtual std::uint32_t tickCount() { return static_cast<std::uint32_t>(uptimeMs()); }
    // HKEY_PERFORMANCE_DATA: the objects named by their title indexes ("238")
    // in the system's published block layout (platform/perfdata.h). 0 with
    // the block's size in `size`; ErrorMoreData when `buffer` cannot hold it;
    // else the system's error code.
    virtual std::uint32_t queryPerformanceData(const std::string& objects, std::span<std::uint8_t> buffer,
                                               std::uint32_t& size);
    // None on a system without HKEY_DYN_DATA.
    virtual DynamicData* dynamicData() { return nullptr; }
    // Which kernel driver holds a port range or PCI function (kernelclaims.h).
    virtual KernelClaims& kernelClaims();
    // How a PCI function that a configuration write unhides is reached (pcireveal.h).
    virtual PciReveal& pciReveal();
    // Sets the process error mode and answers the previous one; nothing here.
    virtual std::uint32_t setErrorMode(std::uint32_t) { return 0; }
    // The WMI service; none when it is not registered (wmi.h).
    virtual Wmi* wmi() { return nullptr; }
    // Run-time libraries by path (library.h).
    virtual Libraries& libraries();
    // The program's own files in the temporary folder (tempfiles.h).
    virtual TempFiles& tempFiles();
    // A library image the program carries under `block`; empty when the
    // build holds none.
    virtual std::vector<std::uint8_t> libraryImage(const std::string& block);
    // The position of joystick `id` (0-based); nullopt when the query fails.
    virtual std::optional<JoystickPosition> joystickPosition(unsigned id);

    virtual std::uint32_t processId();
    // Creates the named block of `size` bytes, or opens the existing one; an
    // existing block smaller than `size` is refused as a view failure.
    virtual SharedMemoryOpenResult openSharedMemory(const std::string& name, std::size_t size);
    // Takes the name away, so no process opens the block again; those that
    // have it keep their view. Nothing where blocks live only with the machine.
    virtual void removeSharedMemory(const std::string&) {}
    // nullopt when the status cannot be read.
    virtual std::optional<PowerStatus> powerStatus();
    // The channel named after `owner` (the number the shared block
    // publishes); none when it cannot be made, with the reason in `reason`.
    virtual std::unique_ptr<CommandChannel> openCommandChannel(std::uint32_t owner, std::string& reason);
    // Power broadcasts (their wParam codes) that came since the last call:
    // the backend's own, then those of the installed source.
    virtual std::vector<std::uint32_t> takePowerEvents();
    // Whether the host's own power events concern this platform, so the
    // desktop session may install a source for them (only the native one).
    virtual bool followsHostPowerEvents() const { return false; }
    // None uninstalls it; the source must outlive its installation.
    void setPowerEventSource(PowerEventSource* source) { powerSource_ = source; }
    void powerEventHandled(std::uint32_t wParam);

private:
    PowerEventSource* powerSource_ = nullptr;
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
