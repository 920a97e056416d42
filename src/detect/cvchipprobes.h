#pragma once
// The SMBus probes of their own: chips told apart by register behaviour
// (reserved bits, mirrored register files, values no real chip shows) and
// the ITE and Fujitsu monitors. Each holds the link's bus access for its
// whole sequence; found lines go to both log boxes and name the link by its
// bus text, other lines go to the information box. A read whose outcome a
// probe does not test counts as FFh when it fails.

#include <array>
#include <cstdint>
#include <string>

#include "detect/cvdetectcontext.h"

// ---- ITE, Fujitsu and the engine's chip-code probes

// Identifies the ITE variant and adds its sensor while it still holds the link.
bool ProbeITEOverSMBus(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeIT8702F(TDetectionContext& context, int linkIndex, std::uint32_t address);
// Leaves register 51h with fan bank 2 selected.
bool ProbeIT8693F(TDetectionContext& context, int linkIndex, std::uint32_t address);
// Letters: registers 00h, 01h and 02h.
bool ProbeFujitsuChip(TDetectionContext& context, int linkIndex, std::uint32_t address,
                      const std::array<std::uint8_t, 3>& letters, const std::string& name);
// Add the chip code the engine's probe names, when it names one.
bool TryAddWinbond5CA3(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool TryAddFintek7188x(TDetectionContext& context, int linkIndex, std::uint32_t address);

// ---- chips told by register behaviour

bool ProbeLM75(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeAD7416(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeAD7417(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeLM78(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeLM78J(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeLM79(TDetectionContext& context, int linkIndex, std::uint32_t address);
// At 2Dh a VIA686B monitored on ISA answers like an LM80: a placeholder
// unless the VIA monitor is disabled.
bool ProbeLM80(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeLM84(TDetectionContext& context, int linkIndex, std::uint32_t address, const std::string& name);
bool ProbeLM87(TDetectionContext& context, int linkIndex, std::uint32_t address, const std::string& name);
bool ProbeLM92(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeMAX6650(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeMAX6657(TDetectionContext& context, int linkIndex, std::uint32_t address, const std::string& name);
// Waits 100 ms on the platform clock, still holding the link.
bool ProbeM5879(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeGL518Family(TDetectionContext& context, int linkIndex, std::uint32_t address, std::uint8_t chipId,
                      const std::string& name);
bool ProbeGL523SM(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeGL525SM(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeG768B(TDetectionContext& context, int linkIndex, std::uint32_t address);
bool ProbeG768D(TDetectionContext& context, int linkIndex, std::uint32_t address);

// Whether a VIA686 sensor (code 72) of the list shows the 686B's A2h at its
// base + 3Fh.
bool HasVIA686BOnISA(const TDetectionContext& context);
