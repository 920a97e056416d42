#include "firmware/cvintelqst.h"

#include <algorithm>

#include "firmware/cvintelqst2.h"
#include "firmware/qstfixture.h"

namespace {

using platform::sim::QstFault;

Bytes Header1(int command, int payload, int reply) {
    return {static_cast<std::uint8_t>(command), static_cast<std::uint8_t>(payload), 0, static_cast<std::uint8_t>(reply), 0};
}
Bytes Header2(int command, int index, int payload, int reply) {
    return {static_cast<std::uint8_t>(command), static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(payload), 0,
            static_cast<std::uint8_t>(reply), 0};
}

bool LogHas(const TQSTLog& log, const std::string& line) { return std::find(log.begin(), log.end(), line) != log.end(); }

class IntelQSTTest : public QstTest {};

TEST_F(IntelQSTTest, Qst1ConstructionSendsTheConfigurationWalk) {
    Install(QstBoard(1));
    TCVIntelQST qst;
    ASSERT_TRUE(qst.Available());
    const std::vector<Bytes> expected{
        Header1(0x02, 0, 8),
        Header1(0x13, 0, 20), Header1(0x15, 0, 20), Header1(0x1E, 0, 20),  // temperatures 0, 2, 11
        Header1(0x38, 0, 11),                                              // fan 0
        Header1(0x5A, 0, 31),                                              // voltage 1
        Header1(0x6B, 0, 3), Header1(0x6C, 0, 3),                          // controllers 1, 2
        Header1(0x12, 0, 61), Header1(0x37, 0, 25), Header1(0x58, 0, 41), Header1(0x69, 0, 25),
    };
    EXPECT_EQ(sim->requests(), expected);
}

TEST_F(IntelQSTTest, Qst2ConstructionSendsTheConfigurationWalk) {
    Install(QstBoard(2));
    TCVIntelQST2 qst;
    ASSERT_TRUE(qst.Available());
    const std::vector<Bytes> expected{
        Header2(0x03, 0, 0, 25),
        Header2(0x0E, 0, 0, 20), Header2(0x0E, 2, 0, 20), Header2(0x0E, 11, 0, 20),
        Header2(0x13, 0, 0, 11),
        Header2(0x19, 1, 0, 31),
        Header2(0x1F, 1, 0, 3), Header2(0x1F, 2, 0, 3),
        Header2(0x0D, 0, 0, 161), Header2(0x12, 0, 0, 97), Header2(0x18, 0, 0, 161), Header2(0x1E, 0, 0, 97),
    };
    EXPECT_EQ(sim->requests(), expected);
}

TEST_F(IntelQSTTest, SettingsSendTheirBytesAndRefuseBadArguments) {
    Install(QstBoard(1));
    TCVIntelQST qst;
    sim->clearRequests();
    qst.SetDutyCycle(0, 10000);  // controller index 1
    qst.SetDutyCycle(0, 10001);
    qst.SetDutyCycle(0, -1);
    qst.SetDutyCycle(2, 5000);
    qst.SetControllerAuto(1);  // controller index 2
    qst.SetControllerAuto(-1);
    Bytes duty = Header1(0x73, 2, 1);
    duty.insert(duty.end(), {0x10, 0x27});
    EXPECT_EQ(sim->requests(), (std::vector<Bytes>{duty, Header1(0x7C, 0, 1)}));
}

TEST_F(IntelQSTTest, Qst2SetDutyCarriesTheIndexInTheHeader) {
    Install(QstBoard(2));
    TCVIntelQST2 qst;
    sim->clearRequests();
    qst.SetDutyCycle(1, 5020);  // controller index 2
    qst.SetControllerAuto(1);
    EXPECT_EQ(sim->requests(), (std::vector<Bytes>{{0x20, 0x02, 0x02, 0x00, 0x01, 0x00, 0x9C, 0x13},
                                                   Header2(0x21, 2, 0, 1)}));
    EXPECT_EQ(sim->config().controllers[2].duty, 5020);
}

TEST_F(IntelQSTTest, Qst1ConfigurationMakesEntriesFromTheMasksAndLogsThem) {
    Install(QstBoard(1));
    TCVIntelQST qst;
    ASSERT_EQ(qst.FTemps.size(), 3u);
    EXPECT_EQ(qst.FTemps[0].Index, 0);
    EXPECT_EQ(qst.FTemps[1].Index, 2);
    EXPECT_EQ(qst.FTemps[2].Index, 11);
    EXPECT_FLOAT_EQ(qst.FTemps[0].Value, 45.25f);
    EXPECT_FLOAT_EQ(qst.FTemps[1].Value, 31.0f);
    EXPECT_FLOAT_EQ(qst.FTemps[2].Value, -2.5f);
    EXPECT_FLOAT_EQ(qst.FTemps[0].Critical, 85.0f);
    EXPECT_EQ(qst.FTemps[1].Name, "Motherboard");
    EXPECT_EQ(qst.FTemps[2].Name, "Unknown temperature 40");
    EXPECT_FLOAT_EQ(qst.FVolts[0].Value, 12.125f);
    EXPECT_FLOAT_EQ(qst.FVolts[0].OVCritical, 13.0f);
    EXPECT_FLOAT_EQ(qst.FFans[0].Value, 1234.0f);
    ASSERT_EQ(qst.FPwms.size(), 2u);
    EXPECT_FLOAT_EQ(qst.FPwms[0].Value, 45.0f);
    EXPECT_EQ(qst.FPwms[0].SW, 1);
    EXPECT_EQ(qst.FPwms[1].ST, 2);
    EXPECT_EQ(qst.FPwms[1].Name, "Chassis");

    const TQSTLog expectedStart{
        "  HECI driver found",
        "HECI -> Found HECI version 5.1.2.4660",
        "  config.status=0",
        "  config.TempMons=$0805",
        "  config.VoltMons=$02",
        "  config.FanMons =$01",
        "  config.TempResp=$0000",
        "  config.FanCtrl =$06",
        "Analyzing config for temperature 0",
        "  MonitorUsage      =1 -> CPU core",
        "  RelativeReadings  =0",
        "  TempNominal       =50.00",
        "  TempNonCritical   =70.00",
        "  TempCritical      =85.00",
        "  TempNonRecoverable=95.00",
    };
    ASSERT_GE(qst.FStartupLog.size(), expectedStart.size());
    EXPECT_EQ(TQSTLog(qst.FStartupLog.begin(), qst.FStartupLog.begin() + expectedStart.size()), expectedStart);
    for (const char* line : {"  MonitorEnabled    =2", "  MonitorUsage      =40 -> Unknown temperature 40",
                             "  MonitorUsage  =1 -> CPU", "  NonCritical   =800", "  MonitorUsage    =1 -> +12V",
                             "  OVNonRecoverable=14.00", "Analyzing config for fan controller 1",
                             "  ControllerUsage  =5 -> Chassis", "Temperature readings ->",
                             "  Motherboard temperature is 31.00C", "  CPU fan speed is 1234 RPM",
                             "  +12V voltage is 12.125V", "  Processor pwm is 45% EN:Y ST:N SW:Y OV:N TM:N SL:N",
                             "  Chassis pwm is 30% EN:Y ST:C SW:N OV:N TM:N SL:N"})
        EXPECT_TRUE(LogHas(qst.FStartupLog, line)) << line;
    EXPECT_TRUE(qst.FLog.empty());
}

TEST_F(IntelQSTTest, Qst2TakesBitsUpTo31AndIgnoresTheFieldAtByte13) {
    auto config = QstBoard(2);
    config.temps.erase(2);
    config.temps.erase(11);
    config.temps[20] = {1, 18, 0, {}, [] { return 6000; }, 0};
    config.byte13Field = 0xFFFFFFFF;
    Install(config);
    TCVIntelQST2 qst;
    ASSERT_EQ(qst.FTemps.size(), 2u);
    EXPECT_EQ(qst.FTemps[1].Index, 20);
    EXPECT_EQ(qst.FTemps[1].Name, "PCH");
    EXPECT_FLOAT_EQ(qst.FTemps[1].Value, 60.0f);
    EXPECT_EQ(qst.FVolts.size(), 1u);
    EXPECT_EQ(qst.FFans.size(), 1u);
    EXPECT_TRUE(LogHas(qst.FStartupLog, "  config.TempMons=$00100001"));
    EXPECT_TRUE(LogHas(qst.FStartupLog, "  config.FanCtrls=$00000006"));
}

TEST_F(IntelQSTTest, UsageTablesDifferByGeneration) {
    EXPECT_EQ(QSTTempUsageName(4), "MCH");
    EXPECT_EQ(QST2TempUsageName(4), "G/MCH");
    EXPECT_EQ(QSTTempUsageName(17), "Unknown temperature 17");
    EXPECT_EQ(QST2TempUsageName(17), "IOH");
    EXPECT_EQ(QSTFanUsageName(14), "Unknown fan 14");
    EXPECT_EQ(QST2FanUsageName(15), "PCH");
    EXPECT_EQ(QST2VoltUsageName(18), "PCH Vcc");
    EXPECT_EQ(QSTVoltUsageName(-1), "Unknown voltage -1");
    EXPECT_EQ(QSTControllerUsageName(14), "Unknown controller 14");
}

TEST_F(IntelQSTTest, WithoutHeciTheListsStayEmpty) {
    TCVIntelQST qst;
    EXPECT_FALSE(qst.FConfigured);
    EXPECT_EQ(qst.FStartupLog, TQSTLog{"  HECI driver not found"});
    auto config = QstBoard(1);
    config.openError = 5;
    Install(config);
    TCVIntelQST refused;
    EXPECT_EQ(refused.FStartupLog,
              (TQSTLog{"  HECI driver found", "HECI -> Error opening device", "  Unable to initialize HECI support"}));
    EXPECT_TRUE(refused.FTemps.empty());
}

TEST_F(IntelQSTTest, FramingFaultsKeepTheValues) {
    Install(QstBoard(1));
    TCVIntelQST qst;
    sim->config().fans[0].value = [] { return 2000; };
    sim->config().faults = {{QstFault::Kind::WrongLength, 0x37, 1, -1}};
    TQSTLog log;
    Bytes reply;
    EXPECT_FALSE(QSTSimpleCommand(*qst.Heci(), 0x37, reply, &log, 25));
    EXPECT_EQ(log, TQSTLog{"Received 24 bytes, but expecting 25"});

    sim->config().faults = {{QstFault::Kind::ShortSend, 0x37, 1, 0}};
    log.clear();
    EXPECT_FALSE(QSTSimpleCommand(*qst.Heci(), 0x37, reply, &log, 25));
    EXPECT_EQ(log, TQSTLog{"Error: returned length does not match command size"});

    sim->config().faults = {{QstFault::Kind::WrongLength, 0x37, 1, -1}, {QstFault::Kind::Status, 0x37, 1, 3}};
    qst.UpdateFans();
    EXPECT_FLOAT_EQ(qst.FFans[0].Value, 1234.0f);
    qst.UpdateFans();
    EXPECT_FLOAT_EQ(qst.FFans[0].Value, 1234.0f);  // status 3: a failed read
    qst.UpdateFans();
    EXPECT_FLOAT_EQ(qst.FFans[0].Value, 2000.0f);
    EXPECT_TRUE(qst.FLog.empty());
}

TEST_F(IntelQSTTest, ATransportErrorStopsUpdatesUntilResume) {
    Install(QstBoard(1));
    TCVIntelQST qst;
    sim->config().faults = {{QstFault::Kind::TransportError, 0x12, 1, 0}};
    qst.UpdateTemps();
    EXPECT_FALSE(qst.Available());
    sim->clearRequests();
    qst.UpdateTemps();
    qst.UpdatePwms();
    qst.SetDutyCycle(0, 5000);
    EXPECT_TRUE(sim->requests().empty());
    EXPECT_EQ(qst.FLog, TQSTLog{"HECI -> SendMessage error 1 (LastError=$0000001F)"});
    qst.ResumeFromSuspend();
    EXPECT_TRUE(qst.Available());
    qst.UpdateTemps();
    EXPECT_EQ(sim->requests().size(), 1u);
}

TEST_F(IntelQSTTest, ATimeOutOnEveryTickIsLoggedOnce) {
    Install(QstBoard(2));
    TCVIntelQST2 qst;
    sim->config().faults = {{QstFault::Kind::NoReply, 0x0D, -1, 0}};
    for (int tick = 0; tick < 5; ++tick) qst.UpdateTemps();
    EXPECT_EQ(qst.FLog, TQSTLog{"HECI -> ReceiveMessage timeout"});
    EXPECT_TRUE(qst.Available());
}

TEST_F(IntelQSTTest, ResumeWaitsForTheFirmware) {
    Install(QstBoard(1));
    TCVIntelQST qst;
    qst.PrepareForSuspend();
    EXPECT_EQ(qst.Heci(), nullptr);
    sim->clearRequests();
    qst.UpdateTemps();
    qst.SetDutyCycle(0, 5000);
    qst.SetControllerAuto(0);
    EXPECT_TRUE(sim->requests().empty());

    sim->config().notReadyOpens = sim->opens() + 2;
    const auto start = now();
    qst.ResumeFromSuspend();
    EXPECT_EQ(now() - start, 200u);
    EXPECT_EQ(qst.FLog, (TQSTLog{"HECI -> Error opening device", "TCVIntelQST.ResumeFromSuspend - waiting for HECI (1)...",
                                 "TCVIntelQST.ResumeFromSuspend - waiting for HECI (2)...",
                                 "HECI -> Found HECI version 5.1.2.4660",
                                 "TCVIntelQST.ResumeFromSuspend - heci.initialized=1 (2 retries)"}));
    qst.FLog.clear();
    qst.ResumeFromSuspend();
    EXPECT_EQ(qst.FLog, TQSTLog{"TCVIntelQST.ResumeFromSuspend - heci is already initialized"});
}

TEST_F(IntelQSTTest, Qst2ResumeGivesUpAfterAHundredAttempts) {
    Install(QstBoard(2));
    TCVIntelQST2 qst;
    qst.PrepareForSuspend();
    sim->config().openError = 21;
    qst.ResumeFromSuspend();
    EXPECT_EQ(qst.FLog.back(), "TCVIntelQST2.ResumeFromSuspend - heci.initialized=0 (100 retries)");
    EXPECT_EQ(qst.FLog[qst.FLog.size() - 2], "TCVIntelQST2.ResumeFromSuspend - waiting for HECI (100)...");
}

TEST_F(IntelQSTTest, AnOldFirmwareAnswersOnlyTheFirstGeneration) {
    auto config = QstBoard(1);
    config.version = {6, 0, 0, 0, 0};
    Install(config);
    TCVIntelQST2 second;
    EXPECT_FALSE(second.FConfigured);
    EXPECT_TRUE(LogHas(second.FStartupLog, "HECI -> ReceiveMessage timeout"));
    TCVIntelQST first;
    EXPECT_TRUE(first.Available());
    EXPECT_EQ(first.FTemps.size(), 3u);
}

}  // namespace
