#include "hw/cvsetupapi.h"

#include <algorithm>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "hw/hwstrings.h"
#include "platform/driverctl.h"
#include "platform/platform.h"

namespace devprop = platform::devprop;

namespace {

bool listWritten = false;

const std::vector<std::uint8_t>* property(const platform::DeviceRecord& record, std::uint32_t code) {
    const auto found = record.properties.find(code);
    return found == record.properties.end() ? nullptr : &found->second;
}

// Trailing zero bytes go, the separators of a multi-string become " - ".
std::string stringProperty(const platform::DeviceRecord& record, std::uint32_t code) {
    const auto* bytes = property(record, code);
    if (!bytes) return {};
    auto end = bytes->end();
    while (end != bytes->begin() && *(end - 1) == 0) --end;
    std::string text;
    for (auto it = bytes->begin(); it != end; ++it) {
        if (*it == 0)
            text += " - ";
        else
            text += static_cast<char>(*it);
    }
    return hw::Trim(text);
}

std::uint32_t dwordProperty(const platform::DeviceRecord& record, std::uint32_t code) {
    const auto* bytes = property(record, code);
    if (!bytes || bytes->size() < 4) return 0xFFFFFFFFu;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t{(*bytes)[i]} << (8 * i);
    return value;
}

std::array<std::uint8_t, 16> guidProperty(const platform::DeviceRecord& record, std::uint32_t code) {
    std::array<std::uint8_t, 16> guid{};
    if (const auto* bytes = property(record, code); bytes && bytes->size() >= guid.size())
        std::copy_n(bytes->begin(), guid.size(), guid.begin());
    return guid;
}

TSDDevice deviceFrom(const platform::DeviceRecord& record) {
    TSDDevice d;
    d.FriendlyName = stringProperty(record, devprop::FriendlyName);
    d.Description = stringProperty(record, devprop::DeviceDesc);
    d.Address = dwordProperty(record, devprop::Address);
    d.BusTypeGuid = guidProperty(record, devprop::BusTypeGuid);
    d.ClassName = stringProperty(record, devprop::Class);
    d.ClassGuid = stringProperty(record, devprop::ClassGuid);
    d.Driver = stringProperty(record, devprop::Driver);
    d.Enumerator = stringProperty(record, devprop::EnumeratorName);
    d.Location = stringProperty(record, devprop::LocationInformation);
    d.LocationPaths = stringProperty(record, devprop::LocationPaths);
    d.LowerFilters = stringProperty(record, devprop::LowerFilters);
    d.Manufacturer = stringProperty(record, devprop::Mfg);
    d.PhysicalDeviceObject = stringProperty(record, devprop::PhysicalDeviceObjectName);
    d.Service = stringProperty(record, devprop::Service);
    d.HardwareID = stringProperty(record, devprop::HardwareId);
    d.CompatibleIDs = stringProperty(record, devprop::CompatibleIds);
    d.UpperFilters = stringProperty(record, devprop::UpperFilters);
    d.UINumber = dwordProperty(record, devprop::UiNumber);
    if (d.UINumber != 0xFFFFFFFFu) d.UINumberFormat = stringProperty(record, devprop::UiNumberDescFormat);
    for (const std::string* name : {&d.FriendlyName, &d.Description, &d.PhysicalDeviceObject}) {
        if (!name->empty()) {
            d.Name = *name;
            break;
        }
    }
    return d;
}

void traceDevice(const TSDDevice& d) {
    static const std::string noGuid = "{00000000-0000-0000-0000-000000000000}";
    const auto traceText = [](const char* picture, const std::string& text) {
        if (!text.empty()) WriteDebugLog(cvformat::Format(picture, {text}));
    };
    WriteDebugLog(cvformat::Format("Device name=%s", {d.Name}));
    traceText("  Friendly name=<%s>", d.FriendlyName);
    WriteDebugLog(cvformat::Format("  Description=<%s>", {d.Description}));
    if (const std::string guid = GuidToString(d.BusTypeGuid); guid != noGuid)
        WriteDebugLog(cvformat::Format("  BUS Type GUID=<%s>", {guid}));
    WriteDebugLog(cvformat::Format("  Class=<%s>", {d.ClassName}));
    WriteDebugLog(cvformat::Format("  Class GUID=<%s>", {d.ClassGuid}));
    WriteDebugLog(cvformat::Format("  Driver=<%s>", {d.Driver}));
    WriteDebugLog(cvformat::Format("  Enumerator=<%s>", {d.Enumerator}));
    traceText("  Location=<%s>", d.Location);
    WriteDebugLog(cvformat::Format("  Manufacturer=<%s>", {d.Manufacturer}));
    WriteDebugLog(cvformat::Format("  Physical Device Object=<%s>", {d.PhysicalDeviceObject}));
    traceText("  Service=<%s>", d.Service);
    WriteDebugLog(cvformat::Format("  Hardware ID=<%s>", {d.HardwareID}));
    traceText("  Compatible IDs=<%s>", d.CompatibleIDs);
    if (d.UINumber != 0xFFFFFFFFu) WriteDebugLog(cvformat::Format("  UI number=<$%.8x>", {d.UINumber}));
    traceText("  UI number format=<%s>", d.UINumberFormat);
    traceText("  Location Paths=<%s>", d.LocationPaths);
    if (d.Address != 0xFFFFFFFFu) WriteDebugLog(cvformat::Format("  Address=<$%.8x>", {d.Address}));
    traceText("  LowerFilters=<%s>", d.LowerFilters);
    traceText("  UpperFilters=<%s>", d.UpperFilters);
}

}  // namespace

std::string GuidToString(const std::array<std::uint8_t, 16>& guid) {
    static const char digits[] = "0123456789ABCDEF";
    // Data1, Data2 and Data3 are little-endian; Data4 is bytes in order.
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string text = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += digits[guid[order[i]] >> 4];
        text += digits[guid[order[i]] & 0xF];
    }
    return text + "}";
}

std::string PdoObjectName(const TSDDevice& device) {
    constexpr std::size_t prefix = 8;  // "\Device\"
    return device.PhysicalDeviceObject.size() > prefix ? device.PhysicalDeviceObject.substr(prefix) : "";
}

std::string PdoDevicePath(const TSDDevice& device) { return platform::drv::NamespacePrefix + PdoObjectName(device); }

void InitializeCvsetupapi() { listWritten = false; }

void TSDDevices::Scan() {
    devices_.clear();
    const auto records = platform::current().listDevices({Enumerator, PresentOnly, DeviceInterface});
    if (!records) {
        WriteDebugLog("CVSetupAPI - SetupDiGetClassDevs is not available on this OS");
        return;
    }
    for (const auto& record : *records) devices_.push_back(deviceFrom(record));
}

TSDDevice TSDDevices::GetDevice(int index) const {
    if (index < 0 || index >= Count()) return {};
    return devices_[static_cast<std::size_t>(index)];
}

void TSDDevices::OutputListOfDevices(bool force) {
    if (listWritten && !force) return;
    try {
        for (const auto& device : devices_) traceDevice(device);
    } catch (const std::exception& e) {
        WriteDebugLog(cvformat::Format("CVSetupAPI - Error in OutputListOfDevices (%s)", {e.what()}));
    }
    listWritten = true;
}

bool CheckSystemDrivers(const std::function<void(const std::string&)>& log) {
    log("About to scan installed devices...");
    TSDDevices devices;
    devices.PresentOnly = true;
    try {
        devices.Scan();
    } catch (const std::exception& e) {
        log(cvformat::Format("Error scanning installed drivers (%s)", {e.what()}));
    }
    bool iaStorPresent = false;
    log("Installed Devices -->");
    for (int i = 0; i < devices.Count(); ++i) {
        const TSDDevice device = devices.GetDevice(i);
        if (hw::UpperCase(device.ClassName) != "HDC") continue;
        log(cvformat::Format("  Found Storage Service <%s>", {device.Service}));
        if (hw::UpperCase(device.Service) == "IASTORA") iaStorPresent = true;
    }
    log("Installed Devices <--");
    log("End of installed devices scanning");
    return iaStorPresent;
}
