#pragma once
// The report's sections on the detected sensors: their readings, a register
// dump chosen by chip code, their own debug text, and their properties.

#include <bitset>
#include <initializer_list>
#include <utility>

#include "core/cvreadingslots.h"

class TReport;
class TLogSinks;
class TSensor;

using TRegisterSet = std::bitset<256>;
// Inclusive ranges of registers.
TRegisterSet RegisterRanges(std::initializer_list<std::pair<int, int>> ranges);

void AddSensorsReadings(TReport& report, const TSensorList& sensors);
void AddCurrentSensorsProperties(TReport& report, const TSensorList& sensors, TLogSinks& log);

// The dumps; the caller holds the sensor's bus lock.
void AddRegisterDump(TReport& report, TSensor& sensor, const TRegisterSet& set);
void AddPortDump(TReport& report, TSensor& sensor, const TRegisterSet& set);
void AddWinbondBankDump(TReport& report, TSensor& sensor, const TRegisterSet& set);
void AddBankDump(TReport& report, TSensor& sensor, const std::vector<TRegisterSet>& bankSets);
void AddBankRegisters(TReport& report, TSensor& sensor, int bank, const TRegisterSet& set);
// The register dump the sensor's chip code calls for, then the PCI line of codes 72 and 73.
void AddChipDump(TReport& report, TSensor& sensor);
