// The SMBus scan dialog on the demo desktop, with the links its start-up
// detected, opened from the information page as the user does.

#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

#include "app/demowindow.h"
#include "core/cvvars.h"
#include "ui/cvfindsmbusdevices.h"
#include "ui/uiprompts.h"

namespace {

// Clicks "Start scanning" and lets the event loop run the pass.
void ScanAndWait(QDialog& dialog) {
    auto* doScan = dialog.findChild<QPushButton*>("BTNDoScan");
    doScan->click();
    for (int i = 0; i < 2000 && !doScan->isEnabled(); ++i) QCoreApplication::processEvents();
    EXPECT_TRUE(doScan->isEnabled());
}

std::vector<std::string> Lines(QDialog& dialog) {
    std::vector<std::string> lines;
    auto* list = dialog.findChild<QListWidget*>("info");
    for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
    return lines;
}

TEST(SMBusScanOfTheDemoBoard, ListsItsMemoryModulesAndSensors) {
    apptest::TWindowOnMachine demo(apptest::TWindowOnMachine::TBoard::Demo);
    TForm1& form = demo.Open();
    demo.RunPostedMessages();
    TScriptedPrompts prompts;
    form.SetPrompts(prompts);
    std::vector<std::string> lines;
    prompts.OnModal = [&lines](QDialog& dialog) {
        ScanAndWait(dialog);
        lines = Lines(dialog);
        return static_cast<int>(TUiPrompts::Rejected);
    };
    form.findChild<QPushButton*>("BTNFindSMBusDevices")->click();
    ASSERT_EQ(prompts.ModalRuns, 1);
    // The demo's Intel host at 00:1F.3: two JC-42.4 sensors, an LM75, an
    // LM90 and two SPD EEPROMs, which only get the byte read.
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(lines[0].starts_with("Scanning SMBus at $")) << lines[0];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
              (std::vector<std::string>{" - device found at $18 (WriteQ)", " - device found at $19 (WriteQ)",
                                        " - device found at $48 (WriteQ)", " - device found at $4C (WriteQ)",
                                        " - device found at $50 (ReadRegB)", " - device found at $51 (ReadRegB)"}));
    EXPECT_EQ(SMBusScanResult.substr(SMBusScanResult.rfind("\r\n") + 2), " - device found at $51 (ReadRegB)");
}

}  // namespace
