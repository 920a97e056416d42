#include "ui/cvreportprogress.h"

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
}

void TDlgReportProgress::AddLine(const std::string& line) {
    list_->addItem(QString::fromStdString(line));
    list_->scrollToBottom();
}
