#include <gtest/gtest.h>

#include "platform/driverctl.h"
#include "platform/sim/machine.h"
#include "support/badboards.h"

using platform::sim::Machine;
using testsupport::BadBoard;
namespace drv = platform::drv;

namespace {

const char* const hardwareBoard = R"({
  "os": {"major": 5, "minor": 2, "productType": 3, "serverR2": true, "versionQuery": "short"},
  "cpus": [{"msrs": {"0x1B": "0xFEE00900", "0x10": "0x123456789ABCDEF0"}}, {"msrs": {"0x1B": "0xFEE00800"}}],
  "physicalMemory": [{"name": "BIOS", "base": "0xF0000", "size": "0x10", "bytes": "5F 53 4D 5F"}],
  "pci": [{"bus": 0, "device": 31, "function": 3, "vendorId": "0x8086", "deviceId": "0x2930",
           "registers": {"0x20": "0x01", "0x21": "0x05"}}],
  "driver": {"major": 2, "minor": 2, "giveIo": true, "servicePath": "\\??\\C:\\caldavor.sys",
             "kernelOsVersion": {"major": 5, "minor": 2, "build": 3790}},
  "dellSmi": [{"match": {"eax": "0xA3", "ebx": "0x0"}, "answer": {"eax": "0x0", "ecx": "0x2D"}}],
  "devices": [{"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\00000041",
               "hardwareIds": ["ACPI\\ThermalZone"], "busTypeGuid": "{4D36E97D-E325-11CE-BFC1-08002BE10318}",
               "address": 3, "present": false, "rawThermal": ["0xAA", "0x0", "0x0", "0x0", "0xBB8"]}],
  "systemRegistry": {"\\HARDWARE\\DESCRIPTION\\System": {"SystemBiosVersion": ["A", "B"], "Count": 3}},
  "identity": {"computerName": "BOX", "ipv4": "192.0.2.7", "uptimeSeconds": 60, "environment": {"SystemRoot": "D:\\WIN"},
               "keyStates": {"0x14": "0x01"}}
})";

const BadBoard badHardwareBoards[] = {
    {R"({"pci": [{"bus": 0, "device": 32, "function": 0, "vendorId": "0x8086", "deviceId": "0x1"}]})",
     "/pci/0/device: expected an integer from 0 to 31"},
    {R"({"pci": [{"bus": 0, "device": 1, "function": 0, "vendorId": "0x8086", "deviceId": "0x1"},
                 {"bus": 0, "device": 1, "function": 0, "vendorId": "0x8086", "deviceId": "0x2"}]})",
     "/pci/1: two PCI functions at bus 0 device 1 function 0"},
    {R"({"pci": [{"bus": 0, "device": 1, "function": 0, "vendorId": "0x8086", "deviceId": "0x1",
                  "registers": {"0x100": "0x00"}}]})",
     "/pci/0/registers/0x100: expected a register number"},
    {R"({"isaDevices": [{"name": "a", "basePort": "0xCF8", "size": 4}],
         "pci": [{"bus": 0, "device": 1, "function": 0, "vendorId": "0x8086", "deviceId": "0x1"}]})",
     "/pci/0: ports 0xCF8-0xCFF (PCI configuration) overlap ports 0xCF8-0xCFB (a)"},
    {R"({"physicalMemory": [{"base": "0xF0000", "size": "0x100"}, {"base": "0xF00FF", "bytes": "00"}]})",
     "/physicalMemory/1: memory region 0xF00FF-0xF00FF overlaps 0xF0000-0xF00FF"},
    {R"({"physicalMemory": [{"base": "0xF0000", "size": "0x1", "bytes": "00 11"}]})",
     "/physicalMemory/0/size: expected a size that holds the bytes"},
    {R"({"physicalMemory": [{"base": "0xF0000", "bytes": "0 11"}]})", "/physicalMemory/0/bytes: expected hex bytes"},
    {R"({"physicalMemory": [{"base": "0xFFFFFFFF", "bytes": "00 11"}]})", "passes 4 GiB"},
    {R"({"physicalMemory": [{"base": "0x0", "size": "0x1000001"}]})",
     "/physicalMemory/0/size: expected a hex string no larger than 0x1000000"},
    {R"({"cpus": []})", "/cpus: expected a list of 1 to 64 processors"},
    {R"({"cpus": [{"msrs": {"0x1B": "0x10000000000000000"}}]})", "/cpus/0/msrs/0x1B: expected a hex string"},
    {R"({"devices": [{"busTypeGuid": "{4D36E97D-E325-11CE-BFC1-08002BE1031}"}]})",
     "/devices/0/busTypeGuid: expected a GUID"},
    {R"({"devices": [{"hardwareId": "x"}]})", "/devices/0/hardwareId: unknown field"},
    {R"({"os": {"versionQuery": "sometimes"}})", "/os/versionQuery: expected \"extended\""},
    {R"({"identity": {"keyStates": {"0x100": "0x01"}}})", "/identity/keyStates/0x100: expected a virtual key"},
    {R"({"identity": {"ipv4": "192.0.2.300"}})", R"(/identity/ipv4: expected an IPv4 address like "192.0.2.10")"},
};

}  // namespace

TEST(BoardHardware, SectionsBuildTheMachine) {
    Machine m;
    m.loadFromJson(hardwareBoard, "hw.json");

    EXPECT_TRUE(m.osVersion().serverR2);
    EXPECT_EQ(m.osVersion().answer, platform::OsVersion::Answer::ShortOnly);
    ASSERT_EQ(m.cpus().count(), 2u);
    EXPECT_EQ(m.cpus().cpu(0).msrs.at(0x10), 0x123456789ABCDEF0u);
    EXPECT_EQ(m.cpus().cpu(1).msrs.at(0x1B), 0xFEE00800u);

    std::uint8_t bytes[6] = {};
    EXPECT_EQ(m.memory().read(0xF0000, bytes), 6u);
    EXPECT_EQ(bytes[0], 0x5F);
    EXPECT_EQ(bytes[3], 0x5F);
    EXPECT_EQ(bytes[5], 0x00);

    m.ports().write(0xCF8, 4, 0x8000FB20);
    EXPECT_EQ(m.ports().read(0xCFC, 4), 0x0501u);
    m.ports().write(0xCF8, 4, 0x8000FB00);
    EXPECT_EQ(m.ports().read(0xCFC, 4), 0x29308086u);
    EXPECT_EQ(m.ports().read(0xCFE, 2), 0x2930u);

    EXPECT_EQ(m.driver().minor, 2u);
    EXPECT_TRUE(m.driver().giveIo);
    EXPECT_EQ(m.openServiceManager()->binaryPath("caldavor"), "\\??\\C:\\caldavor.sys");

    const auto answer = m.dellSmiResponder()({0xA3, 0, 7, 8});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->eax, 0u);
    EXPECT_EQ(answer->ecx, 0x2Du);
    EXPECT_EQ(answer->edx, 8u);
    EXPECT_EQ(m.dellSmiResponder()({0xA3, 1, 7, 8})->ebx, 1u);  // no rule: unchanged

    ASSERT_EQ(m.devices().size(), 1u);
    EXPECT_FALSE(m.devices()[0].present);
    EXPECT_EQ(m.devices()[0].record.properties.at(platform::devprop::BusTypeGuid)[0], 0x7D);
    EXPECT_EQ(m.listDevices({"ACPI", true, false})->size(), 0u);

    EXPECT_EQ(*m.systemRegistry().readBinary("\\hardware\\description\\system", "SystemBiosVersion"),
              (std::vector<std::uint8_t>{'A', 0, 'B', 0, 0}));
    EXPECT_EQ(m.computerName(), "BOX");
    EXPECT_EQ(m.ipv4Address(), "192.0.2.7");
    EXPECT_EQ(m.uptimeMs(), 60000u);
    EXPECT_EQ(m.environmentVariable("systemroot"), "D:\\WIN");
    EXPECT_EQ(m.keyState(0x14), 1);
}

TEST(BoardHardware, ImpossibleBoardsAreRefusedSayingWhereAndWhy) {
    testsupport::expectRefused(badHardwareBoards);
}

// ---- the simulated driver --------------------------------------------------

namespace {

template <class In, class Out>
bool send(platform::Device& device, std::uint32_t code, const In& in, Out& out, std::uint32_t& returned) {
    return device.control(code, drv::bytesOf(in), drv::bytesOf(out), returned);
}

}  // namespace

TEST(SimDriver, RefusesRequestsItsVersionDoesNotKnow) {
    Machine m;
    m.cpus().cpu(0).msrs[0x1B] = 0xFEE00900;
    m.setDellSmiResponder([](const drv::SmiRegisters& in) { return in; });
    const struct {
        std::uint32_t code, needed;
    } gated[] = {{drv::ReadMsr, 1002}, {drv::DellSmiCall, 2001}, {drv::KernelOsVersion, 2003}};
    for (const auto& g : gated) {
        for (const std::uint32_t version : {g.needed - 1, g.needed}) {
            m.driver().major = version / 1000;
            m.driver().minor = version % 1000;
            auto device = m.openDevice(drv::DevicePath).device;
            ASSERT_TRUE(device);
            drv::SmiRegisters in{0x1B, 0, 0, 0};
            drv::SmiRegisters out{};
            std::uint32_t returned = 99;
            EXPECT_EQ(device->control(g.code, drv::bytesOf(in), drv::bytesOf(out), returned), version >= g.needed)
                << std::hex << g.code << " at " << std::dec << version;
            if (version < g.needed) {
                EXPECT_EQ(returned, 0u);
            }
        }
    }
}

TEST(SimDriver, AnswersThePortAndVersionLayouts) {
    Machine m;
    m.driver().major = 1;
    m.driver().minor = 7;
    auto device = m.openDevice("\\\\.\\CALDAVOR").device;
    ASSERT_TRUE(device);
    drv::VersionRequest in{};
    drv::VersionAnswer version{};
    std::uint32_t returned = 0;
    ASSERT_TRUE(send(*device, drv::DriverVersion, in, version, returned));
    EXPECT_EQ(returned, 8u);
    EXPECT_EQ(version.major, 1u);
    EXPECT_EQ(version.minor, 7u);

    drv::PortRequest write{0x80, 0x1234};  // a byte write takes the low byte only
    drv::PortAnswer ignored{};
    ASSERT_TRUE(send(*device, drv::WritePortByte, write, ignored, returned));
    EXPECT_EQ(m.ports().recorder().accesses().back(), (platform::sim::PortAccess{0x80, 1, 0x34, true}));

    std::uint8_t shortInput[4] = {};
    EXPECT_FALSE(device->control(drv::ReadPortByte, shortInput, drv::bytesOf(ignored), returned));
}

TEST(SimDriver, NamespaceDevicesNeedTheDriverAndAnswerRawThermalData) {
    Machine m;
    platform::sim::SimDevice zone;
    zone.record.setString(platform::devprop::PhysicalDeviceObjectName, "\\Device\\00000041");
    zone.rawThermal = {0xAA, 0, 0, 0, 0xBB8};
    m.devices().push_back(zone);

    auto opened = m.openDevice("\\\\.\\caldavor\\Device\\00000041");
    ASSERT_TRUE(opened.device);
    std::uint8_t out[256];
    std::uint32_t returned = 0;
    ASSERT_TRUE(opened.device->control(drv::RawThermalQuery, {}, out, returned));
    EXPECT_EQ(returned, 20u);
    EXPECT_EQ(out[16] | out[17] << 8, 0xBB8);

    EXPECT_EQ(m.openDevice("\\\\.\\caldavor\\Device\\00000042").error, 2u);
    m.driver().minor = 5;
    m.driver().major = 1;
    EXPECT_FALSE(m.openDevice("\\\\.\\caldavor\\Device\\00000041").device);
}

TEST(SimMachine, AffinityNamesOnlyProcessorsItHas) {
    Machine m;
    m.cpus().setCount(4);
    EXPECT_EQ(m.processAffinity(), 0xFu);
    EXPECT_EQ(m.setProcessAffinity(0x10), 87u);
    EXPECT_EQ(m.setProcessAffinity(0), 87u);
    EXPECT_EQ(m.setProcessAffinity(0xC), 0u);
    EXPECT_EQ(m.cpus().current(), 2u);
}
