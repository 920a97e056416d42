#include "chips/cvsensorqst.h"

#include "firmware/cvintelqst2.h"
#include "firmware/qstfixture.h"

namespace {

class QstSensorTest : public QstTest {
protected:
    TSensorLogEvent Logger() {
        return [this](TSensor&, const std::string& msg, int level) { log.push_back(std::to_string(level) + " " + msg); };
    }
    template <class T>
    std::unique_ptr<T> Make() {
        return CreateSensor<T>(nullptr, 0u, T::ChipCode, Logger(), "", "", "");
    }
    std::vector<std::string> log;
};

TEST_F(QstSensorTest, MirrorsTheAccessObjectsLists) {
    Install(QstBoard(1));
    IntelQST = std::make_unique<TCVIntelQST>();
    auto sensor = Make<TIntelQSTSensor>();
    EXPECT_EQ(sensor->FChipName, "Intel QST 1.x");
    ASSERT_EQ(sensor->GetTempCount(), 3);
    EXPECT_EQ(sensor->GetTemp(2).Name, "Motherboard");
    EXPECT_EQ(sensor->GetTemp(2).Stats->FName, "Intel QST 1.x Motherboard");
    sim->config().temps[2].value = [] { return 3350; };
    sensor->ReadTemps();
    sensor->ReadFans();
    sensor->ReadVolts();
    sensor->ReadPwms();
    EXPECT_DOUBLE_EQ(sensor->GetTemp(2).Stats->Last(), 33.5);
    EXPECT_DOUBLE_EQ(sensor->GetFan(1).Stats->Last(), 1234);
    EXPECT_DOUBLE_EQ(sensor->GetVolt(1).Stats->Last(), 12.125);
    EXPECT_DOUBLE_EQ(sensor->GetPwm(2).Stats->Last(), 30);
    EXPECT_EQ(sensor->GetPropCount() > 0 ? sensor->GetPropName(0) : "", "PWM 1 mode");
}

TEST_F(QstSensorTest, WithoutAnAvailableObjectThereAreNoReadings) {
    auto sensor = Make<TIntelQST2Sensor>();
    EXPECT_EQ(sensor->FChipName, "none");
    EXPECT_EQ(sensor->GetTempCount() + sensor->GetFanCount() + sensor->GetPwmCount() + sensor->GetVoltCount(), 0);
    IntelQST2 = std::make_unique<TCVIntelQST2>();  // no HECI device: not configured
    auto unconfigured = Make<TIntelQST2Sensor>();
    EXPECT_EQ(unconfigured->FChipName, "none");
}

TEST_F(QstSensorTest, ModePropertiesPerGeneration) {
    auto config = QstBoard(2);
    for (int i = 3; i < 10; ++i) config.controllers[i] = {1, 5, 0, 0x01, ""};
    Install(config);
    IntelQST2 = std::make_unique<TCVIntelQST2>();
    auto second = Make<TIntelQST2Sensor>();
    std::vector<int> ids;
    for (int i = 0; i < second->GetPropCount(); ++i)
        if (second->GetPropId(i) < 26 || second->GetPropId(i) > 95) ids.push_back(second->GetPropId(i));
    EXPECT_EQ(ids, (std::vector<int>{13, 14, 19, 102, 103, 121, 122, 123, 124}));  // nine controllers

    struct Row {
        int n, id;
    };
    for (const Row& row : {Row{1, 13}, Row{2, 14}, Row{3, 19}, Row{4, 102}, Row{5, 103}, Row{6, 121}, Row{32, 147}}) {
        EXPECT_EQ(QSTModePropId(row.n), row.id);
        EXPECT_EQ(QSTModePropController(row.id), row.n);
    }
    EXPECT_EQ(QSTModePropController(120), 0);
    EXPECT_EQ(QSTModePropController(148), 0);
}

TEST_F(QstSensorTest, Qst1OffersAtMostEightModeProperties) {
    auto config = QstBoard(1);
    for (int i = 0; i < 8; ++i) config.controllers[i] = {1, 5, 0, 0x01, ""};
    Install(config);
    IntelQST = std::make_unique<TCVIntelQST>();
    auto sensor = Make<TIntelQSTSensor>();
    EXPECT_EQ(sensor->GetPwmCount(), 8);
    int modes = 0;
    for (int i = 0; i < sensor->GetPropCount(); ++i) modes += QSTModePropController(sensor->GetPropId(i)) > 0;
    EXPECT_EQ(modes, 8);
}

TEST_F(QstSensorTest, SetPwmScalesThroughAByte) {
    Install(QstBoard(1));
    IntelQST = std::make_unique<TCVIntelQST>();
    auto sensor = Make<TIntelQSTSensor>();
    sim->clearRequests();
    EXPECT_TRUE(sensor->SetPwm(2, 50));
    ASSERT_GE(sim->requests().size(), 1u);
    EXPECT_EQ(sim->requests()[0], (Bytes{0x74, 2, 0, 1, 0, 0x9C, 0x13}));  // 5020 to controller index 2
    EXPECT_FLOAT_EQ(static_cast<float>(sensor->GetPwm(2).Stats->Last()), 50.2f);
    sim->clearRequests();
    sensor->SetPwm(1, 250);
    EXPECT_EQ(sim->requests()[0], (Bytes{0x73, 2, 0, 1, 0, 0x10, 0x27}));
    EXPECT_EQ(sim->config().controllers[1].flags & 0x08, 0x08);
}

TEST_F(QstSensorTest, OnlyAutoHandsAControllerBack) {
    Install(QstBoard(2));
    IntelQST2 = std::make_unique<TCVIntelQST2>();
    auto sensor = Make<TIntelQST2Sensor>();
    EXPECT_EQ(sensor->GetPropValue(0), "SOFTWARE");
    EXPECT_EQ(sensor->GetPropValue(1), "AUTO");
    sim->clearRequests();
    EXPECT_TRUE(sensor->SetPropValue(0, "SOFTWARE"));
    EXPECT_TRUE(sim->requests().empty());
    const auto start = now();
    EXPECT_TRUE(sensor->SetPropValue(0, "AUTO"));
    EXPECT_GE(now() - start, 1000u);
    EXPECT_EQ(sim->requests()[0], (Bytes{0x21, 1, 0, 0, 1, 0}));
    EXPECT_EQ(sensor->GetPropValue(0), "AUTO");

    sensor->SetPwm(1, 40);
    sim->config().faults = {{platform::sim::QstFault::Kind::NoReply, 0x1E, -1, 0}};
    EXPECT_FALSE(sensor->SetPropValue(0, "AUTO"));  // the firmware never confirmed it
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "1 ERROR SETTING Intel QST 2.x FAN1 BACK INTO AUTO MODE!!!");
}

TEST_F(QstSensorTest, SavesAndRestoresTheInitialState) {
    Install(QstBoard(1));
    IntelQST = std::make_unique<TCVIntelQST>();
    auto sensor = Make<TIntelQSTSensor>();
    sensor->SaveInitialState();
    EXPECT_EQ(log, (std::vector<std::string>{"0 Intel QST 1.x Saving Initial State",
                                             "0   Intel QST 1.x PWM[1] is currently set to SOFTWARE (45%)",
                                             "0   Intel QST 1.x PWM[2] is currently set to AUTO (30%)"}));
    sensor->SetPwm(1, 80);
    sensor->SetPwm(2, 90);
    log.clear();
    sim->clearRequests();
    sensor->RestoreInitialState();
    EXPECT_EQ(log, (std::vector<std::string>{"0   Intel QST 1.x setting PWM[1] to 45%",
                                             "0   Intel QST 1.x setting PWM[2] to AUTO"}));
    EXPECT_EQ(sim->requests(), (std::vector<Bytes>{{0x73, 2, 0, 1, 0, 0x94, 0x11}, {0x7C, 0, 0, 1, 0}}));
    EXPECT_EQ(sim->config().controllers[2].flags & 0x08, 0);
}

TEST_F(QstSensorTest, SuspendHandsSoftwareControllersBackAndResumeReconnects) {
    Install(QstBoard(2));
    IntelQST2 = std::make_unique<TCVIntelQST2>();
    auto sensor = Make<TIntelQST2Sensor>();
    sim->clearRequests();
    sensor->PrepareForSuspend();
    EXPECT_EQ(log, std::vector<std::string>{"0 Intel QST 2.x Preparing for suspend: set PWM[1] to AUTO"});
    EXPECT_EQ(sim->requests().back(), (Bytes{0x21, 1, 0, 0, 1, 0}));
    EXPECT_EQ(IntelQST2->Heci(), nullptr);

    sim->clearRequests();
    sensor->ReadTemps();
    sensor->SetPwm(1, 50);
    EXPECT_TRUE(sim->requests().empty());

    log.clear();
    sensor->ResumeFromSuspend();
    EXPECT_EQ(log, std::vector<std::string>{"0 Intel QST 2.x Resuming from suspend"});
    EXPECT_TRUE(IntelQST2->Available());
    EXPECT_NE(sensor->GetDebugInfo().find("TCVIntelQST2.ResumeFromSuspend - heci.initialized=1 (0 retries)"),
              std::string::npos);
}

TEST_F(QstSensorTest, FanControlDrivesTheThermalModel) {
    machine().thermal().addSource("cpu", 30, 40, 10);
    machine().thermal().addFan("cpufan", 2000, 0.3, {{"cpu", 2.0}});
    auto config = QstBoard(2);
    config.temps[0].value = [this] { return static_cast<std::int32_t>(machine().thermal().temperature("cpu") * 100); };
    config.fans[0].value = [this] { return static_cast<std::int32_t>(machine().thermal().fanRpm("cpufan")); };
    config.controllers[1].thermalFan = "cpufan";
    Install(config);
    IntelQST2 = std::make_unique<TCVIntelQST2>();
    auto sensor = Make<TIntelQST2Sensor>();
    sensor->ReadTemps();
    const double before = sensor->GetTemp(1).Stats->Last();
    sensor->SetPwm(1, 100);
    machine().simClock().advance(120000);
    sensor->ReadTemps();
    sensor->ReadFans();
    EXPECT_LT(sensor->GetTemp(1).Stats->Last(), before - 5);
    EXPECT_DOUBLE_EQ(sensor->GetFan(1).Stats->Last(), 2000);
}

}  // namespace

namespace {

TEST_F(QstSensorTest, Qst2DesktopBoardRunsFromItsFile) {
    machine().loadFromFile(std::string(CALDAVOR_BOARDS_DIR) + "/qst2.json");
    IntelQST2 = std::make_unique<TCVIntelQST2>();
    ASSERT_TRUE(IntelQST2->Available());
    auto sensor = Make<TIntelQST2Sensor>();
    EXPECT_EQ(sensor->GetTempCount(), 3);
    EXPECT_EQ(sensor->GetTemp(2).Name, "PCH");
    EXPECT_EQ(sensor->GetVolt(4).Name, "CPU Vtt");
    EXPECT_EQ(sensor->GetPwm(1).Name, "Processor");
    sensor->SaveInitialState();
    sensor->ReadTemps();
    const double warm = sensor->GetTemp(1).Stats->Last();
    EXPECT_NEAR(warm, 30 + 38 / (1 + 1.6 * 0.4 + 0.3 * 0.3), 0.5);
    sensor->SetPwm(1, 100);
    machine().simClock().advance(200000);
    sensor->ReadTemps();
    sensor->ReadFans();
    EXPECT_LT(sensor->GetTemp(1).Stats->Last(), warm - 5);
    EXPECT_DOUBLE_EQ(sensor->GetFan(1).Stats->Last(), 2200);
    sensor->RestoreInitialState();
    EXPECT_EQ(sensor->GetPropValue(0), "AUTO");
}

}  // namespace
