#include "disks/cvcsmi.h"

#include <algorithm>
#include <cstring>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "disks/csmi.h"
#include "disks/cvsmart.h"

namespace disk = platform::disk;
using cvformat::Format;

TCSMIDriveList CSMIDrives;
std::vector<std::string> CsmiProbeLog;

namespace {

constexpr std::size_t CsmiBufferSize = 4264;
constexpr std::uint32_t CsmiTimeoutSeconds = 60;
constexpr std::uint32_t SemFailCriticalErrors = 0x0001;
constexpr std::uint8_t FisHostToDevice = 0x27, FisCommandBit = 0x80, FisStatusError = 0x01;
constexpr std::uint8_t CsmiFeaturesEnable = 0xD8, CsmiFeaturesAttrs = 0xD0, CsmiFeaturesThrs = 0xD1;
constexpr const char* IaStorKeys[] = {"System\\CurrentControlSet\\Services\\iaStor\\Parameters",
                                      "System\\CurrentControlSet\\Services\\iaStorV\\Parameters"};

void probeLog(const std::string& line) {
    CsmiProbeLog.push_back(line);
    WriteDebugLog(line);
}
void probeLog(std::string_view picture, std::initializer_list<cvformat::FormatArg> args) {
    probeLog(Format(picture, args));
}

// A fixed-size character field as text, trimmed.
std::string fieldText(const char* field, std::size_t size) {
    std::string text(field, strnlen(field, size));
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool miniport(platform::Device& port, std::span<std::uint8_t> buffer, std::uint32_t& returned) {
    const std::vector<std::uint8_t> input(buffer.begin(), buffer.end());
    return port.control(disk::ScsiMiniport, input, buffer, returned);
}

// Clears the buffer and puts a request header of `total` bytes in front.
std::span<std::uint8_t> cleared(std::vector<std::uint8_t>& buffer, disk::SrbIoControl& header, std::uint32_t code,
                                std::string_view signature, std::size_t total) {
    std::fill(buffer.begin(), buffer.end(), 0);
    const auto request = std::span(buffer).first(total);
    CsmiIoctlHeader(header, code, signature, 0, static_cast<std::uint32_t>(total));
    disk::writeLayout(request, header);
    return request;
}

void logPhy(std::size_t k, const disk::CsmiPhyEntry& phy) {
    const auto& own = phy.identify;
    const auto& att = phy.attached;
    probeLog("  Phy #%d -->", {k});
    probeLog("    Device Type: %s - %s", {CsmiDeviceTypeText(own.deviceType), CsmiDeviceTypeText(att.deviceType)});
    probeLog("    Initiator Port Protocol: %s - %s",
             {CsmiProtocolText(own.initiatorPortProtocol), CsmiProtocolText(att.initiatorPortProtocol)});
    probeLog("    Target Port Protocol: %s - %s",
             {CsmiProtocolText(own.targetPortProtocol), CsmiProtocolText(att.targetPortProtocol)});
    probeLog("    SAS Address: %s - %s",
             {CsmiSASAddressText(std::span<const std::uint8_t, 8>(own.sasAddress)),
              CsmiSASAddressText(std::span<const std::uint8_t, 8>(att.sasAddress))});
    probeLog("    Phy Identifier: %d - %d", {unsigned{own.phyIdentifier}, unsigned{att.phyIdentifier}});
    probeLog("    Signal Class: %d - %d", {unsigned{own.signalClass}, unsigned{att.signalClass}});
    probeLog("    Port identifier: %d", {unsigned{phy.portIdentifier}});
    probeLog("    Link rate: negotiated=%s - min=%s - max=%s",
             {CsmiLinkRateText(phy.negotiatedLinkRate), CsmiLinkRateText(phy.minimumLinkRate),
              CsmiLinkRateText(phy.maximumLinkRate)});
    probeLog("    Phy change count: %d", {unsigned{phy.phyChangeCount}});
    probeLog("    Auto discover: %d", {unsigned{phy.autoDiscover}});
    probeLog("    Phy features: %d", {unsigned{phy.phyFeatures}});
}

void listPhys(const std::string& path, platform::Device& port, std::vector<std::uint8_t>& buffer) {
    disk::SrbIoControl header{};
    const auto request = cleared(buffer, header, disk::miniport::CsmiPhyInfo, disk::miniport::CsmiSasSignature,
                                 disk::CsmiPhyInfoBuffer);
    probeLog("Querying PHY INFO...");
    std::uint32_t returned = 0;
    if (!miniport(port, request, returned)) {
        probeLog("Error in DeviceIoControl (SAS_GET_PHY_INFO) $%.8x", {DiskRequestError(port)});
        return;
    }
    disk::readLayout(request, header);
    probeLog("IOCTRL returned %d bytes", {returned});
    probeLog("ReturnCode(SAS_GET_PHY_INFO)=$%.8x", {header.returnCode});
    if (header.returnCode != 0) return;
    disk::CsmiPhyInfo info{};
    std::memcpy(&info, request.data() + sizeof(disk::SrbIoControl), sizeof info);
    probeLog("Phys found: %d", {unsigned{info.numberOfPhys}});
    const std::size_t count = std::min<std::size_t>(info.numberOfPhys, disk::CsmiMaxPhys);
    for (std::size_t k = 0; k < count; ++k) {
        const auto& phy = info.phy[k];
        logPhy(k, phy);
        TCSMI_DRIVE_DATA entry{path, &port, {}};
        std::copy(std::begin(phy.attached.sasAddress), std::end(phy.attached.sasAddress), entry.SASAddress.begin());
        CSMIDrives.push_back(entry);
        probeLog("Added drive on Phy #%d", {unsigned{phy.identify.phyIdentifier}});
        const std::size_t index = CSMIDrives.size() - 1;
        if (!CsmiIdentifyDrive(index)) continue;
        if (DriveSupportsSmart(index)) {
            CsmiReadSmartData(index);
        } else {
            probeLog("  Removed drive on Phy #%d as it doesn't support SMART", {unsigned{phy.identify.phyIdentifier}});
            CSMIDrives.pop_back();
        }
    }
}

void probePort(int number, std::vector<std::uint8_t>& buffer) {
    const std::string path = Format("\\\\.\\SCSI%d:", {number});
    auto opened = platform::current().openDevice(path);
    if (!opened.device) return;
    auto& port = *opened.device;
    probeLog("Opened <%s>", {path});
    disk::SrbIoControl header{};
    const auto request = cleared(buffer, header, disk::miniport::CsmiDriverInfo, disk::miniport::CsmiAllSignature,
                                 disk::CsmiDriverInfoBuffer);
    probeLog("Contacting CSMI driver...");
    std::uint32_t returned = 0;
    if (!miniport(port, request, returned)) {
        probeLog("Error in DeviceIoControl (DRIVER_INFO) $%.8x", {DiskRequestError(port)});
    } else {
        disk::readLayout(request, header);
        probeLog("IOCTRL returned %d bytes", {returned});
        probeLog("ReturnCode(DRIVER_INFO)=$%.8x", {header.returnCode});
        if (header.returnCode == 0) {
            disk::CsmiDriverInfo info{};
            std::memcpy(&info, request.data() + sizeof(disk::SrbIoControl), sizeof info);
            probeLog("Driver info -->");
            probeLog("  Name <%s>", {fieldText(info.name, sizeof info.name)});
            probeLog("  Description <%s>", {fieldText(info.description, sizeof info.description)});
            probeLog("  Version %d.%d.%d.%d", {unsigned{info.majorRevision}, unsigned{info.minorRevision},
                                               unsigned{info.buildRevision}, unsigned{info.releaseRevision}});
            probeLog("  CSMI Version %d.%d", {unsigned{info.csmiMajorRevision}, unsigned{info.csmiMinorRevision}});
            listPhys(path, port, buffer);
        }
    }
    // The entries outlive the handle; later users open the path again.
    for (auto& entry : CSMIDrives)
        if (entry.DriveHandle == &port) entry.DriveHandle = nullptr;
}

TCsmiResult smartCommand(std::string_view name, std::size_t drive, std::uint8_t features,
                         std::span<std::uint8_t> buffer) {
    return DoCSMIIoctl(name, drive, disk::ata::Smart, buffer, features);
}

}  // namespace

void CsmiIoctlHeader(disk::SrbIoControl& header, std::uint32_t controlCode, std::string_view signature,
                     std::uint32_t dataLength, std::uint32_t totalLength) {
    header = disk::miniportHeader(signature, CsmiTimeoutSeconds, controlCode,
                                  totalLength - static_cast<std::uint32_t>(sizeof(disk::SrbIoControl)) + dataLength);
}

TCsmiResult FixRegistry() {
    TCsmiResult result;
    auto& registry = platform::current().systemRegistry();
    const char* key = nullptr;
    for (const char* candidate : IaStorKeys) {
        if (registry.keyExists(candidate)) {
            key = candidate;
            break;
        }
        if (result.LastError == 0) result.LastError = platform::ErrorFileNotFound;
    }
    if (!key) {
        result.Success = false;
        probeLog("FixRegistry error ($%.8x)", {result.LastError});
        return result;
    }
    const std::uint32_t error = registry.writeDWord(key, "CSMI", 3);
    result.Success = error == 0;
    // A refused write is not a success, whatever the key said.
    if (result.Success) {
        probeLog("FixRegistry succeeded");
    } else {
        result.LastError = error;
        probeLog("FixRegistry error ($%.8x)", {error});
    }
    return result;
}

void ProbeCSMIDrives() {
    CSMIDrives.clear();
    auto& machine = platform::current();
    const std::uint32_t oldMode = machine.setErrorMode(SemFailCriticalErrors);
    FixRegistry();
    std::vector<std::uint8_t> buffer(CsmiBufferSize);
    for (int number = 0; number < CsmiMaxPorts; ++number) probePort(number, buffer);
    machine.setErrorMode(oldMode);
}

TCsmiResult DoCSMIIoctl(std::string_view operation, std::size_t drive, std::uint8_t command,
                        std::span<std::uint8_t> buffer, std::uint8_t features) {
    TCsmiResult result;
    const auto& entry = CSMIDrives.at(drive);
    const auto length = static_cast<std::uint32_t>(buffer.size());
    std::vector<std::uint8_t> request(std::max<std::size_t>(CsmiBufferSize, disk::CsmiStpBufferBase + length));
    disk::CsmiStpBuffer stp{};
    CsmiIoctlHeader(stp.header, disk::miniport::CsmiStpPassThrough, disk::miniport::CsmiSasSignature, length,
                    disk::CsmiStpBufferBase);
    probeLog("DoCSMIIoctl(%s) - Port#%d - SASAddress=%s",
             {operation, unsigned{entry.SASAddress[2]}, CsmiSASAddressText(entry.SASAddress)});
    auto& p = stp.parameters;
    p.phyIdentifier = entry.SASAddress[2];
    p.portIdentifier = disk::CsmiAnyPort;
    std::copy(entry.SASAddress.begin(), entry.SASAddress.end(), p.destinationSasAddress);
    const std::uint8_t fis[] = {FisHostToDevice, FisCommandBit, command, features, 0x01, disk::ata::SmartLbaMid,
                                disk::ata::SmartLbaHigh, 0xA0, 0, 0, 0, 0, 0x01};
    std::copy(std::begin(fis), std::end(fis), p.commandFis);
    p.flags = disk::CsmiStpRead | disk::CsmiStpPio;
    p.dataLength = length;
    const auto sent = std::span(request).first(disk::CsmiStpBufferBase + length);
    disk::writeLayout(sent, stp);
    std::uint32_t returned = 0;
    if (!entry.DriveHandle || !miniport(*entry.DriveHandle, sent, returned)) {
        result.Success = false;
        result.LastError = entry.DriveHandle ? DiskRequestError(*entry.DriveHandle) : platform::ErrorInvalidParameter;
        probeLog("DoCSMIIoctl error ($%.8x)", {result.LastError});
        return result;
    }
    if (length != 0) std::copy_n(sent.begin() + disk::CsmiStpData, length, buffer.begin());
    disk::CsmiStpBuffer answer{};
    disk::readLayout<disk::CsmiStpBuffer>(sent, answer);
    if (answer.header.returnCode != 0 || answer.status.connectionStatus != 0 ||
        (answer.status.statusFis[disk::CsmiStatusFisStatus] & FisStatusError)) {
        result.Success = false;
        result.LastError = 0;
        result.ReturnCode = answer.header.returnCode;
    }
    return result;
}

TCsmiResult CsmiSmartEnable(std::size_t drive) { return smartCommand("SmartEnable", drive, CsmiFeaturesEnable, {}); }
TCsmiResult CsmiReadSmartAttrs(std::size_t drive, std::span<std::uint8_t, 512> buffer) {
    return smartCommand("ReadSmartAttrs", drive, CsmiFeaturesAttrs, buffer);
}
TCsmiResult CsmiReadSmartThrs(std::size_t drive, std::span<std::uint8_t, 512> buffer) {
    return smartCommand("ReadSmartThrs", drive, CsmiFeaturesThrs, buffer);
}
TCsmiResult CsmiIdentify(std::size_t drive, std::span<std::uint8_t, 512> buffer) {
    return DoCSMIIoctl("Identify", drive, disk::ata::Identify, buffer, 0);
}

bool CsmiIdentifyDrive(std::size_t drive) {
    std::array<std::uint8_t, 512> identify{};
    if (!CsmiIdentify(drive, identify).Success) return false;
    const TDriveIdentity id = ReadDriveIdentity(identify);
    probeLog("  Found hard disk Model <%s>  Firmware <%s>  Serial <%s>", {id.model, id.firmware, id.serial});
    return true;
}

bool DriveSupportsSmart(std::size_t drive) {
    const TCsmiResult result = CsmiSmartEnable(drive);
    if (result.Success) return true;
    probeLog("DriveSupportsSmart FAILED -->");
    probeLog("  LastError=$%.8x", {result.LastError});
    probeLog("  IOCTL Return Code=$%.8x", {result.ReturnCode});
    return false;
}

void CsmiReadSmartData(std::size_t drive) {
    std::array<std::uint8_t, 512> attributes{}, thresholds{};
    const bool read = CsmiReadSmartAttrs(drive, attributes).Success && CsmiReadSmartThrs(drive, thresholds).Success;
    probeLog(read ? "  SUCCESS READING SMART DATA FOR DRIVE %d" : "  ERROR READING SMART DATA FOR DRIVE %d", {drive});
}
