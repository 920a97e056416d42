// The SAT transport: SCSI pass-through with the bridge's command block.
#include <algorithm>
#include <vector>

#include "disks/cvadvsmart.h"

namespace disk = platform::disk;

namespace {
constexpr std::uint32_t SatTimeoutSeconds = 2;
}

TSmartHardDiskSat::TSmartHardDiskSat(std::string devicePath, std::uint8_t accessKind, std::uint16_t vendorId,
                                     std::uint16_t productId)
    : TSmartHardDiskSat(std::move(devicePath), accessKind, vendorId, productId, disk::Bridge::Sat) {}

TSmartHardDiskSat::TSmartHardDiskSat(std::string devicePath, std::uint8_t accessKind, std::uint16_t vendorId,
                                     std::uint16_t productId, disk::Bridge bridge)
    : TSmartHardDisk(std::move(devicePath), accessKind), VendorId(vendorId), ProductId(productId),
      bridge_(bridge) {}

int TSmartHardDiskSat::BuildPassThroughCdb(disk::ScsiPassThroughRequest& request) {
    const auto& layout = disk::bridgeCdb(bridge_);
    request.cdbLength = layout.length;
    std::copy_n(layout.fixed.begin(), layout.fixedCount, request.cdb);
    return layout.taskAt;
}

int TSmartHardDiskSat::SendIDECommand(const TSmartTaskFile& task, std::uint32_t, std::span<std::uint8_t> buffer) {
    diskio::clear(buffer);
    const auto opened = OpenDiskDevice(DevicePath);
    if (!opened.device) return DiskOpenFailed;
    disk::ScsiPassThroughRequest request{};
    request.length = sizeof request;
    request.senseInfoLength = disk::ScsiPassThroughSenseLength;
    request.dataIn = disk::ScsiDataIn;
    request.dataTransferLength = static_cast<std::uint32_t>(buffer.size());
    request.timeOutValue = SatTimeoutSeconds;
    request.dataBufferOffset = disk::ScsiPassThroughData;
    request.senseInfoOffset = disk::ScsiPassThroughSense;
    const int at = BuildPassThroughCdb(request);
    if (at >= 0 && static_cast<std::size_t>(at) + disk::TaskBytesInCdb <= sizeof request.cdb) {
        const auto taskBytes = disk::bytesOf(task);
        std::copy_n(taskBytes.begin(), disk::TaskBytesInCdb, request.cdb + at);
    }
    std::vector<std::uint8_t> answer(disk::ScsiPassThroughData + buffer.size());
    std::uint32_t returned = 0;
    if (!opened.device->control(disk::ScsiPassThrough, disk::bytesOf(request), answer, returned)) {
        DiskRequestError(*opened.device);
        return DiskCommandFailed;
    }
    // A bridge or disk that refused the command answers a SCSI status.
    disk::ScsiPassThroughRequest echoed{};
    if (!disk::readLayout<disk::ScsiPassThroughRequest>(answer, echoed) || echoed.scsiStatus != 0)
        return DiskCommandFailed;
    diskio::copyAnswer(buffer, answer, disk::ScsiPassThroughData, returned);
    return DiskOk;
}
