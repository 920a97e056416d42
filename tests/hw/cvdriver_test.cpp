#include "hw/cvdriver.h"

#include <gmock/gmock.h>

#include <cstring>

#include "hw/cvbuslocks.h"
#include "hwfixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

class DriverTest : public HwTest {
protected:
    void setDriverVersion(std::uint32_t major, std::uint32_t minor) {
        machine().driver().major = major;
        machine().driver().minor = minor;
    }
};

// ---- construction routes ---------------------------------------------------

struct Route {
    const char* name;
    std::uint32_t major, minor, platformId;
    bool versionFails, wow64, giveIoOffered, driverInstalled;
    // expected
    bool win9x, giveIo, driverOpen, canReadMemory;
};

const Route routes[] = {
    {"NtWithDriver", 10, 0, 2, false, false, false, true, false, false, true, true},
    {"NtGiveIoAlone", 5, 1, 2, false, false, true, false, false, true, false, false},
    {"NtGiveIoAndDriver", 5, 1, 2, false, false, true, true, false, true, true, true},
    {"Wow64NeverTriesGiveIo", 5, 2, 2, false, true, true, true, false, false, true, true},
    {"Windows9x", 4, 10, 1, false, false, false, true, true, false, false, true},
    {"FailedVersionQuery", 10, 0, 2, true, false, false, true, true, false, false, true},
    {"Windows7NoGiveIo", 6, 1, 2, false, false, true, true, false, false, true, true},
    {"VistaStillTriesGiveIo", 6, 0, 2, false, false, true, true, false, true, true, true},
};

class ConstructionRoute : public DriverTest, public ::testing::WithParamInterface<Route> {};

TEST_P(ConstructionRoute, SetsTheAccessFlags) {
    const Route& r = GetParam();
    platform::OsVersion os;
    os.major = r.major;
    os.minor = r.minor;
    os.platformId = r.platformId;
    os.isWow64 = r.wow64;
    if (r.versionFails) os.answer = platform::OsVersion::Answer::Fails;
    machine().setOsVersion(os);
    machine().driver().giveIo = r.giveIoOffered;
    machine().driver().installed = r.driverInstalled;

    TIOPort port;
    EXPECT_EQ(port.Win9x, r.win9x);
    EXPECT_EQ(port.GiveIOEnabled, r.giveIo);
    EXPECT_EQ(port.DriverOpen, r.driverOpen);
    EXPECT_EQ(port.CanReadMemory, r.canReadMemory);
    EXPECT_EQ(port.Is64Bit, r.wow64 && !r.win9x);
}

INSTANTIATE_TEST_SUITE_P(Routes, ConstructionRoute, ::testing::ValuesIn(routes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverTest, NoAccessPathRaisesDriverNotInstalled) {
    machine().driver().installed = false;
    try {
        TIOPort port;
        FAIL() << "constructed without an access path";
    } catch (const EPortError& e) {
        EXPECT_STREQ(e.what(), "CALDAVOR Driver Not Installed");
    }
}

TEST_F(DriverTest, GiveIoIsDroppedFromWindows7OnForTheRestOfTheRun) {
    setOs(6, 1);
    machine().driver().giveIo = true;
    TIOPort port;
    EXPECT_FALSE(port.GiveIOEnabled);
    EXPECT_FALSE(DriverStartFlags.UseGiveIO);
    EXPECT_TRUE(traced("Not using GIVEIO on this Windows version"));
    EXPECT_FALSE(machine().giveIoGranted());

    // Even on a version that would allow it, the option stays off.
    clearTrace();
    setOs(5, 1);
    TIOPort later;
    EXPECT_FALSE(later.GiveIOEnabled);
    EXPECT_FALSE(traced("Not using GIVEIO on this Windows version"));
}

TEST_F(DriverTest, GiveIoAloneReachesPortsDirectlyButNoMemory) {
    setOs(5, 1);
    machine().driver().giveIo = true;
    machine().driver().installed = false;
    machine().memory().addRegion(0xF0000, std::vector<std::uint8_t>(16, 0xAB));
    struct Latch : platform::sim::PortDevice {
        std::uint32_t value = 0x5A;
        std::uint32_t read(std::uint16_t, int) override { return value; }
        void write(std::uint16_t, int, std::uint32_t v) override { value = v; }
    };
    auto latch = std::make_shared<Latch>();
    machine().ports().claim(0x2E, 0x2F, latch);

    TIOPort port;
    EXPECT_EQ(port.ReadPortByte(0x2E), 0x5A);
    port.WritePortByte(0x2E, 0x87);
    EXPECT_EQ(latch->value, 0x87u);
    std::uint8_t buffer[16] = {};
    EXPECT_EQ(port.ReadPhysicalMemory(0xF0000, buffer, sizeof buffer), 0u);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(port.GetDriverMajorVersion(), 0u);
    EXPECT_EQ(port.ReadMSR(0x1B), ~0ull);
}

TEST_F(DriverTest, Windows9xCopiesMemoryAndReachesPortsDirectly) {
    setOs(4, 10, 1);
    machine().memory().addRegion(0xF0000, {1, 2, 3, 4, 5, 6, 7, 8});
    TIOPort port;
    std::uint8_t buffer[4] = {};
    EXPECT_EQ(port.ReadPhysicalMemory(0xF0002, buffer, 4), 4u);
    EXPECT_THAT(buffer, ElementsAre(3, 4, 5, 6));
    port.WritePhysicalDWord(0xF0004, 0xDDCCBBAA);
    EXPECT_EQ(port.ReadPhysicalMemory(0xF0004, buffer, 4), 4u);
    EXPECT_THAT(buffer, ElementsAre(0xAA, 0xBB, 0xCC, 0xDD));
    EXPECT_EQ(port.ReadPortWord(0x1234), 0xFFFF);  // nothing claims it
    EXPECT_FALSE(port.CanReadMSR);
}

// ---- capability table ------------------------------------------------------

struct Capabilities {
    std::uint32_t major, minor;
    bool msr, map, thermal, acpi, dell, rawThermal, osVersion;
};

const Capabilities capabilityRows[] = {
    {1, 1, false, false, false, false, false, false, false}, {1, 2, true, false, false, false, false, false, false},
    {1, 5, true, true, false, false, false, false, false},   {1, 6, true, true, true, true, false, false, false},
    {2, 0, true, true, true, true, false, false, false},     {2, 1, true, true, true, true, true, false, false},
    {2, 2, true, true, true, true, true, true, false},       {2, 3, true, true, true, true, true, true, true},
};

class CapabilityTable : public DriverTest, public ::testing::WithParamInterface<Capabilities> {};

TEST_P(CapabilityTable, FollowsTheDriverVersion) {
    const Capabilities& c = GetParam();
    setDriverVersion(c.major, c.minor);
    TIOPort port;
    EXPECT_TRUE(port.CanReadMemory);
    EXPECT_EQ(port.CanReadMSR, c.msr);
    EXPECT_EQ(port.CanMapMemory, c.map);
    EXPECT_EQ(port.CanQueryThermal, c.thermal);
    EXPECT_EQ(port.CanEvalACPI, c.acpi);
    EXPECT_EQ(port.CanAccessDell, c.dell);
    EXPECT_EQ(port.CanQueryRawThermal, c.rawThermal);
    EXPECT_EQ(port.CanGetOSVersion, c.osVersion);
    EXPECT_EQ(port.GetDriverMajorVersion(), c.major);
    EXPECT_EQ(port.GetDriverMinorVersion(), c.minor);
    // The ACPI HAL check belongs to drivers from version 2.000.
    EXPECT_EQ(traced("Looking for ACPI_HAL..."), c.major >= 2);
}

INSTANTIATE_TEST_SUITE_P(Versions, CapabilityTable, ::testing::ValuesIn(capabilityRows));

TEST_F(DriverTest, ServicePathIsExpandedAndTracedOnce) {
    machine().identity().environment["SYSTEMROOT"] = "C:\\WINNT";
    TIOPort first;
    TIOPort second;
    EXPECT_EQ(second.ServicePath, "C:\\WINNT\\System32\\drivers\\Caldavor.sys");
    const auto lines = trace();
    EXPECT_EQ(
        std::count(lines.begin(), lines.end(), "Caldavor service path is <C:\\WINNT\\System32\\drivers\\Caldavor.sys>"),
        1);
    EXPECT_TRUE(DriverStartFlags.ACPIHALChecked);
}

TEST_F(DriverTest, ServicePathStaysEmptyWithoutTheServiceManager) {
    machine().driver().serviceManagerAccess = false;
    TIOPort port;
    EXPECT_TRUE(port.DriverOpen);
    EXPECT_EQ(port.ServicePath, "");
}

TEST(ExpandSystemRoot, ReplacesOnlyALeadingSystemRoot) {
    testsupport::TestMachine machine;
    machine->identity().environment["SYSTEMROOT"] = "C:\\Windows";
    EXPECT_EQ(ExpandSystemRoot("\\SystemRoot\\drivers\\x.sys"), "C:\\Windows\\drivers\\x.sys");
    EXPECT_EQ(ExpandSystemRoot("\\sYsTeMrOoT\\x.sys"), "C:\\Windows\\x.sys");
    EXPECT_EQ(ExpandSystemRoot("C:\\SystemRoot\\x.sys"), "C:\\SystemRoot\\x.sys");
    EXPECT_EQ(ExpandSystemRoot("\\??\\C:\\x.sys"), "\\??\\C:\\x.sys");
    EXPECT_EQ(ExpandSystemRoot("\\System"), "\\System");
}

// ---- operations through the driver -----------------------------------------

TEST_F(DriverTest, ReadsMsrsOfTheProcessorItRunsOn) {
    machine().cpus().setCount(2);
    machine().cpus().cpu(0).msrs[0x1B] = 0xFEE00900;
    machine().cpus().cpu(1).msrs[0x1B] = 0x1'FEE00800;
    TIOPort port;
    EXPECT_EQ(port.ReadMSR(0x1B), 0xFEE00900u);
    ASSERT_EQ(machine().setProcessAffinity(2), 0u);
    EXPECT_EQ(port.ReadMSR(0x1B), 0x1'FEE00800u);
    EXPECT_EQ(port.ReadMSR(0x19C), ~0ull);  // the processor faults on it
    port.CanReadMSR = false;
    EXPECT_EQ(port.ReadMSR(0x1B), ~0ull);
}

TEST_F(DriverTest, PhysicalMemoryReadsOnlyInsideRegions) {
    machine().memory().addRegion(0xE0000, std::vector<std::uint8_t>(0x10, 0x11));
    machine().memory().addRegion(0xE0010, std::vector<std::uint8_t>(0x10, 0x22));
    TIOPort port;
    std::uint8_t buffer[8];
    std::memset(buffer, 0x77, sizeof buffer);
    EXPECT_EQ(port.ReadPhysicalMemory(0xE000C, buffer, 8), 8u);
    EXPECT_THAT(buffer, ElementsAre(0x11, 0x11, 0x11, 0x11, 0x22, 0x22, 0x22, 0x22));
    std::memset(buffer, 0x77, sizeof buffer);
    EXPECT_EQ(port.ReadPhysicalMemory(0xE001C, buffer, 8), 0u);
    EXPECT_EQ(buffer[0], 0x77);
    port.WritePhysicalDWord(0xE0000, 0x44332211);
    EXPECT_EQ(port.ReadPhysicalMemory(0xE0000, buffer, 4), 4u);
    EXPECT_THAT(std::vector<std::uint8_t>(buffer, buffer + 4), ElementsAre(0x11, 0x22, 0x33, 0x44));
}

TEST_F(DriverTest, MappedMemoryIsReachedOnlyThroughItsMapping) {
    machine().memory().addRegion(0xFED00000, {0x10, 0x20, 0x30, 0x40});
    TIOPort port;
    void* mapped = port.MapPhysicalMemory(0xFED00000, 4);
    ASSERT_NE(mapped, nullptr);
    auto* bytes = static_cast<std::uint8_t*>(mapped);
    EXPECT_EQ(port.ReadMappedByte(bytes + 1), 0x20);
    port.WriteMappedByte(bytes + 2, 0x99);
    EXPECT_EQ(port.ReadMappedByteAlt(bytes + 2), 0x99);
    std::uint8_t stray = 0;
    EXPECT_EQ(port.ReadMappedByte(&stray), 0xFF);
    EXPECT_EQ(port.MapPhysicalMemory(0xFED00002, 4), nullptr);  // runs past the region
    port.UnmapPhysicalMemory(mapped, 4);
    EXPECT_EQ(port.ReadMappedByte(bytes + 1), 0xFF);

    setDriverVersion(1, 2);
    TIOPort old;
    EXPECT_EQ(old.MapPhysicalMemory(0xFED00000, 4), nullptr);
}

TEST_F(DriverTest, KernelOsVersionNeedsVersion2003) {
    machine().driver().kernelOsVersion = platform::drv::KernelOsVersionAnswer{10, 0, 22631};
    TIOPort port;
    std::uint32_t major = 1, minor = 1, build = 1;
    port.GetKernelOSVersion(major, minor, build);
    EXPECT_EQ(major, 10u);
    EXPECT_EQ(minor, 0u);
    EXPECT_EQ(build, 22631u);

    setDriverVersion(2, 2);
    TIOPort older;
    older.GetKernelOSVersion(major, minor, build);
    EXPECT_EQ(major + minor + build, 0u);
}

// ---- Dell SMI ----------------------------------------------------------------

struct SmiCase {
    const char* name;
    TSMIRegisters answer;
    bool expected;
};

const SmiCase smiCases[] = {
    {"Changed", {0x0000, 0x1234, 0x0, 0x0}, true},
    {"Unchanged", {0xA3, 0x0, 0x0, 0x0}, false},
    {"LowHalfAllOnes", {0x1234FFFF, 0x1, 0x0, 0x0}, false},
};

class DellSmi : public DriverTest, public ::testing::WithParamInterface<SmiCase> {};

TEST_P(DellSmi, SucceedsOnlyWhenTheRegistersChangeWithoutFFFFh) {
    const SmiCase& c = GetParam();
    machine().setDellSmiResponder([&c](const TSMIRegisters&) { return c.answer; });
    TIOPort port;
    TSMIRegisters regs{0xA3, 0x0, 0x0, 0x0};
    EXPECT_EQ(port.DellSMICall(regs), c.expected);
    EXPECT_EQ(std::memcmp(&regs, &c.answer, sizeof regs), 0);
}

INSTANTIATE_TEST_SUITE_P(Answers, DellSmi, ::testing::ValuesIn(smiCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverTest, DellSmiWithoutTheCapabilityLeavesAllOnes) {
    bool called = false;
    machine().setDellSmiResponder([&](const TSMIRegisters& in) {
        called = true;
        return in;
    });
    setDriverVersion(2, 0);
    TIOPort port;
    TSMIRegisters regs{1, 2, 3, 4};
    EXPECT_FALSE(port.DellSMICall(regs));
    EXPECT_FALSE(called);
    EXPECT_EQ(regs.eax & regs.ebx & regs.ecx & regs.edx, 0xFFFFFFFFu);
}

// ---- request buffers -----------------------------------------------------------

// Records each request to the driver device before the simulated driver answers.
struct Request {
    std::uint32_t code;
    std::vector<std::uint8_t> input;
    std::size_t outputSize;
};

class RecordingMachine : public platform::sim::Machine {
public:
    platform::DeviceOpenResult openDevice(const std::string& path) override {
        auto opened = Machine::openDevice(path);
        if (opened.device && path == platform::drv::DevicePath)
            opened.device = std::make_unique<Recorder>(std::move(opened.device), requests);
        return opened;
    }
    std::vector<Request> requests;

private:
    struct Recorder : platform::Device {
        Recorder(std::unique_ptr<platform::Device> inner, std::vector<Request>& log)
            : inner_(std::move(inner)), log_(log) {}
        bool control(std::uint32_t code, std::span<const std::uint8_t> in, std::span<std::uint8_t> out,
                     std::uint32_t& returned) override {
            log_.push_back({code, {in.begin(), in.end()}, out.size()});
            return inner_->control(code, in, out, returned);
        }
        std::unique_ptr<platform::Device> inner_;
        std::vector<Request>& log_;
    };
};

std::vector<std::uint8_t> dwords(std::initializer_list<std::uint32_t> values) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t v : values)
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return bytes;
}

class DriverRequests : public ::testing::Test {
protected:
    DriverRequests() {
        DriverStartFlags = {};
        DriverStartFlags.ACPIHALChecked = true;
        ProgramDir = folder.path().string() + "/";
    }
    testsupport::TempDir folder;
    RecordingMachine machine;
    platform::ScopedPlatform scope{machine};

    const Request& last() const { return machine.requests.back(); }
};

TEST_F(DriverRequests, PortRequestsCarryPortAndValueDwords) {
    TIOPort port;
    port.WritePortByte(0x2E, 0x87);
    EXPECT_EQ(last().code, 0x9C402408u);
    EXPECT_EQ(last().input, dwords({0x2E, 0x87}));
    EXPECT_EQ(last().outputSize, 8u);
    port.WritePortWord(0x400, 0xBEEF);
    EXPECT_EQ(last().code, 0x9C402410u);
    EXPECT_EQ(last().input, dwords({0x400, 0xBEEF}));
    port.WritePortDWord(0xCF8, 0x80000040);
    EXPECT_EQ(last().code, 0x9C402418u);
    EXPECT_EQ(last().input, dwords({0xCF8, 0x80000040}));

    const std::pair<std::uint32_t, std::function<void()>> reads[] = {
        {0x9C402404u, [&] { port.ReadPortByte(0x295); }},
        {0x9C40240Cu, [&] { port.ReadPortWord(0x295); }},
        {0x9C402414u, [&] { port.ReadPortDWord(0x295); }},
    };
    for (const auto& [code, read] : reads) {
        read();
        EXPECT_EQ(last().code, code);
        ASSERT_EQ(last().input.size(), 8u);
        EXPECT_EQ(std::vector<std::uint8_t>(last().input.begin(), last().input.begin() + 4), dwords({0x295}));
        EXPECT_EQ(last().outputSize, 8u);
    }
}

TEST_F(DriverRequests, OtherRequestsUseTheirCodesAndLayouts) {
    machine.memory().addRegion(0x1000, std::vector<std::uint8_t>(16, 0));
    machine.setDellSmiResponder([](const TSMIRegisters& in) { return in; });
    TIOPort port;

    std::uint8_t buffer[16];
    port.ReadPhysicalMemory(0x1000, buffer, 16);
    EXPECT_EQ(last().code, 0x9C402420u);
    EXPECT_EQ(std::vector<std::uint8_t>(last().input.begin(), last().input.begin() + 8), dwords({0x1000, 16}));
    std::uintptr_t target = 0;
    std::memcpy(&target, last().input.data() + 8, sizeof target);
    EXPECT_EQ(target, reinterpret_cast<std::uintptr_t>(buffer));

    port.WritePhysicalDWord(0x1004, 0xCAFEF00D);
    EXPECT_EQ(last().code, 0x9C402430u);
    EXPECT_EQ(last().input, dwords({0x1004, 0xCAFEF00D}));

    TSMIRegisters regs{0xA3, 0x100, 0x200, 0x300};
    port.DellSMICall(regs);
    EXPECT_EQ(last().code, 0x9C402424u);
    EXPECT_EQ(last().input, dwords({0xA3, 0x100, 0x200, 0x300}));
    EXPECT_EQ(last().outputSize, 16u);

    port.GetDriverMajorVersion();
    EXPECT_EQ(last().code, 0x9C402434u);
    EXPECT_EQ(last().outputSize, 8u);

    port.ReadMSR(0x1A2);
    EXPECT_EQ(last().code, 0x9C402438u);
    EXPECT_EQ(std::vector<std::uint8_t>(last().input.begin(), last().input.begin() + 4), dwords({0x1A2}));

    void* mapped = port.MapPhysicalMemory(0x1000, 8);
    EXPECT_EQ(last().code, 0x9C402448u);
    EXPECT_EQ(last().input, dwords({0x1000, 8, 0}));
    port.ReadMappedByte(mapped);
    EXPECT_EQ(last().code, 0x9C402450u);
    port.WriteMappedByte(mapped, 0x5A);
    EXPECT_EQ(last().code, 0x9C402454u);
    port.ReadMappedByteAlt(mapped);
    EXPECT_EQ(last().code, 0x9C402460u);
    port.UnmapPhysicalMemory(mapped, 8);
    EXPECT_EQ(last().code, 0x9C40244Cu);

    std::uint32_t major, minor, build;
    port.GetKernelOSVersion(major, minor, build);
    EXPECT_EQ(last().code, 0x9C402484u);
    EXPECT_TRUE(last().input.empty());
    EXPECT_EQ(last().outputSize, 12u);
}

TEST_F(DriverRequests, MsrReadOnADriverOlderThan1002SendsNoRequest) {
    machine.driver().major = 1;
    machine.driver().minor = 1;
    TIOPort port;
    machine.requests.clear();
    EXPECT_EQ(port.ReadMSR(0x1B), 0xFFFFFFFFFFFFFFFFull);
    EXPECT_TRUE(machine.requests.empty());
}

TEST(DriverCodes, RawThermalQueryIsFunction920h) { EXPECT_EQ(platform::drv::RawThermalQuery, 0x9C402480u); }

}  // namespace

namespace {

TEST_F(DriverTest, DemoBoardOpensTheDriverAndReachesTheAcpiHal) {
    machine().loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
    TIOPort port;
    EXPECT_TRUE(port.CanGetOSVersion);
    EXPECT_TRUE(traced("  ACPI_HAL (00000001) properly opened through Caldavor driver"));
    clearTrace();
    RunSMPTestOnEachCPU();
    EXPECT_EQ(trace().size(), 4u);
    EXPECT_TRUE(traced("CPU#0.MSR[$1B]=00000000FEE00900"));
}

}  // namespace
