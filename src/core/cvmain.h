#pragma once
// The main window: shows the monitoring model (TMonitor) and forwards the
// user's actions and its own messages to it. Everything it shows comes from
// the model; it decides nothing the model can decide without a window.

#include <memory>
#include <string>
#include <vector>

#include <QEvent>
#include <QMainWindow>

#include "core/cvmaindialogs.h"
#include "core/cvmainlogbox.h"
#include "core/cvmaintray.h"
#include "core/cvmonitor.h"
#include "ui/formstorage.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QTreeWidget;
class TReadingsPage;

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    // Dialogs: the modal boxes to use; message boxes when none is given.
    explicit TForm1(TMonitor& monitor, TDialogs* dialogs = nullptr);
    ~TForm1() override;

    TMonitor& Monitor() { return monitor_; }
    TReadingsPage& ReadingsPage() { return *readings_; }
    TTrayIcon& Tray() { return *tray_; }

    // Posts a message to the window itself; it runs from the event loop.
    void PostMessage(int message);

    // Rows, names and places of the readings page as the model laid them out.
    void ShowLayout();
    // The newest value of each shown temperature, fan and voltage in its row.
    void ShowReadings();

    void ACMinimizeExecute();
    void ACRestoreExecute();
    void ACExitExecute();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPages();
    void BindDutyEdits();
    void OnMessage(int message);

    TMonitor& monitor_;
    QTabWidget* pages_ = nullptr;
    TReadingsPage* readings_ = nullptr;
    QPlainTextEdit* debugInfo_ = nullptr;
    std::unique_ptr<TWindowLogBoxes> logBoxes_;
    std::unique_ptr<TMessageBoxDialogs> messageBoxes_;
    std::unique_ptr<TTrayIcon> tray_;
    TFormStorage formStorage_;
};
