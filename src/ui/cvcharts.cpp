#include "ui/cvcharts.h"

#include <algorithm>
#include <cmath>

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/cvtrace.h"
#include "core/cvmonitor.h"
#include "core/cvvalueformat.h"
#include "core/cvvars.h"
#include "platform/platform.h"
#include "ui/cvcontrolbinder.h"
#include "ui/textfit.h"
#include "ui/xygraph.h"

namespace {

constexpr int ChartWidth = 392, ChartHeight = 171;
constexpr std::uint32_t Black = 0x000000;

QColor FromBgr(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// The paint box: its painting is the page's.
class TChartBox : public QWidget {
public:
    explicit TChartBox(TChartsPage& page) : page_(page) {
        setObjectName("PBChart");
        setMinimumSize(ChartWidth, ChartHeight);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

protected:
    void paintEvent(QPaintEvent*) override { page_.PBChartPaint(*this); }

private:
    TChartsPage& page_;
};

constexpr TReadingKind Kinds[] = {TReadingKind::Temp, TReadingKind::Fan, TReadingKind::Volt};

double Shown(const TChartSeries& s, double v, bool useCelsius) {
    return s.Temperature ? TempToDisplay(v, useCelsius) : v;
}

std::size_t RoundedTextLength(double v) { return std::to_string(static_cast<long long>(std::nearbyint(v))).size(); }

}  // namespace

std::uint32_t ChartColor(int rank) {
    static const std::vector<std::uint32_t> usable = [] {
        std::vector<std::uint32_t> colours;
        std::copy_if(ChartColors.begin(), ChartColors.end(), std::back_inserter(colours),
                     [](std::uint32_t c) { return c != ChartFrameColor; });
        return colours;
    }();
    return usable[static_cast<std::size_t>(rank) % usable.size()];
}

std::optional<TTimeRange> ChartTimeRange(const std::vector<TChartSeries>& series) {
    std::optional<TTimeRange> range;
    for (const auto& s : series) {
        if (s.Stats->FWindowCount == 0) continue;
        const TDateTime oldest = s.Stats->WindowTime(1), newest = s.Stats->WindowTime(s.Stats->FWindowCount);
        if (!range) {
            range = TTimeRange{oldest, newest};
            continue;
        }
        range->Start = std::min(range->Start, oldest);
        range->End = std::max(range->End, newest);
    }
    return range;
}

std::pair<double, double> ChartValueRange(const std::vector<TChartSeries>& series, bool useCelsius) {
    std::pair<double, double> range{0, 0};
    bool first = true;
    for (const auto& s : series) {
        const double min = Shown(s, s.Stats->FWindowMin, useCelsius);
        const double max = Shown(s, s.Stats->FWindowMax, useCelsius);
        range.first = first ? min : std::min(range.first, min);
        range.second = first ? max : std::max(range.second, max);
        first = false;
    }
    return range;
}

double ChartGridStep(double min, double max) {
    const double size = std::fabs(max - min);
    return size < 1 ? 0.01 : size < 5 ? 0.1 : 1;
}

int ChartMarginChars(double min, double max, double step) {
    const auto n = static_cast<int>(std::max(RoundedTextLength(min), RoundedTextLength(max)));
    return n + (step == 1 ? 2 : 4);
}

std::pair<double, double> ChartBounds(double min, double max) {
    return {min >= 0 ? min * 0.98 : min * 1.02, max >= 0 ? max * 1.02 : max * 0.98};
}

std::pair<double, double> ChartInsetBounds(double min, double max, std::pair<double, double> bounds, int pixels) {
    if (pixels <= 2 * ChartInsetPixels || !(max > min || bounds.second > bounds.first)) return bounds;
    const double share = static_cast<double>(ChartInsetPixels) / pixels;
    const double lowGap = min - bounds.first, highGap = bounds.second - max;
    // Each gap must be share of the whole range, which grows with the gaps:
    // the fixed point, exact for equal gaps, otherwise from the larger one.
    const double even = share * (max - min) / (1 - 2 * share);
    double low = std::max(lowGap, even), high = std::max(highGap, even);
    if (lowGap > even) high = std::max(highGap, share * (max - min + lowGap) / (1 - share));
    if (highGap > even) low = std::max(lowGap, share * (max - min + highGap) / (1 - share));
    return {min - low, max + high};
}

std::string ChartAxisTitle(TReadingKind kind, bool useCelsius) {
    switch (kind) {
    case TReadingKind::Fan: return "RPM";
    case TReadingKind::Volt: return "V";
    default: return useCelsius ? "C" : "F";
    }
}

TChartsPage::TChartsPage(TMonitor& monitor, QWidget* parent) : QWidget(parent), monitor_(monitor) {
    setObjectName("TSCharts");
    auto* page = new QVBoxLayout(this);
    auto* chartPanel = new QFrame;
    chartPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* chartLayout = new QVBoxLayout(chartPanel);
    chartLayout->setContentsMargins(1, 1, 1, 1);
    chart_ = new TChartBox(*this);
    chartLayout->addWidget(chart_);
    page->addWidget(chartPanel, 1);

    auto* below = new QHBoxLayout;
    auto* choice = new QVBoxLayout;
    choice->addWidget(Named("LABChartElements", new QLabel("Analyze")));
    elements_ = new QComboBox;
    elements_->setObjectName("CBChartElements");
    elements_->addItems({"temperatures", "fan speeds", "voltages"});
    choice->addWidget(elements_);
    auto* times = new QFormLayout;
    startTime_ = new QLineEdit;
    startTime_->setObjectName("EDGraphStartTime");
    endTime_ = new QLineEdit;
    endTime_->setObjectName("EDGraphEndTime");
    // Wide enough for the whole date and time of the locale's picture; two
    // digits in every field make the widest text.
    const QString widest = QString::fromStdString(
        FormatDateTime("c", EncodeDateTime({2028, 12, 28, 20, 58, 58, 0, 0}), platform::current().locale()));
    for (QLineEdit* edit : {startTime_, endTime_}) {
        edit->setReadOnly(true);
        edit->setMinimumWidth(LineEditWidthFor(*edit, widest));
    }
    times->addRow(Named("LABGraphStartTime", new QLabel("Start time")), startTime_);
    times->addRow(Named("LABGraphEndTime", new QLabel("End time")), endTime_);
    choice->addLayout(times);
    choice->addStretch();
    below->addLayout(choice);

    list_ = new QTreeWidget;
    list_->setObjectName("JLVChart");
    list_->setHeaderLabels({"Value", "Color"});
    list_->setColumnWidth(0, 200);
    list_->setColumnWidth(1, 100);
    list_->setRootIsDecorated(false);
    list_->setSortingEnabled(false);
    below->addWidget(list_, 1);
    page->addLayout(below);

    connect(elements_, &QComboBox::currentIndexChanged, this, [this](int index) { CBChartElementsClick(index); });
    connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) { ItemChanged(item, column); });
}

TReadingKind TChartsPage::Kind() const { return Kinds[std::clamp(ChartKind, 0, 2)]; }

void TChartsPage::SetupChart() {
    WriteDebugLog("SETUPCHART: start");
    listing_ = true;
    list_->clear();
    WriteDebugLog("SETUPCHART: items cleared");
    const TReadingKind kind = Kind();
    for (std::size_t i = 0; i < monitor_.Slots.SlotCount(kind); ++i) {
        auto* item = new QTreeWidgetItem(list_, {QString::fromStdString(monitor_.Slots.Slot(kind, i).Name), QString()});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
    }
    listing_ = false;
    WriteDebugLog("SETUPCHART: elements set up");
    WriteDebugLog("SETUPCHART: length adjusted");
    WriteDebugLog("SETUPCHART: color indexes set up");
    WriteDebugLog("SETUPCHART: end");
}

void TChartsPage::CBChartElementsClick(int index) {
    if (monitor_.DutyEdits.SuppressPwmWrite || index < 0) return;
    ChartKind = index;
    SetupChart();
}

void TChartsPage::ItemChanged(QTreeWidgetItem*, int column) {
    if (listing_ || column != 0) return;
    RecolourCells();
    RequestRepaint();
}

// Each checked item's colour depends on the check marks above it.
void TChartsPage::RecolourCells() {
    const QSignalBlocker blocker(list_);
    int rank = 0;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        if (item->checkState(0) == Qt::Checked)
            item->setBackground(1, FromBgr(ChartColor(rank++)));
        else
            item->setBackground(1, QBrush());
    }
}

void TChartsPage::RequestRepaint() {
    ++repaints_;
    chart_->update();
}

void TChartsPage::RepaintIfShown() {
    if (chart_->isVisible() && !window()->isMinimized()) RequestRepaint();
}

std::vector<TChartSeries> TChartsPage::CheckedSeries() const {
    std::vector<TChartSeries> series;
    const TReadingKind kind = Kind();
    int rank = -1;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        if (list_->topLevelItem(i)->checkState(0) != Qt::Checked) continue;
        ++rank;
        const auto index = static_cast<std::size_t>(i);
        if (index >= monitor_.Slots.SlotCount(kind)) continue;
        const TReadingData& slot = monitor_.Slots.Slot(kind, index);
        // An unbound slot has no reading to show.
        if (slot.SensorIndex < 0 || static_cast<std::size_t>(slot.SensorIndex) >= monitor_.Sensors.size()) continue;
        const TValueStats& stats = SlotStats(monitor_.Sensors, kind, slot);
        if (stats.FWindowCount == 0) continue;
        series.push_back({&stats, kind == TReadingKind::Temp, rank});
    }
    return series;
}

void TChartsPage::PBChartPaint(QPaintDevice& device) {
    TXyPlot plot;
    plot.PlotBegin(device, FromBgr(Black), FromBgr(ChartFrameColor), 1);
    const std::vector<TChartSeries> series = CheckedSeries();
    const auto time = ChartTimeRange(series);
    if (!time || !(time->End - time->Start > 0)) return plot.PlotEnd();
    const double span = time->End - time->Start;
    const auto& locale = platform::current().locale();
    startTime_->setText(QString::fromStdString(FormatDateTime("c", time->Start, locale)));
    endTime_->setText(QString::fromStdString(FormatDateTime("c", time->End, locale)));

    const bool celsius = monitor_.Options.UseCelsius;
    const auto [min, max] = ChartValueRange(series, celsius);
    const double step = ChartGridStep(min, max);
    const int width = device.width();
    plot.PlotArea(0, 100, 0, 100, plot.PlotCharWidth() * ChartMarginChars(min, max, step), 0, 0, 0, false);
    plot.PlotGridStyle(0, 0, 2, 7);
    plot.PlotXAxis(FromBgr(ChartFrameColor), "", false, 0, width, 1, 0, false, true);
    const auto [lower, upper] = ChartInsetBounds(min, max, ChartBounds(min, max), device.height());
    plot.PlotYAxis(FromBgr(ChartFrameColor), ChartAxisTitle(Kind(), celsius), 1, lower, upper, step, 0, true, false, true);
    for (const TChartSeries& s : series) {
        plot.SetPenColor(FromBgr(ChartColor(s.Rank)));
        plot.PlotMoveTo(0, Shown(s, s.Stats->WindowValue(1), celsius));
        for (int j = 1; j <= s.Stats->FWindowCount; ++j)
            plot.PlotLineTo((s.Stats->WindowTime(j) - time->Start) / span * width,
                            Shown(s, s.Stats->WindowValue(j), celsius));
        plot.PlotEndSeries();
    }
    plot.PlotEnd();
}
