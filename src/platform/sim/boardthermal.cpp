#include "platform/sim/boardthermal.h"

#include "platform/sim/machine.h"

namespace platform::sim {

void loadThermalSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"sources", "fans"});
    ThermalModel& thermal = machine.thermal();
    const auto unique = [&thermal](const BoardNode& name) {
        const std::string text = name.asNonEmptyString();
        if (thermal.hasSource(text) || thermal.hasFan(text)) name.failExpected("a name no other source or fan has");
        return text;
    };
    if (auto sources = section.optionalField("sources")) {
        for (const BoardNode& source : sources->items()) {
            source.expectFields({"name", "ambient", "heating", "timeConstant"});
            thermal.addSource(unique(source.field("name")), source.field("ambient").asNumber(-50, 150),
                              source.field("heating").asNumber(0, 200),
                              source.field("timeConstant").asNumber(0.1, 3600));
        }
    }
    if (auto fans = section.optionalField("fans")) {
        for (const BoardNode& fan : fans->items()) {
            fan.expectFields({"name", "maxRpm", "duty", "cools"});
            const std::string name = unique(fan.field("name"));
            std::map<std::string, double> cooling;
            if (auto cools = fan.optionalField("cools")) {
                for (const auto& [source, strength] : cools->members()) {
                    if (!thermal.hasSource(source)) strength.fail("expected the name of a heat source as the name");
                    cooling[source] = strength.asNumber(0, 100);
                }
            }
            const double duty = fan.optionalField("duty") ? fan.field("duty").asNumber(0, 1) : 1.0;
            thermal.addFan(name, fan.field("maxRpm").asNumber(0, 100000), duty, std::move(cooling));
        }
    }
}

}  // namespace platform::sim
