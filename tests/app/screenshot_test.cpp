// The windows as the display server shows them: run by their own ctest entry
// under xvfb-run, which names the folder the pictures are kept in. The
// gallery is a table: each row shows one page or dialog tab and names its
// picture; later dialogs add rows.

#include <functional>
#include <set>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
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

// What a control shows of Text in Room pixels: whole, or elided on purpose
// with the whole text as its tooltip.
void ExpectWhole(const QWidget& control, const QString& text, int needed, int room, const QString& where) {
    if (text.isEmpty() || needed <= room || control.toolTip() == text) return;
    ADD_FAILURE() << where.toStdString() << ": " << control.metaObject()->className() << " "
                  << control.objectName().toStdString() << " cuts \"" << text.toStdString() << "\" (" << needed
                  << " px in " << room << ")";
}

int LineEditRoom(const QLineEdit& edit) {
    QStyleOptionFrame option;
    option.initFrom(&edit);
    option.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
    const QRect contents = edit.style()->subElementRect(QStyle::SE_LineEditContents, &option, &edit);
    const QMargins margins = edit.textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * 2;  // the edit's own side margins
}

int ComboRoom(const QComboBox& box) {
    QStyleOptionComboBox option;
    option.initFrom(&box);
    option.editable = box.isEditable();
    return box.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &box).width();
}

// Columns cut although the columns' contents fit the view side by side.
void ExpectColumnsWhole(const QTreeView& view, const QString& where) {
    const QHeaderView& header = *view.header();
    std::vector<int> needed;
    int total = 0;
    for (int column = 0; column < header.count(); ++column) {
        if (header.isSectionHidden(column) || view.columnWidth(column) == 0) {
            needed.push_back(0);
            continue;
        }
        const int width = std::max(static_cast<const QAbstractItemView&>(view).sizeHintForColumn(column),
                                   header.sectionSizeHint(column));
        needed.push_back(width);
        total += width;
    }
    if (total > view.viewport()->width()) return;
    for (int column = 0; column < header.count(); ++column)
        if (view.columnWidth(column) < needed[static_cast<std::size_t>(column)])
            ADD_FAILURE() << where.toStdString() << ": column " << column << " of " << view.objectName().toStdString()
                          << " is " << view.columnWidth(column) << " px for " << needed[static_cast<std::size_t>(column)]
                          << " px of content, with room in the view";
}

// Nothing a user must read is cut where the window has room for it.
void ExpectReadable(const QWidget& window, const QString& where) {
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisible()) continue;
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (label->wordWrap() || label->textFormat() == Qt::RichText || Qt::mightBeRichText(label->text())) continue;
            const QString text = QString(label->text()).remove('&');
            ExpectWhole(*label, text, label->fontMetrics().horizontalAdvance(text),
                        label->contentsRect().width() - 2 * label->margin(), where);
        } else if (const auto* box = qobject_cast<const QCheckBox*>(widget)) {
            ExpectWhole(*box, box->text(), box->sizeHint().width(), box->width(), where);
        } else if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
            const QString text = QString(button->text()).remove('&');
            QStyleOptionButton option;
            option.initFrom(button);
            const int room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
            const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
            ExpectWhole(*button, text, button->fontMetrics().horizontalAdvance(text) + icon, room, where);
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
            if (edit->isReadOnly() && edit->parentWidget() && !qobject_cast<const QComboBox*>(edit->parentWidget()))
                ExpectWhole(*edit, edit->text(), edit->fontMetrics().horizontalAdvance(edit->text()), LineEditRoom(*edit),
                            where);
        } else if (const auto* box = qobject_cast<const QComboBox*>(widget)) {
            const int icon = box->itemIcon(box->currentIndex()).isNull() ? 0 : box->iconSize().width() + 4;
            ExpectWhole(*box, box->currentText(), box->fontMetrics().horizontalAdvance(box->currentText()) + icon,
                        ComboRoom(*box), where);
        } else if (const auto* tree = qobject_cast<const QTreeView*>(widget)) {
            ExpectColumnsWhole(*tree, where);
        } else if (const auto* list = qobject_cast<const QListWidget*>(widget)) {
            for (int row = 0; row < list->count(); ++row) {
                const QListWidgetItem& item = *list->item(row);
                const int needed = list->fontMetrics().horizontalAdvance(item.text()) + 8;
                if (needed > list->viewport()->width() && item.toolTip() != item.text())
                    ADD_FAILURE() << where.toStdString() << ": item \"" << item.text().toStdString() << "\" of "
                                  << list->objectName().toStdString() << " is cut and has no tooltip";
            }
        }
    }
}

QImage Shoot(QWidget& window, const QString& folder, const QString& name) {
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(50);  // the repaint of a page just chosen
    const QImage shot = GrabFromScreen(window);
    ExpectPicture(shot, window, name);
    ExpectReadable(window, name);
    EXPECT_TRUE(shot.save(folder + "/" + name, "PNG")) << name.toStdString();
    return shot;
}

// Each tab of Tabs in its own picture, Prefix + the tab's short name.
struct TTabPicture {
    const char* Tab;
    const char* File;
};

// The window keeps the size it had before the first tab was chosen.
void ShootTabs(QWidget& window, QTabWidget& tabs, const std::vector<TTabPicture>& pictures, const QString& folder) {
    QImage before;
    const QSize size = window.size();
    for (const auto& picture : pictures) {
        QWidget* page = tabs.findChild<QWidget*>(picture.Tab);
        ASSERT_NE(page, nullptr) << picture.Tab;
        tabs.setCurrentWidget(page);
        const QImage shot = Shoot(window, folder, picture.File);
        EXPECT_NE(shot, before) << picture.File << " looks like the tab before it";
        EXPECT_EQ(window.size(), size) << picture.File;
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
    const std::vector<int> charted{2, 6};
    for (const int item : charted) form.Charts().JLVChart().topLevelItem(item)->setCheckState(0, Qt::Checked);
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

    // Every checked series shows in its list colour inside the chart.
    form.findChild<QTabWidget*>("pages")->setCurrentWidget(&form.Charts());
    const QImage shot = Shoot(form, folder, "page-charts.png");
    QWidget& chart = form.Charts().PBChart();
    const QRect box(chart.mapTo(&form, QPoint(0, 0)) * form.devicePixelRatio(), chart.size() * form.devicePixelRatio());
    for (const int item : charted) {
        const QRgb colour = form.Charts().JLVChart().topLevelItem(item)->background(1).color().rgb();
        // The frame's and the grid's pixels are no series' pixels.
        EXPECT_NE(colour, qRgb(ChartFrameColor & 0xFF, (ChartFrameColor >> 8) & 0xFF, ChartFrameColor >> 16)) << item;
        int pixels = 0;
        for (int y = box.top() + 1; y < box.bottom(); ++y)
            for (int x = box.left() + 1; x < box.right(); ++x) pixels += shot.pixel(x, y) == colour;
        EXPECT_GT(pixels, 20) << "series of item " << item << " (" << std::hex << colour << ") is not in the chart";
    }
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
    config.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&config));
    QTest::qWait(50);
    // It opens at its starting size and keeps it through every tab and choice.
    const QSize opened(TDlgConfig::Width, TDlgConfig::Height);
    EXPECT_EQ(config.size(), opened);
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
    EXPECT_EQ(config.size(), opened);
    // Without advanced fan control the box heads its empty tab.
    auto* advanced = config.Tab("TSFanControl")->findChild<QCheckBox*>("CBAdvFanControl");
    advanced->click();
    Shoot(config, folder, "dlgconfig-fancontrol-off.png");
    EXPECT_LT(advanced->y(), 2 * advanced->height());
    EXPECT_EQ(config.size(), opened);
    config.Tabs().setCurrentWidget(config.Tab("TSEvents"));
    auto* events = config.Tab("TSEvents")->findChild<QTreeWidget*>("LVEvents");
    QTest::mouseClick(events->viewport(), Qt::LeftButton, {}, events->visualItemRect(events->topLevelItem(0)).center());
    Shoot(config, folder, "dlgconfig-events-row.png");
    EXPECT_EQ(config.size(), opened);
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
