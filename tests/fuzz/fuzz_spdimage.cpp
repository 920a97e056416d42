// SPD images come from EEPROMs: any 256 bytes must decode without reading
// past the image or overflowing a rounded time.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "firmware/cvspd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TSPDImage image{};
    std::copy_n(data, std::min(size, image.size()), image.begin());
    const TDecodeSPD spd(image);
    (void)spd;
    return 0;
}
