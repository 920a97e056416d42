#include "hw/cvosinfo.h"

#include <cmath>

#include "hwfixture.h"

namespace {

using Answer = platform::OsVersion::Answer;

constexpr unsigned NT = 1, XP = 2, Vista = 4, W7 = 8, W8 = 16, W81 = 32, W10 = 64;

struct KindCase {
    std::uint32_t platformId, major, minor;
    const char* csd;
    std::uint8_t productType;
    std::uint16_t suiteMask;
    bool serverR2;
    // expected
    int kind;
    const char* name;
    unsigned flags;
};

constexpr unsigned AllFrom7 = NT | XP | Vista | W7;

const KindCase kindCases[] = {
    {1, 4, 0, "", 1, 0, false, 1, "Windows 95", 0},
    {1, 4, 0, " B ", 1, 0, false, 2, "Windows 95 OSR2", 0},
    {1, 4, 0, "C", 1, 0, false, 1, "Windows 95", 0},
    {1, 4, 10, "", 1, 0, false, 3, "Windows 98", 0},
    {1, 4, 10, "A", 1, 0, false, 4, "Windows 98 SE", 0},
    {1, 4, 90, "", 1, 0, false, 8, "Windows ME", 0},
    {1, 4, 50, "", 1, 0, false, 1, "Unknown OS", 0},
    {2, 3, 51, "", 1, 0, false, 5, "Windows NT 3", NT},
    {2, 4, 0, "Service Pack 6", 1, 0, false, 6, "Windows NT 4", NT},
    {2, 5, 0, "", 1, 0, false, 7, "Windows 2000", NT},
    {2, 5, 1, "", 1, 0, false, 9, "Windows XP", NT | XP},
    {2, 5, 2, "", 1, 0, false, 9, "Windows XP Professional x64", NT | XP},
    {2, 5, 2, "", 3, 0x8000, true, 12, "Windows Home Server", NT | XP},
    {2, 5, 2, "", 3, 0, true, 12, "Windows Server 2003 R2", NT | XP},
    {2, 5, 2, "", 2, 0, false, 11, "Windows Server 2003", NT | XP},
    {2, 5, 3, "", 1, 0, false, 7, "Unknown OS", NT},
    {2, 6, 0, "", 1, 0, false, 13, "Windows Vista", NT | XP | Vista},
    {2, 6, 0, "", 3, 0, false, 15, "Windows Server 2008", NT | XP | Vista},
    {2, 6, 1, "", 1, 0, false, 16, "Windows 7", AllFrom7},
    {2, 6, 1, "", 3, 0, false, 18, "Windows Server 2008 R2", AllFrom7},
    {2, 6, 2, "", 1, 0, false, 19, "Windows 8", AllFrom7 | W8},
    {2, 6, 2, "", 3, 0, false, 21, "Windows Server 2012", AllFrom7 | W8},
    {2, 6, 3, "", 1, 0, false, 22, "Windows 8.1", AllFrom7 | W8 | W81},
    {2, 6, 3, "", 3, 0, false, 24, "Windows Server 2012 R2", AllFrom7 | W8 | W81},
    {2, 6, 4, "", 3, 0, false, 25, "Windows 10", AllFrom7 | W8 | W81 | W10},
    {2, 6, 5, "", 1, 0, false, 13, "Unknown OS", NT | XP | Vista},
    {2, 10, 0, "", 1, 0, false, 25, "Windows 10", AllFrom7 | W8 | W81 | W10},
    {2, 10, 1, "", 1, 0, false, 25, "Unknown OS", AllFrom7 | W8 | W81 | W10},
    // Versions newer than the table take the newest kinds it knows.
    {2, 7, 0, "", 1, 0, false, 22, "Unknown OS", AllFrom7 | W8 | W81},
    {2, 9, 2, "", 1, 0, false, 22, "Unknown OS", AllFrom7 | W8 | W81},
    {2, 11, 0, "", 1, 0, false, 25, "Unknown OS", AllFrom7 | W8 | W81 | W10},
    {2, 2, 0, "", 1, 0, false, 5, "Unknown OS", NT},
};

class OsKind : public HwTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(OsKind, FollowsTheVersionTable) {
    const KindCase& c = GetParam();
    platform::OsVersion os;
    os.platformId = c.platformId;
    os.major = c.major;
    os.minor = c.minor;
    os.csdVersion = c.csd;
    os.productType = c.productType;
    os.suiteMask = c.suiteMask;
    os.serverR2 = c.serverR2;
    machine().setOsVersion(os);

    const TNosOperatingSystem info;
    EXPECT_EQ(info.Kind, c.kind);
    EXPECT_EQ(info.KindName, c.name);
    const unsigned flags = (info.IsNT ? NT : 0u) | (info.IsXPOrLater ? XP : 0u) | (info.IsVistaOrLater ? Vista : 0u) |
                           (info.Is7OrLater ? W7 : 0u) | (info.Is8OrLater ? W8 : 0u) | (info.Is81OrLater ? W81 : 0u) |
                           (info.Is10OrLater ? W10 : 0u);
    EXPECT_EQ(flags, c.flags);
    EXPECT_EQ(info.PlatformName, c.platformId == 1 ? "Windows 9x" : "Windows NT");
}

INSTANTIATE_TEST_SUITE_P(Versions, OsKind, ::testing::ValuesIn(kindCases));

TEST_F(HwTest, FailedVersionQueryLeavesKindZero) {
    platform::OsVersion os;
    os.answer = Answer::Fails;
    machine().setOsVersion(os);
    const TNosOperatingSystem info;
    EXPECT_EQ(info.Kind, 0);
    EXPECT_EQ(info.KindName, "");
    EXPECT_EQ(info.Major + info.Minor + info.Build + info.PlatformId, 0u);
    EXPECT_FALSE(info.IsNT);
    EXPECT_EQ(info.PlatformName, "");
}

TEST_F(HwTest, ShortVersionRecordHasNoProductType) {
    platform::OsVersion os;
    os.major = 6;
    os.minor = 1;
    os.servicePackMajor = 1;
    os.suiteMask = 0x100;
    os.answer = Answer::ShortOnly;
    machine().setOsVersion(os);
    const TNosOperatingSystem info;
    EXPECT_EQ(info.ServicePackMajor, 0);
    EXPECT_EQ(info.SuiteMask, 0);
    EXPECT_EQ(info.ProductType, 0);
    EXPECT_FALSE(info.IsWorkstation);
    EXPECT_EQ(info.KindName, "Windows Server 2008 R2");
}

TEST_F(HwTest, ProductTypeSetsTheRoleFlags) {
    const struct {
        std::uint8_t type;
        bool workstation, domainController, server;
    } cases[] = {{1, true, false, false}, {2, false, true, true}, {3, false, false, true}};
    for (const auto& c : cases) {
        platform::OsVersion os;
        os.productType = c.type;
        machine().setOsVersion(os);
        const TNosOperatingSystem info;
        EXPECT_EQ(info.IsWorkstation, c.workstation);
        EXPECT_EQ(info.IsDomainController, c.domainController);
        EXPECT_EQ(info.IsServer, c.server);
    }
}

TEST_F(HwTest, StartUpTracesTheDetectedSystem) {
    platform::OsVersion os;
    os.major = 6;
    os.minor = 1;
    os.build = 7601;
    machine().setOsVersion(os);
    InitializeCvosinfo();
    ASSERT_TRUE(OperatingSystem);
    EXPECT_EQ(trace(),
              (std::vector<std::string>{"Initializing CVOSINFO", "CVOSINFO detected OS is <Windows 7> (6.1.7601)"}));
}

// ---- the machine -------------------------------------------------------------

class MachineTest : public HwTest {
protected:
    void setBiosVersion(std::vector<std::string> texts) {
        machine().simSystemRegistry().setValue("\\HARDWARE\\DESCRIPTION\\System", "SystemBiosVersion",
                                               platform::MemorySystemRegistry::MultiString{std::move(texts)});
    }
};

TEST_F(MachineTest, BiosVersionStringsRunTogetherFromXPOn) {
    setBiosVersion({"ACRSYS - 1", "BIOS Date: 05/07/10"});
    auto& registry = machine().simSystemRegistry();
    registry.setValue("\\HARDWARE\\DESCRIPTION\\System", "Identifier", std::string("AT/AT COMPATIBLE"));
    registry.setValue("\\HARDWARE\\DESCRIPTION\\System", "SystemBiosDate", std::string("05/07/10"));
    TNosMachine info;
    info.Refresh();
    EXPECT_EQ(info.BiosVersion, "ACRSYS - 1BIOS Date: 05/07/10");
    EXPECT_EQ(info.BiosName, "AT/AT COMPATIBLE");
    EXPECT_EQ(info.BiosDate, "05/07/10");
    EXPECT_EQ(info.BiosExtendedInfo, "");

    setOs(5, 0);
    info.Refresh();
    EXPECT_EQ(info.BiosVersion, "ACRSYS - 1");
}

TEST_F(MachineTest, BiosVersionIsReadWithinItsBuffer) {
    setBiosVersion({std::string(300, 'X')});
    TNosMachine info;
    info.Refresh();
    EXPECT_EQ(info.BiosVersion, std::string(255, 'X'));
}

TEST_F(MachineTest, Windows9xReadsBiosStringsFromMemory) {
    setOs(4, 10, 1);
    std::vector<std::uint8_t> rom(0x10000, 0);
    const auto put = [&](std::uint32_t address, const std::string& text) {
        std::copy(text.begin(), text.end(), rom.begin() + (address - 0xF0000));
    };
    put(0xFE061, "IBM COMPATIBLE 486 BIOS");
    put(0xFFFF5, "08/12/99");
    put(0xFE091, "Award v4.51PG");
    put(0xFEC71, "ext");
    machine().memory().addRegion(0xF0000, rom);
    TNosMachine info;
    info.Refresh();
    EXPECT_EQ(info.BiosName, "IBM COMPATIBLE 486 BIOS");
    EXPECT_EQ(info.BiosDate, "08/12/99");
    EXPECT_EQ(info.BiosVersion, "Award v4.51PG");
    EXPECT_EQ(info.BiosExtendedInfo, "ext");
}

TEST_F(MachineTest, NamesLocksAndTimes) {
    machine().identity().computerName = "BOX";
    machine().identity().userName = "alice";
    machine().identity().keyStates = {{0x91, 1}, {0x90, 0x81}, {0x14, 0}};
    machine().identity().uptimeAtStartMs = 86400000;
    TNosMachine info;
    info.Refresh();
    EXPECT_EQ(info.ComputerName, "BOX");
    EXPECT_EQ(info.UserName, "alice");
    EXPECT_TRUE(info.ScrollLock);
    EXPECT_FALSE(info.NumLock);  // toggled, but held down as well
    EXPECT_FALSE(info.CapsLock);
    EXPECT_EQ(info.UptimeSeconds, 86400);
    EXPECT_NEAR(Now() - info.BootTime, 1.0, 1e-6);

    machine().simSystemRegistry().setValue("\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName",
                                           "ComputerName", std::string("REGBOX"));
    info.Refresh();
    EXPECT_EQ(info.ComputerName, "REGBOX");
}

TEST_F(MachineTest, ComputerDescriptionComesFromTheComputerClass) {
    auto& registry = machine().simSystemRegistry();
    const std::string root = "SYSTEM\\CurrentControlSet\\Control\\Class\\";
    registry.setValue(root + "{1}", "Class", std::string("Display"));
    registry.setValue(root + "{1}\\0000", "DriverDesc", std::string("Graphics"));
    registry.setValue(root + "{2}", "Class", std::string("COMPUTER"));
    registry.createKey(root + "{2}\\0000");
    registry.setValue(root + "{2}\\0001", "DriverDesc", std::string("ACPI x64-based PC"));
    registry.setValue(root + "{2}\\0002", "DriverDesc", std::string("Other PC"));
    TNosMachine info;
    info.Refresh();
    EXPECT_EQ(info.ComputerDescription, "ACPI x64-based PC");
}

TEST_F(MachineTest, Windows9xFollowsTheComputerClassLink) {
    setOs(4, 10, 1);
    auto& registry = machine().simSystemRegistry();
    const std::string root = "SYSTEM\\CurrentControlSet\\Services\\Class\\";
    registry.setValue(root + "System", "Class", std::string("Computer"));
    registry.setValue(root + "System", "Link", std::string("pc"));
    registry.setValue(root + "PC\\0000", "DriverDesc", std::string("Standard PC"));
    TNosMachine info;
    info.Refresh();
    EXPECT_EQ(info.ComputerDescription, "Standard PC");

    registry.setValue(root + "System", "Link", std::string("missing"));
    info.Refresh();
    EXPECT_EQ(info.ComputerDescription, "");
}

TEST_F(HwTest, WindowsPathsListTheWindowsAndSystemFolders) {
    machine().setWindowsDir("C:\\WINNT");
    EXPECT_EQ(GetWindowsPaths(), "C:\\WINNT;C:\\WINNT\\System32;");
}

}  // namespace
