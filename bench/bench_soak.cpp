// A month of the running program on virtual time: the main window on the
// demo board, wired as the program wires it, with its main and CPU-load ticks
// run for 30 simulated days. Reports the resident memory after day 1 (the
// charts' windows and the log boxes have long filled) and after day 30; the
// two should match.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "app/answeringdialogs.h"
#include "app/unitstartup.h"
#include "app/wireservices.h"
#include "mainwindow/cvmain.h"
#include "core/cvpacedstep.h"
#include "platform/sim/machine.h"

namespace {

constexpr std::uint64_t DayMs = 24ull * 3600 * 1000;
constexpr std::uint64_t Days = 30;
constexpr std::uint64_t MainTickMs = 3080, CpuLoadTickMs = 1000;

double ResidentMB() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

class TSoakRun {
public:
    TSoakRun() : dir_(std::filesystem::temp_directory_path() / ("caldavor-soak-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(dir_);
        machine_.loadFromFile(CALDAVOR_BOARDS_DIR "/demo.json");
        machine_.setProgramDir(dir_.string());
        // As the program's machine: nobody looks at the bus traffic.
        machine_.setRecording(false);
        InitializeUnits();
        services_ = WireServices(monitor_);
        form_ = std::make_unique<TForm1>(monitor_, std::vector<std::string>{"caldavor"}, &dialogs_);
        form_->show();
        QCoreApplication::sendPostedEvents();  // the deferred start-up
        // The ticks run on virtual time below, not on the window's timers.
        monitor_.SetTimersEnabled(false);
    }
    ~TSoakRun() {
        form_.reset();
        services_.reset();
        FinalizeUnits();
        std::filesystem::remove_all(dir_);
    }
    TSoakRun(const TSoakRun&) = delete;
    TSoakRun& operator=(const TSoakRun&) = delete;

    // Runs every tick that falls due until `until` (ms of virtual time), in
    // the order of their times, with the window's own messages after each.
    void RunUntil(std::uint64_t until) {
        while (true) {
            const std::uint64_t next = std::min({nextMain_, nextCpuLoad_, nextPaced_});
            if (next > until) break;
            machine_.simClock().advance(next - now_);
            now_ = next;
            if (next == nextCpuLoad_) {
                monitor_.CpuLoadTimer();
                nextCpuLoad_ += CpuLoadTickMs;
            }
            if (next == nextPaced_) {
                RunDuePacedSteps();
                nextPaced_ += PacedStepIntervalMs;
            }
            if (next == nextMain_) {
                monitor_.RxTimerMainTimer();
                nextMain_ += MainTickMs;
            }
            QCoreApplication::sendPostedEvents();
        }
        QCoreApplication::processEvents();
    }

private:
    std::filesystem::path dir_;
    platform::sim::Machine machine_;
    platform::ScopedPlatform scope_{machine_};
    TAnsweringDialogs dialogs_;
    TMonitor monitor_;
    std::unique_ptr<TWiredServices> services_;
    std::unique_ptr<TForm1> form_;
    std::uint64_t now_ = 0;
    std::uint64_t nextMain_ = MainTickMs, nextCpuLoad_ = CpuLoadTickMs, nextPaced_ = PacedStepIntervalMs;
};

void BM_SoakDemoBoard(benchmark::State& state) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench_soak";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    for (auto _ : state) {
        TSoakRun run;
        run.RunUntil(DayMs);
        state.counters["rss_day1_MB"] = ResidentMB();
        run.RunUntil(Days * DayMs);
        state.counters["rss_day30_MB"] = ResidentMB();
    }
}
BENCHMARK(BM_SoakDemoBoard)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
