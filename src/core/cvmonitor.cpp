#include "core/cvmonitor.h"

#include <exception>

#include "base/cvformat.h"
#include "core/cvclocklists.h"
#include "core/cvdetectsensors.h"
#include "core/cvmaintick.h"
#include "core/cvpower.h"
#include "core/cvsmartdisk.h"
#include "core/cvvars.h"
#include "hw/cvosinfo.h"
#include "hw/cvsetupapi.h"
#include "hw/cvsuperioinfo.h"
#include "platform/desktop.h"

using cvformat::Format;

TMonitor::TMonitor() {
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

// ---- start-up ---------------------------------------------------------------------

namespace {

constexpr int MainTimerInterval = 3080;
constexpr int CpuLoadTimerInterval = 1000;
constexpr int BalloonTimeoutMs = 10000;
constexpr std::uint8_t ChipCodeIT8712F[] = {81, 82};

const char* const WelcomeText =
    "Caldavor is an hardware monitoring software that is able to change fan speeds according to system "
    "temperatures. Caldavor can read S.M.A.R.T. values (and temperatures) from your hard disks and change the FSB "
    "speed.\r\rYou can press F1 anytime to get help.";
const char* const IT8712FText =
    "IT8712F support was improved.\rPlease, have a look at CONFIG / ADVANCED and read the help file about how to "
    "configure Advanced Options.";

}  // namespace

std::string JoinCommandLine(const std::vector<std::string>& commandLine) {
    std::string text;
    for (const auto& part : commandLine) text += (text.empty() ? "" : " ") + part;
    return text;
}

void TMonitor::CheckSystemDrivers() {
    IaStorPresent = ::CheckSystemDrivers([this](const std::string& msg) { Log.TraceMessage(msg, 0); });
}

void TMonitor::FillClockChips() {
    if (!ClockTables) return;
    if (Window) Window->SetClockItems(TClockCombo::Clock, ClockChipItems(ClockTables->ClockChips));
}

void TMonitor::FillClockVendors() {
    if (!ClockTables) return;
    if (Window) Window->SetClockItems(TClockCombo::Vendor, ClockVendorItems(ClockTables->Boards));
}

void TMonitor::FillClockModels(const std::string& vendor) {
    if (!ClockTables) return;
    if (Window) Window->SetClockItems(TClockCombo::Model, ClockModelItems(ClockTables->Boards, vendor));
}

void TMonitor::FormCreate(const std::vector<std::string>& commandLine) {
    programFile_ = commandLine.empty() ? std::string() : commandLine.front();
    WriteDebugLog("Caldavor version : " + Caption);
    WriteDebugLog("Command line : " + JoinCommandLine(commandLine));

    IaStorPresent = false;
    ExitRequested = false;
    if (Window) Window->PrepareControls();

    Links().clear();
    SmartDrives.clear();
    Sensors.clear();
    SensorInUse.clear();
    Slots = TReadingSlots{};
    InTimer = false;
    IO.IOState = THardwareAccess::NotTried;
    IO.IOAvailable = false;
    DutyEdits.SuppressPwmWrite = true;
    IsaPortUsed = true;
    Options = TOptions{};
    TickDividers = TTickDividers{};
    SuperIOInfo.ChipCode = TSuperIOInfo::NoChip;
    CreateTimers();

    WriteDebugLog("FORMCREATE : before icon support");
    WriteDebugLog("FORMCREATE : before system drivers check");
    CheckSystemDrivers();
    WriteDebugLog("FORMCREATE : after system drivers check");

    ScanFlags = TScanFlags{};
    ScanFlags.SMBWordScan = IsBeta();
    if (IaStorPresent) {
        Log.TraceMessage("SCSI Scan disabled because Intel iastora.sys driver is installed", 0);
        ScanFlags.ScanSCSI = false;
    }

    if (Window) Window->ClearClockLabels();
    if (!ClockTables) WriteDebugLog("INFO : clock tables not available in this build");
    FillClockChips();
    FillClockVendors();

    WriteDebugLog("FORMCREATE : before LOADPARAMS");
    LoadParams(OptionsFilePath(), false);
    ParseCommandLine(commandLine.empty() ? std::vector<std::string>{}
                                         : std::vector<std::string>(commandLine.begin() + 1, commandLine.end()));

    OpenSharedBlock();

    IO.IOAvailable = false;
    if (Window) {
        Window->SetupCPULoadPanel();
        Window->InstallHintHandler();
    }
    if (Language) {
        try {
            Language->SetLanguage("English");
        } catch (const ELanguageError& e) {
            WriteDebugLog(e.what());
        }
    }

    WriteDebugLog("FORMCREATE : about to link CHM help");
    Help.LinkHelpFile([](const std::string& path) { return platform::current().desktop().openDocument(path); });
    WriteDebugLog("FORMCREATE : maintaining logs");
    MaintainLogs();
    if (Cpu.GetCpuThreadSyncCycles)
        WriteDebugLog(Format("FORMCREATE : CPU Thread Sync Cycles=%d", {Cpu.GetCpuThreadSyncCycles()}));
    else
        WriteDebugLog("INFO : CPU thread sync cycles not available in this build");

    WriteDebugLog("FORMCREATE : reading motherboard model");
    if (Board)
        WriteDebugLog(Format("FORMCREATE : found %s %s %s",
                             {Board->BoardManufacturer, Board->BoardProduct, Board->BoardVersion}));
    else
        WriteDebugLog("FORMCREATE : SMBIOSExplorer is not available!");

    WriteDebugLog("FORMCREATE : before PostMessage");
    if (Window) Window->PostMessage(WM_DEFERRED_STARTUP, 0, 0);
}

void TMonitor::CreateTimers() {
    if (!TimerService || RxTimerMain) return;
    RxTimerMain = TimerService->CreateTimer(MainTimerInterval, [this] { RxTimerMainTimer(); });
    RxTimerCPULoad = TimerService->CreateTimer(CpuLoadTimerInterval, [this] {
        if (CpuLoadTimer)
            CpuLoadTimer();
        else
            Events.ProcessEvents();
    });
}

void TMonitor::SetTimersEnabled(bool enabled) {
    for (auto* timer : {RxTimerMain.get(), RxTimerCPULoad.get()})
        if (timer) timer->SetEnabled(enabled);
}

void TMonitor::ReadCpuFeatures() {
    HasTSC = false;
    if (!Cpu.ProcessorInfo) {
        WriteDebugLog("INFO : CPU features not available in this build");
        return;
    }
    try {
        HasTSC = Cpu.ProcessorInfo(0).HasTSC;
    } catch (const std::exception&) {
        Log.LogMessage("!!!Exception in reading CPU INFO at startup (1)!!!");
    }
}

void TMonitor::DeferredStartup() {
    const bool signedOk = IO.CheckFileSignature(programFile_, ProgramSigner);
    Log.TraceMessage(signedOk ? "Caldavor executable is properly signed" : "Caldavor executable is not properly signed",
                     0);
    if (Options.StartupHide) ACMinimizeExecute();
    if (Cpu.SamplerError) {
        const TCpuSamplerError error = Cpu.SamplerError();
        if (error.Code != 0) Log.LogMessage(Format("ERROR collecting CPU Usage : %d (%s)", {error.Code, error.Text}));
    }
    if (Cpu.GetCpuThreadSyncCycles)
        Log.LogMessageEx(Format("CPU Thread Sync Cycles=%d", {Cpu.GetCpuThreadSyncCycles()}), false);

    WriteDebugLog("About to Open I/O...");
    IO.EnsureIO();
    WriteDebugLog("I/O properly opened...");
    if (IO.IOAvailable) DetectHardware();

    if ((HasChipCode(Sensors, ChipCodeIT8712F[0]) || HasChipCode(Sensors, ChipCodeIT8712F[1])) &&
        !Options.NoMoreTip0005 && !Options.StartupHide && ShowHintDialog("IT8712F found!", IT8712FText, true)) {
        Options.NoMoreTip0005 = true;
        SaveParams(false);
    }
    if (XapFactory) {
        ownedXap_ = XapFactory(*this);
        Xap = ownedXap_.get();
    }
    SetTimersEnabled(true);
    if (Window) Options.AutoFanSpeed = Window->AutoFanSpeedChecked();
    LoadParams(OptionsFilePath(), true);
    DutyEdits.SuppressPwmWrite = false;
    if (Window) Window->PostMessage(WM_CPU_CLOCK, 0, 0);
    if (!Options.NoMoreTip0001 && !Options.StartupHide && ShowHintDialog("Welcome to Caldavor!", WelcomeText, true)) {
        Options.NoMoreTip0001 = true;
        SaveParams(true);
    }
}

void TMonitor::DetectHardware() {
    WriteDebugLog("About to check CPU features...");
    ReadCpuFeatures();
    WriteDebugLog("Detecting links...");
    DetectLinks();
    if (ScanFlags.SMBusDebug) {
        if (SMBusDebugDialog)
            SMBusDebugDialog->RunModal();
        else
            WriteDebugLog("INFO : SMBus debug dialog not available in this build");
    } else {
        WriteDebugLog("Detecting sensors...");
        DetectSensors(*this);
    }
    if (!Sensors.empty()) {
        PrepareSensors();
        return;
    }
    Log.LogMessage("INFO : NO SUPPORTED CHIP DETECTED");
    if (DetectionSignature(*this))
        platform::current().desktop().showBalloon("Caldavor", "No supported sensor chip detected", BalloonTimeoutMs,
                                                  platform::BalloonIcon::Warning);
}

void TMonitor::PrepareSensors() {
    WriteDebugLog("Showing hint...");
    if (DetectionSignature(*this))
        platform::current().desktop().showBalloon("Sensors detected", SensorsDetectedText(Sensors), BalloonTimeoutMs,
                                                  platform::BalloonIcon::Info);
    SaveInitialStates();
    WriteDebugLog("Init associations...");
    BuildReadingSlots();
    WriteDebugLog("Auto associating...");
    AutoAssociate();
    WriteDebugLog("Loading fine-tuned associations");
    LoadFineTunedAssociations();
    WriteDebugLog("Loading associations...");
    LOADASSOCIATIONS(SensorsFilePath(), false, true);
    ReadFirstSamples();
    WriteDebugLog("Parsing used...");
    PARSEUSED();
    WriteDebugLog("Initializing chart selector...");
    if (Window) Window->SetupChart();
    WriteDebugLog("Activating timer...");
    if (RxTimerMain && (!Slots.TempSlots.empty() || !Slots.FanSlots.empty() || !Slots.VoltSlots.empty()))
        RxTimerMain->SetEnabled(true);
}

void TMonitor::SaveInitialStates() {
    WriteDebugLog("About to save sensors' initial state");
    for (const auto& sensor : Sensors) {
        try {
            sensor->SaveInitialState();
        } catch (const std::exception& e) {
            Log.LogMessage(Format("ERROR IN SAVEINITIALSTATE (%s): %s", {sensor->FChipName, e.what()}));
        }
    }
    WriteDebugLog("End of saving sensors' initial state");
}

void TMonitor::ReadFirstSamples() {
    WriteDebugLog("About to read first samples for all sensors");
    struct TFirstRead {
        const char* Trace;
        void (TSensor::*Read)();
        const char* Failure;
    };
    static constexpr TFirstRead Reads[] = {
        {"  ...temperatures", &TSensor::ReadTemps, "READFIRSTSAMPLESFROMSENSORS DEBUG 1 "},
        {"  ...fans", &TSensor::ReadFans, "READFIRSTSAMPLESFROMSENSORS DEBUG 2 "},
        {"  ...pwms", &TSensor::ReadPwms, "READFIRSTSAMPLESFROMSENSORS DEBUG 3 "},
        {"  ...volts", &TSensor::ReadVolts, "READFIRSTSAMPLESFROMSENSORS DEBUG 4 "},
    };
    for (const auto& sensor : Sensors) {
        WriteDebugLog(Format("About to read first samples from %s", {sensor->FDisplayName}));
        SampleTime = Now();
        for (const auto& read : Reads) {
            WriteDebugLog(read.Trace);
            try {
                (sensor.get()->*read.Read)();
            } catch (const std::exception& e) {
                Log.LogMessage(read.Failure + std::string(e.what()));
            }
        }
    }
    WriteDebugLog("End of reading first samples for all sensors");
}

void TMonitor::RxTimerMainTimer() { ::RxTimerMainTimer(*this); }

// A block that cannot be made is no reason to refuse to start: the program
// runs without publishing.
void TMonitor::OpenSharedBlock() {
    const std::uint32_t processId = platform::current().processId();
    try {
        SharedMem.SetBlockSize(SharedLayout::BlockSize);
        SharedMem.SetBlockName(SharedLayout::BlockName);
        WriteSharedHeader(SharedMem, processId);
    } catch (const ESharedMemoryError& e) {
        WriteDebugLog(e.what());
    }
    std::string reason;
    Commands = platform::current().openCommandChannel(processId, reason);
    if (!Commands) WriteDebugLog("INFO : no command channel (" + reason + ")");
}

void TMonitor::PollSystemMessages() {
    if (!Window) return;
    if (Commands) {
        for (const auto& command : Commands->takeCommands())
            Window->PostMessage(WM_EXTERNAL_COMMAND, static_cast<std::intptr_t>(command.wParam),
                                static_cast<std::intptr_t>(command.lParam));
    }
    for (const std::uint32_t event : platform::current().takePowerEvents())
        Window->PostMessage(WM_POWERBROADCAST, static_cast<std::intptr_t>(event), 0);
}

void TMonitor::HandleMessage(int msg, std::intptr_t wParam, std::intptr_t lParam) {
    switch (msg) {
    case WM_DEFERRED_STARTUP: DeferredStartup(); break;
    case WM_EXTERNAL_COMMAND: ExternalCommand(*this, wParam, lParam); break;
    case WM_CPU_CLOCK: CpuClockMessage(*this); break;
    case WM_POWER_STATUS: PowerStatusMessage(*this); break;
    case WM_MINIMIZE: MinimizeMessage(); break;
    case WM_POWERBROADCAST:
        PowerBroadcast(*this, static_cast<std::uint32_t>(wParam));
        // A suspend waits for this: the system may sleep now.
        platform::current().powerEventHandled(static_cast<std::uint32_t>(wParam));
        break;
    default: break;
    }
}

// ---- closing ----------------------------------------------------------------------

bool TMonitor::FormClose() {
    if (!ExitRequested && Options.MinimizeOnClose) {
        if (Window) Window->PostMessage(WM_MINIMIZE, 0, 0);
        return false;
    }
    return true;
}

void TMonitor::ACMinimizeExecute() {
    if (Window) Window->Minimize();
}

void TMonitor::ACRestoreExecute() {
    if (Window) Window->Restore();
}

void TMonitor::ACExitExecute() {
    ExitRequested = true;
    if (Window) Window->Close();
}

// Every chip is given back, even when another one's restore fails: none is
// left under software control.
void TMonitor::FormDestroy() {
    WriteDebugLog("FormDestroy started");
    SetTimersEnabled(false);
    InTimer = true;
    WriteDebugLog("Timers deactivated");
    // A destructor never throws, so freeing the sender cannot fail.
    if (ownedXap_) {
        Xap = nullptr;
        ownedXap_.reset();
    }
    Events.TraceEvaluationTimes();
    if (Options.FullOnExit) {
        for (std::size_t i = 0; i < Sensors.size(); ++i) {
            for (int pwm = 1; pwm <= Sensors[i]->GetPwmCount(); ++pwm) {
                WriteDebugLog(Format("About to set pwm[%d] for sensor[%d]", {pwm, static_cast<int>(i)}));
                try {
                    Sensors[i]->SetPwm(pwm, 100);
                } catch (const std::exception& e) {
                    Log.TraceMessage(Format("ERROR IN SETPWM (%s): %s", {Sensors[i]->FChipName, e.what()}), 1);
                }
            }
        }
    }
    WriteDebugLog("Duty cycles set to correct values");
    WriteDebugLog("Restoring sensors' initial state");
    for (const auto& sensor : Sensors) {
        WriteDebugLog(Format("About to restore %s at address %.8x to initial state", {sensor->FChipName, sensor->FAddress}));
        try {
            sensor->RestoreInitialState();
        } catch (const std::exception& e) {
            Log.TraceMessage(Format("ERROR IN RESTOREINITIALSTATE (%s): %s", {sensor->FChipName, e.what()}), 1);
        }
    }
    WriteDebugLog("Sensors reverted to initial state");
    SmartDrives.clear();
    for (auto& sensor : Sensors) {
        WriteDebugLog(Format("About to free %s at address %.8x", {sensor->FChipName, sensor->FAddress}));
        sensor.reset();
    }
    Sensors.clear();
    WriteDebugLog("Sensors freed");
    SensorInUse.clear();
    Links().clear();
    WriteDebugLog("Links freed");
    if (Window) Window->DisableTrayIcon();
    WriteDebugLog("TrayIcon disabled");
    WriteDebugLog("Icons freed");
    if (DetectionSteps.FreeArecaRAID) {
        DetectionSteps.FreeArecaRAID();
        WriteDebugLog("ARECA support freed");
    } else {
        WriteDebugLog("INFO : Areca support not available in this build");
    }
    SharedMem.Withdraw(platform::current().processId());
}
