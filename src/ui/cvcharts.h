#pragma once
// The Charts page: the recent history of the checked reading slots of one
// kind as coloured lines over a common time axis. The series arithmetic is
// window-free; the page only lists slots, colours cells and paints.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QWidget>

#include "base/cvdatetime.h"
#include "core/cvreadingslots.h"
#include "core/cvservices.h"

class QComboBox;
class QLineEdit;
class QPaintDevice;
class QTreeWidget;
class QTreeWidgetItem;
class TMonitor;
class TValueStats;

// Series colours as 0x00BBGGRR, by rank among the checked slots.
inline constexpr std::array<std::uint32_t, 8> ChartColors{0x008000, 0x0000FF, 0x808080, 0xFF0000,
                                                          0x00FF00, 0x808000, 0x00FFFF, 0xFF00FF};
// The chart's frame, axes and grid.
inline constexpr std::uint32_t ChartFrameColor = 0x008000;
// The colour of the series of that 0-based rank: the table without the
// frame's colour, cycled, so no line can hide on the frame or a gridline.
std::uint32_t ChartColor(int rank);

// One series: a reading's chart window and how its values are shown.
struct TChartSeries {
    const TValueStats* Stats = nullptr;
    bool Temperature = false;  // values pass through the display conversion
    int Rank = 0;              // among the checked slots: picks the colour
};

struct TTimeRange {
    TDateTime Start = 0;
    TDateTime End = 0;
};
// Oldest and newest time over the series; empty windows take no part.
std::optional<TTimeRange> ChartTimeRange(const std::vector<TChartSeries>& series);
// Lowest window minimum and highest window maximum, converted for display.
std::pair<double, double> ChartValueRange(const std::vector<TChartSeries>& series, bool useCelsius);
double ChartGridStep(double min, double max);
// The left margin in widths of "0": the longer rounded bound's text plus 2,
// or plus 4 when the step has decimals.
int ChartMarginChars(double min, double max, double step);
// Each end 2 % of its own size away from the data.
std::pair<double, double> ChartBounds(double min, double max);
// Pixels between the lowest or highest value and the box's edge.
inline constexpr int ChartInsetPixels = 4;
// Bounds widened where needed so that min and max lie ChartInsetPixels
// inside an axis of that many pixels: a line at either end never falls on
// the frame.
std::pair<double, double> ChartInsetBounds(double min, double max, std::pair<double, double> bounds, int pixels);
// The value axis' title by kind: "C" or "F", "RPM", "V".
std::string ChartAxisTitle(TReadingKind kind, bool useCelsius);

class TChartsPage : public QWidget, public TCharts {
public:
    TChartsPage(TMonitor& monitor, QWidget* parent = nullptr);

    // Lists the slots of ChartKind, unchecked; the chart is not repainted.
    void SetupChart();
    void CBChartElementsClick(int index);
    // Draws the chart of the checked series on Device.
    void PBChartPaint(QPaintDevice& device);
    void RepaintIfShown() override;

    // 0 temperatures, 1 fan speeds, 2 voltages.
    int ChartKind = 0;
    QTreeWidget& JLVChart() { return *list_; }
    QWidget& PBChart() { return *chart_; }
    // Repaints asked for so far, for the tests of the list's ripple.
    int RepaintRequests() const { return repaints_; }

private:
    TReadingKind Kind() const;
    std::vector<TChartSeries> CheckedSeries() const;
    void ItemChanged(QTreeWidgetItem* item, int column);
    void RecolourCells();
    void RequestRepaint();

    TMonitor& monitor_;
    QComboBox* elements_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QWidget* chart_ = nullptr;
    QLineEdit* startTime_ = nullptr;
    QLineEdit* endTime_ = nullptr;
    int repaints_ = 0;
    bool listing_ = false;
};
