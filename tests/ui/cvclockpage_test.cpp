#include <filesystem>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <gtest/gtest.h>

#include "core/coretest.h"
#include "core/cvmonitor.h"
#include "core/fakeservices.h"
#include "cpu/cvclocks.h"
#include "cpu/noscpuusage.h"
#include "hw/cvlink.h"
#include "ui/cvclockpage.h"

namespace {

// The window hands the start-up's lists to the page, as the main window does.
class TPageWindow : public coretest::TFakeWindow {
public:
    void SetClockItems(TClockCombo combo, const std::vector<std::string>& items) override {
        if (Page) Page->SetClockItems(combo, items);
    }
    TClockPage* Page = nullptr;
};

TClockTables Tables() {
    TClockTables tables;
    for (const TClockInfo& chip : ClockChipTable()) tables.ClockChips.push_back({chip.Vendor, chip.Model, chip.State});
    for (const TMBClock& board : BoardClockTable()) tables.Boards.push_back({board.Maker, board.Model, board.State});
    return tables;
}

class ClockPageTest : public coretest::CoreTest {
protected:
    ClockPageTest() {
        Links().clear();
        monitor.ClockTables = Tables();
        monitor.Window = &window;
        monitor.Dialogs = &dialogs;
        monitor.ClockControls = &page;
        window.Page = &page;
        monitor.FillClockChips();
        monitor.FillClockVendors();
        monitor.DutyEdits.SuppressPwmWrite = false;
        monitor.Log.SetBoxes(&boxes);
    }
    ~ClockPageTest() override {
        monitor.Window = nullptr;
        monitor.Log.SetBoxes(nullptr);
    }

    template <typename T>
    T& Child(const char* name) {
        return *page.findChild<T*>(name);
    }
    QComboBox& Combo(const char* name) { return Child<QComboBox>(name); }
    void ChooseBoard(const std::string& vendor, const std::string& model) {
        Combo("CBMBVendor").setCurrentIndex(Combo("CBMBVendor").findText(QString::fromStdString(vendor)));
        page.CBMBVendorClick();
        Combo("CBMBModel").setCurrentIndex(Combo("CBMBModel").findText(QString::fromStdString(model)));
        page.CBMBModelClick();
    }
    bool Saved() const { return std::filesystem::exists(monitor.OptionsFilePath()); }

    TMonitor monitor;
    TPageWindow window;
    coretest::TFakeDialogs dialogs;
    TLogBoxRecorder boxes;
    TCPUUsage usage;
    TCpuLoadTicker ticker{usage, {}};
    TClockPage page{monitor, ticker};
};

TEST_F(ClockPageTest, ABoardChoosesItsChipAndThePageMakesTheGenerator) {
    ChooseBoard("ABIT", "AN7");
    EXPECT_EQ(Combo("CBMBClock").currentText(), "nVidia nForce2");
    ASSERT_NE(page.ClockGenerator(), nullptr);
    EXPECT_EQ(page.ClockGenerator()->Name(), "nVidia nForce2");
    EXPECT_EQ(page.ClockGenerator()->Link(), nullptr);
    EXPECT_EQ(page.ClockGenerator()->Address(), 0);
    const int entries = page.ClockGenerator()->EntryCount();
    ASSERT_GT(entries, 0);
    EXPECT_EQ(Combo("CBLowSpeed").count(), entries);
    EXPECT_EQ(Combo("CBHighSpeed").count(), entries);
    EXPECT_EQ(Child<QListWidget>("LBClocks").count(), entries);
    EXPECT_EQ(Combo("CBLowSpeed").itemText(1).toStdString(), page.ClockGenerator()->GetEntry(1).Text);
    EXPECT_EQ(page.LowSpeedIndex(), -1);
    EXPECT_TRUE(Child<QPushButton>("BTNReadClock").isEnabled());
    EXPECT_TRUE(Child<QPushButton>("BTNSetClock").isEnabled());
    EXPECT_EQ(boxes.Readings.back(), "CLOCK GENERATOR set to nVidia nForce2");
}

TEST_F(ClockPageTest, AChipThatIsNotOfferedClearsTheChoiceAndKeepsTheGenerator) {
    ChooseBoard("ABIT", "AN7");
    const TClock* before = page.ClockGenerator();
    Child<QCheckBox>("CBUseClockGen").setChecked(true);
    ChooseBoard("SOYO", "7IWM-L");
    EXPECT_EQ(Combo("CBMBClock").currentIndex(), -1);
    EXPECT_FALSE(Child<QPushButton>("BTNReadClock").isEnabled());
    EXPECT_FALSE(Child<QPushButton>("BTNSetClock").isEnabled());
    EXPECT_EQ(Combo("CBLowSpeed").count(), 0);
    EXPECT_EQ(Child<QListWidget>("LBClocks").count(), 0);
    EXPECT_FALSE(page.UseClockGen());
    EXPECT_EQ(page.ClockGenerator(), before);
}

TEST_F(ClockPageTest, TheVendorAloneKeepsChipGeneratorAndLists) {
    ChooseBoard("ABIT", "AN7");
    const TClock* before = page.ClockGenerator();
    const int entries = Combo("CBLowSpeed").count();
    Combo("CBMBVendor").setCurrentIndex(Combo("CBMBVendor").findText("ASUS"));
    page.CBMBVendorClick();
    EXPECT_EQ(Combo("CBMBModel").currentIndex(), -1);
    EXPECT_EQ(Combo("CBMBModel").itemText(0), "A7N8X");
    EXPECT_EQ(Combo("CBMBClock").currentText(), "nVidia nForce2");
    EXPECT_EQ(page.ClockGenerator(), before);
    EXPECT_EQ(Combo("CBLowSpeed").count(), entries);
}

TEST_F(ClockPageTest, BoardLookUpsIgnoreLetterCase) {
    page.SetClockItems(TClockCombo::Vendor, {"asus"});
    page.SetClockItems(TClockCombo::Model, {"a7n8x"});
    Combo("CBMBVendor").setCurrentIndex(0);
    Combo("CBMBModel").setCurrentIndex(0);
    page.CBMBModelClick();
    EXPECT_EQ(Combo("CBMBClock").currentText(), "nVidia nForce2");
}

TEST_F(ClockPageTest, ChipCapabilitiesEnableTheButtons) {
    struct TCase {
        const char* Chip;
        bool Read, Set;
    } cases[] = {{"ICS 9148B-04", false, true}, {"ICS 9248-39", true, true}};
    for (const auto& c : cases) {
        Combo("CBMBClock").setCurrentIndex(Combo("CBMBClock").findText(c.Chip));
        page.CBMBClockClick();
        EXPECT_EQ(Child<QPushButton>("BTNReadClock").isEnabled(), c.Read) << c.Chip;
        EXPECT_EQ(Child<QPushButton>("BTNSetClock").isEnabled(), c.Set) << c.Chip;
        EXPECT_EQ(page.ClockGenerator()->Name(), c.Chip);
    }
}

TEST_F(ClockPageTest, ReadAndSetWithoutAnSMBusLinkFail) {
    Combo("CBMBClock").setCurrentIndex(Combo("CBMBClock").findText("ICS 9248-39"));
    page.CBMBClockClick();
    page.BTNReadClockClick();
    EXPECT_EQ(Child<QLabel>("LABClock").text(), "Unable to read current clock");
    Child<QListWidget>("LBClocks").setCurrentRow(-1);
    page.LBClocksClick();
    EXPECT_FALSE(Child<QPushButton>("BTNSetClock").isEnabled());
    Child<QListWidget>("LBClocks").setCurrentRow(1);
    EXPECT_TRUE(Child<QPushButton>("BTNSetClock").isEnabled());
    page.BTNSetClockClick();
    EXPECT_EQ(Child<QLabel>("LABClock").text(), "");
    EXPECT_TRUE(window.Posted.empty());
}

TEST_F(ClockPageTest, HolesAreNotOfferedAndEveryItemKeepsItsEntryIndex) {
    Combo("CBMBClock").setCurrentIndex(Combo("CBMBClock").findText("ICS 9248-39"));
    page.CBMBClockClick();
    // Known: rows 0, 3, 7, 8 and 15 of 16.
    const int known[] = {0, 3, 7, 8, 15};
    ASSERT_EQ(Child<QListWidget>("LBClocks").count(), 5);
    ASSERT_EQ(Combo("CBLowSpeed").count(), 5);
    for (int i = 0; i < 5; ++i) {
        const std::string text = page.ClockGenerator()->GetEntry(known[i]).Text;
        EXPECT_EQ(Child<QListWidget>("LBClocks").item(i)->text().toStdString(), text);
        EXPECT_EQ(Combo("CBHighSpeed").itemText(i).toStdString(), text);
    }
    Combo("CBLowSpeed").setCurrentIndex(1);
    Combo("CBHighSpeed").setCurrentIndex(4);
    EXPECT_EQ(page.LowSpeedIndex(), 3) << "the 100.3 MHz entry";
    EXPECT_EQ(page.HighSpeedIndex(), 15) << "the 150 MHz entry";
}

TEST_F(ClockPageTest, TheWarningComesOnEachVisitUntilTicked) {
    EXPECT_EQ(page.PagesChange("TSClock"), 1110);
    EXPECT_EQ(page.PagesChange("TSReadings"), 1111);
    EXPECT_EQ(page.PagesChange("TSClock"), 1110);
    ASSERT_EQ(dialogs.Hints.size(), 2u);
    EXPECT_FALSE(dialogs.Hints[0].Title.has_value());
    EXPECT_EQ(*dialogs.Hints[0].Text,
              "This is an advanced feature.\r\rBy setting the wrong motherboard or the wrong clock, you might hurt "
              "your system.\rUse it at your own risk and only if you really know what you are doing :-)");
    EXPECT_TRUE(dialogs.Hints[0].AllowNeverAgain);
    EXPECT_FALSE(Saved());
    dialogs.NeverAgainTicked = true;
    page.PagesChange("TSClock");
    EXPECT_TRUE(monitor.Options.NoMoreTip0003);
    EXPECT_TRUE(Saved());
    page.PagesChange("TSClock");
    EXPECT_EQ(dialogs.Hints.size(), 3u);
}

TEST(PageHelp, EveryPageHasItsContext) {
    const std::pair<const char*, int> cases[] = {{"TSReadings", 1111}, {"TSClock", 1110}, {"TSInfo", 1109},
                                                  {"TSExotics", 1108},   {"TSSmart", 1107}, {"TSCharts", 1114},
                                                  {"elsewhere", 0}};
    for (const auto& [name, context] : cases) EXPECT_EQ(PageHelpContext(name), context) << name;
}

TEST_F(ClockPageTest, ChoicesSaveOnlyWhenTheProgramIsNotUpdating) {
    monitor.DutyEdits.SuppressPwmWrite = true;
    ChooseBoard("ABIT", "AN7");
    page.CBLowSpeedClick();
    Child<QSpinBox>("EDLowCPUUsage").setValue(20);
    EXPECT_FALSE(Saved());
    EXPECT_EQ(ticker.LowCPUUsage, 20.0f);
    monitor.DutyEdits.SuppressPwmWrite = false;
    page.CBHighSpeedClick();
    EXPECT_TRUE(Saved());
}

TEST_F(ClockPageTest, TheOptionsFileRestoresBoardEntriesAndThresholds) {
    ChooseBoard("ABIT", "AN7");
    const std::string low = page.ClockGenerator()->GetEntry(1).Text, high = page.ClockGenerator()->GetEntry(3).Text;
    testsupport::writeFile(monitor.OptionsFilePath(),
                           "CLKMBVendor=ASUS\r\nCLKMBModel=A7N8X\r\nCLKLow=" + low + "\r\nCLKHigh=" + high +
                               "\r\nLowCPUUsage=15\r\nHighCPUUsage=60\r\nLowCPUTime=30\r\nHighCPUTime=5\r\n"
                               "AutoClockSet=true\r\n");
    monitor.DutyEdits.SuppressPwmWrite = true;
    ASSERT_TRUE(monitor.LoadParams(monitor.OptionsFilePath(), true));
    EXPECT_EQ(Combo("CBMBVendor").currentText(), "ASUS");
    EXPECT_EQ(Combo("CBMBModel").currentText(), "A7N8X");
    EXPECT_EQ(Combo("CBMBClock").currentText(), "nVidia nForce2");
    EXPECT_EQ(page.LowSpeedIndex(), 1);
    EXPECT_EQ(page.HighSpeedIndex(), 3);
    EXPECT_TRUE(page.UseClockGen());
    EXPECT_EQ(ticker.LowCPUUsage, 15.0f);
    EXPECT_EQ(ticker.HighCPUUsage, 60.0f);
    EXPECT_EQ(ticker.LowCPUTime, 30);
    EXPECT_EQ(ticker.HighCPUTime, 5);
    const TClockSettings current = page.Current();
    EXPECT_EQ(current.Low, low);
    EXPECT_EQ(current.LowCPUUsage, 15);
}

}  // namespace
