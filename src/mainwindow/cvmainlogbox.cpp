#include "mainwindow/cvmainlogbox.h"

QPlainTextEdit* MakeLogMemo(const QString& objectName, QWidget* parent) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(objectName);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The oldest lines go first once the box is full.
    memo->setMaximumBlockCount(static_cast<int>(TLogBoxes::MaxLines));
    return memo;
}

void TWindowLogBoxes::AddReadingsLine(const std::string& line) {
    readings_.appendPlainText(QString::fromStdString(line));
}

void TWindowLogBoxes::AddInfoLine(const std::string& line) { info_.appendPlainText(QString::fromStdString(line)); }
