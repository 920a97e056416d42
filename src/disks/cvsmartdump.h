#pragma once
// The disk search's readable dumps of raw S.M.A.R.T. pages and logs, with the
// ATA command, device-state and self-test names they print. Every line goes
// to the search log at its current indentation.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

using TSmartBlock = std::span<const std::uint8_t, 512>;

// Logs the page as 16 lines of 32 bytes; true (and nothing logged) when it
// is all zero.
bool DumpSector(TSmartBlock page, bool checkSum, bool withText);
bool IsAllZero(std::span<const std::uint8_t> buffer);

void DumpIdentifySector(TSmartBlock page);
// True when the page is not all zero.
bool DumpAttributePage(TSmartBlock page);
void DumpLogDirectory(TSmartBlock page);
void DumpSummaryErrorLog(TSmartBlock page);
void DumpSelfTestLog(TSmartBlock page);

std::string AtaCommandName(std::uint8_t command, std::uint8_t features);
std::string_view DeviceStateName(std::uint8_t state);
std::string_view SelfTestTypeName(std::uint8_t number);
std::string_view SelfTestStatusName(std::uint8_t status);
int SelfTestPercent(std::uint8_t nibble);
std::string LbaText(std::uint32_t lba);

// The command tables: named commands, unnamed ranges, and the commands named
// by their features byte. Together they cover every command byte once.
struct TAtaCommandRow {
    std::uint8_t command;
    std::string_view name;
};
struct TAtaRangeRow {
    std::uint8_t first, last;
    std::string_view name;
};
// `name` may hold "%.2x" for the features byte; `other` names every
// features value that no row of the command covers.
struct TAtaSubCommandRow {
    std::uint8_t command;
    std::uint8_t firstFeature, lastFeature;
    std::string_view name;
};
struct TAtaSubCommand {
    std::uint8_t command;
    std::string_view other;
};
extern const std::array<TAtaCommandRow, 90> AtaCommandNames;
extern const std::array<TAtaRangeRow, 27> AtaCommandRanges;
extern const std::array<TAtaSubCommand, 7> AtaSubCommands;
extern const std::array<TAtaSubCommandRow, 29> AtaSubCommandNames;
