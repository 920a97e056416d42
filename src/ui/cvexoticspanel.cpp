#include "ui/cvexoticspanel.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvmonitor.h"
#include "core/cvsafefile.h"
#include "core/cvsmartdisk.h"
#include "core/txtunit.h"
#include "cpu/noscpuusage.h"
#include "platform/platform.h"
#include "ui/cvcontrolbinder.h"

using cvformat::Format;

namespace {

constexpr std::uint16_t LayoutBufferSize = 10240, LayoutLineLength = 32768;
constexpr std::uint8_t NoSystemBattery = 128;
constexpr int FirstDiskChip = 13, LastDiskChip = 16;

TSCBaseFrame* MakeBox(TExoticKind kind, int width, int height) {
    switch (kind) {
    case TExoticKind::Temperature: return new TSCTemperature(width, height);
    case TExoticKind::Fan: return new TSCFan(width, height);
    case TExoticKind::Volt: return new TSCVolt(width, height);
    case TExoticKind::SmartDrive: return new TSCSmartDrive(width, height);
    case TExoticKind::Usage: return new TSCUsage(width, height);
    case TExoticKind::Battery: return new TSCBattery(width, height);
    case TExoticKind::Uptime: return new TSCUptime(width, height);
    default: return new TSCFrequency(width, height);
    }
}

struct TSlotBoxes {
    TReadingKind Reading;
    TDisplayKind Display;
    TExoticKind Kind;
    const char* Picture;
};
constexpr TSlotBoxes SlotBoxes[] = {
    {TReadingKind::Temp, TDisplayKind::Temp, TExoticKind::Temperature, "SCTemp%.2d"},
    {TReadingKind::Fan, TDisplayKind::Fan, TExoticKind::Fan, "SCFan%.2d"},
    {TReadingKind::Volt, TDisplayKind::Volt, TExoticKind::Volt, "SCVolt%.2d"},
};

}  // namespace

bool HasSystemBattery() {
    const auto status = platform::current().powerStatus();
    return status && !(status->batteryFlag & NoSystemBattery);
}

TExoticsPage::TExoticsPage(TMonitor& monitor, QWidget* parent) : QWidget(parent), monitor_(monitor) {
    setObjectName("TSExotics");
    ScreenDpi = [this] { return screen() ? screen()->logicalDotsPerInch() : TExoticsLayout::DesignDpi; };
    auto* page = new QVBoxLayout(this);
    page->addWidget(Named("LABBetaStage", new QLabel("This part is in beta stage")));
    scroll_ = new QScrollArea;
    scroll_->setObjectName("PanSamplesScroll");
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    panel_ = new QWidget;
    panel_->setObjectName("PanSamples");
    panel_->resize(DesignPanelWidth, DesignPanelHeight);
    scroll_->setWidget(panel_);
    page->addWidget(scroll_, 0, Qt::AlignHCenter);
    auto* magic = new QPushButton("Show the magic");
    magic->setObjectName("BTNShowTheMagic");
    connect(magic, &QPushButton::clicked, this, [this] { BTNShowTheMagicClick(); });
    page->addWidget(magic, 0, Qt::AlignHCenter);
    page->addStretch();
}

std::string TExoticsPage::LayoutFile() const { return ProgramDir + LayoutFileName; }

void TExoticsPage::Log(const std::string& line) { monitor_.Log.LogMessageEx(line, false); }

void TExoticsPage::InitExoticFrame(TSCBaseFrame& box, TExoticKind kind, const std::string& name, int index,
                                   int readingIndex, const std::string& sensorName, bool visible) {
    box.OnHide = [this](TSCBaseFrame& b) { HideExoticFrame(b); };
    box.OnUnhide = [this](TSCBaseFrame& b) { UnhideExoticFrame(b); };
    box.OnMoved = [this](TSCBaseFrame& b) { ExoticFrameMoved(b); };
    box.Siblings = [this] { return boxes_; };
    box.setParent(panel_);
    box.setObjectName(QString::fromStdString(name));
    box.Index = index;
    box.SensorName = sensorName;
    box.ReadingIndex = readingIndex;
    layout_.AddBox(kind, name, index, readingIndex, sensorName, visible);
    boxes_.push_back(&box);
}

TSCBaseFrame* TExoticsPage::EnsureBox(TExoticKind kind, const std::string& name, int index, int readingIndex,
                                      const std::string& sensorName, bool visibleWhenNew) {
    if (TSCBaseFrame* box = FindExoticFrame(name)) return box;
    TSCBaseFrame* box = MakeBox(kind, layout_.CellWidth(), layout_.CellHeight());
    InitExoticFrame(*box, kind, name, index, readingIndex, sensorName, visibleWhenNew);
    return box;
}

void TExoticsPage::CreateSlotBoxes() {
    for (const auto& kind : SlotBoxes) {
        for (std::size_t i = 0; i < monitor_.Slots.SlotCount(kind.Reading); ++i) {
            const TReadingData& slot = monitor_.Slots.Slot(kind.Reading, i);
            const bool bound = slot.SensorIndex >= 0 && static_cast<std::size_t>(slot.SensorIndex) < monitor_.Sensors.size();
            const std::string sensor = bound ? monitor_.Sensors[static_cast<std::size_t>(slot.SensorIndex)]->FDisplayName : "";
            TSCBaseFrame* box = EnsureBox(kind.Kind, Format(kind.Picture, {static_cast<int>(i) + 1}),
                                          static_cast<int>(i), slot.ReadingIndex, sensor, slot.Active);
            box->LABDesc().setText(QString::fromStdString(slot.Name));
        }
    }
}

void TExoticsPage::CreateDiskBoxes() {
    for (const auto& sensor : monitor_.Sensors) {
        if (sensor->FChipCode < FirstDiskChip || sensor->FChipCode > LastDiskChip) continue;
        auto* disk = dynamic_cast<TSmartDisk*>(sensor.get());
        if (!disk) continue;
        const int drive = disk->GetDriveNumber();
        TSCBaseFrame* box = EnsureBox(TExoticKind::SmartDrive, Format("SCSmartHD%.2d", {drive}), drive, 0,
                                      sensor->FDisplayName, true);
        const std::string caption =
            sensor->GetTempCount() > 0 ? sensor->GetTemp(1).Name : Format("HD%d", {drive});
        box->LABDesc().setText(QString::fromStdString(caption));
        if (disk->OnSmartRead) disk->OnSmartRead(*sensor, drive, disk->Fitness());
    }
}

void TExoticsPage::CreateUsageBoxes() {
    const int count = CPUUsage.NumCPUs.load();
    for (int i = 0; i < count; ++i) {
        const std::string name = Format("SCCPUUsage%.2d", {i + 1});
        if (FindExoticFrame(name)) continue;
        auto* box = static_cast<TSCUsage*>(EnsureBox(TExoticKind::Usage, name, i, i, "", true));
        box->LABDesc().setText(count == 1 ? QString("CPU") : QString("CPU%1").arg(i));
        box->pb().setValue(0);
    }
}

void TExoticsPage::CreateExoticFrames() {
    layout_.SetDpi(ScreenDpi());
    const TPanelBounds bounds = layout_.ShrinkPanel(panel_->width(), DesignPanelHeight, width());
    panel_->setFixedWidth(bounds.Width);
    scroll_->setFixedSize(bounds.Width + scroll_->verticalScrollBar()->sizeHint().width() + 2 * scroll_->frameWidth(),
                          bounds.Height + 2 * scroll_->frameWidth());
    CreateSlotBoxes();
    CreateDiskBoxes();
    CreateUsageBoxes();
    EnsureBox(TExoticKind::Frequency, "SCFrequency", 0, 0, "", true)->LABDesc().setText("Frequency");
    EnsureBox(TExoticKind::Battery, "SCBattery", 0, 0, "", HasSystemBattery())->LABDesc().setText("Battery");
    EnsureBox(TExoticKind::Uptime, "SCUptime", 0, 0, "", true)->LABDesc().setText("Uptime");
    LOADEXOTICS(LayoutFile());
    layout_.PlaceVisible();
    Sync();
    if (monitor_.Window) {
        monitor_.Window->PostMessage(WM_POWER_STATUS);
        monitor_.Window->PostMessage(WM_CPU_CLOCK);
    }
}

void TExoticsPage::RebuildExoticFrames() {
    if (!boxes_.empty()) CreateExoticFrames();
}

void TExoticsPage::Sync() {
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const TExoticBox& box = layout_.Boxes()[i];
        boxes_[i]->setGeometry(box.Left, box.Top, box.Width, box.Height);
        boxes_[i]->setVisible(box.Visible);
    }
    panel_->setFixedHeight(layout_.ContentHeight());
}

std::size_t TExoticsPage::IndexOf(const TSCBaseFrame& box) const {
    return static_cast<std::size_t>(std::find(boxes_.begin(), boxes_.end(), &box) - boxes_.begin());
}

TSCBaseFrame* TExoticsPage::FindExoticFrame(TExoticKind kind, int index) {
    const auto found = layout_.Find(kind, index);
    return found ? boxes_[*found] : nullptr;
}

TSCBaseFrame* TExoticsPage::FindExoticFrame(const std::string& name) {
    const auto found = layout_.FindByName(name);
    return found ? boxes_[*found] : nullptr;
}

void TExoticsPage::PlaceExoticFrame(TSCBaseFrame& box) {
    layout_.PlaceExoticFrame(IndexOf(box));
    Sync();
}

void TExoticsPage::ExoticFrameMoved(TSCBaseFrame& box) {
    for (const auto& line : layout_.Drop(IndexOf(box), box.DropPoint().x(), box.DropPoint().y())) Log(line);
    Sync();
    SaveExotics(LayoutFile());
}

void TExoticsPage::HideExoticFrame(TSCBaseFrame& box) {
    Log(layout_.Hide(IndexOf(box)));
    Sync();
    SaveExotics(LayoutFile());
}

void TExoticsPage::UnhideExoticFrame(TSCBaseFrame& box) {
    if (IndexOf(box) >= boxes_.size()) return;
    Log(layout_.Unhide(IndexOf(box)));
    Sync();
    SaveExotics(LayoutFile());
}

bool TExoticsPage::SaveExotics(const std::string& fileName) {
    if (ReplaceFileContents(fileName, layout_.SaveText())) return true;
    if (monitor_.Dialogs) monitor_.Dialogs->ShowError("Unable to save exotics to " + fileName);
    return false;
}

void TExoticsPage::LOADEXOTICS(const std::string& fileName) {
    WriteDebugLog("Starting LOADEXOTICS");
    if (const auto lines = TxtReadLines(fileName, LayoutBufferSize, LayoutLineLength)) layout_.Load(*lines);
    WriteDebugLog("End of LOADEXOTICS");
}

void TExoticsPage::SetReadingTileText(TDisplayKind kind, int slotIndex, const std::string& text) {
    for (const auto& slotBoxes : SlotBoxes) {
        if (slotBoxes.Display != kind) continue;
        TSCBaseFrame* box = FindExoticFrame(slotBoxes.Kind, slotIndex);
        if (box && box->Sample()) box->Sample()->setText(QString::fromStdString(text));
    }
}

bool TExoticsPage::HasTile(const std::string& name) const { return layout_.FindByName(name).has_value(); }

void TExoticsPage::SetTileText(const std::string& name, const std::string& text) {
    TSCBaseFrame* box = FindExoticFrame(name);
    if (box && box->Sample()) box->Sample()->setText(QString::fromStdString(text));
}

void TExoticsPage::SetTilePicture(const std::string& name, int cell) {
    if (auto* battery = dynamic_cast<TSCBattery*>(FindExoticFrame(name))) battery->ShowCell(cell);
}

void TExoticsPage::SetTrendPicture(int slotIndex, int cell) {
    if (auto* box = dynamic_cast<TSCTemperature*>(FindExoticFrame(TExoticKind::Temperature, slotIndex)))
        box->ShowTrend(cell);
}

void TExoticsPage::SetDiskTileText(int driveNumber, const std::string& text) {
    TSCBaseFrame* box = FindExoticFrame(TExoticKind::SmartDrive, driveNumber);
    if (box && box->Sample()) box->Sample()->setText(QString::fromStdString(text));
}
