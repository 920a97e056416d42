#include "disks/threewareapi.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "platform/library.h"
#include "platform/platform.h"

using cvformat::Format;
namespace api = platform::raidlibraries::threeware;

std::string ThreewareDllName = "threeware.dll";

namespace {

struct TThreewareBinding {
    std::unique_ptr<platform::Library> Library;
    std::function<api::Buffer> GetAPIVersion, GetAPICopyright, GetControllerIdList;
    std::function<api::IdBuffer> GetControllerInfo, GetDriveIdList, GetDriveInfo;
    std::function<api::Passthrough> ATAPassthrough;
    std::function<api::ErrorInformation> GetErrorInformation;

    bool Bind() {
        const auto& lib = *Library;
        GetAPIVersion = lib.entry<api::Buffer>(api::GetAPIVersion);
        GetAPICopyright = lib.entry<api::Buffer>(api::GetAPICopyright);
        GetControllerIdList = lib.entry<api::Buffer>(api::GetControllerIdList);
        GetControllerInfo = lib.entry<api::IdBuffer>(api::GetControllerInfo);
        GetDriveIdList = lib.entry<api::IdBuffer>(api::GetDriveIdList);
        GetDriveInfo = lib.entry<api::IdBuffer>(api::GetDriveInfo);
        ATAPassthrough = lib.entry<api::Passthrough>(api::ATAPassthrough);
        GetErrorInformation = lib.entry<api::ErrorInformation>(api::GetErrorInformation);
        return GetAPIVersion && GetAPICopyright && GetControllerIdList && GetControllerInfo && GetDriveIdList &&
               GetDriveInfo && ATAPassthrough && GetErrorInformation;
    }
};

std::unique_ptr<TThreewareBinding> Binding;

constexpr std::int32_t NotLoaded = -1;

template <class T>
std::uint8_t* bytes(T& buffer) {
    return reinterpret_cast<std::uint8_t*>(&buffer);
}

bool passthrough(const TThreewareId& drive, std::uint16_t features, std::span<std::uint8_t, 512> page,
                 const char* failure) {
    std::fill(page.begin(), page.end(), 0);
    if (!ThreewareApiLoaded()) return false;
    std::uint16_t count = 1, lbaLow = 0, lbaMid = 0x4F, lbaHigh = 0xC2;
    std::uint8_t device = 0, command = 0xB0;
    if (Binding->ATAPassthrough(drive, 0, &features, &count, &lbaLow, &lbaMid, &lbaHigh, &device, &command,
                                page.data()) == 0)
        return true;
    ReportThreewareError(failure, true);
    return false;
}

}  // namespace

bool LoadThreewareApi() {
    if (ThreewareApiLoaded()) return true;
    auto binding = std::make_unique<TThreewareBinding>();
    binding->Library = platform::current().libraries().load(ThreewareDllName);
    if (!binding->Library) return false;
    if (binding->Bind()) Binding = std::move(binding);
    return false;
}

bool ThreewareApiLoaded() { return Binding != nullptr; }

void UnloadThreewareApi() { Binding.reset(); }

std::string GetThreewareApiVersion() {
    if (!ThreewareApiLoaded()) return {};
    char text[1024] = {};
    Binding->GetAPIVersion(reinterpret_cast<std::uint8_t*>(text), sizeof text);
    return ThreewareText(text);
}

std::int32_t ThreewareGetControllerIdList(TThreewareControllerIdList& list) {
    return ThreewareApiLoaded() ? Binding->GetControllerIdList(bytes(list), sizeof list) : NotLoaded;
}

std::int32_t ThreewareGetControllerInfo(const TThreewareId& controller, TThreewareControllerInfo& info) {
    return ThreewareApiLoaded() ? Binding->GetControllerInfo(controller, bytes(info), sizeof info) : NotLoaded;
}

std::int32_t ThreewareGetDriveIdList(const TThreewareId& controller, TThreewareDriveIdList& list) {
    return ThreewareApiLoaded() ? Binding->GetDriveIdList(controller, bytes(list), sizeof list) : NotLoaded;
}

std::int32_t ThreewareGetDriveInfo(const TThreewareId& drive, TThreewareDriveInfo& info) {
    return ThreewareApiLoaded() ? Binding->GetDriveInfo(drive, bytes(info), sizeof info) : NotLoaded;
}

bool ThreewareReadSmartData(const TThreewareId& drive, std::span<std::uint8_t, 512> page) {
    return passthrough(drive, 0xD0, page, "Error in ATA Passthrough (Read SMART Attributes)!!!");
}

bool ThreewareReadSmartThresholds(const TThreewareId& drive, std::span<std::uint8_t, 512> page) {
    return passthrough(drive, 0xD1, page, "Error in ATA Passthrough (Read SMART Thresholds)!!!");
}

std::uint32_t ThreewareIdCount(const TThreewareControllerIdList& list) { return std::min<std::uint32_t>(list.Count, 16); }
std::uint32_t ThreewareIdCount(const TThreewareDriveIdList& list) { return std::min<std::uint32_t>(list.Count, 128); }

std::string ThreewareIdToHex(const TThreewareId& id) {
    std::string text;
    for (const std::uint8_t b : id) text += Format("%.2x", {b});
    return text;
}

std::string ThreewareArchName(std::uint32_t code) {
    static constexpr std::pair<std::uint32_t, const char*> Names[] = {
        {1, "5000"}, {2, "6000"}, {3, "7000"}, {515, "8000"},      {4, "9000"},
        {5, "9500"}, {6, "9550"}, {7, "9550 Apple"}, {8, "9690"},
    };
    for (const auto& [known, name] : Names)
        if (known == code) return name;
    return "unknown-arch";
}

void ReportThreewareError(const std::string& msg, bool withDetails) {
    if (!msg.empty()) WriteDebugLog(msg);
    if (!withDetails || !ThreewareApiLoaded()) return;
    TThreewareErrorInfo error{};
    const std::int32_t result = Binding->GetErrorInformation(bytes(error));
    WriteDebugLog(Format("RET=%d  Flags=%d  API=%d  OS=%d  DRV=%d  CTRL=%d",
                         {result, error.Flags, error.ApiCode, error.OsCode, error.DriverCode, error.ControllerCode}));
    WriteDebugLog(Format("  -> DATA=%s", {ThreewareText(error.Data)}));
    WriteDebugLog(Format("  -> TEXT=%s", {ThreewareText(error.Text)}));
}
