// "pciidsdata.csv" is a file users place themselves: any content must load
// and answer look-ups without reading past a line or a field.
#include <cstddef>
#include <cstdint>
#include <fstream>

#include "base/cvtrace.h"
#include "report/cvpcidata.h"
#include "support/testmachine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static testsupport::TempDir dir;
    ProgramDir = dir.path().string() + "/";
    std::ofstream(dir.file("pciidsdata.csv"), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    AcquirePciNames();
    for (std::uint16_t vendor : {0x0000, 0x8086, 0x10DE, 0xFFFF}) (void)LookupPciName(vendor, 0x2448, "<Unknown device>");
    ReleasePciNames();
    return 0;
}
