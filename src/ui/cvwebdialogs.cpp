#include "ui/cvwebdialogs.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "ui/cvdlggetconfig.h"
#include "ui/cvdlgpost.h"
#include "ui/cvreportpreview.h"
#include "ui/cvreportprogress.h"
#include "ui/uidialogs.h"
#include "ui/uiprompts.h"

TUiWebDialogs::TUiWebDialogs(THelpLink& help, TUiPrompts& prompts, QWidget* owner)
    : help_(help), prompts_(prompts), owner_(owner) {}

TUiWebDialogs::~TUiWebDialogs() = default;

bool TUiWebDialogs::RunSendInfo() {
    sendInfo_ = std::make_unique<TDlgPost>(help_, owner_);
    return prompts_.RunModal(*sendInfo_) == TUiPrompts::Accepted;
}

std::string TUiWebDialogs::SendInfoEmail() {
    return sendInfo_ ? sendInfo_->EDEmail().text().toStdString() : std::string();
}

void TUiWebDialogs::CloseSendInfo() { sendInfo_.reset(); }

void TUiWebDialogs::ShowReportProgress() {
    progress_ = std::make_unique<TDlgReportProgress>(owner_);
    progress_->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TUiWebDialogs::CloseReportProgress() {
    if (!progress_) return;
    QApplication::restoreOverrideCursor();
    progress_.reset();
}

std::optional<std::string> TUiWebDialogs::RunReportPreview(const std::string& report) {
    TDlgReportPreview preview(owner_);
    preview.EDReport().setPlainText(QString::fromStdString(report));
    if (prompts_.RunModal(preview) != TUiPrompts::Accepted) return std::nullopt;
    return preview.EDNotes().toPlainText().toStdString();
}

std::optional<std::int64_t> TUiWebDialogs::RunGetConfig() {
    TDlgGetConfig dialog(owner_);
    if (prompts_.RunModal(dialog) != TUiPrompts::Accepted) return std::nullopt;
    const std::int64_t ticket = TicketNumber(dialog.EDTicket().text().toStdString());
    if (ticket <= 0) return std::nullopt;
    return ticket;
}

void TUiWebDialogs::ShowWarning(const std::string& text) {
    RunMessageBox(prompts_, owner_, QMessageBox::Warning, text);
}

void TUiWebDialogs::ShowError(const std::string& text) { RunMessageBox(prompts_, owner_, QMessageBox::Critical, text); }

void TUiWebDialogs::ShowInformation(const std::string& text) {
    RunMessageBox(prompts_, owner_, QMessageBox::Information, text);
}
