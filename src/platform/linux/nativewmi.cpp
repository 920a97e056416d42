#include "platform/linux/nativewmi.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "platform/linux/nativedisk.h"
#include "platform/linux/thermalzones.h"

namespace platform::native {
namespace {

namespace fs = std::filesystem;

std::string readTrimmed(const fs::path& file) {
    std::ifstream in(file);
    std::string text;
    std::getline(in, text);
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string realPath(const fs::path& p) {
    std::error_code ec;
    const auto real = fs::canonical(p, ec);
    return ec ? std::string{} : real.string();
}

bool under(const std::string& path, const std::string& parent) {
    return !parent.empty() && path.size() > parent.size() && path.compare(0, parent.size(), parent) == 0 &&
           path[parent.size()] == '/';
}

WmiProperty text(const char* name, std::string value) { return {name, WmiValue::of(std::move(value))}; }
WmiProperty number(const char* name, std::int64_t value) { return {name, WmiValue::of(value)}; }

struct Disk {
    std::string name, device, model, vendor, product, revision;
};

std::string modelOf(const std::string& vendor, const std::string& product) {
    // ATA disks show their model alone, as the system reports them.
    if (vendor.empty() || vendor == "ATA") return product;
    return vendor + " " + product;
}

WmiObject diskDrive(const Disk& disk, int index, const std::string& sys) {
    const std::string id = "\\\\.\\PHYSICALDRIVE" + std::to_string(index);
    const std::string iface = disk.device.find("/usb") != std::string::npos         ? "USB"
                              : disk.device.find("/fw") != std::string::npos ||
                                        disk.device.find("firewire") != std::string::npos
                                  ? "1394"
                              : disk.device.find("/ata") != std::string::npos ? "IDE"
                                                                              : "SCSI";
    WmiObject object{text("Caption", disk.model), text("DeviceID", id), text("InterfaceType", iface),
                     {"MediaLoaded", WmiValue::of(true)}, text("Model", disk.model), text("Name", id)};
    const std::string sector = readTrimmed(fs::path(sys) / "block" / disk.name / "queue" / "logical_block_size");
    if (!sector.empty() && sector.find_first_not_of("0123456789") == std::string::npos && sector.size() < 9)
        object.push_back(number("BytesPerSector", std::stoll(sector)));
    unsigned host = 0, channel = 0, target = 0, lun = 0;
    if (std::sscanf(fs::path(disk.device).filename().c_str(), "%u:%u:%u:%u", &host, &channel, &target, &lun) == 4) {
        object.push_back(number("ScsiBus", channel));
        object.push_back(number("ScsiLogicalUnit", lun));
        object.push_back(number("ScsiPort", host));
        object.push_back(number("ScsiTargetId", target));
    }
    return object;
}

std::string hexField(const fs::path& file) {
    const std::string value = readTrimmed(file);
    return value.empty() ? "0000" : value;
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

void NativeWmi::prepare() {
    // Temperatures change, so the zones are read for every query.
    clear("root\\WMI", ThermalZoneClass);
    for (auto& zone : thermalZoneObjects(sys_)) add("root\\WMI", ThermalZoneClass, std::move(zone));
    if (filled_) return;
    filled_ = true;
    std::vector<Disk> disks;
    int index = 0;
    for (const auto& name : scsiDiskNames(sys_)) {
        Disk d;
        d.name = name;
        const fs::path device = fs::path(sys_) / "block" / name / "device";
        d.device = realPath(device);
        d.vendor = readTrimmed(device / "vendor");
        d.product = readTrimmed(device / "model");
        d.revision = readTrimmed(device / "rev");
        d.model = modelOf(d.vendor, d.product);
        add("Win32_DiskDrive", diskDrive(d, index++, sys_));
        disks.push_back(d);
    }

    std::error_code ec;
    const fs::path usb = fs::path(sys_) / "bus" / "usb" / "devices";
    std::map<std::string, fs::path> entries;  // sorted by name
    for (const auto& entry : fs::directory_iterator(usb, ec)) entries[entry.path().filename().string()] = entry.path();
    for (const auto& [hubName, hubPath] : entries) {
        if (hubName.rfind("usb", 0) != 0) continue;
        const std::string hubReal = realPath(hubPath);
        const std::string controllerId =
            "PCI\\" + upper(fs::path(hubReal).parent_path().filename().string()) + "\\" + hubName;
        const std::string product = readTrimmed(hubPath / "product");
        const std::string title = product.empty() ? "USB Host Controller" : product;
        add("Win32_USBController",
            {text("Caption", title), text("Description", title), text("DeviceID", controllerId), text("Name", title)});
        for (const auto& [devName, devPath] : entries) {
            if (devName.rfind("usb", 0) == 0 || devName.find(':') != std::string::npos) continue;
            const std::string devReal = realPath(devPath);
            if (!under(devReal, hubReal)) continue;
            std::string serial = readTrimmed(devPath / "serial");
            if (serial.empty()) serial = devName;
            const std::string vid = upper(hexField(devPath / "idVendor")), pid = upper(hexField(devPath / "idProduct"));
            const std::string devTitle = readTrimmed(devPath / "product");
            const std::string shown = devTitle.empty() ? "USB Device" : devTitle;
            addAssociated("Win32_USBController", controllerId, "Win32_USBControllerDevice",
                          {text("Caption", shown), text("Description", shown),
                           text("DeviceID", "USB\\VID_" + vid + "&PID_" + pid + "\\" + serial), text("Name", shown)});
            for (const auto& d : disks) {
                if (!under(d.device, devReal)) continue;
                addAssociated("Win32_USBController", controllerId, "Win32_USBControllerDevice",
                              {text("Caption", d.model), text("Description", "Disk drive"),
                               text("DeviceID", "USBSTOR\\DISK&VEN_" + d.vendor + "&PROD_" + d.product + "&REV_" +
                                                    d.revision + "\\" + serial + "&0"),
                               text("Name", d.model)});
            }
        }
    }

    const fs::path fw = fs::path(sys_) / "bus" / "firewire" / "devices";
    std::map<std::string, fs::path> fwEntries;
    for (const auto& entry : fs::directory_iterator(fw, ec)) fwEntries[entry.path().filename().string()] = entry.path();
    for (const auto& [name, path] : fwEntries) {
        if (name.find('.') != std::string::npos) continue;  // units, not nodes
        const std::string id = "1394\\" + upper(name);
        add("Win32_1394Controller", {text("Caption", "IEEE 1394 Host Controller"),
                                     text("Description", "IEEE 1394 Host Controller"), text("DeviceID", id),
                                     text("Name", "IEEE 1394 Host Controller")});
    }
}

}  // namespace platform::native
