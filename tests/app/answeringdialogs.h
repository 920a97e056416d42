#pragma once
// Modal boxes for window tests: each is answered at once, as if the user
// closed it without ticking anything, and remembered.

#include <string>
#include <vector>

#include "core/cvservices.h"

class TAnsweringDialogs : public TDialogs {
public:
    void ShowWarning(const std::string& text) override { Shown.push_back(text); }
    void ShowError(const std::string& text) override { Shown.push_back(text); }
    bool RunHintDialog(const THintDialogRequest& request) override {
        Shown.push_back(request.Title.value_or(""));
        return false;
    }
    std::vector<std::string> Shown;
};
