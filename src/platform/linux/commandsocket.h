#pragma once
// The main window's command channel on Linux: a Unix stream socket
// "caldavor-<pid>.sock" in $XDG_RUNTIME_DIR (else in a 0700 folder of the
// user under /tmp), mode 0600. Only peers of the same user are heard; each
// sends "wParam lParam" lines, bounded in length; anything else is ignored.
// Opening removes the sockets of this user's ended runs from the folder.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace platform::native {

// The folder the socket lives in; nullopt with the reason when no safe one exists.
std::optional<std::string> commandSocketDir(const std::optional<std::string>& runtimeDir, std::string& reason);
std::string commandSocketName(std::uint32_t owner);

std::unique_ptr<CommandChannel> openCommandSocket(const std::string& dir, std::uint32_t owner, std::string& reason);

}  // namespace platform::native
