#include "platform/sim/boardheci.h"

#include <cmath>

#include "platform/sim/heci.h"
#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

std::int32_t wire(double value, double scale) { return static_cast<std::int32_t>(std::lround(value * scale)); }

// A constant, or a temperature or fan speed of the thermal model.
std::function<std::int32_t()> valueSource(const BoardNode& node, double scale, Machine& machine) {
    if (!node.present()) return [] { return 0; };
    if (!node.isObject()) {
        const std::int32_t v = wire(node.asNumber(-1e6, 1e6), scale);
        return [v] { return v; };
    }
    node.expectFields({"thermal", "thermalFan"});
    ThermalModel& thermal = machine.thermal();
    if (auto source = node.optionalField("thermal")) {
        const std::string name = source->asNonEmptyString();
        if (!thermal.hasSource(name)) source->failExpected("the name of a heat source");
        return [&thermal, name, scale] { return wire(thermal.temperature(name), scale); };
    }
    const BoardNode fan = node.field("thermalFan");
    const std::string name = fan.asNonEmptyString();
    if (!thermal.hasFan(name)) fan.failExpected("the name of a thermal fan");
    return [&thermal, name, scale] { return wire(thermal.fanRpm(name), scale); };
}

int monitorIndex(const BoardNode& item, int limit) {
    return static_cast<int>(item.field("index").asInteger(0, limit - 1));
}

void loadMonitors(const BoardNode& list, std::map<int, QstMonitor>& out, double scale, int limit, Machine& machine) {
    for (const BoardNode& item : list.items()) {
        item.expectFields({"index", "usage", "enabled", "relative", "thresholds", "value", "status"});
        QstMonitor m;
        const int index = monitorIndex(item, limit);
        if (out.count(index)) item.field("index").failExpected("an index no other monitor of this kind has");
        m.usage = static_cast<std::uint8_t>(item.field("usage").asInteger(0, 255));
        if (auto f = item.optionalField("enabled")) m.enabled = static_cast<std::uint8_t>(f->asInteger(0, 255));
        if (auto f = item.optionalField("relative")) m.relative = static_cast<std::uint8_t>(f->asInteger(0, 255));
        if (auto f = item.optionalField("status")) m.status = static_cast<std::uint8_t>(f->asInteger(0, 255));
        if (auto f = item.optionalField("thresholds"))
            for (const BoardNode& t : f->items()) m.thresholds.push_back(wire(t.asNumber(-1e6, 1e6), scale));
        m.value = valueSource(item.field("value"), scale, machine);
        out[index] = std::move(m);
    }
}

}  // namespace

void loadHeciSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"present", "openError", "notReadyOpens", "version", "versionBytes", "unreadableInterfaces",
                          "connectAnswerSize", "maxMessageLength", "controlHangs", "qst"});
    HeciConfig c;
    if (auto f = section.optionalField("present")) c.present = f->asBool();
    if (auto f = section.optionalField("openError")) c.openError = static_cast<std::uint32_t>(f->asInteger(0, 0xFFFF));
    if (auto f = section.optionalField("notReadyOpens")) c.notReadyOpens = static_cast<int>(f->asInteger(0, 1000));
    if (auto f = section.optionalField("version")) {
        unsigned major = 0, minor = 0, hotfix = 0, build = 0;
        char end = 0;
        if (std::sscanf(f->asString().c_str(), "%u.%u.%u.%u%c", &major, &minor, &hotfix, &build, &end) != 4 ||
            major > 255 || minor > 255 || hotfix > 255 || build > 65535)
            f->failExpected("a version \"major.minor.hotfix.build\"");
        c.version = {static_cast<std::uint8_t>(major), static_cast<std::uint8_t>(minor), static_cast<std::uint8_t>(hotfix),
                     static_cast<std::uint8_t>(build), static_cast<std::uint8_t>(build >> 8)};
    }
    if (auto f = section.optionalField("versionBytes")) c.version.resize(static_cast<std::size_t>(f->asInteger(0, 16)));
    if (auto f = section.optionalField("unreadableInterfaces")) c.unreadableInterfaces = static_cast<int>(f->asInteger(0, 8));
    if (auto f = section.optionalField("connectAnswerSize"))
        c.connectAnswerSize = static_cast<std::uint32_t>(f->asInteger(0, 64));
    if (auto f = section.optionalField("maxMessageLength"))
        c.maxMessageLength = static_cast<std::uint32_t>(f->asInteger(0, 0xFFFFFFFF));
    if (auto f = section.optionalField("controlHangs")) c.controlHangs = f->asBool();

    const auto qst = section.optionalField("qst");
    c.qst = qst.has_value();
    if (qst) {
        qst->expectFields({"generation", "byte13Field", "tempResponse", "temperatures", "fans", "voltages", "controllers"});
        c.generation = static_cast<int>(qst->field("generation").asInteger(1, 2));
        const int records = c.generation == 2 ? 32 : 8;
        if (auto f = qst->optionalField("byte13Field")) c.byte13Field = f->asHex(0xFFFFFFFF, "\"0\"");
        if (auto f = qst->optionalField("tempResponse")) c.tempResponse = f->asHex(0xFFFFFFFF, "\"0\"");
        if (auto f = qst->optionalField("temperatures")) loadMonitors(*f, c.temps, 100, c.generation == 2 ? 32 : 12, machine);
        if (auto f = qst->optionalField("fans")) loadMonitors(*f, c.fans, 1, records, machine);
        if (auto f = qst->optionalField("voltages")) loadMonitors(*f, c.volts, 1000, records, machine);
        if (auto f = qst->optionalField("controllers")) {
            for (const BoardNode& item : f->items()) {
                item.expectFields({"index", "usage", "enabled", "duty", "software", "state", "thermalFan"});
                QstController q;
                const int index = monitorIndex(item, records);
                if (c.controllers.count(index)) item.field("index").failExpected("an index no other controller has");
                q.usage = static_cast<std::uint8_t>(item.field("usage").asInteger(0, 255));
                if (auto e = item.optionalField("enabled")) q.enabled = static_cast<std::uint8_t>(e->asInteger(0, 255));
                if (auto d = item.optionalField("duty")) q.duty = static_cast<std::uint16_t>(std::lround(d->asNumber(0, 100) * 100));
                q.flags = static_cast<std::uint8_t>(q.enabled ? 0x01 : 0);
                if (auto s = item.optionalField("software"); s && s->asBool()) q.flags |= 0x08;
                if (auto s = item.optionalField("state")) q.flags |= static_cast<std::uint8_t>(s->asInteger(0, 3) << 1);
                if (auto t = item.optionalField("thermalFan")) {
                    q.thermalFan = t->asNonEmptyString();
                    if (!machine.thermal().hasFan(q.thermalFan)) t->failExpected("the name of a thermal fan");
                }
                c.controllers[index] = q;
            }
        }
    }
    installHeci(machine, std::move(c));
}

}  // namespace platform::sim
