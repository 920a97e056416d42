// Opening hardware access on the native backend, on a stand-in system in a
// temporary folder (port instructions refused): the capability lines say what
// the routes really give.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "core/cvlogsinks.h"
#include "core/cvmonitor.h"
#include "coretest.h"
#include "hw/cvdriver.h"
#include "platform/firmwaretables.h"
#include "platform/linux/nativeplatform.h"

namespace {

namespace fs = std::filesystem;

class NativeHardwareAccess : public coretest::CoreTest {
protected:
    NativeHardwareAccess()
        : native_(platform::native::NativeRoots{(root_.path() / "dev").string(), (root_.path() / "sys").string(),
                                                (root_.path() / "proc").string()},
                  [] { return ENOSYS; }),
          scope_(native_) {
        monitor.Log.SetBoxes(&boxes);
        put("sys/bus/pci/devices/0000:00:00.0/config", std::string(256, '\0'));
        const auto facp = platform::MakeAcpiTable("FACP", 116).bytes;
        put("sys/firmware/acpi/tables/FACP", std::string(facp.begin(), facp.end()));
    }
    ~NativeHardwareAccess() override { IOPort.reset(); }

    void put(const std::string& path, const std::string& content) const {
        fs::create_directories((root_.path() / path).parent_path());
        testsupport::writeFile((root_.path() / path).string(), content);
    }
    bool informed(const std::string& line) const {
        return std::count(boxes.Info.begin(), boxes.Info.end(), line) == 1;
    }

    testsupport::TempDir root_;
    platform::native::NativePlatform native_;
    platform::ScopedPlatform scope_;
    TLogBoxRecorder boxes;
    TMonitor monitor;
};

TEST_F(NativeHardwareAccess, WithoutDevMemTheCapabilityLinesSayReadButNotMap) {
    ASSERT_TRUE(monitor.IO.OpenIO());
    EXPECT_TRUE(informed("  -> Can read memory"));
    EXPECT_TRUE(informed("  -> Can't map memory"));
    EXPECT_TRUE(informed("  -> Can't read MSR"));
    const std::string trace = testsupport::readFile(file("debug.nfo"));
    EXPECT_NE(trace.find(" - physical memory reads come from the firmware tables only\r\n"), std::string::npos);
}

}  // namespace
