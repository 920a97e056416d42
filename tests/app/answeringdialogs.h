#pragma once
// Modal boxes for window tests: each is answered at once, as if the user
// closed it without ticking anything, and remembered.

#include <functional>
#include <string>
#include <vector>

#include "core/cvservices.h"

class TAnsweringDialogs : public TDialogs {
public:
    void ShowWarning(const std::string& text) override { Shown.push_back(text); }
    void ShowError(const std::string& text) override { Shown.push_back(text); }
    bool RunHintDialog(const THintDialogRequest& request) override {
        Shown.push_back(request.Title.value_or(""));
        if (WhileShown) WhileShown(Shown.back());
        return false;
    }
    std::vector<std::string> Shown;
    // Looks at the window while a hint box, named by its title, waits.
    std::function<void(const std::string& title)> WhileShown;
};
