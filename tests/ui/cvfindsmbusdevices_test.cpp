// The SMBus scan: its lines, the addresses it never touches, the bus lock it
// holds over each link, and the dialog that steps it on the event loop.

#include <algorithm>

#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

#include "hw/cvbuslocks.h"
#include "smbusfixture.h"
#include "ui/cvfindsmbusdevices.h"
#include "ui/uiprompts.h"

namespace {

using uitest::SMBusFixture;

class SMBusScanTest : public SMBusFixture {
protected:
    // Runs a whole pass; answers the number of steps it took.
    static int RunPass(TSMBusScan& scan) {
        int steps = 0;
        scan.Start();
        while (scan.Step()) ++steps;
        return steps;
    }
};

const std::vector<std::string> FixtureLines = {
    "Scanning SMBus at $0400...",         " - device found at $2D (WriteQ)", " - device found at $2F (ReadRegB)",
    " - device found at $50 (ReadRegB)", " - device found at $68 (WriteQ)", " - device found at $73 (WriteQ)",
    " - device found at $77 (WriteQ)"};

TEST_F(SMBusScanTest, ListsWhatAnswersAndNeverTouchesClosedAddresses) {
    auto& segment = LoadSMBusBoard();
    TSMBusScan scan(monitor.Board);
    RunPass(scan);

    EXPECT_EQ(scan.Lines(), FixtureLines);
    EXPECT_EQ(SMBusScanResult,
              "Scanning SMBus at $0400...\r\n - device found at $2D (WriteQ)\r\n - device found at $2F (ReadRegB)\r\n"
              " - device found at $50 (ReadRegB)\r\n - device found at $68 (WriteQ)\r\n"
              " - device found at $73 (WriteQ)\r\n - device found at $77 (WriteQ)");
    const auto addresses = Addresses(segment);
    for (int closed : {0x4C, 0x4F})
        EXPECT_EQ(std::count(addresses.begin(), addresses.end(), closed), 0) << closed;
    // Nothing below 10h; the EEPROM only ever gets the byte read of register 0.
    EXPECT_EQ(*std::min_element(addresses.begin(), addresses.end()), 0x10);
    for (const auto& request : segment.requests()) {
        if (request.address < 0x50 || request.address > 0x5F) continue;
        EXPECT_EQ(request.protocol, platform::sim::SMBusProtocol::ByteData);
        EXPECT_TRUE(request.read);
        EXPECT_EQ(request.command, 0);
    }
}

TEST_F(SMBusScanTest, TheLockIsTakenOnceAroundEachLinksPass) {
    auto& segment = LoadSMBusBoard();
    TSMBusScan scan(monitor.Board);
    scan.Start();
    scan.Step();  // the opening line comes before the lock
    EXPECT_EQ(BusLockCount(false), 0);
    // The main tick runs whole transactions between two steps; its own
    // access nests inside the pass's lock.
    for (int i = 0; i < 5; ++i) scan.Step();
    TLink& link = LinkOf(0);
    link.BeginAccess();
    std::uint8_t value = 0;
    EXPECT_TRUE(link.ReadByteData(0x2D, 1, value));
    EXPECT_EQ(value, 0x11);
    link.EndAccess();
    while (scan.Step()) {
    }
    EXPECT_EQ(BusLockCount(false), 0);

    const auto& events = segment.lockEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].name, SMBusMutexName);
    EXPECT_TRUE(events[0].taken);
    EXPECT_EQ(events[0].requestsBefore, 0u);
    EXPECT_FALSE(events[1].taken);
    EXPECT_EQ(events[1].requestsBefore, segment.requests().size());
}

TEST_F(SMBusScanTest, ASecondScanAppendsAndAMachineWithoutSMBusListsNothing) {
    TSMBusScan empty(monitor.Board);
    AddIsaLink();
    RunPass(empty);
    EXPECT_TRUE(empty.Lines().empty());
    EXPECT_EQ(SMBusScanResult, "");

    LoadSMBusBoard();
    TSMBusScan scan(monitor.Board);
    RunPass(scan);
    RunPass(scan);
    std::vector<std::string> twice = FixtureLines;
    twice.insert(twice.end(), FixtureLines.begin(), FixtureLines.end());
    EXPECT_EQ(scan.Lines(), twice);
    EXPECT_EQ(std::count(SMBusScanResult.begin(), SMBusScanResult.end(), '\n'), 13);
}

TEST_F(SMBusScanTest, StoppingMidPassReleasesTheLock) {
    LoadSMBusBoard();
    {
        TSMBusScan scan(monitor.Board);
        scan.Start();
        for (int i = 0; i < 10; ++i) scan.Step();
        EXPECT_EQ(BusLockCount(false), 1);
        scan.Stop();
        EXPECT_FALSE(scan.Running());
        EXPECT_EQ(BusLockCount(false), 0);
        scan.Start();
        for (int i = 0; i < 3; ++i) scan.Step();
    }  // going away mid-pass
    EXPECT_EQ(BusLockCount(false), 0);
}

TEST_F(SMBusScanTest, TheDialogStepsOnTheEventLoopAndCloseStopsIt) {
    LoadSMBusBoard();
    TScriptedPrompts prompts;
    prompts.OnModal = [](QDialog& dialog) {
        auto& dlg = static_cast<TDlgFindSMBusDevices&>(dialog);
        auto* doScan = dlg.findChild<QPushButton*>("BTNDoScan");
        doScan->click();
        EXPECT_FALSE(doScan->isEnabled());
        // One address per step: the window is alive meanwhile.
        QCoreApplication::processEvents();
        EXPECT_LT(dlg.Info().count(), 7);
        for (int i = 0; i < 1000 && !doScan->isEnabled(); ++i) QCoreApplication::processEvents();
        EXPECT_TRUE(doScan->isEnabled());
        EXPECT_EQ(dlg.Info().count(), 7);
        EXPECT_EQ(dlg.Info().item(2)->text().toStdString(), " - device found at $2F (ReadRegB)");

        doScan->click();
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
        EXPECT_EQ(BusLockCount(false), 1);
        dlg.findChild<QPushButton*>("BTNClose")->click();
        EXPECT_EQ(BusLockCount(false), 0);
        EXPECT_TRUE(doScan->isEnabled());
        return dlg.result();
    };
    BTNFindSMBusDevicesClick(monitor, prompts, nullptr);
    EXPECT_EQ(prompts.ModalRuns, 1);
    EXPECT_EQ(BusLockCount(false), 0);
}

}  // namespace
