#pragma once
// The configuration dialog's working data, without widgets: copies of the
// main window's reading slots, events, options, mail profiles and fan
// controllers, and the values of the tabs' controls. The dialog's widgets
// show this model and forward their changes to it; the exchange fills it
// and reads it back.

#include <cstdint>
#include <string>
#include <vector>

#include "core/cvevents.h"
#include "core/cvfancontrol.h"
#include "core/cvservices.h"
#include "core/cvvars.h"

// The working copy of one reading slot; each kind uses its own fields.
struct TUsedData {
    std::int32_t SensorIndex = -1;
    std::int32_t ReadingIndex = -1;
    bool Active = false;
    bool Logged = false;
    bool Variate = false;
    std::int32_t MinPercent = 0;
    std::int32_t MaxPercent = 0;
    std::int32_t Wanted = 0;
    std::int32_t Warning = 0;
    bool InTray = false;
    std::string Name;
    std::string ChipText;
    std::string ReadingText;
    std::string ValueText;
    std::string BusText;
    std::string AddressText;
    // Temperatures: entry j - 1 drives speed slot j; one entry per speed slot.
    std::vector<bool> ControlsSpeed;
};

// The Options tab, as its controls hold it.
struct TOptionsTab {
    bool FontLarge = false;
    bool Celsius = true;
    std::uint32_t IconBack = 0x1FFFFFFF;
    std::uint32_t IconText = 0xFF0000;
    bool FullOnExit = false;
    bool MinimizeOnClose = false;
    int FanDelta = 10;
    bool DebugMode = true;
    bool DoSummaryLogScan = false;
    bool DellFans = false;
    bool UseISA = true;
    bool UseSMB = true;
    bool StartupHide = false;
    bool ShowStaticIcon = false;
    std::vector<std::string> Languages;
    int LanguageIndex = -1;  // the chosen entry of Languages, -1 none
};

struct TXapTab {
    bool Enabled = false;
    std::string UID = "FF671100";
    std::string HostName = "thispc";
    std::string HostIP = "127.0.0.1";
    std::string BroadcastIP = "127.0.0.1";
};

struct TMailTab {
    TMailProfile Edits;  // the twelve edits and boxes; ProfileName unused
    std::vector<std::string> ProfileNames;
    int Chosen = -1;
    bool Pop3Enabled = false;
    std::string SslInterface = "not found";
    std::vector<std::string> Info;  // the read-only memo
    bool SendEnabled = true;
};

class TDlgConfigModel {
public:
    std::vector<TUsedData> Temps;
    std::vector<TUsedData> Fans;
    std::vector<TUsedData> Speeds;
    std::vector<TUsedData> Volts;
    std::vector<TEventDef> Events;
    int SelectedEvent = -1;
    std::vector<TMailProfile> MailProfiles;
    TFanControllers FanCtrls;
    bool AdvFanSpeed = false;

    TOptionsTab Options;
    TLogOptions Log;
    TProxySettings Proxy;
    TXapTab Xap;
    TMailTab Mail;

    // No change handler writes the working data before the main window has
    // filled it; none reacts while the dialog sets its own controls.
    bool DataReady = false;
    bool Updating = false;

    // TlsText: what the mail sender names as its TLS library, empty when
    // there is no sender.
    void FormCreate(const std::string& tlsText);
    // Stores the mail edits into the chosen profile; never refuses.
    bool FormCloseQuery();

    // ---- Mail tab ----
    void SetPop3Enabled(bool enabled) { Mail.Pop3Enabled = enabled; }
    void CBPriorPOP3Click(bool checked);
    void SyncMailProfile(int index);
};
