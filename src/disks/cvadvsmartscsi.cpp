// The SCSI transport: "SCSIDISK" miniport requests on a SCSI port device.
#include <vector>

#include "disks/cvadvsmart.h"

namespace disk = platform::disk;

namespace {
constexpr std::uint32_t ScsiTimeoutSeconds = 2;
constexpr std::size_t AnswerData = sizeof(disk::SrbIoControl) + disk::SendCmdOutData;
}  // namespace

TSmartHardDiskSCSI::TSmartHardDiskSCSI(std::string devicePath, std::uint8_t accessKind, std::uint32_t port,
                                       std::uint32_t targetId)
    : TSmartHardDisk(std::move(devicePath), accessKind), PortNumber(port), TargetId(targetId) {}

int TSmartHardDiskSCSI::SendIDECommand(const TSmartTaskFile& task, std::uint32_t operation,
                                       std::span<std::uint8_t> buffer) {
    diskio::clear(buffer);
    const auto opened = OpenDiskDevice(cvformat::Format("\\\\.\\Scsi%d:", {PortNumber}));
    if (!opened.device) return DiskCommandFailed;
    const auto length = static_cast<std::uint32_t>(buffer.size());
    std::vector<std::uint8_t> request(sizeof(disk::SrbIoControl) + disk::SendCmdInSent + length);
    const auto header = disk::miniportHeader(disk::miniport::ScsiDiskSignature, ScsiTimeoutSeconds, operation,
                                             length + static_cast<std::uint32_t>(disk::SendCmdInSent));
    disk::writeLayout(std::span(request), header);
    disk::SendCmdInParams in{};
    in.bufferSize = length;
    in.regs = task;
    in.driveNumber = static_cast<std::uint8_t>(TargetId);
    const auto inBytes = disk::bytesOf(in).first(disk::SendCmdInSent);
    std::copy(inBytes.begin(), inBytes.end(), request.begin() + sizeof(disk::SrbIoControl));
    DiskAccessLogFormat("sizeof(TSendCmdInParams)=%d  sizeof(TSRB_IO_CONTROL)=%d",
                        {sizeof(disk::SendCmdInParams), sizeof(disk::SrbIoControl)});
    std::vector<std::uint8_t> answer = request;
    std::uint32_t returned = 0;
    if (!opened.device->control(disk::ScsiMiniport, request, answer, returned)) {
        DiskAccessLogFormat("SCSI.SendIDECommand error #%d (port=%d - target=%d)",
                            {DiskRequestError(*opened.device), PortNumber, TargetId});
        return DiskCommandFailed;
    }
    diskio::copyAnswer(buffer, answer, AnswerData, returned);
    return DiskOk;
}
