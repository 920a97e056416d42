#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

#include "core/cvmonitor.h"
#include "coretest.h"
#include "fakesensor.h"
#include "fakeservices.h"

namespace {

class Monitor : public coretest::CoreTest {
protected:
    TMonitor monitor;
};

// Two temperatures sampled 30 then 40, fans 1000 then 2000, a voltage 1.2 then 1.3.
TEST_F(Monitor, ReadingHintsShowTheStatisticsOfTheRowsSlot) {
    auto& s = coretest::AddFakeSensor(monitor.Sensors, "A", {{"T1", "T2"}, {"F1"}, {}, {"V1"}});
    s.Sample(TReadingKind::Temp, {30, 10});
    s.Sample(TReadingKind::Temp, {40, 20});
    s.Sample(TReadingKind::Fan, {1000});
    s.Sample(TReadingKind::Fan, {2000});
    s.Sample(TReadingKind::Volt, {1.25});
    s.Sample(TReadingKind::Volt, {1.75});
    monitor.BuildReadingSlots();
    monitor.AutoAssociate();
    monitor.Slots.TempSlots[0].Active = false;  // row 1 shows T2
    monitor.PARSEUSED();

    const auto temp = monitor.ShowReadingHint("LABTemp1", {});
    ASSERT_TRUE(temp);
    EXPECT_EQ(temp->Text, "last: 20.0  min: 10.0  max: 20.0  mean: 15.0");
    EXPECT_EQ(temp->HidePauseMs, 30000);
    EXPECT_EQ(monitor.ShowReadingHint("labfan1", {})->Text, "last: 2000  min: 1000  max: 2000  mean: 1500");
    EXPECT_EQ(monitor.ShowReadingHint("labvolt1", {})->Text, "last: 1.75  min: 1.25  max: 1.75  mean: 1.50");
    EXPECT_EQ(monitor.ShowReadingHint("pbcpuload", {7})->Text, "CPU0: 7.0%");
    EXPECT_FALSE(monitor.ShowReadingHint("LABTemp2", {}));  // no second shown row
    EXPECT_FALSE(monitor.ShowReadingHint("BTNConfig", {}));

    monitor.Options.UseCelsius = false;
    EXPECT_EQ(monitor.ShowReadingHint("labtemp1", {})->Text, "last: 68.0  min: 50.0  max: 68.0  mean: 59.0");
    EXPECT_EQ(monitor.FormatTemp(20), "68F");
    EXPECT_EQ(monitor.GetUsedTempStats(1).Last(), 20);
    EXPECT_EQ(monitor.GetUsedTempStats(2).Last(), 0);
}

TEST_F(Monitor, HintDialogPassesOnlyWhatIsGiven) {
    EXPECT_FALSE(monitor.ShowHintDialog("Title", "Text", true));  // no window yet
    coretest::TFakeDialogs dialogs;
    dialogs.NeverAgainTicked = true;
    monitor.Dialogs = &dialogs;
    EXPECT_TRUE(monitor.ShowHintDialog("", "Some text", false));
    ASSERT_EQ(dialogs.Hints.size(), 1u);
    EXPECT_FALSE(dialogs.Hints[0].Title);
    EXPECT_EQ(dialogs.Hints[0].Text, "Some text");
    EXPECT_FALSE(dialogs.Hints[0].AllowNeverAgain);
}

TEST_F(Monitor, HelpOpensThePageOfTheContextNumber) {
    std::vector<std::string> opened;
    monitor.Help.LinkHelpFile([&](const std::string& path) {
        opened.push_back(path);
        return true;
    });
    EXPECT_EQ(monitor.Help.HelpFilePath, file("help"));
    std::filesystem::create_directory(file("help"));
    testsupport::writeFile(file("help/120.html"), "<html></html>");

    bool callHelp = true;
    EXPECT_TRUE(monitor.Help.HelpHandler(THelpLink::HelpContext, 120, callHelp));
    EXPECT_FALSE(callHelp);
    callHelp = true;
    EXPECT_TRUE(monitor.Help.HelpHandler(THelpLink::HelpContextPopup, 120, callHelp));
    EXPECT_EQ(opened, (std::vector<std::string>{file("help/120.html"), file("help/120.html")}));

    callHelp = true;
    EXPECT_TRUE(monitor.Help.HelpHandler(3, 120, callHelp));  // not a context request
    EXPECT_TRUE(callHelp);
    EXPECT_TRUE(monitor.Help.HelpHandler(THelpLink::HelpContext, 7, callHelp));  // no such page
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(Monitor, AppendedSensorsAreReadUntilTheLayoutSaysOtherwise) {
    monitor.AppendSensor(CreateSensor<coretest::TFakeSensor>("A", 0x290, coretest::TFakeReadings{{"T"}, {}, {}, {}}));
    monitor.AppendSensor(CreateSensor<coretest::TFakeSensor>("B", 0x2E, coretest::TFakeReadings{{"T"}, {}, {}, {}}));
    EXPECT_EQ(monitor.SensorInUse, (std::vector<bool>{true, true}));
    monitor.BuildReadingSlots();
    monitor.AutoAssociate();
    monitor.Slots.TempSlots[1].Active = false;
    TLogBoxRecorder boxes;
    monitor.Log.SetBoxes(&boxes);
    monitor.PARSEUSED();  // no window: no fonts, no complaints
    EXPECT_TRUE(boxes.Info.empty());
    EXPECT_EQ(monitor.SensorInUse, (std::vector<bool>{true, false}));
    EXPECT_EQ(monitor.Slots.Layout.Temps.NameWidth, 10);
}

TEST_F(Monitor, LinksAreFoundByBaseAddressAndKindAndLogThroughTheWindow) {
    Links().clear();
    const std::pair<std::uint8_t, std::uint32_t> links[] = {{LinkKinds::ISA, 0x290},
                                                           {LinkKinds::SMBus, 0x400},
                                                           {LinkKinds::SMBus, 0x500},
                                                           {LinkKinds::ISA, 0xFFFFFFFF},
                                                           {LinkKinds::ISA, 0x290}};
    EXPECT_EQ(monitor.FirstSMBusLink(), nullptr);
    for (const auto& [kind, base] : links)
        Links().push_back(std::make_unique<TLink>(0, kind, kind == LinkKinds::SMBus ? HostKinds::Intel : HostKinds::ISA,
                                                  base, 0));
    EXPECT_EQ(monitor.FindLinkByAddress(0x290), 4);
    EXPECT_EQ(monitor.FindLinkByAddress(0x500), 2);
    EXPECT_EQ(monitor.FindLinkByAddress(0x300), -1);
    EXPECT_EQ(monitor.FindLinkByAddress(-1), -1);  // though one link has base FFFFFFFFh
    EXPECT_EQ(monitor.FirstSMBusLink(), Links()[1].get());

    TLogBoxRecorder boxes;
    monitor.Log.SetBoxes(&boxes);
    Links()[1]->SetOnLog(monitor.LinkLogEvent());
    Links()[1]->Log("timeout");
    EXPECT_EQ(boxes.Readings, std::vector<std::string>{"SMBus msg : timeout"});
    Links().clear();
}

class TFakeSmartView : public TSmartView {
public:
    int GetHardDiskSelectedInCB() override { return Selected; }
    void UpdateSmartPage(bool force) override {
        if (Throw) throw std::runtime_error("page gone");
        Updates.push_back(force);
    }
    void SetDiskTileText(int driveNumber, const std::string& text) override {
        Tiles.push_back(std::to_string(driveNumber) + ":" + text);
    }
    int Selected = -1;
    bool Throw = false;
    std::vector<bool> Updates;
    std::vector<std::string> Tiles;
};

TEST_F(Monitor, ARefreshedDiskUpdatesItsPageAndTile) {
    coretest::AddFakeSensor(monitor.Sensors, "chip", {});
    auto& disk = coretest::AddFakeSensor(monitor.Sensors, "disk", {});
    TFakeSmartView view;
    monitor.SmartView = &view;

    view.Selected = 0;
    monitor.SmartHasRefreshed(disk, 2, 0.87);
    view.Selected = 1;
    monitor.SmartHasRefreshed(disk, 2, std::nullopt);
    EXPECT_EQ(view.Updates, std::vector<bool>{false});
    EXPECT_EQ(view.Tiles, (std::vector<std::string>{"2:87%", "2:???%"}));

    view.Throw = true;
    monitor.SmartHasRefreshed(disk, 2, 1.0);
    EXPECT_EQ(view.Tiles.back(), "2:100%");
    EXPECT_NE(testsupport::readFile(file("debug.nfo")).find(" - Exception in SmartHasRefreshed (page gone)\r\n"),
              std::string::npos);
}

}  // namespace

namespace {

// An output that takes whatever duty it is given.
class TDrivenSensor : public coretest::TFakeSensor {
public:
    using TFakeSensor::TFakeSensor;
    std::vector<double> Written;

protected:
    double SetPwmInternal(int, double percent) override {
        Written.push_back(percent);
        return percent;
    }
};

TEST_F(Monitor, DutyEditsDriveTheShownSpeedSlotOnceWritesAreAllowed) {
    auto sensor = CreateSensor<TDrivenSensor>("A", 0x290, coretest::TFakeReadings{{"T1"}, {}, {"P1", "P2"}, {}});
    auto& driven = *sensor;
    monitor.AppendSensor(std::move(sensor));
    monitor.BuildReadingSlots();
    monitor.AutoAssociate();
    monitor.Slots.PwmSlots[0].Active = false;  // edit 1 shows P2
    monitor.PARSEUSED();

    monitor.DutyEdits.Set(1, 30);  // still suppressed: the window is being built
    EXPECT_TRUE(driven.Written.empty());

    monitor.DutyEdits.SuppressPwmWrite = false;
    monitor.DutyEdits.Set(1, 45);
    EXPECT_EQ(driven.Written, std::vector<double>{45});
    EXPECT_DOUBLE_EQ(driven.GetPwm(2).Stats->Last(), 45);
}

// The start-up order: slots, the first samples, PARSEUSED, the end of the
// start-up, one fan tick. The classic rule steps from the duty the output has.
TEST_F(Monitor, ClassicRuleStartsFromTheDutyTheOutputHasAfterStartUp) {
    auto sensor = CreateSensor<TDrivenSensor>("A", 0x290, coretest::TFakeReadings{{"T1"}, {}, {"P1", "P2"}, {}});
    auto& driven = *sensor;
    monitor.AppendSensor(std::move(sensor));
    monitor.Options.AutoFanSpeed = true;
    monitor.Options.AdvFanSpeed = false;
    monitor.Options.FanDelta = 10;
    monitor.BuildReadingSlots();
    monitor.AutoAssociate();
    monitor.Slots.TempSlots[0].UsedPwms = {2};  // T1 (wanted 40, warning 50) drives speed 2
    monitor.Slots.PwmSlots[1].Variate = true;

    // Above the wanted temperature and rising: the vote is up.
    for (double t : {41, 42, 43, 44, 45, 46, 47, 48}) driven.Sample(TReadingKind::Temp, {t});
    driven.Sample(TReadingKind::Pwm, {35, 70});
    monitor.PARSEUSED();
    EXPECT_EQ(monitor.DutyEdits.Value(1), 35);
    EXPECT_EQ(monitor.DutyEdits.Value(2), 70);

    monitor.DutyEdits.SuppressPwmWrite = false;  // the deferred start-up has ended
    const TFanVotes votes = monitor.RunFanLogic();
    EXPECT_EQ(votes, (TFanVotes{FanUp}));
    EXPECT_EQ(monitor.DutyEdits.Value(2), 80);
    EXPECT_EQ(driven.Written, std::vector<double>{80});

    // A sensors file that lists the speeds the other way round: after it and
    // PARSEUSED each edit shows its own output's duty, and nothing is written.
    std::swap(monitor.Slots.PwmSlots[0], monitor.Slots.PwmSlots[1]);
    ASSERT_TRUE(monitor.SaveSensorsConfig());
    std::swap(monitor.Slots.PwmSlots[0], monitor.Slots.PwmSlots[1]);
    ASSERT_TRUE(monitor.LOADASSOCIATIONS(monitor.SensorsFilePath(), false, false));
    EXPECT_EQ(monitor.Slots.PwmSlots[0].ReadingIndex, 2);
    monitor.PARSEUSED();
    EXPECT_EQ(monitor.DutyEdits.Value(1), 80);
    EXPECT_EQ(monitor.DutyEdits.Value(2), 35);
    EXPECT_EQ(driven.Written, std::vector<double>{80});
    EXPECT_FALSE(monitor.DutyEdits.SuppressPwmWrite);
}

TEST_F(Monitor, SensorsFileRoundTripsThroughTheProgramFolder) {
    coretest::AddFakeSensor(monitor.Sensors, "A", {{"T1", "T2"}, {}, {}, {}});
    monitor.SensorInUse.assign(1, true);
    monitor.BuildReadingSlots();
    monitor.AutoAssociate();
    monitor.Slots.TempSlots[1].Name = "CPU";
    ASSERT_TRUE(monitor.SaveSensorsConfig());

    TMonitor fresh;
    coretest::AddFakeSensor(fresh.Sensors, "A", {{"T1", "T2"}, {}, {}, {}});
    fresh.BuildReadingSlots();
    fresh.AutoAssociate();
    ASSERT_TRUE(fresh.LOADASSOCIATIONS(fresh.SensorsFilePath(), false, true));
    EXPECT_EQ(fresh.Slots.TempSlots[1].Name, "CPU");
}

}  // namespace
