#include "core/cvmaindialogs.h"

#include <QCheckBox>
#include <QMessageBox>

namespace {

QString Q(const std::string& text) {
    QString result = QString::fromStdString(text);
    // The model breaks lines with a carriage return.
    result.replace('\r', '\n');
    return result;
}

}  // namespace

void TMessageBoxDialogs::ShowWarning(const std::string& text) { QMessageBox::warning(owner_, "Caldavor", Q(text)); }

void TMessageBoxDialogs::ShowError(const std::string& text) { QMessageBox::critical(owner_, "Caldavor", Q(text)); }

bool TMessageBoxDialogs::RunHintDialog(const THintDialogRequest& request) {
    QMessageBox box(owner_);
    box.setObjectName("DlgShowHint");
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle("Caldavor");
    if (request.Title) {
        box.setText(Q(*request.Title));
        if (request.Text) box.setInformativeText(Q(*request.Text));
    } else if (request.Text) {
        box.setText(Q(*request.Text));
    }
    QCheckBox* neverAgain = nullptr;
    if (request.AllowNeverAgain) {
        neverAgain = new QCheckBox("Do not show this message again", &box);
        neverAgain->setObjectName("CBNeverAgain");
        box.setCheckBox(neverAgain);
    }
    box.exec();
    return neverAgain && neverAgain->isChecked();
}
