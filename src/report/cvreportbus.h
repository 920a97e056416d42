#pragma once
// The report's bus sections: every PCI function with its configuration
// space, the chips at the ISA links' bases, a probe of every SMBus address,
// and the links' transaction statistics.

#include <array>
#include <cstdint>
#include <string>

#include "core/cvreadingslots.h"

class TReport;
class TLink;
struct TScanFlags;
struct TBoardIdentity;

void AddPciList(TReport& report);
void AddPciWordDump(TReport& report, int bus, int device, int function);
void AddIsaScan(TReport& report, const TSensorList& sensors);
void AddSmbusScan(TReport& report, const TSensorList& sensors, const TScanFlags& flags, const TBoardIdentity* board);
void AddSmbusRetries(TReport& report);
void AddSmbusPauses(TReport& report);

bool IsDumpableRegister(int chipCode, int reg);
std::string DeviceLabel(const TSensorList& sensors, const TLink& link, int address);
// 1 when no detected sensor of the link sits there, else the last one's chip code.
std::uint8_t FindSensorChipCode(const TSensorList& sensors, const TLink& link, int address);
void AddDeviceDump(TReport& report, const TSensorList& sensors, const TScanFlags& flags, const std::string& prefix,
                   TLink& link, int address, std::uint8_t lastResult, std::uint8_t chipCode);
