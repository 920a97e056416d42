#pragma once
// Steps of the per-link probing that deal with particular chips and boards
// rather than with a chip family: the Dell system-management sensor, a
// Winbond hardware monitor the BIOS left switched off, the receive-slave
// address of the Intel ICH SMBus host, whether anything answers at ISA port
// 290h at all, and the TigerMP board's diode types.

#include <cstdint>

#include "detect/cvdetectcontext.h"

// A W83627HF or W83697HF without a sensor of its code: activates its monitor,
// at most once per detection.
void ActivateWinbondMonitorIfMissing(TDetectionContext& context);
// Re-programs the monitor's logical device with the recorded base, switches
// it on, probes it and moves its SMBus addresses out of the way of devices
// that answer there. Lines go to the debug box; the exit key is always written.
void ActivateWinbondMonitor(TDetectionContext& context);

// True when some SMBus link has Address registered and something answers there.
bool IsSMBusAddressTaken(int address);
// Probes Address on every SMBus link where it is unregistered and answers;
// True when that happened at least once.
bool ProbeMovedAddress(TDetectionContext& context, int address);
// A register of the Winbond monitor at Base, raw through Base + 5 / Base + 6.
std::uint8_t ReadMonitorRegister(std::uint16_t base, std::uint8_t reg);
void WriteMonitorRegister(std::uint16_t base, std::uint8_t reg, std::uint8_t value);

// True when a Dell sensor with readings was added on the first link.
bool CheckDellSupport(TDetectionContext& context);
// With "/TIGERMP": the diode-type properties of the board's Winbond monitors.
void HandleSpecialBoardTrap1(TDetectionContext& context);
// On an Intel ICH SMBus link: the host's receive-slave address.
void ProbeICHSlaveAddress(TDetectionContext& context, int linkIndex);
// True when every register of the chip at the link's base reads the same.
bool IsISAPort290Unused(int linkIndex);
