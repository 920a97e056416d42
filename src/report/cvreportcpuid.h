#pragma once
// The report's "CPUID INFO" section and its number formatting.

#include <cstdint>
#include <string>

class TReport;
struct TCacheInfo;

// Significant digits of X printed with Decimals decimals, at least 1.
int SignificantDigitCount(int decimals, double x);
// Value in units of a power of Base ("", "K", "M", "G", "T", "P"), going up
// only while no significant digit is lost below MaxDigits.
std::string FormatScaled(int decimals, int base, int maxDigits, double value);
// Packages from the logical processor count: by logical processors per
// package when the cores are fewer, else by cores per package (not 0).
int CpusInSystem(int logicalCount, int logicalPerPackage, int coresPerPackage);
void AddCacheLine(TReport& report, const std::string& name, const TCacheInfo& cache);
// Lowest byte first; a byte outside 20h-7Fh shows as ".".
std::string CpuidRegisterText(std::uint32_t value);
// hw/ already has an upper-case "YES"/"NO" one.
namespace cpuidreport {
std::string YesNoText(bool flag);
}

// May throw; the report's frame catches.
void AddCpuidInfo(TReport& report, bool noPciScan);
