#pragma once
// SIGTERM, SIGINT and SIGHUP end the program as the user's Exit does. The
// handler only writes a byte to a pipe; the GUI thread reads it in its event
// loop and runs the exit once. Signals after the first are read and dropped,
// also while the shutdown runs, so a second `kill` cannot cut it short. One
// object per process.

#include <functional>

#include <QObject>

class QSocketNotifier;

class TExitSignals : public QObject {
public:
    // Takes the three signals over until destroyed; the previous handlers
    // come back then.
    TExitSignals();
    ~TExitSignals() override;
    TExitSignals(const TExitSignals&) = delete;
    TExitSignals& operator=(const TExitSignals&) = delete;

    // What the first signal runs on the GUI thread. The event loops end after
    // it, a modal dialog's included.
    void SetOnExit(std::function<void()> onExit) { onExit_ = std::move(onExit); }

private:
    void Drain();

    std::function<void()> onExit_;
    QSocketNotifier* notifier_ = nullptr;
    bool exiting_ = false;
};
