#include "app/exitsignals.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

namespace {

constexpr std::array ExitSignals = {SIGTERM, SIGINT, SIGHUP};

// The pipe's ends; the handler reads only the write end.
int readEnd = -1;
volatile std::sig_atomic_t writeEnd = -1;
std::array<struct sigaction, ExitSignals.size()> previous{};

extern "C" void OnExitSignal(int) {
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds a pending exit.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = saved;
}

}  // namespace

TExitSignals::TExitSignals() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) throw std::runtime_error("no pipe for the exit signals");
    readEnd = ends[0];
    writeEnd = ends[1];
    notifier_ = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
    struct sigaction action{};
    action.sa_handler = OnExitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < ExitSignals.size(); ++i) sigaction(ExitSignals[i], &action, &previous[i]);
}

TExitSignals::~TExitSignals() {
    for (std::size_t i = 0; i < ExitSignals.size(); ++i) sigaction(ExitSignals[i], &previous[i], nullptr);
    const int write = writeEnd;
    writeEnd = -1;
    ::close(write);
    ::close(readEnd);
    readEnd = -1;
}

void TExitSignals::Drain() {
    char bytes[64];
    while (::read(readEnd, bytes, sizeof bytes) > 0) {
    }
    if (exiting_) return;
    exiting_ = true;
    if (onExit_) onExit_();
    // Outside any loop there is nothing to end, and a later loop must still run.
    if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}
