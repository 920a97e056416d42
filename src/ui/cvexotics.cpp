#include "ui/cvexotics.h"

#include <charconv>
#include <cmath>

#include "base/cvformat.h"
#include "core/cvtext.h"

using cvformat::Format;

namespace {

// Whole numbers as the file writes them, after leading blanks.
int ToIntDef(std::string_view text, int fallback) {
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) ++start;
    if (start < text.size() && text[start] == '+') ++start;
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data() + start, end, value);
    return ec == std::errc() && stop == end && start < text.size() ? value : fallback;
}

struct TFrameRecord {
    std::string Type, Name, SensorId;
    int SubIndex = 0;
    int Left = 0;
    int Top = 0;
    bool Visible = false;
};

TFrameRecord ParseFrame(const std::vector<std::string>& lines) {
    TFrameRecord r;
    for (const auto& line : lines) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = LowerCase(line.substr(0, eq));
        const std::string value = line.substr(eq + 1);
        if (key == "type") r.Type = value;
        if (key == "name") r.Name = value;
        if (key == "sensorid") r.SensorId = value;
        if (key == "sensorsubindex") r.SubIndex = ToIntDef(value, -1);
        if (key == "left") r.Left = ToIntDef(value, TExoticBox::Unplaced);
        if (key == "top") r.Top = ToIntDef(value, 0);
        if (key == "visible") r.Visible = LowerCase(Trim(value)) == "true";
    }
    return r;
}

}  // namespace

void TExoticsLayout::SetDpi(double dpi) {
    dpi_ = dpi > 0 ? dpi : DesignDpi;
    cellWidth_ = Scaled(DesignWidth);
    cellHeight_ = Scaled(DesignHeight);
}

int TExoticsLayout::Scaled(int designed) const {
    if (dpi_ == DesignDpi) return designed;
    return static_cast<int>(std::nearbyint(designed * dpi_ / DesignDpi));
}

TPanelBounds TExoticsLayout::ShrinkPanel(int width, int height, int parentWidth) {
    TPanelBounds b;
    b.Width = (width / PitchX()) * PitchX() + 1;
    b.Left = (parentWidth - b.Width) / 2;
    b.Height = (height / PitchY()) * PitchY() + 1;
    SetPanel(b.Width, b.Height);
    return b;
}

int TExoticsLayout::ContentHeight() const {
    int height = panelHeight_;
    for (const auto& box : boxes_)
        if (box.Visible && box.Left >= 0) height = std::max(height, box.Top + box.Height);
    return height;
}

std::size_t TExoticsLayout::AddBox(TExoticKind kind, const std::string& name, int index, int readingIndex,
                                   const std::string& sensorName, bool visible) {
    TExoticBox box;
    box.Kind = kind;
    box.Name = name;
    box.Index = index;
    box.ReadingIndex = readingIndex;
    box.SensorName = sensorName;
    box.Width = Scaled(DesignWidth);
    box.Height = Scaled(DesignHeight);
    box.Visible = visible;
    boxes_.push_back(box);
    return boxes_.size() - 1;
}

std::optional<std::size_t> TExoticsLayout::FindByName(const std::string& name) const {
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        if (boxes_[i].Name == name) return i;
    return std::nullopt;
}

std::optional<std::size_t> TExoticsLayout::Find(TExoticKind kind, int index) const {
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        if (boxes_[i].Kind == kind && boxes_[i].Index == index) return i;
    return std::nullopt;
}

void TExoticsLayout::PlaceExoticFrame(std::size_t index) {
    TExoticBox& box = boxes_[index];
    int x = box.Left == TExoticBox::Unplaced ? 0 : box.Left;
    int y = box.Left == TExoticBox::Unplaced ? 0 : box.Top;
    // Each move goes right or down a row, so the scan ends.
    for (bool moved = true; moved;) {
        moved = false;
        for (std::size_t other = 0; other < boxes_.size(); ++other) {
            if (other == index || boxes_[other].Left != x || boxes_[other].Top != y) continue;
            x = boxes_[other].Left + boxes_[other].Width - 1;
            if (box.Width + x > panelWidth_) {
                x = 0;
                y += box.Height - 1;
            }
            moved = true;
            break;
        }
    }
    box.Left = x;
    box.Top = y;
}

void TExoticsLayout::PlaceVisible() {
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        if (boxes_[i].Visible) PlaceExoticFrame(i);
}

std::vector<std::string> TExoticsLayout::Drop(std::size_t index, int x, int y) {
    TExoticBox& box = boxes_[index];
    const int height = ContentHeight();
    if (x < 0) x = 0;
    if (x >= panelWidth_) x = panelWidth_ - box.Width + 1;
    if (y < 0) y = 0;
    if (y >= height) y = height - box.Height + 1;
    x = (box.Width - 1) * (x / (box.Width - 1));
    y = (box.Height - 1) * (y / (box.Height - 1));
    std::vector<std::string> lines;
    for (std::size_t other = 0; other < boxes_.size(); ++other) {
        if (other == index || boxes_[other].Left != x || boxes_[other].Top != y) continue;
        lines.push_back(Format("%s overlaps with %s", {box.Name, boxes_[other].Name}));
        boxes_[other].Left = box.Left;
        boxes_[other].Top = box.Top;
        break;
    }
    box.Left = x;
    box.Top = y;
    lines.push_back(Format("%s moved to (%d,%d)", {box.Name, box.Left, box.Top}));
    return lines;
}

std::string TExoticsLayout::Hide(std::size_t index) {
    boxes_[index].Visible = false;
    return Format("Hiding box \"%s\"", {boxes_[index].Name});
}

std::string TExoticsLayout::Unhide(std::size_t index) {
    TExoticBox& box = boxes_[index];
    box.Visible = true;
    if (box.Left < 0 || box.Top < 0) box.Left = box.Top = 0;
    PlaceExoticFrame(index);
    return Format("Unhiding box \"%s\"", {box.Name});
}

std::string TExoticsLayout::SaveText() const {
    std::string text = "[parameters]\r\nCfgVersion=01.0001\r\nExoticsVersion=01.0001\r\n";
    for (const auto& box : boxes_) {
        text += "[frame]\r\n";
        text += "type=" + GetExoticType(box.Kind) + "\r\n";
        text += "name=" + box.Name + "\r\n";
        text += "SensorId=" + box.SensorName + "\r\n";
        text += Format("SensorSubIndex=%d\r\n", {box.ReadingIndex});
        text += Format("left=%d\r\n", {box.Left / PitchX()});
        text += Format("top=%d\r\n", {box.Top / PitchY()});
        text += std::string("visible=") + (box.Visible ? "true" : "false") + "\r\n";
    }
    return text;
}

// A cell left of, right of or above the panel is no place; rows below it
// are, as the panel scrolls, up to one row per box.
bool TExoticsLayout::InsidePanel(int column, int row) const {
    const auto rows = static_cast<long long>(std::max<std::size_t>(boxes_.size(), 1)) +
                      static_cast<long long>(panelHeight_ / PitchY());
    return column >= 0 && row >= 0 && static_cast<long long>(column) * PitchX() + cellWidth_ <= panelWidth_ &&
           row < rows;
}

void TExoticsLayout::ApplyFrame(const std::vector<std::string>& lines, std::vector<bool>& placedByLoad) {
    const TFrameRecord r = ParseFrame(lines);
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        TExoticBox& box = boxes_[i];
        // Two boxes of one reading: each section takes the next of them.
        if (placedByLoad[i] || !SameText(box.SensorName, r.SensorId) || box.ReadingIndex != r.SubIndex ||
            !SameText(GetExoticTypeForLoad(box.Kind), r.Type))
            continue;
        placedByLoad[i] = true;
        if (InsidePanel(r.Left, r.Top)) {
            box.Left = PitchX() * r.Left;
            box.Top = PitchY() * r.Top;
        } else {
            box.Left = TExoticBox::Unplaced;
            box.Top = 0;
        }
        box.Visible = r.Visible;
        return;
    }
}

void TExoticsLayout::Load(const std::vector<std::string>& lines) {
    std::vector<bool> placedByLoad(boxes_.size(), false);
    std::optional<std::string> header;
    std::vector<std::string> section;
    const auto close = [&] {
        if (header && UpperCase(*header) == "[FRAME]") ApplyFrame(section, placedByLoad);
        section.clear();
    };
    for (const auto& raw : lines) {
        const std::string line = TrimLeft(raw);
        if (line.empty() || line.front() == '#') continue;
        const std::string trimmed = TrimRight(line);
        if (trimmed.front() == '[' && trimmed.back() == ']') {
            close();
            header = trimmed;
            continue;
        }
        if (header) section.push_back(line);
    }
    close();
}
