// The native driver device on a stand-in system: a temporary folder holds the
// files of /dev, /sys and /proc, and port instructions are always refused, so
// every route and refusal runs on any machine and no real port is touched.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/driverctl.h"
#include "platform/driverdevice.h"
#include "platform/linux/ioports.h"
#include "platform/linux/nativeclaims.h"
#include "platform/linux/nativedriver.h"
#include "platform/linux/nativepcireveal.h"
#include "platform/linux/sysfspci.h"
#include "support/testmachine.h"

using namespace platform::native;
namespace drv = platform::drv;
namespace fs = std::filesystem;

namespace {

std::string bytesAt(const fs::path& file, std::size_t offset, std::size_t count) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::string out(count, '\0');
    in.read(out.data(), static_cast<std::streamsize>(count));
    return out;
}

// A config space whose dword at offset n is n * 01010101h + the function's tag.
std::string configSpace(std::size_t size, std::uint8_t tag) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i & ~3u) + tag);
    return bytes;
}

class NativeDriverTest : public ::testing::Test {
protected:
    NativeDriverTest() {
        options.roots = {(root.path() / "dev").string(), (root.path() / "sys").string(),
                         (root.path() / "proc").string()};
        options.requestPortRights = [] { return ENOSYS; };
        options.trace = [this](const std::string& line) { lines.push_back(line); };
    }

    fs::path dev(const std::string& name) const { return root.path() / "dev" / name; }
    fs::path sys(const std::string& name) const { return root.path() / "sys" / name; }
    std::string devText(const std::string& name) const { return dev(name).string(); }

    void addPciFunction(const std::string& name, const std::string& config) {
        testsupport::writeFile(sys("bus/pci/devices/" + name + "/config"), config);
    }
    void addDevPort() { testsupport::writeFile(dev("port"), std::string(0x10000, '\0')); }

    std::unique_ptr<platform::Device> open() { return openNativeDriver(options); }

    static std::uint32_t readPort(platform::Device& device, std::uint16_t port, int width) {
        const std::uint32_t code = width == 1 ? drv::ReadPortByte : width == 2 ? drv::ReadPortWord : drv::ReadPortDWord;
        drv::PortRequest in{port, 0};
        drv::PortAnswer out{0xDEADBEEF, 0};
        std::uint32_t returned = 0;
        if (!device.control(code, drv::bytesOf(in), drv::bytesOf(out), returned)) return 0xFFFFFFFFu;
        return out.value;
    }
    static bool writePort(platform::Device& device, std::uint16_t port, int width, std::uint32_t value) {
        const std::uint32_t code =
            width == 1 ? drv::WritePortByte : width == 2 ? drv::WritePortWord : drv::WritePortDWord;
        drv::PortRequest in{port, value};
        drv::PortAnswer out{};
        std::uint32_t returned = 0;
        return device.control(code, drv::bytesOf(in), drv::bytesOf(out), returned);
    }
    static platform::DriverDevice::Routes routesOf(platform::Device& device) {
        return dynamic_cast<platform::DriverDevice&>(device).routes();
    }
    bool traced(const std::string& line) const { return std::count(lines.begin(), lines.end(), line) == 1; }

    testsupport::TempDir root;
    NativeDriverOptions options;
    std::vector<std::string> lines;
};

}  // namespace

TEST_F(NativeDriverTest, WithNothingGrantedItDoesNotOpenAndSaysWhyForEachRoute) {
    options.requestPortRights = [] { return EPERM; };
    testsupport::writeFile(sys("kernel/security/lockdown"), "none [integrity] confidentiality\n");
    EXPECT_EQ(open(), nullptr);
    EXPECT_TRUE(traced("iopl: Operation not permitted"));
    EXPECT_TRUE(traced(devText("port") + ": No such file or directory"));
    EXPECT_TRUE(traced(sys("bus/pci/devices").string() + ": No such file or directory"));
    EXPECT_TRUE(traced(devText("mem") + ": No such file or directory"));
    EXPECT_TRUE(traced(devText("cpu/0/msr") + ": No such file or directory (the msr kernel module is not loaded)"));
    EXPECT_TRUE(traced("kernel lockdown refuses raw port and memory access"));
    EXPECT_EQ(lines.size(), 6u);
}

TEST_F(NativeDriverTest, SysfsAloneOpensItAndServesPciConfigurationCycles) {
    addPciFunction("0000:00:00.0", configSpace(256, 0x10));
    addPciFunction("0000:00:1f.3", configSpace(256, 0x20));
    auto driver = open();
    ASSERT_NE(driver, nullptr);
    EXPECT_TRUE(traced("iopl: Function not implemented"));
    EXPECT_TRUE(traced(root.path().string() + "/proc/ioports: No such file or directory (no port range counts as "
                                              "held by a kernel driver)"));
    EXPECT_FALSE(routesOf(*driver).memory);
    EXPECT_FALSE(routesOf(*driver).msrs);

    // Mechanism 1 as the PCI unit runs it: save 0CF8h, select, access, restore.
    ASSERT_TRUE(writePort(*driver, 0xCF8, 4, 0x12345678));
    EXPECT_EQ(readPort(*driver, 0xCF8, 4), 0x12345678u);
    writePort(*driver, 0xCF8, 4, 0x8000FB40);  // 00:1F.3, register 40h
    EXPECT_EQ(readPort(*driver, 0xCFC, 4), 0x60606060u);
    EXPECT_EQ(readPort(*driver, 0xCFE, 2), 0x6060u);
    EXPECT_TRUE(writePort(*driver, 0xCFD, 1, 0xA5));
    EXPECT_EQ(readPort(*driver, 0xCFC, 4), 0x6060A560u);
    EXPECT_EQ(bytesAt(sys("bus/pci/devices/0000:00:1f.3/config"), 0x40, 4), "\x60\xA5\x60\x60");
    writePort(*driver, 0xCF8, 4, 0x80000000);  // 00:00.0, register 0
    EXPECT_EQ(readPort(*driver, 0xCFC, 4), 0x10101010u);
    writePort(*driver, 0xCF8, 4, 0x80000800);  // 00:01.0 is not there
    EXPECT_EQ(readPort(*driver, 0xCFC, 4), 0xFFFFFFFFu);
    EXPECT_FALSE(writePort(*driver, 0xCFC, 4, 0));
    writePort(*driver, 0xCF8, 4, 0x0000FB40);  // enable bit clear: no cycle
    EXPECT_EQ(readPort(*driver, 0xCFC, 4), 0xFFFFFFFFu);
    writePort(*driver, 0xCF8, 4, 0x12345678);
    EXPECT_EQ(readPort(*driver, 0xCF8, 4), 0x12345678u);
    // Other ports have no route.
    EXPECT_EQ(readPort(*driver, 0x2E, 1), 0xFFFFFFFFu);
}

TEST(SysfsPciConfig, ShortFilesAndReadOnlyFilesAnswerAsTheBusDoes) {
    testsupport::TempDir root;
    const fs::path config = root.path() / "0000:02:03.1/config";
    testsupport::writeFile(config, configSpace(64, 0));  // what the kernel shows without root
    SysfsPciConfig pci(root.path().string());
    pci.write(0xCF8, 4, 0x80020000 | 3 << 11 | 1 << 8 | 0x3C);
    EXPECT_EQ(pci.read(0xCFC, 4), 0x3C3C3C3Cu);
    EXPECT_EQ(pci.read(0xCFF, 1), 0x3Cu);
    pci.write(0xCF8, 4, 0x80020000 | 3 << 11 | 1 << 8 | 0x40);
    EXPECT_EQ(pci.read(0xCFC, 4), 0xFFFFFFFFu);
    EXPECT_EQ(pci.read(0xCFC, 1), 0xFFu);
    // Byte accesses to the address register's ports are not the address register.
    EXPECT_EQ(pci.read(0xCF8, 1), 0xFFu);
    EXPECT_FALSE(pci.write(0xCF9, 1, 6));

}

TEST(SysfsPciConfig, WritesToAFileThatOpenedReadOnlyGoNowhere) {
    if (::geteuid() == 0) GTEST_SKIP() << "root opens a read-only file for writing anyway";
    testsupport::TempDir root;
    const fs::path config = root.path() / "0000:00:00.0/config";
    testsupport::writeFile(config, configSpace(64, 0));
    fs::permissions(config, fs::perms::owner_read);
    SysfsPciConfig pci(root.path().string());
    pci.write(0xCF8, 4, 0x80000000);
    EXPECT_FALSE(pci.write(0xCFC, 1, 0x55));
    EXPECT_EQ(pci.read(0xCFC, 1), 0u);
}

TEST_F(NativeDriverTest, DevPortAloneServesPortsByteByByteAndLeavesKernelRangesAlone) {
    addDevPort();
    testsupport::writeFile(root.path() / "proc/ioports",
        "0000-0cf7 : PCI Bus 0000:00\n"
        "  0290-029f : pnp 00:07\n"
        "    0295-0296 : nct6775\n"
        "0cf8-0cff : PCI conf1\n");
    auto driver = open();
    ASSERT_NE(driver, nullptr);
    EXPECT_TRUE(traced(sys("bus/pci/devices").string() + ": No such file or directory"));

    EXPECT_TRUE(writePort(*driver, 0x2E, 2, 0x8765));
    EXPECT_EQ(bytesAt(dev("port"), 0x2E, 2), "\x65\x87");
    EXPECT_EQ(readPort(*driver, 0x2E, 1), 0x65u);
    EXPECT_EQ(readPort(*driver, 0x2D, 4), 0x00876500u);
    // The reservation around the monitor is nobody's; the monitor's two ports are the driver's.
    EXPECT_TRUE(writePort(*driver, 0x290, 1, 0x11));
    EXPECT_EQ(readPort(*driver, 0x290, 1), 0x11u);
    EXPECT_FALSE(writePort(*driver, 0x295, 1, 0x4E));
    EXPECT_EQ(readPort(*driver, 0x295, 1), 0xFFu);
    EXPECT_EQ(readPort(*driver, 0x293, 4), 0xFFFFFFFFu);  // reaches into the range
    EXPECT_EQ(bytesAt(dev("port"), 0x295, 1), std::string(1, '\0'));
    EXPECT_TRUE(traced("Ports $0295-$0296 held by kernel driver <nct6775>: left alone"));
    // Without the sysfs route the kernel's own configuration ports stay its own.
    EXPECT_FALSE(writePort(*driver, 0xCF8, 4, 0x80000000));
    EXPECT_EQ(readPort(*driver, 0xCFC, 4), 0xFFFFFFFFu);
    EXPECT_EQ(bytesAt(dev("port"), 0xCF8, 4), std::string(4, '\0'));
    EXPECT_TRUE(traced("Ports $0CF8-$0CFF held by kernel driver <PCI conf1>: left alone"));
}

TEST_F(NativeDriverTest, MemoryAndMsrsComeFromTheirDeviceFiles) {
    std::string memory(0x3000, '\0');
    memory.replace(0x1234, 4, "_SM_");
    testsupport::writeFile(dev("mem"), memory);
    // The caller may run on any processor.
    const long cpus = ::sysconf(_SC_NPROCESSORS_CONF);
    for (long cpu = 0; cpu < cpus; ++cpu) {
        std::string msrs(0x100, '\0');
        msrs.replace(0x1B, 8, std::string("\x00\x09\xE0\xFE\x00\x00\x00\x00", 8));
        testsupport::writeFile(dev("cpu/" + std::to_string(cpu) + "/msr"), msrs);
    }
    auto driver = open();
    ASSERT_NE(driver, nullptr);
    EXPECT_TRUE(routesOf(*driver).memory);
    EXPECT_TRUE(routesOf(*driver).mapping);
    EXPECT_TRUE(routesOf(*driver).msrs);

    char buffer[4] = {};
    drv::MemoryReadRequest read{0x1234, 4, reinterpret_cast<std::uintptr_t>(buffer)};
    drv::MemoryReadAnswer unused{};
    std::uint32_t returned = 0;
    ASSERT_TRUE(driver->control(drv::ReadPhysicalMemory, drv::bytesOf(read), drv::bytesOf(unused), returned));
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(std::string(buffer, 4), "_SM_");
    drv::MemoryReadRequest beyond{0x2FFE, 4, reinterpret_cast<std::uintptr_t>(buffer)};
    EXPECT_FALSE(driver->control(drv::ReadPhysicalMemory, drv::bytesOf(beyond), drv::bytesOf(unused), returned));

    drv::MsrRequest msr{0x1B, 0};
    drv::MsrAnswer answer{};
    ASSERT_TRUE(driver->control(drv::ReadMsr, drv::bytesOf(msr), drv::bytesOf(answer), returned));
    EXPECT_EQ(answer.low, 0xFEE00900u);
    EXPECT_EQ(answer.high, 0u);
    drv::MsrRequest missing{0x200, 0};
    EXPECT_FALSE(driver->control(drv::ReadMsr, drv::bytesOf(missing), drv::bytesOf(answer), returned));

    drv::MapRequest map{0x1230, 8, 0};
    drv::MapAnswer mapped{};
    ASSERT_TRUE(driver->control(drv::MapPhysicalMemory, drv::bytesOf(map), drv::bytesOf(mapped), returned));
    drv::MappedByteRequest byte{mapped.mapped + 5, 0};
    drv::MappedByteAnswer value{};
    ASSERT_TRUE(driver->control(drv::ReadMappedByte, drv::bytesOf(byte), drv::bytesOf(value), returned));
    EXPECT_EQ(value.value, std::uint32_t{'S'});
}

TEST_F(NativeDriverTest, AfterAnUnhideWithoutRescanAFunctionSysfsLacksIsReachedOnThePorts) {
    addPciFunction("0000:00:1f.0", configSpace(256, 0x10));
    std::string ports(0x10000, '\0');
    ports.replace(0xCFC, 4, "\x86\x80\xD3\x24");  // what the unhidden function answers
    testsupport::writeFile(dev("port"), ports);
    auto sightings = std::make_shared<PciSightings>();
    options.pciSightings = sightings;
    NativePciReveal reveal(options.roots, options.requestPortRights, writePciRescan, sightings);
    auto driver = open();
    ASSERT_NE(driver, nullptr);
    writePort(*driver, 0xCF8, 4, 0x8000FB00);  // 00:1F.3, not in sysfs
    EXPECT_EQ(readPort(*driver, 0xCFC, 4), 0xFFFFFFFFu);

    std::string why;
    ASSERT_TRUE(reveal.canReveal(why));
    EXPECT_EQ(reveal.reveal(), "The unhidden function is reached through configuration mechanism 1 on the ports");
    EXPECT_EQ(readPort(*driver, 0xCFC, 4), 0x24D38086u);
    EXPECT_EQ(bytesAt(dev("port"), 0xCF8, 4), std::string("\x00\xFB\x00\x80", 4));
    writePort(*driver, 0xCF8, 4, 0x8000F800);  // 00:1F.0 stays with sysfs
    EXPECT_EQ(readPort(*driver, 0xCFC, 4), 0x10101010u);
}

TEST_F(NativeDriverTest, ARescanMakesEveryViewLookAgainForWhatItFoundMissing) {
    testsupport::writeFile(sys("bus/pci/rescan"), "");
    auto sightings = std::make_shared<PciSightings>();
    options.pciSightings = sightings;
    std::vector<std::string> written;
    NativePciReveal reveal(options.roots, options.requestPortRights, [&](const std::string& path) {
        written.push_back(path);
        addPciFunction("0000:00:1f.3", configSpace(256, 0x20));
        return 0;
    }, sightings);
    addPciFunction("0000:00:00.0", configSpace(256, 0x10));
    auto driver = open();
    writePort(*driver, 0xCF8, 4, 0x8000FB00);
    EXPECT_EQ(readPort(*driver, 0xCFC, 4), 0xFFFFFFFFu);
    std::string why;
    ASSERT_TRUE(reveal.canReveal(why));
    EXPECT_EQ(reveal.reveal(), "PCI bus rescanned: the unhidden function is reached through sysfs");
    EXPECT_EQ(written, (std::vector<std::string>{sys("bus/pci/rescan").string()}));
    EXPECT_EQ(readPort(*driver, 0xCFC, 4), 0x20202020u);
    EXPECT_FALSE(sightings->missesThroughPorts);
}

TEST(IoPorts, OnlyRangesNamedAfterADriverCount) {
    const auto claims = parseIoPorts(
        "0000-0cf7 : PCI Bus 0000:00\n"
        "  0070-0071 : rtc_cmos\n"
        "  0290-029f : pnp 00:07\n"
        "    0295-0296 : nct6775\n"
        "  0800-087f : reserved\n"
        "  f040-f05f : 0000:00:1f.4\n"
        "    f040-f05f : i801_smbus\n"
        "0000-0000 : serial\n"        // without root every range reads zero
        "zz-0010 : broken\n"
        "0020-0010 : backwards\n"
        "0030-0031\n"
        "0040-0043 : timer0");
    ASSERT_EQ(claims.size(), 4u);
    EXPECT_EQ(claims[0].owner, "rtc_cmos");
    EXPECT_EQ(claims[1].first, 0x295);
    EXPECT_EQ(claims[1].last, 0x296);
    EXPECT_EQ(claims[2].owner, "i801_smbus");
    EXPECT_EQ(claims[2].last, 0xF05F);
    EXPECT_EQ(claims[3].owner, "timer0");
}

TEST(NativeKernelClaims, PortsFromIoPortsAndPciFunctionsByTheirBoundDriver) {
    testsupport::TempDir root;
    const NativeRoots roots{(root.path() / "dev").string(), (root.path() / "sys").string(),
                            (root.path() / "proc").string()};
    std::vector<std::string> lines;
    NativeKernelClaims claims(roots, [&lines](const std::string& line) { lines.push_back(line); });
    EXPECT_EQ(claims.portOwner(0x290, 0x29F), std::nullopt);
    EXPECT_EQ(lines.size(), 1u);  // the missing file

    testsupport::writeFile(root.path() / "proc/ioports", "0290-029f : pnp 00:07\n  0295-0296 : it87\n");
    EXPECT_EQ(claims.portOwner(0x290, 0x294), std::nullopt);
    EXPECT_EQ(claims.portOwner(0x290, 0x295), "it87");
    EXPECT_EQ(claims.portOwner(0x296, 0x296), "it87");

    const fs::path function = root.path() / "sys/bus/pci/devices/0000:00:1f.3";
    fs::create_directories(function);
    fs::create_directories(root.path() / "sys/bus/pci/drivers/i801_smbus");
    EXPECT_EQ(claims.pciOwner(0, 31, 3), std::nullopt);
    fs::create_directory_symlink(root.path() / "sys/bus/pci/drivers/i801_smbus", function / "driver");
    EXPECT_EQ(claims.pciOwner(0, 31, 3), "i801_smbus");
    EXPECT_EQ(claims.pciOwner(0, 31, 4), std::nullopt);
}
