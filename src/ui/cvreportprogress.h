#pragma once
// "Building report...": the report builder's progress lines, shown without
// a modal loop while the report is built.

#include <string>

#include <QDialog>

class QListWidget;

class TDlgReportProgress : public QDialog {
public:
    explicit TDlgReportProgress(QWidget* owner = nullptr);
    QListWidget& lb() { return *list_; }
    // Appends a line and keeps it in view.
    void AddLine(const std::string& line);

private:
    QListWidget* list_ = nullptr;
};
