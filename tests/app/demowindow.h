#pragma once
// The main window over a simulated machine, wired as the program wires it,
// with every modal box answered at once. The shared globals start fresh and
// the program folder is the machine's temporary one.

#include <memory>

#include <QCoreApplication>

#include "app/answeringdialogs.h"
#include "app/wireservices.h"
#include "mainwindow/cvmain.h"
#include "support/testmachine.h"

namespace apptest {

class TGlobals {
public:
    TGlobals();
    ~TGlobals();
};

class TWindowOnMachine {
public:
    // The demo board or the uGuru board, detected as the program does.
    enum class TBoard { Empty, Demo, UGuru3 };
    explicit TWindowOnMachine(TBoard board = TBoard::Empty);

    // Builds the window: its first stage of start-up runs and posts the second.
    TForm1& Open();
    // Runs what the window posted to itself, the deferred start-up first.
    static void RunPostedMessages() { QCoreApplication::sendPostedEvents(); }

    testsupport::TestMachine machine;
    // Before the wiring, which reads the machine's identity as the program does.
    bool boardLoaded;
    TGlobals globals;
    TAnsweringDialogs dialogs;
    TMonitor monitor;
    std::unique_ptr<TWiredServices> services = WireServices(monitor);
    std::unique_ptr<TForm1> form;
};

}  // namespace apptest
