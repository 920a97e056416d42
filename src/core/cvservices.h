#pragma once
// What the monitoring core needs of the subsystems built on top of it: the
// xAP sender, the language switch, the clock page, the mail profiles, the
// window's modal boxes, the window itself and its timers, the processor and
// clock sources, signatures, WMI and sensor detection. They implement these;
// the core only calls them.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// ---- xAP ------------------------------------------------------------------

struct TXapSettings {
    bool Enabled = false;
    std::uint32_t UID = 0xFF671100;
    std::string HostName;
    std::string HostIP;
    std::string BroadcastIP;

    bool operator==(const TXapSettings&) const = default;
};

class TXapSender {
public:
    virtual ~TXapSender() = default;
    virtual TXapSettings Settings() const = 0;
    virtual void SetSettings(const TXapSettings& settings) = 0;
    // One datagram to the broadcast address.
    virtual void Broadcast(const std::string& msg) = 0;
    // The "PC.status" message of the current readings.
    virtual std::string BuildPCStatusMessage(int selection) = 0;
};

class TMonitor;
// Makes the running program's xAP sender, which reads the monitor's readings.
using TXapSenderFactory = std::function<std::unique_ptr<TXapSender>(TMonitor& monitor)>;

// ---- localisation -----------------------------------------------------------

class ELanguageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TLanguageDispatcher {
public:
    virtual ~TLanguageDispatcher() = default;
    // Throws ELanguageError for a name the dispatcher does not know.
    virtual void SetLanguage(const std::string& name) = 0;
    // What the configuration dialog lists and selects: the names, and the
    // active language's number (1-based).
    virtual std::vector<std::string> LanguageNames() const = 0;
    virtual int ActiveLanguageNumber() const = 0;
    virtual void SetActiveLanguageNumber(int number) = 0;
};

// ---- clock page -------------------------------------------------------------

enum class TClockList { Vendor, Model, Low, High };
enum class TClockThreshold { LowCPUUsage, HighCPUUsage, LowCPUTime, HighCPUTime };

struct TClockSettings {
    std::string Vendor;
    std::string Model;
    std::string Low;
    std::string High;
    int LowCPUUsage = 10;
    int HighCPUUsage = 40;
    int LowCPUTime = 10;
    int HighCPUTime = 4;
    bool AutoClockSet = false;

    bool operator==(const TClockSettings&) const = default;
};

class TClockControls {
public:
    virtual ~TClockControls() = default;
    // The clock generator can be used (its check box is visible).
    virtual bool ClockGenUsable() const = 0;
    virtual TClockSettings Current() const = 0;
    // Selects the entry with exactly that text, none when absent; the vendor
    // and model lists then fill the lists that depend on them.
    virtual void SelectEntry(TClockList list, const std::string& text) = 0;
    virtual void SetThreshold(TClockThreshold which, int value) = 0;
    virtual void SetAutoClockSet(bool value) = 0;
    // The clock mode of the CPU-load switching (0 none, 1 low, 3 high) and
    // the two clocks a resume sets again.
    virtual int ClockMode() const { return 0; }
    virtual void SetLowSpeedMode() {}
    virtual void SetHighSpeedMode() {}
};

// ---- mail profiles ----------------------------------------------------------

struct TMailProfile {
    std::string ProfileName;
    std::string SmtpUser;
    std::string SmtpPassword;
    std::string SmtpHost;
    std::string SmtpPort;
    std::string MailFrom;
    std::string MailTo;
    bool AutoTLS = false;
    bool PopBeforeSmtp = false;
    std::string PopUser;
    std::string PopPassword;
    std::string PopHost;
    std::string PopPort;

    bool operator==(const TMailProfile&) const = default;
};

extern std::vector<TMailProfile> MailProfileList;

// ---- modal boxes of the main window -----------------------------------------

struct THintDialogRequest {
    std::optional<std::string> Title;  // the label, when there is one
    std::optional<std::string> Text;   // the memo, when there is one
    bool AllowNeverAgain = false;      // show the "do not show again" box
};

class TDialogs {
public:
    virtual ~TDialogs() = default;
    virtual void ShowWarning(const std::string& text) = 0;
    virtual void ShowError(const std::string& text) = 0;
    // Shows the hint dialog modally; answers whether "do not show again" is checked.
    virtual bool RunHintDialog(const THintDialogRequest& request) = 0;
};

// ---- S.M.A.R.T. page and disk tiles -----------------------------------------

class TSmartView {
public:
    virtual ~TSmartView() = default;
    // The sensor index of the disk chosen on the page, or -1.
    virtual int GetHardDiskSelectedInCB() = 0;
    virtual void UpdateSmartPage(bool force) = 0;
    // Writes the value label of the disk tile of that drive, when there is one.
    virtual void SetDiskTileText(int driveNumber, const std::string& text) = 0;
};

// ---- free-layout tiles and the chart (the exotics and charts pages) ---------

// The reading kinds the window shows in labels and tiles.
enum class TDisplayKind { Temp, Fan, Volt };

class TTiles {
public:
    virtual ~TTiles() = default;
    // The value label of the tile of that class bound to that slot; nothing
    // when no such tile exists.
    virtual void SetReadingTileText(TDisplayKind kind, int slotIndex, const std::string& text) = 0;
    // Tiles known by name in PanSamples ("SCFrequency", "SCBattery").
    virtual bool HasTile(const std::string& name) const = 0;
    virtual void SetTileText(const std::string& name, const std::string& text) = 0;
    // Clears the tile's image and draws cell n of its picture strip.
    virtual void SetTilePicture(const std::string& name, int cell) = 0;
    // The trend arrow (cell 0-3) of the temperature tile bound to that slot.
    virtual void SetTrendPicture(int /*slotIndex*/, int /*cell*/) {}
};

class TCharts {
public:
    virtual ~TCharts() = default;
    // Repaints PBChart when the charts page is the active tab of a window
    // that is not minimised; may raise.
    virtual void RepaintIfShown() = 0;
};

// ---- timers -----------------------------------------------------------------

// One periodic timer. It never fires while disabled; enabling it starts a
// fresh interval.
class TTimer {
public:
    virtual ~TTimer() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    virtual int Interval() const = 0;  // milliseconds
};

// Makes the window's timers: QTimers in the window, the platform clock in
// tests and window-free runs. Ticks run on the GUI thread.
class TTimerService {
public:
    virtual ~TTimerService() = default;
    virtual std::unique_ptr<TTimer> CreateTimer(int intervalMs, std::function<void()> onTick) = 0;
};

// ---- the main window --------------------------------------------------------

// Messages the window posts to itself; each is queued and later handed to
// TMonitor::HandleMessage with its parameters.
constexpr int WM_USER = 0x0400;
enum TWindowMessage : int {
    WM_DEFERRED_STARTUP = WM_USER,        // the second stage of start-up
    WM_EXTERNAL_COMMAND = WM_USER + 1,    // a command from another program
    WM_CPU_CLOCK = WM_USER + 2,           // measure the processor clock
    WM_POWER_STATUS = WM_USER + 3,        // battery and AC state
    WM_CHART_SERIES = WM_USER + 4,        // the chart page's series list
    WM_MINIMIZE = WM_USER + 5,            // minimise instead of closing
    WM_POWERBROADCAST = 0x0218,           // the system's power events
};

// The clock page's lists that start-up fills.
enum class TClockCombo { Clock, Vendor, Model };

// What the start-up, the actions and the shutdown ask of the window itself
// (balloons go through the platform's desktop). The widget steps have empty
// defaults: a window-free run has nothing to do there.
class TMainWindow {
public:
    virtual ~TMainWindow() = default;
    // Queues Msg to the window; the loop hands it back later, never at once.
    virtual void PostMessage(int msg, std::intptr_t wParam = 0, std::intptr_t lParam = 0) = 0;
    // Minimises the application; with a tray the window hides there.
    virtual void Minimize() = 0;
    // Shows, restores and raises the window, without storing its position meanwhile.
    virtual void Restore() = 0;
    // Asks the window to close; TMonitor::FormClose decides whether it does.
    virtual void Close() = 0;
    virtual void DisableTrayIcon() = 0;
    // The state of the check box CBAutoFanSpeed.
    virtual bool AutoFanSpeedChecked() const = 0;

    // FormCreate: bind the readings rows, select the first chart element,
    // remember the S.M.A.R.T. column widths, prepare the tray icon's work
    // bitmap and static icon, show the first page.
    virtual void PrepareControls() {}
    virtual void ClearClockLabels() {}
    virtual void SetClockItems(TClockCombo /*combo*/, const std::vector<std::string>& /*items*/) {}
    virtual void SetupCPULoadPanel() {}
    virtual void InstallHintHandler() {}
    virtual void SetupChart() {}
    // PARSEUSED has laid out the readings page: show its rows with the
    // newest readings.
    virtual void ShowReadingRows() {}
    // The text of LABRealCPUSpeed.
    virtual void ShowCpuSpeed(const std::string& /*text*/) {}
    // Drops every cached value icon of the tray, so the next tick draws and
    // sets the icon again (the tray's colours, strip or unit changed).
    virtual void FreeTrayIcons() {}
    // The main tick's tray steps: the hint (at most 255 characters) and the
    // value icon; each may raise.
    // The value label of display row Row (1-based) of that kind.
    virtual void SetReadingLabel(TDisplayKind /*kind*/, int /*row*/, const std::string& /*text*/) {}
    // The trend arrow (cell 0-3) beside temperature row 1-9.
    virtual void SetTrendArrow(int /*row*/, int /*cell*/) {}
    virtual void SetTrayHint(const std::string& /*hint*/) {}
    virtual void UpdateTrayIcon() {}
    // Builds the exotics panel's boxes again when it owns any.
    virtual void RebuildExoticFrames() {}
};

// The SMBus debug dialog of "/SMBDEBUG", run modally.
class TSMBusDebugDialog {
public:
    virtual ~TSMBusDebugDialog() = default;
    virtual void RunModal() = 0;
};

// ---- processor and clock sources --------------------------------------------

struct TProcessorInfo {
    bool HasTSC = false;
    bool IsIntel = false;
    std::string Name;
};

struct TCpuSamplerError {
    int Code = 0;
    std::string Text;
};

// Each slot is filled by app/ once its source exists; an empty slot is a
// service not available in this build.
struct TCpuServices {
    std::function<int()> GetCpuThreadSyncCycles;
    // Processor CpuIndex's features, vendor and name; may raise.
    std::function<TProcessorInfo(int cpuIndex)> ProcessorInfo;
    // Installs the MSR reader of the processor sources.
    std::function<void(std::function<std::uint64_t(std::uint32_t msr)> reader)> SetMsrReader;
    // MHz over that many milliseconds.
    std::function<double(int milliseconds)> MeasureCpuClock;
    // The CPU-usage sampler's start-up error; Code 0 means none.
    std::function<TCpuSamplerError()> SamplerError;
};

// One row of the clock-generator tables: state 1 or 2 is offered.
struct TClockTableRow {
    std::string Vendor;
    std::string Model;
    std::uint8_t State = 0;
};

struct TClockTables {
    std::vector<TClockTableRow> ClockChips;
    std::vector<TClockTableRow> Boards;
};

// ---- file signatures and WMI ------------------------------------------------

struct TSignatureCheck {
    bool Checked = false;  // false: the system cannot check signatures
    bool Trusted = false;
    // The subject names of every certificate of every signature.
    std::vector<std::string> CertificateSubjects;
};

using TSignatureCheckSlot = std::function<TSignatureCheck(const std::string& fileName)>;
// One property of the last object the query answers; raises on failure.
using TWmiQueryValue =
    std::function<std::string(const std::string& nameSpace, const std::string& query, const std::string& property)>;

// ---- sensor detection -------------------------------------------------------

// What one detection run hands its probes; defined by the detection subsystem.
struct TDetectionContext;

using TSourceProbe = std::function<void(TDetectionContext& context)>;
using TLinkProbe = std::function<void(TDetectionContext& context, int linkIndex)>;

// The steps of the detection order, each filled by app/ as its source lands.
struct TDetectionSteps {
    // On link 0, before anything else.
    TSourceProbe CheckDellSupport;
    TSourceProbe ProbeSuperIONew;
    TSourceProbe ProbeSuperIO;
    // Per link.
    std::function<bool(TDetectionContext& context, int linkIndex)> IsISAPort290Unused;
    std::function<void(TDetectionContext& context, int linkIndex, std::uint32_t address)> ProbeSmbusAddress;
    TLinkProbe ProbeSiS5595DAM;
    TLinkProbe ProbeALiM1535;
    TLinkProbe ProbeVIAHardwareMonitor;
    TLinkProbe ProbeICHSlaveAddress;
    // After the last link of the list.
    TSourceProbe ActivateWinbondMonitorIfMissing;
    TSourceProbe HandleSpecialBoardTrap1;
    // The sources after the links, in the detection order.
    TSourceProbe ProbeIntelQST;
    TSourceProbe ProbeIntelFBDimm;
    TSourceProbe ProbeToshiba;
    TSourceProbe ProbeArecaRAID;
    TSourceProbe ProbeAMCC;
    TSourceProbe ProbeAdvancedSMART;
    TSourceProbe ProbeCSMISMART;
    TSourceProbe ProbeClassicSMART;
    TSourceProbe ProbeSCSI;
    TSourceProbe ProbeUGuru;
    TSourceProbe ProbeACPI;
    TSourceProbe ProbeATK0110New;
    TSourceProbe ProbeATIADL;
    TSourceProbe ProbeAMDInternalSensors;
    TSourceProbe ProbeIntelInternalSensors;
    TSourceProbe ProbeNVControlPanel;
    TSourceProbe ProbeDummySensors;
    // At exit.
    std::function<void()> FreeArecaRAID;
};

// One detection run: the engine and the factory, alive while it lives.
class TDetectionRun {
public:
    virtual ~TDetectionRun() = default;
    virtual TDetectionContext& Context() = 0;
};

class TDetectionServices {
public:
    virtual ~TDetectionServices() = default;
    virtual std::unique_ptr<TDetectionRun> BeginDetection() = 0;
};
