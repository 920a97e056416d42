// FRU areas come from EEPROMs: any bytes and any declared length must decode
// field by field without reading past the area.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "detect/cvdetect.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    TFRUArea area;
    area.Length = data[0] * 8;  // as the area's length byte counts
    std::copy_n(data + 1, std::min(size - 1, area.Bytes.size()), area.Bytes.begin());
    for (int start : {2, 3, 6}) {
        int pos = start;
        for (int field = 0; field < 300 && pos < area.Length; ++field) TDetectionEngine::DecodeFRUField(area, pos);
    }
    return 0;
}
