#include <gtest/gtest.h>

#include <QImage>
#include <QListWidget>

#include "core/coretest.h"
#include "core/fakesensor.h"
#include "hw/cvlink.h"
#include "support/testmachine.h"
#include "ui/cvconfigfans.h"
#include "ui/cvdlgselecttemp.h"
#include "ui/uiprompts.h"

namespace {

using coretest::TFakeSensor;

const TFanCurve DefaultPoints{35, 35, 35, 38, 40, 42, 45, 49, 53, 58, 64, 70, 77, 84, 92, 100};

// Sensors with 2, 0 and 3 PWM outputs on two links.
class FanTab : public coretest::CoreTest {
protected:
    FanTab() {
        add("ChipA", 0x290, {{"CPU", "MB"}, {}, {"P1", "P2"}, {}}, &isa);
        add("ChipB", 0x2E, {{"Disk", "Case"}, {}, {}, {}}, &smbus);
        add("ChipC", 0x2D, {{}, {}, {"Q1", "Q2", "Q3"}, {}}, &smbus);
        prompts.OnInput = [this](const std::string&) { return name; };
    }
    void add(const std::string& chip, std::uint32_t address, const coretest::TFakeReadings& readings, TLink* link) {
        sensors.push_back(CreateSensor<TFakeSensor>(chip, address, readings, TSensorLogEvent{}, link));
    }
    // A controller with one input on the default curve, shown in the editor.
    void viewOneInput() {
        TFanController controller;
        TFanCtrlTemp input;
        input.MinTemp = 30;
        input.MaxTemp = 60;
        input.ControlPoints = TFanControlTab::DefaultCurve();
        controller.Temps.push_back(input);
        model.FanCtrls.push_back(controller);
        tab.LBFanControllersClick(0);
        tab.LBFanControlTempsClick(0);
    }
    TFanCurve& curve() { return tab.Viewed()->ControlPoints; }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& c : model.FanCtrls) result.push_back(c.Name);
        return result;
    }

    TLink isa{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
    TLink smbus{0, LinkKinds::SMBus, HostKinds::IntelMCH, 0x500, 0};
    TSensorList sensors;
    TDlgConfigModel model;
    TScriptedPrompts prompts;
    std::optional<std::string> name = "CPU fan";
    TFanControlTab tab{model, sensors, prompts, nullptr};
};

TEST_F(FanTab, DefaultCurveAndPointEditsKeepTheCurveRising) {
    EXPECT_EQ(TFanControlTab::DefaultCurve(), DefaultPoints);
    viewOneInput();
    tab.SetControlPoint(5, 80);
    EXPECT_EQ(curve(), (TFanCurve{35, 35, 35, 38, 40, 80, 80, 80, 80, 80, 80, 80, 80, 84, 92, 100}));
    tab.SetControlPoint(5, 20);  // below point 4: takes its value, the later points stay
    EXPECT_EQ(curve(), (TFanCurve{35, 35, 35, 38, 40, 40, 80, 80, 80, 80, 80, 80, 80, 84, 92, 100}));
}

TEST_F(FanTab, ShiftsAreLimitedByTheRangeAndThePointBefore) {
    viewOneInput();
    struct Case {
        int Point, Delta;
        TFanCurve Expected;
    };
    const Case cases[] = {
        {0, 10, {45, 45, 45, 45, 45, 45, 45, 49, 53, 58, 64, 70, 77, 84, 92, 100}},
        {4, -10, {35, 35, 35, 38, 38, 42, 45, 49, 53, 58, 64, 70, 77, 84, 92, 100}},
        {0, -40, {0, 35, 35, 38, 40, 42, 45, 49, 53, 58, 64, 70, 77, 84, 92, 100}},
        {15, 10, DefaultPoints},
        {-1, 10, DefaultPoints},
        {16, -10, DefaultPoints},
    };
    for (const Case& c : cases) {
        curve() = DefaultPoints;
        tab.ShiftControlPoint(c.Point, c.Delta);
        EXPECT_EQ(curve(), c.Expected) << c.Point << " " << c.Delta;
    }
}

TEST_F(FanTab, RangeButtonsStopAtTheirLimitsAndHysteresisShowsFahrenheitSteps) {
    viewOneInput();
    TFanCtrlTemp& input = *tab.Viewed();
    input.MinTemp = -99;
    input.MaxTemp = 249;
    for (int i = 0; i < 3; ++i) tab.BTNLessMinClick();
    for (int i = 0; i < 3; ++i) tab.BTNMoreMaxClick();
    EXPECT_EQ(input.MinTemp, -100);
    EXPECT_EQ(input.MaxTemp, 250);
    input.MinTemp = 40;
    input.MaxTemp = 42;
    for (int i = 0; i < 3; ++i) tab.BTNMoreMinClick();
    EXPECT_EQ(input.MinTemp, 41);
    for (int i = 0; i < 3; ++i) tab.BTNLessMaxClick();
    EXPECT_EQ(input.MaxTemp, 42);
    input.MinTemp = 30;
    for (int i = 0; i < 20; ++i) tab.BTNLessMaxClick();
    EXPECT_EQ(input.MaxTemp, 31);
    EXPECT_EQ(curve(), DefaultPoints);

    tab.EDHysteresisChange(5);
    EXPECT_EQ(input.Hysteresis, 5);
    EXPECT_EQ(tab.HysteresisText, "°C (9°F)");
    tab.EDHysteresisChange(2.5);  // half to even
    EXPECT_EQ(input.Hysteresis, 2);
    tab.EDHysteresisChange(150);
    EXPECT_EQ(input.Hysteresis, 99);
}

TEST(ResponseGraphLayout, GeometryFollowsTheMetrics) {
    // Text 13 high, "999°F" 30 wide, buttons 21 high: PW 340, PH 145.
    const TResponseGraphLayout layout({400, 199, 13, 30, 21});
    EXPECT_EQ(layout.Left(), 20);
    EXPECT_EQ(layout.Right(), 40);
    EXPECT_EQ(layout.Top(), 10);
    EXPECT_EQ(layout.Bottom(), 13 + 12 + 19);
    EXPECT_EQ(layout.PW(), 340);
    EXPECT_EQ(layout.PH(), 145);
    const auto rows = layout.GridRows();
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(rows[0], 155);
    EXPECT_EQ(rows[1], 141);  // 14.5 rounds to 14
    EXPECT_EQ(rows[3], 111);  // 43.5 rounds to 44
    EXPECT_EQ(rows[5], 83);   // 72.5 rounds to 72
    EXPECT_EQ(rows[10], 10);
    const auto columns = layout.GridColumns();  // 340 div 36 = 9 columns, 42.5 apart
    ASSERT_EQ(columns.size(), 9u);
    EXPECT_EQ(columns[1], 62);
    EXPECT_EQ(columns[3], 148);
    EXPECT_EQ(columns[8], 360);
    const auto celsius = layout.LabelTexts(30, 60, true);
    EXPECT_EQ(celsius[0], "30°C");
    EXPECT_EQ(celsius[1], "34°C");
    EXPECT_EQ(celsius[2], "38°C");
    EXPECT_EQ(celsius[8], "60°C");
    const auto fahrenheit = layout.LabelTexts(30, 60, false);
    EXPECT_EQ(fahrenheit[0], "86°F");
    EXPECT_EQ(fahrenheit[1], "93°F");
    EXPECT_EQ(fahrenheit[8], "140°F");
    EXPECT_EQ(layout.LabelAt(62, 24), (TGraphPoint{50, 199 - 44 + 6}));
    EXPECT_EQ(layout.Point(DefaultPoints, 3), (TGraphPoint{88, 100}));
    EXPECT_EQ(layout.Point(DefaultPoints, 15), (TGraphPoint{360, 10}));
    EXPECT_EQ(layout.Press(88, 100), (std::pair{3, 38}));
    EXPECT_EQ(layout.Press(-50, 500), (std::pair{0, 0}));
    EXPECT_EQ(layout.Press(900, -50), (std::pair{15, 100}));
    EXPECT_EQ(layout.ButtonsX(21), (std::array<int, 4>{1, 22, 341, 362}));
}

TEST(ResponseGraphLayout, NarrowBoxesDrawTheEndLabelsAndIgnorePresses) {
    const TResponseGraphLayout narrow({100, 199, 13, 30, 21});  // PW 40: one label would fit
    EXPECT_EQ(narrow.GridColumns(), (std::vector<int>{20, 60}));
    EXPECT_EQ(narrow.LabelTexts(30, 60, true), (std::vector<std::string>{"30°C", "60°C"}));
    const TResponseGraphLayout empty({60, 199, 13, 30, 21});  // PW 0
    EXPECT_FALSE(empty.Press(30, 100));
    const TResponseGraphLayout flat({400, 40, 13, 30, 21});  // PH below 0
    EXPECT_FALSE(flat.Press(100, 20));
}

TEST_F(FanTab, TheGraphPaintsGridCurveAndPoints) {
    viewOneInput();
    TResponseGraph graph(tab);
    graph.resize(420, 220);
    QImage image(graph.size(), QImage::Format_RGB32);
    graph.render(&image);
    const TResponseGraphLayout layout = graph.Layout();
    const auto colour = [&image](int x, int y) { return image.pixelColor(x, y).rgb() & 0xFFFFFF; };
    for (int k : {0, 7, 15}) {
        const TGraphPoint p = layout.Point(DefaultPoints, k);
        EXPECT_EQ(colour(p.X, p.Y), 0x008000u) << "disc " << k;
    }
    // Half-way between points 9 and 10, away from both discs.
    const TGraphPoint a = layout.Point(DefaultPoints, 9), b = layout.Point(DefaultPoints, 10);
    const int x = (a.X + b.X) / 2, y = (a.Y + b.Y) / 2;
    EXPECT_TRUE(colour(x, y) == 0x0000FFu || colour(x, y - 1) == 0x0000FFu || colour(x, y + 1) == 0x0000FFu);
    // The dotted grid starts with a dot at the plot area's corners.
    EXPECT_EQ(colour(layout.Left(), layout.GridRows()[10]), 0x808080u);
    EXPECT_EQ(colour(layout.GridColumns()[1], layout.Top()), 0x808080u);
}

TEST_F(FanTab, OutputsAreNumberedOverEverySensorsPwms) {
    EXPECT_EQ(tab.SpeedComboIndex(0, 2), 1);
    EXPECT_EQ(tab.SpeedComboIndex(2, 1), 2);
    EXPECT_EQ(tab.SpeedComboIndex(2, 3), 4);
    EXPECT_EQ(tab.SpeedComboIndex(1, 1), -1);
    EXPECT_EQ(tab.SpeedComboIndex(2, 4), -1);
    EXPECT_EQ(tab.SpeedFromComboIndex(1), (std::pair{0, 2}));
    EXPECT_EQ(tab.SpeedFromComboIndex(4), (std::pair{2, 3}));
    EXPECT_EQ(tab.SpeedFromComboIndex(5), (std::pair{-1, -1}));
    EXPECT_EQ(tab.SpeedFromComboIndex(-1), (std::pair{-1, -1}));

    TUsedData slot;
    slot.Name = "Rear fan";
    slot.SensorIndex = 2;
    slot.ReadingIndex = 3;
    model.Speeds = {slot, slot};
    model.Speeds[1].Name = "Second";
    tab.TSFanControlShow();
    ASSERT_EQ(tab.SpeedItems.size(), 5u);
    EXPECT_EQ(tab.SpeedItems[0], "P1 from ChipA @ $0290 on " + isa.BusText());
    EXPECT_EQ(tab.SpeedItems[4], "Rear fan - Q3 from ChipC @ $002D on " + smbus.BusText());
    EXPECT_EQ(tab.TempLabel(1, 1), "Disk from ChipB @ $002E on " + smbus.BusText());
    EXPECT_TRUE(tab.AddEnabled);
}

TEST_F(FanTab, AddingControllersAsksForANameAndTakesTheFirstOutput) {
    tab.BTNFCntrlAddClick();
    name = "";
    tab.BTNFCntrlAddClick();
    name.reset();
    tab.BTNFCntrlAddClick();
    ASSERT_EQ(names(), (std::vector<std::string>{"CPU fan", ""}));
    const TFanController& added = model.FanCtrls[0];
    EXPECT_EQ(added.SensorIndex, 0);
    EXPECT_EQ(added.PwmIndex, 1);
    EXPECT_EQ(added.ControlMethod, 0);
    EXPECT_FALSE(added.Enabled);
    EXPECT_TRUE(added.Temps.empty());
    EXPECT_EQ(tab.ChosenController, -1);
    EXPECT_EQ(tab.ControllerItems, names());

    sensors.erase(sensors.begin());  // ChipB has no PWM, ChipC's are first now
    name = "x";
    tab.BTNFCntrlAddClick();
    EXPECT_EQ(model.FanCtrls.back().SensorIndex, 1);
    sensors.clear();
    tab.BTNFCntrlAddClick();
    EXPECT_EQ(model.FanCtrls.back().SensorIndex, -1);
}

TEST_F(FanTab, RemovingChoosesTheEntryBefore) {
    for (const char* n : {"A", "B", "C", "D"}) {
        name = n;
        tab.BTNFCntrlAddClick();
    }
    tab.TSFanControlShow();
    model.AdvFanSpeed = true;
    tab.LBFanControllersClick(2);
    tab.BTNFCntrlRemoveClick();  // a middle one
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B", "D"}));
    EXPECT_EQ(tab.ChosenController, 1);
    EXPECT_TRUE(tab.EditorVisible);
    tab.LBFanControllersClick(2);
    tab.BTNFCntrlRemoveClick();  // the last
    EXPECT_EQ(names(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(tab.ChosenController, 1);
    tab.LBFanControllersClick(0);
    tab.BTNFCntrlRemoveClick();  // the first: nothing chosen
    EXPECT_EQ(names(), (std::vector<std::string>{"B"}));
    EXPECT_EQ(tab.ChosenController, -1);
    EXPECT_FALSE(tab.EditorVisible);
    tab.BTNFCntrlRemoveClick();  // without a choice
    EXPECT_EQ(names(), (std::vector<std::string>{"B"}));
}

TEST_F(FanTab, ChoosingKeepsAnOutputOutsideTheListAndTracesTheMethod) {
    TFanController stray;
    stray.SensorIndex = 7;
    stray.PwmIndex = 1;
    model.FanCtrls = {stray, stray};
    tab.TSFanControlShow();
    tab.LBFanControllersClick(1);
    EXPECT_EQ(tab.SpeedChoice, 0);
    EXPECT_EQ(model.FanCtrls[1].SensorIndex, 7);
    tab.CBControlledSpeedChange(3);
    EXPECT_EQ(model.FanCtrls[1].SensorIndex, 2);
    EXPECT_EQ(model.FanCtrls[1].PwmIndex, 2);
    tab.CBFanControlMethodChange(1);
    EXPECT_EQ(model.FanCtrls[1].ControlMethod, 1);
    const auto trace = testsupport::traceLines(file("debug.nfo"));
    EXPECT_NE(std::find(trace.begin(), trace.end(), "CBFanControlMethodChange - FanCtrls[1].ControlMethod:=1"),
              trace.end());
    tab.TSFanControlHide();
    tab.CBFanControllerEnabledClick(true);  // no controller chosen: nothing
    EXPECT_FALSE(model.FanCtrls[1].Enabled);
}

TEST_F(FanTab, InputsComeFromThePickerOnlyWithAChosenEntry) {
    name = "A";
    tab.BTNFCntrlAddClick();
    tab.LBFanControllersClick(0);
    int row = -1;
    std::vector<std::string> offered;
    prompts.OnModal = [&](QDialog& dialog) {
        auto& list = static_cast<TDlgSelectTemperature&>(dialog).LBTemps();
        offered.clear();
        for (int i = 0; i < list.count(); ++i) offered.push_back(list.item(i)->text().toStdString());
        if (row >= 0) list.setCurrentRow(row);
        return int{TUiPrompts::Accepted};
    };
    tab.BTNAddFanCtrlTempClick();
    EXPECT_TRUE(model.FanCtrls[0].Temps.empty());
    EXPECT_EQ(offered.size(), 4u);  // CPU, MB, Disk, Case
    row = 2;
    tab.BTNAddFanCtrlTempClick();
    ASSERT_EQ(model.FanCtrls[0].Temps.size(), 1u);
    const TFanCtrlTemp& input = model.FanCtrls[0].Temps[0];
    EXPECT_EQ(input.SensorIndex, 1);
    EXPECT_EQ(input.ReadingIndex, 1);
    EXPECT_EQ(input.MinTemp, 30);
    EXPECT_EQ(input.MaxTemp, 60);
    EXPECT_EQ(input.Hysteresis, 2);
    EXPECT_EQ(input.ControlPoints, DefaultPoints);
    EXPECT_EQ(input.Duty, 0);
    EXPECT_EQ(tab.TempItems, (std::vector<std::string>{offered[2]}));
    EXPECT_EQ(tab.ChosenInput, -1);

    // The editor stays on its input while the inputs grow.
    row = 0;
    tab.LBFanControlTempsClick(0);
    for (int i = 0; i < 8; ++i) tab.BTNAddFanCtrlTempClick();
    tab.SetControlPoint(0, 50);
    EXPECT_EQ(model.FanCtrls[0].Temps[0].ControlPoints[0], 50);
    tab.LBFanControlTempsClick(1);
    tab.BTNRemFanCtrlTempClick();
    EXPECT_EQ(tab.ChosenInput, 0);
    EXPECT_EQ(tab.ResponseView.Input, 0);
    EXPECT_EQ(tab.HysteresisValue, 2);
}

}  // namespace
