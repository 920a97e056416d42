#pragma once
// Which monitoring chip, if any, answers at one address of one bus link; every
// chip recognised goes to the sensor factory.

#include <cstdint>

#include "core/cvdetectsensors.h"  // the addresses worth probing
#include "detect/cvdetectcontext.h"

// Address: the 7-bit bus address on an SMBus link, the base port on an ISA
// link. Exceptions of a probe end this address and reach the caller.
void ProbeSmbusAddress(TDetectionContext& context, int linkIndex, std::uint32_t address);
// True on an SMBus link when reads of 00h, 03h, 3Fh and F0h all fail.
bool IsWriteOnlyAddress(int linkIndex, std::uint32_t address);
