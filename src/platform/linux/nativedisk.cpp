#include "platform/linux/nativedisk.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/asciicase.h"
#include "platform/linux/filehandle.h"

namespace platform::native {
namespace {

using disk::ErrorInvalidFunction;
using disk::ErrorIoDevice;
constexpr std::uint8_t ScsiInquiry = 0x12;
constexpr std::uint8_t ScsiLogSense = 0x4D;
constexpr std::uint8_t AtaPassThrough16 = 0x85;
constexpr std::uint8_t ProtocolNonData = 3, ProtocolPioIn = 4;
constexpr std::uint32_t DefaultTimeoutMs = 10000;

std::uint32_t timeoutOf(std::uint32_t seconds) { return seconds == 0 ? DefaultTimeoutMs : seconds * 1000; }

// An open /dev/sd* node.
class DiskFile {
public:
    explicit DiskFile(int fd) : fd_(fd) {}
    ~DiskFile() { ::close(fd_); }
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    SgResult run(const SgRequest& request) const {
        SgResult result;
        std::array<std::uint8_t, 32> sense{};
        std::vector<std::uint8_t> cdb = request.cdb;
        sg_io_hdr_t io{};
        io.interface_id = 'S';
        io.cmdp = cdb.data();
        io.cmd_len = static_cast<unsigned char>(cdb.size());
        io.sbp = sense.data();
        io.mx_sb_len = sense.size();
        io.dxfer_direction = request.dataIn && !request.data.empty() ? SG_DXFER_FROM_DEV : SG_DXFER_NONE;
        io.dxferp = request.data.data();
        io.dxfer_len = request.dataIn ? static_cast<unsigned>(request.data.size()) : 0;
        io.timeout = request.timeoutMs;
        if (::ioctl(fd_, SG_IO, &io) < 0) {
            result.error = errno;
            return result;
        }
        if ((io.info & SG_INFO_OK_MASK) != SG_INFO_OK && io.status == 0 && io.host_status != 0) {
            result.error = io.host_status == 3 ? ETIMEDOUT : EIO;  // DID_TIME_OUT
            return result;
        }
        result.status = io.status;
        result.sense.assign(sense.begin(), sense.begin() + io.sb_len_wr);
        result.delivered = io.dxfer_len - static_cast<std::uint32_t>(std::max(io.resid, 0));
        return result;
    }

    std::optional<BlockInfo> info(bool removable) const {
        BlockInfo block;
        int sector = 0;
        if (::ioctl(fd_, BLKGETSIZE64, &block.bytes) < 0 || ::ioctl(fd_, BLKSSZGET, &sector) < 0 || sector <= 0)
            return std::nullopt;
        block.sectorSize = static_cast<std::uint32_t>(sector);
        block.removable = removable;
        return block;
    }

private:
    int fd_;
};

}  // namespace

std::uint32_t windowsErrorOf(int error) {
    switch (error) {
    case EACCES:
    case EPERM: return ErrorAccessDenied;
    case ENOENT:
    case ENXIO:
    case ENODEV: return ErrorFileNotFound;
    case ENOTTY:
    case EINVAL: return ErrorInvalidFunction;
    case ETIMEDOUT: return disk::ErrorSemTimeout;
    case EIO: return ErrorIoDevice;
    default: return ErrorGenFailure;
    }
}

std::optional<int> physicalDriveNumber(const std::string& path) {
    static const std::string prefix = "\\\\.\\physicaldrive";
    const std::string lower = asciiLower(path);
    if (lower.compare(0, prefix.size(), prefix) != 0 || lower.size() == prefix.size() ||
        lower.size() > prefix.size() + 3)
        return std::nullopt;
    const std::string digits = lower.substr(prefix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return std::stoi(digits);
}

std::vector<std::string> scsiDiskNames(const std::string& sysfsRoot) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(sysfsRoot + "/block", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 2 && name.compare(0, 2, "sd") == 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return names;
}

std::string diskRefusalLine(const std::string& device, int error) {
    const std::string refused = "Disk " + device + " refused: " + systemReason(error);
    switch (error) {
    case EACCES: return refused + " (reading S.M.A.R.T. data needs root or the disk group)";
    case EPERM: return refused + " (the system's device policy forbids it)";
    case ENOENT: return refused + " (the kernel lists the disk, but there is no device node)";
    default: return refused;
    }
}

namespace {

// Block devices that are disks but no route of ours reaches, by name prefix.
struct SkippedDiskKind {
    const char* prefix;
    const char* why;
};
constexpr SkippedDiskKind SkippedDiskKinds[] = {
    {"vd", "virtio, no pass-through"},
    {"xvd", "Xen virtual disk, no pass-through"},
    {"nvme", "NVMe without pass-through"},
    {"mmcblk", "MMC card, no S.M.A.R.T."},
    {"hd", "legacy IDE driver, no pass-through"},
};

}  // namespace

std::string noDiskReachableLine(const std::string& sysfsRoot) {
    std::vector<std::string> skipped;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(sysfsRoot + "/block", ec)) {
        const std::string name = entry.path().filename().string();
        for (const auto& kind : SkippedDiskKinds) {
            if (name.starts_with(kind.prefix)) {
                skipped.push_back(name + " (" + kind.why + ")");
                break;
            }
        }
    }
    std::sort(skipped.begin(), skipped.end());
    std::string line = "No disk reachable: no /dev/sd* disk";
    for (std::size_t i = 0; i < skipped.size(); ++i) line += (i == 0 ? "; skipped " : ", ") + skipped[i];
    return line;
}

bool ataCommandAllowed(const disk::TaskFile& task) {
    if (task.command == disk::ata::Identify) return true;
    if (task.command != disk::ata::Smart || task.lbaMid != disk::ata::SmartLbaMid ||
        task.lbaHigh != disk::ata::SmartLbaHigh)
        return false;
    switch (task.features) {
    case disk::ata::ReadData:
    case disk::ata::ReadThresholds:
    case disk::ata::ReadLog:
    case disk::ata::EnableOperations: return true;
    // Never captive: that would hold the drive past every time-out.
    case disk::ata::ExecuteOffline: return task.lbaLow <= 3;
    default: return false;
    }
}

bool scsiCommandAllowed(std::span<const std::uint8_t> cdb) {
    if (cdb.empty()) return false;
    if ((cdb[0] == ScsiInquiry && cdb.size() == 6) || (cdb[0] == ScsiLogSense && cdb.size() == 10)) return true;
    const auto bridged = disk::decodeBridgeCdb(cdb);
    return bridged.layout && ataCommandAllowed(bridged.task);
}

std::array<std::uint8_t, 16> ataPassThrough16(const disk::TaskFile& task, bool dataIn) {
    // PIO data-in: transfer from the device, length in blocks, taken from the sector count.
    return {AtaPassThrough16, static_cast<std::uint8_t>((dataIn ? ProtocolPioIn : ProtocolNonData) << 1),
            static_cast<std::uint8_t>(dataIn ? 0x0E : 0x00), 0, task.features, 0, task.sectorCount, 0,
            task.lbaLow, 0, task.lbaMid, 0, task.lbaHigh, task.device, task.command, 0};
}

NativeDisk::NativeDisk(SgExecutor executor, std::function<std::optional<BlockInfo>()> blockInfo)
    : executor_(std::move(executor)), blockInfo_(std::move(blockInfo)) {}

bool NativeDisk::fail(std::uint32_t error) {
    error_ = error;
    return false;
}

bool NativeDisk::control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                         std::uint32_t& returned) {
    returned = 0;
    switch (code) {
    case disk::SmartGetVersion: {
        disk::GetVersionInParams version{};
        version.version = 1;
        version.revision = 1;
        version.ideDeviceMap = 1;
        version.capabilities = disk::CapAtaIdDeviceCommand | disk::CapSmartCommands;
        if (!disk::writeLayout(output, version)) return fail(ErrorInvalidParameter);
        returned = sizeof version;
        return true;
    }
    case disk::SmartRcvDriveData:
    case disk::SmartSendDriveCommand: return smartCodes(code, input, output, returned);
    case disk::AtaPassThrough: return ataPassThrough(input, output, returned);
    case disk::ScsiPassThrough: return scsiPassThrough(input, output, returned);
    case disk::DiskGetDriveGeometry: return geometry(output, returned);
    default: return fail(ErrorInvalidFunction);
    }
}

std::optional<SgResult> NativeDisk::runAta(const disk::TaskFile& task, bool dataIn, std::span<std::uint8_t> data,
                                           std::uint32_t timeoutMs) {
    if (!ataCommandAllowed(task)) {
        fail(ErrorInvalidFunction);
        return std::nullopt;
    }
    const bool moves = dataIn && task.sectorCount != 0 && !data.empty();
    std::vector<std::uint8_t> sized(moves ? std::size_t{task.sectorCount} * 512 : 0);
    const auto cdb = ataPassThrough16(task, moves);
    auto result = executor_({{cdb.begin(), cdb.end()}, moves, sized, timeoutMs});
    if (result.error != 0) {
        fail(windowsErrorOf(result.error));
        return std::nullopt;
    }
    if (result.status != 0) {
        fail(ErrorIoDevice);
        return result;
    }
    result.delivered = std::min<std::uint32_t>(result.delivered, static_cast<std::uint32_t>(sized.size()));
    std::copy_n(sized.begin(), std::min<std::size_t>(result.delivered, data.size()), data.begin());
    return result;
}

bool NativeDisk::smartCodes(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                            std::uint32_t& returned) {
    disk::SendCmdInParams in{};
    if (input.size() < disk::SendCmdInSent || output.size() < disk::SendCmdOutData)
        return fail(ErrorInvalidParameter);
    std::memcpy(&in, input.data(), disk::SendCmdInSent);
    const bool dataIn = code == disk::SmartRcvDriveData;
    const auto data = output.subspan(disk::SendCmdOutData);
    const auto asked = data.first(dataIn ? std::min<std::size_t>(data.size(), in.bufferSize) : 0);
    std::fill(output.begin(), output.end(), 0);
    const auto result = runAta(in.regs, dataIn, asked, DefaultTimeoutMs);
    disk::SendCmdOutHeader header{};
    if (!result || result->status != 0) {
        header.status.driverError = result ? 1 : 0;
        if (result && result->sense.size() >= 12 && result->sense[8] == 0x09) header.status.ideError = result->sense[11];
        disk::writeLayout(output, header);
        return false;
    }
    header.bufferSize = static_cast<std::uint32_t>(asked.size());
    disk::writeLayout(output, header);
    returned = static_cast<std::uint32_t>(disk::SendCmdOutData + asked.size());
    return true;
}

bool NativeDisk::ataPassThrough(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                                std::uint32_t& returned) {
    disk::AtaPassThroughEx header{};
    if (!disk::readLayout(input, header) || output.size() < disk::AtaPassThroughData)
        return fail(ErrorInvalidParameter);
    const auto data = output.subspan(disk::AtaPassThroughData);
    const auto asked = data.first(std::min<std::size_t>(data.size(), header.dataTransferLength));
    std::fill(output.begin(), output.end(), 0);
    const bool dataIn = (header.ataFlags & disk::AtaFlagsDataIn) != 0;
    const auto result = runAta(header.currentTaskFile, dataIn, asked, timeoutOf(header.timeOutValue));
    if (!result || result->status != 0) return false;
    disk::writeLayout(output, header);
    returned = static_cast<std::uint32_t>(disk::AtaPassThroughData + asked.size());
    return true;
}

bool NativeDisk::scsiPassThrough(std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                                 std::uint32_t& returned) {
    disk::ScsiPassThroughRequest request{};
    if (!disk::readLayout(input, request) || request.cdbLength > sizeof request.cdb ||
        request.dataBufferOffset > output.size() || request.dataBufferOffset < sizeof request)
        return fail(ErrorInvalidParameter);
    const std::span<const std::uint8_t> cdb(request.cdb, request.cdbLength);
    if (!scsiCommandAllowed(cdb) || request.dataIn == disk::ScsiDataOut) return fail(ErrorInvalidFunction);
    const auto room = output.subspan(request.dataBufferOffset);
    const auto data = room.first(std::min<std::size_t>(room.size(), request.dataTransferLength));
    std::fill(output.begin(), output.end(), 0);
    const bool dataIn = request.dataIn == disk::ScsiDataIn && !data.empty();
    const auto result = executor_({{cdb.begin(), cdb.end()}, dataIn, data, timeoutOf(request.timeOutValue)});
    if (result.error != 0) return fail(windowsErrorOf(result.error));
    request.scsiStatus = result.status;
    request.dataTransferLength = std::min<std::uint32_t>(result.delivered, static_cast<std::uint32_t>(data.size()));
    const std::size_t senseRoom = request.senseInfoOffset >= sizeof request && request.senseInfoOffset < output.size()
                                      ? std::min<std::size_t>(request.senseInfoLength, output.size() - request.senseInfoOffset)
                                      : 0;
    const std::size_t senseCount = std::min(senseRoom, result.sense.size());
    if (senseCount > 0) std::copy_n(result.sense.begin(), senseCount, output.begin() + request.senseInfoOffset);
    request.senseInfoLength = static_cast<std::uint8_t>(senseCount);
    disk::writeLayout(output, request);
    returned = request.dataBufferOffset + request.dataTransferLength;
    return true;
}

bool NativeDisk::geometry(std::span<std::uint8_t> output, std::uint32_t& returned) {
    const auto block = blockInfo_ ? blockInfo_() : std::nullopt;
    if (!block || block->sectorSize == 0) return fail(ErrorInvalidFunction);
    const disk::DiskGeometry g = disk::geometryOfSectors(block->bytes / block->sectorSize, block->sectorSize,
                                                         block->removable ? disk::MediaRemovable : disk::MediaFixed);
    if (!disk::writeLayout(output, g)) return fail(ErrorInvalidParameter);
    returned = sizeof g;
    return true;
}

DeviceOpenResult openNativeDisk(const std::string& path, const std::string& sysfsRoot, const std::string& devRoot,
                                std::string* refusal) {
    const auto number = physicalDriveNumber(path);
    if (!number) return {nullptr, ErrorFileNotFound};
    const auto names = scsiDiskNames(sysfsRoot);
    if (*number >= static_cast<int>(names.size())) return {nullptr, ErrorFileNotFound};
    const std::string& name = names[*number];
    // Read-only whatever is asked: closing a disk opened for writing makes
    // the system re-read its partitions.
    const std::string node = devRoot + "/" + name;
    const int fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (refusal) *refusal = diskRefusalLine(node, error);
        return {nullptr, windowsErrorOf(error)};
    }
    std::ifstream removableFile(sysfsRoot + "/block/" + name + "/removable");
    int removable = 0;
    removableFile >> removable;
    auto file = std::make_shared<DiskFile>(fd);
    return {std::make_unique<NativeDisk>([file](const SgRequest& r) { return file->run(r); },
                                         [file, removable] { return file->info(removable == 1); }),
            0};
}

}  // namespace platform::native
