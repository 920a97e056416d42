// A "_WDG" answer comes from the firmware: any bytes, in any number of
// elements, must decode without reading past them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "detect/cvacpiexplore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks how many copies of the rest make up the answer.
    const std::vector<std::uint8_t> bytes(data + 1, data + size);
    TAcpiVariantArray results(data[0] % 3, TAcpiVariant::OfBytes(bytes));
    DecodeWdg(results);
    return 0;
}
