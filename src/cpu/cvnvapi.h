#pragma once
// The GPU library's binding and its list of physical GPUs: LoadNvApi binds
// every function of the table by id once at start; EnumerateNVApi (re)builds
// the card list, which only grows, so an index into it stays valid.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hw/cvnvidiasources.h"
#include "platform/gpulibraries.h"

struct TNVApiCard {
    platform::nvapi::Handle GpuHandle = nullptr;
    std::uint32_t BusId = 0, BusSlotId = 0, DeviceId = 0, SubSystemId = 0, RevisionId = 0, ExtDeviceId = 0;
    std::string Name;
    std::int32_t DriverVersion = 0;
    bool Stale = false;
    // Whether NVAPI could not give the bus or the slot of this card.
    bool BusIdUnknown = true, BusSlotUnknown = true;
};

struct TNVApiDriverInfo {
    std::int32_t DriverVersion = 0;
    std::int32_t BuildChangeList = 0;
    std::string Branch;
};

// The bound functions that the program calls; each empty when not found.
struct TNvApiFunctions {
    std::function<platform::nvapi::StatusText> GetErrorMessage;
    std::function<platform::nvapi::EnumGpus> EnumPhysicalGPUs;
    std::function<platform::nvapi::HandleIndexRecord> GetThermalSettings, GetCoolerSettings;
    std::function<platform::nvapi::TextOut> GetInterfaceVersionString;
    std::function<platform::nvapi::HandleRecord> GetDisplayDriverVersion, GetDriverMemoryInfo,
        GetDisplayDriverMemoryInfo, GetVoltages;
    std::function<platform::nvapi::EnumHandle> EnumNvidiaDisplayHandle, EnumNvidiaUnAttachedDisplayHandle;
    std::function<platform::nvapi::HandleText> GetFullName;
    std::function<platform::nvapi::PciIdentifiers> GetPCIIdentifiers;
    std::function<platform::nvapi::HandleValue> GetBusId, GetBusSlotId, GetTachReading, GetRamType;
    std::function<platform::nvapi::VersionAndText> GetDriverAndBranchVersion;
    TNvI2CEntries I2C;
};

// The loader; does nothing when the library is bound already.
void LoadNvApi();
// Releases the library and forgets the binding, the notes and the card list
// (the program's end, and tests).
void UnloadNvApi();
bool NvApiPresent();
const TNvApiFunctions& NvApi();
// Every row's answer, in table order (address 0: not found).
const std::array<std::uintptr_t, platform::nvapi::Functions.size()>& NvApiAddresses();

void NvApiNote(const std::string& text);
const std::vector<std::string>& GetNvApiNotes();

void EnumerateNVApi();
std::vector<TNVApiCard>& NVApiCards();
const TNVApiDriverInfo& NVApiDriverInfo();
// The last GPU's flags of the latest enumeration.
bool BusIdUnknown();
bool BusSlotUnknown();

// Where NvApiLog's window lines go (the main window's LogMessageEx).
void SetNvApiLogSink(std::function<void(const std::string& msg, bool toInfo)> sink);
void NvApiLog(const std::string& msg, bool toTrace, bool toInfo);

std::string NvCoolerControllerText(std::uint32_t code);
std::string NvCoolerTypeText(std::uint32_t code);
std::string NvCoolerTargetText(std::uint32_t code);
std::string NvCoolerPolicyText(std::uint32_t code);
std::string NvThermalTargetText(std::uint32_t code);
std::string NvThermalControllerText(std::uint32_t code);
std::string NvApiErrorText(platform::nvapi::Status status);

// The bus links' view of the binding: the I2C functions and the card list.
TNvidiaSources& NvApiSources();
