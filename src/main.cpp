// Caldavor's entry: picks the platform, runs the units' start-up in unit
// order, then the application with its main window and the event loop.

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QTimer>

#include "app/exitsignals.h"
#include "app/logindsleep.h"
#include "app/unitstartup.h"
#include "app/wireservices.h"
#include "base/cvtrace.h"
#include "mainwindow/cvmain.h"
#include "mainwindow/cvmainscreenshot.h"
#include "i18n/deffonts.h"
#include "i18n/qt/silangrt.h"
#include "i18n/sicomp.h"
#include "platform/factory.h"
#include "platform/platform.h"
#include "ui/uidialogs.h"
#include "ui/uiprompts.h"

namespace {

// "CALDAVOR_SCREENSHOT=<file>" saves a picture of the window after a few
// main ticks and ends the program: the demo's view without a display.
constexpr int ScreenshotAfterMs = 3 * 3080;

void ScheduleScreenshot(TForm1& form) {
    const QString path = qEnvironmentVariable("CALDAVOR_SCREENSHOT");
    if (path.isEmpty()) return;
    QTimer::singleShot(ScreenshotAfterMs, &form, [&form, path] {
        const bool saved = SaveScreenshot(form, path);
        if (!saved) std::fprintf(stderr, "caldavor: cannot save the screenshot %s\n", path.toLocal8Bit().constData());
        QApplication::exit(saved ? 0 : 1);
    });
}

}  // namespace

int main(int argc, char** argv) {
    std::unique_ptr<platform::Platform> machine;
    try {
        machine = platform::createFromEnvironment();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "caldavor: %s\n", e.what());
        return 1;
    }
    platform::ScopedPlatform scope(*machine);

    InitializeUnits();
    // The main window's dispatcher: every form links to it; "Language=" switches it.
    const std::unique_ptr<TsiLangDispatcher> langDispatcher = TsiLangDispatcher::CreateSystem();
    InstallFormTranslations(*langDispatcher);
    DefaultFontsList = std::make_unique<TDefFontsList>(machine->registry());
    WriteDebugLog("Initializing CVSENSORS");

    // As the system passed it: the application takes its own switches out of argv.
    const std::vector<std::string> commandLine(argv, argv + argc);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Caldavor");
    int exitCode = 0;
    // It outlives the window, so a second signal while the window shuts down is dropped.
    TExitSignals exitSignals;
    {
        TMonitor monitor;
        const auto services = WireServices(monitor);
        monitor.Language = langDispatcher.get();
        TQtPrompts prompts;
        TUiDialogs dialogs(monitor, prompts);
        monitor.SMBusDebugDialog = &dialogs;
        TForm1 form(monitor, commandLine, &dialogs);
        dialogs.SetOwner(&form);
        exitSignals.SetOnExit([&monitor] { monitor.ACExitExecute(); });
        form.show();
        // A simulated run never sees the host's suspends.
        std::unique_ptr<TLogindSleep> sleep;
        if (machine->followsHostPowerEvents()) sleep = std::make_unique<TLogindSleep>(*machine);
        ScheduleScreenshot(form);
        exitCode = QApplication::exec();
    }
    FinalizeUnits();
    // It holds the registry, which goes with the platform's scope.
    DefaultFontsList.reset();
    return exitCode;
}
