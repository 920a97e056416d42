#pragma once
// Builds a simulated machine from a board file. Each top-level member of the
// board is a section with its own loader; sections load in the order of
// boardSections(), whatever their order in the file.

#include <span>
#include <string>
#include <string_view>

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;

using BoardSectionLoader = void (*)(const BoardNode& section, Machine& machine);

struct BoardSection {
    std::string_view name;
    BoardSectionLoader load;
};

std::span<const BoardSection> boardSections();

// Throws BoardError naming `source` for text that is not JSON or a board
// that is malformed.
void loadBoard(const std::string& text, const std::string& source, Machine& machine);

}  // namespace platform::sim
