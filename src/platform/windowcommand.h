#pragma once
// The text form of a command to the main window: one line "wParam lParam",
// two decimal integers separated by blanks. Anything else is no command.

#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/platform.h"

namespace platform {

// Longer lines are dropped whole: no sender of ours writes one.
inline constexpr std::size_t MaxWindowCommandLine = 64;

// `line` without its line feed; a trailing carriage return is allowed.
std::optional<WindowCommand> parseWindowCommand(std::string_view line);

}  // namespace platform
