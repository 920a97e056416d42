#pragma once
// "Debug SMBus" (switch "/SMBDEBUG"): lists what answers on each SMBus link,
// then dumps the 256 registers of one device per click, writing everything
// to the dump file "smbdebug.nfo" that users send in. Every pass is stepped
// work on the event loop, one address or register per step.

#include <functional>
#include <string>

#include <QDialog>
#include <QTimer>

#include "core/cvservices.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TMonitor;
class TUiPrompts;
struct TBoardIdentity;

inline constexpr const char* SMBusDumpFileName = "smbdebug.nfo";

// Appends one entry ("ddddd tt - Message", CR LF) to ProgramDir's dump file,
// starting a new file with the board's five SMBIOS lines. An I/O failure
// drops the entry.
void SMBDebugLog(const std::string& message, const TBoardIdentity* board);

// Window-free walk over the SMBus links of the global list.
class TSMBusDebugWalk {
public:
    enum class TPhase { Idle, FirstPass, DeviceChosen, Dumping, Ended };
    // Which buttons show in a phase.
    struct TButtons {
        bool Start, ScanNextFast, End, Help;
        bool operator==(const TButtons&) const = default;
    };
    static TButtons ButtonsOf(TPhase phase);

    // What the walk shows: EDCurrentLink, EDAddress, EDRegister and the memo.
    struct TView {
        std::function<void(const std::string&)> ShowLink, ShowAddress, ShowRegister, AddLine;
    };

    // FormCreate: indices 0, DeviceDone set, the dump file deleted.
    TSMBusDebugWalk(const TBoardIdentity* board, TView view);
    ~TSMBusDebugWalk() { Stop(); }
    TSMBusDebugWalk(const TSMBusDebugWalk&) = delete;
    TSMBusDebugWalk& operator=(const TSMBusDebugWalk&) = delete;

    // "Start": the first pass over 00h-7Eh of every SMBus link.
    void BTNStartClick();
    // "Scan next address": the dump of the chosen device.
    void BTNScanNextFastClick();
    // One address or register; false once the running pass has ended.
    bool Step();
    // Ends a running pass, releasing the bus lock it holds.
    void Stop();

    TPhase Phase() const { return phase_; }
    bool Running() const { return phase_ == TPhase::FirstPass || phase_ == TPhase::Dumping; }

    int LinkIndex = 0;
    int Address = 0;
    int Register = 0;
    bool DeviceDone = true;

private:
    bool LinkRemains() const;
    void Log(const std::string& message) const { SMBDebugLog(message, board_); }
    void ShowLinkHeader();
    // The first pass's link after `from`, or -1.
    int NextSMBusLink(int from) const;
    bool FirstPassStep();
    void EndFirstPass();
    bool DumpStep();
    void NextLink();
    void NextDevice();
    // Locks held between steps.
    void ReleaseLock();

    const TBoardIdentity* board_;
    TView view_;
    TPhase phase_ = TPhase::Idle;
    int passLink_ = -1;
    int passAddress_ = -1;  // -1: the link's header is due
    int lockedLink_ = -1;
};

class TDlgDebugSMBus : public QDialog {
public:
    TDlgDebugSMBus(TMonitor& monitor, QWidget* owner = nullptr);
    ~TDlgDebugSMBus() override;

    TSMBusDebugWalk& Walk() { return walk_; }
    void BTNStartClick();
    void BTNScanNextFastClick();
    void BTNHelpClick();

protected:
    void done(int result) override;

private:
    void step();
    void showButtons();

    TMonitor& monitor_;
    QLineEdit* currentLink_ = nullptr;
    QLineEdit* address_ = nullptr;
    QLineEdit* register_ = nullptr;
    QPlainTextEdit* info_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* scanNextFast_ = nullptr;
    QPushButton* end_ = nullptr;
    QPushButton* help_ = nullptr;
    TSMBusDebugWalk walk_;
    QTimer stepper_;
};
