#include "ui/cvshowhint.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/cvservices.h"
#include "ui/uilanguage.h"

std::string NormalizeLineBreaks(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            result += text[i];
        } else {
            result += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        }
    }
    return result;
}

TDlgShowHint::TDlgShowHint(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("DlgShowHint");
    setWindowTitle("Hint");
    auto* layout = new QGridLayout(this);
    info_ = new QLabel("Did you know that...");
    info_->setObjectName("LABInfo");
    info_->setWordWrap(true);
    info_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    info_->setFixedWidth(130);
    layout->addWidget(info_, 0, 0, 2, 1);
    memo_ = new QPlainTextEdit;
    memo_->setObjectName("memo");
    memo_->setReadOnly(true);
    layout->addWidget(memo_, 0, 1);
    neverAgain_ = new QCheckBox("do not show again");
    neverAgain_->setObjectName("CBNeverAgain");
    layout->addWidget(neverAgain_, 1, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Close)->setObjectName("BTNClose");
    layout->addWidget(buttons, 2, 0, 1, 2);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setFixedSize(440, 240);
    if (owner) move(owner->geometry().center() - rect().center());
    FormBuilt("TDlgShowHint", *this);
}

void TDlgShowHint::Fill(const THintDialogRequest& request) {
    if (request.Title && !request.Title->empty())
        info_->setText(QString::fromStdString(NormalizeLineBreaks(*request.Title)));
    if (request.Text && !request.Text->empty())
        memo_->setPlainText(QString::fromStdString(NormalizeLineBreaks(*request.Text)));
    allowNeverAgain_ = request.AllowNeverAgain;
    neverAgain_->setVisible(allowNeverAgain_);
}

bool TDlgShowHint::NeverAgain() const { return allowNeverAgain_ && neverAgain_->isChecked(); }
