#include "core/cvmain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHelpEvent>
#include <QLabel>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/cvmainreadings.h"
#include "core/cvvalueformat.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A message the window posts to itself, queued like any other event.
class TWindowMessageEvent : public QEvent {
public:
    explicit TWindowMessageEvent(int message) : QEvent(EventType()), Message(message) {}
    static QEvent::Type EventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    const int Message;
};

QWidget* MakePage(QTabWidget& pages, const char* name, const QString& caption) {
    auto* page = new QWidget;
    page->setObjectName(name);
    pages.addTab(page, caption);
    return page;
}

template <typename Control>
Control* Add(QWidget* page, const char* name, Control* control) {
    control->setObjectName(name);
    page->layout()->addWidget(control);
    return control;
}

}  // namespace

TForm1::TForm1(TMonitor& monitor, TDialogs* dialogs)
    : monitor_(monitor), formStorage_(*this, "TForm1") {
    setObjectName("Form1");
    setWindowTitle(Q(monitor_.Caption.empty() ? std::string("Caldavor") : monitor_.Caption));
    setWindowIcon(ProgramIcon());
    BuildPages();

    logBoxes_ = std::make_unique<TWindowLogBoxes>(readings_->InfoMemo(), *debugInfo_);
    monitor_.Log.SetBoxes(logBoxes_.get());
    if (!dialogs) {
        messageBoxes_ = std::make_unique<TMessageBoxDialogs>(this);
        dialogs = messageBoxes_.get();
    }
    monitor_.Dialogs = dialogs;
    monitor_.LayoutMetrics = readings_->Metrics();
    BindDutyEdits();

    QCheckBox& autoFanSpeed = readings_->AutoFanSpeedBox();
    autoFanSpeed.setChecked(monitor_.Options.AutoFanSpeed);
    connect(&autoFanSpeed, &QCheckBox::toggled, this, [this](bool checked) {
        monitor_.Options.AutoFanSpeed = checked;
        if (!monitor_.DutyEdits.SuppressPwmWrite) monitor_.SaveParams(true);
    });

    tray_ = std::make_unique<TTrayIcon>(TTrayIcon::TActions{[this] { ACRestoreExecute(); },
                                                            [this] { ACMinimizeExecute(); },
                                                            [this] { ACExitExecute(); }});
    qApp->installEventFilter(this);
    formStorage_.RestorePosition();
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
    monitor_.DutyEdits.OnShow = nullptr;
    monitor_.Log.SetBoxes(nullptr);
    if (monitor_.Dialogs == messageBoxes_.get()) monitor_.Dialogs = nullptr;
}

void TForm1::BuildPages() {
    pages_ = new QTabWidget(this);
    pages_->setObjectName("pages");
    setCentralWidget(pages_);

    readings_ = new TReadingsPage;
    pages_->addTab(readings_, "Readings");

    QWidget* charts = MakePage(*pages_, "TSCharts", "Charts");
    new QVBoxLayout(charts);
    auto* chartElements = Add(charts, "CBChartElements", new QComboBox);
    chartElements->addItems({"temperatures", "fan speeds", "voltages"});
    charts->layout()->addWidget(new QWidget);

    QWidget* smart = MakePage(*pages_, "TSSmart", "S.M.A.R.T.");
    new QVBoxLayout(smart);
    auto* attributes = Add(smart, "LVSmartAttrs", new QTreeWidget);
    attributes->setColumnCount(5);
    attributes->setHeaderLabels({"Attribute", "Value", "Worst", "Threshold", "Status"});
    attributes->setRootIsDecorated(false);

    QWidget* clock = MakePage(*pages_, "TSClock", "Clock");
    new QVBoxLayout(clock);
    clock->layout()->addWidget(new QLabel("Motherboard"));
    Add(clock, "CBMBVendor", new QComboBox);
    Add(clock, "CBMBModel", new QComboBox);
    clock->layout()->addWidget(new QLabel("Clock"));
    Add(clock, "CBMBClock", new QComboBox);
    Add(clock, "LABClock", new QLabel);
    Add(clock, "LABClockWish", new QLabel);
    auto* computed = new QHBoxLayout;
    computed->addWidget(new QLabel("Computed:"));
    auto* realSpeed = new QLabel;
    realSpeed->setObjectName("LABRealCPUSpeed");
    computed->addWidget(realSpeed, 1);
    static_cast<QVBoxLayout*>(clock->layout())->addLayout(computed);
    static_cast<QVBoxLayout*>(clock->layout())->addStretch();

    QWidget* exotics = MakePage(*pages_, "TSExotics", "Exotics");
    new QVBoxLayout(exotics);
    Add(exotics, "PanSamples", new QFrame)->setFrameShape(QFrame::StyledPanel);

    QWidget* info = MakePage(*pages_, "TSInfo", "Information");
    new QVBoxLayout(info);
    debugInfo_ = Add(info, "DebugInfo", MakeLogMemo("DebugInfo", nullptr));
    info->layout()->addWidget(new QLabel("DIMM info"));
    Add(info, "dimminfo", MakeLogMemo("dimminfo", nullptr))->setMaximumHeight(fontMetrics().height() * 8);
}

void TForm1::BindDutyEdits() {
    monitor_.DutyEdits.OnShow = [this](int n) {
        QSpinBox& edit = readings_->DutyEdit(n);
        // The model already holds the value: showing it is no user change.
        const QSignalBlocker blocker(edit);
        edit.setValue(monitor_.DutyEdits.Value(n));
    };
    for (int n = 1; n <= TDutyEdits::Count; ++n) {
        connect(&readings_->DutyEdit(n), &QSpinBox::valueChanged, this,
                [this, n](int value) { monitor_.DutyEdits.Set(n, value); });
    }
}

void TForm1::ShowLayout() { readings_->ApplyLayout(monitor_.Slots.Layout); }

void TForm1::ShowReadings() {
    const auto show = [this](TReadingKind kind, const std::vector<int>& order, std::size_t rows, auto format) {
        for (std::size_t row = 0; row < std::min(order.size(), rows); ++row) {
            const auto& slot = monitor_.Slots.Slot(kind, static_cast<std::size_t>(order[row]));
            readings_->SetValueText(kind, static_cast<int>(row + 1),
                                    format(SlotStats(monitor_.Sensors, kind, slot).Last()));
        }
    };
    show(TReadingKind::Temp, monitor_.Slots.TempOrder, TReadingsLayout::TempRows,
         [this](double v) { return monitor_.FormatTemp(v); });
    show(TReadingKind::Fan, monitor_.Slots.FanOrder, TReadingsLayout::FanRows, FormatRpm);
    show(TReadingKind::Volt, monitor_.Slots.VoltOrder, TReadingsLayout::VoltRows, FormatVolt);
}

void TForm1::PostMessage(int message) { QCoreApplication::postEvent(this, new TWindowMessageEvent(message)); }

bool TForm1::event(QEvent* event) {
    if (event->type() == TWindowMessageEvent::EventType()) {
        OnMessage(static_cast<TWindowMessageEvent*>(event)->Message);
        return true;
    }
    return QMainWindow::event(event);
}

void TForm1::OnMessage(int /*message*/) {}

void TForm1::closeEvent(QCloseEvent* event) {
    formStorage_.SavePosition();
    event->accept();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this) return false;
    const auto hint = monitor_.ShowReadingHint(widget->objectName().toLower().toStdString(), {});
    if (!hint) return false;
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), Q(hint->Text), widget, {}, hint->HidePauseMs);
    return true;
}

void TForm1::ACMinimizeExecute() {
    // With a notification area the window goes into it; without one it minimises.
    if (tray_->Available())
        hide();
    else
        showMinimized();
}

void TForm1::ACRestoreExecute() {
    formStorage_.Active = false;
    showNormal();
    raise();
    activateWindow();
    formStorage_.Active = true;
}

void TForm1::ACExitExecute() { close(); }
