#include "detect/cvdiscoveredsensors.h"

#include "core/cvmonitor.h"
#include "detect/cvsensorfactory.h"

std::function<void(const TDiscoveredSensor&)> DiscoveredSensorSink(TMonitor& monitor, TSensorFactory& factory) {
    return [&monitor, &factory](const TDiscoveredSensor& found) {
        factory.AddSensor(found.LinkIndex, static_cast<std::uint32_t>(found.Address), found.ChipCode);
        // A refused or unbuilt chip leaves another sensor newest: it keeps its fields.
        if (monitor.Sensors.empty() || monitor.Sensors.back()->FChipCode != found.ChipCode) return;
        TSensor& sensor = *monitor.Sensors.back();
        if (found.Address2 >= 0) sensor.FAddress2 = found.Address2;
        if (found.Aux2 >= 0) sensor.FAux2 = found.Aux2;
    };
}
