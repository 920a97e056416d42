#pragma once
// Intel memory controller hubs for fully buffered memory: the SPD controllers
// in the hub's configuration space (dumped to the trace and registered as
// "MCHSPD" links) and the memory buffers (AMBs) behind the AMBASE window, one
// FB-DIMM temperature sensor per module found.

#include <cstdint>

#include "detect/cvdetectcontext.h"

class TLogSinks;

// Results of ReadMCHSPDByte.
enum TMCHSPDResult : int { MCHSPDOk = 0, MCHSPDNoData = 1, MCHSPDBusy = 3 };

void ProbeIntelFBDimm(TDetectionContext& context);

// One SPD byte through the controller whose command dword and status word sit
// at CommandRegister and StatusRegister; Value is FFh unless the read worked.
// A controller that stays busy or never delivers is traced to Log.
int ReadMCHSPDByte(TLogSinks& log, int bus, int device, int function, std::uint8_t& value, std::uint8_t offset, std::uint8_t slave,
                   int commandRegister, int statusRegister);
// The first 256 bytes of the EEPROMs at 50h-53h of one controller, to the trace.
void DumpMCHSPD(TDetectionContext& context, int bus, int device, int function, int commandRegister,
                int statusRegister);
// Dumps both controllers of the function and registers them as links.
void AddMCHSPDLinks(TDetectionContext& context, int bus, int device, int function);
