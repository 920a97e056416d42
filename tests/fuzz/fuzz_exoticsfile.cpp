// Layout files are edited by hand or cut short: any text must leave every
// box unplaced or on a cell of the panel, and what is saved reads back alike.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/cvexotics.h"

namespace {

TExoticsLayout MakeLayout() {
    TExoticsLayout layout;
    layout.SetDpi(96);
    layout.ShrinkPanel(393, 365, 400);
    layout.AddBox(TExoticKind::Temperature, "SCTemp01", 0, 1, "Chip@$290(onISA)", true);
    layout.AddBox(TExoticKind::Temperature, "SCTemp02", 1, 1, "Chip@$290(onISA)", true);
    layout.AddBox(TExoticKind::Fan, "SCFan01", 0, 1, "Chip@$290(onISA)", true);
    layout.AddBox(TExoticKind::Battery, "SCBattery", 0, 0, "", false);
    return layout;
}

// Lines as the text reader cuts them: at CR or LF, one more CR or LF eaten.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            line += text[i];
            continue;
        }
        lines.push_back(line);
        line.clear();
        if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n')) ++i;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TExoticsLayout layout = MakeLayout();
    layout.Load(Lines(std::string(reinterpret_cast<const char*>(data), size)));
    for (const auto& box : layout.Boxes()) {
        const bool unplaced = box.Left == TExoticBox::Unplaced;
        if (!unplaced && (box.Left < 0 || box.Top < 0 || box.Left + box.Width > layout.PanelWidth())) std::abort();
    }
    layout.PlaceVisible();
    const std::string saved = layout.SaveText();
    TExoticsLayout again = MakeLayout();
    again.Load(Lines(saved));
    again.PlaceVisible();
    if (again.SaveText() != saved) std::abort();
    return 0;
}
