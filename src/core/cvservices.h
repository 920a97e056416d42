#pragma once
// What the monitoring core needs of the subsystems built on top of it: the
// xAP sender, the language switch, the clock page, the mail profiles and the
// window's modal boxes. They implement these; the core only calls them.

#include <cstdint>
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
