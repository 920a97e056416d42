#pragma once
// Host discovery (hw/) registers a few sensors itself: the nForce2 chipset
// switches, the south bridge's PM2 fan control and the graphics cards. It
// hands them over as TDiscoveredSensor; this turns them into factory calls.

#include <functional>

#include "hw/cvlinkscan.h"

class TMonitor;
class TSensorFactory;

// What the start-up puts in TMonitor::AddDiscoveredSensor (and so in the
// scan context's AddSensor): the factory adds the sensor, and when the
// newest sensor then has the chip code asked for it gets the extra fields
// the discovery gave.
std::function<void(const TDiscoveredSensor&)> DiscoveredSensorSink(TMonitor& monitor, TSensorFactory& factory);
