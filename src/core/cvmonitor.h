#pragma once
// What the main window holds and does, without widgets: the sensors, the
// reading slots and their layout, the options and scan flags, the log sinks,
// the daily log and help. The window shows this model and forwards to it;
// tests drive it directly. Each role lives in its own member; the services
// of later subsystems are plugged in through the pointers, null until then.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/cvautofan.h"
#include "core/cvdutyedits.h"
#include "core/cvevents.h"
#include "core/cvfancontrol.h"
#include "core/cvhardwareaccess.h"
#include "core/cvhelp.h"
#include "core/cvlogsinks.h"
#include "core/cvsensorsfile.h"
#include "core/cvoptions.h"
#include "core/cvreadinglog.h"
#include "core/cvreadingslots.h"
#include "core/cvservices.h"
#include "core/cvswitches.h"
#include "core/cvtickdividers.h"
#include "core/cvvalueformat.h"
#include "core/sharedmm.h"
#include "hw/cvlink.h"
#include "hw/cvlinkscan.h"

// The command line's parts with one blank between them.
std::string JoinCommandLine(const std::vector<std::string>& commandLine);

class TMonitor {
public:
    TMonitor();
    ~TMonitor();
    TMonitor(const TMonitor&) = delete;
    TMonitor& operator=(const TMonitor&) = delete;

    // ---- model ----
    TSensorList Sensors;
    std::vector<bool> SensorInUse;  // one per sensor: read by the main tick
    TReadingSlots Slots;
    TOptions Options;
    TScanFlags ScanFlags;
    TLogSinks Log;
    TReadingLog ReadingLog;
    THelpLink Help;
    std::string Caption;  // product name and version, as the window shows it
    TLayoutMetrics LayoutMetrics;
    TEvents Events{*this};  // the user's rules, evaluated every second
    TFanControllers FanControllers;
    TDutyEdits DutyEdits;
    const TBoardIdentity* Board = nullptr;  // the SMBIOS identity, once known
    // The S.M.A.R.T. page's drive list: one entry per disk sensor detection made.
    struct TSmartDriveEntry {
        std::string Text;
        const TSensor* Sensor = nullptr;
    };
    std::vector<TSmartDriveEntry> SmartDrives;

    // ---- services of later subsystems ----
    TClockControls* ClockControls = nullptr;
    TXapSender* Xap = nullptr;
    // The deferred start-up makes the sender with it and owns what it made.
    TXapSenderFactory XapFactory;
    TLanguageDispatcher* Language = nullptr;
    TDialogs* Dialogs = nullptr;
    TSmartView* SmartView = nullptr;
    TTiles* Tiles = nullptr;
    TCharts* Charts = nullptr;
    TNvidiaCardServices* NVidiaCards = nullptr;
    // The sensor factory as host discovery calls it; empty until it exists.
    std::function<void(const TDiscoveredSensor&)> AddDiscoveredSensor;
    TMainWindow* Window = nullptr;
    TTimerService* TimerService = nullptr;
    TSMBusDebugDialog* SMBusDebugDialog = nullptr;
    TDetectionServices* Detection = nullptr;
    TDetectionSteps DetectionSteps;
    TCpuServices Cpu;
    std::optional<TClockTables> ClockTables;
    TSignatureCheckSlot SignatureChecker;
    TWmiQueryValue WmiQueryValue;

    // ---- state of the run ----
    THardwareAccess IO{*this};
    bool IaStorPresent = false;
    bool ExitRequested = false;
    bool InTimer = false;
    bool IsaPortUsed = true;
    TTickDividers TickDividers;
    // The timer list: the main tick, the one-second CPU-load tick and the
    // drivers' paced work.
    std::unique_ptr<TTimer> RxTimerMain;
    std::unique_ptr<TTimer> RxTimerCPULoad;
    std::unique_ptr<TTimer> PacedStepTimer;
    // The window's CPU-load tick, which ends with the events; without a
    // window the one-second timer runs the events alone.
    std::function<void()> CpuLoadTimer;
    // The readings published to other programs, and the channel their
    // commands arrive on; either may be missing.
    TSharedMemory SharedMem;
    std::unique_ptr<platform::CommandChannel> Commands;

    // ---- life cycle: what the window forwards ----
    // The first stage of start-up; CommandLine is argv, the program first.
    void FormCreate(const std::vector<std::string>& commandLine);
    // WM_USER: the second stage, with hardware access and detection.
    void DeferredStartup();
    // The main timer's handler.
    void RxTimerMainTimer();
    // Queues the commands and power events that came from outside as the
    // window's messages.
    void PollSystemMessages();
    // Every timer of the timer list.
    void SetTimersEnabled(bool enabled);
    // WM_USER+5.
    void MinimizeMessage() { ACMinimizeExecute(); }
    // Every message the window posted to itself comes back here.
    void HandleMessage(int msg, std::intptr_t wParam, std::intptr_t lParam);
    // Answers whether the window may close; otherwise it minimises instead.
    bool FormClose();
    void FormDestroy();
    void ACMinimizeExecute();
    void ACRestoreExecute();
    void ACExitExecute();
    // The tray's value icons are drawn anew on the next tick.
    void FreeTrayIcons() {
        if (Window) Window->FreeTrayIcons();
    }
    // The clock page's lists.
    void FillClockChips();
    void FillClockVendors();
    void FillClockModels(const std::string& vendor);
    // The start-up's device scan: sets IaStorPresent.
    void CheckSystemDrivers();
    // Sets HasTSC from processor 0's features.
    void ReadCpuFeatures();

    // ---- chipset found by host discovery, for the window and the report ----
    TChipsetDisplay ChipsetDisplay;
    std::uint8_t SMBusChipset = 0;

    // ---- sensors ----
    // Appends a sensor, marked in use until the next PARSEUSED.
    TSensor& AppendSensor(std::unique_ptr<TSensor> sensor);

    // ---- reading slots ----
    void BuildReadingSlots() { Slots.BuildReadingSlots(Sensors); }
    void AutoAssociate() { Slots.AutoAssociate(Sensors); }
    void PARSEUSED() {
        Slots.PARSEUSED(Sensors, SensorInUse, LayoutMetrics, Log, DutyEdits);
        if (Window) Window->ShowReadingRows();
    }
    void RefreshPwmEdits() { Slots.RefreshPwmEdits(Sensors, DutyEdits); }
    // The statistics of entry Index (1-based) of TempOrder.
    const TValueStats& GetUsedTempStats(int index) const;

    // ---- sensors file and fan control ----
    std::string SensorsFilePath() const;
    bool SaveSensorsConfig();
    bool LOADASSOCIATIONS(const std::string& fileName, bool propertiesOnly, bool loadEvents);
    void LoadFineTunedAssociations();
    // The fan step of the main tick; the votes are the trend arrows.
    TFanVotes RunFanLogic();
    // Sensors that feed fan control, read every tick whether shown or not.
    std::vector<bool> FanControlSensors();

    // ---- options and command line ----
    bool LoadParams(const std::string& fileName, bool secondPass);
    bool SaveParams(bool withClock);
    void ParseCommandLine(const std::vector<std::string>& params) { ::ParseCommandLine(params, ScanFlags); }

    // ---- daily log and xAP ----
    void UpdateSharedReadings() { ::UpdateSharedReadings(SharedMem, Slots, Sensors); }
    void WriteLogLine() { ReadingLog.WriteLogLine(Slots, Sensors, Log); }
    void MaintainLogs() { ReadingLog.MaintainLogs(Log); }
    void SendXapStatus() { ReadingLog.SendXapStatus(Xap, TickDividers); }

    // ---- log events handed to sensors and links ----
    TSensorLogEvent SensorLogEvent();
    TLinkLogEvent LinkLogEvent();
    // What link registration takes from the window: "DebugMode=" as it is
    // now, the link log event and the sinks.
    TLinkRegistration LinkRegistration();
    // What host discovery takes from the window: sinks, options, switches,
    // the board identity, the hint dialog, the factory and the card services.
    TLinkScanContext LinkScanContext();
    // Registers the ISA and PCI buses, the chipset's SMBus hosts and the
    // graphics cards' I2C buses.
    void DetectLinks();

    // ---- links of the global list ----
    // Index of the last link whose base address is Address; -1 when none or
    // Address is negative.
    int FindLinkByAddress(int address) const;
    // The first SMBus link, or none.
    TLink* FirstSMBusLink() const;

    // ---- display ----
    double TempToDisplay(double celsius) const { return ::TempToDisplay(celsius, Options.UseCelsius); }
    std::string FormatTemp(double celsius) const { return ::FormatTemp(celsius, Options.UseCelsius); }
    // nullopt: the control keeps its own hint.
    std::optional<TReadingHint> ShowReadingHint(const std::string& controlName,
                                                const std::vector<double>& cpuLoads) const;
    bool ShowHintDialog(const std::string& title, const std::string& text, bool allowNeverAgain);
    bool IsBeta() const { return ::IsBeta(Caption); }
    // A disk sensor read its S.M.A.R.T. data; fitness is nullopt until the
    // first successful read.
    void SmartHasRefreshed(const TSensor& disk, int driveNumber, std::optional<double> fitness);
    // Whether a disk sensor of the list has exactly these identity strings.
    bool IsSmartDriveKnown(const std::string& model, const std::string& firmware, const std::string& serial) const;

    std::string OptionsFilePath() const;

private:
    std::string programFile_;  // the running program, as the command line names it

    void SaveInitialStates();
    void ReadFirstSamples();
    void DetectHardware();
    void PrepareSensors();
    void CreateTimers();
    void OpenSharedBlock();
    TOptionsContext OptionsContext();
    TSensorsFileContext SensorsFileContext();
    TFanControlContext FanControlContext();
    const TValueStats* OrderedStats(TReadingKind kind, const std::vector<int>& order, int row) const;

    std::unique_ptr<TXapSender> ownedXap_;  // last: it reads the readings above
};
