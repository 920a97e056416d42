#pragma once
// "\\.\PhysicalDriveN" on Linux: the N-th /dev/sd* disk, with the disk
// control codes translated to SG_IO. Only the commands the program sends
// pass; everything else fails with error 1 before it reaches the disk.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/diskctl.h"
#include "platform/platform.h"

namespace platform::native {

// One SCSI command as SG_IO runs it.
struct SgRequest {
    std::vector<std::uint8_t> cdb;
    bool dataIn = false;  // else no data moves
    std::span<std::uint8_t> data;
    std::uint32_t timeoutMs = 10000;
};
struct SgResult {
    int error = 0;  // errno of the request; 0 when the command ran
    std::uint8_t status = 0;
    std::vector<std::uint8_t> sense;
    std::uint32_t delivered = 0;
};
using SgExecutor = std::function<SgResult(const SgRequest&)>;

struct BlockInfo {
    std::uint64_t bytes = 0;
    std::uint32_t sectorSize = 512;
    bool removable = false;
};

// The system error code of an errno.
std::uint32_t windowsErrorOf(int error);
// N of "\\.\PhysicalDriveN", any case.
std::optional<int> physicalDriveNumber(const std::string& path);
// The sd* disks under <sysfsRoot>/block in the kernel's order: shorter names
// first, then by name.
std::vector<std::string> scsiDiskNames(const std::string& sysfsRoot);

// The line that names a disk the system refused and why: a refused
// permission, the system's device policy and a missing node each have their own.
std::string diskRefusalLine(const std::string& device, int error);
// The line that says no disk is reachable, naming the block devices under
// <sysfsRoot>/block that are no sd* disk and why they are skipped.
std::string noDiskReachableLine(const std::string& sysfsRoot);

// True when the register image is one the program sends.
bool ataCommandAllowed(const disk::TaskFile& task);
// True for INQUIRY, LOG SENSE and the bridge blocks that carry an allowed command.
bool scsiCommandAllowed(std::span<const std::uint8_t> cdb);
// The ATA PASS-THROUGH (16) block of a register image.
std::array<std::uint8_t, 16> ataPassThrough16(const disk::TaskFile& task, bool dataIn);

class NativeDisk : public Device {
public:
    NativeDisk(SgExecutor executor, std::function<std::optional<BlockInfo>()> blockInfo);
    bool control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                 std::uint32_t& returned) override;
    std::uint32_t lastError() const override { return error_; }

private:
    bool fail(std::uint32_t error);
    bool smartCodes(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                    std::uint32_t& returned);
    bool ataPassThrough(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, std::uint32_t& returned);
    bool scsiPassThrough(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, std::uint32_t& returned);
    bool geometry(std::span<std::uint8_t> output, std::uint32_t& returned);
    // Runs one ATA command; the data are sized by the sector count.
    std::optional<SgResult> runAta(const disk::TaskFile& task, bool dataIn, std::span<std::uint8_t> data,
                                   std::uint32_t timeoutMs);

    SgExecutor executor_;
    std::function<std::optional<BlockInfo>()> blockInfo_;
    std::uint32_t error_ = ErrorGenFailure;
};

// Opens "\\.\PhysicalDriveN" read-only and non-blocking; other paths and
// missing disks answer error 2. A refused /dev node gives its reason line.
DeviceOpenResult openNativeDisk(const std::string& path, const std::string& sysfsRoot = "/sys",
                                const std::string& devRoot = "/dev", std::string* refusal = nullptr);

}  // namespace platform::native
