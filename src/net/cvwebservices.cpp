#include "net/cvwebservices.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "chips/cvsensorssmart.h"
#include "core/cvdetectsensors.h"
#include "core/cvmonitor.h"
#include "core/cvsafefile.h"
#include "core/cvsensorsfile.h"
#include "core/cvtext.h"
#include "core/cvvalueformat.h"
#include "core/cvwebsite.h"
#include "platform/platform.h"
#include "report/base64.h"
#include "report/pvlurl.h"

using cvformat::Format;

namespace {

constexpr const char* DiskReportSite = "http://hdreport.caldavor.example";

std::vector<std::string> AnswerLines(const std::string& answer) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < answer.size()) {
        std::size_t end = answer.find('\n', start);
        if (end == std::string::npos) end = answer.size();
        lines.push_back(answer.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// A value without its trailing CR and LF, then without one trailing "<BR>".
std::string AnswerValue(std::string value) {
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.pop_back();
    constexpr std::string_view tag = "<BR>";
    if (value.size() >= tag.size() && SameText(std::string_view(value).substr(value.size() - tag.size()), tag))
        value.resize(value.size() - tag.size());
    return value;
}

// The value after key when the line holds it (upper-cased comparison).
std::optional<std::string> ValueAfter(const std::string& line, std::string_view key) {
    const auto at = UpperCase(line).find(key);
    if (at == std::string::npos) return std::nullopt;
    return AnswerValue(line.substr(at + key.size()));
}

std::optional<int> ParseInteger(const std::string& text) {
    if (text.empty() || text.size() > 11) return std::nullopt;
    std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (text[0] == '-') value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int>(value);
}

bool LettersAndDigitsOnly(const std::string& text) {
    for (const char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

bool HasEndLine(const std::string& config) {
    std::size_t start = 0;
    while (start <= config.size()) {
        std::size_t end = config.find_first_of("\r\n", start);
        if (end == std::string::npos) end = config.size();
        if (SameText(Trim(std::string_view(config).substr(start, end - start)), "xxx the end")) return true;
        start = end + 1;
    }
    return false;
}

class EConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace

TWebAddresses DefaultWebAddresses() { return {MakerSite, DiskReportSite}; }

// ---- answers ----------------------------------------------------------------

TConfigAnswer ParseConfigAnswer(const std::string& answer) {
    TConfigAnswer result;
    const std::pair<std::string_view, std::string TConfigAnswer::*> keys[] = {
        {"ConfigID=", &TConfigAnswer::ConfigID},   {"ConfigMD5=", &TConfigAnswer::ConfigMD5},
        {"EncodeLen=", &TConfigAnswer::EncodeLen}, {"EncodeMD5=", &TConfigAnswer::EncodeMD5},
        {"ConfigData=", &TConfigAnswer::ConfigData},
    };
    for (const std::string& line : AnswerLines(answer)) {
        if (UpperCase(line).find("TRANSMISSION COMPLETE") != std::string::npos) result.Complete = true;
        if (const auto at = line.find("ERROR="); at != std::string::npos) result.ErrorCode = AnswerValue(line.substr(at + 6));
        for (const auto& [key, field] : keys)
            if (StartsText(key, line)) result.*field = AnswerValue(line.substr(key.size()));
    }
    if (result.Complete) result.ErrorCode.reset();
    return result;
}

std::string ConfigErrorText(const std::optional<std::string>& code) {
    static const std::pair<const char*, const char*> texts[] = {
        {"1", "ticket number not found"}, {"2", "invalid IP"},         {"3", "invalid operation"},
        {"4", "ticket has expired"},      {"5", "error accessing the database"},
    };
    if (!code) return "unknown error (unable to connect?)";
    for (const auto& [number, text] : texts)
        if (*code == number) return text;
    return "unknown error '" + *code + "'";
}

std::string SetOriginalCfgId(std::string config, std::int32_t id) {
    const auto at = UpperCase(config).find("XXX ORIGINALCFGID=");
    if (at != std::string::npos) {
        const auto end = config.find_first_of("\r\n", at);
        config.erase(at, end == std::string::npos ? std::string::npos : end - at);
    }
    if (id != 0) config += Format("\r\nxxx OriginalCfgId=%d\r\n", {id});
    return config;
}

TDiskReportAnswer ParseDiskReportAnswer(const std::string& answer) {
    TDiskReportAnswer result;
    for (const std::string& line : AnswerLines(answer)) {
        if (auto value = ValueAfter(line, "REPORTCODE=")) result.ReportCode = ParseInteger(*value).value_or(-2);
        if (auto value = ValueAfter(line, "REPORTVERIFICATION=")) result.Verification = *value;
        if (auto value = ValueAfter(line, "ANSWER=")) result.Answer = ParseInteger(*value).value_or(-2);
    }
    return result;
}

std::string BuildDiskReport(const TDiskReportFacts& disk) {
    const auto& g = disk.Geometry;
    const std::uint64_t bytes = static_cast<std::uint64_t>(g.cylinders) * g.tracksPerCylinder * g.sectorsPerTrack *
                                g.bytesPerSector;
    std::string size = Format("%.2f", {static_cast<double>(bytes) / 1e9}, cvformat::UserFormat());
    for (char& c : size)
        if (c < '0' || c > '9') c = '.';

    std::string text = "<--HEADER\nversion=1\ninterface=EIDE\n";
    text += "model=" + Trim(disk.Model) + "\nfirmware=" + Trim(disk.Firmware) + "\nserial=" + Trim(disk.Serial) + "\n";
    text += Format("cylinders=%d\ntracksxcyl=%d\nsecsxtrack=%d\nbytesxsec=%d\n",
                   {g.cylinders, g.tracksPerCylinder, g.sectorsPerTrack, g.bytesPerSector});
    text += "sizegb=" + size + "\n";
    text += Format("temperature=%d\n", {static_cast<std::int64_t>(std::nearbyint(disk.Temperature))});
    text += "IDSector=";
    for (const std::uint8_t b : disk.IdentifyPage) text += Format("%.2x", {b});
    text += "\nHEADER-->\n<--SMARTATTRS\n";
    const std::size_t pageEnd = TSmartDisk::EntryOffset(TSmartDisk::PageEntries);
    if (disk.Attributes.size() >= pageEnd && disk.Thresholds.size() >= pageEnd) {
        for (int n = 0; n < TSmartDisk::PageEntries; ++n) {
            const std::size_t at = TSmartDisk::EntryOffset(n);
            const auto e = disk.Attributes.subspan(at, TSmartDisk::EntrySize);
            if (e[0] == 0) continue;
            const unsigned flags = e[1] | e[2] << 8;
            text += Format("%.2x %.2x %.2x %.2x%.2x%.2x%.2x%.2x%.2x %.2x %.4x\n",
                           {e[0], e[3], e[4], e[10], e[9], e[8], e[7], e[6], e[5], disk.Thresholds[at + 1], flags});
        }
    }
    text += "SMARTATTRS-->\n";
    return text;
}

// ---- the buttons ------------------------------------------------------------

// The three web buttons are off from the click to the end of the handler.
class TWebServices::TButtonsOff {
public:
    explicit TButtonsOff(const TButtonSwitch& buttons) : buttons_(buttons) {
        if (buttons_) buttons_(false);
    }
    ~TButtonsOff() {
        if (buttons_) buttons_(true);
    }
    TButtonsOff(const TButtonsOff&) = delete;
    TButtonsOff& operator=(const TButtonsOff&) = delete;

private:
    const TButtonSwitch& buttons_;
};

TWebServices::TWebServices(TMonitor& monitor, TWebDialogs& dialogs, TWebAddresses addresses)
    : monitor_(monitor), dialogs_(dialogs), addresses_(std::move(addresses)) {}

void TWebServices::Post(const std::string& url, const std::string& body, const char* failureIntro) {
    THttpPoster poster;
    poster.OnStateLine = [this](const std::string& line) { monitor_.Log.LogMessageEx(line, false); };
    const THttpAnswer answer = poster.Post(url, body, ProxySettings);
    std::string failure;
    switch (answer.Outcome) {
        case THttpOutcome::ConnectionFailed:
            monitor_.Log.LogMessageEx("HTTP error: " + answer.Error, false);
            dialogs_.ShowWarning("There was an error in the HTTP connection.\rPlease check proxy configuration or "
                                 "try to send again.");
            return;
        case THttpOutcome::AnswerTooLarge: failure = "The answer is larger than 16 MB"; break;
        case THttpOutcome::Delivered:
            switch (httpMode_) {
                case DebugReport: ParseReportAnswer(answer.Body); break;
                case GetConfig: HandleConfigAnswer(answer.Body); break;
                case DiskReport: HandleDiskReportAnswer(answer.Body); break;
            }
            if (answer.Status >= 400) failure = answer.Reason.empty() ? Format("HTTP status %d", {answer.Status}) : answer.Reason;
            break;
    }
    if (!failure.empty())
        dialogs_.ShowWarning(std::string(failureIntro) + failure + "\rPlease report this problem to " + SupportAddress);
}

std::string TWebServices::BuildReportText() {
    dialogs_.ShowReportProgress();
    monitor_.Log.LogMessageEx("Preparing report...", false);
    std::string report;
    try {
        if (BuildReport) report = BuildReport();
    } catch (const std::exception& e) {
        report = std::string("\r\nException building SEND REPORT: <") + e.what() + ">";
    }
    monitor_.Log.LogMessageEx("Report built.", false);
    dialogs_.CloseReportProgress();
    return report;
}

void TWebServices::BTNSendDebugClick() {
    TButtonsOff off(SetWebButtonsEnabled);
    httpMode_ = DebugReport;
    const bool confirmed = dialogs_.RunSendInfo();
    std::string report;
    if (confirmed) report = BuildReportText();
    const std::string email = dialogs_.SendInfoEmail();
    dialogs_.CloseSendInfo();
    if (!confirmed) return;
    const auto notes = dialogs_.RunReportPreview(report);
    if (!notes) return;
    const std::string body = "senderemail=" + UrlEncode(email) + "&cvversion=" + UrlEncode(monitor_.Caption) +
                             "&debugmessage=" + UrlEncode(report) + "&notes=" + UrlEncode(*notes);
    Post(addresses_.MakerSite + "/cvdebug.php", body, "An EXCEPTION has been raised trying to post:\r");
}

void TWebServices::ParseReportAnswer(const std::string& answer) {
    auto& log = monitor_.Log;
    const auto lines = AnswerLines(answer);
    const bool sent = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return UpperCase(line).find("REPORT SENT.") != std::string::npos;
    });
    if (sent) {
        log.LogMessage("Report properly sent!");
        log.LogMessage("Thank you for your support :-)");
        return;
    }
    log.LogMessage("WARNING: error sending report (1)");
    log.LogMessageEx("SEND REPORT answer -->", monitor_.Options.DebugMode);
    for (const std::string& line : lines) log.LogMessageEx("  " + AnswerValue(line), monitor_.Options.DebugMode);
}

void TWebServices::BTNGetConfigClick() {
    TButtonsOff off(SetWebButtonsEnabled);
    httpMode_ = GetConfig;
    const auto ticket = dialogs_.RunGetConfig();
    if (!ticket) return;
    Post(addresses_.MakerSite + "/cvgetconfig.php", Format("TokenID=%d", {*ticket}),
         "An EXCEPTION has been raised trying to get the configuration:\r");
}

void TWebServices::HandleConfigAnswer(const std::string& text) {
    const TConfigAnswer answer = ParseConfigAnswer(text);
    if (!answer.Complete) {
        dialogs_.ShowError(Format("Error receiving configuration (%s)", {ConfigErrorText(answer.ErrorCode)}));
        return;
    }
    try {
        WriteConfiguration(answer);
        dialogs_.ShowInformation("Operation succeeded.\rPlease, restart Caldavor.");
    } catch (const EBase64Error& e) {
        dialogs_.ShowError(Format("Error receiving configuration (%s)", {std::string(e.what())}));
    } catch (const EConfigError& e) {
        dialogs_.ShowError(e.what());
    }
}

void TWebServices::WriteConfiguration(const TConfigAnswer& answer) {
    const std::string config = Base64ToStr(answer.ConfigData);
    if (!SameText(MD5Hex(config), answer.ConfigMD5)) throw EConfigError("Wrong config MD5");
    if (!HasEndLine(config)) throw EConfigError("Invalid configuration data");
    const std::string path = platform::current().programDir() + SensorsFileName;
    const std::string marked = SetOriginalCfgId(config, ParseInteger(answer.ConfigID).value_or(0));
    // The old file is kept beside the new one; failing that, nothing changes.
    std::error_code error;
    if (std::filesystem::exists(path, error)) {
        std::ifstream old(path, std::ios::binary);
        const std::string oldBytes((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
        if (!old || !ReplaceFileContents(path + ".bak", oldBytes))
            throw EConfigError("Unable to write to configuration file");
    }
    if (!ReplaceFileContents(path, marked)) throw EConfigError("Unable to write to configuration file");
}

void TWebServices::BTNQuesselClick() {
    TButtonsOff off(SetWebButtonsEnabled);
    httpMode_ = DiskReport;
    const std::string report = SelectedDiskReport();
    if (report.empty()) return;
    const std::string body = "software=" + UrlEncode(monitor_.Caption) + "&dataversion=" + UrlEncode("1") +
                             "&checksum=" + UrlEncode(LowerCase(MD5Hex(report))) + "&data=" + UrlEncode(report);
    Post(addresses_.DiskReportService + "/hdrepsend.php", body, "An EXCEPTION has been raised trying to post:\r");
}

std::string TWebServices::SelectedDiskReport() {
    if (!monitor_.SmartView) return {};
    const int index = monitor_.SmartView->GetHardDiskSelectedInCB();
    if (index < 0 || static_cast<std::size_t>(index) >= monitor_.Sensors.size()) return {};
    auto* disk = dynamic_cast<TSMARTSensor*>(monitor_.Sensors[static_cast<std::size_t>(index)].get());
    if (!disk) return {};
    TSmartPage attributes, thresholds;
    const bool read = disk->ReadSMART(attributes, thresholds);
    TDiskReportFacts facts{disk->Model(), disk->Firmware(), disk->Serial(), disk->Geometry(), disk->IdentifyPage().bytes,
                           {}, {}, 0};
    if (read) {
        facts.Attributes = attributes.data();
        facts.Thresholds = thresholds.data();
        facts.Temperature = std::max(0.0, GetSMARTTemperature(attributes));
    }
    return BuildDiskReport(facts);
}

void TWebServices::HandleDiskReportAnswer(const std::string& text) {
    TDiskReportAnswer answer = ParseDiskReportAnswer(text);
    if (answer.Answer != 0) {
        dialogs_.ShowError(Format("Error #%d receiving report answer", {answer.Answer}));
        return;
    }
    if (!LettersAndDigitsOnly(answer.Verification)) {
        WriteDebugLog("Disk report verification refused: not only letters and digits");
        answer.Verification.clear();
    }
    if (answer.ReportCode < 0 || answer.Verification.empty()) return;
    TpvlUrl browser;
    browser.Url = addresses_.DiskReportService + Format("/hdrepshowreport.php?ReportCode=%d&ReportVerification=%s",
                                                        {answer.ReportCode, answer.Verification});
    try {
        browser.Execute();
    } catch (const EBrowserError& e) {
        dialogs_.ShowError(e.what());
    }
}
