#pragma once
// The readings page of the main window: the label rows of temperatures,
// fans, speeds and voltages, bound by the names the model and the saved
// forms know them by, placed as the model's layout says; the automatic fan
// speed box, the CPU-load panel and the log box `info` below them.

#include <array>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>

#include "core/cvreadingslots.h"

class TReadingsPage : public QWidget {
public:
    // The trend arrows are square pictures of this many pixels.
    explicit TReadingsPage(int trendSize, QWidget* parent = nullptr);

    // What the layout needs of the controls: text widths in the page's font,
    // the columns' left edges and the duty edits' width.
    TLayoutMetrics Metrics() const;
    // Shows, names and places the rows as the model laid them out.
    void ApplyLayout(const TReadingsLayout& layout);
    // The value label of a row (1-based); rows past the page's own are ignored.
    void SetValueText(TReadingKind kind, int row, const std::string& text);
    // The trend arrow beside temperature row 1-9.
    void SetTrend(int row, const QImage& arrow);

    QSpinBox& DutyEdit(int n) { return *edits_.at(static_cast<std::size_t>(n - 1)); }
    QCheckBox& AutoFanSpeedBox() { return *autoFanSpeed_; }
    QPushButton& ConfigButton() { return *configure_; }
    QPlainTextEdit& InfoMemo() { return *info_; }

private:
    // One column of rows on a canvas of its own inside a titled box.
    struct TRows {
        QWidget* Canvas = nullptr;
        std::vector<QLabel*> Names;
        std::vector<QLabel*> Values;
    };

    QWidget* MakeColumn(const char* boxName, const QString& title, TRows& rows, std::size_t count,
                        const char* namePicture, const char* valuePicture);
    void PlaceColumn(TRows& rows, const TLabelColumn& column, int valueWidth, int extraWidth);
    TRows& RowsOf(TReadingKind kind);
    int RowTop(int row) const;

    int trendSize_;
    TRows temps_, fans_, pwms_, volts_;
    std::array<QLabel*, TReadingsLayout::TempRows> trends_{};
    std::array<QSpinBox*, TDutyEdits::Count> edits_{};
    QCheckBox* autoFanSpeed_ = nullptr;
    QPushButton* configure_ = nullptr;
    QPlainTextEdit* info_ = nullptr;
};
