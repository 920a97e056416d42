#pragma once
// The S.M.A.R.T. page: one disk of the drive list, its attributes with a
// status mark each, its two ratings as bars, self-tests for the disks of the
// disk search, and the log parameters of a SCSI disk.

#include <array>
#include <bitset>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <QIcon>
#include <QWidget>

#include "core/cvservices.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class TExoticsPage;
class TMonitor;
class TSCSISensor;
class TSmartDisk;

// 0 sound, 2 warning: the worst value's margin above the threshold, or for
// the pending and uncorrectable sector counts their raw value.
int SmartAttributeStatus(std::uint8_t id, std::uint16_t rawLow, int worst, int threshold);
std::string SelfTestStatusText(std::uint8_t status);
// The six raw bytes, the last first, as upper-case hex.
std::string SmartRawText(std::span<const std::uint8_t, 6> raw);

struct TSmartAttributeRow {
    std::string Caption, Value, Worst, Warn, Raw;
    int Image = -1;  // 1 sound, 3 warning, -1 none
    bool operator==(const TSmartAttributeRow&) const = default;
};
// The rows of an attribute page and the threshold page read with it (the
// data bytes after the header); the threshold is taken by position.
std::vector<TSmartAttributeRow> SmartAttributeRows(std::span<const std::uint8_t> attributes,
                                                   std::span<const std::uint8_t> thresholds);

class TSmartPageView : public QWidget, public TSmartView {
public:
    static constexpr int HelpContext = 1107;
    static constexpr int SoundImage = 1, WarningImage = 3;

    TSmartPageView(TMonitor& monitor, TExoticsPage* tiles, QWidget* parent = nullptr);

    // The drive list on the monitor, into CBSmartHD.
    void ShowDrives();
    // Slots 0-4 the attribute layout's widths, 9 the last column, 5 the first four together.
    void RememberColumnWidths();
    std::array<int, 10> SmartColumnWidths{};

    void CBSmartHDChange();
    void BTNRefreshSmartClick();
    void RunSelfTest(int kind);
    void BTNSmartHelpClick();

    // ---- TSmartView ----
    int GetHardDiskSelectedInCB() override;
    void UpdateSmartPage(bool force) override;
    void SetDiskTileText(int driveNumber, const std::string& text) override;

private:
    void Build();
    void SaveColumnWidths();
    void ShowSmartDisk(const TSmartDisk& disk);
    void ShowScsiDisk(TSCSISensor& disk);
    void AddRow(const TSmartAttributeRow& row);
    // Shows the remembered widths, each at least as wide as its content
    // unless the user set it.
    void ApplyColumnWidths(const std::array<int, 5>& widths);
    static void SetBar(QProgressBar& bar, int position, const std::string& hint);

    TMonitor& monitor_;
    TExoticsPage* tiles_;
    QIcon sound_, warning_, noMark_;
    std::bitset<5> userSized_;
    bool sizing_ = false;
    QComboBox* drives_ = nullptr;
    QLineEdit* model_ = nullptr;
    QLineEdit* firmware_ = nullptr;
    QPushButton* report_ = nullptr;
    QPushButton* extendedTest_ = nullptr;
    QPushButton* shortTest_ = nullptr;
    QLabel* testLabel_ = nullptr;
    QLineEdit* testStatus_ = nullptr;
    QTreeWidget* attributes_ = nullptr;
    QProgressBar* fitness_ = nullptr;
    QProgressBar* performance_ = nullptr;
};
