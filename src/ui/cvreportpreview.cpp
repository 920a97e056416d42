#include "ui/cvreportpreview.h"
#include "ui/cvcontrolbinder.h"
#include "ui/uilanguage.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace {

QWidget* Captioned(const char* labelName, const char* caption, QPlainTextEdit* memo) {
    auto* pane = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Named(labelName, new QLabel(caption)));
    layout->addWidget(memo, 1);
    return pane;
}

}  // namespace

TDlgReportPreview::TDlgReportPreview(QWidget* owner) : QDialog(owner), storage_(*this, "TDlgReportPreview") {
    setObjectName("DlgReportPreview");
    setWindowTitle("Report Preview");
    resize(600, 480);
    auto* layout = new QVBoxLayout(this);
    report_ = new QPlainTextEdit;
    report_->setObjectName("EDReport");
    report_->setReadOnly(true);
    notes_ = new QPlainTextEdit;
    notes_->setObjectName("EDNotes");
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->setObjectName("Splitter1");
    splitter->addWidget(Captioned("LABReport", "  This is the message that will be sent:", report_));
    splitter->addWidget(Captioned("LABNotes", "  You can send some additional notes using the box below:", notes_));
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("BTNCancel");
    buttons->addButton("Send", QDialogButtonBox::AcceptRole)->setObjectName("BTNSend");
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    storage_.KeepSizeAndState = true;
    if (owner) move(owner->geometry().center() - rect().center());
    storage_.Restore();
    FormBuilt("TDlgReportPreview", *this);
}

void TDlgReportPreview::done(int result) {
    storage_.Save();
    QDialog::done(result);
}
