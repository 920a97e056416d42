// LOG SENSE pages come from devices: any bytes, with any count the call
// says it delivered, must check, walk and name their parameters without
// reading past the data area.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "disks/cvscsi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::uint8_t asked = data[0];
    // The delivered count as the call reports it, up to a little past the area.
    const int length = (data[1] << 8 | data[2]) % (static_cast<int>(TLogSenseRequest::DataSize) + 64);
    auto request = std::make_unique<TLogSenseRequest>();
    std::copy_n(data + 3, std::min(size - 3, request->data.size()), request->data.begin());
    std::string message;
    CheckLogSensePage(*request, length, asked, message);
    LogPageTotalLength(*request);
    const std::uint8_t page = request->data[0] & 0x3F;
    ForEachLogParameter(*request, length, [&](std::size_t offset, std::uint16_t code, std::uint8_t) {
        LogSenseParameterName(page, code);
        LogSenseParameterValue(*request, page, offset);
        LogSenseParameterInteger(*request, page, offset);
    });
    return 0;
}
