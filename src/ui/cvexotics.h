#pragma once
// The free layout of the Exotics boxes, without widgets: the cell grid from
// the screen's DPI, the panel shrunk to whole cells, placing, dropping,
// hiding and showing boxes, and the layout file's text. The panel of boxes
// mirrors this model.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/cvvalueformat.h"

struct TExoticBox {
    static constexpr int Unplaced = -400;  // Left of a box no cell was given yet

    TExoticKind Kind = TExoticKind::Other;
    std::string Name;  // the component name, "SCTemp01", "SCUptime" ...
    std::string SensorName;
    int ReadingIndex = 0;
    int Index = 0;
    int Left = Unplaced;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool Visible = true;
};

struct TPanelBounds {
    int Left = 0;
    int Width = 0;
    int Height = 0;
};

class TExoticsLayout {
public:
    static constexpr int DesignWidth = 64, DesignHeight = 40;
    static constexpr double DesignDpi = 96;

    // The cell size for the screen, rounded half to even.
    void SetDpi(double dpi);
    int CellWidth() const { return cellWidth_; }
    int CellHeight() const { return cellHeight_; }
    int PitchX() const { return cellWidth_ - 1; }
    int PitchY() const { return cellHeight_ - 1; }
    // A designed length at this DPI.
    int Scaled(int designed) const;

    // Shrinks the panel to whole cells and centres it in its parent.
    TPanelBounds ShrinkPanel(int width, int height, int parentWidth);
    void SetPanel(int width, int height) { panelWidth_ = width, panelHeight_ = height; }
    int PanelWidth() const { return panelWidth_; }
    // Tall enough for the lowest box too, in whole rows.
    int ContentHeight() const;

    // A new box at the marker position, the size of a cell.
    std::size_t AddBox(TExoticKind kind, const std::string& name, int index, int readingIndex,
                       const std::string& sensorName, bool visible);
    std::vector<TExoticBox>& Boxes() { return boxes_; }
    const std::vector<TExoticBox>& Boxes() const { return boxes_; }
    std::optional<std::size_t> FindByName(const std::string& name) const;
    std::optional<std::size_t> Find(TExoticKind kind, int index) const;

    // The first free cell from the box's position, row by row.
    void PlaceExoticFrame(std::size_t box);
    // Every visible box, in creation order.
    void PlaceVisible();
    // A drag ended at (x, y) in the panel: clamped, snapped, and swapped with
    // the box in that cell. Answers the log lines.
    std::vector<std::string> Drop(std::size_t box, int x, int y);
    std::string Hide(std::size_t box);
    std::string Unhide(std::size_t box);

    std::string SaveText() const;
    // Applies the "[frame]" sections of the layout file's lines.
    void Load(const std::vector<std::string>& lines);

private:
    void ApplyFrame(const std::vector<std::string>& lines, std::vector<bool>& placedByLoad);
    bool InsidePanel(int column, int row) const;

    int cellWidth_ = DesignWidth, cellHeight_ = DesignHeight;
    double dpi_ = DesignDpi;
    int panelWidth_ = 0, panelHeight_ = 0;
    std::vector<TExoticBox> boxes_;
};
