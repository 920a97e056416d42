#include "ui/cvreportprogress.h"
#include "ui/uilanguage.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QVBoxLayout>

TDlgReportProgress::TDlgReportProgress(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("DlgReportProgress");
    setWindowTitle("Building report...");
    setFixedSize(420, 300);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    list_ = new QListWidget;
    list_->setObjectName("lb");
    layout->addWidget(list_);
    if (owner) move(owner->geometry().center() - rect().center());
    FormBuilt("TDlgReportProgress", *this);
}

void TDlgReportProgress::AddLine(const std::string& line) {
    list_->addItem(QString::fromStdString(line));
    list_->scrollToBottom();
}

void TDlgReportProgress::InsertFirst(const std::string& text) { list_->insertItem(0, QString::fromStdString(text)); }

void TDlgReportProgress::ReplaceFirst(const std::string& text) {
    if (list_->count() == 0)
        InsertFirst(text);
    else
        list_->item(0)->setText(QString::fromStdString(text));
}

void TDlgReportProgress::ProcessMessages() { QCoreApplication::processEvents(); }
