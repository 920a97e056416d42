// The Physical transport: the system's S.M.A.R.T. codes, ATA pass-through
// after a refusal.
#include <cstring>
#include <vector>

#include "disks/cvadvsmart.h"

namespace disk = platform::disk;

namespace {

constexpr std::uint32_t AtaTimeoutSeconds = 10;

// The register image in a S.M.A.R.T. request; `tag` fills the reserved
// bytes after the drive number.
disk::SendCmdInParams smartRequest(const TSmartTaskFile& task, std::size_t length,
                                   std::array<std::uint8_t, 3> tag = {}) {
    disk::SendCmdInParams in{};
    in.bufferSize = static_cast<std::uint32_t>(length);
    in.regs = task;
    std::memcpy(in.reserved, tag.data(), tag.size());
    return in;
}

}  // namespace

bool diskio::sendSmartCodes(platform::Device& device, const TSmartTaskFile& task, std::span<std::uint8_t> buffer,
                    std::array<std::uint8_t, 3> tag, disk::DriverStatus& status) {
    const auto in = smartRequest(task, buffer.size(), tag);
    const bool dataIn = task.sectorCount != 0;
    std::vector<std::uint8_t> out(disk::SendCmdOutData + (dataIn ? buffer.size() : 0));
    std::uint32_t returned = 0;
    const bool ok = device.control(dataIn ? disk::SmartRcvDriveData : disk::SmartSendDriveCommand,
                                   disk::bytesOf(in).first(disk::SendCmdInSent), out, returned);
    disk::SendCmdOutHeader header{};
    disk::readLayout<disk::SendCmdOutHeader>(out, header);
    status = header.status;
    if (ok) diskio::copyAnswer(buffer, out, disk::SendCmdOutData, returned);
    return ok;
}

int TSmartHardDiskPhysical::SendIDECommand(const TSmartTaskFile& task, std::uint32_t, std::span<std::uint8_t> buffer) {
    diskio::clear(buffer);
    const auto opened = OpenDiskDevice(DevicePath);
    if (!opened.device) return DiskCommandFailed;
    auto& device = *opened.device;
    disk::DriverStatus status{};
    if (diskio::sendSmartCodes(device, task, buffer, {}, status)) return DiskOk;

    DiskAccessLogFormat("SendIDECommand : Error=$%.2x - Status=$%.2x", {unsigned{status.driverError},
                                                                          unsigned{status.ideError}});
    DiskAccessLogAdd("Trying with ATA_PASS_THROUGH");
    std::vector<std::uint8_t> request(disk::AtaPassThroughData + buffer.size());
    disk::AtaPassThroughEx header{};
    header.length = sizeof(disk::AtaPassThroughEx);
    header.ataFlags = disk::AtaFlagsDataIn;
    header.dataTransferLength = static_cast<std::uint32_t>(buffer.size());
    header.timeOutValue = AtaTimeoutSeconds;
    header.dataBufferOffset = disk::AtaPassThroughData;
    header.currentTaskFile = task;
    disk::writeLayout(std::span(request), header);
    // A self-test has no data area to mark.
    if (!buffer.empty()) request[disk::AtaPassThroughData] = 0xCF;
    std::vector<std::uint8_t> answer = request;
    std::uint32_t returned = 0;
    diskio::clear(buffer);
    if (!device.control(disk::AtaPassThrough, request, answer, returned)) {
        DiskRequestError(device);
        DiskAccessLogAdd("SendIDECommand (ATA) failed");
        return DiskCommandFailed;
    }
    diskio::copyAnswer(buffer, answer, disk::AtaPassThroughData, returned);
    return DiskOk;
}

int TSmartHardDiskPhysical::SMARTGetVersion(disk::GetVersionInParams& version) {
    version = {};
    const auto opened = OpenDiskDevice(DevicePath);
    if (!opened.device) return DiskCommandFailed;
    if (GetSmartVersion(*opened.device, version)) return DiskOk;
    DiskAccessLogFormat("SMARTGetVersion : Error=$%.2x", {DiskRequestError(*opened.device)});
    return DiskCommandFailed;
}
