#include "core/cvmain.h"

#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextBlock>
#include <gtest/gtest.h>

#include "core/cvmainreadings.h"
#include "support/testmachine.h"

namespace {

class WindowTest : public ::testing::Test {
protected:
    testsupport::TestMachine machine;
    TMonitor monitor;
};

TEST_F(WindowTest, ControlsAreBoundByTheirNames) {
    TForm1 form(monitor);
    for (const char* name : {"NameTemp1", "LABTemp9", "TempTrend01", "TempTrend09", "NameFan9", "LABFan1", "LABPwm6",
                             "LAB2Pwm1", "NameVolt01", "LABVolt15", "info", "CBAutoFanSpeed", "DebugInfo", "dimminfo",
                             "LABRealCPUSpeed", "CBChartElements", "LVSmartAttrs", "LABClock", "LABClockWish",
                             "CBMBClock", "CBMBVendor", "CBMBModel", "PanCPULoad", "PanSamples"})
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
    for (const char* name : {"EDFan1Cycles", "EDFan6Cycles"})
        EXPECT_NE(form.findChild<QSpinBox*>(name), nullptr) << name;
    EXPECT_EQ(form.findChild<QWidget*>("NameTemp10"), nullptr);
    EXPECT_EQ(form.findChild<QWidget*>("NameVolt16"), nullptr);
}

TEST_F(WindowTest, LogBoxesKeepTheirLastLines) {
    TForm1 form(monitor);
    const int extra = 5;
    for (int i = 1; i <= static_cast<int>(TLogBoxes::MaxLines) + extra; ++i)
        monitor.Log.LogMessage("line " + std::to_string(i));
    for (const char* name : {"info", "DebugInfo"}) {
        const auto* memo = form.findChild<QPlainTextEdit*>(name);
        ASSERT_NE(memo, nullptr);
        EXPECT_EQ(memo->blockCount(), static_cast<int>(TLogBoxes::MaxLines)) << name;
        EXPECT_EQ(memo->document()->firstBlock().text(), QString("line %1").arg(extra + 1)) << name;
        EXPECT_EQ(memo->document()->lastBlock().text(), QString("line %1").arg(TLogBoxes::MaxLines + extra)) << name;
    }
}

}  // namespace
