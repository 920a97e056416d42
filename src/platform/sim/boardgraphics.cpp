#include "platform/sim/boardgraphics.h"

#include <charconv>
#include <initializer_list>

#include "platform/gpulibraries.h"
#include "platform/sim/boardhardware.h"
#include "platform/sim/boardi2c.h"
#include "platform/sim/machine.h"
#include "platform/sim/simgeforce.h"
#include "platform/sim/simgpulibraries.h"

namespace platform::sim {
namespace {

// A member's name as a number ("7", or "0x50" with base 16).
int keyNumber(const std::string& key, const BoardNode& node, int base) {
    const std::string digits = base == 16 && key.starts_with("0x") ? key.substr(2) : key;
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size())
        node.fail(base == 16 ? "expected a hex number like \"0x50\" as the name" : "expected a decimal number as the name");
    return value;
}

// Numbers are decimal integers or hex strings.
std::uint32_t asNumber(const BoardNode& node) {
    return node.isString() ? node.asHex(0xFFFFFFFF, "0x10DE") : static_cast<std::uint32_t>(node.asInteger(INT32_MIN, UINT32_MAX));
}

template <class Record>
void readNumbers(const BoardNode& node, Record& record,
                 std::initializer_list<std::pair<std::string_view, std::uint32_t Record::*>> fields) {
    for (const auto& [name, member] : fields)
        if (auto value = node.optionalField(name)) record.*member = asNumber(*value);
}

template <class Record>
void readSigned(const BoardNode& node, Record& record,
                std::initializer_list<std::pair<std::string_view, std::int32_t Record::*>> fields) {
    for (const auto& [name, member] : fields)
        if (auto value = node.optionalField(name)) record.*member = static_cast<std::int32_t>(asNumber(*value));
}

std::set<std::string> names(const BoardNode& node) {
    std::set<std::string> out;
    for (const BoardNode& item : node.items()) out.insert(item.asNonEmptyString());
    return out;
}

std::map<std::string, SimCallFault> faults(const BoardNode& node) {
    std::map<std::string, SimCallFault> out;
    for (const auto& [name, fault] : node.members()) {
        fault.expectFields({"raises", "status"});
        SimCallFault& f = out[name];
        if (auto raises = fault.optionalField("raises")) f.raises = raises->asBool();
        if (auto status = fault.optionalField("status")) f.status = static_cast<std::int32_t>(status->asInteger(INT32_MIN, INT32_MAX));
    }
    return out;
}

SimNvGpu nvGpu(const BoardNode& node, Machine& machine) {
    node.expectFields({"handle", "name", "deviceId", "subSystemId", "revisionId", "extDeviceId", "bus", "slot",
                       "sensors", "tach", "ramType", "coolers", "voltageDomains", "i2c"});
    SimNvGpu gpu;
    readNumbers(node, gpu, {{"handle", &SimNvGpu::handle}, {"deviceId", &SimNvGpu::deviceId},
                            {"subSystemId", &SimNvGpu::subSystemId}, {"revisionId", &SimNvGpu::revisionId},
                            {"extDeviceId", &SimNvGpu::extDeviceId}, {"bus", &SimNvGpu::bus}, {"slot", &SimNvGpu::slot},
                            {"tach", &SimNvGpu::tach}, {"ramType", &SimNvGpu::ramType}});
    if (auto name = node.optionalField("name")) gpu.name = name->asString();
    if (auto list = node.optionalField("sensors"))
        for (const BoardNode& item : list->items()) {
            item.expectFields({"controller", "defaultMin", "defaultMax", "current", "target"});
            readNumbers(item, gpu.sensors.emplace_back(),
                        {{"controller", &SimNvThermalSensor::controller}, {"defaultMin", &SimNvThermalSensor::defaultMin},
                         {"defaultMax", &SimNvThermalSensor::defaultMax}, {"current", &SimNvThermalSensor::current},
                         {"target", &SimNvThermalSensor::target}});
        }
    if (auto list = node.optionalField("coolers"))
        for (const BoardNode& item : list->items()) {
            item.expectFields({"type", "controller", "currentLevel", "target"});
            readNumbers(item, gpu.coolers.emplace_back(),
                        {{"type", &SimNvCooler::type}, {"controller", &SimNvCooler::controller},
                         {"currentLevel", &SimNvCooler::currentLevel}, {"target", &SimNvCooler::target}});
        }
    if (auto list = node.optionalField("voltageDomains"))
        for (const BoardNode& item : list->items()) {
            item.expectFields({"id", "voltages"});
            SimNvVoltageDomain& domain = gpu.voltageDomains.emplace_back();
            readNumbers(item, domain, {{"id", &SimNvVoltageDomain::id}});
            for (const BoardNode& v : item.field("voltages").items()) domain.voltages.push_back(asNumber(v));
        }
    if (auto ports = node.optionalField("i2c"))
        for (const auto& [port, slaves] : ports->members())
            gpu.i2c[static_cast<std::uint32_t>(keyNumber(port, slaves, 10))] = readI2CSlaves(slaves, machine);
    return gpu;
}

std::vector<SimNvDisplay> nvDisplays(const BoardNode& node) {
    std::vector<SimNvDisplay> out;
    for (const BoardNode& item : node.items()) {
        item.expectFields({"handle", "dedicated", "available", "system", "shared", "currentAvailable"});
        readNumbers(item, out.emplace_back(),
                    {{"handle", &SimNvDisplay::handle}, {"dedicated", &SimNvDisplay::dedicated},
                     {"available", &SimNvDisplay::available}, {"system", &SimNvDisplay::system},
                     {"shared", &SimNvDisplay::shared}, {"currentAvailable", &SimNvDisplay::currentAvailable}});
    }
    return out;
}

void loadNvApi(const BoardNode& node, SimNvApi& api, Machine& machine) {
    node.expectFields({"initStatus", "driverVersion", "buildChangeList", "branch", "interfaceVersion", "gpus",
                       "displays", "unattached", "missing", "faults"});
    api.present = true;
    readNumbers(node, api, {{"driverVersion", &SimNvApi::driverVersion}, {"buildChangeList", &SimNvApi::buildChangeList}});
    readSigned(node, api, {{"initStatus", &SimNvApi::initStatus}});
    if (auto v = node.optionalField("branch")) api.branch = v->asString();
    if (auto v = node.optionalField("interfaceVersion")) api.interfaceVersion = v->asString();
    if (auto list = node.optionalField("gpus"))
        for (const BoardNode& item : list->items()) api.gpus.push_back(nvGpu(item, machine));
    if (auto list = node.optionalField("displays")) api.displays = nvDisplays(*list);
    if (auto list = node.optionalField("unattached")) api.unattached = nvDisplays(*list);
    if (auto list = node.optionalField("missing")) {
        api.missing = names(*list);
        for (const std::string& name : api.missing)
            if (nvapi::IdOf(name) == 0) list->fail("\"" + name + "\" is no function of the GPU library");
    }
    if (auto list = node.optionalField("faults")) api.faults = faults(*list);
}

void loadNvCpl(const BoardNode& node, SimNvCpl& cpl) {
    node.expectFields({"linked", "monitors"});
    cpl.present = true;
    if (auto v = node.optionalField("linked")) cpl.linked = v->asBool();
    if (auto list = node.optionalField("monitors"))
        for (const auto& [key, value] : list->members()) {
            value.expectFields({"core", "ambient", "limit"});
            auto& monitor = cpl.monitors[static_cast<std::uint32_t>(keyNumber(key, value, 10))];
            const char* fields[] = {"core", "ambient", "limit"};
            for (int i = 0; i < 3; ++i)
                if (auto v = value.optionalField(fields[i])) monitor[i] = static_cast<std::int32_t>(v->asInteger(-300, 1000));
        }
}

SimAdlCard adlCard(const BoardNode& node) {
    node.expectFields({"adapters", "name", "bus", "device", "function", "millidegrees", "engineClock", "memoryClock",
                       "vddc", "activity", "fanFlags", "minPercent", "maxPercent", "minRPM", "maxRPM", "percent", "rpm",
                       "manual", "acceptMin", "acceptMax", "i2c", "faults"});
    SimAdlCard card;
    for (const BoardNode& a : node.field("adapters").items()) card.adapters.push_back(static_cast<int>(a.asInteger(0, 255)));
    if (auto v = node.optionalField("name")) card.name = v->asString();
    for (const auto& [name, member] : std::initializer_list<std::pair<std::string_view, int SimAdlCard::*>>{
             {"bus", &SimAdlCard::bus}, {"device", &SimAdlCard::device}, {"function", &SimAdlCard::function}})
        if (auto v = node.optionalField(name)) card.*member = static_cast<int>(v->asInteger(0, 255));
    readSigned(node, card, {{"millidegrees", &SimAdlCard::millidegrees}, {"engineClock", &SimAdlCard::engineClock},
                            {"memoryClock", &SimAdlCard::memoryClock}, {"vddc", &SimAdlCard::vddc},
                            {"activity", &SimAdlCard::activity}, {"fanFlags", &SimAdlCard::fanFlags},
                            {"minPercent", &SimAdlCard::minPercent}, {"maxPercent", &SimAdlCard::maxPercent},
                            {"minRPM", &SimAdlCard::minRPM}, {"maxRPM", &SimAdlCard::maxRPM},
                            {"percent", &SimAdlCard::percent}, {"rpm", &SimAdlCard::rpm},
                            {"acceptMin", &SimAdlCard::acceptMin}, {"acceptMax", &SimAdlCard::acceptMax}});
    if (auto v = node.optionalField("manual")) card.manual = v->asBool();
    if (auto lines = node.optionalField("i2c"))
        for (const auto& [line, devices] : lines->members())
            for (const auto& [address, bytes] : devices.members())
                card.i2c[keyNumber(line, devices, 10)][keyNumber(address, bytes, 16)] = asByteString(bytes);
    if (auto list = node.optionalField("faults")) card.faults = faults(*list);
    return card;
}

void loadAdl(const BoardNode& node, SimAdl& adl) {
    node.expectFields({"path", "missing", "cards"});
    adl.path = node.field("path").asNonEmptyString();
    if (adl.path != adl::FileName && adl.path != adl::FileName32)
        node.field("path").failExpected(std::string("\"") + adl::FileName + "\" or \"" + adl::FileName32 + "\"");
    if (auto list = node.optionalField("missing")) adl.missing = names(*list);
    if (auto list = node.optionalField("cards"))
        for (const BoardNode& item : list->items()) adl.cards.push_back(adlCard(item));
}

VideoBiosSpec biosSpec(const BoardNode& node) {
    node.expectFields({"vendorId", "deviceId", "version", "strings", "thermal"});
    VideoBiosSpec spec;
    if (auto v = node.optionalField("vendorId")) spec.vendorId = static_cast<std::uint16_t>(v->asHex(0xFFFF, "0x10DE"));
    spec.deviceId = static_cast<std::uint16_t>(node.field("deviceId").asHex(0xFFFF, "0x0391"));
    if (auto v = node.optionalField("version")) {
        const auto bytes = asByteString(*v);
        std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 5), spec.version.begin());
    }
    if (auto list = node.optionalField("strings"))
        for (const BoardNode& s : list->items()) spec.strings.push_back(s.asString());
    if (auto list = node.optionalField("thermal"))
        for (const BoardNode& entry : list->items()) {
            entry.expectFields({"id", "value"});
            spec.thermal.emplace_back(static_cast<std::uint8_t>(entry.field("id").asHex(0xFF, "0x10")),
                                      static_cast<std::uint16_t>(entry.field("value").asHex(0xFFFF, "0xFF6B")));
        }
    return spec;
}

void loadCards(const BoardNode& node, Machine& machine) {
    for (const BoardNode& item : node.items()) {
        item.expectFields({"bar0", "thermal", "bios", "largestRomRead"});
        GeForceMmio card;
        card.bar0 = item.field("bar0").asHex(0xFF000000, "0xFD000000");
        if (auto v = item.optionalField("thermal")) card.thermal = v->asHex(0xFFFFFFFF, "0x00000A5A");
        if (auto v = item.optionalField("bios")) card.bios = buildVideoBios(biosSpec(*v));
        if (auto v = item.optionalField("largestRomRead")) card.largestRomRead = static_cast<std::size_t>(v->asInteger(1, 0x10000));
        addGeForceMmio(machine, card);
    }
}

}  // namespace

void loadGraphicsSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"nvapi", "nvcpl", "adl", "cards"});
    auto graphics = std::make_shared<SimGraphics>();
    if (auto node = section.optionalField("nvapi")) loadNvApi(*node, graphics->nvapi, machine);
    if (auto node = section.optionalField("nvcpl")) loadNvCpl(*node, graphics->nvcpl);
    if (auto node = section.optionalField("adl")) loadAdl(*node, graphics->adl);
    if (auto node = section.optionalField("cards")) loadCards(*node, machine);
    placeGraphicsLibraries(machine.simLibraries(), graphics);
}

}  // namespace platform::sim
