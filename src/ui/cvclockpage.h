#pragma once
// The Clock page: the board or clock chip, reading and setting the bus
// clock, and the choices of the load-driven switching. The page owns the
// clock generator it made.

#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "core/cvservices.h"
#include "ui/cvcpuload.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class TMonitor;

// The help context of each page of the main window, by the page's object
// name; 0 for a page without one.
int PageHelpContext(const std::string& pageName);

class TClockPage : public QWidget, public TClockControls, public TCpuLoadClock {
public:
    static constexpr int HelpContext = 1110;
    static const char* const WarningText;

    TClockPage(TMonitor& monitor, TCpuLoadTicker& ticker, QWidget* parent = nullptr);
    ~TClockPage() override;

    void SetClockItems(TClockCombo combo, const std::vector<std::string>& items);

    void CBMBVendorClick();
    void CBMBModelClick();
    void CBMBClockClick();
    void CBLowSpeedClick() { SaveUnlessUpdating(); }
    void CBHighSpeedClick() { SaveUnlessUpdating(); }
    void BTNReadClockClick();
    void LBClocksClick();
    void BTNSetClockClick();
    // The window's page control changed to the page of that name: the
    // warning on the Clock page, then the help context. Answers the context.
    int PagesChange(const std::string& pageName);

    // ---- TClockControls ----
    bool ClockGenUsable() const override { return true; }
    TClockSettings Current() const override;
    void SelectEntry(TClockList list, const std::string& text) override;
    void SetThreshold(TClockThreshold which, int value) override;
    void SetAutoClockSet(bool value) override;
    int ClockMode() const override { return ticker_.ClockMode; }
    void SetLowSpeedMode() override { ticker_.SetLowSpeedMode(); }
    void SetHighSpeedMode() override { ticker_.SetHighSpeedMode(); }

    // ---- TCpuLoadClock ----
    bool UseClockGen() const override;
    int LowSpeedIndex() const override;
    int HighSpeedIndex() const override;
    TClock* ClockGenerator() const override { return generator_.get(); }
    void ShowClockStatus(const std::string& text) override;
    void ShowClockWish(const std::string& text) override;

private:
    void Build();
    void Connect();
    void SaveUnlessUpdating();
    QSpinBox* ThresholdEdit(TClockThreshold which) const;

    TMonitor& monitor_;
    TCpuLoadTicker& ticker_;
    std::unique_ptr<TClock> generator_;
    QComboBox* vendor_ = nullptr;
    QComboBox* model_ = nullptr;
    QComboBox* chip_ = nullptr;
    QCheckBox* useClockGen_ = nullptr;
    QPushButton* readClock_ = nullptr;
    QPushButton* setClock_ = nullptr;
    QListWidget* clocks_ = nullptr;
    QLabel* clockLabel_ = nullptr;
    QComboBox* lowSpeed_ = nullptr;
    QComboBox* highSpeed_ = nullptr;
    QSpinBox* lowUsage_ = nullptr;
    QSpinBox* lowTime_ = nullptr;
    QSpinBox* highUsage_ = nullptr;
    QSpinBox* highTime_ = nullptr;
    QLineEdit* status_ = nullptr;
    QLabel* wish_ = nullptr;
};
