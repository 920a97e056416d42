#pragma once
// Board texts that must not load, and the check that each is refused.

#include <span>

namespace testsupport {

struct BadBoard {
    const char* json;
    const char* message;  // a fragment of the error
};

// Loads each board into a fresh machine and expects a BoardError whose text
// holds the board's fragment.
void expectRefused(std::span<const BadBoard> boards);

}  // namespace testsupport
