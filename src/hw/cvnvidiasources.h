#pragma once
// What bus links use of the NVIDIA sources: the NVAPI I2C entry points and,
// per NVAPI card index, the GPU handle and driver version. The NVAPI unit of
// the CPU and GPU sources implements it; while none is installed, graphics
// I2C links bit-bang their lines.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/gpulibraries.h"

// The NVAPI I2C request, as the driver takes it.
using TNvI2CRequest = platform::nvapi::I2CRequest;
inline constexpr std::uint32_t NvI2CRequestVersion = platform::nvapi::I2CRequestVersion;

using TNvPhysicalGpuHandle = void*;
// A status of 0 is success. The Ex entries take a third argument, a 32-bit
// value passed by reference.
using TNvI2CCall = std::function<std::int32_t(TNvPhysicalGpuHandle, TNvI2CRequest*)>;
using TNvI2CCallEx = std::function<std::int32_t(TNvPhysicalGpuHandle, TNvI2CRequest*, std::uint32_t*)>;

// Each entry point is empty when the driver does not offer it.
struct TNvI2CEntries {
    TNvI2CCall I2CRead;
    TNvI2CCallEx I2CReadEx;
    TNvI2CCall I2CWrite;
    TNvI2CCallEx I2CWriteEx;
};

// What the NVAPI card list holds of one card.
struct TNvApiCardInfo {
    TNvPhysicalGpuHandle GpuHandle = nullptr;
    std::uint32_t DriverVersion = 0;  // version x 100
};

class TNvidiaSources {
public:
    virtual ~TNvidiaSources() = default;
    virtual const TNvI2CEntries& I2CEntries() const = 0;
    // nullopt for an index the card list does not hold.
    virtual std::optional<TNvApiCardInfo> Card(int nvapiIndex) const = 0;
};

// The installed sources, or nullptr.
TNvidiaSources* NvidiaSources();
// Installs sources (nullptr: none); the caller keeps them alive.
void SetNvidiaSources(TNvidiaSources* sources);

// The NVAPI I2C port of a card's CRTC line pair (3E3Fh: 0, 3637h: 1,
// 5051h: 2, each also with 3D40h in the upper half); -1 for anything else.
int NvI2CLinesToPort(std::uint32_t lines);

// ---- NVIDIA card services of the GPU sources --------------------------------

// One card object of the global card list.
class TGeForceCard {
public:
    virtual ~TGeForceCard() = default;
    // -1 when NVAPI does not know the card.
    virtual int NvapiIndex() const = 0;
    virtual bool HasTemperature() const = 0;
};

// What SMBus host discovery uses of the GPU sources: the NVAPI card list,
// the card table and the global card list (`GeForceCards`), which owns its
// cards.
class TNvidiaCardServices {
public:
    virtual ~TNvidiaCardServices() = default;
    virtual void EnumerateNVApi() = 0;
    // Index in the NVAPI card list, -1 when none.
    virtual int FindInNVApiCards(int bus, int device, int function, bool anyLocation, std::uint32_t pciId) = 0;
    // Architecture code (0 when unknown) and name of a device id.
    virtual bool LookupNVidiaCard(std::uint16_t deviceId, std::uint8_t& architectureCode, std::string& name) = 0;
    // Creates a card and appends it to `GeForceCards`; answers the new card.
    virtual TGeForceCard& AddGeForceCard(int bus, int device, int function,
                                         std::function<void(const std::string&)> log) = 0;
    // Position of the newest card in `GeForceCards`.
    virtual int GeForceCardCount() const = 0;
};
