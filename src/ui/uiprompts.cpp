#include "ui/uiprompts.h"

#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "ui/qtext.h"

int TQtPrompts::RunModal(QDialog& dialog) { return dialog.exec(); }

void TQtPrompts::ShowMessage(QWidget* parent, const std::string& text) {
    QMessageBox::information(parent, QApplication::applicationName(), Q(text));
}

std::optional<std::string> TQtPrompts::InputBox(QWidget* parent, const std::string& caption,
                                                const std::string& prompt, const std::string& initial) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, Q(caption), Q(prompt), QLineEdit::Normal, Q(initial), &ok);
    if (!ok) return std::nullopt;
    return text.toStdString();
}

int TScriptedPrompts::RunModal(QDialog& dialog) {
    ++ModalRuns;
    dialog.show();
    const int result = OnModal ? OnModal(dialog) : Rejected;
    dialog.hide();
    dialog.setResult(result);
    return result;
}

void TScriptedPrompts::ShowMessage(QWidget*, const std::string& text) { Messages.push_back(text); }

std::optional<std::string> TScriptedPrompts::InputBox(QWidget*, const std::string&, const std::string& prompt,
                                                      const std::string&) {
    return OnInput ? OnInput(prompt) : std::nullopt;
}
