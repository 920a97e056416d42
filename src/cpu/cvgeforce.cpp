#include "cpu/cvgeforce.h"

#include <algorithm>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "cpu/cvnvapi.h"
#include "hw/cvdriver.h"
#include "hw/cvpci.h"

namespace {

using cvformat::Format;
namespace nv = platform::nvapi;

bool InRegisterSet(std::uint8_t architecture) { return architecture >= 20 && architecture <= 28; }

struct TDefaultModelRow {
    std::uint8_t Architecture;
    std::int32_t OffsetNum, OffsetDen, SlopeNum, SlopeDen;
};
constexpr TDefaultModelRow DefaultModels[] = {
    {22, 32060, 1000, 792, 1000},    {23, 27839, 1000, 780, 1000},    {25, 27839, 1000, 780, 1000},
    {24, -24755, 100, 467, 10000}, {27, -25051, 100, 458, 10000}, {28, -24088, 100, 442, 10000},
};

std::uint32_t RawThermalMask(std::uint8_t architecture) {
    return architecture == 24 || architecture == 27 || architecture == 28 ? 0x1FFF : 0xFF;
}

bool CanReadMemory() { return IOPort && IOPort->CanReadMemory; }

// An entry qualifies by its identity and freshness; `located` says whether its known location matches.
template <class Match>
int LastQualifying(int bus, int device, bool anyLocation, Match identityMatches, bool knownLocationOnly) {
    const auto& cards = NVApiCards();
    int found = -1;
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const TNVApiCard& c = cards[i];
        if (c.Stale || !identityMatches(c)) continue;
        const bool located = !c.BusIdUnknown && !c.BusSlotUnknown && c.BusId == static_cast<std::uint32_t>(bus) &&
                             c.BusSlotId == static_cast<std::uint32_t>(device);
        const bool unknown = c.BusIdUnknown || c.BusSlotUnknown;
        if (knownLocationOnly ? located : (located || unknown || anyLocation)) found = static_cast<int>(i);
    }
    return found;
}

class TCardServices : public TNvidiaCardServices {
public:
    void EnumerateNVApi() override { ::EnumerateNVApi(); }
    int FindInNVApiCards(int bus, int device, int function, bool anyLocation, std::uint32_t pciId) override {
        return ::FindInNVApiCards(bus, device, function, anyLocation, pciId);
    }
    bool LookupNVidiaCard(std::uint16_t deviceId, std::uint8_t& architecture, std::string& name) override {
        return ::LookupNVidiaCard(deviceId, architecture, name);
    }
    TGeForceCard& AddGeForceCard(int bus, int device, int function, std::function<void(const std::string&)> log) override {
        auto onLog = [log](const std::string& msg, bool) {
            if (log) log(msg);
        };
        GeForceCards().push_back(std::make_unique<TGeForcePciCard>(bus, device, function, onLog));
        return *GeForceCards().back();
    }
    int GeForceCardCount() const override { return static_cast<int>(GeForceCards().size()); }
};

}  // namespace

bool ReadGeForceRom = true;


void TThermalModel::Derive() {
    Offset = OffsetDen == 0 ? 0 : static_cast<double>(OffsetNum) / OffsetDen;
    Slope = SlopeDen == 0 ? 1.0 : static_cast<double>(SlopeNum) / SlopeDen;
}

TThermalModel DefaultThermalModel(std::uint8_t architecture) {
    TThermalModel model;
    for (const TDefaultModelRow& row : DefaultModels)
        if (row.Architecture == architecture) model = {0, row.OffsetNum, row.OffsetDen, 1.0, row.SlopeNum, row.SlopeDen, 0};
    model.Derive();
    return model;
}

std::vector<std::unique_ptr<TGeForcePciCard>>& GeForceCards() {
    static std::vector<std::unique_ptr<TGeForcePciCard>> cards;
    return cards;
}

bool LookupNVidiaCard(std::uint16_t deviceId, std::uint8_t& architecture, std::string& name) {
    architecture = 0;
    name.clear();
    bool found = false;
    for (const TNVidiaCardRow& row : NVidiaCardTable()) {
        if (row.DeviceId != deviceId) continue;
        name = row.Name;
        if (row.Known) {
            architecture = row.Architecture;
            found = true;
        }
    }
    if (found) return true;
    const int index = FindInNVApiCards(0, 0, 0, true, std::uint32_t{deviceId} << 16 | 0x10DE);
    if (index < 0) return false;
    WriteDebugLog(Format("Nvidia video card $%.4x was found in NVAPI detected card listing", {deviceId}));
    name = NVApiCards()[static_cast<std::size_t>(index)].Name;
    return true;
}

int FindInNVApiCards(int bus, int device, int function, bool anyLocation, std::uint32_t pciId) {
    if (!NvApiPresent()) {
        WriteDebugLog("WARN: FindInNVApiCards didn't find NVAPI");
        return -1;
    }
    WriteDebugLog("FindInNVApiCards debug data ->");
    WriteDebugLog(Format("  Looking for BUS=$%.8x  DEV=$%.8x  FUNC=$%.8x  DEVID=$%.8x", {bus, device, function, pciId}));
    WriteDebugLog(Format("  NVAPI cards found=%d", {NVApiCards().size()}));
    const auto byId = [pciId](const TNVApiCard& c) { return c.DeviceId == pciId; };
    const auto byVendorAndExt = [pciId](const TNVApiCard& c) {
        return (c.DeviceId & 0xFFFF) == (pciId & 0xFFFF) && (c.ExtDeviceId & 0xFFFF) == (pciId >> 16);
    };
    // An entry at its known location wins over one whose location is unknown.
    for (const bool knownOnly : {true, false}) {
        if (anyLocation && knownOnly) continue;
        if (const int i = LastQualifying(bus, device, anyLocation, byId, knownOnly); i >= 0) return i;
        if (const int i = LastQualifying(bus, device, anyLocation, byVendorAndExt, knownOnly); i >= 0) return i;
    }
    return -1;
}

TNvidiaCardServices& GeForceCardServices() {
    static TCardServices services;
    return services;
}

TGeForcePciCard::TGeForcePciCard(int bus, int device, int function, TLogEvent onLog)
    : FOnLog(std::move(onLog)), FBus(bus), FDevice(device), FFunction(function) {
    ScanBaseAddresses();
    const std::uint32_t id = ReadPCIConfigDWord(bus, device, function, 0);
    if ((id & 0xFFFF) == 0x10DE) {
        std::string name;
        LookupNVidiaCard(static_cast<std::uint16_t>(id >> 16), FArchitecture, name);
    }
    if (FArchitecture != 0) {
        FBiosInfo.DefaultModel = DefaultThermalModel(FArchitecture);
        GeForceLog(Format("  NVCore temperature (default model)=%.2fC", {RegisterTemperature(DefaultModel)}));
        TVideoBios image;
        if (ReadVideoBios(image)) {
            ParseVideoBios(image);
            GeForceLog(Format("  NVCore temperature (BIOS model)=%.2fC", {RegisterTemperature(BiosModel)}));
            GeForceLog(Format("  NVCore temperature (mixed model)=%.2fC", {RegisterTemperature(MixedModel)}));
        } else {
            GeForceLog("  Unable to read Video BIOS", true);
        }
    }
    if (NvApiPresent()) {
        if (NVApiCards().empty()) EnumerateNVApi();
        FNvApiIndex = FindInNVApiCards(bus, device, function, false, id);
        if (FNvApiIndex >= 0) {
            GeForceLog("  Found in NVAPI listed GPUs");
            GeForceLog(Format("  NVAPI reported temperature=%.2fC", {ReadTemperature(DefaultModel)}));
        }
    }
}

TGeForcePciCard::~TGeForcePciCard() {
    if (FRegistersMapped && FRegisters && IOPort) IOPort->UnmapPhysicalMemory(FRegisters, 0x2000);
}

void TGeForcePciCard::GeForceLog(const std::string& msg, bool toInfo) {
    if (FOnLog) FOnLog(msg, toInfo);
    WriteDebugLog(msg);
}

void TGeForcePciCard::ScanBaseAddresses() {
    for (int reg = 0x10; reg <= 0x24; reg += 4) {
        const std::uint32_t value = ReadPCIConfigDWord(FBus, FDevice, FFunction, reg);
        if (value <= 0x0F) continue;
        std::string kind = (value & 1) ? "I/O " : Format("MEM (type %d) ", {(value >> 1) & 3});
        if (!(value & 1) && (value & 8)) kind += "(prefetchable) ";
        GeForceLog(Format("  --> BA[$%.2x]=$%.8x is %s", {reg, value & ~0xFu, kind}));
        if (reg != 0x10 || (value & 1)) continue;
        FBar0 = value & ~0xFu;
        FRegWindow = FBar0 + 0x601000;
        FRomWindow = FBar0 + 0x300000;
        if (!CanReadMemory()) continue;
        Dump(0x10F0, 1);
        Dump(0x15A0, 8);
        Dump(0x15F0, 4);
        Dump(0x4000, 24);
    }
}

void TGeForcePciCard::Dump(std::uint32_t offset, int dwords) {
    std::vector<std::uint32_t> values(static_cast<std::size_t>(dwords), 0);
    IOPort->ReadPhysicalMemory(FBar0 + offset, values.data(), static_cast<std::uint32_t>(dwords * 4));
    for (int i = 0; i < dwords; ++i)
        GeForceLog(Format("    [$%.4x]=%.8x", {(FBar0 + offset + 4u * static_cast<std::uint32_t>(i)) & 0xFFFF, values[static_cast<std::size_t>(i)]}));
}

void* TGeForcePciCard::GetRegisters() {
    if (!FRegistersMapped && IOPort) {
        FRegisters = IOPort->MapPhysicalMemory(FRegWindow, 0x2000);
        FRegistersMapped = true;
    }
    return FRegisters;
}

bool TGeForcePciCard::HasTemperature() const {
    if (FNvApiIndex != -1) return true;
    return IOPort && IOPort->CanReadMemory && IOPort->CanMapMemory && InRegisterSet(FArchitecture);
}

std::string TGeForcePciCard::GetCardKey() const {
    return Format("GeForce%.8x%.2x%.2x%.2x", {ReadPCIConfigDWord(FBus, FDevice, FFunction, 0), FBus, FDevice, FFunction});
}

double TGeForcePciCard::RegisterTemperature(int model) {
    if (FArchitecture == 0 || FArchitecture == 29 || !CanReadMemory()) return 0;
    std::array<std::uint32_t, 3> block{};
    IOPort->ReadPhysicalMemory(FBar0 + 0x15B0, block.data(), 12);
    const std::uint32_t raw = block[1] & RawThermalMask(FArchitecture);
    if (raw == 0) return 0;
    const TThermalModel& base = model == BiosModel ? FBiosInfo.BiosModel : FBiosInfo.DefaultModel;
    const std::int32_t bias = model == DefaultModel ? FBiosInfo.DefaultModel.Bias : FBiosInfo.BiosModel.Bias;
    return raw * base.Slope + base.Offset + bias;
}

double TGeForcePciCard::ReadTemperature(int model) {
    double t = 0;
    const auto& query = NvApi().GetThermalSettings;
    if (FNvApiIndex != -1 && query) {
        namespace r = nv::record;
        std::array<std::uint8_t, r::SizeOf(r::ThermalSettings)> record{};
        platform::putDWord(record.data(), 0, r::ThermalSettings);
        const nv::Handle gpu = NVApiCards()[static_cast<std::size_t>(FNvApiIndex)].GpuHandle;
        if (query(gpu, 15, record.data()) == 0) {
            const std::uint32_t count = std::min<std::uint32_t>(platform::getDWord(record.data(), r::ThermalCount), r::MaxThermalSensors);
            std::vector<std::array<std::uint32_t, 5>> sensors(count);
            for (std::uint32_t i = 0; i < count; ++i) {
                for (std::size_t k = 0; k < 5; ++k)
                    sensors[i][k] = platform::getDWord(record.data(), r::ThermalSensors + i * r::ThermalSensorSize + 4 * k);
                if (sensors[i][4] == 1) t = static_cast<std::int32_t>(sensors[i][3]);
            }
            if (FReportPending) ReportNvApi(sensors);
        }
    }
    if (t == 0 && InRegisterSet(FArchitecture) && CanReadMemory()) t = RegisterTemperature(model);
    FReportPending = false;
    return t;
}
