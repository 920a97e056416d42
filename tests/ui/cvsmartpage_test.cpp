#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QComboBox>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include "chips/cvsensorscsi.h"
#include "chips/cvsensorssmart.h"
#include "core/coretest.h"
#include "core/cvmonitor.h"
#include "disks/cvadvsmart.h"
#include "disks/cvhdfinder.h"
#include "hw/cvlink.h"
#include "platform/sim/simdisk.h"
#include "ui/cvsmartpage.h"

namespace {

TEST(SmartStatus, WorstAgainstThresholdAndTheSectorCounts) {
    struct TCase {
        int Id, RawLow, Worst, Threshold, Status;
    } cases[] = {
        {5, 0, 4, 0, 2},      {5, 0, 5, 0, 0},        {5, 0, 253, 0, 0}, {5, 0, 100, 100, 2}, {5, 0, 52, 50, 2},
        {5, 0, 53, 50, 0},    {5, 0, 30, 40, 2},      {197, 0, 1, 100, 0}, {197, 1, 253, 0, 2}, {198, 256, 100, 0, 2},
        {198, 0, 1, 90, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SmartAttributeStatus(static_cast<std::uint8_t>(c.Id), static_cast<std::uint16_t>(c.RawLow), c.Worst,
                                       c.Threshold),
                  c.Status)
            << c.Id << " " << c.RawLow << " " << c.Worst << "/" << c.Threshold;
}

TEST(SmartStatus, SelfTestTexts) {
    const std::pair<std::uint8_t, const char*> cases[] = {
        {0x00, "no error"},          {0x10, "aborted by host"},
        {0x25, "interrupted by reset"}, {0x30, "fatal or unknown error"},
        {0x40, "error found in unknown place"}, {0x50, "electrical failure"},
        {0x60, "servo and/or seek failure"}, {0x70, "read failure"},
        {0x81, "suspect handling damage"}, {0x90, "<unknown> ($90)"},
        {0xA0, "<unknown> ($A0)"},   {0xE7, "<unknown> ($E7)"},
        {0xF3, "30% of test remaining..."}, {0xF0, "0% of test remaining..."},
    };
    for (const auto& [status, text] : cases) EXPECT_EQ(SelfTestStatusText(status), text) << int(status);
}

TEST(SmartStatus, RawBytesShowTheLastFirst) {
    const std::uint8_t raw[6] = {0x10, 0x11, 0x12, 0x13, 0x14, 0xAB};
    EXPECT_EQ(SmartRawText(raw), "AB1413121110");
}

// Entry i of a data page: id, flags, value, worst, raw.
void PutAttribute(std::vector<std::uint8_t>& page, int i, std::uint8_t id, std::uint16_t flags, std::uint8_t value,
                  std::uint8_t worst, std::uint8_t raw0, std::uint8_t raw1 = 0) {
    const std::size_t at = 2 + static_cast<std::size_t>(i) * 12;
    page[at] = id;
    page[at + 1] = static_cast<std::uint8_t>(flags);
    page[at + 2] = static_cast<std::uint8_t>(flags >> 8);
    page[at + 3] = value;
    page[at + 4] = worst;
    page[at + 5] = raw0;
    page[at + 6] = raw1;
}

TEST(SmartStatus, RowsTakeTheThresholdByPositionAndMarkByFlagsAndIds) {
    std::vector<std::uint8_t> attributes(512), thresholds(512);
    PutAttribute(attributes, 0, 9, 0x0002, 99, 99, 0x10, 0x27);  // no status
    PutAttribute(attributes, 2, 5, 0x0001, 100, 52, 0);          // pre-failure, worst near its threshold
    PutAttribute(attributes, 3, 197, 0x0002, 100, 100, 1);       // pending sectors
    PutAttribute(attributes, 4, 198, 0x0000, 100, 100, 0);
    PutAttribute(attributes, 5, 194, 0x0004, 40, 30, 40);
    thresholds[2 + 2 * 12] = 9;    // the id there
    thresholds[2 + 2 * 12 + 1] = 50;
    thresholds[2 + 0 * 12 + 1] = 7;  // whatever the id, the position counts
    const auto rows = SmartAttributeRows(attributes, thresholds);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], (TSmartAttributeRow{SmartAttributeName(9), "99", "99", "7", "000000002710", -1}));
    EXPECT_EQ(rows[1].Warn, "50");
    EXPECT_EQ(rows[1].Image, 3);
    EXPECT_EQ(rows[2].Image, 3);
    EXPECT_EQ(rows[3].Image, 1);
    EXPECT_EQ(rows[4].Image, 1);
    EXPECT_TRUE(SmartAttributeRows({}, {}).empty());
}

const char* const DiskBoard = R"({"disks": {"d0": {"model": "ST3500418AS", "firmware": "CC38", "serial": "9VM1ABCD",
    "sectors": 976773168, "lba48": true,
    "geometry": {"cylinders": 60801, "tracksPerCylinder": 255, "sectorsPerTrack": 63, "bytesPerSector": 512},
    "attributes": [{"id": 1, "flags": "0x000F", "value": 117, "worst": 99, "raw": "0x0A1B2C"},
                   {"id": 194, "flags": "0x0022", "value": 36, "worst": 40, "raw": "0x24"},
                   {"id": 197, "flags": "0x0012", "value": 100, "worst": 100, "raw": "0x0"}],
    "thresholds": [6, 0, 0], "temperature": 36, "physical": {"drive": 0}}}})";

class SmartPageTest : public coretest::CoreTest {
protected:
    SmartPageTest() {
        machine_->loadFromJson(DiskBoard, "disk.json");
        Links().clear();
        AddLink("SMART", 0, LinkKinds::AdvSMART, 0, 0, 0, 255, 255, 255);
        monitor.SmartView = &page;
        page.RememberColumnWidths();
    }
    ~SmartPageTest() override {
        monitor.SmartView = nullptr;
        FoundDisks.clear();
        Links().clear();
    }

    TSensor& AddDisk(std::unique_ptr<TSensor> sensor, const std::string& text) {
        TSensor& added = monitor.AppendSensor(std::move(sensor));
        monitor.SmartDrives.push_back({text, &added});
        page.ShowDrives();
        return added;
    }
    TSensor& AddSearchDisk() {
        FoundDisks.push_back(std::make_shared<TSmartHardDiskPhysical>("\\\\.\\PhysicalDrive0", AccessPhysical));
        auto sensor = CreateSensor<TAdvSMARTSensor>(Links().back().get(), 0, TAdvSMARTSensor::ChipCode,
                                                    TSensorLogEvent{}, "", "", "");
        sensor->OnSmartRead = [this](const TSensor& disk, int drive, std::optional<double> fitness) {
            monitor.SmartHasRefreshed(disk, drive, fitness);
        };
        return AddDisk(std::move(sensor), "HD0 ST3500418AS");
    }
    TSensor& AddScsiDisk() {
        return AddDisk(std::make_unique<TSCSISensor>(nullptr, 5, TSCSISensor::ChipCode, TSensorLogEvent{}, "", "", ""),
                       "HD5 SCSI");
    }
    void Choose(int entry) {
        page.findChild<QComboBox*>("CBSmartHD")->setCurrentIndex(entry);
        page.UpdateSmartPage(false);
    }
    QTreeWidget& List() { return *page.findChild<QTreeWidget*>("LVSmartAttrs"); }
    std::vector<int> Widths() {
        std::vector<int> widths;
        for (int c = 0; c < 5; ++c) widths.push_back(List().columnWidth(c));
        return widths;
    }
    template <typename T>
    T& Child(const char* name) {
        return *page.findChild<T*>(name);
    }

    TMonitor monitor;
    TSmartPageView page{monitor, nullptr};
};

TEST_F(SmartPageTest, ASearchDiskShowsItsAttributesBarsAndSelfTests) {
    AddSearchDisk();
    EXPECT_EQ(page.GetHardDiskSelectedInCB(), -1);
    monitor.DutyEdits.SuppressPwmWrite = false;
    page.findChild<QComboBox*>("CBSmartHD")->setCurrentIndex(0);  // refreshes through the read event
    EXPECT_EQ(page.GetHardDiskSelectedInCB(), 0);
    ASSERT_EQ(List().topLevelItemCount(), 3);
    const QTreeWidgetItem& first = *List().topLevelItem(0);
    EXPECT_EQ(first.text(1), "117");
    EXPECT_EQ(first.text(2), "99");
    EXPECT_EQ(first.text(3), "6");
    EXPECT_EQ(first.text(4), "0000000A1B2C");
    EXPECT_EQ(first.data(0, Qt::UserRole).toInt(), 1);
    EXPECT_EQ(List().topLevelItem(1)->data(0, Qt::UserRole).toInt(), -1);
    EXPECT_EQ(Child<QLineEdit>("EDSmartModel").text(), "ST3500418AS");
    EXPECT_EQ(Child<QLineEdit>("EDSmartFirmware").text(), "CC38");
    const QProgressBar& fitness = Child<QProgressBar>("PBSmartFitness");
    EXPECT_GT(fitness.value(), 0);
    EXPECT_EQ(fitness.toolTip(), QString("%1%").arg(fitness.value()));
    EXPECT_FALSE(Child<QPushButton>("BTNQuessel").isHidden());
    EXPECT_FALSE(Child<QPushButton>("BTNShortTest").isHidden());
    EXPECT_EQ(Child<QLineEdit>("EDHDTestStatus").text(), "no error");

    page.RunSelfTest(1);
    EXPECT_EQ(Child<QLineEdit>("EDHDTestStatus").text(), "in progress...");
    page.RunSelfTest(2);
    EXPECT_EQ(machine_->disks().find("d0")->selfTests(), (std::vector<std::uint8_t>{0x01, 0x02}));
}

TEST_F(SmartPageTest, ARefusedSelfTestShowsUnsupported) {
    FoundDisks.push_back(std::make_shared<TSmartHardDisk>("nowhere", AccessPhysical));
    AddDisk(CreateSensor<TAdvSMARTSensor>(nullptr, 0, TAdvSMARTSensor::ChipCode, TSensorLogEvent{}, "", "", ""),
            "HD0");
    Choose(0);
    EXPECT_EQ(List().topLevelItemCount(), 0);
    EXPECT_EQ(Child<QProgressBar>("PBSmartFitness").toolTip(), "???%") << "not read yet";
    EXPECT_TRUE(Child<QPushButton>("BTNQuessel").isHidden());
    page.RunSelfTest(1);
    EXPECT_EQ(Child<QLineEdit>("EDHDTestStatus").text(), "unsupported?!?");
}

// The built widths are where columns start: a column grows to show its
// content whole, and one the user sized keeps its width in its layout.
TEST_F(SmartPageTest, EachLayoutKeepsItsOwnColumnWidths) {
    EXPECT_EQ(page.SmartColumnWidths, (std::array<int, 10>{158, 40, 42, 40, 90, 280, 0, 0, 0, 90}));
    AddSearchDisk();
    AddScsiDisk();
    Choose(0);
    const std::vector<int> fitted = Widths();
    const std::vector<int> built{158, 40, 42, 40, 90};
    for (int c = 0; c < 5; ++c) EXPECT_GE(fitted[c], built[c]) << c;
    const QFontMetrics metrics(List().font());
    EXPECT_GT(fitted[4], metrics.horizontalAdvance("0000000A1B2C")) << "the 12 raw digits are shown whole";
    List().setColumnWidth(0, 200);
    List().setColumnWidth(4, 60);  // narrower than its content: the user's choice
    Choose(1);
    const std::vector<int> scsi = Widths();
    EXPECT_GE(scsi[0], 280);
    EXPECT_EQ(std::vector<int>(scsi.begin() + 1, scsi.end() - 1), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(Child<QLineEdit>("EDSmartModel").text(), "");
    EXPECT_TRUE(Child<QPushButton>("BTNShortTest").isHidden());
    List().setColumnWidth(0, 300);
    Choose(0);
    EXPECT_EQ(Widths(), (std::vector<int>{200, fitted[1], fitted[2], fitted[3], 60}));
    Choose(1);
    EXPECT_EQ(Widths()[0], 300);
}

// Rows without a status mark keep the mark's room, so their names align.
TEST_F(SmartPageTest, UnmarkedRowsAlignWithMarkedOnes) {
    AddSearchDisk();
    Choose(0);
    ASSERT_EQ(List().topLevelItemCount(), 3);
    EXPECT_EQ(List().topLevelItem(1)->data(0, Qt::UserRole).toInt(), -1);
    const QIcon none = List().topLevelItem(1)->icon(0);
    ASSERT_FALSE(none.isNull());
    EXPECT_EQ(none.availableSizes(), List().topLevelItem(0)->icon(0).availableSizes());
}

TEST_F(SmartPageTest, NoDiskChosenEmptiesTheListAndKeepsTheRest) {
    AddSearchDisk();
    Choose(0);
    ASSERT_GT(List().topLevelItemCount(), 0);
    Choose(-1);
    EXPECT_EQ(List().topLevelItemCount(), 0);
    EXPECT_TRUE(Child<QPushButton>("BTNQuessel").isHidden());
    EXPECT_TRUE(Child<QPushButton>("BTNExtendedTest").isHidden());
    EXPECT_EQ(Child<QLineEdit>("EDSmartModel").text(), "ST3500418AS");
    EXPECT_GT(Child<QProgressBar>("PBSmartFitness").value(), 0);
}

TEST_F(SmartPageTest, AnEntryWhoseSensorIsGoneChoosesNothing) {
    AddSearchDisk();
    monitor.SmartDrives.push_back({"gone", nullptr});
    page.ShowDrives();
    page.findChild<QComboBox*>("CBSmartHD")->setCurrentIndex(1);
    EXPECT_EQ(page.GetHardDiskSelectedInCB(), -1);
}

}  // namespace

namespace {

TEST_F(SmartPageTest, HelpWithoutAHelpFolderOnlyTraces) {
    page.BTNSmartHelpClick();
    const auto trace = testsupport::traceLines(file("debug.nfo"));
    ASSERT_FALSE(trace.empty());
    EXPECT_TRUE(trace.back().starts_with("Unable to open help page")) << trace.back();
    EXPECT_TRUE(trace.back().ends_with("/1107.html")) << trace.back();
}

}  // namespace
