#include "ui/cvcpuloadpanel.h"

#include <stdexcept>

#include <QFrame>
#include <QLabel>
#include <QProgressBar>

#include "base/cvformat.h"
#include "ui/cvcbaseframe.h"
#include "ui/cvexoticspanel.h"

using cvformat::Format;

TCpuLoadPanel::TCpuLoadPanel(QWidget& window, QLabel& total, QFrame& panel, TExoticsPage& exotics)
    : window_(window), total_(total), panel_(panel), exotics_(exotics) {}

void TCpuLoadPanel::ShowUptime(const TUptimeTexts& texts) {
    auto* box = dynamic_cast<TSCUptime*>(exotics_.FindExoticFrame("SCUptime"));
    if (!box) return;
    box->LABDays().setText(QString::fromStdString(texts.Days));
    box->LABTime().setText(QString::fromStdString(texts.Time));
}

bool TCpuLoadPanel::IsMinimized() const { return window_.isMinimized(); }

void TCpuLoadPanel::ShowTotal(const std::string& text) { total_.setText(QString::fromStdString(text)); }

int TCpuLoadPanel::PanelWidth() const { return panel_.width(); }

void TCpuLoadPanel::SetBars(const std::vector<TCpuLoadBar>& bars) {
    for (QProgressBar* bar : bars_) delete bar;
    bars_.clear();
    if (bars.empty()) return;
    panel_.setFrameShape(QFrame::NoFrame);
    for (std::size_t i = 0; i < bars.size(); ++i) {
        auto* bar = new QProgressBar(&panel_);
        bar->setObjectName(QString::fromStdString(Format("PBCPULoad%.2d", {static_cast<int>(i)})));
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        bar->setGeometry(bars[i].Left, 0, bars[i].Width, panel_.height());
        bar->show();
        bars_.push_back(bar);
    }
}

void TCpuLoadPanel::SetBarPosition(int cpu, int position) {
    if (cpu < 0 || static_cast<std::size_t>(cpu) >= bars_.size()) throw std::out_of_range("no bar for this CPU");
    bars_[static_cast<std::size_t>(cpu)]->setValue(position);
}

TSCUsage* TCpuLoadPanel::UsageBox(int number) const {
    return dynamic_cast<TSCUsage*>(exotics_.FindExoticFrame(Format("SCCPUUsage%.2d", {number})));
}

void TCpuLoadPanel::SetUsageBoxText(int number, const std::string& text) {
    if (TSCUsage* box = UsageBox(number)) box->Sample()->setText(QString::fromStdString(text));
}

void TCpuLoadPanel::SetUsageBoxPosition(int number, int position) {
    if (TSCUsage* box = UsageBox(number)) box->pb().setValue(position);
}
