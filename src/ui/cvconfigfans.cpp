#include "ui/cvconfigfans.h"

#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvreadingslots.h"
#include "hw/cvlink.h"
#include "ui/cvcontrolbinder.h"
#include "ui/textfit.h"
#include "ui/cvdlgselecttemp.h"
#include "ui/uiprompts.h"
#include "ui/qtext.h"

using cvformat::Format;

namespace {

constexpr int MinTempLimit = -100;
constexpr int MaxTempLimit = 250;
constexpr int LastPoint = FanCurvePointCount - 1;

}  // namespace

// ---- TResponseGraphLayout

TResponseGraphLayout::TResponseGraphLayout(const TResponseGraphMetrics& metrics) : metrics_(metrics) {
    half_ = metrics.TextHeight / 2;
    left_ = metrics.TextWidth / 2 + 5;
    right_ = metrics.TextWidth + 10;
    top_ = 10;
    bottom_ = metrics.TextHeight + 2 * half_ + (metrics.ButtonHeight > 0 ? metrics.ButtonHeight - 2 : 0);
    pw_ = metrics.Width - left_ - right_;
    ph_ = metrics.Height - top_ - bottom_;
}

std::vector<int> TResponseGraphLayout::GridRows() const {
    std::vector<int> rows;
    for (int i = 0; i <= 10; ++i) rows.push_back(metrics_.Height - bottom_ - RoundToInt32(ph_ / 10.0 * i));
    return rows;
}

int TResponseGraphLayout::columnCount() const {
    const int step = metrics_.TextWidth + 6;
    return std::max(step > 0 ? pw_ / step : 0, 2);
}

std::vector<int> TResponseGraphLayout::GridColumns() const {
    const int n = columnCount();
    std::vector<int> columns;
    for (int d = 0; d < n; ++d) columns.push_back(left_ + RoundToInt32(pw_ / static_cast<double>(n - 1) * d));
    return columns;
}

std::vector<std::string> TResponseGraphLayout::LabelTexts(int minTemp, int maxTemp, bool celsius) const {
    const int n = columnCount();
    std::vector<std::string> texts;
    for (int d = 0; d < n; ++d) {
        const int t = minTemp + RoundToInt32((maxTemp - minTemp) / static_cast<double>(n - 1) * d);
        texts.push_back(celsius ? Format("%d°C", {t}) : Format("%d°F", {RoundToInt32(t * 1.8 + 32)}));
    }
    return texts;
}

TGraphPoint TResponseGraphLayout::LabelAt(int columnX, int minLabelWidth) const {
    return {columnX - minLabelWidth / 2, metrics_.Height - bottom_ + half_};
}

TGraphPoint TResponseGraphLayout::Point(const TFanCurve& curve, int k) const {
    return {left_ + RoundToInt32(pw_ / 15.0 * k),
            metrics_.Height - bottom_ - RoundToInt32(ph_ / 100.0 * curve[static_cast<std::size_t>(k)])};
}

std::optional<std::pair<int, int>> TResponseGraphLayout::Press(int x, int y) const {
    if (pw_ <= 0 || ph_ <= 0) return std::nullopt;
    const int k = std::clamp(RoundToInt32((x - left_) / (pw_ / 15.0)), 0, LastPoint);
    const int p = std::clamp(RoundToInt32(static_cast<double>(metrics_.Height - y - bottom_) / ph_ * 100), 0, 100);
    return std::pair{k, p};
}

std::array<int, 4> TResponseGraphLayout::ButtonsX(int buttonWidth) const {
    const int rightLine = metrics_.Width - right_;
    return {left_ + 2 - buttonWidth, left_ + 2, rightLine + 2 - buttonWidth, rightLine + 2};
}

// ---- TFanControlTab

TFanControlTab::TFanControlTab(TDlgConfigModel& model, const TSensorList& sensors, TUiPrompts& prompts,
                               QWidget* owner)
    : model_(model), sensors_(sensors), prompts_(prompts), owner_(owner) {}

TFanCurve TFanControlTab::DefaultCurve() {
    TFanCurve curve{};
    for (int k = 0; k < FanCurvePointCount; ++k) {
        const double share = k / 15.0;
        curve[static_cast<std::size_t>(k)] = k < 3 ? 35 : RoundToInt32(share * share * 65) + 35;
    }
    return curve;
}

std::string TFanControlTab::readingLabel(TReadingKind kind, const std::vector<TUsedData>& slotList, int sensor,
                                         int index) const {
    if (!Within(sensor, sensors_.size())) return "?";
    const TSensor& s = *sensors_[static_cast<std::size_t>(sensor)];
    std::string label = Format("%s from %s @ $%.4x on %s", {GetReading(s, kind, index).Name, s.FChipName,
                                                             s.FAddress, s.FLink ? s.FLink->BusText() : "none"});
    const auto slot = std::find_if(slotList.begin(), slotList.end(), [&](const TUsedData& data) {
        return data.SensorIndex == sensor && data.ReadingIndex == index;
    });
    return slot == slotList.end() ? label : Format("%s - %s", {slot->Name, label});
}

std::string TFanControlTab::SpeedLabel(int sensor, int pwm) const {
    return readingLabel(TReadingKind::Pwm, model_.Speeds, sensor, pwm);
}

std::string TFanControlTab::TempLabel(int sensor, int reading) const {
    return readingLabel(TReadingKind::Temp, model_.Temps, sensor, reading);
}

int TFanControlTab::SpeedComboIndex(int sensor, int pwm) const {
    int position = 0;
    for (int s = 0; s < static_cast<int>(sensors_.size()); ++s) {
        const int count = sensors_[static_cast<std::size_t>(s)]->GetPwmCount();
        if (s == sensor) return pwm >= 1 && pwm <= count ? position + pwm - 1 : -1;
        position += count;
    }
    return -1;
}

std::pair<int, int> TFanControlTab::SpeedFromComboIndex(int index) const {
    if (index < 0) return {-1, -1};
    for (int s = 0; s < static_cast<int>(sensors_.size()); ++s) {
        const int count = sensors_[static_cast<std::size_t>(s)]->GetPwmCount();
        if (index < count) return {s, index + 1};
        index -= count;
    }
    return {-1, -1};
}

TFanController* TFanControlTab::Chosen() {
    return Within(ChosenController, model_.FanCtrls.size())
               ? &model_.FanCtrls[static_cast<std::size_t>(ChosenController)]
               : nullptr;
}

TFanCtrlTemp* TFanControlTab::Viewed() {
    if (!Within(ResponseView.Controller, model_.FanCtrls.size())) return nullptr;
    auto& temps = model_.FanCtrls[static_cast<std::size_t>(ResponseView.Controller)].Temps;
    return Within(ResponseView.Input, temps.size()) ? &temps[static_cast<std::size_t>(ResponseView.Input)] : nullptr;
}

bool TFanControlTab::SyncCelsius() {
    ResponseView.Celsius = model_.Options.Celsius;
    return ResponseView.Celsius;
}

void TFanControlTab::notify() const {
    if (Changed) Changed();
}

void TFanControlTab::showVisibility() {
    PanelVisible = model_.AdvFanSpeed;
    EditorVisible = PanelVisible && ChosenController >= 0;
    ResponseVisible = EditorVisible && ChosenInput >= 0;
}

void TFanControlTab::ReloadControllers() {
    ControllerItems.clear();
    for (const auto& controller : model_.FanCtrls) ControllerItems.push_back(controller.Name);
    ChosenController = -1;
    ChosenInput = -1;
    ResponseView = {};
    showVisibility();
    notify();
}

void TFanControlTab::TSFanControlShow() {
    SpeedItems.clear();
    for (int s = 0; s < static_cast<int>(sensors_.size()); ++s)
        for (int pwm = 1; pwm <= sensors_[static_cast<std::size_t>(s)]->GetPwmCount(); ++pwm)
            SpeedItems.push_back(SpeedLabel(s, pwm));
    AddEnabled = !SpeedItems.empty();
    if (const TFanController* controller = Chosen()) {
        const int position = SpeedComboIndex(controller->SensorIndex, controller->PwmIndex);
        SpeedChoice = position >= 0 ? position : (SpeedItems.empty() ? -1 : 0);
    }
    showVisibility();
    notify();
}

void TFanControlTab::TSFanControlHide() {
    ChosenController = -1;
    ChosenInput = -1;
    ResponseView = {};
    showVisibility();
    notify();
}

void TFanControlTab::CBAdvancedFanControlClick(bool checked) {
    model_.AdvFanSpeed = checked;
    showVisibility();
    notify();
}

void TFanControlTab::BTNFCntrlAddClick() {
    const auto name = prompts_.InputBox(owner_, "Create new fan controller", "Name", "");
    if (!name) return;
    TFanController controller;
    controller.Name = *name;
    controller.ControlMethod = TFanController::MethodSum;
    controller.Enabled = false;
    controller.SensorIndex = -1;
    controller.PwmIndex = 1;
    const auto withPwm = std::find_if(sensors_.begin(), sensors_.end(),
                                      [](const auto& sensor) { return sensor->GetPwmCount() > 0; });
    if (withPwm != sensors_.end()) controller.SensorIndex = static_cast<std::int32_t>(withPwm - sensors_.begin());
    model_.FanCtrls.push_back(std::move(controller));
    ControllerItems.push_back(*name);
    notify();
}

void TFanControlTab::BTNFCntrlRemoveClick() {
    if (!Chosen()) return;
    const int removed = ChosenController;
    model_.FanCtrls.erase(model_.FanCtrls.begin() + removed);
    ControllerItems.erase(ControllerItems.begin() + removed);
    ChosenController = -1;
    ChosenInput = -1;
    ResponseView = {};
    chooseBefore(removed, &TFanControlTab::LBFanControllersClick);
}

void TFanControlTab::LBFanControllersClick(int index) {
    if (!Within(index, model_.FanCtrls.size())) return;
    ChosenController = index;
    const TFanController& controller = *Chosen();
    // An output outside the list shows the first entry; the stored one stays.
    const int position = SpeedComboIndex(controller.SensorIndex, controller.PwmIndex);
    SpeedChoice = position >= 0 ? position : (SpeedItems.empty() ? -1 : 0);
    TempItems.clear();
    for (const auto& input : controller.Temps) TempItems.push_back(TempLabel(input.SensorIndex, input.ReadingIndex));
    ChosenInput = -1;
    ResponseView = {};
    showVisibility();
    notify();
}

void TFanControlTab::CBControlledSpeedChange(int index) {
    TFanController* controller = Chosen();
    const auto [sensor, pwm] = SpeedFromComboIndex(index);
    if (!controller || sensor < 0) return;
    controller->SensorIndex = sensor;
    controller->PwmIndex = pwm;
    SpeedChoice = index;
}

void TFanControlTab::CBFanControlMethodChange(int method) {
    TFanController* controller = Chosen();
    if (!controller || method < 0) return;
    WriteDebugLog(Format("CBFanControlMethodChange - FanCtrls[%d].ControlMethod:=%d", {ChosenController, method}));
    controller->ControlMethod = static_cast<std::uint8_t>(method);
}

void TFanControlTab::CBFanControllerEnabledClick(bool checked) {
    if (TFanController* controller = Chosen()) controller->Enabled = checked;
}

void TFanControlTab::BTNAddFanCtrlTempClick() {
    if (!Chosen()) return;
    TDlgSelectTemperature picker(owner_);
    std::vector<std::pair<int, int>> readings;
    for (int s = 0; s < static_cast<int>(sensors_.size()); ++s)
        for (int r = 1; r <= sensors_[static_cast<std::size_t>(s)]->GetTempCount(); ++r) {
            picker.LBTemps().addItem(Q(TempLabel(s, r)));
            readings.emplace_back(s, r);
        }
    if (prompts_.RunModal(picker) != TUiPrompts::Accepted) return;
    const int chosen = picker.Chosen();
    if (!Within(chosen, readings.size())) return;
    TFanCtrlTemp input;
    input.SensorIndex = readings[static_cast<std::size_t>(chosen)].first;
    input.ReadingIndex = readings[static_cast<std::size_t>(chosen)].second;
    input.MinTemp = 30;
    input.MaxTemp = 60;
    input.Hysteresis = 2;
    input.ControlPoints = DefaultCurve();
    Chosen()->Temps.push_back(input);
    TempItems.push_back(TempLabel(input.SensorIndex, input.ReadingIndex));
    notify();
}

void TFanControlTab::BTNRemFanCtrlTempClick() {
    TFanController* controller = Chosen();
    if (!controller || !Within(ChosenInput, controller->Temps.size())) return;
    const int removed = ChosenInput;
    controller->Temps.erase(controller->Temps.begin() + removed);
    TempItems.erase(TempItems.begin() + removed);
    ChosenInput = -1;
    ResponseView = {};
    chooseBefore(removed, &TFanControlTab::LBFanControlTempsClick);
}

void TFanControlTab::chooseBefore(int removed, void (TFanControlTab::*click)(int)) {
    if (removed > 0) {
        (this->*click)(removed - 1);
        return;
    }
    showVisibility();
    notify();
}

void TFanControlTab::LBFanControlTempsClick(int index) {
    const TFanController* controller = Chosen();
    if (!controller || !Within(index, controller->Temps.size())) return;
    ChosenInput = index;
    ResponseView = {ChosenController, index, model_.Options.Celsius};
    ChosenPoint = -1;
    showVisibility();
    EDHysteresisChange(controller->Temps[static_cast<std::size_t>(index)].Hysteresis);
}

void TFanControlTab::EDHysteresisChange(double value) {
    TFanCtrlTemp* input = Viewed();
    if (!input) return;
    input->Hysteresis = std::clamp(RoundToInt32(value), 0, 99);
    HysteresisValue = input->Hysteresis;
    HysteresisText = Format("°C (%.0f°F)", {value * 1.8});
    notify();
}

void TFanControlTab::BTNLessMinClick() {
    TFanCtrlTemp* input = Viewed();
    if (!input || input->MinTemp <= MinTempLimit) return;
    --input->MinTemp;
    notify();
}

void TFanControlTab::BTNMoreMinClick() {
    TFanCtrlTemp* input = Viewed();
    if (!input || input->MinTemp >= input->MaxTemp - 1) return;
    ++input->MinTemp;
    notify();
}

void TFanControlTab::BTNLessMaxClick() {
    TFanCtrlTemp* input = Viewed();
    if (!input || input->MaxTemp <= input->MinTemp + 1) return;
    --input->MaxTemp;
    notify();
}

void TFanControlTab::BTNMoreMaxClick() {
    TFanCtrlTemp* input = Viewed();
    if (!input || input->MaxTemp >= MaxTempLimit) return;
    ++input->MaxTemp;
    notify();
}

// Never below the point before; the later points rise so the curve never falls.
void TFanControlTab::storePoint(int k, double value) {
    TFanCtrlTemp* input = Viewed();
    if (!input || k < 0 || k > LastPoint) return;
    TFanCurve& curve = input->ControlPoints;
    const auto at = [&curve](int i) -> double& { return curve[static_cast<std::size_t>(i)]; };
    if (k > 0 && value < at(k - 1)) value = RoundToInt32(at(k - 1));
    at(k) = value;
    for (int j = k + 1; j <= LastPoint; ++j)
        if (at(j) < at(j - 1)) at(j) = at(j - 1);
    notify();
}

void TFanControlTab::SetControlPoint(int k, int p) { storePoint(k, p); }

void TFanControlTab::ShiftControlPoint(int k, int delta) {
    const TFanCtrlTemp* input = Viewed();
    if (!input || k < 0 || k > LastPoint) return;
    storePoint(k, std::clamp(input->ControlPoints[static_cast<std::size_t>(k)] + delta, 0.0, 100.0));
}

// ---- TResponseGraph

namespace {

constexpr int ButtonWidth = 21;
constexpr int ButtonHeight = 21;
constexpr int GraphFontPoints = 8;
const QColor GridColour(0x80, 0x80, 0x80);
// $FF0000 and $008000 are COLORREF values ($00BBGGRR), as every colour of the program.
const QColor CurveColour(0x00, 0x00, 0xFF);
const QColor PointColour(0x00, 0x80, 0x00);

}  // namespace

TResponseGraph::TResponseGraph(TFanControlTab& tab, QWidget* parent) : QWidget(parent), tab_(tab) {
    setObjectName("PBResponse");
    setMinimumSize(200, 120);
    const std::array<std::pair<const char*, void (TFanControlTab::*)()>, 4> buttons{{
        {"BTNLessMin", &TFanControlTab::BTNLessMinClick},
        {"BTNMoreMin", &TFanControlTab::BTNMoreMinClick},
        {"BTNLessMax", &TFanControlTab::BTNLessMaxClick},
        {"BTNMoreMax", &TFanControlTab::BTNMoreMaxClick},
    }};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        auto* button = new QPushButton(i % 2 == 0 ? "<" : ">", this);
        button->setObjectName(buttons[i].first);
        button->resize(ButtonWidth, ButtonHeight);
        connect(button, &QPushButton::clicked, this, [this, handler = buttons[i].second] { (tab_.*handler)(); });
        buttons_[i] = button;
    }
    menu_ = new QMenu(this);
    menu_->setObjectName("PMPoint");
    const std::vector<std::string> texts = PointMenuTexts(0);
    menu_->addAction(Q(texts[0]))->setEnabled(false);
    const std::array<std::pair<const char*, int>, 4> shifts{{{"MIAdd1", 1}, {"MISub1", -1}, {"MIAdd10", 10}, {"MISub10", -10}}};
    for (std::size_t i = 0; i < shifts.size(); ++i) {
        QAction* action = menu_->addAction(Q(texts[i + 1]));
        action->setObjectName(shifts[i].first);
        connect(action, &QAction::triggered, this,
                [this, delta = shifts[i].second] { tab_.ShiftControlPoint(tab_.ChosenPoint, delta); });
    }
}

std::vector<std::string> TResponseGraph::PointMenuTexts(double point) {
    return {Format("%d%%", {RoundToInt32(point)}), "+1%", "-1%", "+10%", "-10%"};
}

TResponseGraphLayout TResponseGraph::Layout() const {
    const QFontMetrics metrics(font());
    return TResponseGraphLayout({width(), height(), metrics.height(), metrics.horizontalAdvance("999°F"),
                                 ButtonHeight});
}

void TResponseGraph::placeButtons() {
    const TResponseGraphLayout layout = Layout();
    const std::array<int, 4> xs = layout.ButtonsX(ButtonWidth);
    for (std::size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->move(xs[i], layout.ButtonsY());
}

void TResponseGraph::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeButtons();
}

void TResponseGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    TFanCtrlTemp* input = tab_.Viewed();
    if (!input) return;
    const bool celsius = tab_.SyncCelsius();
    const TResponseGraphLayout layout = Layout();
    const int w = width();
    const int h = height();

    painter.setPen(QPen(GridColour, 1, Qt::DotLine));
    for (const int y : layout.GridRows()) painter.drawLine(layout.Left(), y, w - layout.Right(), y);
    for (const int x : layout.GridColumns()) painter.drawLine(x, layout.Top(), x, h - layout.Bottom());

    QFont font(this->font().family());
    font.setPointSize(GraphFontPoints);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetrics metrics(font);
    const auto text = [&painter](TGraphPoint at, const std::string& s) {
        painter.drawText(QRect(at.X, at.Y, 1000, 1000), Qt::AlignLeft | Qt::AlignTop, Q(s));
    };
    text({w - layout.Right() + 5, layout.Top() - layout.Half()}, "100%");
    text({w - layout.Right() + 5, h - layout.Bottom() - layout.Half()}, "0%");
    const std::vector<std::string> labels = layout.LabelTexts(input->MinTemp, input->MaxTemp, celsius);
    const std::vector<int> columns = layout.GridColumns();
    const int minWidth = metrics.horizontalAdvance(Q(labels.front()));
    for (std::size_t d = 0; d < labels.size(); ++d) text(layout.LabelAt(columns[d], minWidth), labels[d]);

    QPolygon curve;
    for (int k = 0; k < FanCurvePointCount; ++k) {
        const TGraphPoint p = layout.Point(input->ControlPoints, k);
        curve << QPoint(p.X, p.Y);
    }
    painter.setPen(QPen(CurveColour, 2, Qt::SolidLine));
    painter.drawPolyline(curve);
    painter.setPen(QPen(PointColour, 1));
    painter.setBrush(PointColour);
    for (const QPoint& p : curve)
        painter.drawEllipse(p, TResponseGraphLayout::PointRadius, TResponseGraphLayout::PointRadius);
}

void TResponseGraph::mousePressEvent(QMouseEvent* event) {
    const TFanCtrlTemp* input = tab_.Viewed();
    if (!input) return;
    const TResponseGraphLayout layout = Layout();
    const QPoint at = event->position().toPoint();
    const auto press = layout.Press(at.x(), at.y());
    if (!press) return;
    if (event->button() != Qt::RightButton) {
        tab_.SetControlPoint(press->first, press->second);
        return;
    }
    if (at.x() <= layout.Left()) return;
    tab_.ChoosePoint(press->first);
    menu_->actions().front()->setText(
        Q(PointMenuTexts(input->ControlPoints[static_cast<std::size_t>(press->first)]).front()));
    menu_->popup(event->globalPosition().toPoint());
}

// ---- TFanControlPage

TFanControlPage::TFanControlPage(TFanControlTab& tab, TDlgConfigModel& model, QWidget* parent)
    : QWidget(parent), tab_(tab), model_(model) {
    auto* layout = new QVBoxLayout(this);
    advanced_ = new QCheckBox("Advanced fan control");
    advanced_->setObjectName("CBAdvFanControl");
    layout->addWidget(advanced_);
    connect(advanced_, &QCheckBox::toggled, this, [this](bool checked) { tab_.CBAdvancedFanControlClick(checked); });

    panel_ = new QWidget;
    panel_->setObjectName("PanFanControllers");
    auto* panelLayout = new QHBoxLayout(panel_);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel_, 1);
    layout->addStretch();  // keeps the box at the top while the panel is hidden

    auto* left = new QVBoxLayout;
    left->addWidget(Named("LABFanControllers", new QLabel("Fan controllers")));
    controllers_ = new QListWidget;
    controllers_->setObjectName("LBFanControllers");
    left->addWidget(controllers_, 1);
    auto* controllerButtons = new QHBoxLayout;
    add_ = new QPushButton("Add");
    add_->setObjectName("BTNFCntrlAdd");
    auto* remove = new QPushButton("Remove");
    remove->setObjectName("BTNFCntrlRemove");
    controllerButtons->addWidget(add_);
    controllerButtons->addWidget(remove);
    left->addLayout(controllerButtons);
    panelLayout->addLayout(left, 1);
    connect(controllers_, &QListWidget::currentRowChanged, this, [this](int row) { tab_.LBFanControllersClick(row); });
    connect(add_, &QPushButton::clicked, this, [this] { tab_.BTNFCntrlAddClick(); });
    connect(remove, &QPushButton::clicked, this, [this] { tab_.BTNFCntrlRemoveClick(); });

    editor_ = new QWidget;
    editor_->setObjectName("PanFanControlEditor");
    auto* editorLayout = new QGridLayout(editor_);
    editorLayout->setContentsMargins(0, 0, 0, 0);
    enabled_ = new QCheckBox("Controlled speed");
    enabled_->setObjectName("CBFanControllerEnabled");
    speed_ = new TElidingComboBox;
    speed_->setObjectName("CBControlledSpeed");
    method_ = new QComboBox;
    method_->setObjectName("CBFanControlMethod");
    method_->addItems({"SUM of speeds", "MAX of speeds"});
    editorLayout->addWidget(enabled_, 0, 0);
    editorLayout->addWidget(speed_, 0, 1, 1, 2);
    editorLayout->addWidget(Named("LABFanControlMethod", new QLabel("Method")), 1, 0);
    editorLayout->addWidget(method_, 1, 1, 1, 2);
    temps_ = new QListWidget;
    temps_->setObjectName("LBFanControlTemps");
    // Long labels end in "..." rather than scrolling their start out of view.
    temps_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    temps_->setTextElideMode(Qt::ElideRight);
    editorLayout->addWidget(temps_, 2, 0, 2, 2);
    auto* addTemp = new QPushButton("Add");
    addTemp->setObjectName("BTNAddFanCtrlTemp");
    auto* remTemp = new QPushButton("Remove");
    remTemp->setObjectName("BTNRemFanCtrlTemp");
    editorLayout->addWidget(addTemp, 2, 2);
    editorLayout->addWidget(remTemp, 3, 2, Qt::AlignTop);
    connect(enabled_, &QCheckBox::toggled, this, [this](bool checked) { tab_.CBFanControllerEnabledClick(checked); });
    connect(speed_, &QComboBox::currentIndexChanged, this, [this](int index) { tab_.CBControlledSpeedChange(index); });
    connect(method_, &QComboBox::currentIndexChanged, this, [this](int index) { tab_.CBFanControlMethodChange(index); });
    connect(temps_, &QListWidget::currentRowChanged, this, [this](int row) { tab_.LBFanControlTempsClick(row); });
    connect(addTemp, &QPushButton::clicked, this, [this] { tab_.BTNAddFanCtrlTempClick(); });
    connect(remTemp, &QPushButton::clicked, this, [this] { tab_.BTNRemFanCtrlTempClick(); });

    response_ = new QWidget;
    response_->setObjectName("PanResponse");
    auto* responseLayout = new QVBoxLayout(response_);
    responseLayout->setContentsMargins(0, 0, 0, 0);
    graph_ = new TResponseGraph(tab_);
    responseLayout->addWidget(graph_, 1);
    auto* hysteresisLine = new QHBoxLayout;
    hysteresisLine->addWidget(Named("LABHysteresisCaption", new QLabel("Hysteresis")));
    hysteresis_ = new QSpinBox;
    hysteresis_->setObjectName("EDHysteresis");
    hysteresis_->setRange(0, 99);
    hysteresisLine->addWidget(hysteresis_);
    hysteresisLabel_ = new QLabel;
    hysteresisLabel_->setObjectName("LABHysteresis");
    hysteresisLine->addWidget(hysteresisLabel_, 1);
    responseLayout->addLayout(hysteresisLine);
    editorLayout->addWidget(response_, 4, 0, 1, 3);
    editorLayout->setRowStretch(4, 1);
    connect(hysteresis_, &QSpinBox::valueChanged, this, [this](int value) { tab_.EDHysteresisChange(value); });
    panelLayout->addWidget(editor_, 2);

    tab_.Changed = [this] { Refresh(); };
}

void TFanControlPage::Refresh() {
    const QSignalBlocker blockAdvanced(advanced_), blockControllers(controllers_), blockEnabled(enabled_),
        blockSpeed(speed_), blockMethod(method_), blockTemps(temps_), blockHysteresis(hysteresis_);
    const auto fill = [](QListWidget* list, const std::vector<std::string>& items, int chosen) {
        if (list->count() != static_cast<int>(items.size())) {
            list->clear();
            for (const auto& item : items) list->addItem(Q(item));
        } else
            for (int i = 0; i < list->count(); ++i) list->item(i)->setText(Q(items[static_cast<std::size_t>(i)]));
        // A label elided in the list is whole in its tooltip.
        for (int i = 0; i < list->count(); ++i) list->item(i)->setToolTip(list->item(i)->text());
        list->setCurrentRow(chosen);
        if (chosen < 0) list->clearSelection();
    };
    advanced_->setChecked(model_.AdvFanSpeed);
    panel_->setVisible(tab_.PanelVisible);
    add_->setEnabled(tab_.AddEnabled);
    fill(controllers_, tab_.ControllerItems, tab_.ChosenController);
    editor_->setVisible(tab_.EditorVisible);
    if (speed_->count() != static_cast<int>(tab_.SpeedItems.size())) {
        speed_->clear();
        for (const auto& item : tab_.SpeedItems) speed_->addItem(Q(item));
    }
    speed_->setCurrentIndex(tab_.SpeedChoice);
    if (const TFanController* controller = tab_.Chosen()) {
        enabled_->setChecked(controller->Enabled);
        method_->setCurrentIndex(controller->ControlMethod < method_->count() ? controller->ControlMethod : -1);
    }
    fill(temps_, tab_.TempItems, tab_.ChosenInput);
    response_->setVisible(tab_.ResponseVisible);
    hysteresis_->setValue(tab_.HysteresisValue);
    hysteresisLabel_->setText(Q(tab_.HysteresisText));
    graph_->update();
}

void TFanControlPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    tab_.TSFanControlShow();
}

void TFanControlPage::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    tab_.TSFanControlHide();
}
