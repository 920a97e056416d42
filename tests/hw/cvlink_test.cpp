// The link object: names, addresses, statistics, outcome texts and the
// global link list.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "hw/cvbuslocks.h"
#include "hw/cvlink.h"
#include "hwfixture.h"

namespace {

using LinkTest = HwTest;

struct NameCase {
    int linkKind;
    int hostKind;
    std::uint32_t base;
    const char* bus;
    const char* host;
    const char* display;
};

TEST_F(LinkTest, NamesComeFromLinkKindHostKindAndBase) {
    const NameCase cases[] = {
        {4, 2, 0x400, "SMBus", "Intel", "SMBusIntel@$400"},
        {2, 5, 0x290, "ISA", "", "ISA@$290"},
        {3, 6, 0xCCB, "ISA flat", "", "ISA flat@$CCB"},
        {15, 18, 0x2E0, "EC Nuvoton", "ECNuvoton", "EC NuvotonECNuvoton@$2E0"},
        {6, 0, 0, "PCI", "", "PCI@$0"},
        {12, 0, 0, "3ware RAID", "", "3ware RAID@$0"},
        {4, 1, 0x500, "SMBus", "Unknown", "SMBusUnknown@$500"},
        {4, 17, 0x4048, "SMBus", "IntelMCH", "SMBusIntelMCH@$4048"},
        {1, 19, 0xABCDEF, "Unknown", "Unknown", "UnknownUnknown@$ABCDEF"},
        {16, 16, 0x10, "Unknown", "GeodeCompanion", "UnknownGeodeCompanion@$10"},
    };
    for (const NameCase& c : cases) {
        TLink link(0, static_cast<std::uint8_t>(c.linkKind), static_cast<std::uint8_t>(c.hostKind), c.base, 0);
        EXPECT_EQ(link.BusText(), c.bus) << c.display;
        EXPECT_EQ(link.HostText(), c.host) << c.display;
        EXPECT_EQ(link.DisplayName(), c.display);
    }
}

TEST_F(LinkTest, GraphicsI2CIsNamedByPciLocationAndRegisterPair) {
    TLink link(0, LinkKinds::SMBus, HostKinds::I2CNVidia, 0x3E3F, 0);
    EXPECT_EQ(link.DisplayName(), "SMBusI2CNVidia@$FFFFFF3E3F");
    link.SetPciBus(1);
    link.SetPciDevice(0);
    link.SetPciFunction(0);
    EXPECT_EQ(link.DisplayName(), "SMBusI2CNVidia@$0100003E3F");
    EXPECT_EQ(link.PciBus(), 1);
}

TEST_F(LinkTest, NameUpdatesTraceTheLinkOnce) {
    TLink link(0, LinkKinds::SMBus, HostKinds::I2CNVidia, 0x3E3F, 0);
    link.SetPciBus(1);
    link.SetPciDevice(2);
    TLink isa(2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0);
    EXPECT_EQ(trace(), (std::vector<std::string>{"Linking I2CNVidia SMBus at $3E3F", "Linking  ISA at $0290"}));
}

TEST_F(LinkTest, NewLinkState) {
    TLink link(7, LinkKinds::SMBus, HostKinds::VIA, 0x5000, 3);
    EXPECT_TRUE(link.Named());
    EXPECT_EQ(link.ChipsetCode(), 7);
    EXPECT_EQ(link.Flag(), 3);
    EXPECT_EQ(link.PciBus(), 255);
    EXPECT_EQ(link.PciDevice(), 255);
    EXPECT_EQ(link.PciFunction(), 255);
    EXPECT_FALSE(link.DebugMode());
    EXPECT_EQ(link.LastError(), 0);
    EXPECT_EQ(link.MaxPolls(), -1000);
    EXPECT_EQ(link.MinPolls(), 2147483647);
    EXPECT_TRUE(link.IsReady());
}

TEST_F(LinkTest, AddressesRegisterUnregisterAndLookup) {
    TLink smbus(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0);
    smbus.RegisterAddress(0x2D);
    smbus.RegisterAddress(0x2D);
    smbus.RegisterAddress(0x4C);
    smbus.UnregisterAddress(0x2D);
    EXPECT_EQ(smbus.RegisteredAddresses(), (std::vector<int>{0x2D, 0x4C}));
    EXPECT_FALSE(smbus.IsUnregisteredAddress(0x2D));
    smbus.UnregisterAddress(0x99);
    smbus.UnregisterAddress(0x2D);
    EXPECT_TRUE(smbus.IsUnregisteredAddress(0x2D));
    EXPECT_EQ(smbus.RegisteredAddresses(), (std::vector<int>{0x4C}));
}

TEST_F(LinkTest, NominalLinksKeepNoAddressList) {
    for (int kind : {5, 6, 9, 10, 11, 12, 14}) {
        TLink link(0, static_cast<std::uint8_t>(kind), 0, 0, 0);
        link.RegisterAddress(0x2D);
        EXPECT_TRUE(link.RegisteredAddresses().empty()) << kind;
    }
    for (int kind : {2, 3, 4, 7, 8, 13, 15}) {
        TLink link(0, static_cast<std::uint8_t>(kind), 0, 0, 0);
        link.RegisterAddress(0x2D);
        EXPECT_EQ(link.RegisteredAddresses().size(), 1u) << kind;
    }
}

TEST_F(LinkTest, CountPolls) {
    TLink link(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0);
    link.CountPolls(0);
    link.CountPolls(100);
    link.CountPolls(40);
    EXPECT_EQ(link.PollCount(), 3u);
    EXPECT_EQ(link.ZeroPollCount(), 1u);
    EXPECT_EQ(link.NonZeroPollCount(), 2u);
    EXPECT_EQ(link.NonZeroPollSum(), 140.0);
    EXPECT_EQ(link.MinPolls(), 40);
    EXPECT_EQ(link.MaxPolls(), 100);
}

TEST_F(LinkTest, LogTransactionBooksOutcomesAndRetries) {
    TLink link(0, LinkKinds::SMBus, HostKinds::AMD, 0x400, 0);
    std::vector<std::string> log;
    link.SetOnLog([&](TLink& sender, const std::string& msg) {
        EXPECT_EQ(&sender, &link);
        log.push_back(msg);
    });
    link.LogTransaction(false, false, 8, 0x10, 0x2D, "SELB");
    EXPECT_EQ(link.OutcomeCount(-1), 1u);
    EXPECT_EQ(link.OutcomeCount(8), 1u);
    link.LogTransaction(false, false, 11, 0x10, 0x2D, "SELB");
    EXPECT_EQ(link.OutcomeCount(-2), 1u);
    EXPECT_EQ(link.OutcomeCount(-1), 2u);
    link.LogTransaction(true, false, 3, 0x10, 0x2D, "SELB");
    EXPECT_EQ(link.OutcomeCount(3), 1u);
    EXPECT_EQ(link.OutcomeCount(-1), 2u);
    EXPECT_TRUE(log.empty()) << "unregistered addresses are never logged";

    machine().simClock().advance(3'723'004);  // 1 h 2 min 3.004 s
    link.LogTransaction(false, true, 8, 0, 0x4C, "READBLK");
    link.LogTransaction(true, true, 1, 0x0A, 0x4C, "SELW");
    link.LogTransaction(true, true, 2, 0x0A, 0x4C, "SELW");
    EXPECT_EQ(log, (std::vector<std::string>{"11:02:03.004 Unsuccessful READBLK $00 to $4C on AMD",
                                             "11:02:03.004 SELW $0A to $4C on AMD (2 retries)"}));
}

TEST_F(LinkTest, LogIsQuietOrWithoutSink) {
    TLink link(0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0);
    link.Log("nobody listens");
    std::vector<std::string> log;
    link.SetOnLog([&](TLink&, const std::string& msg) { log.push_back(msg); });
    link.Log("quiet", true);
    link.Log("heard");
    EXPECT_EQ(log, std::vector<std::string>{"heard"});
}

// Which bus lock BeginAccess takes: none, the ISA lock or the SMBus lock.
TEST_F(LinkTest, BeginAccessTakesTheLockOfTheLinkKind) {
    InitializeBusLocks();
    enum Lock { None, Isa, SMBus };
    struct Case {
        int linkKind;
        int hostKind;
        Lock lock;
    };
    const Case cases[] = {
        {2, 5, Isa},    {3, 6, Isa},   {4, 2, SMBus},  {4, 13, SMBus}, {15, 18, SMBus}, {2, 2, SMBus},
        {4, 5, Isa},    {5, 0, None},  {6, 0, None},   {7, 0, None},   {8, 0, None},    {9, 0, None},
        {10, 0, None},  {11, 0, None}, {12, 0, None},  {13, 0, None},  {14, 0, None},   {1, 5, None},
    };
    for (const Case& c : cases) {
        TLink link(0, static_cast<std::uint8_t>(c.linkKind), static_cast<std::uint8_t>(c.hostKind), 0x290, 0);
        link.BeginAccess();
        link.BeginAccess();  // nested brackets only count
        const int n = c.lock == None ? 0 : 2;
        EXPECT_EQ(BusLockCount(true), c.lock == Isa ? n : 0) << c.linkKind << "/" << c.hostKind;
        EXPECT_EQ(BusLockCount(false), c.lock == SMBus ? n : 0) << c.linkKind << "/" << c.hostKind;
        link.EndAccess();
        link.EndAccess();
        EXPECT_EQ(BusLockCount(true), 0);
        EXPECT_EQ(BusLockCount(false), 0);
    }
    FinalizeBusLocks();
}

TEST(SMBusResultTexts, EveryCode) {
    const std::pair<int, const char*> texts[] = {
        {0, "No error"},         {1, "unknown error"},  {2, "collision"},
        {3, "timeout waiting to start"}, {4, "timeout waiting for end"}, {5, "timeout"},
        {6, "protocol error"},   {7, "not complete"},   {8, "not completed"},
        {9, "unknown failure"},  {10, "no ack"},        {11, "device error"},
        {12, "command denied"},  {13, "access denied"}, {14, "busy"},
        {15, "PEC error"},       {16, "unsupported protocol"}, {17, "17"},
        {255, "255"}};
    for (const auto& [code, text] : texts) EXPECT_EQ(SMBusResultText(static_cast<std::uint8_t>(code)), text);
}

// ---- the global link list ---------------------------------------------------

class LinkList : public HwTest {
protected:
    LinkList() { Links().clear(); }
    ~LinkList() override {
        Links().clear();
        SetLinkRegistration({});
    }

    void Register(bool debugMode) {
        SetLinkRegistration({debugMode,
                             [this](TLink& sender, const std::string& msg) {
                                 linkLog.push_back(sender.BusText() + ":" + msg);
                             },
                             [this](const std::string& msg) { boxes.push_back("both:" + msg); },
                             [this](const std::string& msg, bool toBoth) {
                                 boxes.push_back((toBoth ? "info:" : "debug:") + msg);
                             }});
    }

    std::vector<std::string> boxes;
    std::vector<std::string> linkLog;
};

TEST_F(LinkList, AddLinkAppendsAndConfiguresTheLink) {
    Register(false);
    AddLink("ISA BUS", 2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0, 0, 0, 0);
    AddLink("Intel ICH5", 58, LinkKinds::SMBus, HostKinds::Intel, 0x400, 1, 0, 0x1F, 3);
    ASSERT_EQ(Links().size(), 2u);
    const TLink& last = *Links().back();
    EXPECT_EQ(last.ChipsetCode(), 58);
    EXPECT_EQ(last.Flag(), 1);
    EXPECT_EQ(last.PciDevice(), 0x1F);
    EXPECT_EQ(last.PciFunction(), 3);
    EXPECT_FALSE(last.DebugMode());
    EXPECT_TRUE(boxes.empty());
    Links().back()->Log("hello");
    EXPECT_EQ(linkLog, std::vector<std::string>{"SMBus:hello"});
}

TEST_F(LinkList, DebugModeAnnouncesEachLinkByKind) {
    Register(true);
    struct Case {
        int linkKind;
        const char* name;
        std::uint32_t base;
        const char* line;
    };
    const Case cases[] = {
        {2, "ISA BUS", 0x290, "info:Linked ISA BUS at $0290"},
        {3, "ISA flat", 0xCCB, "info:Linked ISA (flat) BUS at $0CCB"},
        {4, "Intel ICH5", 0x400, "info:Linked Intel ICH5 SMBUS at $0400"},
        {5, "SMART", 0, "debug:Linked S.M.A.R.T."},
        {6, "PCI BUS", 0, "debug:Linked PCI"},
        {7, "JOY", 0, "debug:Linked JOYSTICK"},
        {8, "ACPI", 0, "debug:Linked ACPI"},
        {9, "SCSI", 0, "debug:Linked SCSI"},
        {10, "NVCPL", 0, "debug:Linked NVCPL"},
        {11, "Areca", 0, "debug:Linked Areca RAID"},
        {12, "3ware", 0, "debug:Linked AMCC/3ware RAID"},
        {13, "AdvSMART", 0, "debug:Linked AdvSMART"},
        {14, "HECI", 0, "debug:Linked HECI"},
        {15, "EC", 0x2E0, "debug:Linked EC Nuvoton"},
        {1, "Odd", 0x12, "both:Unknown BUS (Odd) at $0012"},
    };
    for (const Case& c : cases) {
        boxes.clear();
        AddLink(c.name, 0, static_cast<std::uint8_t>(c.linkKind), 0, c.base, 0, 0, 0, 0);
        EXPECT_EQ(boxes, std::vector<std::string>{c.line});
        EXPECT_TRUE(Links().back()->DebugMode());
    }
    EXPECT_EQ(Links().size(), std::size(cases));
}

}  // namespace
