#pragma once
// SCSI log pages and identity: LOG SENSE and INQUIRY through the SCSI
// pass-through, the checks and names of log pages and their parameters, the
// informational-exception texts, and the temperature check of the SCSI disk
// discovery. None of these raise: failures answer false, empty lists or a
// message.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/diskctl.h"
#include "platform/platform.h"

class TLogSinks;

// One LOG SENSE or INQUIRY request as it travels: header, spare, sense, data.
#pragma pack(push, 1)
struct TLogSenseRequest {
    static constexpr std::size_t DataSize = 20480;
    platform::disk::ScsiPassThroughRequest header;
    std::uint8_t spare[4];
    std::uint8_t sense[platform::disk::ScsiPassThroughSenseLength];
    std::uint8_t alignment[8];  // the data area starts on a 16-byte boundary
    std::array<std::uint8_t, DataSize> data;
};
#pragma pack(pop)
static_assert(sizeof(TLogSenseRequest) == 20560);
static_assert(offsetof(TLogSenseRequest, data) == platform::disk::ScsiPassThroughData);

using TLogSensePagesArray = std::vector<std::uint8_t>;

namespace scsipage {
constexpr std::uint8_t Supported = 0x00;
constexpr std::uint8_t Temperature = 0x0D;
constexpr std::uint8_t StartStop = 0x0E;
constexpr std::uint8_t InformationalExceptions = 0x2F;
constexpr std::uint8_t Highest = 63;
// SPC: a temperature byte of FFh is "no temperature".
constexpr std::uint8_t NoTemperature = 0xFF;
}  // namespace scsipage

// Reads one page (cumulative values); length is the bytes delivered. False
// with length 0 for a null handle, a failed call or a non-zero SCSI status.
bool LogSense(platform::Device* drive, std::uint8_t page, TLogSenseRequest& request, int& length);
// The five tests in order; message says which failed, empty when valid.
bool CheckLogSensePage(const TLogSenseRequest& request, int length, std::uint8_t page, std::string& message);
// The drive's supported pages (page 0), with the lines for the caller's log.
void GetAvailableLogPages(platform::Device* drive, std::vector<std::string>& messages, TLogSensePagesArray& pages);

// The page's total length (page length + 4), from bytes 2-3.
int LogPageTotalLength(const TLogSenseRequest& request);
// Walks the parameters from byte 4 up to the smaller of the page's total
// length and the bytes delivered; a parameter running past that ends it.
void ForEachLogParameter(const TLogSenseRequest& request, int length,
                         const std::function<void(std::size_t offset, std::uint16_t code, std::uint8_t size)>& visit);

std::string LogSenseParameterName(std::uint8_t pageCode, std::uint16_t code);
// The value of the parameter at `offset` of the data area, big-endian.
std::string LogSenseParameterValue(const TLogSenseRequest& request, std::uint8_t pageCode, std::size_t offset);
// That text as an integer, -1 when it is not one.
int LogSenseParameterInteger(const TLogSenseRequest& request, std::uint8_t pageCode, std::size_t offset);

struct TScsiInquiry {
    std::string Vendor, Product, Revision, VendorSpecific;
};
// None for a null handle, a failed call, a SCSI error or 14 bytes or fewer.
std::optional<TScsiInquiry> SCSIInquiry(platform::Device* drive);

std::string ScsiWarningText(std::uint8_t asc, std::uint8_t ascq);

// The log routine of the SCSI discovery: trace, information page, then the
// time-stamped line in the debug box.
void ScsiProbeLog(TLogSinks& log, const std::string& msg, bool toTrace, bool toDebugBox, bool toInfoBox);
// The first SCSI link, added ("SCSI") when there is none.
int GetScsiLink();
// Whether the drive reports its temperature through page 2Fh or 0Dh.
bool HasTemperature(platform::Device& drive, TLogSinks& log);
