// Caldavor's entry: picks the platform, runs the units' start-up in unit
// order, and (until the main window exists) reports where the trace went.

#include <cstdio>
#include <exception>
#include <memory>

#include "core/cvvars.h"
#include "cpu/cvuptime.h"
#include "cpu/noscpuusage.h"
#include "detect/cvscanexceptions.h"
#include "hw/cvosinfo.h"
#include "hw/cvsetupapi.h"
#include "i18n/sicomp.h"
#include "platform/factory.h"
#include "platform/platform.h"

int main() {
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
    InitializeCvuptime();
    InitializeNosCpuUsage();
    // The main window's dispatcher: every form links to it; "Language=" switches it.
    const std::unique_ptr<TsiLangDispatcher> langDispatcher = TsiLangDispatcher::CreateSystem();
    WriteDebugLog("Initializing CVSENSORS");
    std::printf("Caldavor started; debug trace: %s%s\n", ProgramDir.c_str(), DebugLogName);
    FinalizeNosCpuUsage();
    FinalizeCvvars();
    return 0;
}
