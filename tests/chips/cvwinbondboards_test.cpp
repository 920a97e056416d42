// The Winbond/Nuvoton driver on board files, the way the program runs it: an
// NCT6791D found through its Super I/O configuration space (ISA check, flat
// window, resume unlock), and a W83627HF read on ISA and on its SMBus twin.

#include <gtest/gtest.h>

#include "chips/chipsfixture.h"
#include "chips/cvwinbond.h"
#include "hw/cvsuperioinfo.h"
#include "platform/sim/registerfile.h"
#include "support/simsmbushost.h"
#include "support/testmachine.h"

namespace {

using platform::sim::PortAccess;

class NCT6791D : public ChipTest {
protected:
    NCT6791D() { SuperIOInfo = {230, "$2E Nuvoton NCT6791D", 0x2E}; }
    ~NCT6791D() override { SuperIOInfo = {}; }

    void load(bool decoded = true) {
        std::string text = testsupport::readFile(CALDAVOR_BOARDS_DIR "/nct6791d.json");
        if (!decoded) {
            const std::string decode = R"([{ "device": "0x0B", "chip": "nct6791d", "window": "isa" }])";
            text.replace(text.find(decode), decode.size(), "[]");
        }
        machine().loadFromJson(text, "nct6791d.json");
    }
    platform::sim::RegisterFile& monitorDevice() { return *machine().registerFile("nct6791d-config:0B"); }
    std::unique_ptr<TWinbondSensor> sensor() {
        return CreateSensor<TWinbondSensor>(&isa, 0x290u, std::uint8_t{230}, Logger(), "", "", "");
    }
    bool logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }

    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
};

TEST_F(NCT6791D, IsaCheckFindsTheFlatWindowAndReadsThroughIt) {
    load();
    auto s = sensor();
    EXPECT_FALSE(s->IsaBaseUnused());
    EXPECT_EQ(s->FAddress2, 0x0A00);
    EXPECT_TRUE(logged("1 Nuvoton NCT6791D uses base address $0A00 too"));
    s->ReadTemps();
    EXPECT_EQ(s->GetTemp(1).Stats->Last(), 42);
    EXPECT_EQ(s->GetTemp(2).Stats->Last(), 48);
    s->ReadFans();
    EXPECT_EQ(s->GetFan(2).Stats->Last(), 1500);
    s->ReadVolts();
    EXPECT_NEAR(s->GetVolt(1).Stats->Last(), 0x6E * 0.008, 1e-4);
    const std::string dump = s->GetDebugInfo();
    EXPECT_NE(dump.find("Address=$0290\r\nAddress2=$0A00\r\nISA (Flat) registers:\r\n  [$00]=$6E"), std::string::npos);
    EXPECT_NE(dump.find("  [$77]=$00"), std::string::npos);
}

TEST_F(NCT6791D, IsaCheckVariants) {
    load();
    monitorDevice().set(0x61, 0xA0);
    monitorDevice().set(0x64, 0x00);
    monitorDevice().set(0x30, 0x00);
    auto s = sensor();
    EXPECT_TRUE(logged("1 Nuvoton NCT6791D H/M is DISABLED"));
    EXPECT_TRUE(logged("1 WARNING: Nuvoton NCT6791D ISA base address differs ($0290,$02A0)"));
    EXPECT_TRUE(logged("1 WARNING: Nuvoton NCT6791D ISA flat address is 0"));
    EXPECT_EQ(s->FAddress2, 0);
    // No flat window: the banked registers serve.
    s->ReadFans();
    EXPECT_EQ(s->GetFan(2).Stats->Last(), 1500);
    s->ReadVolts();
    EXPECT_NEAR(s->GetVolt(1).Stats->Last(), 0x6E * 0.008, 1e-4);

    log.clear();
    SuperIOInfo.ChipCode = 229;  // another chip: no check, no line
    auto other = sensor();
    EXPECT_EQ(other->FAddress2, 0);
    EXPECT_FALSE(logged("1 Nuvoton NCT6791D uses base address $0A00 too"));
}

TEST_F(NCT6791D, FloatingBaseSkipsBankPathsButKeepsTheFlatWindow) {
    load(false);
    auto s = sensor();
    EXPECT_TRUE(s->IsaBaseUnused());
    machine().ports().recorder().clear();
    s->ReadTemps();
    s->ReadPwms();
    s->SetPwm(1, 50);
    EXPECT_TRUE(machine().ports().recorder().accessesTo(0x295, 0x296).empty());
    EXPECT_EQ(s->GetTemp(1).Stats->Last(), 42);
    EXPECT_EQ(s->GetPropValue(0), "<undefined>");
    EXPECT_NE(s->GetDebugInfo().find("WARNING: Nuvoton NCT6791D ISA base (at $0290) appears to be unused"),
              std::string::npos);
}

std::vector<PortAccess> ConfigAccesses(platform::sim::Machine& m) { return m.ports().recorder().accessesTo(0x2E, 0x2F); }

TEST_F(NCT6791D, ResumeUnlocksTheMonitorSpaceAndAlwaysLeavesConfiguration) {
    load();
    auto s = sensor();
    machine().ports().recorder().clear();
    s->ResumeFromSuspend();
    const std::vector<PortAccess> golden = {{0x2E, 1, 0x87, true}, {0x2E, 1, 0x87, true}, {0x2E, 1, 0x28, true},
                                            {0x2F, 1, 0x10, false}, {0x2F, 1, 0x00, true}, {0x2F, 1, 0x00, false},
                                            {0x2E, 1, 0xAA, true}};
    EXPECT_EQ(ConfigAccesses(machine()), golden);
    EXPECT_TRUE(logged("1 ResumeFromSuspendInternal - Nuvoton NCT6791D"));
    EXPECT_TRUE(logged("1     SuperIO=$2E Nuvoton NCT6791D - H/M Chip=Nuvoton NCT6791D"));
    EXPECT_FALSE(logged("1     H/M IO space ($10) is still locked :-("));
    EXPECT_EQ(BusLockCount(true), 0);
}

TEST_F(NCT6791D, ResumeReportsALockThatStaysSet) {
    load();
    machine().registerFile("nct6791d-config")->setBehaviour(0x28, platform::sim::RegisterBehaviour::readOnly());
    auto s = sensor();
    machine().ports().recorder().clear();
    s->ResumeFromSuspend();
    EXPECT_TRUE(logged("1     H/M IO space ($10) is still locked :-("));
    const auto accesses = ConfigAccesses(machine());
    ASSERT_FALSE(accesses.empty());
    EXPECT_EQ(accesses.back(), (PortAccess{0x2E, 1, 0xAA, true}));
}

TEST_F(NCT6791D, ResumeLeavesAConfigurationPortHeldByAKernelDriverAlone) {
    std::string text = testsupport::readFile(CALDAVOR_BOARDS_DIR "/nct6791d.json");
    text.insert(text.rfind('}'), R"(, "kernelDrivers": [{ "driver": "nct6775", "ports": { "first": "0x2E", "last": "0x2F" } }])");
    machine().loadFromJson(text, "nct6791d.json");
    auto s = sensor();
    machine().ports().recorder().clear();
    s->ResumeFromSuspend();
    EXPECT_TRUE(ConfigAccesses(machine()).empty());
    EXPECT_TRUE(traced("Monitor unlock of Nuvoton NCT6791D skipped: ports $002E-$002F held by kernel driver nct6775"));
}

class W83627HFTwin : public ChipTest {
protected:
    W83627HFTwin() {
        machine().loadFromFile(CALDAVOR_BOARDS_DIR "/w83627hf.json");
        machine().ports().recorder().clear();
    }
    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
    TLink smbus{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0,
                testsupport::SimProtocolHost::On(machine().protocolSMBus())};
};

TEST_F(W83627HFTwin, BothLinksReadTheSameChipUnderTheirBusLocks) {
    auto onIsa = CreateSensor<TWinbondSensor>(&isa, 0x290u, std::uint8_t{33}, Logger(), "", "", "");
    auto onSMBus = CreateSensor<TWinbondSensor>(&smbus, 0x2Du, std::uint8_t{33}, Logger(), "", "", "");
    EXPECT_EQ(onIsa->GetReportedSMBus(), 0x2D);
    for (TWinbondSensor* s : {onIsa.get(), onSMBus.get()}) {
        s->ReadTemps();
        s->ReadFans();
        s->ReadVolts();
        EXPECT_EQ(s->GetTemp(1).Stats->Last(), 65);  // 25 + 40, fan stopped
        EXPECT_EQ(s->GetTemp(2).Stats->Last(), 65);
        EXPECT_EQ(s->GetTemp(3).Stats->Last(), 25.5);
        EXPECT_EQ(s->GetFan(2).Stats->Last(), 0);
        EXPECT_NEAR(s->GetVolt(1).Stats->Last(), 0x70 * 0.016, 1e-4);
        EXPECT_NEAR(s->GetVolt(8).Stats->Last(), 0xBB * 0.016 * 1.68, 1e-4);
    }
    ASSERT_TRUE(onIsa->SetPwm(1, 100));
    machine().simClock().advance(10 * 60 * 1000);
    onSMBus->ReadTemps();
    EXPECT_EQ(onSMBus->GetTemp(1).Stats->Last(), 33);  // 25 + 40 / (1 + 4)
    onSMBus->ReadFans();
    EXPECT_EQ(onSMBus->GetFan(1).Stats->Last(), 2700);

    ExpectEveryAccessLocked(0x295, 0x296);
}

TEST_F(W83627HFTwin, AFanWhoseDivisorCannotBeReadHasNoSpeed) {
    auto onSMBus = CreateSensor<TWinbondSensor>(&smbus, 0x2Du, std::uint8_t{33}, Logger(), "", "", "");
    ASSERT_TRUE(onSMBus->SetPwm(1, 100));
    machine().simClock().advance(10 * 60 * 1000);
    onSMBus->ReadFans();
    ASSERT_EQ(onSMBus->GetFan(1).Stats->Last(), 2700);
    // A tick on which 47h does not answer must not read the fan at divisor 1, twice its speed.
    auto& chip = *machine().registerFile("w83627hf");
    chip.setFault(0x47, {platform::sim::RegisterFault::Kind::Fail, -1});
    onSMBus->ReadFans();
    EXPECT_EQ(onSMBus->GetFan(1).Stats->Last(), 0);
    chip.setFault(0x47, {});
    onSMBus->ReadFans();
    EXPECT_EQ(onSMBus->GetFan(1).Stats->Last(), 2700);
}

}  // namespace

namespace {

class DemoBoard : public ChipTest {
protected:
    DemoBoard() { machine().loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json"); }
    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
};

TEST_F(DemoBoard, MonitorIsAW83627DHGThatCoolsWithItsFanOutput) {
    auto s = CreateSensor<TWinbondSensor>(&isa, 0x290u, std::uint8_t{30}, Logger(), "", "", "");
    EXPECT_EQ(s->GetReportedSMBus(), 0x2D);
    ASSERT_TRUE(s->SetPwm(1, 100));
    machine().simClock().advance(10 * 60 * 1000);
    s->ReadTemps();
    s->ReadFans();
    s->ReadVolts();
    s->ReadPwms();
    EXPECT_EQ(s->GetTemp(1).Stats->Last(), 45);  // 30 + 30 / (1 + 1)
    EXPECT_EQ(s->GetTemp(2).Stats->Last(), 45);
    EXPECT_EQ(s->GetTemp(3).Stats->Last(), 30);
    EXPECT_FLOAT_EQ(s->GetFan(1).Stats->Last(), 1350000.0 / (112 * 4));  // count 112, divisor 4
    EXPECT_NEAR(s->GetVolt(2).Stats->Last(), 0xE3 * 0.008 * 6.6, 1e-4);
    EXPECT_EQ(s->GetPwm(1).Stats->Last(), 100);
    EXPECT_EQ(s->GetPropValue(3), "4");  // FAN1 divisor from 47h bits 5:4
}

}  // namespace
