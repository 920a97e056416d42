#pragma once
// "Building report...": the report builder's progress lines, shown without
// a modal loop while the report is built.

#include <string>

#include <QDialog>

#include "report/cvreport.h"

class QListWidget;

class TDlgReportProgress : public QDialog, public TReportProgress {
public:
    explicit TDlgReportProgress(QWidget* owner = nullptr);
    QListWidget& lb() { return *list_; }
    // Appends a line and keeps it in view.
    void AddLine(const std::string& line);

    // The report builder's steps, newest first.
    void InsertFirst(const std::string& text) override;
    void ReplaceFirst(const std::string& text) override;
    void ProcessMessages() override;

private:
    QListWidget* list_ = nullptr;
};
