// The SMBIOS structure table comes from firmware (or WMI's copy of it): any
// bytes must walk without reading past the table.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "firmware/cvsmbios.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WalkSMBIOSTable(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
