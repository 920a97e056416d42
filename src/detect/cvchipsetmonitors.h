#pragma once
// The hardware monitors built into three south bridges, found through the
// chipset rather than by an address scan: the ALi M1535 (a sensor on the PCI
// link), the VIA VT82C686 and VT8231 (a monitor block on ISA whose base and
// enable bit sit in the SMBus controller's configuration space) and the
// SiS5595 (its DAM block on ISA).

#include "detect/cvdetectcontext.h"

// Once per PCI function: a later run for another SMBus link adds nothing.
bool ProbeALiM1535(TDetectionContext& context);
// True when it added the monitor's ISA sensor. A monitor that cannot be used
// sets context.VIAMonitorDisabled.
bool ProbeVIAHardwareMonitor(TDetectionContext& context, int linkIndex);
// LinkIndex: the ISA link that gets the sensor.
void ProbeSiS5595DAM(TDetectionContext& context, int linkIndex);
