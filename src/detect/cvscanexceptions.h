#pragma once
// Addresses that no probe may touch, per link: a memory controller's SMBus
// that only serves the DIMMs, a graphics card's I2C bus, two ISA ranges of
// one chipset, and parts on particular boards that misbehave when read.
// Nothing is kept: every answer is worked out from the link and the board.

#include <bitset>
#include <string_view>

class TLink;
struct TBoardIdentity;

// Bit n stands for bus address n; on an ISA link bit 0 stands for the link.
using TScanExceptionSet = std::bitset<256>;

// The board maker string of the two nForce2 rows that name their maker by
// its web address.
inline constexpr std::string_view NForce2WebMaker = "www.nforce2-boards.example";

// The unit's start-up line.
void InitializeCvscanexceptions();

// Board is the SMBIOS identity, or none when it could not be read.
TScanExceptionSet GetScanExceptions(const TLink& link, const TBoardIdentity* board);
// On an ISA link: whether the whole link is closed, traced. Elsewhere: the
// address's bit; False outside 0..255.
bool IsAddressExcluded(const TLink& link, int address, const TBoardIdentity* board);
// A Dell model whose fans must not be driven through SMI calls.
bool IsDellWithoutSMI(const TBoardIdentity* board);
