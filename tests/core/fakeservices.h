#pragma once
// Recording stand-ins for the services of later subsystems.

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/cvservices.h"

namespace coretest {

class TFakeClock : public TClockControls {
public:
    bool ClockGenUsable() const override { return Usable; }
    TClockSettings Current() const override { return Settings; }
    void SelectEntry(TClockList list, const std::string& text) override {
        ++Calls;
        switch (list) {
        case TClockList::Vendor: Settings.Vendor = text; break;
        case TClockList::Model: Settings.Model = text; break;
        case TClockList::Low: Settings.Low = text; break;
        case TClockList::High: Settings.High = text; break;
        }
    }
    void SetThreshold(TClockThreshold which, int value) override {
        ++Calls;
        switch (which) {
        case TClockThreshold::LowCPUUsage: Settings.LowCPUUsage = value; break;
        case TClockThreshold::HighCPUUsage: Settings.HighCPUUsage = value; break;
        case TClockThreshold::LowCPUTime: Settings.LowCPUTime = value; break;
        case TClockThreshold::HighCPUTime: Settings.HighCPUTime = value; break;
        }
    }
    void SetAutoClockSet(bool value) override {
        ++Calls;
        Settings.AutoClockSet = value;
    }

    bool Usable = true;
    TClockSettings Settings;
    int Calls = 0;
};

class TFakeXap : public TXapSender {
public:
    TXapSettings Settings() const override { return Values; }
    void SetSettings(const TXapSettings& settings) override { Values = settings; }
    void Broadcast(const std::string& msg) override { Sent.push_back(msg); }
    std::string BuildPCStatusMessage(int selection) override { return "status " + std::to_string(selection); }

    TXapSettings Values;
    std::vector<std::string> Sent;
};

class TFakeLanguage : public TLanguageDispatcher {
public:
    void SetLanguage(const std::string& name) override {
        if (!Known.count(name)) throw ELanguageError("unknown language " + name);
        Set.push_back(name);
    }
    std::vector<std::string> LanguageNames() const override { return {Known.begin(), Known.end()}; }
    int ActiveLanguageNumber() const override { return 1; }
    void SetActiveLanguageNumber(int) override {}
    std::set<std::string> Known{"English", "Deutsch"};
    std::vector<std::string> Set;
};

class TFakeDialogs : public TDialogs {
public:
    void ShowWarning(const std::string& text) override { Warnings.push_back(text); }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    bool RunHintDialog(const THintDialogRequest& request) override {
        Hints.push_back(request);
        return NeverAgainTicked;
    }
    std::vector<std::string> Warnings;
    std::vector<std::string> Errors;
    std::vector<THintDialogRequest> Hints;
    bool NeverAgainTicked = false;
};

}  // namespace coretest

namespace coretest {

// The window as the start-up and shutdown see it: what was posted and asked.
class TFakeWindow : public TMainWindow {
public:
    void PostMessage(int msg, std::intptr_t wParam, std::intptr_t) override {
        Posted.push_back(msg);
        Messages.emplace_back(msg, wParam);
    }
    void Minimize() override { Calls.push_back("Minimize"); }
    void Restore() override { Calls.push_back("Restore"); }
    void Close() override { Calls.push_back("Close"); }
    void DisableTrayIcon() override { Calls.push_back("DisableTrayIcon"); }
    bool AutoFanSpeedChecked() const override { return AutoFanChecked; }
    void SetClockItems(TClockCombo combo, const std::vector<std::string>& items) override { Items[combo] = items; }

    std::vector<int> Posted;
    std::vector<std::pair<int, std::intptr_t>> Messages;  // with their wParam
    std::vector<std::string> Calls;
    bool AutoFanChecked = true;
    std::map<TClockCombo, std::vector<std::string>> Items;
};

}  // namespace coretest
