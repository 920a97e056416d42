#include "core/cvmain.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHelpEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSocketNotifier>
#include <QTabWidget>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/cvmaintick.h"
#include "core/cvmainreadings.h"
#include "core/cvvalueformat.h"
#include "platform/platform.h"
#include "ui/cvcharts.h"
#include "ui/cvconfigexchange.h"
#include "ui/cvexoticspanel.h"
#include "ui/cvfindsmbusdevices.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

constexpr int DefaultWidth = 760, DefaultHeight = 560;
constexpr int SystemMessagePollMs = 250;

// A message the window posts to itself, queued like any other event.
class TWindowMessageEvent : public QEvent {
public:
    TWindowMessageEvent(int message, std::intptr_t wParam, std::intptr_t lParam)
        : QEvent(EventType()), Message(message), WParam(wParam), LParam(lParam) {}
    static QEvent::Type EventType() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    const int Message;
    const std::intptr_t WParam;
    const std::intptr_t LParam;
};

// A page of the page control; its controls stack from the top.
QVBoxLayout* MakePage(QTabWidget& pages, const char* name, const QString& caption) {
    auto* page = new QWidget;
    page->setObjectName(name);
    pages.addTab(page, caption);
    return new QVBoxLayout(page);
}

template <typename Control>
Control* Add(QVBoxLayout* page, const char* name, Control* control) {
    control->setObjectName(name);
    page->addWidget(control);
    return control;
}

}  // namespace

TForm1::TForm1(TMonitor& monitor, std::vector<std::string> commandLine, TDialogs* dialogs)
    : monitor_(monitor), formStorage_(*this, "TForm1") {
    for (const std::string& part : commandLine) commandLineText_ += (commandLineText_.empty() ? "" : " ") + part;
    setObjectName("Form1");
    setWindowTitle(Q(monitor_.Caption.empty() ? std::string("Caldavor") : monitor_.Caption));
    setWindowIcon(ProgramIcon());
    resize(DefaultWidth, DefaultHeight);
    BuildPages();

    logBoxes_ = std::make_unique<TWindowLogBoxes>(readings_->InfoMemo(), *debugInfo_);
    monitor_.Log.SetBoxes(logBoxes_.get());
    if (!dialogs) {
        ownDialogs_ = std::make_unique<TUiDialogs>(monitor_, qtPrompts_, this);
        dialogs = ownDialogs_.get();
    }
    monitor_.Dialogs = dialogs;
    monitor_.LayoutMetrics = readings_->Metrics();
    monitor_.Charts = charts_;
    monitor_.Tiles = exotics_;
    BindDutyEdits();

    QCheckBox& autoFanSpeed = readings_->AutoFanSpeedBox();
    autoFanSpeed.setChecked(monitor_.Options.AutoFanSpeed);
    connect(&autoFanSpeed, &QCheckBox::toggled, this,
            [this](bool checked) { CBAutoFanSpeedClick(monitor_, checked); });
    connect(&readings_->ConfigButton(), &QPushButton::clicked, this,
            [this] { BTNConfigClick(monitor_, *prompts_, this); });

    tray_ = std::make_unique<TTrayIcon>(TTrayIcon::TActions{[this] { monitor_.ACRestoreExecute(); },
                                                            [this] { monitor_.ACMinimizeExecute(); },
                                                            [this] { monitor_.ACExitExecute(); }});
    platform::current().desktop().setBalloonPresenter(
        [this](const std::string& title, const std::string& text, unsigned timeoutMs, platform::BalloonIcon icon) {
            tray_->ShowBalloon(title, text, timeoutMs, icon);
        });
    formStorage_.RestorePosition();

    monitor_.Window = this;
    monitor_.TimerService = &timers_;
    monitor_.FormCreate(commandLine);
    ListenForSystemMessages();
}

TForm1::~TForm1() {
    monitor_.FormDestroy();
    monitor_.Window = nullptr;
    monitor_.TimerService = nullptr;
    monitor_.Charts = nullptr;
    monitor_.Tiles = nullptr;
    platform::current().desktop().setBalloonPresenter({});
    if (hintHandlerInstalled_) qApp->removeEventFilter(this);
    monitor_.DutyEdits.OnShow = nullptr;
    monitor_.Log.SetBoxes(nullptr);
    if (monitor_.Dialogs == ownDialogs_.get()) monitor_.Dialogs = nullptr;
}

void TForm1::BuildPages() {
    pages_ = new QTabWidget(this);
    pages_->setObjectName("pages");
    setCentralWidget(pages_);

    readings_ = new TReadingsPage;
    readings_->setObjectName("TSReadings");
    pages_->addTab(readings_, "Readings");

    charts_ = new TChartsPage(monitor_);
    pages_->addTab(charts_, "Charts");

    QVBoxLayout* smart = MakePage(*pages_, "TSSmart", "S.M.A.R.T.");
    auto* attributes = Add(smart, "LVSmartAttrs", new QTreeWidget);
    attributes->setHeaderLabels({"Attribute", "Value", "Worst", "Threshold", "Status"});
    attributes->setRootIsDecorated(false);

    QVBoxLayout* clock = MakePage(*pages_, "TSClock", "Clock");
    clock->addWidget(new QLabel("Motherboard"));
    Add(clock, "CBMBVendor", new QComboBox);
    Add(clock, "CBMBModel", new QComboBox);
    clock->addWidget(new QLabel("Clock"));
    Add(clock, "CBMBClock", new QComboBox);
    Add(clock, "LABClock", new QLabel);
    Add(clock, "LABClockWish", new QLabel);
    auto* computed = new QHBoxLayout;
    computed->addWidget(new QLabel("Computed:"));
    auto* realSpeed = new QLabel;
    realSpeed->setObjectName("LABRealCPUSpeed");
    computed->addWidget(realSpeed, 1);
    clock->addLayout(computed);
    clock->addStretch();

    exotics_ = new TExoticsPage(monitor_);
    pages_->addTab(exotics_, "Exotics");

    QVBoxLayout* info = MakePage(*pages_, "TSInfo", "Information");
    debugInfo_ = MakeLogMemo("DebugInfo", nullptr);
    info->addWidget(debugInfo_);
    auto* findSMBusDevices = Add(info, "BTNFindSMBusDevices", new QPushButton("Find SMBus devices"));
    info->setAlignment(findSMBusDevices, Qt::AlignLeft);
    connect(findSMBusDevices, &QPushButton::clicked, this,
            [this] { BTNFindSMBusDevicesClick(monitor_, *prompts_, this); });
    info->addWidget(new QLabel("DIMM info"));
    dimmInfo_ = MakeLogMemo("dimminfo", nullptr);
    dimmInfo_->setMaximumHeight(fontMetrics().height() * 8);
    info->addWidget(dimmInfo_);
    dimmInfoButton_ = Add(info, "BTNDimmInfo", new QPushButton("Read info"));
    info->setAlignment(dimmInfoButton_, Qt::AlignLeft);
    connect(dimmInfoButton_, &QPushButton::clicked, this, [this] { BTNDimmInfoClick(); });
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

void TForm1::ShowReadingRows() {
    readings_->ApplyLayout(monitor_.Slots.Layout);
    ShowReadings();
}

void TForm1::ShowReadings() { UpdateReadingsDisplay(monitor_); }

void TForm1::SetReadingLabel(TDisplayKind kind, int row, const std::string& text) {
    static constexpr std::pair<TDisplayKind, TReadingKind> Kinds[] = {
        {TDisplayKind::Temp, TReadingKind::Temp}, {TDisplayKind::Fan, TReadingKind::Fan},
        {TDisplayKind::Volt, TReadingKind::Volt}};
    for (const auto& [shown, reading] : Kinds)
        if (shown == kind) readings_->SetValueText(reading, row, text);
}

void TForm1::UpdateTrayIcon() {
    const auto change = trayIcons_.UpdateTrayIcon(monitor_);
    if (!change) return;
    tray_->SetIcon(change->StaticIcon ? ProgramIcon() : QIcon(QPixmap::fromImage(*change->Value)));
}

// Commands of other programs wake the window through the channel's handle;
// a channel without one, and the simulated system's power events, are
// polled.
void TForm1::ListenForSystemMessages() {
    const int handle = monitor_.Commands ? monitor_.Commands->readableHandle() : -1;
    if (handle >= 0) {
        auto* notifier = new QSocketNotifier(handle, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this] { monitor_.PollSystemMessages(); });
    }
    auto* poll = new QTimer(this);
    poll->setInterval(SystemMessagePollMs);
    connect(poll, &QTimer::timeout, this, [this] { monitor_.PollSystemMessages(); });
    poll->start();
}

void TForm1::PostMessage(int msg, std::intptr_t wParam, std::intptr_t lParam) {
    QCoreApplication::postEvent(this, new TWindowMessageEvent(msg, wParam, lParam));
}

bool TForm1::event(QEvent* event) {
    if (event->type() == TWindowMessageEvent::EventType()) {
        const auto& message = *static_cast<TWindowMessageEvent*>(event);
        OnMessage(message.Message, message.WParam, message.LParam);
        return true;
    }
    return QMainWindow::event(event);
}

void TForm1::OnMessage(int msg, std::intptr_t wParam, std::intptr_t lParam) {
    monitor_.HandleMessage(msg, wParam, lParam);
    if (msg != WM_DEFERRED_STARTUP) return;
    // The options file's second pass has set the automatic fan speed.
    QCheckBox& autoFanSpeed = readings_->AutoFanSpeedBox();
    const QSignalBlocker blocker(autoFanSpeed);
    autoFanSpeed.setChecked(monitor_.Options.AutoFanSpeed);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!monitor_.FormClose()) {
        event->ignore();
        return;
    }
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

void TForm1::Minimize() {
    // With a notification area the window goes into it; without one it minimises.
    if (tray_->Available())
        hide();
    else
        showMinimized();
}

void TForm1::Restore() {
    formStorage_.Active = false;
    showNormal();
    raise();
    activateWindow();
    formStorage_.Active = true;
}

bool TForm1::AutoFanSpeedChecked() const { return readings_->AutoFanSpeedBox().isChecked(); }

void TForm1::PrepareControls() {
    findChild<QComboBox*>("CBChartElements")->setCurrentIndex(0);
    const auto* attributes = findChild<QTreeWidget*>("LVSmartAttrs");
    SmartColumnWidths.fill(0);
    for (int column = 0; column < 5; ++column) SmartColumnWidths[column] = attributes->columnWidth(column);
    SmartColumnWidths[5] = SmartColumnWidths[0] + SmartColumnWidths[1] + SmartColumnWidths[2] + SmartColumnWidths[3];
    SmartColumnWidths[9] = SmartColumnWidths[4];
    pages_->setCurrentIndex(0);
}

void TForm1::ClearClockLabels() {
    for (const char* name : {"LABClock", "LABClockWish"}) findChild<QLabel*>(name)->clear();
}

void TForm1::SetClockItems(TClockCombo combo, const std::vector<std::string>& items) {
    static constexpr std::array<std::pair<TClockCombo, const char*>, 3> Names{
        {{TClockCombo::Clock, "CBMBClock"}, {TClockCombo::Vendor, "CBMBVendor"}, {TClockCombo::Model, "CBMBModel"}}};
    const auto* entry = std::find_if(Names.begin(), Names.end(), [combo](const auto& e) { return e.first == combo; });
    auto* box = findChild<QComboBox*>(entry->second);
    const QSignalBlocker blocker(box);
    box->clear();
    for (const auto& item : items) box->addItem(Q(item));
    box->setCurrentIndex(-1);
}

void TForm1::InstallHintHandler() {
    if (hintHandlerInstalled_) return;
    qApp->installEventFilter(this);
    hintHandlerInstalled_ = true;
}

void TForm1::SetupChart() { charts_->SetupChart(); }

void TForm1::RebuildExoticFrames() { exotics_->RebuildExoticFrames(); }

void TForm1::ShowCpuSpeed(const std::string& text) { findChild<QLabel*>("LABRealCPUSpeed")->setText(Q(text)); }
