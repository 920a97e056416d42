#pragma once
// The three 512-byte blocks every disk path ends in (IDENTIFY, attribute and
// threshold data), their decoding, and the classic S.M.A.R.T. routines that
// send the ATA commands through the system's S.M.A.R.T. control codes.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/diskctl.h"
#include "platform/platform.h"

using TSmartTaskFile = platform::disk::TaskFile;

// The driver header of the S.M.A.R.T. answer, then the 512 data bytes.
struct TSmartPage {
    static constexpr std::size_t HeaderSize = 16;
    static constexpr std::size_t DataSize = 512;
    std::array<std::uint8_t, HeaderSize + DataSize> bytes{};

    std::span<std::uint8_t, DataSize> data() { return std::span(bytes).subspan<HeaderSize, DataSize>(); }
    std::span<const std::uint8_t, DataSize> data() const { return std::span(bytes).subspan<HeaderSize, DataSize>(); }
};

#pragma pack(push, 1)
struct TSMARTAttributeEntry {
    std::uint8_t id;
    std::uint16_t flags;
    std::uint8_t value;
    std::uint8_t worst;
    std::uint8_t raw[6];
    std::uint8_t reserved;
};
struct TSMARTThresholdEntry {
    std::uint8_t id;
    std::uint8_t threshold;
    std::uint8_t reserved[10];
};
#pragma pack(pop)
static_assert(sizeof(TSMARTAttributeEntry) == 12 && sizeof(TSMARTThresholdEntry) == 12);

constexpr int SmartEntries = 30;
constexpr std::size_t SmartEntryOffset(int index) { return 2 + 12 * static_cast<std::size_t>(index); }
TSMARTAttributeEntry SmartAttributeEntry(std::span<const std::uint8_t, 512> data, int index);
TSMARTThresholdEntry SmartThresholdEntry(std::span<const std::uint8_t, 512> data, int index);

// The plain sum of the 512 bytes; a block is valid when its low byte is 0.
std::uint32_t SmartPageChecksum(std::span<const std::uint8_t, 512> data);

// The register images of the commands the system sends (device A0h).
namespace smarttask {
constexpr std::uint8_t DeviceMaster = 0xA0;
constexpr TSmartTaskFile smart(std::uint8_t features, std::uint8_t count, std::uint8_t lbaLow) {
    return {features, count, lbaLow, platform::disk::ata::SmartLbaMid, platform::disk::ata::SmartLbaHigh,
            DeviceMaster, platform::disk::ata::Smart, 0};
}
constexpr TSmartTaskFile Identify{0x00, 0x01, 0x01, 0x00, 0x00, DeviceMaster, platform::disk::ata::Identify, 0};
constexpr TSmartTaskFile ReadData = smart(platform::disk::ata::ReadData, 1, 1);
constexpr TSmartTaskFile ReadThresholds = smart(platform::disk::ata::ReadThresholds, 1, 1);
constexpr TSmartTaskFile EnableOperations(bool flag) {
    return smart(platform::disk::ata::EnableOperations, flag ? 1 : 0, 1);
}
constexpr TSmartTaskFile ReadLog(std::uint8_t logAddress, std::uint8_t sectors) {
    return smart(platform::disk::ata::ReadLog, sectors, logAddress);
}
constexpr TSmartTaskFile ExecuteOffline(std::uint8_t subCommand) {
    return smart(platform::disk::ata::ExecuteOffline, 0, subCommand);
}
// A0h for an even drive number, B0h for an odd one.
constexpr std::uint8_t DeviceOfDrive(int drive) {
    return static_cast<std::uint8_t>(DeviceMaster | ((drive & 1) << 4));
}
}  // namespace smarttask

extern const std::array<std::string_view, 32> KnownModelPrefixes;

struct TSmartAttributeName {
    int id;
    std::string_view name;
};
extern const std::array<TSmartAttributeName, 61> SmartAttributeNames;
// The name of the first row with the id, else "Unknown Attribute".
std::string SmartAttributeName(int id);

bool HasKnownModelPrefix(std::string_view model);
// Swaps the two bytes of every 16-bit word (an odd last byte stays).
void SwapBytePairs(std::span<std::uint8_t> buffer);
std::string SwapStringPairs(std::string_view text);
// True when the model needed a second swap (and all three got it).
bool FixDriveNameByteSwap(std::string& model, std::string& firmware, std::string& serial);

struct TDriveIdentity {
    std::string model, firmware, serial;
    bool swapped = false;  // FixDriveNameByteSwap's answer
};
// Model, firmware and serial from IDENTIFY data; swaps the strings' byte
// pairs in place first, as every caller's copy of the page is then.
TDriveIdentity ReadDriveIdentity(std::span<std::uint8_t, 512> identify);

// The identify word n.
std::uint16_t IdentifyWord(std::span<const std::uint8_t, 512> identify, int n);

// Clears the threshold data (not its header) and builds entries with the
// attribute ids and threshold 0, with a valid checksum.
bool ThresholdsFromAttributes(const TSmartPage& attributes, TSmartPage& thresholds);

// The classic routines, on a handle from OpenSmartDrive. Each clears its
// output first and is true only when its control call worked.
using TSmartHandle = std::unique_ptr<platform::Device>;
extern const char* const SmartDrivePathNT;   // takes the drive number
extern const char* const SmartDriverPath9x;  // the S.M.A.R.T. driver
TSmartHandle OpenSmartDrive(int drive);
bool GetSmartVersion(platform::Device& drive, platform::disk::GetVersionInParams& version);
bool SmartIdentifyDrive(platform::Device& drive, std::uint8_t command, int driveNumber, TSmartPage& page);
bool SmartReadData(platform::Device& drive, int driveNumber, TSmartPage& page);
// Falls back to thresholds made from the attribute page.
bool SmartReadThresholds(platform::Device& drive, int driveNumber, TSmartPage& page);
bool SmartEnableOperations(platform::Device& drive, int driveNumber, bool enable);
bool GetDriveGeometry(platform::Device& drive, platform::disk::DiskGeometry& geometry);
// Bytes, from the identify data or, on NT when the handle answers, the geometry.
std::uint64_t GetDriveSize(platform::Device* drive, std::span<const std::uint8_t, 512> identify);

// True on NT-family systems; disk paths and drive numbering follow it.
bool SmartIsNT();

// Opens a disk path; the first access denial of a run is traced once.
platform::DeviceOpenResult OpenDiskDevice(const std::string& path);
// The system error code of a failed request, traced like a denied open.
std::uint32_t DiskRequestError(const platform::Device& device);
extern const char* const DiskAccessDeniedText;
