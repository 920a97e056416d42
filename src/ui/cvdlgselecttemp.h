#pragma once
// "Select temperature": the caller fills LBTemps, runs the picker modally
// and reads the chosen entry's index.

#include <QDialog>

class QListWidget;

class TDlgSelectTemperature : public QDialog {
public:
    explicit TDlgSelectTemperature(QWidget* owner = nullptr);
    QListWidget& LBTemps() { return *list_; }
    // A double click accepts, only with an entry chosen.
    void LBTempsDblClick();
    // The chosen entry's row, -1 when none.
    int Chosen() const;

private:
    QListWidget* list_ = nullptr;
};
