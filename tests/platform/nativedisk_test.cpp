#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fcntl.h>
#include <unistd.h>

#include "platform/linux/nativedisk.h"
#include "platform/linux/nativeplatform.h"
#include "platform/tracesink.h"
#include "support/testmachine.h"

using namespace platform::native;
namespace disk = platform::disk;
namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

// A disk whose SG_IO requests a test answers and records.
struct FakeDisk {
    std::vector<SgRequest> seen;
    std::vector<std::vector<std::uint8_t>> cdbs;
    SgResult answer;
    std::uint8_t fillByte = 0x42;

    NativeDisk device(std::optional<BlockInfo> block = std::nullopt) {
        return NativeDisk(
            [this](const SgRequest& r) {
                seen.push_back(r);
                cdbs.push_back(r.cdb);
                SgResult result = answer;
                if (r.dataIn && result.error == 0) {
                    std::fill(r.data.begin(), r.data.end(), fillByte);
                    result.delivered = static_cast<std::uint32_t>(r.data.size());
                }
                return result;
            },
            [block] { return block; });
    }
};

std::vector<std::uint8_t> smartIn(disk::TaskFile task, std::uint32_t length) {
    disk::SendCmdInParams in{};
    in.bufferSize = length;
    in.regs = task;
    const auto b = disk::bytesOf(in).first(disk::SendCmdInSent);
    return {b.begin(), b.end()};
}

constexpr disk::TaskFile smart(std::uint8_t features, std::uint8_t count, std::uint8_t lbaLow) {
    return {features, count, lbaLow, 0x4F, 0xC2, 0xA0, 0xB0, 0};
}

}  // namespace

TEST(NativeDisk, SmartCodesBecomeAtaPassThrough16) {
    FakeDisk fake;
    auto device = fake.device();
    std::vector<std::uint8_t> out(16 + 512);
    std::uint32_t returned = 0;
    ASSERT_TRUE(device.control(disk::SmartRcvDriveData, smartIn(smart(0xD0, 1, 1), 512), out, returned));
    EXPECT_EQ(returned, 528u);
    EXPECT_EQ(out[16], 0x42);
    EXPECT_EQ(out[527], 0x42);
    ASSERT_EQ(fake.seen.size(), 1u);
    EXPECT_EQ(fake.cdbs[0], bytes({0x85, 0x08, 0x0E, 0, 0xD0, 0, 0x01, 0, 0x01, 0, 0x4F, 0, 0xC2, 0xA0, 0xB0, 0}));
    EXPECT_TRUE(fake.seen[0].dataIn);
    EXPECT_EQ(fake.seen[0].timeoutMs, 10000u);

    // A self-test moves nothing: non-data.
    out.assign(16, 0);
    ASSERT_TRUE(device.control(disk::SmartSendDriveCommand, smartIn(smart(0xD4, 0, 2), 0), out, returned));
    EXPECT_EQ(fake.cdbs[1], bytes({0x85, 0x06, 0x00, 0, 0xD4, 0, 0x00, 0, 0x02, 0, 0x4F, 0, 0xC2, 0xA0, 0xB0, 0}));
    EXPECT_FALSE(fake.seen[1].dataIn);

    // Bytes asked beyond the sector count stay zero.
    out.assign(16 + 514, 0xEE);
    ASSERT_TRUE(device.control(disk::SmartRcvDriveData, smartIn(smart(0xD5, 1, 1), 514), out, returned));
    EXPECT_EQ(fake.seen[2].data.size(), 512u);
    EXPECT_EQ(out[16 + 511], 0x42);
    EXPECT_EQ(out[16 + 512], 0);
}

TEST(NativeDisk, OnlyTheProgramsCommandsReachTheDisk) {
    const struct {
        disk::TaskFile task;
        bool passes;
    } cases[] = {
        {{0, 1, 1, 0, 0, 0xA0, 0xEC, 0}, true},     // IDENTIFY
        {smart(0xD0, 1, 1), true},                  {smart(0xD1, 1, 1), true},
        {smart(0xD5, 1, 6), true},                  {smart(0xD8, 1, 1), true},
        {smart(0xD4, 0, 0), true},                  {smart(0xD4, 0, 3), true},
        {smart(0xD4, 0, 0x81), false},              // captive
        {smart(0xD4, 0, 0x7F), false},              // abort self-test and others
        {smart(0xD6, 1, 1), false},                 // WRITE LOG
        {smart(0xD9, 0, 1), false},                 // DISABLE OPERATIONS
        {{0, 1, 1, 0x4F, 0xC2, 0xA0, 0xB0, 0}, false},  // no sub-command
        {{0, 1, 0, 0, 0, 0xE0, 0x30, 0}, false},    // WRITE SECTORS
        {{0xD0, 1, 1, 0, 0, 0xA0, 0xB0, 0}, false}, // S.M.A.R.T. without its key
    };
    for (const auto& c : cases) {
        FakeDisk fake;
        auto device = fake.device();
        std::vector<std::uint8_t> out(16 + 512);
        std::uint32_t returned = 0;
        EXPECT_EQ(device.control(disk::SmartRcvDriveData, smartIn(c.task, 512), out, returned), c.passes)
            << int(c.task.command) << " " << int(c.task.features) << " " << int(c.task.lbaLow);
        EXPECT_EQ(fake.seen.size(), c.passes ? 1u : 0u);
        if (!c.passes) {
            EXPECT_EQ(device.lastError(), 1u);
        }
    }
}

TEST(NativeDisk, ScsiPassThroughSendsAllowedBlocksUnchanged) {
    FakeDisk fake;
    auto device = fake.device();
    const auto request = [](std::vector<std::uint8_t> cdb, std::uint32_t length) {
        disk::ScsiPassThroughRequest r{};
        r.length = sizeof r;
        r.cdbLength = static_cast<std::uint8_t>(cdb.size());
        r.senseInfoLength = 24;
        r.dataIn = disk::ScsiDataIn;
        r.dataTransferLength = length;
        r.timeOutValue = 2;
        r.dataBufferOffset = 80;
        r.senseInfoOffset = 48;
        std::copy(cdb.begin(), cdb.end(), r.cdb);
        return r;
    };
    const auto jmicron = bytes({0xDF, 0x10, 0x00, 0x02, 0x00, 0xD0, 0x01, 0x01, 0x4F, 0xC2, 0xA0, 0xB0});
    const auto inquiry = bytes({0x12, 0, 0, 0, 36, 0});
    const auto writing = bytes({0xA1, 0x08, 0x0E, 0xD6, 0x01, 0x01, 0x4F, 0xC2, 0xA0, 0xB0, 0, 0});
    std::vector<std::uint8_t> out(80 + 512);
    std::uint32_t returned = 0;
    for (const auto& cdb : {jmicron, inquiry}) {
        const auto r = request(cdb, cdb == inquiry ? 36 : 512);
        ASSERT_TRUE(device.control(disk::ScsiPassThrough, disk::bytesOf(r), out, returned));
        EXPECT_EQ(fake.cdbs.back(), cdb);
        EXPECT_EQ(fake.seen.back().timeoutMs, 2000u);
        EXPECT_EQ(returned, 80u + (cdb == inquiry ? 36 : 512));
    }
    EXPECT_FALSE(device.control(disk::ScsiPassThrough, disk::bytesOf(request(writing, 512)), out, returned));
    EXPECT_EQ(device.lastError(), 1u);
    EXPECT_EQ(fake.seen.size(), 2u);

    // Status and sense come back; the data count is what was delivered.
    fake.answer.status = 2;
    fake.answer.sense = bytes({0x72, 0x05, 0x24, 0x00});
    fake.fillByte = 0;
    ASSERT_TRUE(device.control(disk::ScsiPassThrough, disk::bytesOf(request(jmicron, 512)), out, returned));
    disk::ScsiPassThroughRequest echoed{};
    ASSERT_TRUE(disk::readLayout<disk::ScsiPassThroughRequest>(out, echoed));
    EXPECT_EQ(echoed.scsiStatus, 2);
    EXPECT_EQ(echoed.senseInfoLength, 4);
    EXPECT_EQ(out[48], 0x72);
    EXPECT_EQ(out[50], 0x24);
}

TEST(NativeDisk, RecordsAndRefusals) {
    FakeDisk fake;
    auto device = fake.device(BlockInfo{500107862016ull, 512, false});
    std::uint32_t returned = 0;
    disk::GetVersionInParams version{};
    ASSERT_TRUE(device.control(disk::SmartGetVersion, {}, disk::bytesOf(version), returned));
    EXPECT_EQ(version.version, 1);
    EXPECT_EQ(version.revision, 1);
    EXPECT_EQ(version.capabilities, disk::CapAtaIdDeviceCommand | disk::CapSmartCommands);
    EXPECT_EQ(version.reserved2[1], 0u);  // no 3ware identifier

    disk::DiskGeometry geometry{};
    ASSERT_TRUE(device.control(disk::DiskGetDriveGeometry, {}, disk::bytesOf(geometry), returned));
    EXPECT_EQ(geometry.cylinders, 500107862016ll / 512 / (255 * 63));
    EXPECT_EQ(geometry.tracksPerCylinder, 255u);
    EXPECT_EQ(geometry.sectorsPerTrack, 63u);
    EXPECT_EQ(geometry.bytesPerSector, 512u);
    EXPECT_EQ(geometry.mediaType, disk::MediaFixed);

    std::vector<std::uint8_t> out(64);
    EXPECT_FALSE(device.control(disk::ScsiMiniport, out, out, returned));
    EXPECT_EQ(device.lastError(), 1u);
    EXPECT_TRUE(fake.seen.empty());

    // An ATA pass-through that the kernel refuses for want of rights.
    fake.answer.error = EPERM;
    std::vector<std::uint8_t> request(44 + 512);
    disk::AtaPassThroughEx header{};
    header.length = 40;
    header.ataFlags = disk::AtaFlagsDataIn;
    header.dataTransferLength = 512;
    header.dataBufferOffset = 44;
    header.currentTaskFile = {0, 1, 1, 0, 0, 0xA0, 0xEC, 0};
    disk::writeLayout(std::span(request), header);
    std::vector<std::uint8_t> answer(request.size());
    EXPECT_FALSE(device.control(disk::AtaPassThrough, request, answer, returned));
    EXPECT_EQ(device.lastError(), 5u);
    EXPECT_EQ(fake.seen.back().timeoutMs, 10000u);
}

TEST(NativeDisk, ErrnoMapsToSystemCodes) {
    const std::pair<int, std::uint32_t> cases[] = {{EACCES, 5}, {EPERM, 5},      {ENOENT, 2}, {ENXIO, 2},
                                                   {ENODEV, 2}, {ENOTTY, 1},     {EINVAL, 1}, {ETIMEDOUT, 121},
                                                   {EIO, 1117}, {EBUSY, 31}};
    for (auto [error, code] : cases) EXPECT_EQ(windowsErrorOf(error), code) << error;
}

TEST(NativeDisk, PhysicalDrivesAreTheSdDisksInKernelOrder) {
    testsupport::TempDir root;
    for (const char* name : {"sdb", "sdaa", "sda", "nvme0n1", "sr0", "loop0"})
        fs::create_directories(root.path() / "block" / name);
    EXPECT_EQ(scsiDiskNames(root.path().string()), (std::vector<std::string>{"sda", "sdb", "sdaa"}));
    EXPECT_EQ(physicalDriveNumber("\\\\.\\PhysicalDrive2"), 2);
    EXPECT_EQ(physicalDriveNumber("\\\\.\\PHYSICALDRIVE0"), 0);
    EXPECT_EQ(physicalDriveNumber("\\\\.\\PhysicalDrive"), std::nullopt);
    EXPECT_EQ(physicalDriveNumber("\\\\.\\Scsi0:"), std::nullopt);
    EXPECT_EQ(openNativeDisk("\\\\.\\PhysicalDrive3", root.path().string(), root.path().string()).error, 2u);
    EXPECT_EQ(openNativeDisk("\\\\.\\Scsi0:", root.path().string(), root.path().string()).error, 2u);
}

TEST(NativeDisk, SmokeReadsIdentifyFromTheFirstDisk) {
    const auto names = scsiDiskNames("/sys");
    if (names.empty()) GTEST_SKIP() << "no /dev/sd* disk on this machine";
    auto opened = openNativeDisk("\\\\.\\PhysicalDrive0");
    if (!opened.device) GTEST_SKIP() << "cannot open /dev/" << names[0] << " (system error " << opened.error << ")";
    std::vector<std::uint8_t> out(16 + 512);
    std::uint32_t returned = 0;
    const bool ok =
        opened.device->control(disk::SmartRcvDriveData, smartIn({0, 1, 1, 0, 0, 0xA0, 0xEC, 0}, 512), out, returned);
    if (!ok) GTEST_SKIP() << "/dev/" << names[0] << " answers no IDENTIFY here (system error "
                          << opened.device->lastError() << ")";
    EXPECT_EQ(returned, 528u);
    const bool anyData = std::any_of(out.begin() + 16, out.end(), [](std::uint8_t b) { return b != 0; });
    EXPECT_TRUE(anyData);
}

namespace {

std::vector<std::string>& remarks() {
    static std::vector<std::string> lines;
    return lines;
}

// A machine whose /sys and /dev are a temporary folder, its remarks collected.
class NativeDiskRoute : public ::testing::Test {
protected:
    NativeDiskRoute()
        : machine(NativeRoots{(root.path() / "dev").string(), (root.path() / "sys").string(),
                              (root.path() / "proc").string()},
                  [] { return ENOSYS; }) {
        remarks().clear();
        platform::setTraceSink([](const std::string& line) { remarks().push_back(line); });
    }
    ~NativeDiskRoute() override { platform::setTraceSink(nullptr); }
    void addBlock(const std::string& name) { fs::create_directories(root.path() / "sys/block" / name); }
    std::string node(const std::string& name) const { return (root.path() / "dev" / name).string(); }

    testsupport::TempDir root;
    NativePlatform machine;
};

}  // namespace

TEST(NativeDisk, PermissionPolicyAndMissingNodeAreThreeDifferentLines) {
    EXPECT_EQ(diskRefusalLine("/dev/sda", EACCES),
              "Disk /dev/sda refused: Permission denied (reading S.M.A.R.T. data needs root or the disk group)");
    EXPECT_EQ(diskRefusalLine("/dev/sdb", EPERM),
              "Disk /dev/sdb refused: Operation not permitted (the system's device policy forbids it)");
    EXPECT_EQ(diskRefusalLine("/dev/sdc", ENOENT),
              "Disk /dev/sdc refused: No such file or directory (the kernel lists the disk, but there is no device node)");
}

TEST_F(NativeDiskRoute, OnlyTheFirstRefusalOfARunIsNamed) {
    addBlock("sda");
    addBlock("sdb");
    for (const char* path : {"\\\\.\\PhysicalDrive0", "\\\\.\\PhysicalDrive1", "\\\\.\\PhysicalDrive0"}) {
        const auto opened = machine.openDevice(path);
        EXPECT_EQ(opened.device, nullptr);
        EXPECT_EQ(opened.error, 2u);
    }
    EXPECT_EQ(remarks(), (std::vector<std::string>{diskRefusalLine(node("sda"), ENOENT)}));
}

TEST_F(NativeDiskRoute, ARunWithoutSdDisksSaysOnceWhatItSkipped) {
    addBlock("vda");
    addBlock("nvme0n1");
    addBlock("loop0");
    for (int drive = 0; drive < 4; ++drive)
        EXPECT_EQ(machine.openDevice("\\\\.\\PhysicalDrive" + std::to_string(drive)).error, 2u);
    machine.openDevice("\\\\.\\PhysicalDrive0");
    EXPECT_EQ(remarks(), (std::vector<std::string>{"No disk reachable: no /dev/sd* disk; skipped nvme0n1 (NVMe without "
                                                   "pass-through), vda (virtio, no pass-through)"}));
}
