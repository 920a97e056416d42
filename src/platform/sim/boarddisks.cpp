#include "platform/sim/boarddisks.h"

#include <algorithm>

#include "platform/sim/boardhardware.h"
#include "platform/sim/boardregisters.h"
#include "platform/sim/machine.h"
#include "platform/sim/simdisk.h"

namespace platform::sim {
namespace {

std::uint8_t asByte(const BoardNode& node) { return static_cast<std::uint8_t>(node.asInteger(0, 255)); }

SimChecksum asChecksum(const BoardNode& node) {
    const std::string text = node.asString();
    if (text == "auto") return SimChecksum::Auto;
    if (text == "bad") return SimChecksum::Bad;
    if (text == "all zero") return SimChecksum::AllZero;
    node.failExpected("\"auto\", \"bad\" or \"all zero\"");
}

SimDiskFault asFault(const BoardNode& node) {
    node.expectFields({"kind", "times"});
    static constexpr std::pair<std::string_view, SimDiskFault::Kind> kinds[] = {
        {"fail", SimDiskFault::Kind::Fail},
        {"vanish", SimDiskFault::Kind::Vanish},
        {"timeout", SimDiskFault::Kind::Timeout},
        {"garbage", SimDiskFault::Kind::Garbage},
    };
    SimDiskFault fault;
    const std::string kind = node.field("kind").asString();
    const auto found = std::find_if(std::begin(kinds), std::end(kinds), [&](const auto& k) { return k.first == kind; });
    if (found == std::end(kinds)) node.field("kind").failExpected("\"fail\", \"vanish\", \"timeout\" or \"garbage\"");
    fault.kind = found->second;
    if (auto times = node.optionalField("times")) fault.times = static_cast<int>(times->asInteger(1, 1000000));
    return fault;
}

std::optional<disk::Bridge> asBridge(const BoardNode& node) {
    const std::string name = node.asString();
    if (name == "none") return std::nullopt;
    for (const auto& row : disk::BridgeCdbs)
        if (row.name == name) return row.bridge;
    node.failExpected("\"SAT\", \"SunPlus\", \"Cypress\", \"IoData\", \"Logitech\", \"JMicron\" or \"none\"");
}

std::array<std::uint8_t, 8> asSasAddress(const BoardNode& node) {
    const std::uint64_t value = asHex64(node);
    std::array<std::uint8_t, 8> bytes{};
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    return bytes;
}

void loadPhysical(const BoardNode& node, SimDiskSpec& spec, SimDisks& disks) {
    node.expectFields({"drive", "smartCodes", "ataPassThrough", "driverError", "ideError", "bridge", "fault",
                       "usbVendor", "usbProduct", "fireWire"});
    SimDiskSpec::Physical p;
    p.drive = static_cast<int>(node.field("drive").asInteger(0, 255));
    if (auto v = node.optionalField("smartCodes")) p.smartCodes = v->asBool();
    if (auto v = node.optionalField("ataPassThrough")) p.ataPassThrough = v->asBool();
    if (auto v = node.optionalField("driverError")) p.driverError = static_cast<std::uint8_t>(v->asHex(0xFF, "0x01"));
    if (auto v = node.optionalField("ideError")) p.ideError = static_cast<std::uint8_t>(v->asHex(0xFF, "0x04"));
    if (auto v = node.optionalField("bridge")) p.bridge = asBridge(*v);
    if (auto v = node.optionalField("usbVendor")) p.usbVendor = static_cast<std::uint16_t>(v->asHex(0xFFFF, "0x152D"));
    if (auto v = node.optionalField("usbProduct")) p.usbProduct = static_cast<std::uint16_t>(v->asHex(0xFFFF, "0x2329"));
    if (auto v = node.optionalField("fireWire")) p.fireWire = v->asBool();
    if (auto v = node.optionalField("fault"))
        disks.pathFault("\\\\.\\PhysicalDrive" + std::to_string(p.drive)) = asFault(*v);
    spec.physical = p;
}

std::uint8_t pageKey(const std::string& key, const BoardNode& value) {
    const auto code = parseHex(key);
    if (!code || *code > 0xFF) value.fail("expected a page code like \"0x2F\" as the key");
    return static_cast<std::uint8_t>(*code);
}

// One log parameter: its code, then a big-endian value of `size` bytes or a text.
void appendParameter(const BoardNode& node, std::vector<std::uint8_t>& page) {
    node.expectFields({"code", "size", "value", "text"});
    const auto code = static_cast<std::uint16_t>(node.field("code").asHex(0xFFFF, "0x0000"));
    std::vector<std::uint8_t> value;
    if (auto text = node.optionalField("text")) {
        const std::string t = text->asString();
        value.assign(t.begin(), t.end());
    } else {
        const auto size = static_cast<std::size_t>(node.field("size").asInteger(1, 8));
        const std::uint64_t v = asHex64(node.field("value"));
        for (std::size_t i = size; i-- > 0;) value.push_back(static_cast<std::uint8_t>(i < 8 ? v >> (8 * i) : 0));
    }
    if (value.size() > 255) node.fail("a parameter holds at most 255 bytes");
    page.insert(page.end(), {static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code), 0x03,
                             static_cast<std::uint8_t>(value.size())});
    page.insert(page.end(), value.begin(), value.end());
}

// Raw bytes, the informational-exceptions fields, or a list of parameters.
std::vector<std::uint8_t> asLogPage(std::uint8_t code, const BoardNode& node) {
    if (node.isString()) return asByteString(node);
    node.expectFields({"asc", "ascq", "temperature", "trip", "parameters"});
    std::vector<std::uint8_t> page = {code, 0, 0, 0};
    if (auto list = node.optionalField("parameters")) {
        for (const auto& item : list->items()) appendParameter(item, page);
    } else {
        const auto byte = [&node](std::string_view key) {
            const auto v = node.optionalField(key);
            return v ? static_cast<std::uint8_t>(v->asHex(0xFF, "0x5D")) : std::uint8_t{0};
        };
        const auto number = [&node](std::string_view key) {
            const auto v = node.optionalField(key);
            return v ? asByte(*v) : std::uint8_t{0};
        };
        page.insert(page.end(), {0x00, 0x00, 0x03, 0x04, byte("asc"), byte("ascq"), number("temperature"), number("trip")});
    }
    const std::size_t length = page.size() - 4;
    if (length > 0xFFFF) node.fail("a page holds at most 65535 bytes");
    page[2] = static_cast<std::uint8_t>(length >> 8);
    page[3] = static_cast<std::uint8_t>(length);
    return page;
}

SimDiskSpec::ScsiTarget asScsiTarget(const BoardNode& node) {
    node.expectFields({"vendor", "product", "revision", "vendorSpecific", "inquiryLength", "pages", "status"});
    SimDiskSpec::ScsiTarget t;
    if (auto v = node.optionalField("vendor")) t.vendor = v->asString();
    if (auto v = node.optionalField("product")) t.product = v->asString();
    if (auto v = node.optionalField("revision")) t.revision = v->asString();
    if (auto v = node.optionalField("vendorSpecific")) t.vendorSpecific = v->asString();
    if (auto v = node.optionalField("inquiryLength")) t.inquiryLength = static_cast<std::size_t>(v->asInteger(0, 96));
    if (auto pages = node.optionalField("pages"))
        for (const auto& [key, value] : pages->members()) {
            const std::uint8_t code = pageKey(key, value);
            t.pages[code] = asLogPage(code, value);
        }
    if (auto status = node.optionalField("status"))
        for (const auto& [key, value] : status->members())
            t.status[pageKey(key, value)] = static_cast<std::uint8_t>(value.asHex(0xFF, "0x02"));
    return t;
}

void loadDisk(const std::string& name, const BoardNode& node, SimDisks& disks) {
    node.expectFields({"model", "firmware", "serial", "swappedStrings", "sectors", "lba48", "geometry",
                       "identifyWords", "identifyBytes", "revision", "attributes", "attributeChecksum",
                       "thresholds", "thresholdChecksum", "temperature", "refuse", "logs", "selfTestSeconds",
                       "fault", "physical", "scsi", "threeWare", "csmi", "scsiTarget"});
    SimDiskSpec spec;
    spec.name = name;
    spec.model = node.field("model").asString();
    if (auto v = node.optionalField("firmware")) spec.firmware = v->asString();
    if (auto v = node.optionalField("serial")) spec.serial = v->asString();
    if (auto v = node.optionalField("swappedStrings")) spec.swappedStrings = v->asBool();
    if (auto v = node.optionalField("sectors")) spec.sectors = static_cast<std::uint64_t>(v->asInteger(0, 1LL << 48));
    if (auto v = node.optionalField("lba48")) spec.lba48 = v->asBool();
    if (auto g = node.optionalField("geometry")) {
        g->expectFields({"cylinders", "tracksPerCylinder", "sectorsPerTrack", "bytesPerSector"});
        disk::DiskGeometry geometry{};
        geometry.cylinders = g->field("cylinders").asInteger(0, 1LL << 40);
        geometry.mediaType = disk::MediaFixed;
        geometry.tracksPerCylinder = static_cast<std::uint32_t>(g->field("tracksPerCylinder").asInteger(1, 255));
        geometry.sectorsPerTrack = static_cast<std::uint32_t>(g->field("sectorsPerTrack").asInteger(1, 255));
        geometry.bytesPerSector = static_cast<std::uint32_t>(g->field("bytesPerSector").asInteger(512, 4096));
        spec.geometry = geometry;
    }
    if (auto words = node.optionalField("identifyWords")) {
        for (const auto& [key, value] : words->members()) {
            const bool number = !key.empty() && key.size() <= 3 && key.find_first_not_of("0123456789") == std::string::npos;
            if (!number || std::stoi(key) > 255) value.fail("expected an identify word number 0..255 as the key");
            spec.identifyWords[std::stoi(key)] = static_cast<std::uint16_t>(value.asHex(0xFFFF, "0x01F0"));
        }
    }
    if (auto v = node.optionalField("identifyBytes")) spec.identifyBytes = asByteString(*v);
    if (auto v = node.optionalField("revision")) spec.revision = static_cast<std::uint16_t>(v->asInteger(0, 0xFFFF));
    if (auto list = node.optionalField("attributes")) {
        for (const auto& item : list->items()) {
            item.expectFields({"id", "flags", "value", "worst", "raw"});
            SimAttribute a;
            a.id = asByte(item.field("id"));
            if (auto v = item.optionalField("flags")) a.flags = static_cast<std::uint16_t>(v->asHex(0xFFFF, "0x0022"));
            if (auto v = item.optionalField("value")) a.value = asByte(*v);
            if (auto v = item.optionalField("worst")) a.worst = asByte(*v);
            if (auto v = item.optionalField("raw")) a.raw = asHex64(*v) & 0xFFFFFFFFFFFFull;
            spec.attributes.push_back(a);
        }
        if (spec.attributes.size() > 30) list->fail("at most 30 attributes fit a page");
    }
    if (auto v = node.optionalField("attributeChecksum")) spec.attributeChecksum = asChecksum(*v);
    if (auto list = node.optionalField("thresholds"))
        for (const auto& item : list->items()) spec.thresholds.push_back(asByte(item));
    if (auto v = node.optionalField("thresholdChecksum")) spec.thresholdChecksum = asChecksum(*v);
    if (auto v = node.optionalField("temperature")) {
        if (v->isInteger()) {
            spec.temperature = constantValue(asByte(*v));
        } else if (v->isObject()) {
            spec.temperature = readTemperature(*v, disks.machine().thermal());
        } else {
            std::vector<std::uint8_t> values;
            for (const auto& item : v->items()) values.push_back(asByte(item));
            if (values.empty()) v->failExpected("a temperature or a list of them");
            spec.temperature = scriptedValues(std::move(values));
        }
    }
    if (auto list = node.optionalField("refuse")) {
        for (const auto& item : list->items()) {
            const std::string what = item.asString();
            if (what == "thresholds") spec.refuseThresholds = true;
            else if (what == "enable") spec.refuseEnable = true;
            else item.failExpected("\"thresholds\" or \"enable\"");
        }
    }
    if (auto logs = node.optionalField("logs")) {
        for (const auto& [key, value] : logs->members()) {
            const auto address = parseHex(key);
            if (!address || *address > 0xFF) value.fail("expected a log address like \"0x01\" as the key");
            spec.logs[static_cast<std::uint8_t>(*address)] = asByteString(value);
        }
    }
    if (auto list = node.optionalField("selfTestSeconds")) {
        const auto items = list->items();
        if (items.size() != 3) list->failExpected("three durations: short, extended, conveyance");
        for (int i = 0; i < 3; ++i) spec.selfTestSeconds[i] = static_cast<std::uint32_t>(items[i].asInteger(1, 86400));
    }
    if (auto v = node.optionalField("fault")) spec.fault = asFault(*v);
    if (auto v = node.optionalField("physical")) loadPhysical(*v, spec, disks);
    if (auto v = node.optionalField("scsiTarget")) {
        if (!spec.physical) v->fail("a SCSI target needs a \"physical\" path");
        spec.scsiTarget = asScsiTarget(*v);
    }
    if (auto v = node.optionalField("scsi")) {
        v->expectFields({"port", "target", "fault"});
        spec.scsi = SimDiskSpec::Scsi{static_cast<int>(v->field("port").asInteger(0, 255)),
                                      static_cast<int>(v->field("target").asInteger(0, 255))};
        if (auto f = v->optionalField("fault"))
            disks.pathFault("\\\\.\\Scsi" + std::to_string(spec.scsi->port) + ":") = asFault(*f);
    }
    if (auto v = node.optionalField("threeWare")) {
        v->expectFields({"drive", "port", "controllerId"});
        SimDiskSpec::ThreeWare t;
        t.drive = static_cast<int>(v->field("drive").asInteger(0, 255));
        t.port = static_cast<int>(v->field("port").asInteger(0, 31));
        if (auto c = v->optionalField("controllerId")) t.controllerId = static_cast<std::uint16_t>(c->asHex(0xFFFF, "0x1002"));
        spec.threeWare = t;
    }
    if (auto v = node.optionalField("csmi")) {
        v->expectFields({"port", "phy", "sasAddress", "connectionStatus", "statusFisError", "initiatorProtocol",
                         "targetProtocol", "negotiatedRate", "minimumRate", "maximumRate"});
        SimDiskSpec::Csmi c;
        c.port = static_cast<int>(v->field("port").asInteger(0, 255));
        c.phy = asByte(v->field("phy"));
        c.sasAddress = asSasAddress(v->field("sasAddress"));
        if (auto s = v->optionalField("connectionStatus")) c.connectionStatus = asByte(*s);
        if (auto s = v->optionalField("statusFisError")) c.statusFisError = s->asBool();
        const std::pair<const char*, std::uint8_t SimDiskSpec::Csmi::*> phyBytes[] = {
            {"initiatorProtocol", &SimDiskSpec::Csmi::initiatorProtocol},
            {"targetProtocol", &SimDiskSpec::Csmi::targetProtocol},
            {"negotiatedRate", &SimDiskSpec::Csmi::negotiatedRate},
            {"minimumRate", &SimDiskSpec::Csmi::minimumRate},
            {"maximumRate", &SimDiskSpec::Csmi::maximumRate}};
        for (const auto& [key, field] : phyBytes)
            if (auto s = v->optionalField(key)) c.*field = asByte(*s);
        spec.csmi = c;
    }
    disks.add(std::move(spec));
}

}  // namespace

void loadDisksSection(const BoardNode& section, Machine& machine) {
    if (!section.isObject()) section.failExpected("an object of disks by name");
    for (const auto& [name, node] : section.members()) loadDisk(name, node, machine.disks());
}

}  // namespace platform::sim
