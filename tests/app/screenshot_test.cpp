// The windows as the display server shows them: run by their own ctest entry
// under xvfb-run, which names the folder the pictures are kept in. The
// gallery is a table: each row shows one page or dialog tab and names its
// picture; later dialogs add rows.

#include <functional>
#include <set>
#include <vector>

#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "app/demowindow.h"
#include "core/cvhelp.h"
#include "mainwindow/cvmainscreenshot.h"
#include "core/cvvars.h"
#include "cpu/noscpuusage.h"
#include "ui/cvcharts.h"
#include "ui/cvclockpage.h"
#include "ui/cvconfig.h"
#include "ui/cvconfigexchange.h"
#include "ui/cvdebugsmbus.h"
#include "ui/cvdlggetconfig.h"
#include "ui/cvdlgpost.h"
#include "ui/cvdlgselecttemp.h"
#include "ui/cvsmartpage.h"
#include "ui/cvfindsmbusdevices.h"
#include "ui/cvreportpreview.h"
#include "ui/cvreportprogress.h"
#include "ui/cvshowhint.h"
#include "ui/cvexoticspanel.h"

namespace {

// Text, frames and backgrounds: a blank or one-colour window has far fewer.
void ExpectPicture(const QImage& shot, const QWidget& window, const QString& name) {
    ASSERT_FALSE(shot.isNull()) << name.toStdString();
    EXPECT_EQ(shot.size(), window.size() * window.devicePixelRatio()) << name.toStdString();
    std::set<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 3)
        for (int x = 0; x < shot.width(); x += 3) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 16u) << name.toStdString();
}

QImage Shoot(QWidget& window, const QString& folder, const QString& name) {
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(50);  // the repaint of a page just chosen
    const QImage shot = GrabFromScreen(window);
    ExpectPicture(shot, window, name);
    EXPECT_TRUE(shot.save(folder + "/" + name, "PNG")) << name.toStdString();
    return shot;
}

// Each tab of Tabs in its own picture, Prefix + the tab's short name.
struct TTabPicture {
    const char* Tab;
    const char* File;
};

void ShootTabs(QWidget& window, QTabWidget& tabs, const std::vector<TTabPicture>& pictures, const QString& folder) {
    QImage before;
    for (const auto& picture : pictures) {
        QWidget* page = tabs.findChild<QWidget*>(picture.Tab);
        ASSERT_NE(page, nullptr) << picture.Tab;
        tabs.setCurrentWidget(page);
        const QImage shot = Shoot(window, folder, picture.File);
        EXPECT_NE(shot, before) << picture.File << " looks like the tab before it";
        before = shot;
    }
}

class Screenshot : public ::testing::Test {
protected:
    void SetUp() override {
        folder = qEnvironmentVariable("CALDAVOR_SCREENSHOTS");
        if (folder.isEmpty()) GTEST_SKIP() << "runs under xvfb-run from its own ctest entry";
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    }
    QString folder;
};

TEST_F(Screenshot, MainWindowThroughTheXServer) {
    apptest::TWindowOnMachine demo(apptest::TWindowOnMachine::TBoard::Demo);
    TForm1& form = demo.Open();
    demo.RunPostedMessages();
    // The Exotics boxes and two charted series, fed by a few ticks.
    form.Exotics().BTNShowTheMagicClick();
    demo.RunPostedMessages();
    for (int tick = 0; tick < 8; ++tick) {
        demo.machine->simClock().advance(3000);
        demo.monitor.RxTimerMainTimer();
    }
    for (const int item : {2, 6}) form.Charts().JLVChart().topLevelItem(item)->setCheckState(0, Qt::Checked);
    // Four busy CPUs, the first disk and a board with its clock chip.
    CPUUsage.NumCPUs = 4;
    CPUUsage.total = 46.5f;
    for (int cpu = 0; cpu < 4; ++cpu) CPUUsage.PerCPU[static_cast<std::size_t>(cpu)] = 20.0f + 25.0f * cpu;
    demo.monitor.CpuLoadTimer();
    form.findChild<QComboBox*>("CBSmartHD")->setCurrentIndex(0);
    form.SmartPage().UpdateSmartPage(false);
    form.ClockPage().SelectEntry(TClockList::Vendor, "ABIT");
    form.ClockPage().SelectEntry(TClockList::Model, "AN7");
    Shoot(form, folder, "mainwindow.png");
    ShootTabs(form, *form.findChild<QTabWidget*>("pages"),
              {{"TSReadings", "page-readings.png"},
               {"TSCharts", "page-charts.png"},
               {"TSSmart", "page-smart.png"},
               {"TSClock", "page-clock.png"},
               {"TSExotics", "page-exotics.png"},
               {"TSInfo", "page-info.png"}},
              folder);
}

TEST_F(Screenshot, DialogsThroughTheXServer) {
    apptest::TWindowOnMachine demo(apptest::TWindowOnMachine::TBoard::Demo);
    TForm1& form = demo.Open();
    demo.RunPostedMessages();

    // One fan controller on one temperature, and one event.
    TFanController controller;
    controller.Name = "CPU fan";
    controller.SensorIndex = 0;
    controller.PwmIndex = 1;
    TFanCtrlTemp input;
    input.SensorIndex = 0;
    input.ReadingIndex = 1;
    input.MinTemp = 30;
    input.MaxTemp = 60;
    input.Hysteresis = 2;
    input.ControlPoints = TFanControlTab::DefaultCurve();
    controller.Temps.push_back(input);
    demo.monitor.FanControllers = {controller};
    demo.monitor.Options.AdvFanSpeed = true;
    TCVEventDef event;
    event.Def.Origin = 0;
    event.Def.CheckType = ">=";
    event.Def.CheckValue = "60";
    event.Def.Action = TEventAction::PopupMsg;
    event.Def.ActionPar1 = "CPU is hot";
    demo.monitor.Events.Events = {event};

    TDlgConfig config(demo.monitor, &form);
    FillConfigDialog(demo.monitor, config.Model());
    config.ShowModel();
    ShootTabs(config, config.Tabs(),
              {{"TSTemps", "dlgconfig-temps.png"},
               {"TSFans", "dlgconfig-fans.png"},
               {"TSVolts", "dlgconfig-volts.png"},
               {"TSSpeeds", "dlgconfig-speeds.png"},
               {"TSFanControl", "dlgconfig-fancontrol.png"},
               {"TSOptions", "dlgconfig-options.png"},
               {"TSLogging", "dlgconfig-log.png"},
               {"TSAdvanced", "dlgconfig-advanced.png"},
               {"TSEvents", "dlgconfig-events.png"},
               {"TSInternet", "dlgconfig-internet.png"},
               {"TSMail", "dlgconfig-mail.png"},
               {"TSXap", "dlgconfig-xap.png"}},
              folder);
    config.Tabs().setCurrentWidget(config.Tab("TSFanControl"));
    config.FanControl().LBFanControllersClick(0);
    config.FanControl().LBFanControlTempsClick(0);
    Shoot(config, folder, "dlgconfig-fancurve.png");
    config.hide();

    TDlgSelectTemperature picker(&form);
    for (const auto& temp : config.Model().Temps) picker.LBTemps().addItem(QString::fromStdString(temp.Name));
    Shoot(picker, folder, "dlgselecttemp.png");
    std::printf("Screenshots in %s\n", folder.toLocal8Bit().constData());
}

TEST_F(Screenshot, SMBusReportAndHintDialogsThroughTheXServer) {
    apptest::TWindowOnMachine demo(apptest::TWindowOnMachine::TBoard::Demo);
    TForm1& form = demo.Open();
    demo.RunPostedMessages();

    TDlgFindSMBusDevices scan(demo.monitor, &form);
    scan.show();
    scan.BTNDoScanClick();
    while (!scan.findChild<QPushButton*>("BTNDoScan")->isEnabled()) QCoreApplication::processEvents();
    Shoot(scan, folder, "dlgfindsmbusdevices.png");
    scan.hide();

    TDlgDebugSMBus debug(demo.monitor, &form);
    debug.show();
    debug.BTNStartClick();
    while (debug.Walk().Running()) QCoreApplication::processEvents();
    Shoot(debug, folder, "dlgdebugsmbus.png");
    debug.hide();

    THelpLink help;
    TDlgPost post(help, &form);
    Shoot(post, folder, "dlgpost.png");
    post.hide();
    TDlgReportPreview preview(&form);
    preview.EDReport().setPlainText(QString::fromStdString(SMBusScanResult));
    Shoot(preview, folder, "dlgreportpreview.png");
    preview.hide();
    TDlgReportProgress progress(&form);
    progress.AddLine("Building report...");
    Shoot(progress, folder, "dlgreportprogress.png");
    progress.hide();
    TDlgGetConfig getConfig(&form);
    Shoot(getConfig, folder, "dlggetconfig.png");
    getConfig.hide();
    TDlgShowHint hint(&form);
    hint.Fill({std::string("Did you know that..."), std::string("The fans can follow any temperature.\r\nSee the Speeds tab."), true});
    Shoot(hint, folder, "dlgshowhint.png");
}

}  // namespace
