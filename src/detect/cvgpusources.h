#pragma once
// Graphics cards that the vendor libraries can read: ATI/AMD cards through
// the ADL wrapper (one sensor per usable card) and NVIDIA cards through the
// control panel (one sensor). Both mostly log what the library reports.

#include "detect/cvdetectcontext.h"

// Both need their service in context.Sources.
void ProbeATIADL(TDetectionContext& context);
void ProbeNVControlPanel(TDetectionContext& context);
