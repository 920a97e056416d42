#pragma once
// "Report Preview": the report as it will be sent, and the user's notes.

#include <QDialog>

#include "ui/formstorage.h"

class QPlainTextEdit;

class TDlgReportPreview : public QDialog {
public:
    explicit TDlgReportPreview(QWidget* owner = nullptr);
    QPlainTextEdit& EDReport() { return *report_; }
    QPlainTextEdit& EDNotes() { return *notes_; }

protected:
    void done(int result) override;

private:
    QPlainTextEdit* report_ = nullptr;
    QPlainTextEdit* notes_ = nullptr;
    TFormStorage storage_;
};
