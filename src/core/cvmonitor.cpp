#include "core/cvmonitor.h"

#include <exception>

#include "base/cvformat.h"
#include "core/cvdetectsensors.h"
#include "core/cvmaintick.h"
#include "core/cvpacedstep.h"
#include "core/cvpower.h"
#include "core/cvsmartdisk.h"
#include "core/cvvars.h"
#include "hw/cvosinfo.h"
#include "hw/cvsetupapi.h"
#include "platform/desktop.h"

using cvformat::Format;

// The build names its version; the caption carries it from the start.
TMonitor::TMonitor() : Caption("Caldavor " CALDAVOR_VERSION) {
    DutyEdits.OnChange = [this](int n) { EDFan1CyclesChange(FanControlContext(), n); };
}

// Links outlive the window's model; their announcements must not reach a
// monitor that is gone.
TMonitor::~TMonitor() { SetLinkRegistration({}); }

TSensorsFileContext TMonitor::SensorsFileContext() {
    return TSensorsFileContext{Sensors, Slots, FanControllers, Log, Board, &Events, Dialogs};
}

TFanControlContext TMonitor::FanControlContext() {
    return TFanControlContext{Sensors, Slots, FanControllers, DutyEdits, Options, Log};
}

std::string TMonitor::SensorsFilePath() const { return ProgramDir + SensorsFileName; }

bool TMonitor::SaveSensorsConfig() { return ::SaveSensorsConfig(SensorsFileContext(), SensorsFilePath()); }

bool TMonitor::LOADASSOCIATIONS(const std::string& fileName, bool propertiesOnly, bool loadEvents) {
    return ::LOADASSOCIATIONS(SensorsFileContext(), fileName, propertiesOnly, loadEvents);
}

void TMonitor::LoadFineTunedAssociations() { ::LoadFineTunedAssociations(SensorsFileContext()); }

TFanVotes TMonitor::RunFanLogic() { return ::RunFanLogic(FanControlContext()); }

std::vector<bool> TMonitor::FanControlSensors() { return ::FanControlSensors(FanControlContext()); }

TOptionsContext TMonitor::OptionsContext() {
    return TOptionsContext{Options, ScanFlags, ClockControls, Xap, Language, Dialogs};
}

std::string TMonitor::OptionsFilePath() const { return ProgramDir + OptionsFileName; }

bool TMonitor::LoadParams(const std::string& fileName, bool secondPass) {
    return ::LoadParams(fileName, secondPass, OptionsContext());
}

bool TMonitor::SaveParams(bool withClock) { return ::SaveParams(OptionsFilePath(), withClock, OptionsContext()); }

TSensorLogEvent TMonitor::SensorLogEvent() {
    return [this](TSensor& sender, const std::string& msg, int level) { Log.SensorLog(sender, msg, level); };
}

TSensor& TMonitor::AppendSensor(std::unique_ptr<TSensor> sensor) {
    Sensors.push_back(std::move(sensor));
    SensorInUse.push_back(true);
    return *Sensors.back();
}

TLinkLogEvent TMonitor::LinkLogEvent() {
    return [this](TLink& sender, const std::string& msg) { Log.LinkLog(sender, msg); };
}

TLinkRegistration TMonitor::LinkRegistration() {
    return TLinkRegistration{Options.DebugMode, LinkLogEvent(), [this](const std::string& msg) { Log.LogMessage(msg); },
                             [this](const std::string& msg, bool toBoth) { Log.LogMessageEx(msg, toBoth); }};
}

TLinkScanContext TMonitor::LinkScanContext() {
    TLinkScanContext ctx;
    ctx.LogMessage = [this](const std::string& msg) { Log.LogMessage(msg); };
    ctx.LogMessageEx = [this](const std::string& msg, bool toBoth) { Log.LogMessageEx(msg, toBoth); };
    ctx.DebugMode = Options.DebugMode;
    ctx.NoPCIScan = ScanFlags.NoPCIScan;
    ctx.NVidiaI2C = ScanFlags.NVidiaI2C;
    ctx.NVidiaTemp = ScanFlags.NVidiaTemp;
    ctx.StartupHide = Options.StartupHide;
    ctx.NoMoreTip0004 = Options.NoMoreTip0004;
    ctx.IsWin9x = OperatingSystem && !OperatingSystem->IsNT;
    if (Board) {
        ctx.BoardMaker = Board->BoardManufacturer;
        ctx.BoardProduct = Board->BoardProduct;
        ctx.SystemProduct = Board->SystemProduct;
    }
    ctx.ShowHintDialog = [this](const std::string& title, const std::string& text) {
        return ShowHintDialog(title, text, true);
    };
    ctx.NeverShowNVidiaHint = [this] {
        Options.NoMoreTip0004 = true;
        SaveParams(false);
    };
    ctx.AddSensor = AddDiscoveredSensor;
    ctx.NVidiaCards = NVidiaCards;
    ctx.Display = &ChipsetDisplay;
    ctx.SMBusChipset = &SMBusChipset;
    return ctx;
}

void TMonitor::DetectLinks() {
    SetLinkRegistration(LinkRegistration());
    TLinkScanContext ctx = LinkScanContext();
    ::DetectLinks(ctx);
}

int TMonitor::FindLinkByAddress(int address) const {
    if (address < 0) return -1;
    const auto& links = Links();
    for (std::size_t i = links.size(); i-- > 0;) {
        if (links[i]->BaseAddress() == static_cast<std::uint32_t>(address)) return static_cast<int>(i);
    }
    return -1;
}

TLink* TMonitor::FirstSMBusLink() const {
    for (const auto& link : Links()) {
        if (link->LinkKind() == LinkKinds::SMBus) return link.get();
    }
    return nullptr;
}

const TValueStats* TMonitor::OrderedStats(TReadingKind kind, const std::vector<int>& order, int row) const {
    if (row < 1 || static_cast<std::size_t>(row) > order.size()) return nullptr;
    const auto& slot = Slots.Slot(kind, static_cast<std::size_t>(order[static_cast<std::size_t>(row - 1)]));
    return &SlotStats(Sensors, kind, slot);
}

const TValueStats& TMonitor::GetUsedTempStats(int index) const {
    if (const auto* stats = OrderedStats(TReadingKind::Temp, Slots.TempOrder, index)) return *stats;
    // Out of the order list: a zero reading, as for any unbound slot.
    return SlotStats(Sensors, TReadingKind::Temp, TReadingData{});
}

std::optional<TReadingHint> TMonitor::ShowReadingHint(const std::string& controlName,
                                                      const std::vector<double>& cpuLoads) const {
    const auto control = ParseHintControl(controlName);
    if (!control) return std::nullopt;
    const auto unchanged = [](double v) { return v; };
    const TValueStats* stats = nullptr;
    switch (control->Target) {
    case THintTarget::CpuLoad: return TReadingHint{CpuLoadHintText(cpuLoads)};
    case THintTarget::Temp:
        stats = OrderedStats(TReadingKind::Temp, Slots.TempOrder, control->Row);
        if (!stats) return std::nullopt;
        return TReadingHint{StatsHintText(*stats, 1, [this](double v) { return TempToDisplay(v); })};
    case THintTarget::Fan:
        stats = OrderedStats(TReadingKind::Fan, Slots.FanOrder, control->Row);
        if (!stats) return std::nullopt;
        return TReadingHint{StatsHintText(*stats, 0, unchanged)};
    case THintTarget::Volt:
        stats = OrderedStats(TReadingKind::Volt, Slots.VoltOrder, control->Row);
        if (!stats) return std::nullopt;
        return TReadingHint{StatsHintText(*stats, 2, unchanged)};
    }
    return std::nullopt;
}

bool TMonitor::ShowHintDialog(const std::string& title, const std::string& text, bool allowNeverAgain) {
    if (!Dialogs) return false;
    THintDialogRequest request;
    if (!title.empty()) request.Title = title;
    if (!text.empty()) request.Text = text;
    request.AllowNeverAgain = allowNeverAgain;
    return Dialogs->RunHintDialog(request);
}

void TMonitor::SmartHasRefreshed(const TSensor& disk, int driveNumber, std::optional<double> fitness) {
    if (!SmartView) return;
    try {
        const int selected = SmartView->GetHardDiskSelectedInCB();
        if (selected >= 0 && static_cast<std::size_t>(selected) < Sensors.size() &&
            Sensors[static_cast<std::size_t>(selected)].get() == &disk)
            SmartView->UpdateSmartPage(false);
    } catch (const std::exception& e) {
        WriteDebugLog(Format("Exception in SmartHasRefreshed (%s)", {e.what()}));
    }
    SmartView->SetDiskTileText(driveNumber, fitness ? Format("%.0f%%", {*fitness * 100}) : "???%");
}

bool TMonitor::IsSmartDriveKnown(const std::string& model, const std::string& firmware,
                                 const std::string& serial) const {
    for (const auto& sensor : Sensors) {
        const auto* disk = dynamic_cast<const TSmartDisk*>(sensor.get());
        if (disk && disk->Model() == model && disk->Firmware() == firmware && disk->Serial() == serial) return true;
    }
    return false;
}
