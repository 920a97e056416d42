#pragma once
// The temperature sensors built into the processors: AMD nodes found by the
// PCI identity of their northbridge function, and Intel's digital thermal
// sensors as the core-temperature probe reports them.

#include <cstdint>
#include <string>

#include "detect/cvdetectcontext.h"

void ProbeAMDInternalSensors(TDetectionContext& context);
void ProbeIntelInternalSensors(TDetectionContext& context);

// One blank of every pair of blanks removed until none is left.
std::string CollapseBlanks(std::string text);
