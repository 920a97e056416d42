#pragma once
// The main window: shows the monitoring model (TMonitor) and forwards the
// user's actions and its own messages to it. Everything it shows comes from
// the model; it decides nothing the model can decide without a window.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QEvent>
#include <QMainWindow>

class QPushButton;

#include "mainwindow/cvmainlogbox.h"
#include "mainwindow/cvmaintimers.h"
#include "mainwindow/cvmaintray.h"
#include "core/cvmonitor.h"
#include "mainwindow/cvtrayicon.h"
#include "report/cvreport.h"
#include "net/cvwebservices.h"
#include "ui/cvcpuload.h"
#include "ui/formstorage.h"
#include "ui/uidialogs.h"
#include "ui/uiprompts.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QTreeWidget;
class TChartsPage;
class TClockPage;
class TCpuLoadPanel;
class TExoticsPage;
class TReadingsPage;
class TSmartPageView;
class TUiWebDialogs;

class TForm1 : public QMainWindow, public TMainWindow, public TReportWindow {
    Q_OBJECT

public:
    // Builds the window and runs the model's first stage of start-up, which
    // posts the second. CommandLine is the program's, the program first;
    // Dialogs the modal boxes to use, message boxes when none is given.
    TForm1(TMonitor& monitor, std::vector<std::string> commandLine, TDialogs* dialogs = nullptr);
    ~TForm1() override;

    TTrayIcon& Tray() { return *tray_; }
    TChartsPage& Charts() { return *charts_; }
    TExoticsPage& Exotics() { return *exotics_; }
    TClockPage& ClockPage() { return *clock_; }
    TSmartPageView& SmartPage() { return *smart_; }
    TCpuLoadTicker& CpuLoad() { return cpuLoad_; }
    // The help context of the page shown.
    int HelpContext() const { return helpContext_; }
    // Where the window's modal dialogs run; tests answer them from a script.
    void SetPrompts(TUiPrompts& prompts);
    // Where the web buttons post; tests point them at loopback.
    void SetWebAddresses(TWebAddresses addresses);

    // The newest value of each shown temperature, fan and voltage in its row.
    void ShowReadings();

    // ---- what the model asks of the window ----
    void PostMessage(int msg, std::intptr_t wParam = 0, std::intptr_t lParam = 0) override;
    void Minimize() override;
    void Restore() override;
    void Close() override { close(); }
    void DisableTrayIcon() override { tray_->Disable(); }
    bool AutoFanSpeedChecked() const override;
    void PrepareControls() override;
    void ClearClockLabels() override;
    void SetClockItems(TClockCombo combo, const std::vector<std::string>& items) override;
    void SetupCPULoadPanel() override { cpuLoad_.SetupCPULoadPanel(); }
    void InstallHintHandler() override;
    void SetupChart() override;
    void RebuildExoticFrames() override;
    void ShowReadingRows() override;
    void ShowCpuSpeed(const std::string& text) override;
    void FreeTrayIcons() override { trayIcons_.FreeTrayIcons(); }
    void SetReadingLabel(TDisplayKind kind, int row, const std::string& text) override;
    void SetTrendArrow(int row, int cell) override;
    void SetTrayHint(const std::string& hint) override { tray_->SetHint(hint); }
    void UpdateTrayIcon() override;
    const TTrayIconCache& TrayIcons() const { return trayIcons_; }

    // ---- what the diagnostic report reads ----
    std::string Caption() const override { return monitor_.Caption; }
    std::string CommandLine() const override { return commandLineText_; }
    std::string EDChipSet() const override { return monitor_.ChipsetDisplay.EDChipSet; }
    std::string EDSMBBase() const override { return monitor_.ChipsetDisplay.EDSMBBase; }
    std::string EDSMBRev() const override { return monitor_.ChipsetDisplay.EDSMBRev; }
    bool CBSMBIOEnabled() const override { return monitor_.ChipsetDisplay.CBSMBIOEnabledChecked; }
    std::string InfoText() const override;
    std::string DebugInfoText() const override;
    std::string DimmInfoText() const override;
    // "Read info": the memory modules into the memo `dimminfo`.
    void BTNDimmInfoClick();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPages();
    void BindDutyEdits();
    void OnMessage(int msg, std::intptr_t wParam, std::intptr_t lParam);
    void ListenForSystemMessages();
    void WireWebServices();
    void ConnectWebButtons();
    void SetWebButtonsEnabled(bool enabled);

    TMonitor& monitor_;
    TQtTimerService timers_;
    QTabWidget* pages_ = nullptr;
    TReadingsPage* readings_ = nullptr;
    TChartsPage* charts_ = nullptr;
    TExoticsPage* exotics_ = nullptr;
    TClockPage* clock_ = nullptr;
    TSmartPageView* smart_ = nullptr;
    TCpuLoadTicker cpuLoad_;
    std::unique_ptr<TCpuLoadPanel> cpuLoadPanel_;
    int helpContext_ = 0;
    QPlainTextEdit* debugInfo_ = nullptr;
    QPlainTextEdit* dimmInfo_ = nullptr;
    QPushButton* dimmInfoButton_ = nullptr;
    QPushButton* sendDebugButton_ = nullptr;
    QPushButton* getConfigButton_ = nullptr;
    std::string commandLineText_;  // as the system passed it, for the report
    std::unique_ptr<TWindowLogBoxes> logBoxes_;
    std::unique_ptr<TUiDialogs> ownDialogs_;
    std::unique_ptr<TTrayIcon> tray_;
    TTrayIconCache trayIcons_;
    TFormStorage formStorage_;
    TQtPrompts qtPrompts_;
    TUiPrompts* prompts_ = &qtPrompts_;
    bool hintHandlerInstalled_ = false;
    TWebAddresses webAddresses_ = DefaultWebAddresses();
    std::unique_ptr<TUiWebDialogs> webDialogs_;
    std::unique_ptr<TWebServices> web_;
};
