// The SMBus debug walk: its first pass, the devices it dumps, the dump file
// and the dialog that steps it.

#include <algorithm>
#include <filesystem>

#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include "hw/cvbuslocks.h"
#include "smbusfixture.h"
#include "support/testmachine.h"
#include "ui/cvdebugsmbus.h"
#include "ui/uidialogs.h"
#include "ui/uiprompts.h"

namespace {

using Phase = TSMBusDebugWalk::TPhase;
using testsupport::readFile;
using testsupport::splitLines;

class SMBusDebugTest : public uitest::SMBusFixture {
protected:
    TSMBusDebugWalk::TView View() {
        return {[this](const std::string& t) { shownLink = t; }, [this](const std::string& t) { shownAddress = t; },
                [this](const std::string& t) { shownRegister = t; },
                [this](const std::string& t) { memo.push_back(t); }};
    }
    static void RunPass(TSMBusDebugWalk& walk) {
        while (walk.Step()) {
        }
    }
    // The dump file's lines, the entries without their time stamps.
    std::vector<std::string> DumpLines() const {
        auto lines = splitLines(readFile(file(SMBusDumpFileName)), "\r\n");
        if (!lines.empty() && lines.back().empty()) lines.pop_back();
        for (std::size_t i = 5; i < lines.size(); ++i) {
            const auto at = lines[i].find(" - ");
            lines[i] = at == std::string::npos ? lines[i] : lines[i].substr(at + 3);
        }
        return lines;
    }
    static std::size_t CountStarting(const std::vector<std::string>& lines, const std::string& start) {
        return static_cast<std::size_t>(
            std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(start); }));
    }

    std::string shownLink, shownAddress, shownRegister;
    std::vector<std::string> memo;
};

TEST_F(SMBusDebugTest, ButtonsOfEachPhase) {
    using B = TSMBusDebugWalk::TButtons;
    const std::pair<Phase, B> rows[] = {
        {Phase::Idle, {true, false, false, true}},     {Phase::FirstPass, {false, false, false, false}},
        {Phase::DeviceChosen, {false, true, false, true}}, {Phase::Dumping, {false, false, false, false}},
        {Phase::Ended, {false, false, true, true}},
    };
    for (const auto& [phase, buttons] : rows) EXPECT_EQ(TSMBusDebugWalk::ButtonsOf(phase), buttons);
}

TEST_F(SMBusDebugTest, WalksTheBoardAndDumpsEveryDeviceItMay) {
    auto& segment = LoadSMBusBoard();
    testsupport::writeFile(file(SMBusDumpFileName), "an earlier run\r\n");
    TSMBusDebugWalk walk(monitor.Board, View());
    EXPECT_FALSE(std::filesystem::exists(file(SMBusDumpFileName)));  // FormCreate deletes it
    EXPECT_EQ(walk.Phase(), Phase::Idle);

    walk.BTNStartClick();
    EXPECT_EQ(walk.Phase(), Phase::FirstPass);
    RunPass(walk);
    EXPECT_EQ(memo, (std::vector<std::string>{" - device found at $2D", " - skipping $4C", " - skipping $4F",
                                              " - device found at $50", " - device found at $68",
                                              " - device found at $73", " - device found at $77"}));
    // The first pass tries 00h-7Eh under one take of the bus lock.
    const auto firstPass = segment.requests().size();
    EXPECT_EQ(Addresses(segment).front(), 0x00);
    ASSERT_GE(segment.lockEvents().size(), 2u);
    EXPECT_TRUE(segment.lockEvents()[0].taken);
    EXPECT_EQ(segment.lockEvents()[0].requestsBefore, 0u);
    EXPECT_FALSE(segment.lockEvents()[1].taken);
    const std::size_t passEnd = segment.lockEvents()[1].requestsBefore;
    EXPECT_GE(passEnd, 125u);  // 127 addresses less the two closed ones
    for (std::size_t i = 0; i < passEnd; ++i) EXPECT_TRUE(segment.locks().held(i, SMBusMutexName)) << i;
    EXPECT_GT(firstPass, passEnd);  // the first device search follows
    EXPECT_EQ(shownLink, "Scanning SMBus at $0400...");

    std::vector<int> dumped;
    while (walk.Phase() == Phase::DeviceChosen) {
        dumped.push_back(walk.Address);
        walk.BTNScanNextFastClick();
        EXPECT_EQ(walk.Phase(), Phase::Dumping);
        RunPass(walk);
    }
    EXPECT_EQ(dumped, (std::vector<int>{0x2D, 0x50, 0x73, 0x77}));
    EXPECT_EQ(walk.Phase(), Phase::Ended);
    EXPECT_EQ(BusLockCount(false), 0);

    const auto lines = DumpLines();
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5),
              (std::vector<std::string>{"MBManufacturer : Intel Corporation", "MBModel : DX38BT", "MBVersion : AAD1",
                                        "BIOSVendor : Intel Corp.", "BIOSVersion : BT38410J.86A"}));
    EXPECT_EQ(CountStarting(lines, "MBManufacturer"), 1u);
    EXPECT_EQ(lines[5], "Scanning SMBus at $0400...");
    EXPECT_EQ(CountStarting(lines, " - device found at $2D (LastError=No error)"), 1u);
    EXPECT_EQ(CountStarting(lines, " - skipping $4C"), 1u);
    for (const char* chip : {"$2D", "$50", "$73", "$77"})
        EXPECT_EQ(CountStarting(lines, std::string("SMB at $0400 CHIP=") + chip), 256u) << chip;
    EXPECT_EQ(CountStarting(lines, "SMB at $0400 CHIP=$68"), 0u);
    EXPECT_EQ(CountStarting(lines, "Scanning device at $"), 4u);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "SMB at $0400 CHIP=$73 REG=$07 VALUE=$73 ERROR=No error"),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "SMB at $0400 CHIP=$77 REG=$FF VALUE=$77 ERROR=No error"),
              lines.end());
    EXPECT_EQ(lines.back(), "Debug scan properly ended :-)");
}

TEST_F(SMBusDebugTest, AFailedReadHasNoValue) {
    auto& segment = LoadSMBusBoard();
    TSMBusDebugWalk walk(monitor.Board, View());
    walk.BTNStartClick();
    RunPass(walk);
    segment.slave(0x2D)->setFault({platform::sim::SMBusFault::Kind::Nack, -1},
                                  platform::sim::SMBusProtocol::ByteData);
    walk.BTNScanNextFastClick();
    walk.Step();
    const auto lines = DumpLines();
    EXPECT_TRUE(lines.back().starts_with("SMB at $0400 CHIP=$2D REG=$00 VALUE=$-- ERROR=")) << lines.back();
    EXPECT_FALSE(lines.back().ends_with("No error"));
    EXPECT_EQ(shownRegister, "$01");
}

TEST_F(SMBusDebugTest, WithoutAnSMBusLinkTheFirstClickEndsTheWalk) {
    AddIsaLink();
    TSMBusDebugWalk walk(monitor.Board, View());
    walk.BTNStartClick();
    RunPass(walk);
    EXPECT_TRUE(memo.empty());
    EXPECT_FALSE(std::filesystem::exists(file(SMBusDumpFileName)));
    EXPECT_EQ(walk.Phase(), Phase::DeviceChosen);
    walk.BTNScanNextFastClick();
    RunPass(walk);
    EXPECT_EQ(walk.Phase(), Phase::Ended);
    const auto lines = DumpLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[5], "Debug scan properly ended :-)");
}

TEST_F(SMBusDebugTest, TheDumpFileByteForByte) {
    platform::LocaleInfo locale;
    locale.shortDateFormat = "yyyy-mm-dd";
    locale.dateSeparator = '-';
    locale.longTimeFormat = "hh:nn:ss";
    machine_->setLocale(locale);
    SMBDebugLog("first", &board);
    machine_->simClock().advance(61'000);
    SMBDebugLog("second", &board);
    SMBDebugLog("third", nullptr);  // the header is written once, whatever the board
    EXPECT_EQ(readFile(file(SMBusDumpFileName)),
              "MBManufacturer : Intel Corporation\r\nMBModel : DX38BT\r\nMBVersion : AAD1\r\n"
              "BIOSVendor : Intel Corp.\r\nBIOSVersion : BT38410J.86A\r\n"
              "2026-01-15 10:00:00 - first\r\n2026-01-15 10:01:01 - second\r\n2026-01-15 10:01:01 - third\r\n");

    // A file that cannot be opened drops the entry and nothing else happens.
    std::filesystem::remove(file(SMBusDumpFileName));
    std::filesystem::create_directory(file(SMBusDumpFileName));
    SMBDebugLog("lost", &board);
    EXPECT_TRUE(std::filesystem::is_directory(file(SMBusDumpFileName)));
}

TEST_F(SMBusDebugTest, TheDialogRunsThroughTheDialogsSeamAndClosingMidWalkFreesTheBus) {
    LoadSMBusBoard();
    TScriptedPrompts prompts;
    prompts.OnModal = [](QDialog& dialog) {
        auto* start = dialog.findChild<QPushButton*>("BTNStart");
        auto* next = dialog.findChild<QPushButton*>("BTNScanNextFast");
        auto* help = dialog.findChild<QPushButton*>("BTNHelp");
        EXPECT_TRUE(start->isVisible());
        EXPECT_FALSE(next->isVisible());
        start->click();
        EXPECT_FALSE(start->isVisible());
        EXPECT_FALSE(help->isVisible());
        for (int i = 0; i < 1000 && !next->isVisible(); ++i) QCoreApplication::processEvents();
        EXPECT_TRUE(next->isVisible());
        EXPECT_EQ(dialog.findChild<QLineEdit*>("EDAddress")->text(), "$2D");
        EXPECT_EQ(dialog.findChild<QPlainTextEdit*>("info")->toPlainText().count('\n'), 6);

        next->click();
        for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
        EXPECT_FALSE(next->isVisible());
        dialog.reject();  // the window's close box mid-dump
        EXPECT_EQ(BusLockCount(false), 0);
        return dialog.result();
    };
    TUiDialogs dialogs(monitor, prompts);
    TSMBusDebugDialog& seam = dialogs;
    seam.RunModal();
    EXPECT_EQ(prompts.ModalRuns, 1);
    EXPECT_EQ(BusLockCount(false), 0);
}

}  // namespace
