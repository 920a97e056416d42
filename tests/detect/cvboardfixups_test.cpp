#include "detect/cvboardfixups.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "detect/cvsuperiosetup.h"
#include "detect/superiofixture.h"
#include "platform/sim/flatportrange.h"

namespace {

class WinbondActivation : public SuperIOTest {
protected:
    WinbondActivation() {
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/w83627hf-asleep.json");
        smbus = addMachineSMBusLink();
        SuperIOInfo = {33, "$002E W83627HF", 0x2E, "W83627HF", 0};
    }
    // The start-up's path: the set-up records the monitor base, the
    // activation follows when no sensor has the chip's code.
    void detect() {
        SetupWinbondFamily(context, 0, SuperIOInfo.Name, 33);
        boxes.Info.clear();
        ActivateWinbondMonitorIfMissing(context);
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> lines;
        for (const auto& line : boxes.Info)
            if (line.rfind("msg", 0) == 0) lines.push_back(line);
        return lines;
    }
    platform::sim::RegisterFile& monitorDevice() { return regs("w83627hf-config:0B"); }
    platform::sim::SMBusSegment& bus() { return machine().protocolSMBus(); }

    int smbus = -1;
};

TEST_F(WinbondActivation, SwitchesTheMonitorOnAndProbesItOnTheFirstLink) {
    const std::uint64_t start = platform::current().clock().monotonicMs();
    EXPECT_TRUE(IsISAPort290Unused(0));
    detect();
    const std::vector<std::string> expected = {
        "msg031 W83627HF", "msg000 W83627HF 002E", "msg001 W83627HF", "msg002 W83627HF", "msg004 W83627HF",
        "msg005 0290",     "msg006 0290",          "msg007",          "msg008 5C2D",     "msg026",
        "msg027 ISA 5C0290", "msg028",             "msg010 2D",       "msg015 01",       "msg016 49",
        "msg021 48",
    };
    EXPECT_EQ(messages(), expected);
    EXPECT_EQ(monitorDevice().peek(0x30) & 0x01, 0x01);
    EXPECT_EQ(regs("w83627hf-config").peek(0x2B), 0x00);
    EXPECT_FALSE(IsISAPort290Unused(0)) << "the monitor now answers at 290h";
    EXPECT_EQ(Links().size(), 2u) << "no link added at 290h";
    EXPECT_GE(platform::current().clock().monotonicMs() - start, 500u);
    EXPECT_EQ(configWrites(0x2E).back(), std::make_pair(0x2E, 0xAA));

    // once per detection
    boxes.Info.clear();
    ActivateWinbondMonitorIfMissing(context);
    EXPECT_TRUE(messages().empty());
}

TEST_F(WinbondActivation, AChipWithASensorIsLeftAlone) {
    useChip("TWinbondSensor", "W83627HF");
    factory.AddSensor(0, 0x290, 33);
    ActivateWinbondMonitorIfMissing(context);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(monitorDevice().peek(0x30), 0x00);
}

TEST_F(WinbondActivation, StepsThatCannotBeConfirmedStop) {
    struct Case {
        const char* name;
        void (*arrange)(platform::sim::RegisterFile& device);
        std::string last;
    };
    const Case cases[] = {
        {"activation bit that does not stick",
         [](platform::sim::RegisterFile& device) {
             device.set(0x30, 0x01);
             device.setBehaviour(0x30, platform::sim::RegisterBehaviour::readOnly());
         },
         "msg003 W83627HF 0290"},
        {"base write that does not stick",
         [](platform::sim::RegisterFile& device) {
             device.set(0x61, 0x10);
             device.setBehaviour(0x60, platform::sim::RegisterBehaviour::readOnly());
             device.setBehaviour(0x61, platform::sim::RegisterBehaviour::readOnly());
         },
         "msg029"},
        {"no base", [](platform::sim::RegisterFile&) { SuperIOInfo.MonitorBase = 0; }, "msg030"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SuperIOInfo.MonitorBase = 0x290;
        boxes.Info.clear();
        for (std::uint8_t reg : {0x30, 0x60, 0x61}) monitorDevice().setBehaviour(reg, {});
        monitorDevice().set(0x30, 0x00);
        monitorDevice().set(0x60, 0x02);
        monitorDevice().set(0x61, 0x90);
        c.arrange(monitorDevice());
        ActivateWinbondMonitor(context);
        ASSERT_FALSE(messages().empty());
        EXPECT_EQ(messages().back(), c.last);
        EXPECT_FALSE(monitorDevice().peek(0x30) & 0x01 && c.last != "msg003 W83627HF 0290");
        EXPECT_EQ(configWrites(0x2E).back(), std::make_pair(0x2E, 0xAA));
        machine().ports().recorder().clear();
    }
    EXPECT_EQ(SuperIOInfo.MonitorBase, 0);
}

TEST_F(WinbondActivation, OwnAddressMovesBelowADeviceThatAnswers) {
    // the monitor's SMBus side was found already: 2Dh is registered and answers
    link(smbus).RegisterAddress(0x2D);
    detect();
    const auto lines = messages();
    EXPECT_TRUE(has(lines, "msg011 2D"));
    EXPECT_TRUE(has(lines, "msg013 2C"));
    EXPECT_TRUE(has(lines, "msg014 2C"));
    EXPECT_EQ(regs("w83627hf").peek(0x48), 0x2C);
    EXPECT_TRUE(bus().slave(0x2C));
    EXPECT_FALSE(bus().slave(0x2D));
}

TEST_F(WinbondActivation, NoFreeAddressBelowLeavesItWhereItIs) {
    link(smbus).RegisterAddress(0x2D);
    for (std::uint8_t a = 0x20; a < 0x2D; ++a) {
        bus().attach(a, std::make_shared<platform::sim::SMBusSlave>());
        link(smbus).RegisterAddress(a);
    }
    detect();
    const auto lines = messages();
    EXPECT_TRUE(has(lines, "msg011 2D"));
    EXPECT_TRUE(has(lines, "msg012"));
    EXPECT_FALSE(has(lines, "msg013 2C"));
    EXPECT_EQ(regs("w83627hf").peek(0x48), 0x2D);
    EXPECT_TRUE(bus().slave(0x2D));
}

TEST_F(WinbondActivation, KernelDriverOnTheMonitorSkipsTheActivation) {
    machine().simKernelClaims().holdPorts(0x295, 0x296, "w83627hf");
    detect();
    EXPECT_EQ(messages(), std::vector<std::string>{"msg031 W83627HF"});
    EXPECT_EQ(monitorDevice().peek(0x30), 0x00);
    EXPECT_TRUE(traced("Super I/O W83627HF monitor activation skipped: ports $0290-$0297 held by kernel driver w83627hf"));
}

class BoardFixups : public SuperIOTest {};

TEST_F(BoardFixups, ICHSlaveAddress) {
    auto host = std::make_shared<platform::sim::RegisterFile>();
    platform::sim::FlatPortRange::install(machine().ports(), host, 0x400, 16, "ich host");
    struct Case {
        std::uint8_t chipset;
        std::uint8_t slave;
        bool line;
        bool placeholder;
    };
    for (const Case c : {Case{56, 0x44, true, true}, Case{59, 0x88, true, false}, Case{57, 0x00, true, false},
                         Case{58, 0x7F, true, true}, Case{55, 0x44, false, false}}) {
        restart();
        host->set(9, c.slave);
        Links().push_back(std::make_unique<TLink>(c.chipset, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                                                  testsupport::SimProtocolHost::On(segment)));
        useChip("TUnusedSensor", "unused");
        ProbeICHSlaveAddress(context, 1);
        const std::string line = cvformat::Format("INTEL ICHx Slave Address found at $%.2x", {c.slave});
        EXPECT_EQ(debugHas(line), c.line) << int(c.chipset);
        ASSERT_EQ(monitor.Sensors.size(), c.placeholder ? 1u : 0u) << int(c.chipset);
        if (c.placeholder) {
            EXPECT_EQ(monitor.Sensors[0]->FAddress, c.slave);
        }
    }
}

TEST_F(BoardFixups, NothingAt290h) {
    EXPECT_TRUE(IsISAPort290Unused(0));
    machine().loadFromFile(CALDAVOR_BOARDS_DIR "/w83627hf.json");
    EXPECT_FALSE(IsISAPort290Unused(0));
}

TEST_F(BoardFixups, DellSupport) {
    useChip("TDELLSensor", "DELL");
    monitor.Options.DellFans = true;
    monitor.ScanFlags.NoPCIScan = true;
    EXPECT_FALSE(CheckDellSupport(context));
    EXPECT_TRUE(monitor.Options.DellFans) << "no system call was made";
    EXPECT_FALSE(traced("PCI scanning is enabled"));
    EXPECT_TRUE(traced("End of DELL support check"));
    EXPECT_TRUE(monitor.Sensors.empty());

    // the calls answer nothing: the empty sensor goes, the option is cleared and saved
    monitor.ScanFlags.NoPCIScan = false;
    EXPECT_FALSE(CheckDellSupport(context));
    EXPECT_TRUE(monitor.Sensors.empty());
    EXPECT_FALSE(monitor.Options.DellFans);
    EXPECT_TRUE(std::filesystem::exists(monitor.OptionsFilePath()));
    for (const char* line : {"DELL Support Enabling has been disabled", "because SYSTEM CALLS were unsuccessful",
                             "Please, report if you think this is an error"})
        EXPECT_TRUE(bothHave(line)) << line;
}

TEST_F(BoardFixups, TigerMPSetsTheDiodeTypesAndForgetsEarlierReadings) {
    machine().loadFromFile(CALDAVOR_BOARDS_DIR "/w83627hf.json");
    factory.AddSensor(0, 0x290, 33);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    TSensor& sensor = *monitor.Sensors[0];
    sensor.ReadTemps();
    HandleSpecialBoardTrap1(context);
    EXPECT_FALSE(debugHas("Initializing temperatures for Tyan TigerMP")) << "only with the switch";

    monitor.ScanFlags.TigerMP = true;
    HandleSpecialBoardTrap1(context);
    int fixed = 0;
    for (int i = 0; i < sensor.GetPropCount(); ++i) {
        const std::string name = sensor.GetPropName(i);
        if (name.find("Temperature sensor diode") == std::string::npos) continue;
        ++fixed;
        EXPECT_EQ(sensor.GetPropValue(i), "PII 2N3904") << name;
        EXPECT_TRUE(debugHas("Fixed " + name + " for " + sensor.FChipName)) << name;
    }
    EXPECT_GT(fixed, 0);
    for (int t = 1; t <= sensor.GetTempCount(); ++t) EXPECT_EQ(sensor.GetTemp(t).Stats->FCount, 0);
}

}  // namespace
