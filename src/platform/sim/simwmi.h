#pragma once
// The simulated machine's WMI: instances a board writes by hand (section
// "wmi"), then, at the first query, one Win32_DiskDrive per disk on a
// physical path and the USB and 1394 controllers with the devices in front
// of the bridged disks.

#include "platform/wmi.h"

namespace platform::sim {

class BoardNode;
class Machine;

class SimWmi : public WmiStore {
public:
    explicit SimWmi(Machine& machine) : machine_(machine) {}
    bool enabled = true;

protected:
    void prepare() override;

private:
    Machine& machine_;
    bool filled_ = false;
};

// {"enabled", "failQueries": [texts], "failConnect": "message",
//  "classes": {"<class>": [instances]}, "namespaces": {"root\\WMI": {"<class>": [instances]}},
//  "methods": [{"namespace", "class", "name", "inParameters": [names]}],
//  "associators": [{"class", "deviceId", "assocClass", "instances"}]}
// A property is a plain value or {"cimType": 19, "value": ...}. With an
// "smbios" section, root\WMI has MSSmBios_RawSMBiosTables.
void loadWmiSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
