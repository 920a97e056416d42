#pragma once
// "Find SMBus Devices": lists the addresses 10h-7Fh that answer on every
// SMBus link. The scan is stepped work: one address per step of the event
// loop, so the window lives on and the main tick may run between two steps.

#include <functional>
#include <string>
#include <vector>

#include <QDialog>
#include <QTimer>

#include "ui/formstorage.h"

class QListWidget;
class QPushButton;
class TMonitor;
class TUiPrompts;
struct TBoardIdentity;

// Window-free: one pass over the SMBus links of the global list per Start.
class TSMBusScan {
public:
    explicit TSMBusScan(const TBoardIdentity* board) : board_(board) {}
    ~TSMBusScan() { Stop(); }
    TSMBusScan(const TSMBusScan&) = delete;
    TSMBusScan& operator=(const TSMBusScan&) = delete;

    // Begins a pass; its lines follow those of earlier passes. A machine
    // without SMBus links ends the pass at once.
    void Start();
    // One address, or the opening line of a link; false once the pass has ended.
    bool Step();
    // Ends a pass early, releasing the bus lock it holds.
    void Stop();
    bool Running() const { return link_ >= 0; }

    const std::vector<std::string>& Lines() const { return lines_; }
    std::function<void(const std::string& line)> OnLine;

private:
    void addLine(const std::string& line);
    // The next SMBus link after the current one, or -1.
    void moveToLink(int from);
    void finish();

    const TBoardIdentity* board_;
    std::vector<std::string> lines_;
    int link_ = -1;
    int address_ = -1;  // -1: the link's opening line is due
    bool locked_ = false;
};

class TDlgFindSMBusDevices : public QDialog {
public:
    TDlgFindSMBusDevices(TMonitor& monitor, QWidget* owner = nullptr);
    ~TDlgFindSMBusDevices() override;

    void BTNDoScanClick();
    QListWidget& Info() { return *info_; }
    const TSMBusScan& Scan() const { return scan_; }

protected:
    void done(int result) override;

private:
    void step();

    TSMBusScan scan_;
    QTimer stepper_;
    QPushButton* doScan_ = nullptr;
    QListWidget* info_ = nullptr;
    TFormStorage storage_;
};

// The information page's "Find SMBus devices".
void BTNFindSMBusDevicesClick(TMonitor& monitor, TUiPrompts& prompts, QWidget* owner);
