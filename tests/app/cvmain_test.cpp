#include "mainwindow/cvmain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTextBlock>
#include <QToolTip>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "app/demowindow.h"

namespace {

class WindowTest : public ::testing::Test, protected apptest::TWindowOnMachine {
protected:
    std::unique_ptr<TForm1> MakeForm() {
        return std::make_unique<TForm1>(monitor, std::vector<std::string>{"caldavor"}, &dialogs);
    }
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
    EXPECT_EQ(form->findChild<QTreeWidget*>("LVSmartAttrs")->columnCount(), 5);
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

class DemoWindowTest : public ::testing::Test, protected apptest::TWindowOnMachine {
protected:
    DemoWindowTest() : TWindowOnMachine(TBoard::Demo) {}
    void SetUp() override { Open(); }

    QString Text(const char* label) { return form->findChild<QLabel*>(label)->text(); }
    bool Shown(const char* name) { return !form->findChild<QWidget*>(name)->isHidden(); }
};

TEST_F(DemoWindowTest, RowsShowTheFormattedReadingsAfterStartUp) {
    EXPECT_FALSE(Shown("NameTemp1")) << "no row before the deferred start-up";
    RunPostedMessages();

    // The monitor's three temperatures, the two memory modules', the LM75's,
    // the LM90's two and the two disks'; the monitor's five fans, three
    // voltages and four outputs. The nine temperature rows are all taken.
    for (const char* row : {"NameTemp1", "LABTemp9", "TempTrend09", "NameFan5", "LABVolt03", "LABPwm4",
                            "EDFan4Cycles", "LAB2Pwm4"})
        EXPECT_TRUE(Shown(row)) << row;
    for (const char* row : {"NameFan6", "NameVolt04", "LABPwm5", "EDFan5Cycles"})
        EXPECT_FALSE(Shown(row)) << row;
    EXPECT_TRUE(Text("NameTemp1").endsWith(':'));

    const std::pair<const char*, const char*> values[] = {
        {"LABTemp3", "30C"},       // bank 2 50h = 1Eh
        {"LABTemp4", "28C"},       // JC-42.4 at 18h: 01C4h / 16 = 28.25
        {"LABTemp5", "29C"},       // at 19h: 01D0h / 16
        {"LABTemp7", "40C"},       // LM90 local 00h = 28h
        {"LABTemp8", "46C"},       // LM90 remote 01h = 2Eh
        {"LABFan2", "7500 RPM"},   // 1350000 / (5Ah x 2), divisor code 1 in 47h bits 7:6
        {"LABVolt01", "0.90V"},    // 70h x 0.008
        {"LABVolt02", "11.99V"},   // E3h x 0.008 x 6.6
        {"LABVolt03", "3.30V"},    // CEh x 0.016
    };
    for (const auto& [label, text] : values) EXPECT_EQ(Text(label), text) << label;

    // Name labels as wide as the widest name, each value 2 pixels to its right.
    const auto* name = form->findChild<QLabel*>("NameTemp1");
    EXPECT_EQ(form->findChild<QLabel*>("LABTemp1")->x(), name->x() + name->width() + 2);
}

TEST_F(DemoWindowTest, TheClockPageListsAndTheProcessorClockAreWired) {
    RunPostedMessages();
    const auto* chips = form->findChild<QComboBox*>("CBMBClock");
    ASSERT_EQ(chips->count(), 13);  // the offered chips
    EXPECT_EQ(chips->itemText(0), "Cypress W311");
    EXPECT_EQ(chips->itemText(12), "PhaseLink 205-03");
    EXPECT_EQ(form->findChild<QComboBox*>("CBMBVendor")->count(), 18);

    machine->cpus().cpu(0).tscHz = 2'666'000'000;
    monitor.HandleMessage(WM_CPU_CLOCK, 0, 0);
    EXPECT_EQ(Text("LABRealCPUSpeed"), "2666 MHz");
}

TEST_F(DemoWindowTest, TheFirstStageTracesTheBoardFromTheFirmwareTables) {
    ASSERT_NE(monitor.Board, nullptr);
    EXPECT_EQ(monitor.Board->SystemProduct, "OC-Q9 Desktop");
    const auto lines = testsupport::traceLines(machine.file("debug.nfo"));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "FORMCREATE : found Orvane Computer Co. P45-QX Rev 1.1"),
              lines.end());
}

TEST_F(DemoWindowTest, RowsAreShownWhileTheWelcomeBoxWaits) {
    QString shownThen;
    dialogs.WhileShown = [&](const std::string& title) {
        if (title == "Welcome to Caldavor!") shownThen = Text("LABTemp3");
    };
    RunPostedMessages();
    EXPECT_EQ(shownThen, "30C");
}

TEST_F(DemoWindowTest, AReadingLabelHintsItsStatistics) {
    RunPostedMessages();
    auto* label = form->findChild<QLabel*>("LABTemp3");
    QHelpEvent help(QEvent::ToolTip, QPoint(1, 1), label->mapToGlobal(QPoint(1, 1)));
    QCoreApplication::sendEvent(label, &help);
    EXPECT_EQ(QToolTip::text(), "last: 30.0  min: 30.0  max: 30.0  mean: 30.0");
}

TEST_F(DemoWindowTest, ADutyEditDrivesItsOutputOnlyAfterStartUp) {
    auto* edit = form->findChild<QSpinBox*>("EDFan1Cycles");
    const auto chip = machine->registerFile("hwmon");
    edit->setValue(75);
    EXPECT_EQ(chip->peek(0x01), 0x80) << "nothing is driven before the deferred start-up";

    RunPostedMessages();
    EXPECT_EQ(edit->value(), 50) << "the edit shows the duty the output holds, 80h of FFh";
    EXPECT_EQ(chip->peek(0x01), 0x80) << "showing it wrote nothing";
    edit->setValue(75);
    EXPECT_EQ(chip->peek(0x01), 0xBF) << "75 % of FFh, rounded";
}

class AutoFanSpeedBox : public DemoWindowTest {
protected:
    void SetUp() override {}
};

TEST_F(AutoFanSpeedBox, ShowsTheOptionsFileAfterStartUpAndSavesTheUsersChange) {
    testsupport::writeFile(monitor.OptionsFilePath(), "AutoFanSpeed=false\n");
    Open();
    RunPostedMessages();
    auto* box = form->findChild<QCheckBox*>("CBAutoFanSpeed");
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(monitor.Options.AutoFanSpeed);
    EXPECT_NE(testsupport::readFile(monitor.OptionsFilePath()).find("AutoFanSpeed=false"), std::string::npos)
        << "showing the option does not change it";

    box->click();
    EXPECT_TRUE(monitor.Options.AutoFanSpeed);
    EXPECT_NE(testsupport::readFile(monitor.OptionsFilePath()).find("AutoFanSpeed=true"), std::string::npos);
}

}  // namespace
