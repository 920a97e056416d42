#include "ui/uidialogs.h"

#include "ui/cvdebugsmbus.h"
#include "ui/cvshowhint.h"
#include "ui/uiprompts.h"

void RunMessageBox(TUiPrompts& prompts, QWidget* owner, QMessageBox::Icon icon, const std::string& text) {
    QMessageBox box(icon, "Caldavor", QString::fromStdString(NormalizeLineBreaks(text)), QMessageBox::Ok, owner);
    prompts.RunModal(box);
}

void TUiDialogs::ShowWarning(const std::string& text) { RunMessageBox(prompts_, owner_, QMessageBox::Warning, text); }

void TUiDialogs::ShowError(const std::string& text) { RunMessageBox(prompts_, owner_, QMessageBox::Critical, text); }

bool TUiDialogs::RunHintDialog(const THintDialogRequest& request) {
    TDlgShowHint dialog(owner_);
    dialog.Fill(request);
    prompts_.RunModal(dialog);
    return dialog.NeverAgain();
}

void TUiDialogs::RunModal() {
    TDlgDebugSMBus dialog(monitor_, owner_);
    prompts_.RunModal(dialog);
}
