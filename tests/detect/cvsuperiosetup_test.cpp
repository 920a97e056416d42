#include "detect/cvsuperiosetup.h"

#include <gtest/gtest.h>

#include "base/cvformat.h"
#include "detect/superiofixture.h"

namespace {

using cvformat::Format;

// One configuration space at 2Eh: key, global registers, devices.
std::string Chip(const std::string& key, const std::string& globals, const std::string& devices) {
    return R"({"superIO": [{"name": "sio", "indexPort": "0x2E", "dataPort": "0x2F", "enterKey": )" + key +
           R"(, "exitKey": "0xAA", "globals": )" + globals + R"(, "devices": )" + devices + "}]}";
}
const std::string WinbondKeyText = R"(["0x87", "0x87"])";
const std::string ITEKeyText = R"(["0x87", "0x01", "0x55", "0x55"])";
const std::string SMSCKeyText = R"(["0x55", "0x55"])";
const std::string SMSCOnceKeyText = R"(["0x55"])";

class SuperIOSetup : public SuperIOTest {
protected:
    void setBase(const std::string& device, int base) {
        regs("sio:" + device).set(0x60, static_cast<std::uint16_t>(base >> 8));
        regs("sio:" + device).set(0x61, static_cast<std::uint16_t>(base & 0xFF));
    }
    bool inConfigMode() { return machine().ports().read(0x2F, 1) != 0xFF || machine().ports().read(0x2E, 1) != 0xFF; }
};

TEST_F(SuperIOSetup, ITEControllerOutsideTheFirstLinkGetsItsOwnLink) {
    load(Chip(ITEKeyText, R"({"0x07": "0x07", "0x20": "0x87", "0x21": "0x12", "0x25": "0x5A"})",
              R"({"0x04": {"0x30": "0x01"}})"));
    struct Case {
        int base;
        bool linked;
    };
    for (const Case c : {Case{0x290, false}, Case{0x228, true}}) {
        restart();
        setBase("04", c.base);
        SetupITE(context, 0, "$002E IT8712F", 86);
        const std::string adding = Format(" --> Adding non-standard ISA for $002E IT8712F at $%.4x", {c.base});
        EXPECT_EQ(debugHas(adding), c.linked) << c.base;
        ASSERT_EQ(Links().size(), c.linked ? 2u : 1u) << c.base;
        EXPECT_EQ(link(lastLink()).BaseAddress(), static_cast<std::uint32_t>(c.base));
        EXPECT_EQ(link(lastLink()).LinkKind(), LinkKinds::ISA);
        EXPECT_TRUE(monitor.Sensors.empty());
        EXPECT_TRUE(debugHas(" --> [$25]=$5A"));
        EXPECT_TRUE(debugHas(Format(" --> LDN4 [$60]=$%.4x [$62]=$0000 [$64]=$0000 (enabled)", {c.base})));
        EXPECT_EQ(regs("sio").peek(0x07), 0x07) << "the selected device is restored";
        const auto writes = configWrites(0x2E);
        ASSERT_GE(writes.size(), 3u);
        EXPECT_EQ(std::vector(writes.end() - 3, writes.end()),
                  (std::vector<std::pair<int, int>>{{0x2E, 0xAA}, {0x2E, 0x02}, {0x2F, 0x02}}));
        EXPECT_FALSE(inConfigMode());
    }
}

TEST_F(SuperIOSetup, W83627HFMonitorOutsideTheFirstLinkGetsAnExtLink) {
    load(Chip(WinbondKeyText, R"({"0x20": "0x52", "0x21": "0x17"})", R"({"0x0B": {"0x30": "0x01"}})"));
    struct Case {
        int base;
        bool linked;
    };
    for (const Case c : {Case{0x290, false}, Case{0xA10, true}}) {
        restart();
        setBase("0B", c.base);
        SetupWinbondFamily(context, 0, "$002E W83627HF", 33);
        EXPECT_EQ(SuperIOInfo.MonitorBase, c.base);
        EXPECT_TRUE(debugHas("$002E W83627HF hardware monitoring is enabled"));
        EXPECT_TRUE(debugHas(Format("$002E W83627HF hardware monitoring is at ISA $%.4x", {c.base})));
        EXPECT_EQ(debugHas(Format("Added ISA link at $%.4x", {c.base})), c.linked);
        ASSERT_EQ(Links().size(), c.linked ? 2u : 1u);
        EXPECT_EQ(link(lastLink()).BaseAddress(), static_cast<std::uint32_t>(c.base));
        EXPECT_TRUE(monitor.Sensors.empty());
        EXPECT_EQ(configWrites(0x2E).back(), std::make_pair(0x2E, 0xAA));
        EXPECT_FALSE(inConfigMode());
    }
}

TEST_F(SuperIOSetup, NCT6791DUnlocksAndAddsItsSensorOnlyOnAnExistingLink) {
    load(Chip(WinbondKeyText, R"({"0x20": "0xC8", "0x21": "0x03", "0x28": "0x10"})", R"({"0x0B": {"0x30": "0x01"}})"));
    useChip("TWinbondSensor", "NCT6791D");
    setBase("0B", 0x290);
    SetupWinbondFamily(context, 0, "$002E NCT6791D", 230);
    EXPECT_TRUE(debugHas("  -> Unlocking H/M IO space ($10)..."));
    EXPECT_TRUE(debugHas("INFO: found ISA link at address $0290"));
    EXPECT_EQ(regs("sio").peek(0x28), 0x00);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FChipCode, 230);
    EXPECT_EQ(monitor.Sensors[0]->FLink, &link(0));
    EXPECT_EQ(monitor.Sensors[0]->FAddress, 0x290u);

    restart();
    regs("sio").set(0x28, 0x10);
    setBase("0B", 0xA00);
    SetupWinbondFamily(context, 0, "$002E NCT6791D", 230);
    EXPECT_EQ(regs("sio").peek(0x28), 0x10) << "left alone without a link at the base";
    ASSERT_EQ(Links().size(), 2u);
    EXPECT_EQ(link(1).BaseAddress(), 0xA00u);
    EXPECT_TRUE(monitor.Sensors.empty());
}

TEST_F(SuperIOSetup, NCT6791DHeldByAKernelDriverKeepsItsLock) {
    load(Chip(WinbondKeyText, R"({"0x28": "0x10"})", R"({"0x0B": {"0x30": "0x01", "0x60": "0x02", "0x61": "0x90"}})"));
    machine().simKernelClaims().holdPorts(0x295, 0x296, "nct6775");
    useChip("TWinbondSensor", "NCT6791D");
    SetupWinbondFamily(context, 0, "$002E NCT6791D", 230);
    EXPECT_EQ(regs("sio").peek(0x28), 0x10);
    EXPECT_FALSE(debugHas("  -> Unlocking H/M IO space ($10)..."));
    EXPECT_TRUE(traced("Super I/O NCT6791D 28h unlock skipped: ports $0290-$0297 held by kernel driver nct6775"));
}

TEST_F(SuperIOSetup, NCT6683DIsReachedThroughItsControllersMailbox) {
    load(R"({"chips": [{"name": "ec", "banks": 2, "bankRegisters": {"1": {"0x80": "0x5A"}}}],
      "superIO": [{"name": "sio", "indexPort": "0x2E", "dataPort": "0x2F", "enterKey": ["0x87", "0x87"],
        "exitKey": "0xAA", "devices": {"0x0B": {"0x30": "0x01", "0x60": "0x0A", "0x61": "0x20"}},
        "decodes": [{"device": "0x0B", "chip": "ec", "window": "ecMailbox"}]}]})");
    useChip("TECNuvotonSensor", "NCT6683D");
    SetupWinbondFamily(context, 0, "$002E Nuvoton NCT6683D", 232);
    ASSERT_EQ(Links().size(), 2u);
    EXPECT_EQ(link(1).LinkKind(), LinkKinds::ECNuvoton);
    EXPECT_EQ(link(1).BaseAddress(), 0xA24u);
    EXPECT_TRUE(debugHas("Added link <EC Nuvoton> at $0A24"));
    EXPECT_TRUE(debugHas("H/M Configuration is $5A"));
    EXPECT_TRUE(bothHave("NCT6683D EC found on EC Nuvoton at $A20"));
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FLink, &link(1));
    EXPECT_EQ(monitor.Sensors[0]->FAddress, 0xA20u);
}

TEST_F(SuperIOSetup, SCH3112GetsItsLinkAndSensorAtTheRuntimeBlockPlus70h) {
    load(Chip(SMSCOnceKeyText, "{}", R"({"0x0A": {"0x30": "0x01", "0x60": "0x0A", "0x61": "0x00"}})"));
    useChip("TSMSCSensor", "SCH3112");
    SetupSMSCType4(context, 0, "$002E SCH3112", 169);
    EXPECT_TRUE(bothHave("Sensor's Base Address : $0A70"));
    EXPECT_TRUE(bothHave("Found $002E SCH3112 at <ISA> at $0A6B"));
    EXPECT_TRUE(debugHas(" --> Base address is $0A00"));
    ASSERT_EQ(Links().size(), 2u);
    EXPECT_EQ(link(1).BaseAddress(), 0xA6Bu);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FLink, &link(1));
    EXPECT_EQ(monitor.Sensors[0]->FAddress, 0xA6Bu);

    restart();
    regs("sio:0A").set(0x30, 0x00);
    SetupSMSCType4(context, 0, "$002E SCH3112", 169);
    EXPECT_TRUE(debugHas("LDN is not enabled"));
    EXPECT_EQ(Links().size(), 1u);
    EXPECT_TRUE(monitor.Sensors.empty());
}

TEST_F(SuperIOSetup, SMSCOtherRows) {
    load(Chip(SMSCKeyText, "{}",
              R"({"0x08": {"0x30": "0x01", "0x60": "0x0A", "0x61": "0x00"},
                  "0x0A": {"0x30": "0x01", "0x60": "0x08", "0x61": "0x00"}})"));
    useChip("TSMSCSensor", "smsc");
    struct Case {
        std::uint8_t code;
        const char* text;
        std::string found;       // empty: no link and no sensor
        std::uint32_t linkBase;  // and the sensor's address
        std::uint32_t sensor;
        std::int32_t address2;
    };
    const Case cases[] = {
        {170, "$002E SCH5127", "Found SCH5127 at <ISA> at $086B", 0x86B, 0x841, 0},
        {162, "$002E LPC47B397", "Found LPC47B397 at <ISA> at $09FB", 0x9FB, 0x9FB, 0},
        {173, "$002E SCH5327", "Found SCH5327 at <ISA> at $09FB", 0x9FB, 0x9FB, 0},
        {163, "$002E LPC47m233", "Found LPC47M233 at <ISA> at $085B", 0x85B, 0x85B, 0x800},
        {174, "$002E SCH5514", "", 0, 0, 0},
        {225, "$002E Other", "", 0, 0, 0},
    };
    for (const Case& c : cases) {
        restart();
        SetupSMSCOther(context, 0, c.text, c.code);
        EXPECT_TRUE(debugHas(" --> LDN8 [$60]=$0A00 [$62]=$0000 [$64]=$0000 (enabled)")) << int(c.code);
        if (c.found.empty()) {
            EXPECT_EQ(Links().size(), 1u) << int(c.code);
            EXPECT_TRUE(monitor.Sensors.empty()) << int(c.code);
            continue;
        }
        EXPECT_TRUE(bothHave(c.found)) << int(c.code);
        ASSERT_EQ(Links().size(), 2u) << int(c.code);
        EXPECT_EQ(link(1).BaseAddress(), c.linkBase) << int(c.code);
        ASSERT_EQ(monitor.Sensors.size(), 1u) << int(c.code);
        EXPECT_EQ(monitor.Sensors[0]->FAddress, c.sensor) << int(c.code);
        EXPECT_EQ(monitor.Sensors[0]->FAddress2, c.address2) << int(c.code);
    }
    // the SCH5514 row dumps its runtime block and, through it, registers 30h-3Fh
    restart();
    SetupSMSCOther(context, 0, "$002E SCH5514", 174);
    EXPECT_TRUE(debugHas(" --> Base address is $0800"));
    EXPECT_TRUE(debugHas("  F0: FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF"));
    EXPECT_TRUE(debugHas("  00: -- -- -- -- -- -- -- -- -- -- -- -- -- -- -- --"));
}

TEST_F(SuperIOSetup, SpareFieldsGoOnlyIntoTheSensorJustAdded) {
    load(Chip(SMSCKeyText, "{}", R"({"0x09": {"0x30": "0x01", "0x60": "0x06", "0x61": "0x80"}})"));
    useChip("TSMSCSensor", "LPC47M192");
    SetupSMSCType3(context, 0, "$002E LPC47M192", 166);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FAddress, 0x680u);
    EXPECT_EQ(monitor.Sensors[0]->FAux3, 0x2E);
    EXPECT_TRUE(debugHas("LDN9 is ENABLED"));

    // an address registered already is not added again
    SetupSMSCType3(context, 0, "$002E LPC47M192", 166);
    EXPECT_EQ(monitor.Sensors.size(), 1u);

    // a refused sensor leaves the older one of the same code untouched
    monitor.Sensors[0]->FAux3 = 0;
    regs("sio:09").set(0x61, 0xA0);
    monitor.Options.UseISA = false;
    SetupSMSCType3(context, 0, "$002E LPC47M192", 166);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FAux3, 0);
}

TEST_F(SuperIOSetup, LPC47m172RecordsItsConfigurationPort) {
    load(Chip(SMSCOnceKeyText, "{}",
              R"({"0x04": {"0x30": "0x01", "0x60": "0x08", "0x61": "0x00"},
                  "0x0A": {"0x30": "0x01", "0x60": "0x06", "0x61": "0x00"}})"));
    useChip("TSMSCSensor", "LPC47m172");
    SetupSMSCType1(context, 0, "$002E LPC47m172", 157);
    EXPECT_TRUE(debugHas(" --> Base address is $0800 (device $04)"));
    EXPECT_FALSE(debugHas(" --> Base address is $0600 (device $0A)"));
    EXPECT_TRUE(bothHave("Sensor's Base Address : $0800"));
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FAddress, 0x800u);
    EXPECT_EQ(monitor.Sensors[0]->FAddress2, 0x2E);

    // with device 4 off, device 0Ah's base is the sensor's
    restart();
    regs("sio:04").set(0x30, 0x00);
    SetupSMSCType1(context, 0, "$002E LPC47m172", 157);
    EXPECT_TRUE(debugHas(" --> Base address is $0600 (device $0A)"));
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    EXPECT_EQ(monitor.Sensors[0]->FAddress, 0x600u);
}

TEST_F(SuperIOSetup, PC87366LeavesStandbyAndEnablesItsChannels) {
    load(R"({"nationalSuperIO": [{"name": "pc87366", "configPort": "0x2E", "globals": {"0x20": "0xE9"},
      "blocks": [
        {"device": "0x09", "base": "0x0A00", "config": {"0xF0": "0x0C", "0xF1": "0x00"},
         "registers": {"0x00": "0x11", "0x01": "0x22", "0x02": "0x33", "0x03": "0x44"}},
        {"device": "0x0D", "base": "0x0A20", "channels": 11,
         "registers": {"0x08": "0x01"},
         "channelRegisters": {"0": {"0x0A": "0x01"}, "10": {"0x0A": "0x01"}}},
        {"device": "0x0E", "base": "0x0A40", "channels": 3,
         "registers": {"0x08": "0x01"},
         "channelRegisters": {"0": {"0x0A": "0x01"}, "1": {"0x0A": "0x00"}, "2": {"0x0A": "0x80"}}}]}]})");
    useChip("TNSSensor", "PC87366");
    SetupNSMonitor(context, 0, "$002E PC87366", 146);
    const std::vector<std::string> expected = {
        "Fan Monitor 0 is enabled",
        "Fan Control 0 is enabled",
        "Fan 0 PRE-SCALE is $11",
        "Fan 0 DUTY CYCLE is $22",
        "Enabled Fan Monitor 1",
        "Fan 1 PRE-SCALE is $33",
        "Fan 1 DUTY CYCLE is $44",
        "Enabled Fan Monitor 2",
        "Temperature monitoring is in standby mode",
        " --> Temperature monitoring enabled by CV",
        "Temperature 1 is enabled",
        " --> Temperature 2 enabled by CV",
        " --> Temperature 3 enabled by CV",
        "Voltage monitoring is in standby mode",
        "Voltage 1 is enabled",
        "Voltage 11 is enabled",
        "Fan Sensors' Base Address : $0A00",
        "Voltage Sensors' Base Address : $0A20",
        "Temperatures Sensors' Base Address : $0A40",
    };
    std::vector<std::string> seen;
    for (const auto& line : boxes.Info)
        if (has(expected, line)) seen.push_back(line);
    EXPECT_EQ(seen, expected);
    auto& temps = regs("pc87366-block:0E");
    EXPECT_EQ(temps.peek(0x08) & 0x01, 0);
    EXPECT_EQ(temps.peek(0x0A, 1), 0x01);
    EXPECT_EQ(temps.peek(0x0A, 2), 0x81);
    EXPECT_EQ(regs("pc87366:09").peek(0xF0), 0x2C);
    EXPECT_EQ(regs("pc87366:09").peek(0xF1), 0x01);
    ASSERT_EQ(monitor.Sensors.size(), 1u);
    const TSensor& sensor = *monitor.Sensors[0];
    EXPECT_EQ(sensor.FAddress, 0xA00u);
    EXPECT_EQ(sensor.FAux3, 0x2E);
    EXPECT_EQ(sensor.FAddress2, 0xA20);
    EXPECT_EQ(sensor.FAux2, 0xA40);
    EXPECT_TRUE(debugHas("NS trap #9"));
}

TEST_F(SuperIOSetup, NationalFanDeviceOffAddsNoSensorAtPortZero) {
    load(R"({"nationalSuperIO": [{"name": "pc87365", "configPort": "0x2E",
      "blocks": [{"device": "0x09", "base": "0x0A00", "active": false}]}]})");
    useChip("TNSSensor", "PC87365");
    SetupNSMonitor(context, 0, "$002E PC87365", 145);
    EXPECT_TRUE(debugHas("Fan Speed Control and Monitoring is DISABLED"));
    EXPECT_TRUE(debugHas("Fan Sensors' Base Address : $0000"));
    EXPECT_TRUE(debugHas("INTERNAL WARNING: NSProbe didn't add the sensor"));
    EXPECT_TRUE(monitor.Sensors.empty());
}

TEST(SuperIOSetupChoice, ByChipCode) {
    struct Case {
        std::uint8_t code;
        TSuperIOSetup setup;
    };
    const Case cases[] = {
        {151, SetupSMSCType1}, {161, SetupSMSCType1}, {164, SetupSMSCType2}, {167, SetupSMSCType2},
        {166, SetupSMSCType3}, {169, SetupSMSCType4}, {46, SetupSMSCOther},  {163, SetupSMSCOther},
        {168, SetupSMSCOther}, {175, SetupSMSCOther}, {225, SetupSMSCOther}, {142, SetupNSMonitor},
        {147, SetupNSMonitor}, {149, SetupNSOther},   {150, nullptr},        {176, nullptr},
        {33, nullptr},
    };
    for (const Case& c : cases) EXPECT_EQ(SuperIOSetupFor(c.code), c.setup) << int(c.code);
}

}  // namespace
