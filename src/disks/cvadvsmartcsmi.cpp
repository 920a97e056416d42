// The CSMI transport: STP pass-through to a SATA disk on a CSMI port.
#include <vector>

#include "disks/csmi.h"
#include "disks/cvadvsmart.h"

namespace disk = platform::disk;

namespace {
constexpr std::uint32_t CsmiTimeoutSeconds = 60;
constexpr std::uint8_t FisHostToDevice = 0x27, FisCommandBit = 0x80;
constexpr std::uint8_t FisStatusError = 0x01;
}  // namespace

TSmartHardDiskCSMI::TSmartHardDiskCSMI(std::string devicePath, std::uint8_t accessKind,
                                       std::array<std::uint8_t, 8> sasAddress)
    : TSmartHardDisk(std::move(devicePath), accessKind), SASAddress(sasAddress) {
    DiskAccessLogFormat("Creating %s - device=<%s>", {ClassName(), DevicePath});
}

int TSmartHardDiskCSMI::SendIDECommand(const TSmartTaskFile& task, std::uint32_t, std::span<std::uint8_t> buffer) {
    DiskAccessLogFormat("CSMI.SendIDECommand - DeviceId=<%s>", {DevicePath});
    diskio::clear(buffer);
    const auto opened = OpenDiskDevice(DevicePath);
    if (!opened.device) {
        DiskAccessLogFormat("CSMI.SendIDECommand - Error %d opening device", {opened.error});
        return DiskOpenFailed;
    }
    const auto length = static_cast<std::uint32_t>(buffer.size());
    std::vector<std::uint8_t> request(disk::CsmiStpBufferBase + length);
    disk::CsmiStpBuffer stp{};
    stp.header = disk::miniportHeader(disk::miniport::CsmiSasSignature, CsmiTimeoutSeconds,
                                      disk::miniport::CsmiStpPassThrough,
                                      static_cast<std::uint32_t>(request.size() - sizeof(disk::SrbIoControl)));
    auto& p = stp.parameters;
    p.phyIdentifier = SASAddress[2];
    p.portIdentifier = disk::CsmiAnyPort;
    std::copy(SASAddress.begin(), SASAddress.end(), p.destinationSasAddress);
    const std::uint8_t fis[] = {FisHostToDevice, FisCommandBit, task.command, task.features, task.lbaLow,
                                task.lbaMid,     task.lbaHigh,  task.device,  0,            0,
                                0,               0,             task.sectorCount};
    std::copy(std::begin(fis), std::end(fis), p.commandFis);
    p.flags = disk::CsmiStpRead | disk::CsmiStpPio;
    p.dataLength = length;
    disk::writeLayout(std::span(request), stp);
    DiskAccessLogFormat("CSMI.SendIDECommand(op=$%.2x) - Port#%d - SASAddress=%s",
                        {unsigned{task.command}, unsigned{p.phyIdentifier}, CsmiSASAddressText(SASAddress)});
    std::vector<std::uint8_t> answer = request;
    std::uint32_t returned = 0;
    if (!opened.device->control(disk::ScsiMiniport, request, answer, returned)) {
        DiskAccessLogFormat("CSMI.SendIDECommand error ($%.8x)", {DiskRequestError(*opened.device)});
        return DiskCommandFailed;
    }
    DiskAccessLogFormat("CSMI.SendIDECommand returned %d bytes", {returned});
    disk::CsmiStpBuffer result{};
    disk::readLayout<disk::CsmiStpBuffer>(answer, result);
    if (result.header.returnCode != 0 || result.status.connectionStatus != 0 ||
        (result.status.statusFis[disk::CsmiStatusFisStatus] & FisStatusError))
        return DiskCommandFailed;
    diskio::copyAnswer(buffer, answer, disk::CsmiStpData, returned);
    return DiskOk;
}
