#pragma once
// The window's modal boxes for the window-free core: warnings, errors, the
// hint dialog and the SMBus debug dialog of "/SMBDEBUG". Every modal run
// goes through the prompts, so tests answer them.

#include <QMessageBox>

#include "core/cvservices.h"

class QWidget;
class TMonitor;
class TUiPrompts;

// A message box with the program's caption, run through the prompts.
void RunMessageBox(TUiPrompts& prompts, QWidget* owner, QMessageBox::Icon icon, const std::string& text);

class TUiDialogs : public TDialogs, public TSMBusDebugDialog {
public:
    TUiDialogs(TMonitor& monitor, TUiPrompts& prompts, QWidget* owner = nullptr)
        : monitor_(monitor), prompts_(prompts), owner_(owner) {}
    // The window the boxes are centred on, once it exists.
    void SetOwner(QWidget* owner) { owner_ = owner; }

    void ShowWarning(const std::string& text) override;
    void ShowError(const std::string& text) override;
    bool RunHintDialog(const THintDialogRequest& request) override;
    void RunModal() override;

private:
    TMonitor& monitor_;
    TUiPrompts& prompts_;
    QWidget* owner_;
};
