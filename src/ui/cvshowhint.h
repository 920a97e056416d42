#pragma once
// "Hint": a tip or notice, with "do not show again" where the caller allows it.

#include <string>

#include <QDialog>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
struct THintDialogRequest;

class TDlgShowHint : public QDialog {
public:
    explicit TDlgShowHint(QWidget* owner = nullptr);
    // Title into LABInfo and text into memo, each only when not empty;
    // CBNeverAgain only when allowed.
    void Fill(const THintDialogRequest& request);
    // Whether "do not show again" was chosen; never when it was not offered.
    bool NeverAgain() const;

    QLabel& LABInfo() { return *info_; }
    QPlainTextEdit& memo() { return *memo_; }
    QCheckBox& CBNeverAgain() { return *neverAgain_; }

private:
    QLabel* info_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    QCheckBox* neverAgain_ = nullptr;
    bool allowNeverAgain_ = false;
};

// CR, LF and CR LF each end a line.
std::string NormalizeLineBreaks(const std::string& text);
