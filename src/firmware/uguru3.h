#pragma once
// The port protocol of third-generation uGuru chips: a synchronisation
// handshake and a block read by bank, offset and count. Every wait is
// bounded; the caller holds the uGuru lock. Lines go to the debug trace.

#include <cstdint>
#include <vector>

using TMyByteArray = std::vector<std::uint8_t>;

constexpr std::uint16_t UGuruDataPort = 0xE0;
constexpr std::uint16_t UGuruStatusPort = 0xE4;
constexpr std::uint8_t UGuruReadyBit = 0x01;
constexpr std::uint8_t UGuruBusyBit = 0x02;
// Both generations synchronise until the data port answers ACh, read at most six times.
constexpr std::uint8_t UGuruSyncAnswer = 0xAC;
constexpr int UGuruSyncDataReads = 6;

// The bounded poll both chip generations wait with: up to 250 status reads,
// then a 1 ms sleep and one more read. -1 once the status shows `wanted` set
// (or, with wantClear, `wanted` clear), else the last status byte.
// `lastAttempt`, when given, is traced before the sleep.
int PollUGuruStatus(std::uint8_t wanted, bool wantClear, const char* lastAttempt = nullptr);

// -1 when the chip is not busy, else the last status byte after the time-out.
int WaitWhileBusy();
// -1 when a byte is ready, else the last status byte after the time-out.
int WaitForReadReady();
bool UGuruSync();
// Reads up to `count` bytes (1 to 255) of `bank` from `offset`; Data holds
// exactly the bytes read and their number is returned.
int UGuruRead(std::uint8_t bank, std::uint8_t offset, std::uint8_t count, TMyByteArray& data);

// The raw port accesses (all ones and dropped writes without a driver object).
std::uint8_t ReadUGuruPort(std::uint16_t port);
void WriteUGuruPort(std::uint16_t port, std::uint8_t value);
