#include "cpu/cvatiadl.h"

#include <cmath>
#include <cstring>
#include <memory>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "platform/library.h"
#include "platform/platform.h"

namespace {

namespace ad = platform::adl;
using cvformat::Format;

struct TAdlEntries {
    std::function<ad::Create> Create;
    std::function<ad::NoArguments> Destroy;
    std::function<ad::IntOut> NumberOfAdapters;
    std::function<ad::BufferIn> AdapterInfo;
    std::function<ad::AdapterTwoInts> I2CRev;
    std::function<ad::AdapterRecord> WriteAndReadI2C, CurrentActivity;
    std::function<ad::ControllerRecord> Temperature, FanSpeedInfo, FanSpeedGet, FanSpeedSet;
    std::function<ad::AdapterController> FanSpeedToDefault;
};

struct TAdlBinding {
    std::unique_ptr<platform::Library> Library;
    TAdlEntries Entries;
    int References = 0;
    // The library's own buffers belong to the binding and go with it.
    std::vector<std::unique_ptr<std::uint8_t[]>> Allocations;
};

TAdlBinding& Binding() {
    static TAdlBinding binding;
    return binding;
}

void AdlLog(const std::string& msg, const TAdlLog& event) {
    if (event)
        event(msg);
    else
        WriteDebugLog("ATIADL - " + msg);
}

void* Allocate(int size) {
    AdlLog(Format("Allocating %d bytes", {size}), {});
    if (size <= 0) return nullptr;
    auto& buffers = Binding().Allocations;
    buffers.push_back(std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(size)));
    return buffers.back().get();
}

bool Bind(const platform::Library& library, TAdlEntries& e, const TAdlLog& event) {
    bool all = true;
    for (const char* name : ad::EntryPoints) {
        const bool found = library.exports(name);
        all = all && found;
        AdlLog((found ? "Linked " : "Unable to link ") + std::string(name), event);
    }
    e.Create = library.entry<ad::Create>(ad::MainControlCreate);
    e.Destroy = library.entry<ad::NoArguments>(ad::MainControlDestroy);
    e.NumberOfAdapters = library.entry<ad::IntOut>(ad::NumberOfAdaptersGet);
    e.AdapterInfo = library.entry<ad::BufferIn>(ad::AdapterInfoGet);
    e.I2CRev = library.entry<ad::AdapterTwoInts>(ad::I2CRevGet);
    e.WriteAndReadI2C = library.entry<ad::AdapterRecord>(ad::WriteAndReadI2C);
    e.CurrentActivity = library.entry<ad::AdapterRecord>(ad::CurrentActivityGet);
    e.Temperature = library.entry<ad::ControllerRecord>(ad::TemperatureGet);
    e.FanSpeedInfo = library.entry<ad::ControllerRecord>(ad::FanSpeedInfoGet);
    e.FanSpeedGet = library.entry<ad::ControllerRecord>(ad::FanSpeedGet);
    e.FanSpeedSet = library.entry<ad::ControllerRecord>(ad::FanSpeedSet);
    e.FanSpeedToDefault = library.entry<ad::AdapterController>(ad::FanSpeedToDefaultSet);
    return all && e.Create && e.Destroy && e.NumberOfAdapters && e.AdapterInfo && e.I2CRev && e.WriteAndReadI2C &&
           e.CurrentActivity && e.Temperature && e.FanSpeedInfo && e.FanSpeedGet && e.FanSpeedSet && e.FanSpeedToDefault;
}

const TAdlEntries& Entries() { return Binding().Entries; }

}  // namespace

void LoadAdl(const TAdlLog& event) {
    TAdlBinding& b = Binding();
    if (b.Library) {
        // One binding per process: a further user only counts.
        ++b.References;
        return;
    }
    auto& libraries = platform::current().libraries();
    b.Library = libraries.load(ad::FileName);
    if (!b.Library) {
        AdlLog("Trying to load 32 bit DLL...", event);
        b.Library = libraries.load(ad::FileName32);
    }
    if (!b.Library) {
        AdlLog("DLL not found", event);
        return;
    }
    AdlLog("DLL found and opened", event);
    if (!Bind(*b.Library, b.Entries, event)) {
        ReleaseAdl(event);
        return;
    }
    ++b.References;
    AdlLog(Format("ADL_Main_Control_Create returned %d", {b.Entries.Create(Allocate, 1)}), event);
}

void ReleaseAdl(const TAdlLog& event) {
    TAdlBinding& b = Binding();
    if (--b.References < 0) {
        AdlLog("WARNING: ADLHandleReferences became negative!", event);
        b.References = 0;
    }
    if (b.References > 0 || !b.Library) {
        if (b.References == 0) b.Entries = {};
        return;
    }
    if (b.Entries.Destroy) b.Entries.Destroy();
    b.Entries = {};
    b.Library.reset();
    b.Allocations.clear();
    AdlLog("Closed DLL", event);
}

bool AdlLoaded() { return Binding().Library != nullptr; }
int ADLHandleReferences() { return Binding().References; }
std::size_t AdlAllocations() { return Binding().Allocations.size(); }

TAtiAdl::TAtiAdl(bool enumerate, TAdlLog onLog) : FOnLog(std::move(onLog)) {
    LoadAdl(FOnLog);
    if (enumerate) Enumerate();
    Log("Constructor completed");
}

TAtiAdl::~TAtiAdl() {
    Log("Destroy");
    ReleaseAdl(FOnLog);
}

void TAtiAdl::Log(const std::string& msg) {
    if (FOnLog) FOnLog(msg);
}

void TAtiAdl::Enumerate() {
    FAdapters.clear();
    FCards.clear();
    if (!AdlLoaded() || !Entries().NumberOfAdapters) return;
    int count = 0;
    if (const int status = Entries().NumberOfAdapters(&count)) {
        Log(Format("ADL_Adapter_NumberOfAdapters_Get returned %d", {status}));
        return;
    }
    Log(Format("Adapters in system: %d", {count}));
    if (count <= 0) return;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(count) * ad::AdapterInfoSize, 0);
    if (const int status = Entries().AdapterInfo(buffer.data(), static_cast<int>(buffer.size()))) {
        Log(Format("ADL_Adapter_AdapterInfo_Get returned %d", {status}));
        return;
    }
    namespace a = ad::adapter;
    for (int i = 0; i < count; ++i) {
        auto& info = FAdapters.emplace_back();
        std::memcpy(info.data(), buffer.data() + static_cast<std::size_t>(i) * ad::AdapterInfoSize, ad::AdapterInfoSize);
        const auto location = [](const std::uint8_t* r) {
            return std::array{platform::getDWord(r, a::Bus), platform::getDWord(r, a::Device), platform::getDWord(r, a::Function)};
        };
        const bool known = std::any_of(FCards.begin(), FCards.end(),
                                       [&](const TAtiAdlCard& c) { return location(c.Info.data()) == location(info.data()); });
        if (!known) FCards.emplace_back().Info = info;
    }
}

std::array<std::uint8_t, ad::AdapterInfoSize> TAtiAdl::GetAdapterInfo(int index) const {
    if (index < 0 || index >= AdapterCount()) return {};
    return FAdapters[static_cast<std::size_t>(index)];
}

TAtiAdlCard TAtiAdl::GetCardInfo(int index) const { return Valid(index) ? FCards[static_cast<std::size_t>(index)] : TAtiAdlCard{}; }

double TAtiAdl::GetTemperature(int index) {
    if (!Valid(index)) return NoTemperature;
    TAtiAdlCard& card = FCards[static_cast<std::size_t>(index)];
    if (card.TemperatureState >= 2 || !Entries().Temperature) return NoTemperature;
    std::array<std::uint8_t, ad::TemperatureSize> record{};
    platform::putDWord(record.data(), 0, ad::TemperatureSize);
    if (const int status = Entries().Temperature(card.AdapterIndex(), 0, record.data())) {
        card.TemperatureState = 2;
        Log(Format("ADL_Overdrive5_Temperature_Get returned %d", {status}));
        return NoTemperature;
    }
    card.TemperatureState = 1;
    const double t = static_cast<std::int32_t>(platform::getDWord(record.data(), 4)) / 1000.0;
    if (!card.TemperatureLogged) Log(Format("  Temperature=%.2f", {t}));
    card.TemperatureLogged = true;
    return t;
}

TAdlActivityRecord TAtiAdl::GetActivity(int index) {
    TAdlActivityRecord out{};
    if (!Valid(index)) return out;
    TAtiAdlCard& card = FCards[static_cast<std::size_t>(index)];
    if (card.ActivityState >= 2 || !Entries().CurrentActivity) return out;
    std::array<std::uint8_t, ad::ActivitySize> record{};
    platform::putDWord(record.data(), 0, ad::ActivitySize);
    if (const int status = Entries().CurrentActivity(card.AdapterIndex(), record.data())) {
        card.ActivityState = card.VddcState = 2;
        Log(Format("ADL_Overdrive5_CurrentActivity_Get returned %d", {status}));
        return out;
    }
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::int32_t>(platform::getDWord(record.data(), 4 * i));
    card.ActivityState = 1;
    card.VddcState = out[3] != 0 ? 1 : 2;
    return out;
}

bool TAtiAdl::ReadFanValue(TAtiAdlCard& card, int type, int flags, std::int32_t& speed, std::uint32_t& valueFlags) {
    std::array<std::uint8_t, ad::FanValueSize> record{};
    platform::putDWord(record.data(), 0, ad::FanValueSize);
    platform::putDWord(record.data(), ad::fan::SpeedType, static_cast<std::uint32_t>(type));
    platform::putDWord(record.data(), ad::fan::ValueFlags, static_cast<std::uint32_t>(flags));
    if (const int status = Entries().FanSpeedGet(card.AdapterIndex(), 0, record.data())) {
        (type == ad::fan::RPM ? card.RpmReadState : card.PercentReadState) = 2;
        Log(Format(type == ad::fan::RPM ? "ADL_Overdrive5_FanSpeed_Get (RPM) returned %d" : "ADL_Overdrive5_FanSpeed_Get (%%) returned %d",
                   {status}));
        return false;
    }
    speed = static_cast<std::int32_t>(platform::getDWord(record.data(), ad::fan::Speed));
    valueFlags = platform::getDWord(record.data(), ad::fan::ValueFlags);
    return true;
}

TAtiFanReading TAtiAdl::GetFanSpeed(int index, bool wantPercent) {
    TAtiFanReading reading;
    if (!Valid(index) || !Entries().FanSpeedInfo) return reading;
    TAtiAdlCard& card = FCards[static_cast<std::size_t>(index)];
    if (card.FanInfoState == 2) return reading;
    if (card.FanInfoState == 0) {
        std::array<std::uint8_t, ad::FanInfoSize> record{};
        platform::putDWord(record.data(), 0, ad::FanInfoSize);
        if (const int status = Entries().FanSpeedInfo(card.AdapterIndex(), 0, record.data())) {
            card.FanInfoState = 2;
            Log(Format("ADL_Overdrive5_FanSpeedInfo_Get returned %d", {status}));
            return reading;
        }
        namespace f = ad::fan;
        card.FanInfoState = 1;
        const std::uint32_t caps = platform::getDWord(record.data(), f::Flags);
        card.PercentReadState = (caps & 1) ? 1 : 2;
        card.PercentWriteState = (caps & 2) ? 1 : 2;
        card.RpmReadState = (caps & 4) ? 1 : 2;
        card.RpmWriteState = (caps & 8) ? 1 : 2;
        card.MinPerc = static_cast<std::int32_t>(platform::getDWord(record.data(), f::MinPercent));
        card.MaxPerc = static_cast<std::int32_t>(platform::getDWord(record.data(), f::MaxPercent));
        card.MinRPM = static_cast<std::int32_t>(platform::getDWord(record.data(), f::MinRPM));
        card.MaxRPM = static_cast<std::int32_t>(platform::getDWord(record.data(), f::MaxRPM));
        Log(Format("FanSpeedInfo.MinPerc=%d", {card.MinPerc}));
        Log(Format("FanSpeedInfo.MaxPerc=%d", {card.MaxPerc}));
        Log(Format("FanSpeedInfo.MinRPM =%d", {card.MinRPM}));
        Log(Format("FanSpeedInfo.MaxRPM =%d", {card.MaxRPM}));
    }
    std::int32_t speed = 0;
    std::uint32_t flags = 0;
    if (card.RpmReadState == 1 && ReadFanValue(card, ad::fan::RPM, 0, speed, flags)) {
        reading.RPM = speed;
        reading.RPMValid = true;
        if (!card.FanLogged) Log(Format("  Fan speed=%d (flags=$%.8x)", {speed, flags}));
    }
    if (wantPercent && card.PercentReadState == 1 && ReadFanValue(card, ad::fan::Percent, 0, speed, flags)) {
        reading.Percent = speed;
        reading.PercentValid = true;
        if (card.MaxRPM != 0) {
            reading.ApproxRPM = static_cast<std::int32_t>(std::nearbyint(card.MaxRPM / 100.0 * speed));
            reading.ApproxValid = true;
            if (!card.FanLogged)
                Log(Format("  Fan speed=%d%% (flags=$%.8x) (approximately %d RPM)", {speed, flags, reading.ApproxRPM}));
        } else if (!card.FanLogged) {
            Log(Format("  Fan speed=%d%% (flags=$%.8x) (cannot infere RPM)", {speed, flags}));
        }
    }
    card.FanLogged = true;
    return reading;
}

int TAtiAdl::GetFanPercent(int index) {
    if (!Valid(index) || !Entries().FanSpeedGet) return 0;
    TAtiAdlCard& card = FCards[static_cast<std::size_t>(index)];
    if (card.PercentReadState >= 2) return 0;
    std::int32_t speed = 0;
    std::uint32_t flags = 0;
    return ReadFanValue(card, ad::fan::Percent, ad::fan::UserDefined, speed, flags) ? speed : 0;
}

int TAtiAdl::SetFanPercent(int index, int percent, bool readBack) {
    int result = percent;
    if (Valid(index) && Entries().FanSpeedSet) {
        TAtiAdlCard& card = FCards[static_cast<std::size_t>(index)];
        // Clamped to the card's limits once they are known, so the library is never asked outside them.
        if (card.FanInfoState == 1) result = std::clamp(percent, card.MinPerc, std::max(card.MinPerc, card.MaxPerc));
        if (card.PercentWriteState < 2) {
            std::array<std::uint8_t, ad::FanValueSize> record{};
            platform::putDWord(record.data(), 0, ad::FanValueSize);
            platform::putDWord(record.data(), ad::fan::SpeedType, ad::fan::Percent);
            platform::putDWord(record.data(), ad::fan::Speed, static_cast<std::uint32_t>(result));
            platform::putDWord(record.data(), ad::fan::ValueFlags, ad::fan::UserDefined);
            if (const int status = Entries().FanSpeedSet(card.AdapterIndex(), 0, record.data())) {
                card.PercentWriteState = 2;
                Log(Format("ADL_Overdrive5_FanSpeed_Set (%%) returned %d", {status}));
            }
        }
    }
    return readBack ? GetFanPercent(index) : result;
}

bool TAtiAdl::GetCardFanSpeedManualControl(int index) {
    Log("Entering TAtiAdl.GetCardFanSpeedManualControl");
    bool manual = false;
    if (Valid(index) && Entries().FanSpeedGet && FCards[static_cast<std::size_t>(index)].FanInfoState < 2) {
        TAtiAdlCard& card = FCards[static_cast<std::size_t>(index)];
        std::int32_t speed = 0;
        std::uint32_t flags = 0;
        bool read = false;
        if (card.RpmReadState == 1 && ReadFanValue(card, ad::fan::RPM, 0, speed, flags)) {
            read = true;
            Log(Format("  Fan speed=%d (flags=$%.8x)", {speed, flags}));
        } else if (card.PercentReadState == 1 && ReadFanValue(card, ad::fan::Percent, 0, speed, flags)) {
            read = true;
            Log(Format("  Fan speed=%d%% (flags=$%.8x)", {speed, flags}));
        }
        if (read && (flags & ad::fan::UserDefined)) {
            Log("  MANUAL CONTROL IS ENABLED");
            manual = true;
        }
    }
    Log("Exiting TAtiAdl.GetCardFanSpeedManualControl");
    return manual;
}

int TAtiAdl::FanSpeedToDefault(int index) {
    if (!Valid(index) || !Entries().FanSpeedToDefault) return -1;
    return Entries().FanSpeedToDefault(FCards[static_cast<std::size_t>(index)].AdapterIndex(), 0);
}

int TAtiAdl::RegisterDump(int adapter, int line, int address, const std::string& title) {
    constexpr int MaxFailures = 8;
    std::array<std::uint8_t, 256> bytes{};
    int failures = 0, lastStatus = 0;
    for (int reg = 0; reg < 256; ++reg) {
        char data = 0;
        ad::I2CRequest request{static_cast<int>(sizeof(ad::I2CRequest)), line, address << 1, reg, ad::I2CRead, 50, 1, &data};
        std::array<std::uint8_t, sizeof(ad::I2CRequest)> record{};
        std::memcpy(record.data(), &request, sizeof request);
        if (const int status = Entries().WriteAndReadI2C(adapter, record.data())) {
            lastStatus = status;
            if (++failures >= MaxFailures) return lastStatus;
        }
        bytes[static_cast<std::size_t>(reg)] = static_cast<std::uint8_t>(data);
    }
    AdlLog(title, {});
    for (int row = 0; row < 256; row += 16) {
        std::string text = Format("%.2x  ", {row});
        std::string chars;
        for (int i = 0; i < 16; ++i) {
            const std::uint8_t b = bytes[static_cast<std::size_t>(row + i)];
            text += Format(" %.2x", {b});
            chars += (b >= 0x20 && b <= 0x7F) ? static_cast<char>(b) : '.';
        }
        AdlLog(text + "  " + chars, {});
    }
    return lastStatus;
}

void TAtiAdl::ScanI2C() {
    if (!Entries().I2CRev || !Entries().WriteAndReadI2C) return;
    for (int i = 0; i < CardCount(); ++i) {
        const TAtiAdlCard& card = FCards[static_cast<std::size_t>(i)];
        AdlLog(Format("Video Card #%d - %s", {i, ad::textAt(card.Info.data(), ad::adapter::AdapterName)}), {});
        int major = 0, minor = 0;
        if (const int status = Entries().I2CRev(card.AdapterIndex(), &major, &minor)) {
            AdlLog(Format("ADL_Display_WriteAndReadI2CRev_Get returned %d", {status}), {});
            continue;
        }
        AdlLog(Format("  I2C revision is %d.%d", {major, minor}), {});
        for (int line = 1; line <= 7; ++line)
            for (int address = 0x20; address <= 0x51; ++address) {
                const std::string title = Format("  SCANNING LINE %d ADDRESS $%.2x -->", {line, address});
                if (const int status = RegisterDump(card.AdapterIndex(), line, address, title))
                    AdlLog(Format("  SCANNING LINE %d ADDRESS $%.2x --> error=%d", {line, address, status}), {});
            }
    }
}

namespace {
std::unique_ptr<TAtiAdl>& GlobalAdl() {
    static std::unique_ptr<TAtiAdl> adl;
    return adl;
}
}  // namespace

TAtiAdl* AtiAdl() { return GlobalAdl().get(); }
void CreateAtiAdl(TAdlLog onLog) { GlobalAdl() = std::make_unique<TAtiAdl>(true, std::move(onLog)); }
void ResetAtiAdl() { GlobalAdl().reset(); }
