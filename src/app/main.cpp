// Caldavor's entry: picks the platform, runs the units' start-up in unit
// order, and (until the main window exists) runs the window's start-up and
// shutdown once without a window and reports where the trace went.

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/wireservices.h"
#include "core/cvmonitor.h"
#include "core/cvvars.h"
#include "detect/cvscanexceptions.h"
#include "hw/cvosinfo.h"
#include "hw/cvsetupapi.h"
#include "i18n/sicomp.h"
#include "platform/factory.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    std::unique_ptr<platform::Platform> machine;
    try {
        machine = platform::createFromEnvironment();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "caldavor: %s\n", e.what());
        return 1;
    }
    platform::ScopedPlatform scope(*machine);

    InitializeCvvars();
    InitializeCvosinfo();
    InitializeCvsetupapi();
    InitializeCvscanexceptions();
    // The main window's dispatcher: every form links to it; "Language=" switches it.
    const std::unique_ptr<TsiLangDispatcher> langDispatcher = TsiLangDispatcher::CreateSystem();
    WriteDebugLog("Initializing CVSENSORS");
    {
        TMonitor monitor;
        const auto services = WireServices(monitor);
        monitor.FormCreate(std::vector<std::string>(argv, argv + argc));
        monitor.DeferredStartup();
        monitor.FormDestroy();
    }
    std::printf("Caldavor started; debug trace: %s%s\n", ProgramDir.c_str(), DebugLogName);
    FinalizeCvvars();
    return 0;
}
