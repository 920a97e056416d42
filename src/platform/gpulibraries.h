#pragma once
// The graphics drivers' libraries as every backend offers them: file names,
// entry points and the shapes they are called with. Records cross as bytes
// with the layouts the drivers fix (a size or version dword first); the
// helpers below read and write their little-endian fields.

#include <any>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

inline std::uint32_t getDWord(const std::uint8_t* record, std::size_t offset) {
    std::uint32_t value;
    std::memcpy(&value, record + offset, 4);
    return value;
}
inline void putDWord(std::uint8_t* record, std::size_t offset, std::uint32_t value) {
    std::memcpy(record + offset, &value, 4);
}

// ---- the GPU library: one exported query that maps function ids to functions ----
namespace nvapi {

inline constexpr const char* FileName = "nvapi.dll";
inline constexpr const char* QueryInterfaceName = "nvapi_QueryInterface";
inline constexpr std::uint32_t InitializeId = 0x0150E828;

// What the query answers: the function's address (0 when the id is unknown)
// and the function itself, a std::function of its shape.
struct Entry {
    std::uintptr_t address = 0;
    std::any function;
};
using QueryInterface = Entry(std::uint32_t id);

template <class Shape>
std::function<Shape> bind(const Entry& entry) {
    const auto* typed = std::any_cast<std::function<Shape>>(&entry.function);
    return typed ? *typed : std::function<Shape>{};
}

using Status = std::int32_t;
using Handle = void*;
constexpr std::size_t TextSize = 64;  // every text buffer, terminator included
constexpr std::size_t MaxGpus = 64;

// The I2C request. Fields and order as the driver takes them; the two
// pointers are pointer-sized, so the record is 32 bytes in a 32-bit build.
// Callers zero the whole record, padding included, before they set it.
struct I2CRequest {
    std::uint32_t Version;
    std::uint32_t Port;
    std::uint8_t IsDDCPort;
    std::uint8_t DeviceAddress;  // the 7-bit address shifted left by one
    std::uint8_t Reserved[2];
    std::uint8_t* RegisterAddress;
    std::uint32_t RegisterSize;
    std::uint8_t* Data;
    std::uint32_t DataSize;
    std::uint32_t Speed;
};
// Its size and version 1, as the driver checks them.
inline constexpr std::uint32_t I2CRequestVersion = sizeof(I2CRequest) | 1u << 16;

// Shapes, by their arguments.
using NoArguments = Status();
using StatusText = Status(Status status, char* text);
using TextOut = Status(char* text);
using VersionAndText = Status(std::uint32_t* version, char* text);
using EnumHandle = Status(std::uint32_t index, Handle* handle);
using EnumGpus = Status(Handle* handles, std::uint32_t* count);
using HandleText = Status(Handle handle, char* text);
using HandleRecord = Status(Handle handle, std::uint8_t* record);
using HandleValue = Status(Handle handle, std::uint32_t* value);
using HandleIndexRecord = Status(Handle handle, std::uint32_t index, std::uint8_t* record);
using PciIdentifiers = Status(Handle handle, std::uint32_t* deviceId, std::uint32_t* subSystemId,
                              std::uint32_t* revisionId, std::uint32_t* extDeviceId);
using I2C = Status(Handle handle, I2CRequest* request);
using I2CEx = Status(Handle handle, I2CRequest* request, std::uint32_t* value);

struct Function {
    std::uint32_t id;
    std::string_view name;
};
// Every function the program binds, in binding order.
inline constexpr std::array<Function, 38> Functions{{
    {0x6C2D048C, "NVAPI_GetErrorMessage"},
    {0xE5AC921F, "NVAPI_EnumPhysicalGPUs"},
    {0xE3640A56, "NvAPI_GPU_GetThermalSettings"},
    {0x2FDE12C5, "NvAPI_I2CRead"},
    {0x01053FA5, "NVAPI_GetInterfaceVersionString"},
    {0xF951A4D1, "NVAPI_GetDisplayDriverVersion"},
    {0x9ABDD40D, "NVAPI_EnumNvidiaDisplayHandle"},
    {0x20DE9260, "NVAPI_EnumNvidiaUnAttachedDisplayHandle"},
    {0xCEEE8E9F, "NVAPI_GPU_GetFullName"},
    {0x2DDFB66E, "NVAPI_GPU_GetPCIIdentifiers"},
    {0x1BE0B8E5, "NVAPI_GPU_GetBusId"},
    {0x2A0A350F, "NVAPI_GPU_GetBusSlotId"},
    {0x5F608315, "NVAPI_GPU_GetTachReading"},
    {0xE812EB07, "NVAPI_I2CWrite"},
    {0x283AC65A, "NVAPI_I2CWriteEx"},
    {0x4D7B0709, "NVAPI_I2CReadEx"},
    {0xDA141340, "NVAPI_GPU_GetCoolerSettings"},
    {0x891FA0AE, "NVAPI_GPU_SetCoolerLevels"},
    {0x8F6ED0FB, "NVAPI_GPU_RestoreCoolerSettings"},
    {0x0518A32C, "NVAPI_GPU_GetCoolerPolicyTable"},
    {0x987947CD, "NVAPI_GPU_SetCoolerPolicyTable"},
    {0xD8C4FE63, "NVAPI_GPU_RestoreCoolerPolicyTable"},
    {0xC33BAEB1, "NVAPI_GPU_GetGPUType"},
    {0x1BB18724, "NVAPI_GPU_GetBusType"},
    {0x2926AAAD, "NVAPI_SYS_GetDriverAndBranchVersion"},
    {0x2DC95125, "NVAPI_GetDriverMemoryInfo"},
    {0x774AA982, "NVAPI_GetDisplayDriverMemoryInfo"},
    {0x57F7CAAC, "NVAPI_GPU_GetRamType"},
    {0xD2488B79, "NVAPI_GPU_GetCurrentThermalLevel"},
    {0x7D656244, "NVAPI_GPU_GetVoltages"},
    {0x1EA54A3B, "NVAPI_GPU_GetPerfClocks"},
    {0x07BCF4AC, "NVAPI_GPU_SetPerfClocks"},
    {0xBD71F0C9, "NVAPI_GPU_GetCurrentFanSpeedLevel"},
    {0xCA1DDAF3, "NVAPI_GPU_GetECCStatusInfo"},
    {0xC71F85A6, "NVAPI_GPU_GetECCErrorInfo"},
    {0xC02EEC20, "NVAPI_GPU_ResetECCErrorInfo"},
    {0x77A796F3, "NVAPI_GPU_GetECCConfigurationInfo"},
    {0x1CF639D9, "NVAPI_GPU_SetECCConfiguration"},
}};
// The id of a function by its name; 0 for a name not in the list.
constexpr std::uint32_t IdOf(std::string_view name) {
    for (const Function& f : Functions)
        if (f.name == name) return f.id;
    return 0;
}

// Records: the version dword is the size in the low 16 bits, the version above.
constexpr std::uint32_t RecordVersion(std::uint32_t size, std::uint32_t version) { return size | version << 16; }
namespace record {
constexpr std::uint32_t DisplayDriverVersion = RecordVersion(140, 1);
constexpr std::uint32_t DriverMemoryInfo = RecordVersion(16, 1);
constexpr std::uint32_t DisplayDriverMemoryInfo = RecordVersion(24, 2);
constexpr std::uint32_t ThermalSettings = RecordVersion(68, 1);
constexpr std::uint32_t CoolerSettings = RecordVersion(968, 2);
constexpr std::uint32_t Voltages = RecordVersion(16588, 1);
constexpr std::size_t SizeOf(std::uint32_t version) { return version & 0xFFFF; }

// Offsets inside the records.
constexpr std::size_t ThermalCount = 4, ThermalSensors = 8, ThermalSensorSize = 20, MaxThermalSensors = 3;
constexpr std::size_t CoolerCount = 4, Coolers = 8, CoolerSize = 48, MaxCoolers = 20;
constexpr std::size_t VoltageDomainCount = 8, VoltageDomains = 12, VoltageDomainSize = 1036, MaxVoltageDomains = 16;
constexpr std::size_t VoltageEntryCount = 8, VoltageEntries = 12, VoltageEntrySize = 8;
constexpr std::size_t MaxVoltageEntries = (VoltageDomainSize - VoltageEntries) / VoltageEntrySize;
}  // namespace record

}  // namespace nvapi

// ---- the control panel's library ----
namespace nvcpl {
inline constexpr const char* FileName = "nvcpl.dll";
inline constexpr const char* GetThermalSettings = "NvCplGetThermalSettings";
using ThermalSettings = std::int32_t(std::uint32_t monitor, std::uint32_t* core, std::uint32_t* ambient,
                                     std::uint32_t* limit);
}  // namespace nvcpl

// ---- the other maker's display library ----
namespace adl {
inline constexpr const char* FileName = "atiadlxx.dll";
inline constexpr const char* FileName32 = "atiadlxy.dll";

// The library allocates its own buffers through the caller's routine.
using Allocate = std::function<void*(int size)>;
using Create = int(Allocate allocate, int connectedOnly);
using NoArguments = int();
using IntOut = int(int* value);
using BufferIn = int(std::uint8_t* buffer, int size);
using AdapterRecord = int(int adapter, std::uint8_t* record);
using AdapterTwoInts = int(int adapter, int* first, int* second);
using ControllerRecord = int(int adapter, int thermalController, std::uint8_t* record);
using AdapterController = int(int adapter, int thermalController);

// The entry points, in binding order, with what each is called with.
inline constexpr const char* MainControlCreate = "ADL_Main_Control_Create";
inline constexpr const char* MainControlDestroy = "ADL_Main_Control_Destroy";
inline constexpr const char* GraphicsPlatformGet = "ADL_Graphics_Platform_Get";
inline constexpr const char* NumberOfAdaptersGet = "ADL_Adapter_NumberOfAdapters_Get";
inline constexpr const char* AdapterInfoGet = "ADL_Adapter_AdapterInfo_Get";
inline constexpr const char* ODClockInfoGet = "ADL_Display_ODClockInfo_Get";
inline constexpr const char* I2CRevGet = "ADL_Display_WriteAndReadI2CRev_Get";
inline constexpr const char* WriteAndReadI2C = "ADL_Display_WriteAndReadI2C";
inline constexpr const char* CurrentActivityGet = "ADL_Overdrive5_CurrentActivity_Get";
inline constexpr const char* TemperatureGet = "ADL_Overdrive5_Temperature_Get";
inline constexpr const char* FanSpeedInfoGet = "ADL_Overdrive5_FanSpeedInfo_Get";
inline constexpr const char* FanSpeedGet = "ADL_Overdrive5_FanSpeed_Get";
inline constexpr const char* FanSpeedSet = "ADL_Overdrive5_FanSpeed_Set";
inline constexpr const char* FanSpeedToDefaultSet = "ADL_Overdrive5_FanSpeedToDefault_Set";
inline constexpr std::array<const char*, 14> EntryPoints{
    MainControlCreate, MainControlDestroy, GraphicsPlatformGet, NumberOfAdaptersGet, AdapterInfoGet,
    ODClockInfoGet,    I2CRevGet,          WriteAndReadI2C,     CurrentActivityGet,  TemperatureGet,
    FanSpeedInfoGet,   FanSpeedGet,        FanSpeedSet,         FanSpeedToDefaultSet};

// Record sizes and field offsets.
constexpr std::size_t NameSize = 256;
// A text field of a record: up to its terminator, at most NameSize characters.
inline std::string textAt(const std::uint8_t* record, std::size_t offset) {
    const char* text = reinterpret_cast<const char*>(record + offset);
    return std::string(text, strnlen(text, NameSize));
}
constexpr std::size_t AdapterInfoSize = 1572;
namespace adapter {
constexpr std::size_t Index = 4, UDID = 8, Bus = 264, Device = 268, Function = 272, VendorId = 276,
                      AdapterName = 280, DisplayName = 536, Present = 792, Exist = 796, DriverPath = 800,
                      DriverPathExt = 1056, PNPString = 1312, OSDisplayIndex = 1568;
}
constexpr std::size_t TemperatureSize = 8, ActivitySize = 40, FanInfoSize = 24, FanValueSize = 16;
namespace fan {
constexpr std::size_t Flags = 4, MinPercent = 8, MaxPercent = 12, MinRPM = 16, MaxRPM = 20;  // speed information
constexpr std::size_t SpeedType = 4, Speed = 8, ValueFlags = 12;                               // speed value
constexpr int Percent = 1, RPM = 2;
constexpr int UserDefined = 1;
}  // namespace fan

// The I2C transaction; the data pointer is pointer-sized.
struct I2CRequest {
    int Size;
    int Line;
    int Address;  // the 7-bit address shifted left by one
    int Offset;
    int Action;   // 1: read
    int Speed;
    int DataSize;
    char* Data;
};
constexpr int I2CRead = 1;
}  // namespace adl

}  // namespace platform
