// What the main window gives the diagnostic report, and its "Read info" button.

#include <QPlainTextEdit>
#include <QPushButton>

#include "core/cvmain.h"
#include "core/cvmainreadings.h"
#include "report/cvdimminfo.h"

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
