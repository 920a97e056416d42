#pragma once
// Which monitoring chip, if any, answers at one address of one bus link; every
// chip recognised goes to the sensor factory.

#include <cstdint>

#include "core/cvdetectsensors.h"  // the addresses worth probing
#include "detect/cvdetectcontext.h"

class TLink;

// Address: the 7-bit bus address on an SMBus link, the base port on an ISA
// link. Exceptions of a probe end this address and reach the caller.
void ProbeSmbusAddress(TDetectionContext& context, int linkIndex, std::uint32_t address);
// The presence test: a quick write, but a byte read at EEPROM addresses
// (30h-37h, 50h-5Fh), where a quick write can set permanent write protection.
bool AnswersPresence(TLink& link, std::uint32_t address);
bool IsEepromAddress(std::uint32_t address);
// True on an SMBus link when reads of 00h, 03h, 3Fh and F0h all fail.
bool IsWriteOnlyAddress(int linkIndex, std::uint32_t address);
