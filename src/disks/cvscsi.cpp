#include "disks/cvscsi.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <memory>
#include <string_view>

#include "base/cvdatetime.h"
#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvlogsinks.h"
#include "core/cvtext.h"
#include "hw/cvlink.h"

namespace disk = platform::disk;
using cvformat::Format;

namespace {

constexpr std::uint32_t TimeoutSeconds = 2;
constexpr std::uint8_t InquiryLength = 0xC0;
constexpr std::size_t InquirySent = sizeof(disk::ScsiPassThroughRequest);
constexpr std::size_t InquiryReceived = disk::ScsiPassThroughData + InquiryLength;

disk::ScsiPassThroughRequest requestHeader(std::uint8_t cdbLength, std::uint32_t dataLength) {
    disk::ScsiPassThroughRequest header{};
    header.length = sizeof header;
    header.targetId = 1;
    header.cdbLength = cdbLength;
    header.senseInfoLength = disk::ScsiPassThroughSenseLength;
    header.dataIn = disk::ScsiDataIn;
    header.dataTransferLength = dataLength;
    header.timeOutValue = TimeoutSeconds;
    header.dataBufferOffset = disk::ScsiPassThroughData;
    header.senseInfoOffset = disk::ScsiPassThroughSense;
    return header;
}

std::span<std::uint8_t> bytesOfRequest(TLogSenseRequest& request) {
    return {reinterpret_cast<std::uint8_t*>(&request), sizeof request};
}

std::uint32_t bigEndian(std::span<const std::uint8_t> bytes) {
    std::uint32_t value = 0;
    for (const auto b : bytes) value = value << 8 | b;
    return value;
}

// Characters of a field, only as far as the answer went.
std::string field(std::span<const std::uint8_t> data, std::size_t from, std::size_t to, std::size_t delivered) {
    const std::size_t end = std::min(to, delivered);
    if (from >= end) return {};
    return Trim(std::string(data.begin() + static_cast<std::ptrdiff_t>(from),
                            data.begin() + static_cast<std::ptrdiff_t>(end)));
}

struct TParameterNameRow {
    std::uint8_t page;
    std::uint16_t code;
    std::string_view text;
};

const TParameterNameRow ParameterNames[] = {
    {0x01, 0, "Buffer Under-Run"},
    {0x01, 1, "Buffer Over-Run"},
    {0x02, 0, "Write Errors Without Substantial Delay"},
    {0x02, 1, "Write Errors With possible Delay"},
    {0x02, 2, "Write Errors"},
    {0x02, 3, "Total Write Errors Corrected"},
    {0x02, 4, "Total Times Correction Algorithm Write Corrected"},
    {0x02, 5, "Total Bytes Written"},
    {0x02, 6, "Total Posted Unrecoverable Write Errors"},
    {0x02, 0x8000, "Write Total Hidden Servo Errors"},
    {0x02, 0x8001, "Write Total Hidden Fault Errors"},
    {0x03, 0, "ECC On-The-Fly Hardware Corrections"},
    {0x03, 1, "Read Errors With possible Delay"},
    {0x03, 2, "Read Errors"},
    {0x03, 3, "Total Posted Recoverable Read Errors"},
    {0x03, 4, "Total Times Correction Algorithm Read Corrected"},
    {0x03, 5, "Total Bytes Read"},
    {0x03, 6, "Total Posted Unrecoverable Read Errors"},
    {0x03, 0x8000, "Read Total Hidden Servo Errors"},
    {0x03, 0x8002, "Read Total Hidden Media Errors"},
    {0x04, 0, "Read Reverse Errors Without Substantial Delay"},
    {0x04, 1, "Read Reverse Errors With possible Delay"},
    {0x04, 2, "Read Reverse Errors"},
    {0x04, 3, "Total Posted Recoverable Read Reverse Errors"},
    {0x04, 4, "Total Times Correction Algorithm Read Reverse Corrected"},
    {0x04, 5, "Total Bytes Read Reverse"},
    {0x04, 6, "Total Posted Unrecoverable Read Reverse Errors"},
    {0x04, 0x8000, "Read Reverse Total Hidden Servo Errors"},
    {0x04, 0x8002, "Read Reverse Total Hidden Media Errors"},
    {0x05, 0, "Verify Errors Without Substantial Delay"},
    {0x05, 1, "Verify Errors With possible Delay"},
    {0x05, 2, "Verify Errors"},
    {0x05, 3, "Verify Total Posted Recoverable Errors"},
    {0x05, 5, "Total Bytes Verified"},
    {0x05, 6, "Verify Total Posted Unrecoverable Errors"},
    {0x06, 0, "Non-Medium Error"},
    {0x0D, 0, "Temperature"},
    {0x0D, 1, "Reference Temperature"},
    {0x0E, 1, "Manufacture Date"},
    {0x0E, 2, "Accounting Date"},
    {0x0E, 3, "Specified cycle count over device lifetime"},
    {0x0E, 4, "Accumulated Start-Stop cycles"},
};

// Failure prediction (ASC 5Dh), ASCQ 10h-6Ch: what fails, then why.
constexpr std::array<std::string_view, 6> ImpendingParts = {"hardware",  "controller", "data channel",
                                                            "servo",     "spindle",    "firmware"};
constexpr std::array<std::string_view, 13> ImpendingCauses = {
    "general hard drive failure", "drive error rate too high",     "data error rate too high",
    "seek error rate too high",   "too many block reassigns",      "access times too high",
    "start unit times too high",  "channel parametrics",           "controller detected",
    "throughput performance",     "seek time performance",         "spin-up retry count",
    "drive calibration retry count",
};

struct TWarningRow {
    std::uint8_t asc, ascq;
    std::string_view text;
};
const TWarningRow WarningTexts[] = {
    {0x00, 0x00, "No S.M.A.R.T. warning"},
    {0x00, 0x01, "Temperature exceeded"},
    {0x5D, 0x00, "failure prediction threshold exceeded"},
    {0x5D, 0x01, "media failure prediction threshold exceeded"},
    {0x5D, 0x02, "logical unit failure prediction threshold exceeded"},
    {0x5D, 0x03, "spare area exhaustion prediction threshold exceeded"},
    {0x5D, 0xFF, "Failure prediction threshold exceeded (false)"},
};
constexpr std::uint8_t FailurePrediction = 0x5D;

}  // namespace

bool LogSense(platform::Device* drive, std::uint8_t page, TLogSenseRequest& request, int& length) {
    length = 0;
    if (!drive) return false;
    std::memset(&request, 0, sizeof request);
    request.header = requestHeader(10, TLogSenseRequest::DataSize);
    const std::uint8_t cdb[] = {0x4D, 0x00, static_cast<std::uint8_t>((page & 0x3F) | 0x40), 0, 0, 0, 0, 0x50, 0, 0};
    std::copy(std::begin(cdb), std::end(cdb), request.header.cdb);
    const auto bytes = bytesOfRequest(request);
    std::uint32_t returned = 0;
    if (!drive->control(disk::ScsiPassThrough, bytes.first(sizeof request.header), bytes, returned)) return false;
    if (request.header.scsiStatus != 0) return false;
    length = static_cast<int>(std::min<std::uint32_t>(request.header.dataTransferLength, TLogSenseRequest::DataSize));
    return true;
}

bool CheckLogSensePage(const TLogSenseRequest& request, int length, std::uint8_t page, std::string& message) {
    message.clear();
    const std::uint8_t returned = request.data[0] & 0x3F;
    if (request.header.scsiStatus != 0)
        message = Format("ScsiStatus ($%.2x) reports an error", {request.header.scsiStatus});
    else if (length == 0)
        message = "no LogSense page data returned";
    else if (length < 0)
        message = "negative LogSense page length returned";
    else if (returned != page)
        message = Format("returned LogSense page code is $%.2x instead of $%.2x", {returned, page});
    else if (LogPageTotalLength(request) > length)
        message = Format("page #$%.2x length %d exceedes returned length (%d)", {page, LogPageTotalLength(request), length});
    return message.empty();
}

void GetAvailableLogPages(platform::Device* drive, std::vector<std::string>& messages, TLogSensePagesArray& pages) {
    pages.clear();
    auto request = std::make_unique<TLogSenseRequest>();
    int length = 0;
    if (!LogSense(drive, scsipage::Supported, *request, length)) return;
    messages.push_back(Format("after first LogSense (returned %d)", {length}));
    messages.push_back(Format("returned ScsiStatus=$%.2x", {request->header.scsiStatus}));
    if (std::string message; !CheckLogSensePage(*request, length, scsipage::Supported, message)) {
        messages.push_back("WARNING: " + message);
    } else {
        messages.push_back("finding available log pages");
        const int count = static_cast<int>(bigEndian(std::span(request->data).subspan(2, 2)));
        messages.push_back(Format("count=%d   len=%d", {count, length}));
        if (length < count) {
            messages.push_back(Format("WARNING: %d>%d", {count, length}));
        } else {
            // Only codes the drive delivered.
            const int listed = std::clamp(length - 4, 0, count);
            pages.assign(request->data.begin() + 4, request->data.begin() + 4 + listed);
            std::string codes;
            for (const auto code : pages) codes += Format("%.2x ", {code});
            messages.push_back("available LOG SENSE pages are " + Trim(codes));
        }
        std::array<bool, 256> seen{};
        bool duplicate = false, invalid = false;
        for (const auto code : pages) {
            duplicate |= seen[code];
            seen[code] = true;
            invalid |= code > scsipage::Highest;
        }
        if (duplicate) messages.push_back("Log pages list contains duplicate entries");
        if (invalid) messages.push_back("Log pages list contains invalid page numbers");
        if (duplicate || invalid) {
            messages.push_back("returned log pages list seems broken");
            pages.clear();
        }
    }
    messages.push_back("end of scanning of available log pages");
}

int LogPageTotalLength(const TLogSenseRequest& request) {
    return static_cast<int>(bigEndian(std::span(request.data).subspan(2, 2))) + 4;
}

void ForEachLogParameter(const TLogSenseRequest& request, int length,
                         const std::function<void(std::size_t offset, std::uint16_t code, std::uint8_t size)>& visit) {
    const std::size_t end = static_cast<std::size_t>(std::clamp(std::min(LogPageTotalLength(request), length), 0,
                                                                static_cast<int>(TLogSenseRequest::DataSize)));
    for (std::size_t at = 4; at + 4 <= end;) {
        const std::uint8_t size = request.data[at + 3];
        if (at + 4 + size > end) return;
        visit(at, static_cast<std::uint16_t>(bigEndian(std::span(request.data).subspan(at, 2))), size);
        at += 4 + std::size_t{size};
    }
}

std::string LogSenseParameterName(std::uint8_t pageCode, std::uint16_t code) {
    const std::uint8_t page = pageCode & 0x3F;
    std::string text = Format("Unknown $%.4x", {code});
    for (const auto& row : ParameterNames)
        if (row.page == page && row.code == code) text = row.text;
    if (page >= 0x01 && page <= 0x06) text += " Counter";
    return text;
}

std::string LogSenseParameterValue(const TLogSenseRequest& request, std::uint8_t pageCode, std::size_t offset) {
    if (offset + 4 > TLogSenseRequest::DataSize) return "<0 bytes data>";
    const std::size_t size = request.data[offset + 3];
    const auto value = std::span(request.data).subspan(offset + 4, std::min(size, TLogSenseRequest::DataSize - offset - 4));
    const std::uint16_t code = static_cast<std::uint16_t>(request.data[offset] << 8 | request.data[offset + 1]);
    if (pageCode == scsipage::StartStop && (code == 1 || code == 2)) return std::string(value.begin(), value.end());
    if (value.size() != size) return Format("<%d bytes data>", {static_cast<int>(size)});
    switch (size) {
    case 2:
        return Format("%d", {static_cast<int>(bigEndian(value))});
    case 4:
        return Format("%d", {static_cast<int>(static_cast<std::int32_t>(bigEndian(value)))});
    case 8:
        return Format("$%.8x%.8x", {bigEndian(value.first(4)), bigEndian(value.subspan(4))});
    default:
        return Format("<%d bytes data>", {static_cast<int>(size)});
    }
}

int LogSenseParameterInteger(const TLogSenseRequest& request, std::uint8_t pageCode, std::size_t offset) {
    const std::string text = LogSenseParameterValue(request, pageCode, offset);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() ? value : -1;
}

std::optional<TScsiInquiry> SCSIInquiry(platform::Device* drive) {
    if (!drive) return std::nullopt;
    auto request = std::make_unique<TLogSenseRequest>();
    request->header = requestHeader(6, InquiryLength);
    const std::uint8_t cdb[] = {0x12, 0x00, 0x00, 0x00, InquiryLength, 0x00};
    std::copy(std::begin(cdb), std::end(cdb), request->header.cdb);
    const auto bytes = bytesOfRequest(*request);
    std::uint32_t returned = 0;
    if (!drive->control(disk::ScsiPassThrough, bytes.first(InquirySent), bytes.first(InquiryReceived), returned) ||
        request->header.scsiStatus != 0)
        return std::nullopt;
    const std::size_t delivered = std::min<std::size_t>(request->header.dataTransferLength, InquiryLength);
    if (delivered <= 14) return std::nullopt;
    const auto data = std::span<const std::uint8_t>(request->data);
    return TScsiInquiry{field(data, 8, 16, delivered), field(data, 16, 32, delivered), field(data, 32, 36, delivered),
                        field(data, 36, 44, delivered)};
}

std::string ScsiWarningText(std::uint8_t asc, std::uint8_t ascq) {
    for (const auto& row : WarningTexts)
        if (row.asc == asc && row.ascq == ascq) return std::string(row.text);
    const int part = ascq >> 4, cause = ascq & 0x0F;
    if (asc == FailurePrediction && part >= 1 && part <= 6 && cause < static_cast<int>(ImpendingCauses.size()))
        return std::string(ImpendingParts[part - 1]) + " impending failure " + std::string(ImpendingCauses[cause]);
    return Format("Unknown warning $%.2x", {ascq});
}

void ScsiProbeLog(TLogSinks& log, const std::string& msg, bool toTrace, bool toDebugBox, bool toInfoBox) {
    if (toTrace) WriteDebugLog(msg);
    if (toInfoBox) log.LogMessage(msg);
    if (toDebugBox)
        log.LogMessageEx(FormatDateTime("hh:nn:ss.zzz ", Now(), platform::current().locale()) + msg, false);
}

int GetScsiLink() {
    const auto& links = Links();
    for (std::size_t i = 0; i < links.size(); ++i)
        if (links[i]->LinkKind() == LinkKinds::SCSI) return static_cast<int>(i);
    AddLink("SCSI", 1, LinkKinds::SCSI, 0, 0, 1, 0, 0, 0);
    return static_cast<int>(Links().size()) - 1;
}

bool HasTemperature(platform::Device& drive, TLogSinks& log) {
    const auto say = [&log](const std::string& msg) { ScsiProbeLog(log, msg, true, true, false); };
    auto request = std::make_unique<TLogSenseRequest>();
    int length = 0;
    std::string message;
    if (LogSense(&drive, scsipage::InformationalExceptions, *request, length) &&
        CheckLogSensePage(*request, length, scsipage::InformationalExceptions, message)) {
        const std::uint8_t t = request->data[10];
        if (t != 0 && t != scsipage::NoTemperature) {
            say(Format("--> Current drive temperature is %dC (method 2)", {t}));
            return true;
        }
    }
    bool found = false;
    if (LogSense(&drive, scsipage::Temperature, *request, length) &&
        CheckLogSensePage(*request, length, scsipage::Temperature, message)) {
        ForEachLogParameter(*request, length, [&](std::size_t offset, std::uint16_t code, std::uint8_t size) {
            if (code != 0) return;
            // FFh in the temperature byte is "not available".
            if (size >= 2 && request->data[offset + 5] == scsipage::NoTemperature) return;
            const int t = LogSenseParameterInteger(*request, scsipage::Temperature, offset);
            if (t <= 0) return;
            say(Format("--> Current drive temperature is %dC (method 1)", {t}));
            found = true;
        });
    }
    if (!found) say("--> this drive does not report its temperature");
    return found;
}
