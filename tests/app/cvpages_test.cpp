// The Charts and Exotics pages on the demo board: the start-up lists the
// chart's slots, the boxes are built from the detected readings, and main
// ticks on virtual time feed both.

#include <cmath>

#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "app/demowindow.h"
#include "cpu/noscpuusage.h"
#include "ui/cvcbaseframe.h"
#include "ui/cvcharts.h"
#include "ui/cvclockpage.h"
#include "ui/cvexoticspanel.h"
#include "ui/cvsmartpage.h"
#include "ui/trendimages.h"

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
    charts.JLVChart().topLevelItem(2)->setCheckState(0, Qt::Checked);  // 30C, red
    charts.JLVChart().topLevelItem(6)->setCheckState(0, Qt::Checked);  // the LM90's 40C, grey
    QImage image(392, 171, QImage::Format_RGB32);
    charts.PBChartPaint(image);
    // 30..40 within bounds inset from the box: rows of the two values in the middle column.
    const auto [lower, upper] = ChartInsetBounds(30, 40, ChartBounds(30, 40), 171);
    const auto row = [&](double v) { return static_cast<int>(std::nearbyint(171 - (v - lower) / (upper - lower) * 171)); };
    EXPECT_EQ(image.pixel(250, row(30)), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(250, row(40)), qRgb(128, 128, 128));
}

TEST_F(DemoPagesTest, TicksDrawTheTrendArrowBesideTheRowAndInTheTile) {
    TExoticsPage& exotics = form->Exotics();
    exotics.ScreenDpi = [] { return 96.0; };
    exotics.BTNShowTheMagicClick();
    ASSERT_EQ(monitor.Slots.TempOrder.at(2), 2);
    monitor.Slots.TempSlots[2].Wanted = 40;  // a steady 30C is two below: down
    monitor.Slots.TempSlots[2].Warning = 50;
    Ticks(2);
    const QImage down = TrendCell(2).convertToFormat(QImage::Format_ARGB32);
    const auto shown = [](const QLabel* label) { return label->pixmap().toImage().convertToFormat(QImage::Format_ARGB32); };
    EXPECT_EQ(shown(form->findChild<QLabel*>("TempTrend03")), down);
    TSCBaseFrame* tile = exotics.FindExoticFrame("SCTemp03");
    ASSERT_NE(tile, nullptr);
    EXPECT_EQ(shown(tile->findChild<QLabel*>("trend")), down);
}

}  // namespace

namespace {

class DemoCpuLoadTest : public DemoPagesTest {
protected:
    ~DemoCpuLoadTest() override { CPUUsage.Reset(); }
};

TEST_F(DemoCpuLoadTest, TheOneSecondTickFillsTheReadingsPageTheBoxesAndTheClockPage) {
    ASSERT_EQ(monitor.ClockControls, &form->ClockPage());
    ASSERT_EQ(monitor.SmartView, &form->SmartPage());
    CPUUsage.NumCPUs = 4;
    CPUUsage.total = 5;
    for (int cpu = 0; cpu < 4; ++cpu) CPUUsage.PerCPU[static_cast<std::size_t>(cpu)] = 2.5f + cpu;
    form->Exotics().BTNShowTheMagicClick();
    monitor.CpuLoadTimer();

    EXPECT_EQ(form->findChild<QLabel*>("LABCPULoad")->text(), "5.0%");
    const int lefts[] = {0, 49, 98, 147};
    for (int cpu = 0; cpu < 4; ++cpu) {
        const auto* bar = form->findChild<QProgressBar*>(QString("PBCPULoad%1").arg(cpu, 2, 10, QChar('0')));
        ASSERT_NE(bar, nullptr) << cpu;
        EXPECT_EQ(bar->geometry(), QRect(lefts[cpu], 0, 48, 13)) << cpu;
        EXPECT_EQ(bar->value(), std::vector<int>({2, 4, 4, 6})[static_cast<std::size_t>(cpu)]) << cpu;
    }
    auto* usage = dynamic_cast<TSCUsage*>(form->Exotics().FindExoticFrame("SCCPUUsage01"));
    ASSERT_NE(usage, nullptr);
    EXPECT_EQ(usage->Sample()->text(), "2.5%");
    auto* uptime = dynamic_cast<TSCUptime*>(form->Exotics().FindExoticFrame("SCUptime"));
    ASSERT_NE(uptime, nullptr);
    EXPECT_TRUE(uptime->LABDays().text().endsWith(" days"));
    EXPECT_EQ(form->findChild<QLabel*>("LABClockWish")->text(), "Low power preferred");
}

}  // namespace
