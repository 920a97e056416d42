// The native HECI device over a folder that stands for /sys and /dev: a FIFO
// at dev/mei0 takes the place of the kernel's character device, so messages
// go round through it and the connect request meets a device that knows no
// client, as on a firmware without one.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/heci.h"
#include "platform/linux/meidevice.h"
#include "platform/linux/nativeplatform.h"
#include "support/testmachine.h"

namespace {

using namespace platform::native;
using Status = platform::Device::TransferStatus;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

class MeiDevice : public ::testing::Test {
protected:
    MeiDevice() {
        fs::create_directories(root.path() / "dev");
        roots.dev = (root.path() / "dev").string();
        roots.sys = (root.path() / "sys").string();
    }
    void addInterface(const std::string& name, bool withNode) {
        fs::create_directories(fs::path(roots.sys) / "class/mei" / name);
        if (withNode) {
            ASSERT_EQ(::mkfifo((roots.dev + "/" + name).c_str(), 0600), 0);
        }
    }
    std::unique_ptr<platform::Device> open(NativePlatform& machine, const std::string& name) {
        auto opened = machine.openDevice(roots.dev + "/" + name);
        EXPECT_EQ(opened.error, 0u);
        return std::move(opened.device);
    }

    testsupport::TempDir root;
    NativeRoots roots;
};

TEST_F(MeiDevice, InterfacesComeFromSysfsInNameOrder) {
    NativePlatform machine(roots, [] { return -1; });
    EXPECT_EQ(machine.listInterfaces(platform::heci::InterfaceGuid)->size(), 0u);
    addInterface("mei1", false);
    addInterface("mei0", true);
    const auto records = machine.listInterfaces(platform::heci::InterfaceGuid);
    ASSERT_EQ(records->size(), 2u);
    EXPECT_EQ((*records)[0].interfaces.at(0).path, roots.dev + "/mei0");
    EXPECT_TRUE((*records)[0].interfaces.at(0).detailReadable);
    EXPECT_EQ((*records)[1].interfaces.at(0).path, roots.dev + "/mei1");
    // Other interface classes have no interfaces here.
    EXPECT_TRUE(machine.listInterfaces(platform::Guid{})->empty());
    // Only /dev/meiN names the device; a missing node answers error 2.
    EXPECT_EQ(machine.openDevice(roots.dev + "/mei1").error, platform::ErrorFileNotFound);
    EXPECT_FALSE(isMeiPath(roots.dev + "/mei", roots.dev));
    EXPECT_FALSE(isMeiPath(roots.dev + "/mei0x", roots.dev));
    EXPECT_FALSE(isMeiPath("/elsewhere/mei0", roots.dev));
}

TEST_F(MeiDevice, AnswersVersionSixAndRefusesWhatItCannotDo) {
    addInterface("mei0", true);
    NativePlatform machine(roots, [] { return -1; });
    auto device = open(machine, "mei0");
    ASSERT_NE(device, nullptr);
    Bytes out(8, 0xEE);
    std::uint32_t returned = 0;
    ASSERT_TRUE(device->control(platform::heci::VersionCode, {}, out, returned));
    EXPECT_EQ(returned, 5u);
    EXPECT_EQ(out, (Bytes{6, 0, 0, 0, 0, 0xEE, 0xEE, 0xEE}));

    const Bytes guid(16, 0x11);
    EXPECT_FALSE(device->control(platform::heci::ConnectCode, guid, out, returned));  // no client behind a FIFO
    EXPECT_EQ(device->lastError(), platform::ErrorFileNotFound);
    EXPECT_EQ(returned, 0u);
    EXPECT_FALSE(device->control(platform::heci::ConnectCode, Bytes(15), out, returned));
    EXPECT_EQ(device->lastError(), platform::ErrorInvalidParameter);
    EXPECT_FALSE(device->control(0x8000E008, {}, out, returned));
    EXPECT_EQ(device->lastError(), platform::ErrorInvalidParameter);
}

TEST_F(MeiDevice, MessagesGoThroughAndAnEmptyDeviceTimesOut) {
    addInterface("mei0", true);
    NativePlatform machine(roots, [] { return -1; });
    auto device = open(machine, "mei0");
    ASSERT_NE(device, nullptr);
    Bytes reply(16);
    // Nothing to read: with no time to wait the read is over at once.
    auto read = device->read(reply, 0);
    EXPECT_EQ(read.status, Status::TimedOut);
    EXPECT_EQ(read.count, 0u);

    const Bytes request{0x12, 0, 0, 61, 0};
    const auto written = device->write(request, 3000);
    EXPECT_EQ(written.status, Status::Done);
    EXPECT_EQ(written.count, 5u);
    read = device->read(reply, 2000);
    EXPECT_EQ(read.status, Status::Done);
    ASSERT_EQ(read.count, 5u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 5), request);
}

}  // namespace
