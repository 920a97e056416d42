#include <QLabel>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include "core/coretest.h"
#include "core/fakesensor.h"
#include "core/fakeservices.h"
#include "core/cvmonitor.h"
#include "cpu/noscpuusage.h"
#include "support/testmachine.h"
#include "ui/cvexoticspanel.h"

namespace {

// ---- the window-free layout -------------------------------------------------

TExoticsLayout SixColumns(int boxes) {
    TExoticsLayout layout;
    layout.SetDpi(96);
    layout.ShrinkPanel(393, 365, 393);
    for (int i = 0; i < boxes; ++i) layout.AddBox(TExoticKind::Fan, "SCFan0" + std::to_string(i + 1), i, 1, "S", true);
    return layout;
}

TEST(ExoticsLayout, CellsFollowTheDpiRoundedHalfToEven) {
    TExoticsLayout layout;
    layout.SetDpi(96);
    const TPanelBounds bounds = layout.ShrinkPanel(393, 365, 400);
    EXPECT_EQ(bounds.Width, 379);
    EXPECT_EQ(bounds.Height, 352);
    EXPECT_EQ(bounds.Left, 10);
    layout.SetDpi(66.75);  // 44.5 x 27.8125
    EXPECT_EQ(layout.CellWidth(), 44);
    EXPECT_EQ(layout.CellHeight(), 28);
}

TEST(ExoticsLayout, DropsClampSnapAndSwap) {
    TExoticsLayout layout = SixColumns(3);
    layout.PlaceVisible();  // 0, 63, 126
    auto lines = layout.Drop(0, 1000, 5);
    EXPECT_EQ(layout.Boxes()[0].Left, 315);
    EXPECT_EQ(lines, std::vector<std::string>{"SCFan01 moved to (315,0)"});
    lines = layout.Drop(0, 70, 10);  // onto SCFan02, which takes 315
    EXPECT_EQ(lines, (std::vector<std::string>{"SCFan01 overlaps with SCFan02", "SCFan01 moved to (63,0)"}));
    EXPECT_EQ(layout.Boxes()[1].Left, 315);
    layout.Hide(2);
    layout.Drop(0, 130, 0);  // onto the hidden SCFan03
    EXPECT_EQ(layout.Boxes()[0].Left, 126);
    EXPECT_EQ(layout.Boxes()[2].Left, 63);
    EXPECT_FALSE(layout.Boxes()[2].Visible);
}

TEST(ExoticsLayout, SavesCellsAndReadsThemBack) {
    TExoticsLayout layout = SixColumns(2);
    layout.Boxes()[1].Visible = false;
    layout.PlaceVisible();
    layout.Drop(0, 320, 40);
    EXPECT_EQ(layout.SaveText(),
              "[parameters]\r\nCfgVersion=01.0001\r\nExoticsVersion=01.0001\r\n"
              "[frame]\r\ntype=TSCFan\r\nname=SCFan01\r\nSensorId=S\r\nSensorSubIndex=1\r\nleft=5\r\ntop=1\r\n"
              "visible=true\r\n"
              "[frame]\r\ntype=TSCFan\r\nname=SCFan02\r\nSensorId=S\r\nSensorSubIndex=1\r\nleft=-6\r\ntop=0\r\n"
              "visible=false\r\n");
}

TEST(ExoticsLayout, TheLoaderTakesWhatPeopleWrite) {
    TExoticsLayout layout = SixColumns(0);
    layout.AddBox(TExoticKind::Temperature, "SCTemp01", 0, 1, "Chip", true);
    layout.AddBox(TExoticKind::Fan, "SCFan01", 0, 1, "Chip", true);
    layout.AddBox(TExoticKind::Fan, "SCFan02", 1, 2, "Chip", true);
    layout.AddBox(TExoticKind::Volt, "SCVolt01", 0, 1, "Chip", true);
    layout.Load({"ignored=before any header", "[other]", "type=TSCTemperature", "SensorId=Chip",
                 "SensorSubIndex=1", "left=4", "visible=true",
                 "  # a comment", "", "  [FRAME]  ", "TYPE=tscTemperature", "sensorid=CHIP", "SensorSubIndex=1",
                 "LEFT=2", "Top=3", "visible= TRUE ", "[frame]", "type=TSCFan", "SensorId=Chip",
                 "SensorSubIndex=1", "left=-400", "visible=true", "[frame]", "type=TSCFan", "SensorId=Chip",
                 "SensorSubIndex=2", "left=abc", "top=1", "visible=false", "[frame]", "type=TSCVolt",
                 "SensorId=Chip", "SensorSubIndex=1", "left=99", "visible=true"});
    const auto& b = layout.Boxes();
    EXPECT_EQ(b[0].Left, 126);
    EXPECT_EQ(b[0].Top, 117);
    EXPECT_TRUE(b[0].Visible);
    EXPECT_EQ(b[1].Left, TExoticBox::Unplaced);
    EXPECT_EQ(b[2].Left, TExoticBox::Unplaced);
    EXPECT_FALSE(b[2].Visible);
    EXPECT_EQ(b[3].Left, TExoticBox::Unplaced);  // column 99 lies outside the panel
    layout.PlaceVisible();
    EXPECT_EQ(b[1].Left, 0);
    EXPECT_EQ(b[3].Left, 63);
}

TEST(ExoticsLayout, TwoBoxesOfOneReadingKeepTheirCells) {
    TExoticsLayout layout = SixColumns(2);  // both "S", reading 1
    layout.PlaceVisible();
    layout.Drop(0, 200, 0);
    layout.Drop(1, 100, 50);
    const std::string text = layout.SaveText();
    TExoticsLayout again = SixColumns(2);
    again.Load(testsupport::splitLines(text, "\r\n"));
    EXPECT_EQ(again.Boxes()[0].Left, 189);
    EXPECT_EQ(again.Boxes()[1].Left, 63);
    EXPECT_EQ(again.Boxes()[1].Top, 39);
}

// ---- the page over a monitor --------------------------------------------------

// Two temperatures, a fan and a voltage; two processors; no battery.
class ExoticsPageTest : public coretest::CoreTest {
protected:
    ExoticsPageTest() {
        chip = &coretest::AddFakeSensor(monitor.Sensors, "Chip", {{"T1", "T2"}, {"F1"}, {}, {"V1"}});
        monitor.BuildReadingSlots();
        monitor.AutoAssociate();
        monitor.Window = &window;
        monitor.Dialogs = &dialogs;
        CPUUsage.NumCPUs = 2;
        page.ScreenDpi = [] { return 96.0; };
        page.resize(400, 450);
    }
    ~ExoticsPageTest() override {
        CPUUsage.NumCPUs = 0;
        monitor.Window = nullptr;
        monitor.Dialogs = nullptr;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& box : page.Layout().Boxes()) names.push_back(box.Name);
        return names;
    }
    QPoint At(const std::string& name) { return page.FindExoticFrame(name)->pos(); }

    TMonitor monitor;
    coretest::TFakeSensor* chip = nullptr;
    coretest::TFakeWindow window;
    coretest::TFakeDialogs dialogs;
    TExoticsPage page{monitor};
};

TEST_F(ExoticsPageTest, BuildsTheBoxesInOrderAndFillsTheRows) {
    machine_->session().setPowerStatus(0, platform::PowerStatus{1, 8, 60});
    page.CreateExoticFrames();
    EXPECT_EQ(Names(), (std::vector<std::string>{"SCTemp01", "SCTemp02", "SCFan01", "SCVolt01", "SCCPUUsage01",
                                                 "SCCPUUsage02", "SCFrequency", "SCBattery", "SCUptime"}));
    const int expected[][2] = {{0, 0}, {63, 0}, {126, 0}, {189, 0}, {252, 0}, {315, 0}, {0, 39}, {63, 39}, {126, 39}};
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_EQ(page.Boxes()[i]->geometry(), QRect(expected[i][0], expected[i][1], 64, 40)) << Names()[i];
    EXPECT_EQ(page.PanSamples().width(), 379);
    EXPECT_EQ(page.FindExoticFrame("SCCPUUsage02")->LABDesc().text(), "CPU1");
    EXPECT_EQ(page.FindExoticFrame("SCTemp02")->LABDesc().text().toStdString(), monitor.Slots.TempSlots[1].Name);
    EXPECT_EQ(page.FindExoticFrame("SCTemp02")->SensorName, chip->FDisplayName);
    EXPECT_EQ(std::vector<int>(window.Posted.end() - 2, window.Posted.end()),
              (std::vector<int>{WM_POWER_STATUS, WM_CPU_CLOCK}));

    page.SetReadingTileText(TDisplayKind::Temp, 1, "45C");
    EXPECT_EQ(page.FindExoticFrame("SCTemp02")->Sample()->text(), "45C");
    page.SetTilePicture("SCBattery", 1);
    EXPECT_EQ(static_cast<TSCBattery*>(page.FindExoticFrame("SCBattery"))->ShownCell(), 1);
}

TEST_F(ExoticsPageTest, WithoutABatteryItsBoxIsHiddenAndOffered) {
    page.CreateExoticFrames();  // the simulated desktop has no battery
    TSCBaseFrame& battery = *page.FindExoticFrame("SCBattery");
    EXPECT_FALSE(battery.isVisibleTo(&page.PanSamples()));
    EXPECT_EQ(At("SCUptime"), QPoint(63, 39));

    TSCBaseFrame& uptime = *page.FindExoticFrame("SCUptime");
    uptime.PopupMenuPopup();
    ASSERT_EQ(uptime.unhide().actions().size(), 1);
    EXPECT_EQ(uptime.unhide().actions()[0]->text(), "Battery");
    uptime.unhide().actions()[0]->trigger();
    EXPECT_TRUE(battery.isVisibleTo(&page.PanSamples()));
    EXPECT_EQ(battery.pos(), QPoint(126, 39));
    EXPECT_NE(testsupport::readFile(file("caldavorexotics.cfg")).find("name=SCBattery\r\nSensorId=\r\n"
                                                                      "SensorSubIndex=0\r\nleft=2\r\ntop=1\r\n"
                                                                      "visible=true"),
              std::string::npos);
}

TEST_F(ExoticsPageTest, ABoxHiddenBeforeItWasPlacedComesBackOnTheFirstFreeCell) {
    testsupport::writeFile(file("caldavorexotics.cfg"),
                           "[frame]\r\ntype=TSCFrequency\r\nSensorId=\r\nSensorSubIndex=0\r\nleft=-6\r\ntop=0\r\n"
                           "visible=false\r\n");
    page.CreateExoticFrames();
    TSCBaseFrame& frequency = *page.FindExoticFrame("SCFrequency");
    EXPECT_FALSE(frequency.isVisibleTo(&page.PanSamples()));
    page.UnhideExoticFrame(frequency);
    EXPECT_EQ(frequency.pos(), QPoint(63, 39));  // after the uptime box, which took (0, 39)
}

TEST_F(ExoticsPageTest, ALayoutThatCannotBeWrittenIsReportedAndKept) {
    page.CreateExoticFrames();
    ProgramDir = file("missing/folder/");
    page.HideExoticFrame(*page.FindExoticFrame("SCFan01"));
    EXPECT_EQ(dialogs.Errors, std::vector<std::string>{"Unable to save exotics to " + ProgramDir + "caldavorexotics.cfg"});
    EXPECT_FALSE(page.Layout().Boxes()[2].Visible);
}

TEST_F(ExoticsPageTest, ADragStartsAfterMoreThanThreePixels) {
    page.CreateExoticFrames();
    page.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
    TSCBaseFrame& fan = *page.FindExoticFrame("SCFan01");  // at (126, 0)
    QLabel& handle = fan.LABDesc();
    const QPoint press(10, 5);
    QTest::mousePress(&handle, Qt::LeftButton, {}, press);
    QTest::mouseMove(&handle, press + QPoint(3, 3));
    QTest::mouseRelease(&handle, Qt::LeftButton, {}, press + QPoint(3, 3));
    EXPECT_EQ(fan.pos(), QPoint(126, 0));

    QTest::mousePress(&handle, Qt::LeftButton, {}, press);
    QTest::mouseMove(&handle, press + QPoint(4 + 63, 0));
    QTest::mouseRelease(&handle, Qt::LeftButton, {}, press + QPoint(4 + 63, 0));
    // Dropped on SCVolt01's cell: the two swap.
    EXPECT_EQ(fan.pos(), QPoint(189, 0));
    EXPECT_EQ(At("SCVolt01"), QPoint(126, 0));
}

}  // namespace
