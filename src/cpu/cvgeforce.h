#pragma once
// NVIDIA cards found on the PCI bus: identity from the card table, the
// register window at BAR0, and the GPU temperature through the GPU library
// or the card's thermal register, converted by a model from the card's
// architecture or from its video BIOS.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "hw/cvnvidiasources.h"

// The table's data is generated (scripts/gen_nvidia_cards.py).
struct TNVidiaCardRow {
    std::uint16_t DeviceId;
    std::uint8_t Architecture;
    std::uint8_t Known;
    const char* Name;
};
std::span<const TNVidiaCardRow> NVidiaCardTable();

struct TThermalModel {
    double Offset = 0;
    std::int32_t OffsetNum = 0, OffsetDen = 0;
    double Slope = 1.0;
    std::int32_t SlopeNum = 0, SlopeDen = 0;
    std::int32_t Bias = 0;
    // Offset and Slope from the integers (0 and 1.0 for a zero denominator).
    void Derive();
};
// The default model of an architecture.
TThermalModel DefaultThermalModel(std::uint8_t architecture);

struct TGeForceBIOSInfo {
    bool Parsed = false;
    std::uint16_t VendorId = 0, DeviceId = 0;
    std::uint8_t Architecture = 0;
    std::string Name, BiosVersion, BiosString1, BiosString2;
    TThermalModel DefaultModel, BiosModel;
    int ThresholdCount = 0;
    std::array<int, 5> Thresholds{};
};

using TVideoBios = std::vector<std::uint8_t>;  // 65536 bytes
constexpr std::size_t VideoBiosSize = 0x10000;

// -1 when `text` is not in the image at or after `start`.
int FindBiosSignature(const TVideoBios& image, std::string_view text, int start);
std::string BinaryText16(std::uint16_t value);

class TGeForcePciCard : public TGeForceCard {
public:
    using TLogEvent = std::function<void(const std::string& msg, bool toInfo)>;
    enum TModel { DefaultModel = 0, BiosModel = 1, MixedModel = 2 };

    TGeForcePciCard(int bus, int device, int function, TLogEvent onLog);
    ~TGeForcePciCard() override;

    int NvapiIndex() const override { return FNvApiIndex; }
    bool HasTemperature() const override;
    double ReadTemperature(int model);
    std::string GetCardKey() const;
    void* GetRegisters();
    std::uint8_t Architecture() const { return FArchitecture; }
    const TGeForceBIOSInfo& BiosInfo() const { return FBiosInfo; }
    std::uint32_t Bar0() const { return FBar0; }

    bool ValidateVideoBios(const TVideoBios& image);
    bool ReadVideoBios(TVideoBios& image);
    void ParseVideoBios(const TVideoBios& image);

private:
    void GeForceLog(const std::string& msg, bool toInfo = false);
    void ScanBaseAddresses();
    void Dump(std::uint32_t offset, int dwords);
    double RegisterTemperature(int model);
    bool ReadRomWindow(TVideoBios& image);
    bool ReadRomByUnits(TVideoBios& image, std::uint32_t unit, int repeats);
    void WriteBiosCache(const TVideoBios& image);
    std::string CacheFileName() const;
    void WalkBitTokens(const TVideoBios& image, int bit);
    void ParseThermalTable(const TVideoBios& image, int table);
    void ReportNvApi(const std::vector<std::array<std::uint32_t, 5>>& sensors);

    TLogEvent FOnLog;
    int FBus, FDevice, FFunction;
    std::uint32_t FBar0 = 0, FRegWindow = 0, FRomWindow = 0;
    TGeForceBIOSInfo FBiosInfo;
    std::uint8_t FArchitecture = 0;
    bool FRegistersMapped = false;
    void* FRegisters = nullptr;
    int FNvApiIndex = -1;
    bool FReportPending = true;
};

// The global card list; sensors refer to a card by its index.
std::vector<std::unique_ptr<TGeForcePciCard>>& GeForceCards();
// Cleared by "/NOGEFORCEROM": no video BIOS is read from a card.
extern bool ReadGeForceRom;

bool LookupNVidiaCard(std::uint16_t deviceId, std::uint8_t& architecture, std::string& name);
int FindInNVApiCards(int bus, int device, int function, bool anyLocation, std::uint32_t pciId);

// What host discovery uses of the cards.
TNvidiaCardServices& GeForceCardServices();
