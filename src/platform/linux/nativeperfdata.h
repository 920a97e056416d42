#pragma once
// The "Processor" performance object from /proc/stat: idle and iowait time
// per online processor, their mean as the machine's total.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::native {

// The data block, or nullopt when <procRoot>/stat cannot be read or lists
// no processor. Its time follows a clock that never steps back.
std::optional<std::vector<std::uint8_t>> processorPerformanceBlock(const std::string& procRoot);

}  // namespace platform::native
