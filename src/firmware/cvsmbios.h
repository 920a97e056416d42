#pragma once
// The SMBIOS explorer: the machine's identity as the firmware's SMBIOS 2.x
// tables state it. Nothing is read until the first question; then the entry
// point is searched in E0000h-FFFFFh, the structure table read and walked,
// and the identity kept for every later question.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/cvsensorsfile.h"

class TIOPort;

struct TSMBIOSStructData {
    std::uint8_t StructType = 0;
    std::uint16_t Handle = 0;
    std::uint8_t DataLength = 0;  // the length byte minus 4, in 8 bits
    std::string TypeName;
    std::vector<std::string> Strings;  // the non-empty strings; number n is element n-1
    std::string Data;                  // the formatted area, cut at the table's end
    std::uint8_t LengthByte = 0;       // as stored
    bool HeaderCut = false;            // the table ended inside the 4-byte header
};
using TSMBIOSStructures = std::vector<TSMBIOSStructData>;
using TSMBIOSEntryPoint = std::array<std::uint8_t, 31>;

std::string SMBIOSTypeName(std::uint8_t type);

// Walks a structure table from its first byte to type 127 or its end,
// reading nothing past it; a header cut off by the end is given zero-extended
// and ends the walk.
TSMBIOSStructures WalkSMBIOSTable(std::string_view table);

class TSMBiosExplorer {
public:
    TSMBiosExplorer() { EntryPoint.fill(0); }

    std::string GetBIOSVendor();
    std::string GetBIOSVersion();
    std::string GetBoardManufacturer();
    std::string GetBoardProduct();
    std::string GetBoardVersion();
    std::string GetSystemManufacturer();
    std::string GetSystemProduct();
    std::string GetSystemVersion();
    std::string GetSystemSerial();
    const TSMBIOSStructures& GetStructures();
    TSMBIOSEntryPoint GetEntryPoint();
    std::string GetCfgFileName();
    std::string GetCfgFileName2();
    // The identity the rest of the program reads; it stays where it is, so
    // a pointer to it sees the tables once they are read.
    const TBoardIdentity& GetIdentity();

    // String `number` (from 1) of structure `index`, trimmed; empty for 0
    // or a number past the strings.
    std::string GetSubString(int index, int number) const;
    bool Initialised() const { return Initialised_; }

private:
    void DoInitialize();
    void SearchEntryPoint(TIOPort& port);
    // False when the 31 bytes could not be read.
    bool ProcessEntryPoint(TIOPort& port, std::uint32_t address);
    void ReadTable(TIOPort& port, std::uint32_t address, std::uint16_t length);
    void Walk(std::string_view table);

    bool Initialised_ = false;
    TSMBIOSEntryPoint EntryPoint;
    TSMBIOSStructures Structures;
    TBoardIdentity Identity;
    std::string BoardSerial, SystemSerial;
};

// Made by the unit start-up; null only when its construction failed.
extern std::unique_ptr<TSMBiosExplorer> SMBiosExplorer;
void InitializeCvsmbios();
// For tests: the global as before the start-up.
void ResetCvsmbios();
