#include <gtest/gtest.h>

#include <cstring>

#include "platform/sim/machine.h"
#include "platform/sim/simdisk.h"
#include "support/badboards.h"

using testsupport::BadBoard;

TEST(BoardDisks, LoadsEveryPathAndOption) {
    platform::sim::Machine m;
    m.loadFromJson(R"({"disks": {
        "usb": {"model": "SAMSUNG HD103SJ", "sectors": 1000, "physical": {"drive": 2, "bridge": "JMicron",
                "fault": {"kind": "timeout", "times": 1}}, "refuse": ["enable"], "logs": {"0x01": "01 00"},
                "identifyWords": {"80": "0x00F0"}, "temperature": 40},
        "raid": {"model": "ST31000", "threeWare": {"drive": 1, "port": 3, "controllerId": "0x1002"},
                 "csmi": {"port": 1, "phy": 4, "sasAddress": "0x5000C50012345678", "statusFisError": true},
                 "scsi": {"port": 0, "target": 2}, "fault": {"kind": "vanish"}}}})",
                   "disks.json");
    auto* usb = m.disks().find("usb");
    ASSERT_NE(usb, nullptr);
    EXPECT_EQ(usb->spec().physical->bridge, platform::disk::Bridge::JMicron);
    EXPECT_TRUE(usb->spec().refuseEnable);
    EXPECT_EQ(usb->spec().logs.at(1).size(), 2u);
    EXPECT_EQ(usb->identifyData()[160], 0xF0);
    EXPECT_EQ(m.disks().pathFault("\\\\.\\PHYSICALDRIVE2").kind, platform::sim::SimDiskFault::Kind::Timeout);
    auto* raid = m.disks().find("raid");
    EXPECT_EQ(raid->spec().csmi->sasAddress[0], 0x78);
    EXPECT_EQ(raid->spec().threeWare->controllerId, 0x1002);
    EXPECT_EQ(raid->spec().fault.kind, platform::sim::SimDiskFault::Kind::Vanish);
    EXPECT_TRUE(m.openDevice("\\\\.\\PhysicalDrive2").device);
    EXPECT_FALSE(m.openDevice("\\\\.\\Scsi0:").device);  // only the vanished disk was there
}

const BadBoard badDisks[] = {
    {R"({"disks": []})", "/disks: expected an object of disks by name"},
    {R"({"disks": {"a": {"serial": "x"}}})", "/disks/a/model"},
    {R"({"disks": {"a": {"model": "m", "colour": 1}}})", "/disks/a/colour"},
    {R"({"disks": {"a": {"model": "m", "attributeChecksum": "wrong"}}})", "\"auto\", \"bad\" or \"all zero\""},
    {R"({"disks": {"a": {"model": "m", "physical": {"drive": 0, "bridge": "Acme"}}}})", "\"SAT\", \"SunPlus\""},
    {R"({"disks": {"a": {"model": "m", "fault": {"kind": "melt"}}}})", "/disks/a/fault/kind"},
    {R"({"disks": {"a": {"model": "m", "identifyWords": {"300": "0x1"}}}})", "identify word number"},
    {R"({"disks": {"a": {"model": "m", "logs": {"low": "01"}}}})", "log address"},
    {R"({"disks": {"a": {"model": "m", "refuse": ["writes"]}}})", "\"thresholds\" or \"enable\""},
    {R"({"disks": {"a": {"model": "m", "selfTestSeconds": [1, 2]}}})", "three durations"},
    {R"({"disks": {"a": {"model": "m", "temperature": []}}})", "a temperature or a list of them"},
};

TEST(BoardDisks, RefusesMalformedDisks) { testsupport::expectRefused(badDisks); }

TEST(BoardDisks, TheRecorderKeepsTheLatestRequestsOfALongRun) {
    platform::sim::Machine m;
    m.loadFromJson(R"({"disks": {"d": {"model": "ST1", "physical": {"drive": 0, "bridge": "none"}}}})", "d.json");
    EXPECT_FALSE(m.disks().find("d")->spec().physical->bridge);
    auto device = m.openDevice("\\\\.\\PhysicalDrive0").device;
    ASSERT_TRUE(device);
    std::uint32_t returned = 0;
    for (std::uint32_t i = 0; i < 20000; ++i) device->control(i, {}, {}, returned);
    const auto& kept = m.disks().recorder();
    EXPECT_LE(kept.size(), 8192u);
    EXPECT_GE(kept.size(), 4096u);
    EXPECT_EQ(kept.back().code, 19999u);
    EXPECT_EQ(kept[kept.size() - 2].code, 19998u);
}

TEST(BoardDisks, CsmiPortsAnswerDriverInformationAndPhys) {
    namespace disk = platform::disk;
    platform::sim::Machine m;
    m.loadFromJson(R"({"disks": {"a": {"model": "ST1", "csmi": {"port": 3, "phy": 4, "sasAddress": "0x0100000000040A50"}},
                                 "b": {"model": "ST2", "csmi": {"port": 3, "phy": 5, "sasAddress": "0x0100000000050A50"}}}})",
                   "csmi.json");
    auto port = m.openDevice("\\\\.\\SCSI3:").device;
    ASSERT_TRUE(port);
    EXPECT_FALSE(m.openDevice("\\\\.\\SCSI2:").device);
    std::uint32_t returned = 0;

    std::vector<std::uint8_t> info(disk::CsmiDriverInfoBuffer);
    disk::writeLayout(std::span(info), disk::miniportHeader(disk::miniport::CsmiAllSignature, 60,
                                                            disk::miniport::CsmiDriverInfo, 204 - 28));
    ASSERT_TRUE(port->control(disk::ScsiMiniport, info, info, returned));
    disk::CsmiDriverInfo driver{};
    std::memcpy(&driver, info.data() + 28, sizeof driver);
    EXPECT_STREQ(driver.name, "simcsmi");

    std::vector<std::uint8_t> phys(disk::CsmiPhyInfoBuffer);
    disk::writeLayout(std::span(phys), disk::miniportHeader(disk::miniport::CsmiSasSignature, 60,
                                                            disk::miniport::CsmiPhyInfo, 2080 - 28));
    ASSERT_TRUE(port->control(disk::ScsiMiniport, phys, phys, returned));
    disk::CsmiPhyInfo list{};
    std::memcpy(&list, phys.data() + 28, sizeof list);
    ASSERT_EQ(list.numberOfPhys, 2);
    EXPECT_EQ(list.phy[1].identify.phyIdentifier, 5);
    EXPECT_EQ(list.phy[1].attached.sasAddress[2], 0x05);
    EXPECT_EQ(list.phy[1].attached.sasAddress[7], 0x01);

    std::vector<std::uint8_t> unknown(28);
    disk::writeLayout(std::span(unknown), disk::miniportHeader("CSMIXYZ", 60, 99, 0));
    EXPECT_FALSE(port->control(disk::ScsiMiniport, unknown, unknown, returned));
    EXPECT_EQ(port->lastError(), 1u);
}
