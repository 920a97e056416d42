#pragma once
// The window's modal boxes as Qt message boxes. Tests install their own
// TDialogs instead, so no test ever waits on a modal loop.

#include "core/cvservices.h"

class QWidget;

class TMessageBoxDialogs : public TDialogs {
public:
    explicit TMessageBoxDialogs(QWidget* owner) : owner_(owner) {}
    void ShowWarning(const std::string& text) override;
    void ShowError(const std::string& text) override;
    bool RunHintDialog(const THintDialogRequest& request) override;

private:
    QWidget* owner_;
};
