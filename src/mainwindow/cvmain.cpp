#include "mainwindow/cvmain.h"

#include <algorithm>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSocketNotifier>
#include <QTabWidget>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/cvmaintick.h"
#include "mainwindow/cvmainreadings.h"
#include "core/cvvalueformat.h"
#include "platform/platform.h"
#include "report/cvdimminfo.h"
#include "cpu/cvuptime.h"
#include "cpu/noscpuusage.h"
#include "ui/cvcharts.h"
#include "ui/cvclockpage.h"
#include "ui/cvconfigexchange.h"
#include "ui/cvcpuloadpanel.h"
#include "ui/cvdlgpost.h"
#include "ui/cvexoticspanel.h"
#include "ui/cvfindsmbusdevices.h"
#include "ui/cvreportprogress.h"
#include "ui/cvsmartpage.h"
#include "ui/cvwebdialogs.h"
#include "ui/trendimages.h"
#include "ui/uilanguage.h"
#include "ui/qtext.h"

namespace {

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
    : monitor_(monitor),
      cpuLoad_(CPUUsage, {[] { return GetSystemUptimeSeconds(); }, [] { UpdateCpuUsage(); },
                          [this] { monitor_.Events.ProcessEvents(); }, [this] { PostMessage(WM_CPU_CLOCK, 0, 0); },
                          [this] { return monitor_.DutyEdits.SuppressPwmWrite; },
                          [this] { monitor_.SaveParams(true); }}),
      formStorage_(*this, "TForm1") {
    commandLineText_ = JoinCommandLine(commandLine);
    setObjectName("Form1");
    setWindowTitle(Q(monitor_.Caption));
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
    monitor_.ClockControls = clock_;
    monitor_.SmartView = smart_;
    cpuLoadPanel_ = std::make_unique<TCpuLoadPanel>(*this, *findChild<QLabel*>("LABCPULoad"),
                                                    *findChild<QFrame*>("PanCPULoad"), *exotics_);
    cpuLoad_.SetView(cpuLoadPanel_.get());
    monitor_.CpuLoadTimer = [this] { cpuLoad_.RxTimerCPULoadTimer(); };
    BindDutyEdits();
    WireWebServices();
    ConnectWebButtons();

    QCheckBox& autoFanSpeed = readings_->AutoFanSpeedBox();
    autoFanSpeed.setChecked(monitor_.Options.AutoFanSpeed);
    connect(&autoFanSpeed, &QCheckBox::toggled, this,
            [this](bool checked) { CBAutoFanSpeedClick(monitor_, checked); });
    connect(&readings_->ConfigButton(), &QPushButton::clicked, this,
            [this] { BTNConfigClick(monitor_, *prompts_, this); });

    tray_ = std::make_unique<TTrayIcon>(TTrayIcon::TActions{[this] { monitor_.ACRestoreExecute(); },
                                                            [this] { monitor_.ACMinimizeExecute(); },
                                                            [this] { monitor_.ACExitExecute(); }});
    // The menu's actions are the window's, translated with it.
    tray_->Menu().setParent(this, tray_->Menu().windowFlags());
    platform::current().desktop().setBalloonPresenter(
        [this](const std::string& title, const std::string& text, unsigned timeoutMs, platform::BalloonIcon icon) {
            tray_->ShowBalloon(title, text, timeoutMs, icon);
        });
    formStorage_.RestorePosition();

    FormBuilt("TForm1", *this);
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
    monitor_.ClockControls = nullptr;
    monitor_.SmartView = nullptr;
    monitor_.CpuLoadTimer = nullptr;
    cpuLoad_.SetView(nullptr);
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

    readings_ = new TReadingsPage(TrendCellSize);
    readings_->setObjectName("TSReadings");
    pages_->addTab(readings_, "Readings");

    charts_ = new TChartsPage(monitor_);
    pages_->addTab(charts_, "Charts");

    exotics_ = new TExoticsPage(monitor_);
    smart_ = new TSmartPageView(monitor_, exotics_);
    pages_->addTab(smart_, "S.M.A.R.T.");

    clock_ = new TClockPage(monitor_, cpuLoad_);
    pages_->addTab(clock_, "Clock");

    pages_->addTab(exotics_, "Exotics");

    QVBoxLayout* info = MakePage(*pages_, "TSInfo", "Information");
    debugInfo_ = MakeLogMemo("DebugInfo", nullptr);
    info->addWidget(debugInfo_);
    auto* findSMBusDevices = Add(info, "BTNFindSMBusDevices", new QPushButton("Find SMBus devices"));
    info->setAlignment(findSMBusDevices, Qt::AlignLeft);
    connect(findSMBusDevices, &QPushButton::clicked, this,
            [this] { BTNFindSMBusDevicesClick(monitor_, *prompts_, this); });
    connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
        if (QWidget* page = pages_->widget(index)) helpContext_ = clock_->PagesChange(page->objectName().toStdString());
    });
    Add(info, "LABDimmInfo", new QLabel("DIMM info"));
    dimmInfo_ = MakeLogMemo("dimminfo", nullptr);
    dimmInfo_->setMaximumHeight(fontMetrics().height() * 8);
    info->addWidget(dimmInfo_);
    dimmInfoButton_ = Add(info, "BTNDimmInfo", new QPushButton("Read info"));
    info->setAlignment(dimmInfoButton_, Qt::AlignLeft);
    connect(dimmInfoButton_, &QPushButton::clicked, this, [this] { BTNDimmInfoClick(); });

    auto* sendReport = Add(info, "GBSendReport", new QGroupBox("Send report :-)"));
    auto* web = new QHBoxLayout(sendReport);
    sendDebugButton_ = new QPushButton("Send report");
    sendDebugButton_->setObjectName("BTNSendDebug");
    getConfigButton_ = new QPushButton("Get config");
    getConfigButton_->setObjectName("BTNGetConfig");
    web->addWidget(sendDebugButton_);
    web->addWidget(getConfigButton_);
    web->addStretch();
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

void TForm1::SetTrendArrow(int row, int cell) { readings_->SetTrend(row, TrendCell(cell)); }

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
    smart_->ShowDrives();
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
    smart_->RememberColumnWidths();
    pages_->setCurrentIndex(0);
    helpContext_ = PageHelpContext(pages_->currentWidget()->objectName().toStdString());
}

void TForm1::ClearClockLabels() {
    for (const char* name : {"LABClock", "LABClockWish"}) findChild<QLabel*>(name)->clear();
}

void TForm1::SetClockItems(TClockCombo combo, const std::vector<std::string>& items) {
    clock_->SetClockItems(combo, items);
}

void TForm1::InstallHintHandler() {
    if (hintHandlerInstalled_) return;
    qApp->installEventFilter(this);
    hintHandlerInstalled_ = true;
}

void TForm1::SetupChart() { charts_->SetupChart(); }

void TForm1::RebuildExoticFrames() { exotics_->RebuildExoticFrames(); }

void TForm1::ShowCpuSpeed(const std::string& text) { findChild<QLabel*>("LABRealCPUSpeed")->setText(Q(text)); }

// ---- what the window gives the diagnostic report, "Read info" and the web buttons ----

namespace {

// Memo texts as the report carries them: lines separated by CR LF.
std::string MemoText(const QPlainTextEdit& memo) {
    const std::string text = memo.toPlainText().toStdString();
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

class TDimmInfoBox : public TDimmInfoView {
public:
    TDimmInfoBox(QPushButton& button, QPlainTextEdit& memo) : button_(button), memo_(memo) {}
    void SetButtonEnabled(bool enabled) override { button_.setEnabled(enabled); }
    void SetLines(const std::vector<std::string>& lines) override {
        memo_.clear();
        for (const std::string& line : lines) memo_.appendPlainText(QString::fromStdString(line));
    }

private:
    QPushButton& button_;
    QPlainTextEdit& memo_;
};

}  // namespace

std::string TForm1::InfoText() const { return MemoText(readings_->InfoMemo()); }

std::string TForm1::DebugInfoText() const { return MemoText(*debugInfo_); }

std::string TForm1::DimmInfoText() const { return MemoText(*dimmInfo_); }

void TForm1::BTNDimmInfoClick() {
    TDimmInfoBox box(*dimmInfoButton_, *dimmInfo_);
    ::BTNDimmInfoClick(box, monitor_.Board);
}

void TForm1::SetPrompts(TUiPrompts& prompts) {
    prompts_ = &prompts;
    WireWebServices();
}

void TForm1::SetWebAddresses(TWebAddresses addresses) {
    webAddresses_ = std::move(addresses);
    WireWebServices();
}

// The web dialogs answer through the window's prompts, so both are rebuilt
// whenever those change.
void TForm1::WireWebServices() {
    web_.reset();
    webDialogs_ = std::make_unique<TUiWebDialogs>(monitor_.Help, *prompts_, this);
    web_ = std::make_unique<TWebServices>(monitor_, *webDialogs_, webAddresses_);
    web_->SetWebButtonsEnabled = [this](bool enabled) { SetWebButtonsEnabled(enabled); };
    web_->BuildReport = [this] {
        // The service shows the progress dialog and keeps "Send Info" open while it builds.
        const TDlgPost* post = webDialogs_->SendInfo();
        TReportContext context{monitor_, *this, *webDialogs_->Progress(), post ? post->Answers() : TPostAnswers{}};
        return BuildDebugReport(context);
    };
}

void TForm1::ConnectWebButtons() {
    connect(sendDebugButton_, &QPushButton::clicked, this, [this] { web_->BTNSendDebugClick(); });
    connect(getConfigButton_, &QPushButton::clicked, this, [this] { web_->BTNGetConfigClick(); });
    connect(findChild<QPushButton*>("BTNQuessel"), &QPushButton::clicked, this, [this] { web_->BTNQuesselClick(); });
}

void TForm1::SetWebButtonsEnabled(bool enabled) {
    for (const char* name : {"BTNSendDebug", "BTNGetConfig", "BTNQuessel"})
        findChild<QPushButton*>(name)->setEnabled(enabled);
}
