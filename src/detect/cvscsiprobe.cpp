#include "detect/cvscsiprobe.h"

#include <memory>
#include <string>
#include <vector>

#include "base/cvformat.h"
#include "chips/cvsensorscsi.h"
#include "core/cvmonitor.h"
#include "detect/cvdetectcontext.h"
#include "detect/cvsmartprobe.h"
#include "disks/cvscsi.h"
#include "disks/cvsmart.h"

using cvformat::Format;

namespace {

constexpr int ScsiDrives = 24;

class TScsiProbeLines {
public:
    explicit TScsiProbeLines(TLogSinks& log) : log_(log) {}
    void trace(const std::string& msg) { ScsiProbeLog(log_, msg, true, false, false); }
    void both(const std::string& msg) { ScsiProbeLog(log_, msg, true, true, false); }
    void all(const std::string& msg) { ScsiProbeLog(log_, msg, true, true, true); }

private:
    TLogSinks& log_;
};

void logParameters(TScsiProbeLines& out, const TLogSenseRequest& request, int length, std::uint8_t page) {
    ForEachLogParameter(request, length, [&](std::size_t offset, std::uint16_t code, std::uint8_t size) {
        out.trace(Format("Parameter code = $%.4x", {code}));
        out.trace(Format("Parameter length = $%.2x", {size}));
        out.both(Format("%.2x-%.4x %s = %s", {page, code, LogSenseParameterName(page, code),
                                               LogSenseParameterValue(request, page, offset)}));
    });
}

// Logs one listed page; false when it came back invalid.
bool analyzePage(TScsiProbeLines& out, platform::Device& drive, std::uint8_t page, TLogSenseRequest& request) {
    out.both(Format("ProbeSCSI: analyzing log page #%d", {page}));
    bool valid = true;
    int length = 0;
    if (page >= 1 && page <= scsipage::Highest && LogSense(&drive, page, request, length)) {
        out.both(Format("ProbeSCSI: LogSense($%.2x) returned %d bytes (status=$%.2x)", {page, length,
                                                                                         request.header.scsiStatus}));
        if (std::string message; CheckLogSensePage(request, length, page, message)) {
            out.trace(Format("ProbeSCSI: page #%d length is %d", {page, LogPageTotalLength(request)}));
            if ((page >= 0x01 && page <= 0x06) || page == scsipage::Temperature || page == scsipage::StartStop)
                logParameters(out, request, length, page);
            if (page == scsipage::InformationalExceptions) {
                out.both(Format("SMART Sense Code Byte = $%.2x", {request.data[8]}));
                out.both(Format("SMART Sense Qualifier = %s", {ScsiWarningText(request.data[8], request.data[9])}));
                out.both(Format("Temperature = %d", {request.data[10]}));
                out.both(Format("Temperature Trip Point = %d  ", {request.data[11]}));
            }
        } else {
            out.both("ProbeSCSI: WARNING: " + message);
            valid = false;
        }
    }
    out.trace(Format("ProbeSCSI: finished analyzing log page #%d", {page}));
    return valid;
}

void probeDrive(TDetectionContext& context, platform::Device& drive, int number) {
    TScsiProbeLines out(context.Monitor.Log);
    out.both("ProbeSCSI: before first LogSense");
    std::vector<std::string> messages;
    TLogSensePagesArray pages;
    GetAvailableLogPages(&drive, messages, pages);
    for (const auto& line : messages) out.both("ProbeSCSI: " + line);
    if (pages.empty()) return;
    out.trace(Format("ProbeSCSI: %d log pages are available", {static_cast<int>(pages.size())}));
    const auto inquiry = SCSIInquiry(&drive);
    if (!inquiry) return;
    out.trace("ProbeSCSI: after SCSIInquiry");
    platform::disk::DiskGeometry g{};
    const bool hasGeometry = GetDriveGeometry(drive, g);
    const double size = hasGeometry ? static_cast<double>(g.cylinders) * g.tracksPerCylinder * g.sectorsPerTrack *
                                          g.bytesPerSector / 1e9
                                    : 0.0;
    out.trace("ProbeSCSI: after GetDriveGeometry");
    out.all(Format("Found SCSI drive %s (%.1fGB)", {inquiry->Product, size}));
    out.both(Format("Found SCSI drive %s Firmware revision <%s> (%.1fGB) Serial <%s>",
                    {inquiry->Product, inquiry->Revision, size, inquiry->VendorSpecific}));
    out.both(Format("--> cylinders : %d", {static_cast<long long>(g.cylinders)}));
    out.both(Format("--> tracks per cilinder : %d", {g.tracksPerCylinder}));
    out.both(Format("--> sectors per track : %d", {g.sectorsPerTrack}));
    out.both(Format("--> bytes per sector : %d", {g.bytesPerSector}));
    out.both(Format("--> disk size : %.1f", {size}));

    auto request = std::make_unique<TLogSenseRequest>();
    bool bad = false;
    for (const auto page : pages) bad |= !analyzePage(out, drive, page, *request);
    if (bad) {
        out.all("ProbeSCSI: WARNING: hard disk skipped because of invalid returned LogSense data");
        return;
    }
    out.trace("ProbeSCSI: before HasTemperature call");
    HasTemperature(drive, context.Monitor.Log);
    out.trace("ProbeSCSI: after HasTemperature call");
    if (TSensor* sensor = AddDiskSensor(context, GetScsiLink(), static_cast<std::uint32_t>(number), TSCSISensor::ChipCode)) {
        const auto& disk = static_cast<const TSCSISensor&>(*sensor);
        AddSmartDriveEntry(context.Monitor, disk,
                           Format("HD%d - %.1fGB - %s", {disk.GetDriveNumber(), disk.SizeGB(), disk.Model()}));
    }
}

}  // namespace

void ProbeSCSI(TDetectionContext& context) {
    TScsiProbeLines out(context.Monitor.Log);
    out.both("About to probe SCSI...");
    for (int n = 0; n < ScsiDrives; ++n) {
        if (auto drive = OpenDiskDevice(Format("\\\\.\\PhysicalDrive%d", {n})).device) probeDrive(context, *drive, n);
        out.trace(Format("ProbeSCSI: test of drive %d has finished", {n}));
    }
    out.both("End of SCSI probing");
}
