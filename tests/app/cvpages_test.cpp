// The Charts and Exotics pages on the demo board: the start-up lists the
// chart's slots, the boxes are built from the detected readings, and main
// ticks on virtual time feed both.

#include <cmath>

#include <QImage>
#include <QLabel>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "app/demowindow.h"
#include "ui/cvcharts.h"
#include "ui/cvexoticspanel.h"

namespace {

class DemoPagesTest : public ::testing::Test, protected apptest::TWindowOnMachine {
protected:
    DemoPagesTest() : TWindowOnMachine(TBoard::Demo) {}
    void SetUp() override {
        Open();
        RunPostedMessages();
    }
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) {
            machine->simClock().advance(3000);
            monitor.RxTimerMainTimer();
        }
    }
};

TEST_F(DemoPagesTest, TicksFeedTheBoxesAndTheChart) {
    TExoticsPage& exotics = form->Exotics();
    exotics.ScreenDpi = [] { return 96.0; };
    exotics.BTNShowTheMagicClick();
    ASSERT_EQ(monitor.Tiles, &exotics);
    TSCBaseFrame* temp = exotics.FindExoticFrame("SCTemp03");
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(temp->pos(), QPoint(126, 0));
    EXPECT_NE(exotics.FindExoticFrame("SCUptime"), nullptr);

    Ticks(4);
    EXPECT_EQ(temp->Sample()->text(), "30C");  // bank 2 50h = 1Eh, as the readings page shows it

    TChartsPage& charts = form->Charts();
    ASSERT_EQ(charts.JLVChart().topLevelItemCount(), static_cast<int>(monitor.Slots.TempSlots.size()));
    charts.JLVChart().topLevelItem(2)->setCheckState(0, Qt::Checked);  // 30C, green
    charts.JLVChart().topLevelItem(6)->setCheckState(0, Qt::Checked);  // the LM90's 40C, red
    QImage image(392, 171, QImage::Format_RGB32);
    charts.PBChartPaint(image);
    // 30..40 with bounds 29.4..40.8: rows of the two values in the middle column.
    const auto row = [](double v) { return static_cast<int>(std::nearbyint(171 - (v - 29.4) / (40.8 - 29.4) * 171)); };
    EXPECT_EQ(image.pixel(250, row(30)), qRgb(0, 128, 0));
    EXPECT_EQ(image.pixel(250, row(40)), qRgb(255, 0, 0));
}

}  // namespace
