#pragma once
// PCI configuration space through mechanism 1: the address register 0CF8h
// (saved and restored around every access) and the data port 0CFCh, reached
// through the global driver interface. Without port access, reads answer all
// ones and writes do nothing.

#include <cstdint>

struct TPCILocation {
    std::uint16_t Bus = 0;
    std::uint16_t Device = 0;
    std::uint16_t Function = 0;
};

// The mechanism-1 address: bus and FFh, device and 1Fh, function and 7,
// register and FCh.
std::uint32_t PCIConfigAddress(int bus, int device, int function, int reg);

std::uint32_t ReadPCIConfigDWord(int bus, int device, int function, int reg);
// The half of the aligned dword that register bit 1 picks.
std::uint16_t ReadPCIConfigWord(int bus, int device, int function, int reg);
// The byte of the aligned dword that register and 3 picks.
std::uint8_t ReadPCIConfigByte(int bus, int device, int function, int reg);
void WritePCIConfigDWord(int bus, int device, int function, int reg, std::uint32_t value);
// Read-modify-write of the aligned dword.
void WritePCIConfigWord(int bus, int device, int function, int reg, std::uint16_t value);
void WritePCIConfigByte(int bus, int device, int function, int reg, std::uint8_t value);

// Scans buses 0-15; the last match in scan order wins. Location is left
// alone when nothing matches.
bool FindPCIDevice(std::uint16_t vendorId, std::uint16_t deviceId, TPCILocation& location);

// Whether a kernel driver is bound to the function. When one is, the
// function's configuration is left alone, and this traces so.
bool KernelHoldsPCIFunction(int bus, int device, int function);
