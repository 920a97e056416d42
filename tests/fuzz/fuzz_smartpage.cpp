// S.M.A.R.T. pages come from devices: any 512 bytes must decode (identity,
// size, entries, checksum) without reading past the page.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "disks/cvsmart.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::array<std::uint8_t, 512> page{};
    std::copy_n(data, std::min(size, page.size()), page.begin());
    GetDriveSize(nullptr, page);
    for (int i = 0; i < SmartEntries; ++i) {
        const auto entry = SmartAttributeEntry(page, i);
        SmartAttributeName(entry.id);
        SmartThresholdEntry(page, i);
    }
    SmartPageChecksum(page);
    TSmartPage attributes, thresholds;
    std::copy(page.begin(), page.end(), attributes.data().begin());
    ThresholdsFromAttributes(attributes, thresholds);
    ReadDriveIdentity(page);
    return 0;
}
