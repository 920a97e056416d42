// SIGTERM, SIGINT and SIGHUP end the program as the user's Exit does: the
// whole shutdown, once, with full duty on exit; a second signal is dropped.

#include "app/exitsignals.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>

#include "app/demowindow.h"
#include "platform/sim/thermalmodel.h"

namespace {

using testsupport::traceLines;

// The shutdown's own lines, in order.
const std::vector<std::string> ShutdownLines = {
    "FormDestroy started", "Timers deactivated", "About to set pwm[1] for sensor[0]",
    "Duty cycles set to correct values", "Restoring sensors' initial state", "Sensors reverted to initial state",
    "Sensors freed", "Links freed", "TrayIcon disabled", "Icons freed"};

// Each line once, in this order.
void ExpectOnceInOrder(const std::vector<std::string>& trace, const std::vector<std::string>& lines) {
    auto from = trace.begin();
    for (const auto& line : lines) {
        EXPECT_EQ(std::count(trace.begin(), trace.end(), line), 1) << line;
        from = std::find(from, trace.end(), line);
        EXPECT_NE(from, trace.end()) << line << " is out of order";
        if (from == trace.end()) return;
    }
}

constexpr std::uint8_t DemoOutputRegister = 0x01;  // the W83627DHG's first duty, 8 bits

class ExitSignalsInProcess : public ::testing::TestWithParam<int> {};

TEST_P(ExitSignalsInProcess, TheFirstSignalExitsAsTheUserDoesAndTheNextAreDropped) {
    apptest::TWindowOnMachine run(apptest::TWindowOnMachine::TBoard::Demo);
    testsupport::writeFile(run.machine.file("caldavorparams.cfg"), "FullOnExit=true\r\nMinimizeOnClose=true\r\n");
    TExitSignals exitSignals;
    int exits = 0;
    exitSignals.SetOnExit([&] {
        ++exits;
        run.monitor.ACExitExecute();
    });
    run.Open().show();
    apptest::TWindowOnMachine::RunPostedMessages();
    auto& hwmon = *run.machine->registerFile("hwmon");
    ASSERT_NE(hwmon.peek(DemoOutputRegister), 0xFF);

    for (int i = 0; i < 2; ++i) {
        std::raise(GetParam());
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(exits, 1);
    // The window closed although closing it minimises: the signal is Exit.
    EXPECT_TRUE(run.monitor.ExitRequested);
    EXPECT_FALSE(run.form->isVisible());
    run.form.reset();
    ExpectOnceInOrder(traceLines(run.machine.file("debug.nfo")), ShutdownLines);
    EXPECT_EQ(hwmon.peek(DemoOutputRegister), 0xFF);
    EXPECT_DOUBLE_EQ(run.machine->thermal().duty("cpufan"), 1.0);
}

INSTANTIATE_TEST_SUITE_P(EachSignal, ExitSignalsInProcess, ::testing::Values(SIGTERM, SIGINT, SIGHUP));

// The program itself, as `kill` ends it: its folder is a temporary one with a
// link to the binary, so the trace lands there.
TEST(ExitSignals, SigtermEndsARunningProgramThroughItsShutdown) {
    testsupport::TempDir dir;
    const std::filesystem::path program = dir.path() / "caldavor";
    std::error_code linked;
    std::filesystem::create_hard_link(CALDAVOR_PROGRAM, program, linked);
    if (linked) std::filesystem::copy_file(CALDAVOR_PROGRAM, program);
    testsupport::writeFile(dir.file("caldavorparams.cfg"), "FullOnExit=true\r\n");
    const std::string trace = dir.file("debug.nfo");

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("CALDAVOR_MACHINE", CALDAVOR_BOARDS_DIR "/demo.json");
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(program.string()), {});
    ASSERT_TRUE(process.waitForStarted());

    // A real process runs on real time: wait for its timers to start.
    const auto traced = [&](const std::string& line) {
        const auto lines = traceLines(trace);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!traced("Activating timer...") && std::chrono::steady_clock::now() < deadline &&
           !process.waitForFinished(50)) {
    }
    ASSERT_TRUE(traced("Activating timer...")) << process.readAllStandardError().toStdString();

    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    while (!traced("FormDestroy started") && std::chrono::steady_clock::now() < deadline &&
           !process.waitForFinished(5)) {
    }
    // A second one while it shuts down, if it still runs.
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    ExpectOnceInOrder(traceLines(trace), ShutdownLines);
}

}  // namespace
