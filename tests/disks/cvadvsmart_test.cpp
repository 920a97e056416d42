#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "disks/cvadvsmart.h"
#include "diskfixture.h"

using namespace diskfixture;
namespace disk = platform::disk;
using platform::sim::SimDiskFault;

namespace {

using Page = std::array<std::uint8_t, 512>;

bool allZero(std::span<const std::uint8_t> data) {
    return std::all_of(data.begin(), data.end(), [](std::uint8_t b) { return b == 0; });
}

// The little-endian bytes of a dword.
std::vector<std::uint8_t> le(std::uint32_t v) { return bytes({int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF), int(v >> 24)}); }

std::vector<std::uint8_t> concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
    std::vector<std::uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace

class DiskAccess : public DiskTest {};

TEST_F(DiskAccess, IdentifyDerivesFeatureStates) {
    loadDisk(R"("identifyWords": {"75": "0x001F", "76": "0x0104", "80": "0x0070", "82": "0x0001", "83": "0x4600",
                                  "84": "0x4001", "85": "0x0008", "86": "0x0000", "88": "0x203F"},
                "physical": {"drive": 0})");
    TSmartHardDiskPhysical hd("\\\\.\\PhysicalDrive0", AccessPhysical);
    Page page;
    ASSERT_EQ(hd.IdentifyDrive(page), DiskOk);
    EXPECT_TRUE(hd.IdentifyDone);
    EXPECT_EQ(hd.Model, "WDC WD5000AAKS-00V1A0");
    EXPECT_EQ(hd.QueueDepth, 32u);
    const struct {
        TFeatureState actual, expected;
        const char* name;
    } states[] = {
        {hd.SATA300Supported, fsSupported, "SATA 3.0"}, {hd.SATA150Supported, fsUnsupported, "SATA 1.5"},
        {hd.NCQSupported, fsSupported, "NCQ"},          {hd.SMARTSupported, fsSupported, "SMART"},
        {hd.PMSupported, fsUnsupported, "PM"},          {hd.AAMSupported, fsSupported, "AAM"},
        {hd.LBA48Supported, fsSupported, "LBA48"},      {hd.APMSupported, fsUnsupported, "APM"},
        {hd.SMARTErrorLogSupported, fsSupported, "error log"}, {hd.SMARTEnabled, fsDisabled, "SMART on"},
        {hd.PMEnabled, fsEnabled, "PM on"},             {hd.AAMEnabled, fsUnknown, "AAM on (word 0)"},
        {hd.APMEnabled, fsUnknown, "APM on (word 0)"},
        {hd.GetATAVersionSupport(4), fsSupported, "ATA-4"}, {hd.GetATAVersionSupport(6), fsSupported, "ATA-6"},
        {hd.GetATAVersionSupport(7), fsUnsupported, "ATA-7"}, {hd.GetUDMASupport(5), fsSupported, "UDMA5"},
        {hd.GetUDMASupport(6), fsUnsupported, "UDMA6"}, {hd.GetUDMAActive(5), fsEnabled, "UDMA5 on"},
        {hd.GetUDMAActive(4), fsDisabled, "UDMA4 on"},
    };
    for (const auto& s : states) EXPECT_EQ(s.actual, s.expected) << s.name;
}

TEST_F(DiskAccess, ErrorLoggingNeedsAta6AndUnreportedWordsStayUnknown) {
    loadDisk(R"("identifyWords": {"80": "0x0030", "84": "0x4001", "88": "0xFFFF", "75": "0x0000"},
                "physical": {"drive": 0})");
    TSmartHardDiskPhysical hd("\\\\.\\PhysicalDrive0", AccessPhysical);
    Page page;
    ASSERT_EQ(hd.IdentifyDrive(page), DiskOk);
    EXPECT_EQ(hd.SMARTErrorLogSupported, fsUnknown);
    EXPECT_EQ(hd.GetUDMASupport(0), fsUnknown);
    EXPECT_EQ(hd.GetUDMAActive(0), fsUnknown);
    EXPECT_EQ(hd.QueueDepth, 0u);
}

TEST_F(DiskAccess, PhysicalFallsBackToAtaPassThrough) {
    loadDisk(R"("physical": {"drive": 0, "smartCodes": false, "driverError": "0x05", "ideError": "0x51"})");
    TSmartHardDiskPhysical hd("\\\\.\\PhysicalDrive0", AccessPhysical);
    Page page;
    ASSERT_EQ(hd.ReadAttributePage(page), DiskOk);
    EXPECT_EQ(page[2], 1);
    EXPECT_EQ(hd.AttributeData, page);
    EXPECT_EQ(log(), (std::vector<std::string>{"SendIDECommand : Error=$05 - Status=$51", "Trying with ATA_PASS_THROUGH"}));
    auto sent = requests(disk::AtaPassThrough);
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].input.size(), 44u + 512);
    EXPECT_EQ(slice(sent[0].input, 0, 45),
              concat({bytes({40, 0, 2, 0, 0, 0, 0, 0}), le(512), le(10), le(0), le(44), bytes({0, 0, 0, 0, 0, 0, 0, 0}),
                      bytes({0xD0, 0x01, 0x01, 0x4F, 0xC2, 0xA0, 0xB0, 0x00}), bytes({0, 0, 0, 0, 0xCF})}));

    // A self-test has no data to mark; it still goes as data-in with length 0.
    disks().recorder().clear();
    EXPECT_EQ(hd.StartSelfTest(1, false), DiskOk);
    ASSERT_EQ(requests(disk::SmartSendDriveCommand).size(), 1u);
    EXPECT_EQ(requests(disk::SmartSendDriveCommand)[0].outputSize, 16u);
    sent = requests(disk::AtaPassThrough);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].input.size(), 44u);
    EXPECT_EQ(slice(sent[0].input, 2, 2), bytes({2, 0}));
    EXPECT_EQ(disks().find("d0")->selfTests(), bytes({0x01}));
}

TEST_F(DiskAccess, PhysicalWithoutAnyPathFails) {
    loadDisk(R"("physical": {"drive": 0, "smartCodes": false, "ataPassThrough": false})");
    TSmartHardDiskPhysical hd("\\\\.\\PhysicalDrive0", AccessPhysical);
    Page page;
    page.fill(0x55);
    EXPECT_EQ(hd.ReadThresholdPage(page), DiskCommandFailed);
    EXPECT_TRUE(allZero(page));
    EXPECT_TRUE(allZero(hd.ThresholdData));
    EXPECT_EQ(log().back(), "SendIDECommand (ATA) failed");
    disk::GetVersionInParams version;
    EXPECT_EQ(hd.SMARTGetVersion(version), DiskCommandFailed);
    EXPECT_EQ(log().back(), "SMARTGetVersion : Error=$01");
}

TEST_F(DiskAccess, OpenFailuresGiveTheStatusOfTheTransport) {
    Page page;
    TSmartHardDisk base("\\\\.\\PhysicalDrive0", AccessPhysical);
    TSmartHardDiskPhysical physical("\\\\.\\PhysicalDrive9", AccessPhysical);
    TSmartHardDiskSCSI scsi("\\\\.\\Scsi9:", AccessSCSI, 9, 0);
    TSmartHardDiskSat sat("\\\\.\\PhysicalDrive9", AccessSAT, 0x152D, 0x2329);
    TSmartHardDisk3Ware threeWare("\\\\.\\PhysicalDrive9", Access3ware, 0);
    TSmartHardDiskCSMI csmi("\\\\.\\Scsi9:", AccessCSMI, {});
    const struct {
        TSmartHardDisk* hd;
        int status;
    } cases[] = {{&base, DiskNoTransport}, {&physical, DiskCommandFailed}, {&scsi, DiskCommandFailed},
                 {&sat, DiskOpenFailed}, {&threeWare, DiskCommandFailed}, {&csmi, DiskOpenFailed}};
    for (const auto& c : cases) {
        page.fill(0x55);
        EXPECT_EQ(c.hd->IdentifyDrive(page), c.status) << c.hd->ClassName();
        EXPECT_TRUE(allZero(page)) << c.hd->ClassName();
    }
    EXPECT_EQ(log().back(), "CSMI.SendIDECommand - Error 2 opening device");
    EXPECT_EQ(log()[1], "Error checking SMART Version");
}

TEST_F(DiskAccess, SatBridgesSendTheirOwnCommandBlocks) {
    const struct {
        const char* bridge;
        std::function<std::unique_ptr<TSmartHardDiskSat>()> make;
        std::vector<std::uint8_t> cdb;
    } cases[] = {
        {"SAT", [] { return std::make_unique<TSmartHardDiskSat>("\\\\.\\PhysicalDrive0", AccessSAT, 1, 2); },
         bytes({0xA1, 0x08, 0x0E, 0xD0, 0x01, 0x01, 0x4F, 0xC2, 0xA0, 0xB0, 0, 0})},
        {"SunPlus", [] { return std::make_unique<TSmartHardDiskSatSunPlus>("\\\\.\\PhysicalDrive0", AccessUSB, 1, 2); },
         bytes({0xF8, 0x00, 0x22, 0x10, 0x01, 0xD0, 0x01, 0x01, 0x4F, 0xC2, 0xA0, 0xB0})},
        {"Cypress", [] { return std::make_unique<TSmartHardDiskSatCypress>("\\\\.\\PhysicalDrive0", AccessUSB, 1, 2); },
         bytes({0x24, 0x24, 0x00, 0xBE, 0x01, 0x00, 0xD0, 0x01, 0x01, 0x4F, 0xC2, 0xA0, 0xB0, 0, 0, 0})},
        {"IoData", [] { return std::make_unique<TSmartHardDiskSatIoData>("\\\\.\\PhysicalDrive0", AccessUSB, 1, 2); },
         bytes({0xE3, 0x00, 0xD0, 0x01, 0x01, 0x4F, 0xC2, 0xA0, 0xB0, 0, 0, 0})},
        {"Logitech", [] { return std::make_unique<TSmartHardDiskSatLogitech>("\\\\.\\PhysicalDrive0", AccessUSB, 1, 2); },
         bytes({0xE0, 0x00, 0xD0, 0x01, 0x01, 0x4F, 0xC2, 0xA0, 0xB0, 0})},
        {"JMicron", [] { return std::make_unique<TSmartHardDiskSatJMicron>("\\\\.\\PhysicalDrive0", AccessUSB, 1, 2); },
         bytes({0xDF, 0x10, 0x00, 0x02, 0x00, 0xD0, 0x01, 0x01, 0x4F, 0xC2, 0xA0, 0xB0})},
    };
    for (const auto& c : cases) {
        testsupport::TestMachine m;
        m->loadFromJson(std::string(R"({"disks": {"usb": )") +
                            diskJson(std::string(R"("physical": {"drive": 0, "smartCodes": false, "ataPassThrough": false, "bridge": ")") +
                                     c.bridge + "\"}") + "}}",
                        "usb.json");
        auto hd = c.make();
        Page page;
        ASSERT_EQ(hd->ReadAttributePage(page), DiskOk) << c.bridge;
        EXPECT_EQ(page[2], 1) << c.bridge;
        const auto& sent = m->disks().recorder().back();
        ASSERT_EQ(sent.code, disk::ScsiPassThrough);
        ASSERT_EQ(sent.input.size(), 44u);
        EXPECT_EQ(slice(sent.input, 0, 28), concat({bytes({44, 0, 0, 0, 0, 0, int(c.cdb.size()), 24, 1, 0, 0, 0}),
                                                    le(512), le(2), le(80), le(48)}))
            << c.bridge;
        EXPECT_EQ(slice(sent.input, 28, c.cdb.size()), c.cdb) << c.bridge;
        EXPECT_EQ(sent.outputSize, 80u + 512);
    }
}

TEST_F(DiskAccess, SatCommandRefusedByTheBridgeFails) {
    loadDisk(R"("physical": {"drive": 0, "bridge": "SAT"})");
    TSmartHardDiskSatJMicron wrong("\\\\.\\PhysicalDrive0", AccessUSB, 1, 2);
    Page page;
    page.fill(0x55);
    EXPECT_EQ(wrong.ReadAttributePage(page), DiskCommandFailed);
    EXPECT_TRUE(allZero(page));
    TSmartHardDiskSat sat("\\\\.\\PhysicalDrive0", AccessSAT, 1, 2);
    EXPECT_EQ(sat.StartSelfTest(2, false), DiskOk);
    disk::ScsiPassThroughRequest request;
    ASSERT_TRUE(disk::readLayout<disk::ScsiPassThroughRequest>(disks().recorder().back().input, request));
    EXPECT_EQ(request.dataIn, disk::ScsiDataIn);
    EXPECT_EQ(request.dataTransferLength, 0u);
    EXPECT_EQ(request.cdb[5], 0x02);
}

TEST_F(DiskAccess, ScsiMiniportRequest) {
    loadDisk(R"("scsi": {"port": 2, "target": 1})");
    TSmartHardDiskSCSI hd("\\\\.\\Scsi2:", AccessSCSI, 2, 1);
    Page page;
    ASSERT_EQ(hd.IdentifyDrive(page), DiskOk);
    EXPECT_EQ(hd.Serial, "WD-WCAWF1234567");
    EXPECT_EQ(log().back(), "sizeof(TSendCmdInParams)=33  sizeof(TSRB_IO_CONTROL)=28");
    const auto& sent = disks().recorder().back();
    EXPECT_EQ(sent.code, disk::ScsiMiniport);
    ASSERT_EQ(sent.input.size(), 28u + 32 + 512);
    EXPECT_EQ(slice(sent.input, 0, 28 + 13),
              concat({le(28), bytes({'S', 'C', 'S', 'I', 'D', 'I', 'S', 'K'}), le(2), le(0x1B0501), le(0), le(544), le(512),
                      bytes({0x00, 0x01, 0x01, 0x00, 0x00, 0xA0, 0xEC, 0x00, 1})}));

    TSmartHardDiskSCSI missing("\\\\.\\Scsi2:", AccessSCSI, 2, 5);
    EXPECT_EQ(missing.ReadAttributePage(page), DiskCommandFailed);
    EXPECT_EQ(log().back(), "SCSI.SendIDECommand error #31 (port=2 - target=5)");
    disks().pathFault("\\\\.\\Scsi2:") = {SimDiskFault::Kind::Timeout, 1};
    const auto before = machine->clock().monotonicMs();
    EXPECT_EQ(hd.ReadAttributePage(page), DiskCommandFailed);
    EXPECT_EQ(log().back(), "SCSI.SendIDECommand error #121 (port=2 - target=1)");
    EXPECT_GE(machine->clock().monotonicMs(), before + 2000);
    EXPECT_EQ(hd.ReadAttributePage(page), DiskOk);
}

class ThreeWare : public DiskTest {
protected:
    void SetUp() override {
        DiskTest::SetUp();
        load(R"({"disks": {"p0": )" + diskJson(R"("threeWare": {"drive": 1, "port": 0, "controllerId": "0x1002"})") +
             R"(, "p2": )" + diskJson(R"("serial": "PORT2", "threeWare": {"drive": 1, "port": 2, "controllerId": "0x1002"})") +
             "}}");
    }
};

TEST_F(ThreeWare, TheVersionRecordConfirmsTheController) {
    TSmartHardDisk3Ware hd("\\\\.\\PhysicalDrive1", Access3ware, 2);
    EXPECT_TRUE(hd.IsThreeWare);
    EXPECT_EQ(hd.PortMap, 5u);
    EXPECT_EQ(hd.Identifier, 0x13C1);
    EXPECT_EQ(hd.ControllerId, 0x1002);
    EXPECT_EQ(log(), (std::vector<std::string>{
                         "Creating TSmartHardDisk3Ware - device=<\\\\.\\PhysicalDrive1>",
                         "3WARE.UpdateDeviceMap success (device=\\\\.\\PhysicalDrive1 - port=2 - returned=28)",
                         "SMART Version 1.1 - IDE Map=$01 MapEx=$00000005",
                         "      Capabilities=$00000005 - Identifier=$13C1 - ControllerId=$1002",
                         "Confirmed this is a 3ware controller. Fine.",
                     }));
    const auto map = requests(disk::ScsiMiniport);
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map[0].input, concat({le(28), bytes({'<', '3', 'w', 'a', 'r', 'e', '>', 0}), le(60), le(0xCC010014), le(0), le(0)}));

    Page page;
    ASSERT_EQ(hd.IdentifyDrive(page), DiskOk);
    EXPECT_EQ(hd.Serial, "PORT2");
    EXPECT_EQ(slice(requests(disk::SmartRcvDriveData).back().input, 12, 4), bytes({0, 2, 0xC1, 0x13}));
}

TEST_F(ThreeWare, AnotherIdentifierIsNoController) {
    load(R"({"disks": {"plain": )" + diskJson(R"("physical": {"drive": 4})") + "}}");
    TSmartHardDisk3Ware hd("\\\\.\\PhysicalDrive4", Access3ware, 0);
    EXPECT_FALSE(hd.IsThreeWare);
    EXPECT_EQ(log()[3], "      Capabilities=$00000005 - Identifier=$0000 - ControllerId=$0000");
}

TEST_F(ThreeWare, RefusedCodesGoThroughTheMiniport) {
    TSmartHardDisk3Ware hd("\\\\.\\PhysicalDrive1", Access3ware, 2);
    DiskAccessLog->clear();
    disks().pathFault("\\\\.\\PhysicalDrive1") = {SimDiskFault::Kind::Fail, 1};
    Page page;
    ASSERT_EQ(hd.ReadAttributePage(page), DiskOk);
    EXPECT_EQ(page[2], 1);
    EXPECT_EQ(log(), (std::vector<std::string>{
                         "SendIDECommand : Error=$1F", "Trying with 3ware MiniPort",
                         "BufferSize=512  IOCTLBufferSize=548  sizeof(TSB)=548",
                         "3WARE.SendIDECommand success (device=\\\\.\\PhysicalDrive1 - port=2 - returned=548)"}));
    auto sent = requests(disk::ScsiMiniport).back();
    EXPECT_EQ(slice(sent.input, 0, 36), concat({le(28), bytes({'<', '3', 'w', 'a', 'r', 'e', '>', 0}), le(60),
                                                le(0xA0000000), le(0), le(520),
                                                bytes({0xD0, 0x01, 0x01, 0x4F, 0xC2, 0xA0, 0xB0, 0x02})}));

    // Without data the header says 9; a port without a disk answers a return code.
    TSmartHardDisk3Ware empty("\\\\.\\PhysicalDrive1", Access3ware, 7);
    disks().pathFault("\\\\.\\PhysicalDrive1") = {SimDiskFault::Kind::Fail, 1};
    EXPECT_EQ(empty.StartSelfTest(1, false), DiskCommandFailed);
    sent = requests(disk::ScsiMiniport).back();
    EXPECT_EQ(sent.input.size(), 36u);
    EXPECT_EQ(slice(sent.input, 24, 4), le(9));
    EXPECT_EQ(log().back(), "3WARE.SendIDECommand failed #$       1 (device=\\\\.\\PhysicalDrive1 - port=7)");
}

class Csmi : public DiskTest {
protected:
    static constexpr std::array<std::uint8_t, 8> Address = {0x50, 0x0A, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x01};
    void loadCsmi(const std::string& extra) {
        loadDisk(R"("csmi": {"port": 0, "phy": 11, "sasAddress": "0x01000000000B0A50")" + extra + "}");
    }
};

TEST_F(Csmi, StpPassThroughBuffer) {
    loadCsmi("");
    TSmartHardDiskCSMI hd("\\\\.\\Scsi0:", AccessCSMI, Address);
    Page page;
    ASSERT_EQ(hd.IdentifyDrive(page), DiskOk);
    EXPECT_EQ(hd.Model, "WDC WD5000AAKS-00V1A0");
    EXPECT_EQ(log(), (std::vector<std::string>{"Creating TSmartHardDiskCSMI - device=<\\\\.\\Scsi0:>",
                                               "CSMI.SendIDECommand - DeviceId=<\\\\.\\Scsi0:>",
                                               "CSMI.SendIDECommand(op=$EC) - Port#11 - SASAddress=1 0 0 0 0 B A 50",
                                               "CSMI.SendIDECommand returned 680 bytes"}));
    const auto& sent = disks().recorder().back();
    ASSERT_EQ(sent.input.size(), 168u + 512);
    EXPECT_EQ(slice(sent.input, 0, 72),
              concat({le(28), bytes({'C', 'S', 'M', 'I', 'S', 'A', 'S', 0}), le(60), le(25), le(0), le(652),
                      bytes({11, 0xFF, 0, 0}), bytes({0x50, 0x0A, 0x0B, 0, 0, 0, 0, 1}), bytes({0, 0, 0, 0}),
                      bytes({0x27, 0x80, 0xEC, 0x00, 0x01, 0x00, 0x00, 0xA0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0}),
                      le(0x11), le(512)}));
}

TEST_F(Csmi, StatusFisErrorOrConnectionFails) {
    for (const std::string extra : {R"(, "statusFisError": true)", R"(, "connectionStatus": 5)"}) {
        testsupport::TestMachine m;
        m->loadFromJson(R"({"disks": {"d0": )" +
                            diskJson(R"("csmi": {"port": 0, "phy": 11, "sasAddress": "0x01000000000B0A50")" + extra + "}") +
                            "}}",
                        "csmi.json");
        TSmartHardDiskCSMI hd("\\\\.\\Scsi0:", AccessCSMI, Address);
        Page page;
        EXPECT_EQ(hd.ReadAttributePage(page), DiskCommandFailed) << extra;
        EXPECT_TRUE(allZero(page));
    }
}

TEST_F(DiskAccess, SelfTestKindsAndSubCommands) {
    loadDisk(R"("physical": {"drive": 0})");
    TSmartHardDiskPhysical hd("\\\\.\\PhysicalDrive0", AccessPhysical);
    const struct {
        int kind;
        bool captive;
        std::uint8_t sub;
    } cases[] = {{0, false, 0x00}, {1, false, 0x01}, {2, false, 0x02}, {3, false, 0x03},
                 {4, false, 0x00}, {1, true, 0x81}, {4, true, 0x80}};
    for (const auto& c : cases) {
        EXPECT_EQ(hd.StartSelfTest(c.kind, c.captive), DiskOk);
        const auto& sent = disks().recorder().back();
        EXPECT_EQ(sent.code, disk::SmartSendDriveCommand);
        EXPECT_EQ(slice(sent.input, 4, 8), bytes({0xD4, 0x00, c.sub, 0x4F, 0xC2, 0xA0, 0xB0, 0x00})) << c.kind;
    }
}

TEST_F(DiskAccess, SelfTestCountsDownOnSimulatedTime) {
    loadDisk(R"("physical": {"drive": 0}, "selfTestSeconds": [100, 3600, 300])");
    TSmartHardDiskPhysical hd("\\\\.\\PhysicalDrive0", AccessPhysical);
    Page page;
    ASSERT_EQ(hd.StartSelfTest(1, false), DiskOk);
    ASSERT_EQ(hd.ReadAttributePage(page), DiskOk);
    EXPECT_EQ(page[363], 0xF9);
    machine->simClock().advance(55000);
    ASSERT_EQ(hd.ReadAttributePage(page), DiskOk);
    EXPECT_EQ(page[363], 0xF5);
    machine->simClock().advance(50000);
    ASSERT_EQ(hd.ReadAttributePage(page), DiskOk);
    EXPECT_EQ(page[363], 0x00);
    std::vector<std::uint8_t> selfTestLog(512);
    ASSERT_EQ(hd.ReadLog(0x06, 1, selfTestLog), DiskOk);
    EXPECT_EQ(selfTestLog[2], 0x01);  // the entry's sub-command
    EXPECT_EQ(selfTestLog[508], 1);
    EXPECT_EQ(SmartPageChecksum(std::span<const std::uint8_t, 512>(selfTestLog.data(), 512)) & 0xFF, 0u);
    std::vector<std::uint8_t> directory(512);
    ASSERT_EQ(hd.ReadLog(0x00, 1, directory), DiskOk);
    EXPECT_EQ(directory[2 * 6], 1);
    EXPECT_EQ(hd.ReadLog(0x01, 1, directory), DiskCommandFailed);
}

TEST_F(DiskAccess, FaultsAndTemperatureGenerators) {
    loadDisk(R"("physical": {"drive": 0, "ataPassThrough": false}, "temperature": [38, 41],
                "fault": {"kind": "fail", "times": 2})");
    TSmartHardDiskPhysical hd("\\\\.\\PhysicalDrive0", AccessPhysical);
    Page page;
    EXPECT_EQ(hd.ReadAttributePage(page), DiskCommandFailed);
    EXPECT_EQ(hd.ReadAttributePage(page), DiskCommandFailed);
    ASSERT_EQ(hd.ReadAttributePage(page), DiskOk);
    EXPECT_EQ(SmartAttributeEntry(page, 2).raw[0], 38);
    ASSERT_EQ(hd.ReadAttributePage(page), DiskOk);
    EXPECT_EQ(SmartAttributeEntry(page, 2).raw[0], 41);
    EXPECT_EQ(SmartPageChecksum(page) & 0xFF, 0u);
    disk().spec().fault = {SimDiskFault::Kind::Vanish, -1};
    EXPECT_EQ(hd.ReadAttributePage(page), DiskCommandFailed);
    EXPECT_EQ(hd.AttributeData[2 + 12 * 2 + 5], 41);  // the last good page stays
}

TEST_F(DiskAccess, GarbageAnswersAreTakenAsTheyCome) {
    loadDisk(R"("physical": {"drive": 0}, "fault": {"kind": "garbage", "times": 1})");
    TSmartHardDiskPhysical hd("\\\\.\\PhysicalDrive0", AccessPhysical);
    Page first, second;
    ASSERT_EQ(hd.ReadAttributePage(first), DiskOk);
    ASSERT_EQ(hd.ReadAttributePage(second), DiskOk);
    EXPECT_NE(first, second);
    EXPECT_EQ(SmartAttributeEntry(second, 2).id, 194);
    EXPECT_EQ(hd.AttributeData, second);
}

TEST_F(DiskAccess, BadChecksumsOnRequest) {
    loadDisk(R"("physical": {"drive": 0}, "attributeChecksum": "bad", "thresholdChecksum": "all zero")");
    TSmartHardDiskPhysical hd("\\\\.\\PhysicalDrive0", AccessPhysical);
    Page page;
    ASSERT_EQ(hd.ReadAttributePage(page), DiskOk);
    EXPECT_NE(SmartPageChecksum(page) & 0xFF, 0u);
    ASSERT_EQ(hd.ReadThresholdPage(page), DiskOk);
    EXPECT_TRUE(allZero(page));
}

TEST_F(DiskAccess, DeniedAccessIsTracedOnce) {
    machine->addDevice("\\\\.\\PhysicalDrive7", [] { return std::unique_ptr<platform::Device>(); });
    struct Denying : platform::Device {
        bool control(std::uint32_t, std::span<const std::uint8_t>, std::span<std::uint8_t>, std::uint32_t&) override {
            return false;
        }
        std::uint32_t lastError() const override { return platform::ErrorAccessDenied; }
    };
    machine->addDevice("\\\\.\\PhysicalDrive6", [] { return std::make_unique<Denying>(); });
    TSmartHardDiskPhysical hd("\\\\.\\PhysicalDrive6", AccessPhysical);
    Page page;
    EXPECT_EQ(hd.ReadAttributePage(page), DiskCommandFailed);
    EXPECT_EQ(hd.ReadAttributePage(page), DiskCommandFailed);
    const auto trace = testsupport::readFile(machine.file("debug.nfo"));
    const auto first = trace.find(DiskAccessDeniedText);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(trace.find(DiskAccessDeniedText, first + 1), std::string::npos);
}

// The demo board's disk read the way the disk sensor reads it, every 21st tick.
TEST(DemoBoardDisk, AnswersIdentityPagesAndTemperature) {
    testsupport::TestMachine machine;
    machine->loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
    DiskAccessLog.emplace();
    TSmartHardDiskPhysical hd("\\\\.\\PhysicalDrive0", AccessPhysical);
    Page page;
    ASSERT_EQ(hd.IdentifyDrive(page), DiskOk);
    EXPECT_EQ(hd.Model, "ST3500418AS");
    EXPECT_EQ(hd.SMARTSupported, fsSupported);
    auto drive = OpenSmartDrive(0);
    EXPECT_EQ(GetDriveSize(drive.get(), page), std::uint64_t{60801} * 255 * 63 * 512);
    for (int read = 0; read < 3; ++read) {
        ASSERT_EQ(hd.ReadAttributePage(page), DiskOk);
        ASSERT_EQ(hd.ReadThresholdPage(page), DiskOk);
    }
    EXPECT_EQ(SmartPageChecksum(hd.AttributeData) & 0xFF, 0u);
    EXPECT_EQ(SmartPageChecksum(hd.ThresholdData) & 0xFF, 0u);
    const auto temperature = SmartAttributeEntry(hd.AttributeData, 10);
    EXPECT_EQ(temperature.id, 194);
    EXPECT_EQ(temperature.raw[0], 37);
    EXPECT_EQ(SmartThresholdEntry(hd.ThresholdData, 0).threshold, 6);
    EXPECT_TRUE(DiskAccessLog->empty());
    DiskAccessLog.reset();
}

// A self-test carries no data: each transport sends its register image with a
// data length of 0 and answers its status. Extended test, sub-command 02h.
TEST_F(DiskAccess, SelfTestGoesThroughEveryTransport) {
    const auto zeros = [](std::size_t n) { return std::vector<std::uint8_t>(n, 0); };
    const std::vector<std::uint8_t> task = bytes({0xD4, 0x00, 0x02, 0x4F, 0xC2, 0xA0, 0xB0});
    const struct {
        const char* transport;
        const char* placement;
        std::function<std::unique_ptr<TSmartHardDisk>()> make;
        bool refuseSmartCodes;
        std::uint32_t code;
        std::vector<std::uint8_t> golden;  // the request's first bytes
    } cases[] = {
        {"Physical", R"("physical": {"drive": 0})",
         [] { return std::make_unique<TSmartHardDiskPhysical>("\\\\.\\PhysicalDrive0", AccessPhysical); }, false,
         disk::SmartSendDriveCommand, concat({le(0), task, bytes({0x00}), zeros(20)})},
        {"SAT", R"("physical": {"drive": 0, "smartCodes": false, "ataPassThrough": false, "bridge": "SAT"})",
         [] { return std::make_unique<TSmartHardDiskSat>("\\\\.\\PhysicalDrive0", AccessSAT, 1, 2); }, false,
         disk::ScsiPassThrough,
         concat({bytes({44, 0, 0, 0, 0, 0, 12, 24, 1, 0, 0, 0}), le(0), le(2), le(80), le(48),
                 bytes({0xA1, 0x08, 0x0E}), task, zeros(6)})},
        {"SCSI miniport", R"("scsi": {"port": 2, "target": 1})",
         [] { return std::make_unique<TSmartHardDiskSCSI>("\\\\.\\Scsi2:", AccessSCSI, 2, 1); }, false,
         disk::ScsiMiniport,
         concat({le(28), bytes({'S', 'C', 'S', 'I', 'D', 'I', 'S', 'K'}), le(2), le(0x1B0509), le(0), le(32), le(0),
                 task, bytes({0x00, 0x01}), zeros(19)})},
        {"CSMI", R"("csmi": {"port": 0, "phy": 11, "sasAddress": "0x01000000000B0A50"})",
         [] {
             return std::make_unique<TSmartHardDiskCSMI>(
                 "\\\\.\\Scsi0:", AccessCSMI, std::array<std::uint8_t, 8>{0x50, 0x0A, 0x0B, 0, 0, 0, 0, 0x01});
         },
         false, disk::ScsiMiniport,
         concat({le(28), bytes({'C', 'S', 'M', 'I', 'S', 'A', 'S', 0}), le(60), le(25), le(0), le(140),
                 bytes({11, 0xFF, 0, 0}), bytes({0x50, 0x0A, 0x0B, 0, 0, 0, 0, 1}), zeros(4),
                 bytes({0x27, 0x80, 0xB0, 0xD4, 0x02, 0x4F, 0xC2, 0xA0}), zeros(12), le(0x11), le(0)})},
        {"3ware", R"("threeWare": {"drive": 1, "port": 2, "controllerId": "0x1002"})",
         [] { return std::make_unique<TSmartHardDisk3Ware>("\\\\.\\PhysicalDrive1", Access3ware, 2); }, true,
         disk::ScsiMiniport,
         concat({le(28), bytes({'<', '3', 'w', 'a', 'r', 'e', '>', 0}), le(60), le(0xA0000000), le(0), le(9), task,
                 bytes({2})})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.transport);
        testsupport::TestMachine m;
        m->loadFromJson(std::string(R"({"disks": {"d": )") + diskJson(c.placement) + "}}", "selftest.json");
        DiskAccessLog.emplace();
        auto hd = c.make();
        if (c.refuseSmartCodes) m->disks().pathFault("\\\\.\\PhysicalDrive1") = {SimDiskFault::Kind::Fail, 1};
        EXPECT_EQ(hd->StartSelfTest(2, false), DiskOk);
        const auto& sent = m->disks().recorder().back();
        EXPECT_EQ(sent.code, c.code);
        EXPECT_EQ(slice(sent.input, 0, c.golden.size()), c.golden);
        EXPECT_EQ(m->disks().find("d")->selfTests(), bytes({0x02}));
    }
}
