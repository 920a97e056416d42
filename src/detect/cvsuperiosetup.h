#pragma once
// What follows the identification of a Super I/O chip: each vendor's set-up
// finds where the chip's hardware monitor lives (a logical device and its
// base), switches parts of it on where needed, registers an ISA link for it
// and creates its sensor, and writes a picture of the chip to the debug box.
// Configuration ports are reached raw through IOPort; every set-up that
// enters configuration mode writes the exit key on every path.

#include <bitset>
#include <cstdint>
#include <string>

#include "detect/cvdetectcontext.h"

// Bit n stands for logical device n.
using TLogicalDeviceSet = std::bitset<32>;
// Bit n stands for register (or port offset) n.
using TRegisterSet = std::bitset<256>;

// Registers first..last.
TRegisterSet RegisterRange(int first, int last);

// ---- diagnostics (the chip must be in configuration mode) ----------------------

// One line per device of the set, in increasing order; the selected device
// is restored.
void DumpLogicalDevices(TDetectionContext& context, std::uint16_t configPort, const TLogicalDeviceSet& devices);
// Sixteen lines of sixteen bytes: ports Base + offset, "--" for offsets
// outside the set.
void DumpPortRange(TDetectionContext& context, std::uint16_t base, const TRegisterSet& offsets,
                   const std::string& prefix);
// The same over configuration registers.
void DumpConfigRange(TDetectionContext& context, std::uint16_t configPort, const TRegisterSet& registers,
                     const std::string& prefix);

// Selects the device (it stays selected) and answers 60h/61h; Enabled is
// bit 0 of 30h, and a disabled device is named in the debug box.
std::uint16_t ReadLogicalDeviceBase(TDetectionContext& context, std::uint16_t configPort, std::uint8_t ldn,
                                    const std::string& name, bool& enabled);
// Switches a National fan monitor on when its bit is clear and logs the
// fan's two runtime ports at FanBase + 2 x Fan.
void EnableNSFanMonitor(TDetectionContext& context, std::uint16_t configPort, std::uint16_t fanBase, int fan,
                        std::uint8_t reg, std::uint8_t monitorBit, std::uint8_t controlBit, std::uint8_t invertBit);

// ---- set-ups ---------------------------------------------------------------------
// Text is the recorded "$%.4x name"; the configuration port is the number
// its first five characters spell. LinkIndex is the link being probed (the
// first link): sensors go there and raw port accesses use it. A failure of a
// port access ends the set-up (exit key written) and reaches the caller.

using TSuperIOSetup = void (*)(TDetectionContext& context, int linkIndex, const std::string& text,
                               std::uint8_t chipCode);

void SetupITE(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode);
void SetupWinbondFamily(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode);
// Codes 151-161.
void SetupSMSCType1(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode);
// Codes 164, 165, 167.
void SetupSMSCType2(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode);
// Code 166.
void SetupSMSCType3(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode);
// Code 169.
void SetupSMSCType4(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode);
// Codes 46, 162, 163, 168, 170-175, 225.
void SetupSMSCOther(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode);
// Codes 142-147.
void SetupNSMonitor(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode);
// Codes 148, 149.
void SetupNSOther(TDetectionContext& context, int linkIndex, const std::string& text, std::uint8_t chipCode);

// The set-up of an SMSC or National chip code; null for a code without one.
// ITE and Winbond-family chips take their vendor's set-up whatever the code.
TSuperIOSetup SuperIOSetupFor(std::uint8_t chipCode);
