// A disk may answer any bytes for its identify, attribute and log pages: each
// decoder must print them without a crash or an out-of-range read, and
// leave the search log's indentation where it found it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "disks/cvhdfinder.h"
#include "disks/cvsmartdump.h"

// Input: one selector byte, then the page (cut or padded to 512 bytes).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::array<std::uint8_t, 512> page{};
    for (std::size_t i = 1; i < size && i <= page.size(); ++i) page[i - 1] = data[i];
    switch (data[0] % 5) {
    case 0: DumpIdentifySector(page); break;
    case 1: DumpAttributePage(page); break;
    case 2: DumpLogDirectory(page); break;
    case 3: DumpSummaryErrorLog(page); break;
    default: DumpSelfTestLog(page); break;
    }
    if (SearchLogIndentation() != 0) std::abort();
    AtaCommandName(page[0], page[1]);
    return 0;
}
