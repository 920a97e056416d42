#include "cpu/cvnvapi.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "platform/library.h"
#include "platform/platform.h"

namespace {

namespace nv = platform::nvapi;
using cvformat::Format;

constexpr std::size_t MaxDisplays = 128;
constexpr int UnattachedSafety = 5;

struct TBinding {
    std::unique_ptr<platform::Library> Library;
    std::array<std::uintptr_t, nv::Functions.size()> Addresses{};
    TNvApiFunctions Functions;
    std::vector<std::string> Notes;
    std::vector<TNVApiCard> Cards;
    TNVApiDriverInfo DriverInfo;
    std::vector<nv::Handle> Displays, Unattached;
    bool BusIdUnknown = false, BusSlotUnknown = false;
    std::function<void(const std::string&, bool)> LogSink;
};

TBinding& State() {
    static TBinding binding;
    return binding;
}

void BindFunctions(const std::array<nv::Entry, nv::Functions.size()>& entries, TNvApiFunctions& f) {
    const auto entry = [&](std::string_view name) -> const nv::Entry& {
        for (std::size_t i = 0; i < nv::Functions.size(); ++i)
            if (nv::Functions[i].name == name) return entries[i];
        return entries[0];  // never: every name below is a row
    };
    f.GetErrorMessage = nv::bind<nv::StatusText>(entry("NVAPI_GetErrorMessage"));
    f.EnumPhysicalGPUs = nv::bind<nv::EnumGpus>(entry("NVAPI_EnumPhysicalGPUs"));
    f.GetThermalSettings = nv::bind<nv::HandleIndexRecord>(entry("NvAPI_GPU_GetThermalSettings"));
    f.GetCoolerSettings = nv::bind<nv::HandleIndexRecord>(entry("NVAPI_GPU_GetCoolerSettings"));
    f.GetInterfaceVersionString = nv::bind<nv::TextOut>(entry("NVAPI_GetInterfaceVersionString"));
    f.GetDisplayDriverVersion = nv::bind<nv::HandleRecord>(entry("NVAPI_GetDisplayDriverVersion"));
    f.GetDriverMemoryInfo = nv::bind<nv::HandleRecord>(entry("NVAPI_GetDriverMemoryInfo"));
    f.GetDisplayDriverMemoryInfo = nv::bind<nv::HandleRecord>(entry("NVAPI_GetDisplayDriverMemoryInfo"));
    f.GetVoltages = nv::bind<nv::HandleRecord>(entry("NVAPI_GPU_GetVoltages"));
    f.EnumNvidiaDisplayHandle = nv::bind<nv::EnumHandle>(entry("NVAPI_EnumNvidiaDisplayHandle"));
    f.EnumNvidiaUnAttachedDisplayHandle = nv::bind<nv::EnumHandle>(entry("NVAPI_EnumNvidiaUnAttachedDisplayHandle"));
    f.GetFullName = nv::bind<nv::HandleText>(entry("NVAPI_GPU_GetFullName"));
    f.GetPCIIdentifiers = nv::bind<nv::PciIdentifiers>(entry("NVAPI_GPU_GetPCIIdentifiers"));
    f.GetBusId = nv::bind<nv::HandleValue>(entry("NVAPI_GPU_GetBusId"));
    f.GetBusSlotId = nv::bind<nv::HandleValue>(entry("NVAPI_GPU_GetBusSlotId"));
    f.GetTachReading = nv::bind<nv::HandleValue>(entry("NVAPI_GPU_GetTachReading"));
    f.GetRamType = nv::bind<nv::HandleValue>(entry("NVAPI_GPU_GetRamType"));
    f.GetDriverAndBranchVersion = nv::bind<nv::VersionAndText>(entry("NVAPI_SYS_GetDriverAndBranchVersion"));
    // The library's shapes are the bus links' own.
    f.I2C = {nv::bind<nv::I2C>(entry("NvAPI_I2CRead")), nv::bind<nv::I2CEx>(entry("NVAPI_I2CReadEx")),
             nv::bind<nv::I2C>(entry("NVAPI_I2CWrite")), nv::bind<nv::I2CEx>(entry("NVAPI_I2CWriteEx"))};
}

std::string TextOf(const char* buffer) { return std::string(buffer, strnlen(buffer, nv::TextSize)); }

std::string CodeText(std::uint32_t code, std::initializer_list<std::pair<std::uint32_t, const char*>> texts) {
    for (const auto& [value, text] : texts)
        if (value == code) return text;
    return Format("unknown (%d)", {code});
}

void Log(const std::string& msg) { NvApiLog(msg, true, false); }

void ReportDisplayMemory(nv::Handle display) {
    const TNvApiFunctions& f = State().Functions;
    if (f.GetDriverMemoryInfo) {
        std::array<std::uint8_t, nv::record::SizeOf(nv::record::DriverMemoryInfo)> r{};
        platform::putDWord(r.data(), 0, nv::record::DriverMemoryInfo);
        if (const auto status = f.GetDriverMemoryInfo(display, r.data()))
            Log(Format("NVAPI - Answer from NVAPI_GetDriverMemoryInfo=$%.8x", {static_cast<std::uint32_t>(status)}));
        else
            Log(Format("  Driver memory info : dedicated=%d  system=%d  shared=%d",
                       {platform::getDWord(r.data(), 4), platform::getDWord(r.data(), 8), platform::getDWord(r.data(), 12)}));
    }
    if (f.GetDisplayDriverMemoryInfo) {
        std::array<std::uint8_t, nv::record::SizeOf(nv::record::DisplayDriverMemoryInfo)> r{};
        platform::putDWord(r.data(), 0, nv::record::DisplayDriverMemoryInfo);
        if (const auto status = f.GetDisplayDriverMemoryInfo(display, r.data()))
            Log(Format("NVAPI - Answer from NVAPI_GetDisplayDriverMemoryInfo=$%.8x", {static_cast<std::uint32_t>(status)}));
        else
            Log(Format("  Display Driver memory info : dedicated=%d (avail=%d - curavail=%d)  system=%d  shared=%d",
                       {platform::getDWord(r.data(), 4), platform::getDWord(r.data(), 8), platform::getDWord(r.data(), 20),
                        platform::getDWord(r.data(), 12), platform::getDWord(r.data(), 16)}));
    }
}

void EnumerateDisplays() {
    TBinding& s = State();
    s.Displays.clear();
    s.Unattached.clear();
    if (s.Functions.EnumNvidiaDisplayHandle) {
        Log("NVAPI - Enumerating displays -->");
        for (std::uint32_t i = 0; i < MaxDisplays; ++i) {
            nv::Handle handle = nullptr;
            if (s.Functions.EnumNvidiaDisplayHandle(i, &handle) != 0) break;
            s.Displays.push_back(handle);
            Log(Format("  Found display #%d ($%.8x)", {i, reinterpret_cast<std::uintptr_t>(handle)}));
            ReportDisplayMemory(handle);
        }
    }
    if (s.Functions.EnumNvidiaUnAttachedDisplayHandle) {
        Log("NVAPI - Enumerating unattached displays -->");
        int safety = 0;
        for (std::uint32_t i = 0; i < MaxDisplays && safety < UnattachedSafety; ++i) {
            nv::Handle handle = nullptr;
            if (s.Functions.EnumNvidiaUnAttachedDisplayHandle(i, &handle) != 0) {
                ++safety;
                break;
            }
            safety = 0;
            s.Unattached.push_back(handle);
            Log(Format("  Found display #%d ($%.8x)", {i, reinterpret_cast<std::uintptr_t>(handle)}));
        }
        Log(Format("  SafetyCount=%d", {safety}));
    }
}

void ReadDisplayDriverVersion() {
    TBinding& s = State();
    if (!s.Functions.GetDisplayDriverVersion) return;
    if (s.Displays.empty()) {
        NvApiLog("No active display found!", true, true);
        return;
    }
    std::array<std::uint8_t, nv::record::SizeOf(nv::record::DisplayDriverVersion)> r{};
    platform::putDWord(r.data(), 0, nv::record::DisplayDriverVersion);
    if (const auto status = s.Functions.GetDisplayDriverVersion(s.Displays.front(), r.data())) {
        Log(Format("Answer from NVAPI_GetDisplayDriverVersion=$%.8x", {static_cast<std::uint32_t>(status)}));
        return;
    }
    s.DriverInfo.DriverVersion = static_cast<std::int32_t>(platform::getDWord(r.data(), 4));
    s.DriverInfo.BuildChangeList = static_cast<std::int32_t>(platform::getDWord(r.data(), 8));
    s.DriverInfo.Branch = TextOf(reinterpret_cast<const char*>(r.data() + 12));
    Log(Format("DrvVer=%d  BldChangeListNum=%d  Branch=%s",
               {s.DriverInfo.DriverVersion, s.DriverInfo.BuildChangeList, s.DriverInfo.Branch}));
}

// One location query; answers whether it was obtained. A call that raises is caught and logged.
bool QueryLocation(const std::function<nv::HandleValue>& query, nv::Handle gpu, const char* name,
                   const char* label, std::uint32_t& value) {
    if (!query) return false;
    try {
        value = 0;
        const auto status = query(gpu, &value);
        Log(Format(std::string("  ") + label + "=%d  (answer=$%.8x)", {value, static_cast<std::uint32_t>(status)}));
        return true;
    } catch (const std::exception& e) {
        value = 0;
        Log(Format(std::string("!!! Error calling ") + name + " (%s)", {e.what()}));
        return false;
    }
}

void EnumerateGpus() {
    TBinding& s = State();
    const TNvApiFunctions& f = s.Functions;
    if (!f.EnumPhysicalGPUs || !f.GetFullName || !f.GetPCIIdentifiers) return;
    std::array<nv::Handle, nv::MaxGpus> handles{};
    std::uint32_t count = 0;
    if (const auto status = f.EnumPhysicalGPUs(handles.data(), &count)) {
        Log(Format("Answer from NVAPI_EnumPhysicalGPUs=$%.8x (%s)", {static_cast<std::uint32_t>(status), NvApiErrorText(status)}));
        return;
    }
    count = std::min<std::uint32_t>(count, nv::MaxGpus);
    Log(Format("  GpuCount=%d", {count}));
    for (std::uint32_t i = 0; i < count; ++i) {
        TNVApiCard gpu;
        gpu.GpuHandle = handles[i];
        std::array<char, nv::TextSize> name{};
        f.GetFullName(gpu.GpuHandle, name.data());
        gpu.Name = TextOf(name.data());
        Log(Format("GPU#%d (%.8x) is %s", {i, reinterpret_cast<std::uintptr_t>(gpu.GpuHandle), gpu.Name}));
        const auto status = f.GetPCIIdentifiers(gpu.GpuHandle, &gpu.DeviceId, &gpu.SubSystemId, &gpu.RevisionId, &gpu.ExtDeviceId);
        Log(Format("  DevId=$%.8x  SubSysId=$%.8x  RevId=$%.8x  ExtDevId=$%.8x  (answer=$%.8x)",
                   {gpu.DeviceId, gpu.SubSystemId, gpu.RevisionId, gpu.ExtDeviceId, static_cast<std::uint32_t>(status)}));
        gpu.BusIdUnknown = !QueryLocation(f.GetBusId, gpu.GpuHandle, "NVAPI_GPU_GetBusId", "BusId", gpu.BusId);
        gpu.BusSlotUnknown = !QueryLocation(f.GetBusSlotId, gpu.GpuHandle, "NVAPI_GPU_GetBusSlotId", "BusSlotId", gpu.BusSlotId);
        s.BusIdUnknown = gpu.BusIdUnknown;
        s.BusSlotUnknown = gpu.BusSlotUnknown;
        const auto same = std::find_if(s.Cards.begin(), s.Cards.end(), [&](const TNVApiCard& c) {
            return c.BusId == gpu.BusId && c.BusSlotId == gpu.BusSlotId && c.DeviceId == gpu.DeviceId &&
                   c.SubSystemId == gpu.SubSystemId && c.RevisionId == gpu.RevisionId && c.ExtDeviceId == gpu.ExtDeviceId;
        });
        if (same != s.Cards.end()) {
            same->GpuHandle = gpu.GpuHandle;
            same->Stale = false;
        } else {
            gpu.DriverVersion = s.DriverInfo.DriverVersion;
            s.Cards.push_back(std::move(gpu));
        }
    }
}

class TNvApiSources : public TNvidiaSources {
public:
    const TNvI2CEntries& I2CEntries() const override { return State().Functions.I2C; }
    std::optional<TNvApiCardInfo> Card(int nvapiIndex) const override {
        const auto& cards = State().Cards;
        if (nvapiIndex < 0 || static_cast<std::size_t>(nvapiIndex) >= cards.size()) return std::nullopt;
        const TNVApiCard& card = cards[static_cast<std::size_t>(nvapiIndex)];
        return TNvApiCardInfo{card.GpuHandle, static_cast<std::uint32_t>(card.DriverVersion)};
    }
};

}  // namespace

void LoadNvApi() {
    TBinding& s = State();
    if (s.Library) return;
    s.Library = platform::current().libraries().load(nv::FileName);
    if (!s.Library) {
        NvApiNote("DLL not found");
        return;
    }
    NvApiNote("DLL found");
    const auto query = s.Library->entry<nv::QueryInterface>(nv::QueryInterfaceName);
    if (!query) return;
    NvApiNote(Format("nvapi_QueryInterface properly linked ($%.8x)", {s.Library->handle()}));
    const nv::Entry init = query(nv::InitializeId);
    NvApiNote(Format("Answer from nvapi_QueryInterface=$%.8x", {init.address}));
    const auto initialize = nv::bind<nv::NoArguments>(init);
    if (init.address == 0 || !initialize) {
        NvApiNote("nvapi_QueryInterface($0150E828) returned an error");
        return;
    }
    NvApiNote(Format("Answer from nvapi_Unknown1=$%.8x", {static_cast<std::uint32_t>(initialize())}));
    std::array<nv::Entry, nv::Functions.size()> entries;
    for (std::size_t i = 0; i < nv::Functions.size(); ++i) {
        entries[i] = query(nv::Functions[i].id);
        s.Addresses[i] = entries[i].address;
        NvApiNote(Format("$%.8x <- %s", {entries[i].address, nv::Functions[i].name}));
    }
    BindFunctions(entries, s.Functions);
}

void UnloadNvApi() {
    auto sink = std::move(State().LogSink);
    // Functions go before the library that holds them.
    State().Functions = {};
    State() = TBinding{};
    State().LogSink = std::move(sink);
}

bool NvApiPresent() { return State().Library != nullptr; }
const TNvApiFunctions& NvApi() { return State().Functions; }
const std::array<std::uintptr_t, nv::Functions.size()>& NvApiAddresses() { return State().Addresses; }
void NvApiNote(const std::string& text) { State().Notes.push_back(text); }
const std::vector<std::string>& GetNvApiNotes() { return State().Notes; }
std::vector<TNVApiCard>& NVApiCards() { return State().Cards; }
const TNVApiDriverInfo& NVApiDriverInfo() { return State().DriverInfo; }
bool BusIdUnknown() { return State().BusIdUnknown; }
bool BusSlotUnknown() { return State().BusSlotUnknown; }

void SetNvApiLogSink(std::function<void(const std::string&, bool)> sink) { State().LogSink = std::move(sink); }

void NvApiLog(const std::string& msg, bool toTrace, bool toInfo) {
    if (toTrace) WriteDebugLog(msg);
    if (State().LogSink) State().LogSink(msg, toInfo);
}

void EnumerateNVApi() {
    TBinding& s = State();
    if (!s.Library) return;
    s.DriverInfo = {};
    if (!s.Notes.empty()) {
        Log("NVAPI linking - Debug notes start");
        for (const std::string& note : s.Notes) Log("  " + note);
        Log("NVAPI linking - Debug notes end");
    }
    const TNvApiFunctions& f = s.Functions;
    if (f.GetInterfaceVersionString) {
        std::array<char, nv::TextSize> text{};
        if (const auto status = f.GetInterfaceVersionString(text.data()))
            Log(Format("NVAPI - Answer from NVAPI_GetInterfaceVersionString=$%.8x", {static_cast<std::uint32_t>(status)}));
        else
            Log("NVAPI Version string=" + TextOf(text.data()));
    }
    if (f.GetDriverAndBranchVersion) {
        std::uint32_t version = 0;
        std::array<char, nv::TextSize> text{};
        if (const auto status = f.GetDriverAndBranchVersion(&version, text.data())) {
            Log(Format("NVAPI - Answer from NVAPI_SYS_GetDriverAndBranchVersion=$%.8x", {static_cast<std::uint32_t>(status)}));
        } else {
            s.DriverInfo.DriverVersion = static_cast<std::int32_t>(version);
            s.DriverInfo.Branch = TextOf(text.data());
            Log(Format("NVAPI Driver and Branch version=%d - %s", {version, s.DriverInfo.Branch}));
        }
    }
    EnumerateDisplays();
    ReadDisplayDriverVersion();
    for (TNVApiCard& card : s.Cards) card.Stale = true;
    EnumerateGpus();
}

std::string NvCoolerControllerText(std::uint32_t code) { return CodeText(code, {{0, "none"}, {1, "ADI"}, {2, "internal"}}); }
std::string NvCoolerTypeText(std::uint32_t code) {
    return CodeText(code, {{0, "none"}, {1, "fan"}, {2, "water"}, {3, "liquid NO2"}});
}
std::string NvCoolerTargetText(std::uint32_t code) {
    if (code >= 8 && code <= 27) return Format("vcd cooler %d", {code - 7});
    return CodeText(code, {{0, "none"}, {1, "GPU"}, {2, "memory"}, {4, "power supply"}, {7, "all"}});
}
std::string NvCoolerPolicyText(std::uint32_t code) {
    return CodeText(code, {{0, "none"}, {1, "manual"}, {2, "performance"}, {4, "temperature discrete"},
                           {8, "temperature continuous"}, {32, "default"}});
}
std::string NvThermalTargetText(std::uint32_t code) {
    return CodeText(code, {{0, "none"}, {1, "GPU"}, {2, "memory"}, {4, "power"}, {8, "board"}, {15, "all"}});
}
std::string NvThermalControllerText(std::uint32_t code) {
    return CodeText(code, {{0, "none"}, {1, "GPU internal"}, {2, "ADM1032"}, {3, "MAX6649"}, {4, "MAX1617"}, {5, "LM99"},
                           {6, "LM89"}, {7, "LM64"}, {8, "ADT7473"}, {9, "SBMAX6649"}, {10, "VBIOSEVT"}, {11, "OS"}});
}

std::string NvApiErrorText(nv::Status status) {
    const auto& f = State().Functions.GetErrorMessage;
    if (!f) return "<GetErrorMessage not linked>";
    std::array<char, nv::TextSize> text{};
    if (f(status, text.data()) != 0) return "<Error in GetErrorMessage>";
    return TextOf(text.data());
}

TNvidiaSources& NvApiSources() {
    static TNvApiSources sources;
    return sources;
}
