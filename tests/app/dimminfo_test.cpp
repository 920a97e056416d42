// "Read info" on the demo board's information page, as the user presses it.

#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <QListWidget>

#include "app/demowindow.h"
#include "report/cvreport.h"
#include "ui/cvreportprogress.h"
#include "support/testmachine.h"

namespace {

TEST(DimmInfoOfTheDemoBoard, DescribesBothMemoryModules) {
    apptest::TWindowOnMachine demo(apptest::TWindowOnMachine::TBoard::Demo);
    TForm1& form = demo.Open();
    demo.RunPostedMessages();
    auto* button = form.findChild<QPushButton*>("BTNDimmInfo");
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_TRUE(button->isEnabled());
    const std::string text = form.findChild<QPlainTextEdit*>("dimminfo")->toPlainText().toStdString();
    const auto lines = testsupport::splitLines(text, "\n");
    ASSERT_GE(lines.size(), 3u) << text;
    EXPECT_TRUE(lines[0].starts_with("Scanning SMBus at $")) << lines[0];
    EXPECT_EQ(lines[1], "Decoding DIMM #0");
    EXPECT_EQ(lines[2], " Memory type is DDR2");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Decoding DIMM #1"), 1);
    EXPECT_NE(std::find(lines.begin(), lines.end(), " Speed is PC2-6400"), lines.end()) << text;
    EXPECT_TRUE(form.DimmInfoText().starts_with(lines[0] + "\r\n" + lines[1] + "\r\n")) << "the report's line breaks";
}

}  // namespace

namespace {

TEST(DebugReportOfTheDemoBoard, CarriesTheWindowsMemosAndTheDetectedChips) {
    apptest::TWindowOnMachine demo(apptest::TWindowOnMachine::TBoard::Demo);
    TForm1& form = demo.Open();
    demo.RunPostedMessages();
    form.findChild<QPushButton*>("BTNDimmInfo")->click();
    TDlgReportProgress progress(&form);
    TReportContext context{demo.monitor, form, progress, {}};
    const std::string report = BuildDebugReport(context);
    EXPECT_NE(report.find("***************************** DIMM INFO\r\n\r\n" + form.DimmInfoText()), std::string::npos);
    EXPECT_NE(report.find("Chipset : " + form.EDChipSet()), std::string::npos);
    EXPECT_NE(report.find("SMB Dump from address $50 --> <RAM>"), std::string::npos);
    EXPECT_NE(report.find(" on " + demo.monitor.Sensors.front()->FLinkText + " at $"), std::string::npos);
    EXPECT_EQ(progress.lb().item(0)->text().toStdString(), "ACPI tables scan. Done.");
}

}  // namespace
