#include "platform/sim/simwmi.h"

#include <cstdio>
#include <set>

#include "platform/sim/boardreader.h"
#include "platform/sim/machine.h"
#include "platform/sim/simdisk.h"

namespace platform::sim {
namespace {

constexpr const char* UsbController = "PCI\\VEN_8086&DEV_3A3A&SUBSYS_00000000&REV_00\\3&21436425&0&EF";
constexpr const char* FireWireController = "PCI\\VEN_104C&DEV_8023&SUBSYS_00000000&REV_00\\4&2C6E1A4&0&10F0";

WmiProperty text(const char* name, std::string value) { return {name, WmiValue::of(std::move(value))}; }
WmiProperty number(const char* name, std::int64_t value) { return {name, WmiValue::of(value)}; }

WmiObject diskDrive(const SimDiskSpec& spec) {
    const std::string id = "\\\\.\\PHYSICALDRIVE" + std::to_string(spec.physical->drive);
    const bool usb = spec.physical->usbVendor.has_value();
    WmiObject disk{text("DeviceID", id),
                   text("Model", spec.model),
                   text("Name", id),
                   text("Caption", spec.model),
                   text("InterfaceType", usb ? (spec.physical->fireWire ? "1394" : "USB") : "IDE"),
                   {"MediaLoaded", WmiValue::of(true)},
                   number("Partitions", 1),
                   number("BytesPerSector", 512)};
    // Only a disk that a SCSI port also reaches has the SCSI address.
    if (spec.scsi) {
        disk.push_back(number("ScsiBus", 0));
        disk.push_back(number("ScsiLogicalUnit", 0));
        disk.push_back(number("ScsiPort", spec.scsi->port));
        disk.push_back(number("ScsiTargetId", spec.scsi->target));
    }
    return disk;
}

// The unit a 3ware controller shows the system.
WmiObject threeWareUnit(int drive) {
    const std::string id = "\\\\.\\PHYSICALDRIVE" + std::to_string(drive);
    return {text("DeviceID", id), text("Model", "AMCC 9650SE-2LP DISK SCSI Disk Device"), text("Name", id),
            text("Caption", "AMCC 9650SE-2LP DISK SCSI Disk Device"), text("InterfaceType", "SCSI"),
            {"MediaLoaded", WmiValue::of(true)}, number("Partitions", 1), number("BytesPerSector", 512)};
}

WmiObject controller(const std::string& id, const std::string& name) {
    return {text("Caption", name), text("Description", name), text("DeviceID", id), text("Name", name)};
}

WmiValue valueOf(const BoardNode& node) {
    if (node.isNull()) return {};
    if (node.isBool()) return WmiValue::of(node.asBool());
    if (node.isInteger()) return WmiValue::of(node.asInteger(INT64_MIN, INT64_MAX));
    if (!node.isArray() && !node.isString()) return WmiValue::of(node.asNumber(-1e300, 1e300));
    if (node.isArray()) {
        std::vector<WmiValue> items;
        for (const auto& item : node.items()) items.push_back(valueOf(item));
        return WmiValue::of(std::move(items));
    }
    return WmiValue::of(node.asString());
}

WmiObject instanceOf(const BoardNode& node) {
    if (!node.isObject()) node.failExpected("an object of properties");
    WmiObject object;
    for (const auto& [name, value] : node.members()) {
        // {"cimType": 19, "value": ...} names the type; a plain value takes its kind's.
        if (value.isObject()) {
            value.expectFields({"cimType", "value"});
            object.push_back({name, valueOf(value.field("value")),
                              static_cast<std::uint16_t>(value.field("cimType").asInteger(1, 0xFFFF))});
        } else {
            object.push_back({name, valueOf(value)});
        }
    }
    return object;
}

// The firmware's structure table as the system's WMI hands it out.
WmiObject rawSmbiosTables(const SmbiosTables& smbios) {
    std::vector<WmiValue> bytes;
    for (std::uint8_t b : smbios.table) bytes.push_back(WmiValue::of(std::int64_t{b}));
    return {{"Active", WmiValue::of(true)},
            {"InstanceName", WmiValue::of(std::string("SMBiosData"))},
            {"SMBiosData", WmiValue::of(std::move(bytes)), CimUint8},
            {"SmbiosMajorVersion", WmiValue::of(std::int64_t{smbios.major}), CimUint8},
            {"SmbiosMinorVersion", WmiValue::of(std::int64_t{smbios.minor}), CimUint8},
            {"Size", WmiValue::of(static_cast<std::int64_t>(smbios.table.size())), CimUint32}};
}

}  // namespace

void SimWmi::prepare() {
    if (filled_) return;
    filled_ = true;
    bool usbController = false, fireWireController = false;
    std::set<int> units;
    for (const auto& d : machine_.disks().disks()) {
        const SimDiskSpec& spec = d->spec();
        if (spec.threeWare && units.insert(spec.threeWare->drive).second) add("Win32_DiskDrive", threeWareUnit(spec.threeWare->drive));
        if (!spec.physical) continue;
        add("Win32_DiskDrive", diskDrive(spec));
        const auto& p = *spec.physical;
        if (!p.usbVendor) continue;
        char ids[32];
        std::snprintf(ids, sizeof ids, "USB\\VID_%04X&PID_%04X\\", unsigned{*p.usbVendor},
                      unsigned{p.usbProduct.value_or(0)});
        const std::string owner = ids + spec.serial;
        const std::string storage = "USBSTOR\\DISK&VEN_&PROD_" + spec.model + "&REV_" + spec.firmware + "\\" +
                                    spec.serial + "&0";
        const bool fw = p.fireWire;
        (fw ? fireWireController : usbController) = true;
        const char* cls = fw ? "Win32_1394Controller" : "Win32_USBController";
        const char* assoc = fw ? "Win32_1394ControllerDevice" : "Win32_USBControllerDevice";
        const char* parent = fw ? FireWireController : UsbController;
        addAssociated(cls, parent, assoc,
                      {text("Caption", "USB Mass Storage Device"), text("Description", "USB Mass Storage Device"),
                       text("DeviceID", owner), text("Name", "USB Mass Storage Device")});
        addAssociated(cls, parent, assoc,
                      {text("Caption", spec.model), text("Description", "Disk drive"), text("DeviceID", storage),
                       text("Name", spec.model)});
    }
    if (const auto& smbios = machine_.firmwareTables().smbios)
        add("root\\WMI", "MSSmBios_RawSMBiosTables", rawSmbiosTables(*smbios));
    if (usbController) add("Win32_USBController", controller(UsbController, "Standard Enhanced PCI to USB Host Controller"));
    if (fireWireController) add("Win32_1394Controller", controller(FireWireController, "OHCI Compliant IEEE 1394 Host Controller"));
}

void loadWmiSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"enabled", "failQueries", "failConnect", "classes", "namespaces", "methods", "associators"});
    SimWmi& wmi = machine.simWmi();
    if (auto v = section.optionalField("enabled")) wmi.enabled = v->asBool();
    if (auto v = section.optionalField("failConnect")) wmi.failConnectWith(v->asNonEmptyString());
    if (auto v = section.optionalField("namespaces"))
        for (const auto& [nameSpace, classes] : v->members())
            for (const auto& [name, list] : classes.members())
                for (const auto& item : list.items()) wmi.add(nameSpace, name, instanceOf(item));
    if (auto v = section.optionalField("methods")) {
        for (const auto& m : v->items()) {
            m.expectFields({"namespace", "class", "name", "inParameters"});
            WmiMethod method{m.field("name").asNonEmptyString(), false, {}};
            if (auto in = m.optionalField("inParameters")) {
                method.hasInParameters = true;
                for (const auto& p : in->items()) method.inParameters.push_back(p.asNonEmptyString());
            }
            const auto ns = m.optionalField("namespace");
            wmi.addMethod(ns ? ns->asNonEmptyString() : "root\\cimv2", m.field("class").asNonEmptyString(),
                          std::move(method));
        }
    }
    if (auto v = section.optionalField("failQueries"))
        for (const auto& part : v->items()) wmi.failQueriesWith(part.asNonEmptyString());
    if (auto v = section.optionalField("classes"))
        for (const auto& [name, list] : v->members())
            for (const auto& item : list.items()) wmi.add(name, instanceOf(item));
    if (auto v = section.optionalField("associators")) {
        for (const auto& a : v->items()) {
            a.expectFields({"class", "deviceId", "assocClass", "instances"});
            for (const auto& item : a.field("instances").items())
                wmi.addAssociated(a.field("class").asNonEmptyString(), a.field("deviceId").asNonEmptyString(),
                                  a.field("assocClass").asNonEmptyString(), instanceOf(item));
        }
    }
}

Wmi* Machine::wmi() { return simWmi().enabled ? &simWmi() : nullptr; }

SimWmi& Machine::simWmi() {
    if (!wmi_) wmi_ = std::make_shared<SimWmi>(*this);
    return *wmi_;
}

}  // namespace platform::sim
