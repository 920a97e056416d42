// The walk of a performance-data block as the system returns it.
#include <cstddef>
#include <cstdint>
#include <span>

#include "cpu/nosperfdata.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        (void)ReadProcessorIdleTimes(std::span<const std::uint8_t>(data, size));
    } catch (const ECpuUsageError&) {
    }
    return 0;
}
