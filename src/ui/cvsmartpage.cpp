#include "ui/cvsmartpage.h"

#include <algorithm>
#include <cmath>

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/cvformat.h"
#include "chips/cvsensorscsi.h"
#include "core/cvmonitor.h"
#include "core/cvsmartdisk.h"
#include "disks/cvscsi.h"
#include "disks/cvsmart.h"
#include "hw/cvlink.h"
#include "ui/cvcontrolbinder.h"
#include "ui/cvexoticspanel.h"
#include "ui/qtext.h"

using cvformat::Format;

namespace {

constexpr int PendingSectors = 197, UncorrectableSectors = 198;
constexpr int Columns = 5, ScsiFirst = 5, ScsiLast = 9;
constexpr std::array<int, Columns> BuiltWidths{158, 40, 42, 40, 90};
constexpr std::uint8_t ReportLinks[] = {LinkKinds::SMART, LinkKinds::ArecaRAID, LinkKinds::AMCC3wareRAID,
                                        LinkKinds::AdvSMART};

// A status mark; without a colour an empty one, so unmarked rows align.
QIcon Mark(const QColor& color) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    if (color.isValid()) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(color);
        painter.setPen(color.darker());
        painter.drawEllipse(2, 2, 12, 12);
    }
    return QIcon(pixmap);
}

int Percent(double fraction) { return static_cast<int>(std::nearbyint(fraction * 100)); }

}  // namespace

int SmartAttributeStatus(std::uint8_t id, std::uint16_t rawLow, int worst, int threshold) {
    if (id == PendingSectors || id == UncorrectableSectors) return rawLow != 0 ? 2 : 0;
    if (worst > 100) return 0;
    const double ratio = threshold < worst ? static_cast<double>(worst - threshold) / (100 - threshold) : 0;
    return ratio < 0.05 ? 2 : 0;
}

std::string SelfTestStatusText(std::uint8_t status) {
    static const char* const Texts[16] = {"no error",
                                          "aborted by host",
                                          "interrupted by reset",
                                          "fatal or unknown error",
                                          "error found in unknown place",
                                          "electrical failure",
                                          "servo and/or seek failure",
                                          "read failure",
                                          "suspect handling damage"};
    const int high = status >> 4;
    if (high == 15) return Format("%d%% of test remaining...", {(status & 0x0F) * 10});
    if (Texts[high]) return Texts[high];
    return Format("<unknown> ($%.2x)", {static_cast<unsigned>(status)});
}

std::string SmartRawText(std::span<const std::uint8_t, 6> raw) {
    std::string text;
    for (auto it = raw.rbegin(); it != raw.rend(); ++it) text += Format("%.2x", {static_cast<unsigned>(*it)});
    return text;
}

std::vector<TSmartAttributeRow> SmartAttributeRows(std::span<const std::uint8_t> attributes,
                                                   std::span<const std::uint8_t> thresholds) {
    std::vector<TSmartAttributeRow> rows;
    for (int i = 0; i < TSmartDisk::PageEntries; ++i) {
        const std::size_t at = TSmartDisk::EntryOffset(i);
        if (at + TSmartDisk::EntrySize > attributes.size()) break;
        const auto entry = attributes.subspan(at, TSmartDisk::EntrySize);
        const std::uint8_t id = entry[0];
        if (id == 0) continue;
        const std::uint16_t flags = static_cast<std::uint16_t>(entry[1] | entry[2] << 8);
        const int worst = entry[4];
        const int threshold = at + 1 < thresholds.size() ? thresholds[at + 1] : 0;
        TSmartAttributeRow row{SmartAttributeName(id), Format("%d", {entry[3]}), Format("%d", {worst}),
                               Format("%d", {threshold}), SmartRawText(entry.subspan<5, 6>()), -1};
        if ((flags & 0x0005) != 0 || id == PendingSectors || id == UncorrectableSectors)
            row.Image = SmartAttributeStatus(id, static_cast<std::uint16_t>(entry[5] | entry[6] << 8), worst, threshold) + 1;
        rows.push_back(std::move(row));
    }
    return rows;
}

TSmartPageView::TSmartPageView(TMonitor& monitor, TExoticsPage* tiles, QWidget* parent)
    : QWidget(parent),
      monitor_(monitor),
      tiles_(tiles),
      sound_(Mark(QColor(0, 160, 0))),
      warning_(Mark(QColor(210, 0, 0))),
      noMark_(Mark(QColor())) {
    setObjectName("TSSmart");
    Build();
}

void TSmartPageView::Build() {
    drives_ = Named("CBSmartHD", new QComboBox(this));
    auto* refresh = Named("BTNRefreshSmart", new QPushButton("Refresh", this));
    model_ = Named("EDSmartModel", new QLineEdit(this));
    firmware_ = Named("EDSmartFirmware", new QLineEdit(this));
    model_->setReadOnly(true);
    firmware_->setReadOnly(true);
    report_ = Named("BTNQuessel", new QPushButton("Perform an in-depth online analysis of this hard disk", this));
    auto* help = Named("BTNSmartHelp", new QPushButton("?", this));
    extendedTest_ = Named("BTNExtendedTest", new QPushButton("Extended test", this));
    shortTest_ = Named("BTNShortTest", new QPushButton("Short test", this));
    testLabel_ = Named("LABTestStatus", new QLabel("Status", this));
    testStatus_ = Named("EDHDTestStatus", new QLineEdit(this));
    testStatus_->setReadOnly(true);
    for (QWidget* hidden : std::initializer_list<QWidget*>{report_, extendedTest_, shortTest_, testLabel_, testStatus_})
        hidden->hide();
    attributes_ = Named("LVSmartAttrs", new QTreeWidget(this));
    attributes_->setHeaderLabels({"Attribute", "Value", "Worst", "Warn", "Raw"});
    attributes_->setRootIsDecorated(false);
    attributes_->setIconSize(QSize(16, 16));
    attributes_->header()->setMinimumSectionSize(0);
    attributes_->header()->setStretchLastSection(false);
    for (int column = 0; column < Columns; ++column) attributes_->setColumnWidth(column, BuiltWidths[column]);
    connect(attributes_->header(), &QHeaderView::sectionResized, this, [this](int column) {
        if (!sizing_ && column < Columns) userSized_.set(static_cast<std::size_t>(column));
    });
    fitness_ = Named("PBSmartFitness", new QProgressBar(this));
    performance_ = Named("PBSmartPerformance", new QProgressBar(this));

    auto* top = new QGridLayout;
    top->addWidget(Named("LABSmartHD", new QLabel("Hard disk", this)), 0, 0);
    top->addWidget(drives_, 0, 1);
    top->addWidget(refresh, 0, 2);
    top->addWidget(help, 0, 3);
    top->addWidget(Named("LABSmartModel", new QLabel("Model", this)), 1, 0);
    top->addWidget(model_, 1, 1, 1, 3);
    top->addWidget(Named("LABSmartFirmware", new QLabel("Firmware", this)), 2, 0);
    top->addWidget(firmware_, 2, 1, 1, 3);
    top->setColumnStretch(1, 1);
    auto* tests = new QHBoxLayout;
    tests->addWidget(shortTest_);
    tests->addWidget(extendedTest_);
    tests->addWidget(testLabel_);
    tests->addWidget(testStatus_, 1);
    auto* bars = new QGridLayout;
    bars->addWidget(Named("LABSmartFitness", new QLabel("Fitness", this)), 0, 0);
    bars->addWidget(fitness_, 0, 1);
    bars->addWidget(Named("LABSmartPerformance", new QLabel("Performance", this)), 1, 0);
    bars->addWidget(performance_, 1, 1);
    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addWidget(report_);
    page->addLayout(tests);
    page->addWidget(attributes_, 1);
    page->addLayout(bars);

    connect(drives_, &QComboBox::currentIndexChanged, this, [this] { CBSmartHDChange(); });
    connect(refresh, &QPushButton::clicked, this, [this] { BTNRefreshSmartClick(); });
    connect(help, &QPushButton::clicked, this, [this] { BTNSmartHelpClick(); });
    connect(shortTest_, &QPushButton::clicked, this, [this] { RunSelfTest(1); });
    connect(extendedTest_, &QPushButton::clicked, this, [this] { RunSelfTest(2); });
}

void TSmartPageView::ShowDrives() {
    const QSignalBlocker blocker(drives_);
    drives_->clear();
    for (const auto& entry : monitor_.SmartDrives) drives_->addItem(Q(entry.Text));
    drives_->setCurrentIndex(-1);
}

void TSmartPageView::RememberColumnWidths() {
    SmartColumnWidths.fill(0);
    for (int column = 0; column < Columns; ++column)
        SmartColumnWidths[static_cast<std::size_t>(column)] = attributes_->columnWidth(column);
    SmartColumnWidths[ScsiFirst] = SmartColumnWidths[0] + SmartColumnWidths[1] + SmartColumnWidths[2] + SmartColumnWidths[3];
    SmartColumnWidths[ScsiLast] = SmartColumnWidths[4];
}

int TSmartPageView::GetHardDiskSelectedInCB() {
    const int entry = drives_->currentIndex();
    if (entry < 0 || static_cast<std::size_t>(entry) >= monitor_.SmartDrives.size()) return -1;
    const TSensor* sensor = monitor_.SmartDrives[static_cast<std::size_t>(entry)].Sensor;
    const auto& sensors = monitor_.Sensors;
    const auto found = std::find_if(sensors.begin(), sensors.end(), [sensor](const auto& s) { return s.get() == sensor; });
    return sensor && found != sensors.end() ? static_cast<int>(found - sensors.begin()) : -1;
}

void TSmartPageView::CBSmartHDChange() {
    if (!monitor_.DutyEdits.SuppressPwmWrite) BTNRefreshSmartClick();
}

void TSmartPageView::BTNRefreshSmartClick() {
    const int index = GetHardDiskSelectedInCB();
    if (index < 0) return;
    if (auto* disk = dynamic_cast<TSmartDisk*>(monitor_.Sensors[static_cast<std::size_t>(index)].get()))
        disk->ReadSMART();
    else
        UpdateSmartPage(true);
}

void TSmartPageView::RunSelfTest(int kind) {
    const int index = GetHardDiskSelectedInCB();
    if (index < 0) return;
    auto* disk = dynamic_cast<TSmartDisk*>(monitor_.Sensors[static_cast<std::size_t>(index)].get());
    if (!disk || !disk->FoundBySearch()) return;
    testStatus_->setText(disk->StartSelfTest(kind, false) == 0 ? "in progress..." : "unsupported?!?");
}

void TSmartPageView::BTNSmartHelpClick() {
    bool callHelp = true;
    monitor_.Help.HelpHandler(THelpLink::HelpContext, HelpContext, callHelp);
}

void TSmartPageView::SaveColumnWidths() {
    if (attributes_->columnWidth(1) > 0) {
        for (int column = 0; column < Columns; ++column)
            SmartColumnWidths[static_cast<std::size_t>(column)] = attributes_->columnWidth(column);
    } else {
        SmartColumnWidths[ScsiFirst] = attributes_->columnWidth(0);
        SmartColumnWidths[ScsiLast] = attributes_->columnWidth(4);
    }
}

void TSmartPageView::UpdateSmartPage(bool /*force*/) {
    for (QWidget* control : std::initializer_list<QWidget*>{report_, extendedTest_, shortTest_, testLabel_, testStatus_})
        control->hide();
    SaveColumnWidths();
    attributes_->clear();
    const int index = GetHardDiskSelectedInCB();
    if (index < 0) return;
    TSensor* sensor = monitor_.Sensors[static_cast<std::size_t>(index)].get();
    if (const auto* disk = dynamic_cast<const TSmartDisk*>(sensor))
        ShowSmartDisk(*disk);
    else if (auto* scsi = dynamic_cast<TSCSISensor*>(sensor))
        ShowScsiDisk(*scsi);
}

void TSmartPageView::ShowSmartDisk(const TSmartDisk& disk) {
    const std::uint8_t link = disk.LinkKind();
    report_->setVisible(!disk.Serial().empty() && std::find(std::begin(ReportLinks), std::end(ReportLinks), link) !=
                                                      std::end(ReportLinks));
    model_->setText(Q(disk.Model()));
    firmware_->setText(Q(disk.Firmware()));
    for (const auto& row : SmartAttributeRows(disk.AttributePage(), disk.ThresholdPage())) AddRow(row);
    std::array<int, Columns> widths{};
    std::copy_n(SmartColumnWidths.begin(), Columns, widths.begin());
    ApplyColumnWidths(widths);
    const auto fitness = disk.Fitness(), performance = disk.Performance();
    if (fitness && performance) {
        SetBar(*fitness_, Percent(*fitness), Format("%d%%", {Percent(*fitness)}));
        SetBar(*performance_, Percent(*performance), Format("%d%%", {Percent(*performance)}));
    } else {
        SetBar(*fitness_, 0, "???%");
        SetBar(*performance_, 0, "???%");
    }
    if (!disk.FoundBySearch()) return;
    for (QWidget* control : std::initializer_list<QWidget*>{extendedTest_, shortTest_, testLabel_, testStatus_})
        control->show();
    testStatus_->setText(Q(SelfTestStatusText(disk.SelfTestStatus())));
}

void TSmartPageView::ShowScsiDisk(TSCSISensor& disk) {
    const std::array<int, Columns> scsiWidths{SmartColumnWidths[ScsiFirst], 0, 0, 0, SmartColumnWidths[ScsiLast]};
    ApplyColumnWidths(scsiWidths);
    model_->setText(Q(disk.Model()));
    firmware_->setText(Q(disk.Revision()));
    TSCSISmartData data;
    if (!disk.GetSmartData(data)) return;
    const int count = std::clamp(data.Count, 0, MaxSCSIAttrs);
    for (int i = 0; i < count; ++i) {
        const auto& attr = data.Attrs[static_cast<std::size_t>(i)];
        AddRow({LogSenseParameterName(attr.Page, static_cast<std::uint16_t>(attr.Code)), "", "", "", attr.Value, -1});
    }
    ApplyColumnWidths(scsiWidths);  // again, to fit the rows
    if (data.ASC != 0 || data.ASCQ != 0)
        SetBar(*fitness_, 0, ScsiWarningText(data.ASC, data.ASCQ));
    else
        SetBar(*fitness_, 100, "OK");
    SetBar(*performance_, 100, "100%");
}

void TSmartPageView::AddRow(const TSmartAttributeRow& row) {
    auto* item = new QTreeWidgetItem(attributes_, {Q(row.Caption), Q(row.Value), Q(row.Worst), Q(row.Warn), Q(row.Raw)});
    item->setIcon(0, row.Image == SoundImage ? sound_ : row.Image == WarningImage ? warning_ : noMark_);
    item->setData(0, Qt::UserRole, row.Image);
}

void TSmartPageView::ApplyColumnWidths(const std::array<int, Columns>& widths) {
    sizing_ = true;
    for (int column = 0; column < Columns; ++column) {
        int width = widths[static_cast<std::size_t>(column)];
        // A hidden column of this layout stays hidden.
        if (width > 0 && !userSized_.test(static_cast<std::size_t>(column)))
            width = std::max({width, static_cast<const QAbstractItemView*>(attributes_)->sizeHintForColumn(column),
                              attributes_->header()->sectionSizeHint(column)});
        attributes_->setColumnWidth(column, width);
    }
    sizing_ = false;
}

void TSmartPageView::SetBar(QProgressBar& bar, int position, const std::string& hint) {
    bar.setValue(position);
    bar.setToolTip(Q(hint));
}

void TSmartPageView::SetDiskTileText(int driveNumber, const std::string& text) {
    if (tiles_) tiles_->SetDiskTileText(driveNumber, text);
}
