#pragma once
// The control interface of the program's driver device "\\.\caldavor": its
// control codes and the byte layouts of their buffers. The driver interface
// object and every backend that answers the device share this one header.
//
// Dwords are little-endian. A reserved dword carries no meaning. An address in
// the caller's process is pointer-sized, so on a 32-bit build every layout has
// exactly the size of the original interface; a 64-bit build widens only those
// fields.

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>

namespace platform::drv {

static_assert(std::endian::native == std::endian::little, "the layouts are little-endian");

constexpr std::uint32_t DeviceType = 0x9C40;

// Any access, buffered transfer.
constexpr std::uint32_t controlCode(std::uint32_t function) { return (DeviceType << 16) | (function << 2); }

enum Code : std::uint32_t {
    ReadPortByte = controlCode(0x901),
    WritePortByte = controlCode(0x902),
    ReadPortWord = controlCode(0x903),
    WritePortWord = controlCode(0x904),
    ReadPortDWord = controlCode(0x905),
    WritePortDWord = controlCode(0x906),
    ReadPhysicalMemory = controlCode(0x908),
    DellSmiCall = controlCode(0x909),
    WritePhysicalDWord = controlCode(0x90C),
    DriverVersion = controlCode(0x90D),
    ReadMsr = controlCode(0x90E),
    MapPhysicalMemory = controlCode(0x912),
    UnmapPhysicalMemory = controlCode(0x913),
    ReadMappedByte = controlCode(0x914),
    WriteMappedByte = controlCode(0x915),
    ReadMappedByteAlt = controlCode(0x918),
    RawThermalQuery = controlCode(0x920),  // sent to a namespace device
    KernelOsVersion = controlCode(0x921),
};

// The system's own thermal-zone information query on a namespace device.
constexpr std::uint32_t ThermalZoneInformationQuery = 0x294080;

// major x 1000 + minor, the number the driver's capabilities follow.
constexpr std::uint32_t versionNumber(std::uint32_t major, std::uint32_t minor) { return major * 1000 + minor; }

// The version numbers from which a driver offers each capability.
namespace since {
constexpr std::uint32_t ReadMsr = 1002;
constexpr std::uint32_t MapMemory = 1003;
constexpr std::uint32_t DeviceNamespace = 1006;  // thermal queries and ACPI evaluation on kernel devices
constexpr std::uint32_t DellSmi = 2001;
constexpr std::uint32_t RawThermal = 2002;
constexpr std::uint32_t KernelOsVersion = 2003;
}  // namespace since

constexpr const char* DevicePath = "\\\\.\\caldavor";
constexpr const char* GiveIoPath = "\\\\.\\giveio";
// Kernel device objects are reached as NamespacePrefix + object name.
constexpr const char* NamespacePrefix = "\\\\.\\caldavor\\Device\\";

#pragma pack(push, 1)

// Port reads and writes (input); `value` is reserved for reads.
struct PortRequest {
    std::uint32_t port;
    std::uint32_t value;
};
// Port reads (output): the value in the first bytes.
struct PortAnswer {
    std::uint32_t value;
    std::uint32_t unused;
};

// Read physical memory: the driver fills the caller's buffer; the returned
// byte count is the result. The output block is not read.
struct MemoryReadRequest {
    std::uint32_t address;
    std::uint32_t count;
    std::uintptr_t buffer;
};
struct MemoryReadAnswer {
    std::uint32_t unused[3];
};

struct MemoryWriteRequest {
    std::uint32_t address;
    std::uint32_t value;
};

// Dell SMI call: the four registers in and out.
struct SmiRegisters {
    std::uint32_t eax;
    std::uint32_t ebx;
    std::uint32_t ecx;
    std::uint32_t edx;
};

struct VersionRequest {
    std::uint32_t reserved[2];
};
struct VersionAnswer {
    std::uint32_t major;
    std::uint32_t minor;
};

struct MsrRequest {
    std::uint32_t index;
    std::uint32_t reserved;
};
struct MsrAnswer {
    std::uint32_t low;
    std::uint32_t high;
};

struct MapRequest {
    std::uint32_t address;
    std::uint32_t size;
    std::uint32_t reserved;
};
struct MapAnswer {
    std::uintptr_t mapped;
    std::uint32_t unused[2];
};

struct UnmapRequest {
    std::uintptr_t mapped;
    std::uint32_t size;
};

// Mapped-byte reads and writes; `value` is reserved for reads.
struct MappedByteRequest {
    std::uintptr_t address;
    std::uint32_t value;
};
struct MappedByteAnswer {
    std::uint32_t value;
    std::uint32_t unused;
};

struct KernelOsVersionAnswer {
    std::uint32_t major;
    std::uint32_t minor;
    std::uint32_t build;
};

// The answer to ThermalZoneInformationQuery; temperatures in tenths of a kelvin.
struct ThermalInformation {
    std::uint32_t thermalStamp;
    std::uint32_t thermalConstant1;
    std::uint32_t thermalConstant2;
    std::uint32_t processors;
    std::uint32_t samplingPeriod;
    std::uint32_t currentTemperature;
    std::uint32_t passiveTripPoint;
    std::uint32_t criticalTripPoint;
    std::uint8_t activeTripPointCount;
    std::uint8_t reserved[3];
    std::uint32_t activeTripPoint[10];
};

#pragma pack(pop)

// Raw thermal data: up to 256 bytes of dwords.
constexpr std::size_t RawThermalMaxBytes = 256;
using RawThermalData = std::array<std::uint32_t, RawThermalMaxBytes / 4>;

constexpr std::size_t PointerWidening = sizeof(std::uintptr_t) - 4;
static_assert(sizeof(PortRequest) == 8 && sizeof(PortAnswer) == 8);
static_assert(sizeof(MemoryReadRequest) == 12 + PointerWidening && sizeof(MemoryReadAnswer) == 12);
static_assert(sizeof(MemoryWriteRequest) == 8 && sizeof(SmiRegisters) == 16);
static_assert(sizeof(VersionRequest) == 8 && sizeof(VersionAnswer) == 8);
static_assert(sizeof(MsrRequest) == 8 && sizeof(MsrAnswer) == 8);
static_assert(sizeof(MapRequest) == 12 && sizeof(MapAnswer) == 12 + PointerWidening);
static_assert(sizeof(UnmapRequest) == 8 + PointerWidening);
static_assert(sizeof(MappedByteRequest) == 8 + PointerWidening && sizeof(MappedByteAnswer) == 8);
static_assert(sizeof(KernelOsVersionAnswer) == 12);
static_assert(sizeof(ThermalInformation) == 76);

template <class T>
std::span<const std::uint8_t> bytesOf(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    return {reinterpret_cast<const std::uint8_t*>(&value), sizeof(T)};
}

template <class T>
std::span<std::uint8_t> bytesOf(T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    return {reinterpret_cast<std::uint8_t*>(&value), sizeof(T)};
}

// The layout T read from a buffer; false when the buffer is too short.
template <class T>
bool readLayout(std::span<const std::uint8_t> bytes, T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (bytes.size() < sizeof(T)) return false;
    std::memcpy(&value, bytes.data(), sizeof(T));
    return true;
}

// Writes T to the front of a buffer; false when the buffer is too short.
template <class T>
bool writeLayout(std::span<std::uint8_t> bytes, const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (bytes.size() < sizeof(T)) return false;
    std::memcpy(bytes.data(), &value, sizeof(T));
    return true;
}

}  // namespace platform::drv
