#pragma once
// The diagnostic report: one plain text of lines and sections, built on the
// GUI thread while the progress dialog shows each step. The window and the
// "Send Info" answers come in through plain interfaces, so the builder runs
// without dialogs.

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/cvformat.h"

class TMonitor;

// "Building report...": the progress list, newest step first.
class TReportProgress {
public:
    virtual ~TReportProgress() = default;
    virtual void InsertFirst(const std::string& text) = 0;
    virtual void ReplaceFirst(const std::string& text) = 0;
    // One pass over the window's pending events, so the dialog repaints.
    virtual void ProcessMessages() = 0;
};

// What the report reads of the main window.
class TReportWindow {
public:
    virtual ~TReportWindow() = default;
    virtual std::string Caption() const = 0;
    // The whole command line of the process, program path included.
    virtual std::string CommandLine() const = 0;
    virtual std::string EDChipSet() const = 0;
    virtual std::string EDSMBBase() const = 0;
    virtual std::string EDSMBRev() const = 0;
    virtual bool CBSMBIOEnabled() const = 0;
    // The memos' whole texts, lines separated by CR LF.
    virtual std::string InfoText() const = 0;
    virtual std::string DebugInfoText() const = 0;
    virtual std::string DimmInfoText() const = 0;
    virtual int TrayIconWidth() const { return 16; }
    virtual int TrayIconHeight() const { return 16; }
};

enum class TFanAnswer { None, Yes, No, DontKnow };

// The "Send Info" dialog's answers.
struct TPostAnswers {
    std::string Email;
    std::string MBModel;
    bool OkForBetaVersions = false;
    TFanAnswer CanChange = TFanAnswer::None;
    TFanAnswer Smoothly = TFanAnswer::None;
    TFanAnswer CanStop = TFanAnswer::None;
};

// The text being built, and the progress list it reports to.
class TReport {
public:
    explicit TReport(TReportProgress& progress) : progress_(progress) {}

    // Count CR LF pairs, then Text.
    void AddReportLine(const std::string& text, int count = 1);
    void AddReportSection(const std::string& title);
    void ReportProgressStart(const std::string& text);
    void ReportProgressDone(const std::string& text);

    const std::string& Text() const { return text_; }
    void Clear() { text_.clear(); }

private:
    TReportProgress& progress_;
    std::string text_;
};

// The report's pictures, numbers in the invariant format.
std::string ReportFormat(std::string_view picture, std::initializer_list<cvformat::FormatArg> args);
std::string TrimTrailingBlanks(std::string text);
std::string OnOffText(bool flag);
// "YES", "NO", "DON'T KNOW", or nothing when no button is selected.
std::string FanAnswerText(TFanAnswer answer);
// "%d days %.2d:%.2d:%.2d"
std::string UptimeText(long long seconds);
// Runs body; a failure becomes the line "!!!Exception in <title>!!! --> <message>".
void GuardedSection(TReport& report, const std::string& title, const std::function<void()>& body);

struct TReportContext {
    TMonitor& Monitor;
    const TReportWindow& Window;
    TReportProgress& Progress;
    TPostAnswers Answers;
};

// The whole report; what the "Send report" post sends.
std::string BuildDebugReport(TReportContext& context);
