// The 3ware transport: S.M.A.R.T. codes tagged with the controller port,
// then the controller's own "<3ware>" miniport request.
#include <vector>

#include "disks/cvadvsmart.h"

namespace disk = platform::disk;

namespace {
constexpr std::uint32_t ThreeWareTimeoutSeconds = 60;
constexpr std::uint8_t TagLow = 0xC1, TagHigh = 0x13;
constexpr std::size_t PassThroughData = sizeof(disk::SrbIoControl) + sizeof(TSmartTaskFile);
constexpr std::uint32_t ControllerRecordSize = 548;
}  // namespace

TSmartHardDisk3Ware::TSmartHardDisk3Ware(std::string devicePath, std::uint8_t accessKind, std::uint32_t port)
    : TSmartHardDisk(std::move(devicePath), accessKind), Port(port) {
    DiskAccessLogFormat("Creating %s - device=<%s>", {ClassName(), DevicePath});
    disk::GetVersionInParams version;
    if (SMARTGetVersion(version) != DiskOk) {
        DiskAccessLogAdd("Error checking SMART Version");
        return;
    }
    const std::uint32_t mapEx = version.reserved2[0];
    const auto identifier = static_cast<std::uint16_t>(version.reserved2[1] & 0xFFFF);
    const auto controllerId = static_cast<std::uint16_t>(version.reserved2[1] >> 16);
    DiskAccessLogFormat("SMART Version %d.%d - IDE Map=$%.2x MapEx=$%.8x",
                        {unsigned{version.version}, unsigned{version.revision}, unsigned{version.ideDeviceMap}, mapEx});
    DiskAccessLogFormat("      Capabilities=$%.8x - Identifier=$%.4x - ControllerId=$%.4x",
                        {version.capabilities, unsigned{identifier}, unsigned{controllerId}});
    if (identifier != disk::ThreeWareIdentifier) return;
    DiskAccessLogAdd("Confirmed this is a 3ware controller. Fine.");
    IsThreeWare = true;
    PortMap = mapEx;
    Identifier = identifier;
    ControllerId = controllerId;
}

int TSmartHardDisk3Ware::SendIDECommand(const TSmartTaskFile& task, std::uint32_t, std::span<std::uint8_t> buffer) {
    diskio::clear(buffer);
    const auto opened = OpenDiskDevice(DevicePath);
    if (!opened.device) return DiskCommandFailed;
    disk::DriverStatus status{};
    if (diskio::sendSmartCodes(*opened.device, task, buffer, {static_cast<std::uint8_t>(Port), TagLow, TagHigh},
                               status))
        return DiskOk;
    DiskAccessLogFormat("SendIDECommand : Error=$%.2x", {DiskRequestError(*opened.device)});
    DiskAccessLogAdd("Trying with 3ware MiniPort");
    diskio::clear(buffer);
    return sendMiniport(task, buffer);
}

int TSmartHardDisk3Ware::sendMiniport(const TSmartTaskFile& task, std::span<std::uint8_t> buffer) {
    const auto length = static_cast<std::uint32_t>(buffer.size());
    std::vector<std::uint8_t> request(PassThroughData + length);
    const std::uint32_t headerLength = length == 0 ? 9 : length + 8;
    disk::writeLayout(std::span(request), disk::miniportHeader(disk::miniport::ThreeWareSignature,
                                                               ThreeWareTimeoutSeconds,
                                                               disk::miniport::ThreeWarePassThrough, headerLength));
    TSmartTaskFile tagged = task;
    tagged.reserved = static_cast<std::uint8_t>(Port);
    const auto taskBytes = disk::bytesOf(tagged);
    std::copy(taskBytes.begin(), taskBytes.end(), request.begin() + sizeof(disk::SrbIoControl));
    DiskAccessLogFormat("BufferSize=%d  IOCTLBufferSize=%d  sizeof(TSB)=%d",
                        {length, static_cast<unsigned>(request.size()), ControllerRecordSize});
    const auto opened = OpenDiskDevice(DevicePath);
    if (!opened.device) {
        DiskAccessLogFormat("3WARE.SendIDECommand error #%d (device=%s - port=%d)", {opened.error, DevicePath, Port});
        return DiskCommandFailed;
    }
    std::vector<std::uint8_t> answer = request;
    std::uint32_t returned = 0;
    if (!opened.device->control(disk::ScsiMiniport, request, answer, returned)) {
        DiskAccessLogFormat("3WARE.SendIDECommand error #%d (device=%s - port=%d)",
                            {DiskRequestError(*opened.device), DevicePath, Port});
        return DiskCommandFailed;
    }
    disk::SrbIoControl header{};
    disk::readLayout<disk::SrbIoControl>(answer, header);
    if (header.returnCode != 0) {
        DiskAccessLogFormat("3WARE.SendIDECommand failed #$%8x (device=%s - port=%d)",
                            {header.returnCode, DevicePath, Port});
        return DiskCommandFailed;
    }
    DiskAccessLogFormat("3WARE.SendIDECommand success (device=%s - port=%d - returned=%d)",
                        {DevicePath, Port, returned});
    diskio::copyAnswer(buffer, answer, PassThroughData, returned);
    return DiskOk;
}

int TSmartHardDisk3Ware::SMARTGetVersion(disk::GetVersionInParams& version) {
    version = {};
    const auto opened = OpenDiskDevice(DevicePath);
    if (!opened.device) return DiskCommandFailed;
    UpdateDeviceMap(*opened.device);
    if (GetSmartVersion(*opened.device, version)) return DiskOk;
    DiskAccessLogFormat("3ware.SMARTGetVersion : Error=$%.2x", {DiskRequestError(*opened.device)});
    return DiskCommandFailed;
}

void TSmartHardDisk3Ware::UpdateDeviceMap(platform::Device& controller) {
    const auto request = disk::miniportHeader(disk::miniport::ThreeWareSignature, ThreeWareTimeoutSeconds,
                                              disk::miniport::ThreeWareUpdateDeviceMap, 0);
    disk::SrbIoControl answer = request;
    std::uint32_t returned = 0;
    if (!controller.control(disk::ScsiMiniport, disk::bytesOf(request), disk::bytesOf(answer), returned))
        DiskAccessLogFormat("3WARE.UpdateDeviceMap error #%d (device=%s - port=%d)",
                            {DiskRequestError(controller), DevicePath, Port});
    else if (answer.returnCode != 0)
        DiskAccessLogFormat("3WARE.UpdateDeviceMap failed #$%8x (device=%s - port=%d)",
                            {answer.returnCode, DevicePath, Port});
    else
        DiskAccessLogFormat("3WARE.UpdateDeviceMap success (device=%s - port=%d - returned=%d)",
                            {DevicePath, Port, returned});
}
