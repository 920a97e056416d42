#include "disks/cvcsmi.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "disks/csmi.h"
#include "diskfixture.h"

namespace {

using diskfixture::diskJson;

TEST(CsmiTexts, CodesAsText) {
    const std::pair<int, std::string> rates[] = {{0, "unknown"},  {1, "phy disabled"}, {2, "rate failed"},
                                                 {3, "spinup hold"}, {4, "port selector"}, {8, "1.5GBPS"},
                                                 {9, "3.0GBPS"},  {16, "virtual"},      {10, "unknown (10)"}};
    for (const auto& [code, text] : rates) EXPECT_EQ(CsmiLinkRateText(static_cast<std::uint8_t>(code)), text);
    const std::pair<int, std::string> types[] = {{0, "unused"},
                                                 {16, "end device"},
                                                 {32, "edge expander device"},
                                                 {48, "fanout expander device"},
                                                 {1, "unknown (1)"}};
    for (const auto& [code, text] : types) EXPECT_EQ(CsmiDeviceTypeText(static_cast<std::uint8_t>(code)), text);
    const std::pair<int, std::string> protocols[] = {
        {0, "none"}, {1, "SATA"}, {6, "SMP STP"}, {15, "SATA SMP STP SSP"}, {16, "unknown (16)"}, {0x18, "SSP"}};
    for (const auto& [bits, text] : protocols) EXPECT_EQ(CsmiProtocolText(static_cast<std::uint8_t>(bits)), text);
    const std::array<std::uint8_t, 8> address = {0x50, 0x0A, 0x0B, 0x00, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(CsmiSASAddressText(address), "1 0 0 0 0 B A 50");
}

TEST(CsmiTexts, IoctlHeader) {
    platform::disk::SrbIoControl header{};
    header.returnCode = 77;
    CsmiIoctlHeader(header, 25, "CSMISAS", 512, 168);
    EXPECT_EQ(header.headerLength, 28u);
    EXPECT_EQ(std::string(header.signature, 8), std::string("CSMISAS\0", 8));
    EXPECT_EQ(header.timeout, 60u);
    EXPECT_EQ(header.controlCode, 25u);
    EXPECT_EQ(header.returnCode, 0u);
    EXPECT_EQ(header.length, 168u - 28 + 512);
}

class CsmiProbe : public diskfixture::DiskTest {
protected:
    static std::string csmiDisk(int port, int phy, const std::string& address, const std::string& extra = "",
                                const std::string& serial = "WD-WCAWF1234567", const std::string& more = "") {
        return diskJson(more + R"("serial": ")" + serial + R"(", "csmi": {"port": )" + std::to_string(port) +
                        R"(, "phy": )" + std::to_string(phy) + R"(, "sasAddress": ")" + address + "\"" + extra +
                        "}");
    }
    bool logged(const std::string& line) {
        return std::find(CsmiProbeLog.begin(), CsmiProbeLog.end(), line) != CsmiProbeLog.end();
    }
    void SetUp() override {
        DiskTest::SetUp();
        CsmiProbeLog.clear();
    }
    static constexpr const char* IaStor = "System\\CurrentControlSet\\Services\\iaStor\\Parameters";
};

TEST_F(CsmiProbe, PortsPhysIdentifyAndSmartSupport) {
    load(R"({"disks": {"good": )" + csmiDisk(0, 1, "0x0000000000010000") +
         R"(, "nosmart": )" + csmiDisk(0, 2, "0x0000000000020000", "", "S2", R"("refuse": ["enable"], )") +
         R"(, "silent": )" + csmiDisk(0, 3, "0x0000000000030000", R"(, "connectionStatus": 4)", "S3") +
         R"(, "far": )" + csmiDisk(22, 1, "0x0000000000010000", "", "S4") + "}}");
    ProbeCSMIDrives();
    // The good disk, and the one whose IDENTIFY failed; the one without S.M.A.R.T. is gone.
    ASSERT_EQ(CSMIDrives.size(), 2u);
    EXPECT_EQ(CSMIDrives[0].DeviceName, "\\\\.\\SCSI0:");
    EXPECT_EQ(CSMIDrives[0].SASAddress[2], 1);
    EXPECT_EQ(CSMIDrives[1].SASAddress[2], 3);
    EXPECT_EQ(CSMIDrives[0].DriveHandle, nullptr);
    EXPECT_TRUE(logged("Opened <\\\\.\\SCSI0:>"));
    EXPECT_TRUE(logged("  Name <simcsmi>"));
    EXPECT_TRUE(logged("Phys found: 3"));
    EXPECT_TRUE(logged("    Device Type: end device - end device"));
    EXPECT_TRUE(logged("    Initiator Port Protocol: SATA SMP STP - none"));
    EXPECT_TRUE(logged("    Link rate: negotiated=3.0GBPS - min=unknown - max=unknown"));
    EXPECT_TRUE(logged("Added drive on Phy #2"));
    EXPECT_TRUE(logged("  Found hard disk Model <WDC WD5000AAKS-00V1A0>  Firmware <05.01D05>  Serial <WD-WCAWF1234567>"));
    EXPECT_TRUE(logged("  SUCCESS READING SMART DATA FOR DRIVE 0"));
    EXPECT_TRUE(logged("DriveSupportsSmart FAILED -->"));
    EXPECT_TRUE(logged("  Removed drive on Phy #2 as it doesn't support SMART"));
    EXPECT_TRUE(logged("DoCSMIIoctl(Identify) - Port#1 - SASAddress=0 0 0 0 0 1 0 0"));
    for (const auto& r : disks().recorder()) EXPECT_EQ(r.path.find("22"), std::string::npos) << r.path;
    EXPECT_FALSE(logged("Opened <\\\\.\\SCSI22:>"));
}

TEST_F(CsmiProbe, PhyLinesFollowTheBoardsPhyBytes) {
    load(R"({"disks": {"sas": )" +
         csmiDisk(0, 1, "0x0000000000010000",
                  R"(, "initiatorProtocol": 8, "targetProtocol": 12, "negotiatedRate": 8, "minimumRate": 8, )"
                  R"("maximumRate": 16)") +
         "}}");
    ProbeCSMIDrives();
    EXPECT_TRUE(logged("    Initiator Port Protocol: SSP - none"));
    EXPECT_TRUE(logged("    Target Port Protocol: none - STP SSP"));
    EXPECT_TRUE(logged("    Link rate: negotiated=1.5GBPS - min=1.5GBPS - max=virtual"));
}

TEST_F(CsmiProbe, AtMostThirtyTwoPhysAreListed) {
    load(R"({"disks": {"d0": )" + csmiDisk(0, 1, "0x0000000000010000") + "}}");
    disks().csmiPort(0).reportedPhys = 40;
    ProbeCSMIDrives();
    EXPECT_TRUE(logged("Phys found: 40"));
    EXPECT_EQ(std::count_if(CsmiProbeLog.begin(), CsmiProbeLog.end(),
                            [](const std::string& l) { return l.rfind("  Phy #", 0) == 0; }),
              32);
    EXPECT_TRUE(logged("  Phy #31 -->"));
    EXPECT_EQ(CSMIDrives.size(), 32u);  // PHYs without a disk do not answer IDENTIFY and stay
}

TEST_F(CsmiProbe, RegistryKeyMissingPresentOrRefused) {
    load(R"({"disks": {}})");
    EXPECT_FALSE(FixRegistry().Success);
    EXPECT_EQ(CsmiProbeLog.back(), "FixRegistry error ($00000002)");

    auto& registry = machine->simSystemRegistry();
    registry.createKey("System\\CurrentControlSet\\Services\\iaStorV\\Parameters");
    EXPECT_TRUE(FixRegistry().Success);
    EXPECT_EQ(CsmiProbeLog.back(), "FixRegistry succeeded");
    EXPECT_EQ(registry.readBinary("System\\CurrentControlSet\\Services\\iaStorV\\Parameters", "CSMI"),
              (std::vector<std::uint8_t>{3, 0, 0, 0}));

    registry.createKey(IaStor);
    registry.refuseWrites(platform::ErrorAccessDenied);
    const TCsmiResult refused = FixRegistry();
    EXPECT_FALSE(refused.Success);
    EXPECT_EQ(refused.LastError, platform::ErrorAccessDenied);
    EXPECT_EQ(CsmiProbeLog.back(), "FixRegistry error ($00000005)");
    EXPECT_FALSE(registry.readBinary(IaStor, "CSMI"));

    // A machine without CSMI ports ends the probe after the registry line.
    CsmiProbeLog.clear();
    ProbeCSMIDrives();
    EXPECT_EQ(CsmiProbeLog, (std::vector<std::string>{"FixRegistry error ($00000005)"}));
    EXPECT_TRUE(CSMIDrives.empty());
}

}  // namespace
