#pragma once
// The decoder of one memory module's 256-byte Serial Presence Detect image
// (SDR, DDR, DDR2, DDR2 FB-DIMM and DDR3). Everything is decoded in the
// constructor; the fields are then only read. What an image does not give
// stays zero, empty or false.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using TSPDImage = std::array<std::uint8_t, 256>;
using TCASLatency = std::vector<double>;
using TSPDVoltages = std::vector<double>;

class TDecodeSPD {
public:
    explicit TDecodeSPD(const TSPDImage& image);

    std::uint8_t MemoryType = 0;  // byte 2 + 1, or 0 past the known codes
    bool ChecksumOK = false;
    double CycleTime = 0, CycleTime2 = 0, CycleTime3 = 0;  // ns
    int ClockMHz = 0, ClockMHz2 = 0, ClockMHz3 = 0;
    TCASLatency CASLatencies;
    double TRCD = 0, TRP = 0, TRAS = 0;  // ns
    int Banks = 0;
    int Ranks = 0;
    int RankSize = 0;  // MB
    int ModuleType = 0;
    int DataWidth = 0;  // bits
    std::string SpeedName;
    bool ECC = false;
    TSPDVoltages DRAMVoltages;
    TSPDVoltages ChannelVoltages;
    int ManufactureWeek = 0, ManufactureYear = 0;
    std::string ModuleManufacturer, AMBManufacturer, DRAMManufacturer;
    std::string PartNumber;
    std::string SerialNumber;
    double MTB = 0, FTB = 0;  // ns
};

// The names the report prints for MemoryType and ModuleType codes.
std::string SPDMemoryTypeName(int memoryType);
std::string SPDModuleTypeName(int moduleType);

// The JEP106 name of a continuation count and a code; empty for 0 and 0,
// "cont=%d id=%d" for a pair no row names.
std::string JedecManufacturerName(int continuation, int code);

// CRC-16, polynomial 1021h, initial value 0, most significant bit first.
std::uint16_t SPDCrc16(const std::uint8_t* bytes, std::size_t count);
