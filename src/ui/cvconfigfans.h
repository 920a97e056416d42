#pragma once
// The Fan Control tab: fan controllers over the dialog's working copy
// FanCtrls, each driving one PWM output from temperature inputs, and the
// response-curve editor of the chosen input. TFanControlTab holds the
// handlers without widgets; TFanControlPage and TResponseGraph show it.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <QWidget>

#include "core/cvfancontrol.h"
#include "core/cvsensors.h"
#include "ui/cvconfigmodel.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QSpinBox;
class TUiPrompts;

using TFanCurve = std::array<double, FanCurvePointCount>;

// The editor's input, by (controller, input) index: the arrays may grow
// while it is shown, so it never keeps a pointer into them.
struct TResponseView {
    int Controller = -1;
    int Input = -1;
    bool Celsius = true;
};

// What the graph's geometry depends on: the box and the font's metrics.
struct TResponseGraphMetrics {
    int Width = 0;
    int Height = 0;
    int TextHeight = 0;    // of "100%"
    int TextWidth = 0;     // of "999°F"
    int ButtonHeight = 0;  // 0 while the range buttons are not shown
};

struct TGraphPoint {
    int X = 0;
    int Y = 0;
    bool operator==(const TGraphPoint&) const = default;
};

// The response graph's geometry, free of painting.
class TResponseGraphLayout {
public:
    static constexpr int PointRadius = 4;

    explicit TResponseGraphLayout(const TResponseGraphMetrics& metrics);

    int Left() const { return left_; }
    int Right() const { return right_; }
    int Top() const { return top_; }
    int Bottom() const { return bottom_; }
    int PW() const { return pw_; }
    int PH() const { return ph_; }
    int Half() const { return half_; }

    // The y of the 11 horizontal grid lines, 0 % first.
    std::vector<int> GridRows() const;
    // The x of the vertical grid lines and temperature labels; the two ends
    // only when fewer than two labels fit.
    std::vector<int> GridColumns() const;
    // The labels' texts, from MinTemp to MaxTemp, in the chosen unit.
    std::vector<std::string> LabelTexts(int minTemp, int maxTemp, bool celsius) const;
    // The top-left corner of a label drawn at column x.
    TGraphPoint LabelAt(int columnX, int minLabelWidth) const;
    TGraphPoint Point(const TFanCurve& curve, int k) const;
    // The point and the percent a press at (x, y) means; nothing while the
    // plot area is empty.
    std::optional<std::pair<int, int>> Press(int x, int y) const;
    // The left x of the four range buttons: "<" and ">" of the minimum,
    // then of the maximum.
    std::array<int, 4> ButtonsX(int buttonWidth) const;
    int ButtonsY() const { return metrics_.Height - metrics_.ButtonHeight; }

private:
    int columnCount() const;

    TResponseGraphMetrics metrics_;
    int left_, right_, top_, bottom_, pw_, ph_, half_;
};

// The tab's handlers and the state its controls show.
class TFanControlTab {
public:
    TFanControlTab(TDlgConfigModel& model, const TSensorList& sensors, TUiPrompts& prompts, QWidget* owner);

    // 35 for points 0-2, then round((k/15)² × 65) + 35.
    static TFanCurve DefaultCurve();

    // "%s from %s @ $%.4x on %s", with the first matching slot's name in
    // front ("%s - %s").
    std::string SpeedLabel(int sensor, int pwm) const;
    std::string TempLabel(int sensor, int reading) const;
    // Positions in the list of every PWM output of every sensor.
    int SpeedComboIndex(int sensor, int pwm) const;
    std::pair<int, int> SpeedFromComboIndex(int index) const;

    // The controller list, from the working copy.
    void ReloadControllers();

    void TSFanControlShow();
    void TSFanControlHide();
    void CBAdvancedFanControlClick(bool checked);
    void BTNFCntrlAddClick();
    void BTNFCntrlRemoveClick();
    void LBFanControllersClick(int index);
    void CBControlledSpeedChange(int index);
    void CBFanControlMethodChange(int method);
    void CBFanControllerEnabledClick(bool checked);
    void BTNAddFanCtrlTempClick();
    void BTNRemFanCtrlTempClick();
    void LBFanControlTempsClick(int index);
    void EDHysteresisChange(double value);
    void BTNLessMinClick();
    void BTNMoreMinClick();
    void BTNLessMaxClick();
    void BTNMoreMaxClick();
    // A press without the right button: point k to p percent.
    void SetControlPoint(int k, int p);
    // Opens the point menu on point k.
    void ChoosePoint(int k) { ChosenPoint = k; }
    void ShiftControlPoint(int k, int delta);

    // The graph's unit: the dialog's own "Celsius" choice, taken at each painting.
    bool SyncCelsius();
    // The input the editor shows, null when none.
    TFanCtrlTemp* Viewed();
    TFanController* Chosen();

    std::vector<std::string> SpeedItems;
    int SpeedChoice = -1;
    bool AddEnabled = false;
    std::vector<std::string> ControllerItems;
    int ChosenController = -1;
    bool PanelVisible = false;
    bool EditorVisible = false;
    std::vector<std::string> TempItems;
    int ChosenInput = -1;
    bool ResponseVisible = false;
    int HysteresisValue = 0;
    std::string HysteresisText;
    int ChosenPoint = -1;
    TResponseView ResponseView;

    // The page shows the state again and repaints the graph.
    std::function<void()> Changed;

private:
    std::string readingLabel(TReadingKind kind, const std::vector<TUsedData>& slotList, int sensor, int index) const;
    void storePoint(int k, double value);
    // Chooses the entry before a removed one as a click would; none after the first.
    void chooseBefore(int removed, void (TFanControlTab::*click)(int));
    void showVisibility();
    void notify() const;

    TDlgConfigModel& model_;
    const TSensorList& sensors_;
    TUiPrompts& prompts_;
    QWidget* owner_;
};

// PBResponse: the curve of the chosen input, its grid and range buttons.
class TResponseGraph : public QWidget {
public:
    TResponseGraph(TFanControlTab& tab, QWidget* parent = nullptr);
    TResponseGraphLayout Layout() const;
    // The point menu's texts: "%d%%" of the point, then the four shifts.
    static std::vector<std::string> PointMenuTexts(double point);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeButtons();

    TFanControlTab& tab_;
    std::array<QPushButton*, 4> buttons_{};
    QMenu* menu_ = nullptr;
};

class TFanControlPage : public QWidget {
public:
    TFanControlPage(TFanControlTab& tab, TDlgConfigModel& model, QWidget* parent = nullptr);
    // Shows the tab's state in the controls without running their handlers.
    void Refresh();
    TResponseGraph& Graph() { return *graph_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    TFanControlTab& tab_;
    TDlgConfigModel& model_;
    QCheckBox* advanced_ = nullptr;
    QWidget* panel_ = nullptr;
    QListWidget* controllers_ = nullptr;
    QPushButton* add_ = nullptr;
    QWidget* editor_ = nullptr;
    QCheckBox* enabled_ = nullptr;
    QComboBox* speed_ = nullptr;
    QComboBox* method_ = nullptr;
    QListWidget* temps_ = nullptr;
    QWidget* response_ = nullptr;
    QSpinBox* hysteresis_ = nullptr;
    QLabel* hysteresisLabel_ = nullptr;
    TResponseGraph* graph_ = nullptr;
};
