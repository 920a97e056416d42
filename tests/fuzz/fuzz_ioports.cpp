// /proc/ioports as any kernel (or a broken file) may write it: the parser
// never crashes, and every range it keeps is well formed and names a driver.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/linux/ioports.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto claims = platform::native::parseIoPorts({reinterpret_cast<const char*>(data), size});
    for (const auto& claim : claims) {
        if (claim.first > claim.last || claim.owner.empty()) std::abort();
    }
    return 0;
}
