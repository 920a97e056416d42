// The lines other programs write to the window's command socket: any bytes
// must parse or be refused, and what parses must read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/windowcommand.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto command = platform::parseWindowCommand(line);
    if (!command) return 0;
    if (line.size() > platform::MaxWindowCommandLine) std::abort();
    const std::string canonical = std::to_string(command->wParam) + " " + std::to_string(command->lParam);
    if (platform::parseWindowCommand(canonical) != command) std::abort();
    return 0;
}
