#pragma once
// The three web buttons: the diagnostic report to the maker's site, a ready
// configuration by ticket from it, and a disk's S.M.A.R.T. data to the
// disk-report service, whose result page then opens in the browser.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/cvsmartdisk.h"
#include "core/cvvars.h"
#include "platform/diskctl.h"
#include "net/httppost.h"

class TMonitor;

// The maker's site and the disk-report service; tests point them at loopback.
struct TWebAddresses {
    std::string MakerSite;
    std::string DiskReportService;
};
TWebAddresses DefaultWebAddresses();

// The dialogs and boxes of the web buttons; ui/ shows the real ones.
class TWebDialogs {
public:
    virtual ~TWebDialogs() = default;
    // The proxy groups show ProxySettings.
    // "Send Info", modal; false when cancelled. It stays open, for the
    // report builder to read, until CloseSendInfo.
    virtual bool RunSendInfo() = 0;
    virtual std::string SendInfoEmail() = 0;
    virtual void CloseSendInfo() = 0;
    // The progress dialog, not modal, with the hourglass cursor.
    virtual void ShowReportProgress() = 0;
    virtual void CloseReportProgress() = 0;
    // "Report Preview"; the notes when the user chose to send.
    virtual std::optional<std::string> RunReportPreview(const std::string& report) = 0;
    // "Get config"; the validated ticket when confirmed.
    virtual std::optional<std::int64_t> RunGetConfig() = 0;
    virtual void ShowWarning(const std::string& text) = 0;
    virtual void ShowError(const std::string& text) = 0;
    virtual void ShowInformation(const std::string& text) = 0;
};

// ---- answers ----------------------------------------------------------------

struct TConfigAnswer {
    bool Complete = false;
    std::optional<std::string> ErrorCode;
    std::string ConfigID, ConfigMD5, EncodeLen, EncodeMD5, ConfigData;
};
TConfigAnswer ParseConfigAnswer(const std::string& answer);
// The text of an incomplete transfer's error code.
std::string ConfigErrorText(const std::optional<std::string>& code);
// Empties an "xxx OriginalCfgId=" line and, for an id other than 0, appends one.
std::string SetOriginalCfgId(std::string config, std::int32_t id);

struct TDiskReportAnswer {
    int ReportCode = -1;
    int Answer = -1;
    std::string Verification;
};
TDiskReportAnswer ParseDiskReportAnswer(const std::string& answer);

// What the disk report says of a disk.
struct TDiskReportFacts {
    std::string Model, Firmware, Serial;
    platform::disk::DiskGeometry Geometry{};
    std::span<const std::uint8_t> IdentifyPage;  // 528 bytes
    // The fresh pages; none when the read failed.
    std::span<const std::uint8_t> Attributes, Thresholds;
    double Temperature = 0;
};
std::string BuildDiskReport(const TDiskReportFacts& disk);

// ---- the buttons ------------------------------------------------------------

class TWebServices {
public:
    enum THttpMode : std::uint8_t { DebugReport = 0, GetConfig = 1, DiskReport = 2 };
    // The diagnostic report's text; may throw.
    using TReportBuilder = std::function<std::string()>;
    using TButtonSwitch = std::function<void(bool enabled)>;

    TWebServices(TMonitor& monitor, TWebDialogs& dialogs, TWebAddresses addresses = DefaultWebAddresses());

    TReportBuilder BuildReport;
    TButtonSwitch SetWebButtonsEnabled;

    void BTNSendDebugClick();
    void BTNGetConfigClick();
    void BTNQuesselClick();
    THttpMode HttpMode() const { return httpMode_; }

private:
    class TButtonsOff;
    std::string BuildReportText();
    // Posts and hands a delivered answer to the mode's parser; warns on failures.
    void Post(const std::string& url, const std::string& body, const char* failureIntro);
    void ParseReportAnswer(const std::string& answer);
    void HandleConfigAnswer(const std::string& answer);
    void WriteConfiguration(const TConfigAnswer& answer);
    void HandleDiskReportAnswer(const std::string& answer);
    std::string SelectedDiskReport();

    TMonitor& monitor_;
    TWebDialogs& dialogs_;
    TWebAddresses addresses_;
    THttpMode httpMode_ = DebugReport;
};
