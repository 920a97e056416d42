#pragma once
// The CPU-load tick's widgets: the total and the per-CPU bars of the
// readings page, and the uptime and usage boxes of the free-layout panel.

#include <vector>

#include "ui/cvcpuload.h"

class QFrame;
class QLabel;
class QProgressBar;
class QWidget;
class TExoticsPage;
class TSCUsage;

class TCpuLoadPanel : public TCpuLoadView {
public:
    // Window: whose minimised state stops the display.
    TCpuLoadPanel(QWidget& window, QLabel& total, QFrame& panel, TExoticsPage& exotics);

    void ShowUptime(const TUptimeTexts& texts) override;
    bool IsMinimized() const override;
    void ShowTotal(const std::string& text) override;
    int PanelWidth() const override;
    int BarCount() const override { return static_cast<int>(bars_.size()); }
    void SetBars(const std::vector<TCpuLoadBar>& bars) override;
    void SetBarPosition(int cpu, int position) override;
    bool HasUsageBox(int number) const override { return UsageBox(number) != nullptr; }
    void SetUsageBoxText(int number, const std::string& text) override;
    void SetUsageBoxPosition(int number, int position) override;

private:
    TSCUsage* UsageBox(int number) const;

    QWidget& window_;
    QLabel& total_;
    QFrame& panel_;
    TExoticsPage& exotics_;
    std::vector<QProgressBar*> bars_;
};
