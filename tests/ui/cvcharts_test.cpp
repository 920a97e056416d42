#include <cmath>

#include <QImage>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "base/cvdatetime.h"
#include "core/coretest.h"
#include "core/fakesensor.h"
#include "core/cvmonitor.h"
#include "support/testmachine.h"
#include "ui/cvcharts.h"
#include "ui/xygraph.h"

namespace {

constexpr double Minute = 1.0 / (24 * 60);
const TDateTime TenOClock = 45000 + 10.0 / 24;

TEST(ChartSeries, MarginsStepsAndBounds) {
    struct TCase {
        double Min, Max, Step;
        int Chars;
    };
    const TCase cases[] = {
        {35.2, 35.9, 0.01, 6}, {0, 4000, 1, 6}, {-2.5, 12.3, 1, 4},
        {-0.5, 0.4, 0.01, 5},  // -0.5 rounds to 0 (half to even): one character
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(ChartGridStep(c.Min, c.Max), c.Step) << c.Min;
        EXPECT_EQ(ChartMarginChars(c.Min, c.Max, c.Step), c.Chars) << c.Min;
    }
    const auto [low, high] = ChartBounds(-10, -5);
    EXPECT_DOUBLE_EQ(low, -10.2);
    EXPECT_DOUBLE_EQ(high, -4.9);
    const auto [low2, high2] = ChartBounds(20, 60);
    EXPECT_DOUBLE_EQ(low2, 19.6);
    EXPECT_DOUBLE_EQ(high2, 61.2);
}

// Inset bounds put the lowest and highest value at least the inset inside
// an axis of 171 pixels, and leave bounds that already do so alone.
TEST(ChartSeries, TheEndsOfTheDataStayInsideTheBox) {
    const std::pair<double, double> cases[] = {{1507, 7500}, {0, 4000}, {20, 60}, {-10, -5}, {-3, 250}};
    for (const auto& [min, max] : cases) {
        const auto [lower, upper] = ChartInsetBounds(min, max, ChartBounds(min, max), 171);
        EXPECT_LE(lower, ChartBounds(min, max).first) << min;
        EXPECT_GE(upper, ChartBounds(min, max).second) << min;
        const double pixel = 171 / (upper - lower);
        EXPECT_GE((min - lower) * pixel, ChartInsetPixels - 1e-9) << min;
        EXPECT_GE((upper - max) * pixel, ChartInsetPixels - 1e-9) << max;
        // Widened no further than the inset asks.
        if (std::pair{lower, upper} != ChartBounds(min, max)) {
            EXPECT_NEAR(std::min((min - lower) * pixel, (upper - max) * pixel), ChartInsetPixels, 1e-6) << min;
        }
    }
    // Bounds already far enough out stay.
    EXPECT_EQ(ChartInsetBounds(50, 50, {49, 51}, 171), (std::pair<double, double>{49, 51}));
    EXPECT_EQ(ChartInsetBounds(35.2, 35.9, ChartBounds(35.2, 35.9), 171), ChartBounds(35.2, 35.9));
    EXPECT_EQ(ChartInsetBounds(0, 0, {0, 0}, 171), (std::pair<double, double>{0, 0}));
}

TEST(ChartSeries, ColoursCycleAndTitlesFollowTheKind) {
    // The frame's green is never a series colour.
    EXPECT_EQ(ChartColor(0), 0x0000FFu);
    EXPECT_EQ(ChartColor(1), 0x808080u);
    EXPECT_EQ(ChartColor(6), 0xFF00FFu);
    EXPECT_EQ(ChartColor(7), ChartColor(0));
    for (int rank = 0; rank < 16; ++rank) EXPECT_NE(ChartColor(rank), ChartFrameColor) << rank;
    EXPECT_EQ(ChartAxisTitle(TReadingKind::Temp, true), "C");
    EXPECT_EQ(ChartAxisTitle(TReadingKind::Temp, false), "F");
    EXPECT_EQ(ChartAxisTitle(TReadingKind::Fan, true), "RPM");
    EXPECT_EQ(ChartAxisTitle(TReadingKind::Volt, true), "V");
}

// A chip of five temperatures and two fans, bound to their slots.
class ChartsPageTest : public coretest::CoreTest {
protected:
    ChartsPageTest() {
        chip = &coretest::AddFakeSensor(monitor.Sensors, "Chip", {{"T1", "T2", "T3", "T4", "T5"}, {"F1", "F2"}, {}, {}});
        monitor.BuildReadingSlots();
        monitor.AutoAssociate();
        monitor.DutyEdits.SuppressPwmWrite = false;
        page.SetupChart();
    }
    // Samples of the first two temperatures at a time.
    void SampleAt(TDateTime time, double t1, double t2) {
        SampleTime = time;
        chip->Sample(TReadingKind::Temp, {t1, t2, 0, 0, 0});
    }
    void Check(int item) { page.JLVChart().topLevelItem(item)->setCheckState(0, Qt::Checked); }
    QColor Cell(int item) { return page.JLVChart().topLevelItem(item)->background(1).color(); }
    QImage Paint() {
        QImage image(392, 171, QImage::Format_RGB32);
        page.PBChartPaint(image);
        return image;
    }

    TMonitor monitor;
    coretest::TFakeSensor* chip = nullptr;
    TChartsPage page{monitor};
};

TEST_F(ChartsPageTest, ChecksRecolourEveryCellAndAskOneRepaintEach) {
    ASSERT_EQ(page.JLVChart().topLevelItemCount(), 5);
    Check(2);
    EXPECT_EQ(Cell(2), QColor(255, 0, 0));
    EXPECT_EQ(page.RepaintRequests(), 1);
    Check(0);
    EXPECT_EQ(Cell(0), QColor(255, 0, 0));
    EXPECT_EQ(Cell(2), QColor(128, 128, 128));
    EXPECT_EQ(page.JLVChart().topLevelItem(1)->background(1).style(), Qt::NoBrush);
    EXPECT_EQ(page.RepaintRequests(), 2);
}

TEST_F(ChartsPageTest, ChoosingFanSpeedsListsTheFanSlotsUnchecked) {
    Check(0);
    page.CBChartElementsClick(1);
    EXPECT_EQ(page.ChartKind, 1);
    ASSERT_EQ(page.JLVChart().topLevelItemCount(), 2);
    EXPECT_EQ(page.JLVChart().topLevelItem(0)->text(0).toStdString(), monitor.Slots.FanSlots[0].Name);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(page.JLVChart().topLevelItem(i)->checkState(0), Qt::Unchecked);
    const QImage image = Paint();
    EXPECT_EQ(image.pixel(200, 85), qRgb(0, 0, 0));  // nothing checked: black inside the frame
    EXPECT_EQ(image.pixel(0, 0), qRgb(0, 128, 0));
}

TEST_F(ChartsPageTest, TwoSeriesShareTheTimeAxis) {
    // T1 from 10:00 to 10:05, T2 from 10:02 to 10:08: T2 starts a quarter in.
    TValueStats first(256, "T1"), second(256, "T2");
    for (int m = 0; m <= 5; ++m) SampleTime = TenOClock + m * Minute, first.Add(30);
    for (int m = 2; m <= 8; ++m) SampleTime = TenOClock + m * Minute, second.Add(m == 8 ? 60 : 50);
    const auto range = ChartTimeRange({{&first}, {&second}});
    ASSERT_TRUE(range);
    EXPECT_NEAR(range->Start, TenOClock, 1e-9);
    EXPECT_NEAR(range->End, TenOClock + 8 * Minute, 1e-9);
    const auto [min, max] = ChartValueRange({{&first}, {&second}}, true);
    EXPECT_EQ(min, 30);
    EXPECT_EQ(max, 60);
}

TEST_F(ChartsPageTest, TheSecondSeriesBeginsFlatFromTheLeftEdge) {
    monitor.Sensors.clear();
    chip = &coretest::AddFakeSensor(monitor.Sensors, "Chip", {{"T1", "T2"}, {}, {}, {}});
    // T1 sampled 10:00-10:05 at 33; T2 sampled 10:02-10:08, 50 then 60 at the end.
    auto& t1 = *chip->GetTemp(1).Stats;
    auto& t2 = *chip->GetTemp(2).Stats;
    for (int m = 0; m <= 5; ++m) SampleTime = TenOClock + m * Minute, t1.Add(33);
    for (int m = 2; m <= 8; ++m) SampleTime = TenOClock + m * Minute, t2.Add(m == 8 ? 60 : 50);
    Check(0);
    Check(1);
    const QImage image = Paint();

    QImage probe(392, 171, QImage::Format_RGB32);
    TXyPlot plot;
    plot.PlotBegin(probe, Qt::black, Qt::black, 1);
    const int left = plot.PlotCharWidth() * (2 + 2);  // 33..60: step 1, two digits
    plot.PlotEnd();
    const int width = 392 - left;
    const auto [lower, upper] = ChartInsetBounds(33, 60, ChartBounds(33, 60), 171);
    const int y50 = static_cast<int>(std::nearbyint(171 - (50 - lower) / (upper - lower) * 171));
    const int y33 = static_cast<int>(std::nearbyint(171 - (33 - lower) / (upper - lower) * 171));
    // Where no dotted gridline sets a pixel: x mod 4 = 2.
    const auto offGrid = [](int x) { return x + (6 - x % 4) % 4; };
    const QRgb red = qRgb(255, 0, 0), grey = qRgb(128, 128, 128);
    EXPECT_EQ(image.pixel(left + 2, y50), grey);
    EXPECT_EQ(image.pixel(left + width / 4 - 2, y50), grey);
    EXPECT_EQ(image.pixel(left + width / 2, y33), red);  // T1 ends at 10:05, 5/8 in
    EXPECT_NE(image.pixel(offGrid(left + width * 3 / 4), y33), red);
}

// Two fans, one at the lowest and one at the highest value: both lines
// show, inside the frame.
TEST_F(ChartsPageTest, SeriesAtTheBoundsStayVisibleInsideTheFrame) {
    page.CBChartElementsClick(1);
    for (int m = 0; m <= 5; ++m) {
        SampleTime = TenOClock + m * Minute;
        chip->Sample(TReadingKind::Fan, {1507, 7500});
    }
    Check(0);
    Check(1);
    const QImage image = Paint();
    for (const QRgb colour : {qRgb(255, 0, 0), qRgb(128, 128, 128)}) {
        int inside = 0;
        for (int y = 0; y < 171; ++y)
            for (int x = 0; x < 392; ++x) {
                if (image.pixel(x, y) != colour) continue;
                ++inside;
                ASSERT_TRUE(y >= ChartInsetPixels - 1 && y <= 170 - ChartInsetPixels + 1) << x << "," << y;
            }
        EXPECT_GT(inside, 200) << std::hex << colour;
    }
}

TEST_F(ChartsPageTest, AZeroSpanOrAnUnboundSlotDrawsOnlyTheFrame) {
    SampleAt(TenOClock, 40, 41);
    monitor.Slots.TempSlots[2].SensorIndex = -1;
    Check(0);
    Check(2);
    const QImage image = Paint();
    for (int x = 1; x < 391; x += 7)
        for (int y = 1; y < 170; y += 5) ASSERT_EQ(image.pixel(x, y), qRgb(0, 0, 0)) << x << "," << y;
}

TEST_F(ChartsPageTest, SetupWritesItsSixTraceLines) {
    const auto lines = testsupport::traceLines(file("debug.nfo"));
    const std::vector<std::string> expected{"SETUPCHART: start",          "SETUPCHART: items cleared",
                                            "SETUPCHART: elements set up", "SETUPCHART: length adjusted",
                                            "SETUPCHART: color indexes set up", "SETUPCHART: end"};
    ASSERT_GE(lines.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - 6, lines.end()), expected);
}

}  // namespace
