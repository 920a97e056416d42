#include "disks/cvarecaraid.h"

#include <algorithm>

#include "base/cvformat.h"
#include "platform/platform.h"

using cvformat::Format;
namespace api = platform::raidlibraries::areca;

std::string ArecaDllName = "areca.dll";
std::unique_ptr<TArecaRAID> ArecaRAID;
TLibraryCopy ArecaCopy{"%scvareca%.5d.dll", api::ImageBlock,
                       "cvarecaraid.CreateUniqueDLL was unable to get the temporary path", {}};

namespace {

constexpr std::uintptr_t FirstValidHandle = 32;
// Fail critical errors, no fault box, no missing-file box.
constexpr std::uint32_t QuietErrorMode = 0x0001 | 0x0002 | 0x8000;

constexpr const char* HostTypeNames[] = {"Unknown",  "PCI",      "PCI Express", "PATA",     "SATA 1", "SATA 2",
                                         "SCSI 160", "SCSI 320", "Fibre 2G",    "Fibre 4G", "SAS"};
constexpr const char* TargetTypeNames[] = {"Unknown", "PATA", "SATA", "SAS", "Fibre"};

std::uint32_t dword(std::span<const std::uint8_t> b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t word(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

template <std::size_t N>
std::array<std::uint8_t, N> bytesAt(std::span<const std::uint8_t> b, std::size_t at) {
    std::array<std::uint8_t, N> out{};
    std::copy_n(b.begin() + static_cast<std::ptrdiff_t>(at), N, out.begin());
    return out;
}

TARCSystemInfo decodeSysInfo(std::span<const std::uint8_t> b) {
    TARCSystemInfo info;
    info.Valid = true;
    info.VendorName = ArecaRaw(b.subspan(0, 40));
    info.SerialNumber = ArecaRaw(b.subspan(40, 16));
    info.FirmwareVersion = ArecaRaw(b.subspan(56, 16));
    info.BootVersion = ArecaRaw(b.subspan(72, 16));
    info.MbrVersion = ArecaRaw(b.subspan(88, 16));
    info.ModelName = ArecaRaw(b.subspan(104, 8));
    info.LocalIP = bytesAt<4>(b, 112);
    info.CurrentIP = bytesAt<4>(b, 116);
    info.CpuClock = dword(b, 124);
    info.ICache = dword(b, 128);
    info.DCache = dword(b, 132);
    info.L2Cache = dword(b, 136);
    info.MemorySize = dword(b, 140);
    info.MemoryClock = dword(b, 144);
    info.EventsSupported = dword(b, 148);
    info.MacAddress = bytesAt<5>(b, 152);
    info.Dhcp = b[158] != 0;
    info.ChannelUsage = b[160];
    info.MaxAtaMode = b[161];
    info.Ecc = b[162] != 0;
    info.IdeChannels = b[174];
    info.ScsiHostChannels = b[175];
    info.IdeHostChannels = b[176];
    info.VolumeSets = b[177];
    info.RaidSets = b[178];
    info.EthernetPort = b[179] != 0;
    info.Raid6 = b[180] != 0;
    info.SnmpRs232 = b[181] != 0;
    info.HostType = b[188] <= 10 ? b[188] : 0;
    info.TargetType = b[189] <= 4 ? b[189] : 0;
    info.InBand = b[190] != 0;
    info.InBandChannel = b[191];
    info.InBandDeviceId = b[192];
    return info;
}

TArecaHWMonGroup decodeGroup(std::span<const std::uint8_t, 102> b) {
    TArecaHWMonGroup group;
    group.Count = word(b, 0);
    group.Held = static_cast<std::uint16_t>(group.Values.size());
    for (std::size_t i = 0; i < group.Values.size(); ++i) group.Values[i] = word(b, 2 + 2 * i);
    return group;
}

}  // namespace

std::string ArecaRaw(std::span<const std::uint8_t> field) {
    const auto blank = [](std::uint8_t c) { return c <= ' '; };
    auto first = std::find_if_not(field.begin(), field.end(), blank);
    auto last = std::find_if_not(field.rbegin(), std::make_reverse_iterator(first), blank).base();
    return std::string(first, last);
}

const char* ArecaHostTypeName(std::uint8_t type) { return HostTypeNames[type <= 10 ? type : 0]; }
const char* ArecaTargetTypeName(std::uint8_t type) { return TargetTypeNames[type <= 4 ? type : 0]; }

TArecaRAID::TArecaRAID() {
    auto& machine = platform::current();
    const std::uint32_t previous = machine.setErrorMode(QuietErrorMode);
    library_ = machine.libraries().load(ArecaDllName);
    machine.setErrorMode(previous);
    if (!library_) return;
    Handle = library_->handle();
    if (Handle < FirstValidHandle) {
        library_.reset();
        return;
    }
    const auto& lib = *library_;
    findControllers_ = lib.entry<api::NoArgs>(api::FindControllers);
    numControllersFound_ = lib.entry<api::NoArgs>(api::GetNumControllersFound);
    dllVersion_ = lib.entry<api::NoArgs>(api::DLLVersion);
    sysInfo_ = lib.entry<api::ControllerBuffer>(api::GetSysInfo);
    identifyString_ = lib.entry<api::ControllerBuffer>(api::GetIdentifyString);
    hwMon5010_ = lib.entry<api::ControllerBuffer>(api::GetHWMon5010);
    physicalDriveInfo_ = lib.entry<api::DriveInfo>(api::GetPhysicalDriveInfo);
    readSmartAttrs_ = lib.entry<api::DriveBuffer>(api::ReadSmartAttrs);
    readSmartThresholds_ = lib.entry<api::DriveBuffer>(api::ReadSmartThresholds);
    hwMon_ = lib.entry<api::HWMon>(api::GetHWMon);
    Usable = findControllers_ && numControllersFound_ && dllVersion_ && sysInfo_ && identifyString_ && hwMon5010_ &&
             physicalDriveInfo_ && readSmartAttrs_ && readSmartThresholds_ && hwMon_;
}

void TArecaRAID::Log(const std::string& msg) const {
    if (OnLog) OnLog(msg);
}

int TArecaRAID::FindControllers() {
    if (!Usable) return 1;
    LastStatus = findControllers_();
    if (LastStatus != 0) return 1;
    ControllerCount = numControllersFound_();
    return 0;
}

std::int32_t TArecaRAID::DLLVersion() const { return Usable ? dllVersion_() : 0; }

TARCSystemInfo TArecaRAID::GetSysInfo(int controller) const {
    std::array<std::uint8_t, 256> reply{};
    if (!inRange(controller) || sysInfo_(controller, reply.data(), reply.size()) != 0) return {};
    return decodeSysInfo(reply);
}

TARCIdentifyData TArecaRAID::GetIdentifyData(int controller) const {
    std::array<std::uint8_t, 128> reply{};
    if (!inRange(controller) || identifyString_(controller, reply.data(), reply.size()) != 0) return {};
    const std::span<const std::uint8_t> text(reply);
    return {true, ArecaRaw(text), ArecaRaw(text.subspan(20, 8)), ArecaRaw(text.subspan(28))};
}

template <class Call>
std::uint8_t TArecaRAID::statusCall(int controller, Call call) {
    LastStatus = 0;
    if (!Usable) return ArecaNotUsable;
    if (!inRange(controller)) return ArecaOutOfRange;
    LastStatus = call();
    return LastStatus == 0 ? ArecaRead : ArecaCallFailed;
}

TARCPhyDriveInfo TArecaRAID::GetPhysicalDriveInfo(int controller, int enclosure, int drive) {
    TARCPhyDriveInfo info;
    std::array<std::uint8_t, 274> reply{};
    info.Status = statusCall(controller, [&] {
        return physicalDriveInfo_(controller, enclosure, drive, reply.data(), reply.size());
    });
    if (info.Status != ArecaRead) return info;
    const std::span<const std::uint8_t> b(reply);
    info.Valid = true;
    info.Model = ArecaRaw(b.subspan(0, 40));
    info.Serial = ArecaRaw(b.subspan(40, 20));
    info.Firmware = ArecaRaw(b.subspan(60, 8));
    info.Capacity = dword(b, 68);
    info.Further = bytesAt<32>(b, 72);
    return info;
}

TARCSmartAttributes TArecaRAID::ReadSmartAttrs(int controller, int drive) {
    TARCSmartAttributes result;
    result.Status = statusCall(controller, [&] {
        return readSmartAttrs_(controller, drive, result.Page.data(), result.Page.size());
    });
    result.Valid = result.Status == ArecaRead;
    if (!result.Valid) result.Page.fill(0);
    return result;
}

TARCSmartThresholds TArecaRAID::ReadSmartThresholds(int controller, int drive) const {
    TARCSmartThresholds result;
    if (!inRange(controller)) return result;
    result.Valid = readSmartThresholds_(controller, drive, result.Page.data(), result.Page.size()) == 0;
    if (!result.Valid) result.Page.fill(0);
    return result;
}

ArecaHWMonData TArecaRAID::GetHWMon(int controller, unsigned groups) const {
    ArecaHWMonData data;
    const TARCIdentifyData identify = GetIdentifyData(controller);
    if (!identify.Valid) {
        Log(Format("Unable to GETIDENTIFYDATA in GETHWMON for controller #%d", {controller}));
        return data;
    }
    if (identify.Model != "ARC-5010" && identify.Model != "ARC-6010") {
        data.Valid = true;
        for (int g = 1; g <= 6; ++g) {
            if (!(groups >> (g - 1) & 1)) continue;
            std::array<std::uint8_t, 102> reply{};
            hwMon_(controller, g, reply.data(), reply.size());  // its status is not looked at
            data.Groups[static_cast<std::size_t>(g - 1)] = decodeGroup(reply);
        }
        return data;
    }
    Log(Format("GETHWMON from %s is currently not tested", {identify.Model}));
    std::array<std::uint8_t, 26> reply{};
    if (hwMon5010_(controller, reply.data(), reply.size()) != 0) {
        Log(Format("Unable to GETHWMON5010 for controller #%d (model %s)", {controller, identify.Model}));
        return data;
    }
    const std::span<const std::uint8_t> b(reply);
    // Fans, voltages, temperatures: their counts, then what the reply holds of each.
    const auto fill = [&](TArecaHWMonGroup& group, std::uint8_t count, std::uint16_t held, auto value) {
        group.Count = count;
        group.Held = held;
        for (std::uint16_t i = 0; i < held; ++i) group.Values[i] = value(i);
    };
    fill(data.Groups[0], b[0], 1, [&](int) { return word(b, 4); });
    fill(data.Groups[1], b[1], 8, [&](int i) { return word(b, 6 + 2 * static_cast<std::size_t>(i)); });
    fill(data.Groups[2], b[2], 2, [&](int i) { return static_cast<std::uint16_t>(b[22 + static_cast<std::size_t>(i)]); });
    data.Valid = true;
    return data;
}

bool InitArecaRAID(TArecaRAID::TLogEvent logEvent) {
    if (!ArecaRAID) {
        ArecaDllName = CreateUniqueDLL(ArecaCopy);
        ArecaRAID = std::make_unique<TArecaRAID>();
    }
    ArecaRAID->OnLog = std::move(logEvent);
    return true;
}

void FreeArecaRAID() { ArecaRAID.reset(); }
