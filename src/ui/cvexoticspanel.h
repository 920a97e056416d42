#pragma once
// The Exotics page: the boxes on PanSamples, mirroring TExoticsLayout. It
// builds the boxes from the monitor's slots, disks and processors, reads and
// writes the layout file, handles drops, hides and shows, and is the
// window's tile service.

#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "core/cvservices.h"
#include "ui/cvcbaseframe.h"
#include "ui/cvexotics.h"

class QScrollArea;
class TMonitor;

// The system has a battery: its power status reads and lacks the "no
// battery" bit (which an unknown status, 255, has).
bool HasSystemBattery();

class TExoticsPage : public QWidget, public TTiles {
public:
    static constexpr int DesignPanelWidth = 393, DesignPanelHeight = 365;
    static constexpr const char* LayoutFileName = "caldavorexotics.cfg";

    explicit TExoticsPage(TMonitor& monitor, QWidget* parent = nullptr);

    // Builds the missing boxes, refreshes captions, reads the layout file and
    // places the visible boxes.
    void CreateExoticFrames();
    void BTNShowTheMagicClick() { CreateExoticFrames(); }
    // After the configuration dialog: only when boxes exist.
    void RebuildExoticFrames();
    TSCBaseFrame* FindExoticFrame(TExoticKind kind, int index);
    TSCBaseFrame* FindExoticFrame(const std::string& name);
    // The value label of the disk box of that drive, when there is one.
    void SetDiskTileText(int driveNumber, const std::string& text);

    void PlaceExoticFrame(TSCBaseFrame& box);
    void ExoticFrameMoved(TSCBaseFrame& box);
    void HideExoticFrame(TSCBaseFrame& box);
    void UnhideExoticFrame(TSCBaseFrame& box);
    bool SaveExotics(const std::string& fileName);
    void LOADEXOTICS(const std::string& fileName);

    // ---- tile service ----
    void SetReadingTileText(TDisplayKind kind, int slotIndex, const std::string& text) override;
    bool HasTile(const std::string& name) const override;
    void SetTileText(const std::string& name, const std::string& text) override;
    void SetTilePicture(const std::string& name, int cell) override;
    void SetTrendPicture(int slotIndex, int cell) override;

    // The screen's DPI; tests set their own.
    std::function<double()> ScreenDpi;
    QWidget& PanSamples() { return *panel_; }
    const TExoticsLayout& Layout() const { return layout_; }
    const std::vector<TSCBaseFrame*>& Boxes() const { return boxes_; }

private:
    std::string LayoutFile() const;
    TSCBaseFrame* EnsureBox(TExoticKind kind, const std::string& name, int index, int readingIndex,
                            const std::string& sensorName, bool visibleWhenNew);
    void InitExoticFrame(TSCBaseFrame& box, TExoticKind kind, const std::string& name, int index, int readingIndex,
                         const std::string& sensorName, bool visible);
    void CreateSlotBoxes();
    void CreateDiskBoxes();
    void CreateUsageBoxes();
    std::size_t IndexOf(const TSCBaseFrame& box) const;
    // Widgets follow the model: positions, visibility, the panel's height.
    void Sync();
    void Log(const std::string& line);

    TMonitor& monitor_;
    TExoticsLayout layout_;
    std::vector<TSCBaseFrame*> boxes_;  // creation order, as the layout's
    QScrollArea* scroll_ = nullptr;
    QWidget* panel_ = nullptr;
};
