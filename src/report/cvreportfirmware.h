#pragma once
// The report's firmware sections: the WMI exploration, the ACPI tables
// packed and printed as hexadecimal, and the SMBIOS structures.

#include <string>

class TReport;

void AddWmiScan(TReport& report);
void AddAcpiTables(TReport& report);
void AddDmiScan(TReport& report);
// Two upper-case hex digits a byte, 32 bytes a line.
void AddHexLines(TReport& report, const std::string& data);
