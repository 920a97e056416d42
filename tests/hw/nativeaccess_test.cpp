// The driver interface and the PCI unit on the native backend, on a stand-in
// system in a temporary folder (port instructions refused, so no real port is
// touched), and read-only on the machine itself where it has PCI in sysfs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <filesystem>
#include <fstream>

#include "base/cvtrace.h"
#include "hw/cvdriver.h"
#include "hw/cvcpuaffinity.h"
#include "hw/cvlink.h"
#include "hw/cvlinkscan.h"
#include "hw/cvpci.h"
#include "platform/firmwaretables.h"
#include "platform/linux/nativeplatform.h"
#include "support/testmachine.h"

namespace fs = std::filesystem;
using platform::native::NativePlatform;
using platform::native::NativeRoots;

namespace {

std::string configSpace(std::uint16_t vendor, std::uint16_t device) {
    std::string bytes(256, '\0');
    bytes[0] = static_cast<char>(vendor), bytes[1] = static_cast<char>(vendor >> 8);
    bytes[2] = static_cast<char>(device), bytes[3] = static_cast<char>(device >> 8);
    return bytes;
}

class NativeAccessTest : public ::testing::Test {
protected:
    NativeAccessTest()
        : machine_(NativeRoots{(root_.path() / "dev").string(), (root_.path() / "sys").string(),
                               (root_.path() / "proc").string()},
                   [] { return ENOSYS; }, [this](const std::string& path) { return rescan(path); }),
          scope_(machine_) {
        DriverStartFlags = {};
        IOPort.reset();
        ProgramDir = trace_.path().string() + "/";
    }
    ~NativeAccessTest() override {
        IOPort.reset();
        Links().clear();
    }

    // The kernel's part of a rescan: what it finds then, as sysfs shows it.
    std::function<void()> kernelFinds;
    int rescan(const std::string& path) {
        ++rescans;
        if (kernelFinds) kernelFinds();
        return platform::native::writePciRescan(path);
    }
    int rescans = 0;

    // The PCI scan of detection, its lines collected.
    std::vector<std::string> scanLinks() {
        if (!IOPort) IOPort = std::make_unique<TIOPort>();
        std::vector<std::string> log;
        TLinkScanContext ctx;
        ctx.LogMessage = [&log](const std::string& msg) { log.push_back(msg); };
        ctx.LogMessageEx = [&log](const std::string& msg, bool) { log.push_back(msg); };
        DetectLinks(ctx);
        return log;
    }
    static bool has(const std::vector<std::string>& log, const std::string& line) {
        return std::count(log.begin(), log.end(), line) == 1;
    }
    static bool hasSMBusLinkAt(std::uint32_t base) {
        return std::any_of(Links().begin(), Links().end(), [base](const auto& link) {
            return link->LinkKind() == LinkKinds::SMBus && link->BaseAddress() == base;
        });
    }

    void addPciFunction(const std::string& name, const std::string& config) {
        const fs::path dir = root_.path() / "sys/bus/pci/devices" / name;
        fs::create_directories(dir);
        testsupport::writeFile((dir / "config").string(), config);
    }
    fs::path sysfs(const std::string& name) const { return root_.path() / "sys" / name; }
    void put(const std::string& path, const std::string& content) const {
        fs::create_directories((root_.path() / path).parent_path());
        testsupport::writeFile((root_.path() / path).string(), content);
    }
    void addAcpiTable(const std::string& signature) const {
        const auto bytes = platform::MakeAcpiTable(signature, 64).bytes;
        put("sys/firmware/acpi/tables/" + signature, std::string(bytes.begin(), bytes.end()));
    }
    std::size_t tracedCount(const std::string& text) const {
        const std::string all = testsupport::readFile(traceFile());
        std::size_t count = 0;
        for (auto at = all.find(" - " + text + "\r\n"); at != std::string::npos; at = all.find(" - " + text + "\r\n", at + 1))
            ++count;
        return count;
    }
    std::string traceFile() const { return trace_.file(DebugLogName); }
    bool traced(const std::string& text) const {
        return testsupport::readFile(traceFile()).find(" - " + text + "\r\n") != std::string::npos;
    }

    testsupport::TempDir root_;

private:
    testsupport::TempDir trace_;
    NativePlatform machine_;
    platform::ScopedPlatform scope_;
};

}  // namespace

TEST_F(NativeAccessTest, WithoutAnyRouteTheDriverIsNotInstalledAndTheTraceSaysWhy) {
    EXPECT_THROW(
        {
            try {
                TIOPort port;
            } catch (const EPortError& e) {
                EXPECT_STREQ(e.what(), "CALDAVOR Driver Not Installed");
                throw;
            }
        },
        EPortError);
    EXPECT_TRUE(traced("iopl: Function not implemented"));
    EXPECT_TRUE(traced(sysfs("bus/pci/devices").string() + ": No such file or directory"));
    // Ports are opened again per processor and after each resume: the reasons are said once.
    const std::string once = testsupport::readFile(traceFile());
    EXPECT_THROW(TIOPort(), EPortError);
    EXPECT_EQ(testsupport::readFile(traceFile()), once);
}

TEST_F(NativeAccessTest, PortsRefusedButSysfsReadableGivesPciThroughThePciUnit) {
    addPciFunction("0000:00:00.0", configSpace(0x8086, 0x0D57));
    addPciFunction("0000:00:1f.3", configSpace(0x8086, 0x2930));
    IOPort = std::make_unique<TIOPort>();
    EXPECT_TRUE(IOPort->DriverOpen);
    EXPECT_FALSE(IOPort->CanReadMemory);
    EXPECT_FALSE(IOPort->CanReadMSR);
    EXPECT_FALSE(IOPort->CanMapMemory);
    EXPECT_FALSE(IOPort->CanQueryThermal);

    // Someone else's configuration cycle left an address behind.
    IOPort->WritePortDWord(0xCF8, 0x80001234);
    EXPECT_EQ(ReadPCIConfigDWord(0, 31, 3, 0), 0x29308086u);
    EXPECT_EQ(ReadPCIConfigWord(0, 0, 0, 2), 0x0D57u);
    EXPECT_EQ(ReadPCIConfigDWord(0, 31, 4, 0), 0xFFFFFFFFu);
    WritePCIConfigByte(0, 31, 3, 0x41, 0x5A);
    EXPECT_EQ(ReadPCIConfigDWord(0, 31, 3, 0x40), 0x00005A00u);
    EXPECT_EQ(testsupport::readFile(sysfs("bus/pci/devices/0000:00:1f.3/config").string()).substr(0x40, 2),
              std::string("\0\x5A", 2));
    EXPECT_EQ(IOPort->ReadPortDWord(0xCF8), 0x80001234u);

    TPCILocation location;
    ASSERT_TRUE(FindPCIDevice(0x8086, 0x2930, location));
    EXPECT_EQ(location.Device, 31);
    EXPECT_EQ(location.Function, 3);
}

TEST_F(NativeAccessTest, WithoutDevMemTheFirmwareTablesAreReadButNothingIsMapped) {
    addPciFunction("0000:00:00.0", configSpace(0x8086, 0x0D57));
    addAcpiTable("FACP");
    IOPort = std::make_unique<TIOPort>();
    EXPECT_TRUE(IOPort->CanReadMemory);
    EXPECT_FALSE(IOPort->CanMapMemory);
    EXPECT_EQ(IOPort->MapPhysicalMemory(0xF0000, 16), nullptr);
    std::uint8_t anchor[8] = {};
    EXPECT_EQ(IOPort->ReadPhysicalMemory(0xF0000, anchor, sizeof anchor), sizeof anchor);
    EXPECT_EQ(std::string(anchor, anchor + 8), "RSD PTR ");
    EXPECT_TRUE(traced(root_.path().string() + "/dev/mem: No such file or directory"));
    EXPECT_EQ(tracedCount("physical memory reads come from the firmware tables only"), 1u);
}

TEST_F(NativeAccessTest, WithoutAnMsrDeviceTheMultiprocessorTestSaysSoOnceAndTracesNoValue) {
    if (GetProcessorCount() < 2) GTEST_SKIP() << "the test runs only on more than one processor";
    addPciFunction("0000:00:00.0", configSpace(0x8086, 0x0D57));
    RunSMPTestOnEachCPU();
    RunSMPTestOnEachCPU();
    EXPECT_EQ(tracedCount("CPU#0.MSR[$1B] not read: the driver cannot read MSRs"), 1u);
    EXPECT_EQ(testsupport::readFile(traceFile()).find("MSR[$1B]="), std::string::npos);
}

// ICH5: the LPC bridge hides the SMBus function through FUNC_DIS (F2h bit 3).
std::string ich5Bridge() {
    std::string config = configSpace(0x8086, 0x24D0);
    config[0xF2] = 0x08;
    return config;
}
std::string ich5SMBus() {
    std::string config = configSpace(0x8086, 0x24D3);
    config[0x04] = 0x01, config[0x20] = 0x01, config[0x21] = 0x05, config[0x40] = 0x01;  // host at 0500h, enabled
    return config;
}

TEST_F(NativeAccessTest, AnSMBusFunctionTheKernelFindsOnlyAfterTheUnhideIsLinked) {
    addPciFunction("0000:00:1f.0", ich5Bridge());
    put("sys/bus/pci/rescan", "");
    kernelFinds = [this] { addPciFunction("0000:00:1f.3", ich5SMBus()); };
    IOPort = std::make_unique<TIOPort>();
    ASSERT_EQ(ReadPCIConfigDWord(0, 31, 3, 0), 0xFFFFFFFFu) << "a miss the bus view remembers";
    const auto log = scanLinks();
    EXPECT_EQ(rescans, 1);
    EXPECT_TRUE(has(log, "FUNC_DIS(2)=$0000"));
    EXPECT_TRUE(has(log, "PCI bus rescanned: the unhidden function is reached through sysfs"));
    EXPECT_TRUE(has(log, "SMBus successfully enabled"));
    EXPECT_TRUE(hasSMBusLinkAt(0x500));
    EXPECT_FALSE(has(log, "WARNING : NO SUPPORTED SOUTHBRIDGE DETECTED"));
}

TEST_F(NativeAccessTest, WithoutRescanOrPortsTheChipsetIsLeftAsItWas) {
    addPciFunction("0000:00:1f.0", ich5Bridge());
    const auto log = scanLinks();
    EXPECT_EQ(rescans, 0);
    EXPECT_EQ(testsupport::readFile(sysfs("bus/pci/devices/0000:00:1f.0/config").string())[0xF2], '\x08');
    const std::string refusal = "Hidden SMBus function left hidden, nothing would reach it: " +
                                sysfs("bus/pci/rescan").string() + ": No such file or directory; iopl: Function not "
                                "implemented; " + root_.path().string() + "/dev/port: No such file or directory";
    EXPECT_TRUE(has(log, refusal));
    EXPECT_FALSE(std::any_of(log.begin(), log.end(), [](const auto& l) { return l.starts_with("FUNC_DIS(2)"); }));
    EXPECT_FALSE(has(log, "SMBus successfully enabled"));
}

TEST(NativeMachine, APciScanFindsTheMachinesOwnFunctions) {
    // Only reads: configuration cycles go to sysfs, never to the ports.
    const fs::path devices = "/sys/bus/pci/devices";
    std::error_code ec;
    fs::path first;
    for (const auto& entry : fs::directory_iterator(devices, ec)) {
        if (entry.path().filename().string().rfind("0000:", 0) == 0) {
            first = entry.path();
            break;
        }
    }
    if (first.empty()) GTEST_SKIP() << "this machine shows no PCI function in " << devices;
    unsigned bus = 0, device = 0, function = 0, vendor = 0, id = 0;
    ASSERT_EQ(std::sscanf(first.filename().c_str(), "0000:%x:%x.%x", &bus, &device, &function), 3);
    std::ifstream(first / "vendor") >> std::hex >> vendor;
    std::ifstream(first / "device") >> std::hex >> id;

    testsupport::TempDir trace;
    ProgramDir = trace.path().string() + "/";
    NativePlatform machine;
    platform::ScopedPlatform scope(machine);
    DriverStartFlags = {};
    IOPort = std::make_unique<TIOPort>();
    EXPECT_EQ(ReadPCIConfigDWord(static_cast<int>(bus), static_cast<int>(device), static_cast<int>(function), 0),
              id << 16 | vendor);
    TPCILocation location;
    if (bus <= 15) {
        EXPECT_TRUE(FindPCIDevice(static_cast<std::uint16_t>(vendor), static_cast<std::uint16_t>(id), location));
    }
    IOPort.reset();
}
