// What the main window gives the diagnostic report, its "Read info" button
// and its web buttons.

#include <QPlainTextEdit>
#include <QPushButton>

#include <utility>

#include "core/cvmain.h"
#include "core/cvmainreadings.h"
#include "report/cvdimminfo.h"
#include "ui/cvdlgpost.h"
#include "ui/cvreportprogress.h"
#include "ui/cvwebdialogs.h"

namespace {

// Memo texts as the report carries them: lines separated by CR LF.
std::string MemoText(const QPlainTextEdit& memo) {
    const std::string text = memo.toPlainText().toStdString();
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return crlf;
}

class TDimmInfoBox : public TDimmInfoView {
public:
    TDimmInfoBox(QPushButton& button, QPlainTextEdit& memo) : button_(button), memo_(memo) {}
    void SetButtonEnabled(bool enabled) override { button_.setEnabled(enabled); }
    void SetLines(const std::vector<std::string>& lines) override {
        memo_.clear();
        for (const std::string& line : lines) memo_.appendPlainText(QString::fromStdString(line));
    }

private:
    QPushButton& button_;
    QPlainTextEdit& memo_;
};

}  // namespace

std::string TForm1::InfoText() const { return MemoText(readings_->InfoMemo()); }

std::string TForm1::DebugInfoText() const { return MemoText(*debugInfo_); }

std::string TForm1::DimmInfoText() const { return MemoText(*dimmInfo_); }

void TForm1::BTNDimmInfoClick() {
    TDimmInfoBox box(*dimmInfoButton_, *dimmInfo_);
    ::BTNDimmInfoClick(box, monitor_.Board);
}

void TForm1::SetPrompts(TUiPrompts& prompts) {
    prompts_ = &prompts;
    WireWebServices();
}

void TForm1::SetWebAddresses(TWebAddresses addresses) {
    webAddresses_ = std::move(addresses);
    WireWebServices();
}

// The web dialogs answer through the window's prompts, so both are rebuilt
// whenever those change.
void TForm1::WireWebServices() {
    web_.reset();
    webDialogs_ = std::make_unique<TUiWebDialogs>(monitor_.Help, *prompts_, this);
    web_ = std::make_unique<TWebServices>(monitor_, *webDialogs_, webAddresses_);
    web_->SetWebButtonsEnabled = [this](bool enabled) { SetWebButtonsEnabled(enabled); };
    web_->BuildReport = [this] {
        // The service shows the progress dialog and keeps "Send Info" open while it builds.
        const TDlgPost* post = webDialogs_->SendInfo();
        TReportContext context{monitor_, *this, *webDialogs_->Progress(), post ? post->Answers() : TPostAnswers{}};
        return BuildDebugReport(context);
    };
}

void TForm1::ConnectWebButtons() {
    connect(sendDebugButton_, &QPushButton::clicked, this, [this] { web_->BTNSendDebugClick(); });
    connect(getConfigButton_, &QPushButton::clicked, this, [this] { web_->BTNGetConfigClick(); });
    connect(findChild<QPushButton*>("BTNQuessel"), &QPushButton::clicked, this, [this] { web_->BTNQuesselClick(); });
}

void TForm1::SetWebButtonsEnabled(bool enabled) {
    for (const char* name : {"BTNSendDebug", "BTNGetConfig", "BTNQuessel"})
        findChild<QPushButton*>(name)->setEnabled(enabled);
}
