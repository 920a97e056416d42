// National PC8736x monitors against the simulated Super I/O of a board file:
// the logical-device check, channel reads, the configuration bytes behind
// the outputs, both register dumps, and what a missing port or a link of
// another kind leaves.

#include <gtest/gtest.h>

#include "chips/chipsfixture.h"
#include "chips/cvnational.h"
#include "chips/readingcheck.h"
#include "hw/cvsuperioinfo.h"
#include "support/testmachine.h"

namespace {

using platform::sim::PortAccess;

constexpr std::uint16_t ConfigPort = 0x2E;
constexpr std::uint32_t FanBase = 0xA00, VoltBase = 0xA20, TempBase = 0xA40;

class NationalTest : public ChipTest {
protected:
    NationalTest() { SuperIOInfo = {146, "$2E NS PC87366", ConfigPort}; }
    ~NationalTest() override { SuperIOInfo = {}; }

    void Load(const std::string& change = {}, const std::string& with = {}) {
        std::string text = testsupport::readFile(CALDAVOR_BOARDS_DIR "/pc87366.json");
        if (!change.empty()) text.replace(text.find(change), change.size(), with);
        machine().loadFromJson(text, "pc87366.json");
        machine().ports().recorder().clear();
    }
    // As detection leaves it: the fan base as address, the other bases and
    // the configuration port in the spare fields.
    std::unique_ptr<TNSSensor> Make(std::uint8_t code = 146, TLink* link = nullptr) {
        auto s = CreateSensor<TNSSensor>(link ? link : &isa, FanBase, code, Logger(), "", "", "");
        s->FAddress2 = static_cast<std::int32_t>(VoltBase);
        s->FAux2 = static_cast<std::int32_t>(TempBase);
        s->FAux3 = ConfigPort;
        return s;
    }
    static std::vector<double> Last(TSensor& s, int (TSensor::*count)() const, TReading (TSensor::*get)(int) const) {
        std::vector<double> values;
        for (int i = 1; i <= (s.*count)(); ++i) values.push_back((s.*get)(i).Stats->Last());
        return values;
    }
    static void ReadAll(TSensor& s) {
        for (int i = 0; i < 2; ++i) {  // a first value beyond the spike limit is held back
            s.ReadTemps();
            s.ReadFans();
            s.ReadPwms();
            s.ReadVolts();
        }
    }
    std::vector<PortAccess> Accesses(std::uint16_t first, std::uint16_t last) {
        return machine().ports().recorder().accessesTo(first, last);
    }
    bool Logged(const std::string& line) const { return std::find(log.begin(), log.end(), line) != log.end(); }

    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, FanBase, 0};
};

TEST_F(NationalTest, ReadsEveryBlockUnderTheIsaLock) {
    Load();
    auto s = Make();
    ASSERT_EQ(s->FChipName, "PC87366");
    EXPECT_TRUE(log.empty());
    ReadAll(*s);
    ExpectReadings(Last(*s, &TSensor::GetTempCount, &TSensor::GetTemp), {42, -10, 55}, "temps");
    ExpectReadings(Last(*s, &TSensor::GetFanCount, &TSensor::GetFan), {3840, 0, 960}, "fans");
    ExpectReadings(Last(*s, &TSensor::GetPwmCount, &TSensor::GetPwm), {100, 50, 25}, "outputs");
    ExpectReadings(Last(*s, &TSensor::GetVoltCount, &TSensor::GetVolt),
                   {221 * 0.054368946, 196 * 0.184381642 - 48.18, 0, 0, 197 * 0.10164629 - 25.08, 128 * 0.011819336,
                    0, 0, 0, 0, 0},
                   "volts");
    EXPECT_EQ(s->GetVolt(2).Name, "-12V");
    EXPECT_EQ(s->GetVolt(11).Name, "Analog Power");
    EXPECT_NEAR(s->GetVolt(2).Stats->Last(), -12.04, 0.01);
    EXPECT_NEAR(s->GetVolt(5).Stats->Last(), -5.06, 0.01);

    const auto& recorder = machine().ports().recorder();
    ASSERT_FALSE(recorder.accesses().empty());
    for (std::size_t i = 0; i < recorder.accesses().size(); ++i)
        EXPECT_TRUE(recorder.lockHeld(i, ISABusMutexName)) << "access " << i;
    EXPECT_EQ(BusLockCount(true), 0);
    // A channel is selected before its reading is taken.
    const std::vector<PortAccess> firstTemp = {{0xA49, 1, 0, true}, {0xA4B, 1, 0x2A, false}};
    const auto temps = Accesses(0xA40, 0xA4F);
    ASSERT_GE(temps.size(), 2u);
    EXPECT_EQ(std::vector<PortAccess>(temps.begin(), temps.begin() + 2), firstTemp);
}

TEST_F(NationalTest, OutputsFollowTheConfigurationBytes) {
    Load();
    auto s = Make();
    machine().ports().recorder().clear();
    s->SetPwm(1, 25);  // inverted: 255 - 64
    EXPECT_EQ(machine().registerFile("pc87366-block:09")->peek(0x01), 191);
    EXPECT_EQ(s->GetPwm(1).Stats->Last(), 25);
    const std::vector<PortAccess> configBytes = {{0x2E, 1, 0x07, true}, {0x2F, 1, 0x09, true}, {0x2E, 1, 0xF0, true},
                                                 {0x2F, 1, 0x58, false}, {0x2E, 1, 0xF1, true}, {0x2F, 1, 0x02, false}};
    EXPECT_EQ(Accesses(0x2E, 0x2F), configBytes);
    s->SetPwm(2, 50);
    EXPECT_EQ(machine().registerFile("pc87366-block:09")->peek(0x03), 128);
    EXPECT_EQ(s->GetPwm(2).Stats->Last(), 50);

    // Output 3 disabled: nothing written, its present duty answered.
    machine().registerFile("pc87366:09")->set(0xF1, 0x00);
    s->SetPwm(3, 80);
    EXPECT_EQ(machine().registerFile("pc87366-block:09")->peek(0x05), 0x40);
    EXPECT_EQ(s->GetPwm(3).Stats->Last(), 25);
    s->ReadPwms();
    EXPECT_EQ(s->GetPwm(3).Stats->Last(), 0);
    EXPECT_EQ(BusLockCount(true), 0);
}

TEST_F(NationalTest, DisabledDevicesHaveNoReadingsAndOneLine) {
    Load(R"("device": "0x0E",)", R"("device": "0x0E", "active": false,)");
    auto s = Make();
    EXPECT_EQ(s->GetTempCount(), 0);
    EXPECT_EQ(s->GetVoltCount(), 11);
    EXPECT_EQ(s->GetFanCount(), 3);
    EXPECT_EQ(log, std::vector<std::string>{"1 Temperature Monitoring is DISABLED"});
    // The check selects each device and reads its activation.
    const std::vector<PortAccess> check = {{0x2E, 1, 0x07, true}, {0x2F, 1, 0x09, true}, {0x2E, 1, 0x30, true},
                                           {0x2F, 1, 0x01, false}};
    const auto config = Accesses(0x2E, 0x2F);
    ASSERT_EQ(config.size(), 12u);
    EXPECT_EQ(std::vector<PortAccess>(config.begin(), config.begin() + 4), check);
    EXPECT_EQ(config[11], (PortAccess{0x2F, 1, 0x00, false}));
    EXPECT_EQ(BusLockCount(true), 0);

    log.clear();
    machine().registerFile("pc87366:09")->set(0x30, 0x00);
    auto fanless = Make();
    EXPECT_EQ(fanless->GetFanCount() + fanless->GetPwmCount(), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"1 Fan Speed Control and Monitoring is DISABLED",
                                             "1 Temperature Monitoring is DISABLED"}));
}

TEST_F(NationalTest, MissingPortsAndForeignLinksReadNothing) {
    Load();
    // No configuration port: no check, and fans and outputs stay 0.
    SuperIOInfo.ConfigPort = 0;
    auto unset = Make();
    unset->FAux3 = 0;
    EXPECT_EQ(unset->GetTempCount(), 3);
    ReadAll(*unset);
    unset->SetPwm(1, 40);
    EXPECT_TRUE(Accesses(0x2E, 0x2F).empty());
    ExpectReadings(Last(*unset, &TSensor::GetFanCount, &TSensor::GetFan), {0, 0, 0}, "fans");
    ExpectReadings(Last(*unset, &TSensor::GetPwmCount, &TSensor::GetPwm), {0, 0, 0}, "outputs");
    ExpectReadings(Last(*unset, &TSensor::GetTempCount, &TSensor::GetTemp), {42, -10, 55}, "temps");
    EXPECT_EQ(machine().registerFile("pc87366-block:09")->peek(0x01), 0x00);

    // Bases of 0 and links that are not ISA: no port traffic at all.
    SuperIOInfo.ConfigPort = ConfigPort;
    auto noBases = Make();
    noBases->FAddress2 = 0;
    noBases->FAux2 = 0;
    TLink flat{2, LinkKinds::ISAFlat, HostKinds::ISAFlat, FanBase, 0};
    TLink smbus{0, LinkKinds::SMBus, HostKinds::Intel, 0x400, 0};
    auto onFlat = Make(146, &flat);
    auto onSMBus = Make(146, &smbus);
    machine().ports().recorder().clear();
    ReadAll(*noBases);
    ExpectReadings(Last(*noBases, &TSensor::GetTempCount, &TSensor::GetTemp), {0, 0, 0}, "no bases");
    EXPECT_TRUE(Accesses(0xA20, 0xA4F).empty());
    const std::string dump = noBases->GetDebugInfo();
    EXPECT_EQ(dump.substr(dump.size() - 21), "\r\n- Voltages\r\n- Temps");
    machine().ports().recorder().clear();
    for (TNSSensor* s : {onFlat.get(), onSMBus.get()}) {
        EXPECT_NO_THROW(ReadAll(*s));
        s->SetPwm(1, 40);
        EXPECT_EQ(s->GetDebugInfo().find("[00]"), std::string::npos);
    }
    ExpectReadings(Last(*onFlat, &TSensor::GetFanCount, &TSensor::GetFan), {0, 0, 0}, "flat link");
    ExpectReadings(Last(*onSMBus, &TSensor::GetVoltCount, &TSensor::GetVolt), std::vector<double>(11, 0.0), "SMBus link");
    EXPECT_TRUE(machine().ports().recorder().accesses().empty());
    EXPECT_EQ(BusLockCount(true), 0);
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(NationalTest, FanSpeedFromControlAndCount) {
    struct Case {
        int control, count;
        double rpm;
    } const cases[] = {
        {0x21, 64, 3840}, {0x20, 64, 0},   {0x01, 0x40, 16384 * 60.0 / 128}, {0x61, 128, 480},
        {0x41, 128, 960}, {0x21, 0, 0},    {0x61, 0xFF, 0},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(NSFanRpm(static_cast<std::uint8_t>(c.control), static_cast<std::uint8_t>(c.count)), c.rpm)
            << c.control << " " << c.count;
}

TEST_F(NationalTest, PC87366DumpLineByLine) {
    Load();
    auto s = Make();
    const std::string dump = s->GetDebugInfo();
    std::vector<std::string> lines;
    for (std::size_t at = 0; (at = dump.find("\r\n", at)) != std::string::npos; at += 2) {
        const std::size_t end = dump.find("\r\n", at + 2);
        lines.push_back(dump.substr(at + 2, end == std::string::npos ? std::string::npos : end - at - 2));
    }
    ASSERT_EQ(dump.substr(0, 2), "\r\n");
    ASSERT_EQ(lines.size(), 17u + 76u + 76u);
    const std::vector<std::string> fans = {"- Fans",  "[00]=00", "[01]=00", "[02]=00", "[03]=80", "[04]=00",
                                           "[05]=40", "[06]=00", "[07]=40", "[08]=21", "[09]=00", "[0A]=32",
                                           "[0B]=20", "[0C]=00", "[0D]=80", "[0E]=41", "[0F]=00"};
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 17), fans);
    EXPECT_EQ(lines[17], "- Voltages");
    EXPECT_EQ(lines[18], "[00]=00");
    EXPECT_EQ(lines[27], "V0[A]=01");
    EXPECT_EQ(lines[28], "V0[B]=DD");
    EXPECT_EQ(lines[34], "V1[B]=C4");
    EXPECT_EQ(lines[32], "V0[F]=00");
    EXPECT_EQ(lines[92], "VA[F]=00");
    EXPECT_EQ(lines[93], "- Temps");
    EXPECT_EQ(lines[103], "T0[A]=01");
    EXPECT_EQ(lines[104], "T0[B]=2A");
    EXPECT_EQ(lines[116], "T2[B]=37");
    EXPECT_EQ(lines[122], "T3[B]=FF");  // a channel the block lacks
    EXPECT_EQ(lines.back(), "TA[F]=FF");
    EXPECT_EQ(BusLockCount(true), 0);
}

constexpr const char* PC87372Board = R"({"nationalSuperIO": [{"name": "pc87372", "configPort": "0x2E",
    "blocks": [{"device": "0x09", "base": "0x0A00", "config": {"0xF0": "0x04"},
                "registers": {"0x02": "0x80", "0x03": "0x07", "0x07": "0xFF", "0x08": "0xFF"}}]}]})";

TEST_F(NationalTest, PC87372WordCountsAndDump) {
    machine().loadFromJson(PC87372Board, "pc87372.json");
    SuperIOInfo = {147, "$2E PC87372", ConfigPort};
    auto s = Make(147);
    EXPECT_EQ(s->FChipName, "PC87372");
    EXPECT_EQ(s->GetPwmCount(), 0);
    ReadAll(*s);
    ExpectReadings(Last(*s, &TSensor::GetFanCount, &TSensor::GetFan), {1000, 0}, "fans");
    const std::string expected =
        "\r\nSuperIO Base Address=$002E\r\nFSMCF=$04\r\n- Fans\r\n[00]=00\r\n[01]=00\r\n[02]=80\r\n[03]=07"
        "\r\n[04]=00\r\n[05]=00\r\n[06]=00\r\n[07]=FF\r\n[08]=FF\r\n[09]=00";
    EXPECT_EQ(s->GetDebugInfo(), expected);

    SuperIOInfo = {147, "$2E PC87372", ConfigPort};
    machine().registerFile("pc87372:09")->set(0x30, 0x00);
    log.clear();
    EXPECT_EQ(Make(147)->GetFanCount(), 0);
    EXPECT_EQ(log, std::vector<std::string>{"1 Fan Speed Monitoring is DISABLED"});
}

}  // namespace
