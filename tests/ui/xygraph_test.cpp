#include <algorithm>
#include <cmath>
#include <limits>

#include <QImage>
#include <gtest/gtest.h>

#include "ui/xygraph.h"

namespace {

struct TStepCase {
    double MinStep;
    int Length, Labels;
    double Lo, Hi;
    double Major, Minor;
    int Decimals;
};

TEST(PlotTickSteps, ChoosesStepsAsTheRulesSay) {
    const TStepCase cases[] = {
        {1, 392, 13, 0, 392, 50, 10, -1},          // the time axis of the chart
        {1, 171, 6, 19.6, 61.2, 10, 2, -1},        // labels 20 to 60
        {0.01, 171, 6, 34.5, 36.6, 0.5, 0.1, 1},   // 34.5, 35.0 ...
        {0, 100, 5, -50, -10, 10, 2, -1},          // all below zero
        {0, 400, 8, 0, 1e6, 2e5, 5e4, -5},         // large values
        {0.2, 171, 6, 0, 2.1, 1, 0.2, 1},          // 0.5 is 2.5 minor steps: doubled
        {0, 100, 1, 0, 1, 1, 0.2, 0},              // one tick at first: the search narrows
    };
    for (const auto& c : cases) {
        const TTickSteps steps = PlotTickSteps(c.MinStep, c.Length, c.Labels, c.Lo, c.Hi);
        EXPECT_DOUBLE_EQ(steps.Major, c.Major) << c.Lo << ".." << c.Hi;
        EXPECT_DOUBLE_EQ(steps.Minor, c.Minor) << c.Lo << ".." << c.Hi;
        EXPECT_EQ(steps.Decimals, c.Decimals) << c.Lo << ".." << c.Hi;
    }
}

TEST(PlotDecimals, CountsTheDigitsAStepNeeds) {
    const std::pair<double, int> cases[] = {{0, 99}, {1, 0}, {0.1, 1}, {0.01, 2}, {10, -1}, {0.5, 1}, {-250, -2}};
    for (const auto& [v, decimals] : cases) EXPECT_EQ(PlotDecimals(v), decimals) << v;
}

const QRgb Black = qRgb(0, 0, 0), Green = qRgb(0, 128, 0), Red = qRgb(255, 0, 0);

// A 200 x 100 plot: area from x 20 (left margin) to 200, y 0 to 100; x 0..180
// maps to pixel 20 + x, y 0..100 to pixel 100 - y.
class PlotTest : public ::testing::Test {
protected:
    PlotTest() : image(200, 100, QImage::Format_RGB32) { image.fill(Qt::white); }

    void Open(double yMin = 0, double yMax = 100) {
        plot.PlotBegin(image, Black, Green, 1);
        plot.PlotArea(0, 100, 0, 100, 20, 0, 0, 0, false);
        plot.PlotGridStyle(-1, -1, -1, -1);
        plot.PlotXAxis(Green, "", false, 0, 180, 1, 0, false, true);
        plot.PlotYAxis(Green, "", 1, yMin, yMax, 1, 0, false, false, true);
        plot.SetPenColor(Red);
    }
    QRgb At(int x, int y) const { return image.pixel(x, y); }

    QImage image;
    TXyPlot plot;
};

TEST_F(PlotTest, OpeningFillsTheBackgroundInsideAFrame) {
    Open();
    plot.PlotEnd();
    EXPECT_EQ(At(0, 0), Green);
    EXPECT_EQ(At(199, 99), Green);
    EXPECT_EQ(At(100, 50), Black);
}

TEST_F(PlotTest, ALineIsClippedToTheAreaAndKeepsItsLastPixel) {
    Open();
    plot.PlotMoveTo(-50, 50);
    plot.PlotLineTo(90, 50);  // from left of the area to pixel 110
    plot.PlotEndSeries();
    plot.PlotMoveTo(10, 150);
    plot.PlotLineTo(100, 150);  // both ends above the area
    plot.PlotEnd();
    EXPECT_EQ(At(20, 50), Red);
    EXPECT_EQ(At(110, 50), Red);
    EXPECT_NE(At(19, 50), Red);
    EXPECT_NE(At(111, 50), Red);
    for (int x = 0; x < 200; ++x) EXPECT_NE(At(x, 0), Red) << x;
}

TEST_F(PlotTest, ANonFinitePointBreaksTheLine) {
    Open();
    plot.PlotMoveTo(10, 20);
    plot.PlotLineTo(std::numeric_limits<double>::quiet_NaN(), 30);
    plot.PlotLineTo(60, 50);  // moves: no line from (30, 80) to (80, 50)
    plot.PlotLineTo(100, 50);
    plot.PlotEnd();
    EXPECT_NE(At(55, 65), Red);
    EXPECT_EQ(At(80, 50), Red);
    EXPECT_EQ(At(120, 50), Red);
}

TEST_F(PlotTest, EqualOrNonFiniteBoundsDrawNoLines) {
    for (const auto& [min, max] : {std::pair{5.0, 5.0}, std::pair{0.0, std::numeric_limits<double>::infinity()}}) {
        image.fill(Qt::white);
        Open(min, max);
        plot.PlotMoveTo(0, 5);
        plot.PlotLineTo(180, 5);
        plot.PlotEnd();
        for (int x = 0; x < 200; ++x)
            for (int y = 0; y < 100; ++y) ASSERT_NE(At(x, y), Red) << x << "," << y;
    }
}

TEST_F(PlotTest, DottedGridlinesFollowTheirPattern) {
    // The value axis -1..1 has a major tick at 0, pixel 50, and no minor ones.
    for (const auto& [pattern, on] : {std::pair{2, std::vector{40, 41, 44, 45, 48}}, std::pair{7, std::vector{40, 48}}}) {
        image.fill(Qt::white);
        plot.PlotBegin(image, Black, Green, 1);
        plot.PlotArea(0, 100, 0, 100, 20, 0, 0, 0, false);
        plot.PlotGridStyle(0, 0, pattern, pattern);
        plot.PlotXAxis(Green, "", false, 0, 180, 1, 0, false, true);
        plot.PlotYAxis(Green, "", 1, -1, 1, 1, 0, true, false, true);
        plot.PlotEnd();
        for (int x = 40; x <= 48; ++x) {
            const bool set = std::find(on.begin(), on.end(), x) != on.end();
            EXPECT_EQ(At(x, 50) == Green, set) << "pattern " << pattern << " x " << x;
        }
    }
}

// Labels at both ends of the value axis are as tall as one in the middle:
// none is cut by the picture's edge.
TEST_F(PlotTest, ValueLabelsAtTheEndsAreDrawnWhole) {
    plot.PlotBegin(image, Black, Green, 1);
    plot.PlotArea(0, 100, 0, 100, 60, 0, 0, 0, false);
    plot.PlotGridStyle(-1, -1, -1, -1);
    plot.PlotXAxis(Green, "", false, 0, 140, 1, 0, false, true);
    plot.PlotYAxis(Green, "", 1, 0, 100, 1, 0, false, false, true);
    const int labelRight = 60 - plot.PlotCharWidth() - 2;
    plot.PlotEnd();
    // Rows holding ink of a label, counted between two rows of the picture.
    const auto inkRows = [&](int from, int to) {
        int rows = 0;
        for (int y = std::max(from, 1); y <= std::min(to, 98); ++y) {
            bool ink = false;
            for (int x = 1; x <= labelRight; ++x) ink = ink || At(x, y) != Black;
            rows += ink;
        }
        return rows;
    };
    const int middle = inkRows(30, 70);  // the label "50" alone
    ASSERT_GT(middle, 3);
    EXPECT_EQ(inkRows(0, 29), middle);   // "100" at the top edge
    EXPECT_EQ(inkRows(71, 99), middle);  // "0" at the bottom edge
}

}  // namespace
