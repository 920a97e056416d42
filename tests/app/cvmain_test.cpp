#include "core/cvmain.h"

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextBlock>
#include <QToolTip>
#include <gtest/gtest.h>

#include "app/answeringdialogs.h"
#include "core/cvmainreadings.h"
#include "support/testmachine.h"

namespace {

class WindowTest : public ::testing::Test {
protected:
    std::unique_ptr<TForm1> MakeForm() {
        return std::make_unique<TForm1>(monitor, std::vector<std::string>{"caldavor"}, &dialogs);
    }
    // Runs what the window posted to itself: the deferred start-up first.
    static void RunPostedMessages() { QCoreApplication::sendPostedEvents(); }

    testsupport::TestMachine machine;
    TAnsweringDialogs dialogs;
    TMonitor monitor;
};

TEST_F(WindowTest, ControlsAreBoundByTheirNames) {
    const auto form = MakeForm();
    for (const char* name : {"NameTemp1", "LABTemp9", "TempTrend01", "TempTrend09", "NameFan9", "LABFan1", "LABPwm6",
                             "LAB2Pwm1", "NameVolt01", "LABVolt15", "info", "CBAutoFanSpeed", "DebugInfo", "dimminfo",
                             "LABRealCPUSpeed", "CBChartElements", "LVSmartAttrs", "LABClock", "LABClockWish",
                             "CBMBClock", "CBMBVendor", "CBMBModel", "PanCPULoad", "PanSamples"})
        EXPECT_NE(form->findChild<QWidget*>(name), nullptr) << name;
    for (const char* name : {"EDFan1Cycles", "EDFan6Cycles"})
        EXPECT_NE(form->findChild<QSpinBox*>(name), nullptr) << name;
    EXPECT_EQ(form->findChild<QWidget*>("NameTemp10"), nullptr);
    EXPECT_EQ(form->findChild<QWidget*>("NameVolt16"), nullptr);
}

TEST_F(WindowTest, LogBoxesKeepTheirLastLines) {
    const auto form = MakeForm();
    const int extra = 5;
    for (int i = 1; i <= static_cast<int>(TLogBoxes::MaxLines) + extra; ++i)
        monitor.Log.LogMessage("line " + std::to_string(i));
    for (const char* name : {"info", "DebugInfo"}) {
        const auto* memo = form->findChild<QPlainTextEdit*>(name);
        ASSERT_NE(memo, nullptr);
        EXPECT_EQ(memo->blockCount(), static_cast<int>(TLogBoxes::MaxLines)) << name;
        EXPECT_EQ(memo->document()->firstBlock().text(), QString("line %1").arg(extra + 1)) << name;
        EXPECT_EQ(memo->document()->lastBlock().text(), QString("line %1").arg(TLogBoxes::MaxLines + extra)) << name;
    }
}

TEST_F(WindowTest, PositionIsKeptInTheRegistry) {
    {
        const auto form = MakeForm();
        form->show();
        form->move(123, 77);
        form->close();
    }
    auto& registry = machine->registry();
    EXPECT_EQ(registry.readInteger("\\Software\\Caldavor\\TForm1", "Left"), 123u);
    EXPECT_EQ(registry.readInteger("\\Software\\Caldavor\\TForm1", "Top"), 77u);
    EXPECT_EQ(MakeForm()->pos(), QPoint(123, 77));
}

TEST_F(WindowTest, WithoutANotificationAreaTheWindowMinimisesAndBalloonsGoNowhere) {
    const auto form = MakeForm();
    form->show();
    ASSERT_FALSE(form->Tray().Available());
    platform::current().desktop().showBalloon("Caldavor", "text", 10000, platform::BalloonIcon::Info);

    monitor.ACMinimizeExecute();
    EXPECT_TRUE(form->isMinimized());
    monitor.ACRestoreExecute();
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isVisible());
}

TEST_F(WindowTest, CloseMinimisesWhenAskedAndExitCloses) {
    const auto form = MakeForm();
    RunPostedMessages();
    form->show();
    monitor.Options.MinimizeOnClose = true;

    EXPECT_FALSE(form->close());
    EXPECT_FALSE(form->isMinimized()) << "the minimise message is queued";
    RunPostedMessages();
    EXPECT_TRUE(form->isMinimized());

    monitor.ACExitExecute();
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
