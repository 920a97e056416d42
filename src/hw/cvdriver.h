#pragma once
// The driver interface: the one object through which the program touches I/O
// ports, physical memory, MSRs and the Dell SMI call. It reaches them directly
// on Windows 9x or with the port right GiveIO grants, and otherwise through
// requests to the program's driver device.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

#include "platform/driverctl.h"
#include "platform/platform.h"

class EPortError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using TSMIRegisters = platform::drv::SmiRegisters;

// Process-wide state of driver opening.
struct TDriverStartFlags {
    bool ServicePathTraced = false;
    bool UseGiveIO = true;  // "/NOGIVEIO" clears it
    bool ACPIHALChecked = false;
    // The multiprocessor test said why an APIC base was not read.
    bool ApicBaseRefusalTraced = false;
};
extern TDriverStartFlags DriverStartFlags;

class TIOPort {
public:
    // Raises EPortError "CALDAVOR Driver Not Installed" when no access path opens.
    TIOPort();
    ~TIOPort();
    TIOPort(const TIOPort&) = delete;
    TIOPort& operator=(const TIOPort&) = delete;

    // Failed reads answer all ones; failed writes do nothing.
    std::uint8_t ReadPortByte(std::uint16_t port);
    std::uint16_t ReadPortWord(std::uint16_t port);
    std::uint32_t ReadPortDWord(std::uint16_t port);
    void WritePortByte(std::uint16_t port, std::uint8_t value);
    void WritePortWord(std::uint16_t port, std::uint16_t value);
    void WritePortDWord(std::uint16_t port, std::uint32_t value);

    // Bytes copied, 0 when the read failed.
    std::uint32_t ReadPhysicalMemory(std::uint32_t physicalAddress, void* buffer, std::uint32_t count);
    void WritePhysicalDWord(std::uint32_t physicalAddress, std::uint32_t value);
    // nullptr when the memory cannot be mapped.
    void* MapPhysicalMemory(std::uint32_t physicalAddress, std::uint32_t size, std::uint32_t reserved = 0);
    void UnmapPhysicalMemory(void* address, std::uint32_t size);
    std::uint8_t ReadMappedByte(void* address);
    void WriteMappedByte(void* address, std::uint8_t value);
    std::uint8_t ReadMappedByteAlt(void* address);

    // All ones when it cannot be read.
    std::uint64_t ReadMSR(std::uint32_t index);
    // Regs receive what the call answered (all ones when it could not be made).
    bool DellSMICall(TSMIRegisters& regs);

    // 0 when the driver is not open or does not answer.
    std::uint32_t GetDriverMajorVersion();
    std::uint32_t GetDriverMinorVersion();
    // All 0 unless the driver can tell.
    void GetKernelOSVersion(std::uint32_t& major, std::uint32_t& minor, std::uint32_t& build);

    bool GiveIOEnabled = false;
    bool DriverOpen = false;
    bool Is64Bit = false;
    bool Win9x = false;
    bool CanReadMemory = false;
    bool CanReadMSR = false;
    bool CanMapMemory = false;
    bool CanQueryThermal = false;
    bool CanEvalACPI = false;
    bool CanAccessDell = false;
    bool CanQueryRawThermal = false;
    bool CanGetOSVersion = false;
    std::string ServicePath;

private:
    // Port instructions of our own: on Windows 9x and with GiveIO.
    bool portsDirect() const;
    // Null when the system grants the process no direct access after all.
    platform::DirectAccess* direct() const;
    // One driver request; false without a driver or when it fails.
    bool request(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                 std::uint32_t& returned);
    // A request whose answer has a fixed layout, so its byte count is not needed.
    template <class In, class Out>
    bool exchange(std::uint32_t code, const In& in, Out& out) {
        std::uint32_t returned = 0;
        return request(code, platform::drv::bytesOf(in), platform::drv::bytesOf(out), returned);
    }
    std::uint32_t readPort(std::uint32_t code, std::uint16_t port, int width);
    void writePort(std::uint32_t code, std::uint16_t port, int width, std::uint32_t value);
    std::uint8_t readMapped(std::uint32_t code, void* address);
    std::optional<platform::drv::VersionAnswer> driverVersion();
    void openDriver();

    std::unique_ptr<platform::Device> DriverHandle;
};

// The program's driver interface, made by the deferred start-up; empty
// without hardware access.
extern std::unique_ptr<TIOPort> IOPort;
// The driver interface is there and has `capability`.
bool DriverHas(bool TIOPort::*capability);

// The 32-bit program runs under WOW64 on a 64-bit system.
bool IsWow64();
// A path that begins with "\SystemRoot" (any case) has it replaced by the
// environment variable "systemroot"; other paths are returned unchanged.
std::string ExpandSystemRoot(const std::string& path);

// Traces whether the driver's namespace reaches the ACPI HAL device.
void CheckACPIHAL();

// The local APIC base (MSR 1Bh) as a private driver interface reads it on the
// current processor; 0 when it cannot be read. A driver interface that does
// not open is traced and the program goes on.
std::uint64_t RunSMPTest();
// On a multiprocessor machine, runs the test pinned to each processor in turn
// and traces each APIC base read; the first processor not read is traced
// with the reason, once per process, and no value stands in for it.
void RunSMPTestOnEachCPU();
