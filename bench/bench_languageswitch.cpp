// A language switch re-applies every line of every open form's table: the
// main window and the configuration dialog together, per switch, offscreen.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/wireservices.h"
#include "mainwindow/cvmain.h"
#include "core/cvvars.h"
#include "i18n/qt/silangrt.h"
#include "i18n/sicomp.h"
#include "platform/sim/machine.h"
#include "ui/cvconfig.h"
#include "ui/uilanguage.h"

namespace {

QApplication& Application() {
    static int argc = 1;
    static char name[] = "bench_languageswitch";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}

void BM_SwitchMainWindowAndConfiguration(benchmark::State& state) {
    Application();
    platform::sim::Machine machine;
    platform::ScopedPlatform scope(machine);
    InitializeCvvars();
    {
        const auto dispatcher = TsiLangDispatcher::CreateSystem();
        InstallFormTranslations(*dispatcher);
        TMonitor monitor;
        const auto services = WireServices(monitor);
        monitor.Language = dispatcher.get();
        TForm1 window(monitor, {"caldavor"});
        TDlgConfig config(monitor, &window);
        int language = 1;
        for (auto _ : state) {
            language = language % siconsts::LanguageCount + 1;
            dispatcher->SetActiveLanguage(language);
        }
        SetFormBuiltHook(nullptr);
    }
    FinalizeCvvars();
}
BENCHMARK(BM_SwitchMainWindowAndConfiguration)->Unit(benchmark::kMillisecond);

}  // namespace
