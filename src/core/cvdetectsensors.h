#pragma once
// The order of sensor detection at start-up: each bus link's probe chain,
// then the other sources, each gated by its scan flag. The probes themselves
// belong to the detection subsystem and reach the core as TDetectionSteps;
// a step not built yet says so in one trace line.

#include <bitset>
#include <cstdint>
#include <string>

#include "core/cvreadingslots.h"  // TSensorList

class TMonitor;
struct TDetectionContext;

// The SMBus addresses probed on every SMBus link: bit n stands for 10h + n.
extern const std::bitset<104> SmbusUsefulAddresses;
bool IsUsefulSmbusAddress(std::uint32_t address);

void DetectSensors(TMonitor& monitor);
void ProbeLink(TMonitor& monitor, TDetectionContext& context, int linkIndex);

// Chip name and "%.4x" bus address of every sensor, in list order.
std::string DetectionSignatureText(const TSensorList& sensors);
// 32 upper-case hexadecimal digits: the MD5 digest of the text.
std::string MD5Hex(const std::string& text);
// When the signature differs from LastDetect: stores it, saves the options
// without their clock lines and answers True.
bool DetectionSignature(TMonitor& monitor);
// The chip names joined by CR.
std::string SensorsDetectedText(const TSensorList& sensors);
bool HasChipCode(const TSensorList& sensors, std::uint8_t code);
