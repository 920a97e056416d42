#include "mainwindow/cvmainreadings.h"

#include <algorithm>

#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "base/cvformat.h"
#include "mainwindow/cvmainlogbox.h"
#include "core/cvvalueformat.h"
#include "ui/qtext.h"

using cvformat::Format;

namespace {

constexpr int ColumnLeft = 8;   // every column's name labels, inside its box
constexpr int Gap = 2;          // between the parts of a row, as the layout places them
constexpr int CpuLoadWidth = 197, CpuLoadHeight = 13;

QLabel* MakeLabel(const std::string& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromStdString(name));
    label->hide();
    return label;
}

}  // namespace

TReadingsPage::TReadingsPage(int trendSize, QWidget* parent) : QWidget(parent), trendSize_(trendSize) {
    setObjectName("TSReadings");
    auto* columns = new QHBoxLayout;
    columns->addWidget(
        MakeColumn("GBTemps", "Temperatures", temps_, TReadingsLayout::TempRows, "NameTemp%d", "LABTemp%d"), 0,
        Qt::AlignTop);
    for (std::size_t i = 0; i < trends_.size(); ++i) {
        trends_[i] = MakeLabel(Format("TempTrend%.2d", {static_cast<int>(i + 1)}), temps_.Canvas);
        trends_[i]->setFixedSize(trendSize_, trendSize_);
    }
    columns->addWidget(MakeColumn("GBFans", "Fans", fans_, TReadingsLayout::FanRows, "NameFan%d", "LABFan%d"), 0,
                       Qt::AlignTop);
    columns->addWidget(MakeColumn("GBSpeeds", "Speeds", pwms_, TReadingsLayout::PwmRows, "LABPwm%d", "LAB2Pwm%d"), 0,
                       Qt::AlignTop);
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        auto* edit = new QSpinBox(pwms_.Canvas);
        edit->setObjectName(Q(Format("EDFan%dCycles", {static_cast<int>(i + 1)})));
        edit->setRange(0, 100);
        edit->hide();
        edits_[i] = edit;
        pwms_.Values[i]->setText("%");
    }
    columns->addWidget(
        MakeColumn("GBVolts", "Voltages", volts_, TReadingsLayout::VoltRows, "NameVolt%.2d", "LABVolt%.2d"), 0,
        Qt::AlignTop);
    columns->addStretch();

    autoFanSpeed_ = new QCheckBox("Automatic fan speed", this);
    autoFanSpeed_->setObjectName("CBAutoFanSpeed");
    auto* cpuLoadLabel = new QLabel("0%", this);
    cpuLoadLabel->setObjectName("LABCPULoad");
    auto* cpuLoad = new QFrame(this);
    cpuLoad->setObjectName("PanCPULoad");
    cpuLoad->setFrameShape(QFrame::StyledPanel);
    cpuLoad->setFixedSize(CpuLoadWidth, CpuLoadHeight);
    auto* controls = new QHBoxLayout;
    controls->addWidget(autoFanSpeed_);
    configure_ = new QPushButton("Configure", this);
    configure_->setObjectName("BTNConfig");
    controls->addWidget(configure_);
    controls->addStretch();
    auto* cpuLoadTitle = new QLabel("CPU load:", this);
    cpuLoadTitle->setObjectName("LABCPULoadTitle");
    controls->addWidget(cpuLoadTitle);
    controls->addWidget(cpuLoadLabel);
    controls->addWidget(cpuLoad);

    info_ = MakeLogMemo("info", this);
    auto* page = new QVBoxLayout(this);
    page->addLayout(columns);
    page->addLayout(controls);
    page->addWidget(info_, 1);
    ApplyLayout(TReadingsLayout{});
}

QWidget* TReadingsPage::MakeColumn(const char* boxName, const QString& title, TRows& rows, std::size_t count,
                                   const char* namePicture, const char* valuePicture) {
    auto* box = new QGroupBox(title, this);
    box->setObjectName(boxName);
    rows.Canvas = new QWidget(box);
    auto* inside = new QVBoxLayout(box);
    inside->addWidget(rows.Canvas);
    for (std::size_t i = 0; i < count; ++i) {
        const int row = static_cast<int>(i + 1);
        rows.Names.push_back(MakeLabel(Format(namePicture, {row}), rows.Canvas));
        rows.Values.push_back(MakeLabel(Format(valuePicture, {row}), rows.Canvas));
    }
    return box;
}

int TReadingsPage::RowTop(int row) const {
    // Rows are as tall as a duty edit, so the four columns line up.
    const int height = std::max(fontMetrics().height() + 4, edits_[0] ? edits_[0]->sizeHint().height() : 0);
    return row * height;
}

TLayoutMetrics TReadingsPage::Metrics() const {
    TLayoutMetrics metrics;
    const QFontMetrics font = fontMetrics();
    metrics.TextWidth = [font](const std::string& text) { return font.horizontalAdvance(Q(text)); };
    metrics.TempNameLeft = metrics.FanNameLeft = metrics.PwmNameLeft = metrics.VoltNameLeft = ColumnLeft;
    metrics.PwmEditWidth = edits_[0]->sizeHint().width();
    return metrics;
}

void TReadingsPage::PlaceColumn(TRows& rows, const TLabelColumn& column, int valueWidth, int extraWidth) {
    int right = ColumnLeft + column.NameWidth;
    for (std::size_t i = 0; i < rows.Names.size(); ++i) {
        const bool shown = column.Visible[i];
        const int top = RowTop(static_cast<int>(i));
        QLabel& name = *rows.Names[i];
        name.setText(Q(column.Names[i]));
        name.setGeometry(ColumnLeft, top, column.NameWidth, RowTop(1));
        name.setVisible(shown);
        QLabel& value = *rows.Values[i];
        value.setGeometry(column.ValueLeft, top, valueWidth, RowTop(1));
        value.setVisible(shown);
        if (shown) right = std::max(right, column.ValueLeft + valueWidth + extraWidth);
    }
    const int shownRows = static_cast<int>(std::count(column.Visible.begin(), column.Visible.end(), true));
    rows.Canvas->setMinimumSize(right + ColumnLeft, RowTop(shownRows));
    // A kind without a shown row takes no room on the page.
    rows.Canvas->parentWidget()->setVisible(shownRows > 0);
}

void TReadingsPage::ApplyLayout(const TReadingsLayout& layout) {
    const QFontMetrics font = fontMetrics();
    // Room for the widest values the formatters write.
    const int tempWidth = font.horizontalAdvance(Q(FormatTemp(-188, false)));
    PlaceColumn(temps_, layout.Temps, tempWidth, Gap + trendSize_);
    for (std::size_t i = 0; i < trends_.size(); ++i) {
        trends_[i]->move(layout.Temps.ValueLeft + tempWidth + Gap, RowTop(static_cast<int>(i)));
        trends_[i]->setVisible(layout.Temps.Visible[i]);
    }
    PlaceColumn(fans_, layout.Fans, font.horizontalAdvance(Q(FormatRpm(88888))), 0);

    // Speed rows: name, duty edit, then the third label after the edit.
    const int editWidth = edits_[0]->sizeHint().width();
    TLabelColumn speeds = layout.Pwms;
    const int percentWidth = font.horizontalAdvance("%");
    speeds.ValueLeft = layout.Pwms.ThirdLeft;
    PlaceColumn(pwms_, speeds, percentWidth, 0);
    for (std::size_t i = 0; i < edits_.size(); ++i) {
        edits_[i]->setGeometry(layout.Pwms.ValueLeft, RowTop(static_cast<int>(i)), editWidth, RowTop(1));
        edits_[i]->setVisible(layout.Pwms.Visible[i]);
    }

    PlaceColumn(volts_, layout.Volts, layout.Volts.ValueWidth, 0);
}

TReadingsPage::TRows& TReadingsPage::RowsOf(TReadingKind kind) {
    switch (kind) {
    case TReadingKind::Temp: return temps_;
    case TReadingKind::Fan: return fans_;
    case TReadingKind::Pwm: return pwms_;
    case TReadingKind::Volt: break;
    }
    return volts_;
}

void TReadingsPage::SetValueText(TReadingKind kind, int row, const std::string& text) {
    // A speed row shows its duty in the edit, not in a label.
    if (kind == TReadingKind::Pwm) return;
    auto& values = RowsOf(kind).Values;
    if (row < 1 || static_cast<std::size_t>(row) > values.size()) return;
    values[static_cast<std::size_t>(row - 1)]->setText(Q(text));
}

void TReadingsPage::SetTrend(int row, const QImage& arrow) {
    if (row < 1 || static_cast<std::size_t>(row) > trends_.size()) return;
    trends_[static_cast<std::size_t>(row - 1)]->setPixmap(QPixmap::fromImage(arrow));
}
