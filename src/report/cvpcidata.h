#pragma once
// Readable names of PCI devices from the optional "pciidsdata.csv" in the
// program folder, held in memory while at least one user holds the table.

#include <cstdint>
#include <string>
#include <vector>

struct TPCIData {
    std::uint16_t VendorId = 0;
    std::uint16_t DeviceId = 0;
    std::string VendorName;
    std::string DeviceName;
    std::string Description;
    std::string Rest;
};

void AcquirePciNames();
void ReleasePciNames();
// Default when no row has the pair; the first matching row wins.
std::string LookupPciName(std::uint16_t vendor, std::uint16_t device, const std::string& defaultName);

// Takes the next quoted field off Line.
std::string NextCsvField(std::string& line);
// Upper case without "0X"; empty when not hexadecimal.
std::string NormaliseHexId(const std::string& text);
// Appends the row of one line to Rows, unless the line is ignored.
void ParsePciNamesLine(std::string line, std::vector<TPCIData>& rows);
// How many times the file was read, for callers that check the table is shared.
int PciNamesLoadCount();
