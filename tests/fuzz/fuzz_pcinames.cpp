// "pciidsdata.csv" is a file users place themselves: any content must load
// and answer look-ups without reading past a line or a field.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/cvtrace.h"
#include "fuzz/memoryfiles.h"
#include "report/cvpcidata.h"
#include "support/testmachine.h"

namespace {

const testsupport::TempDir& Folder() {
    fuzzsupport::KeepTempFilesInMemory();
    static const testsupport::TempDir dir;
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ProgramDir = Folder().path().string() + "/";
    testsupport::writeFile(Folder().file("pciidsdata.csv"), std::string(reinterpret_cast<const char*>(data), size));
    AcquirePciNames();
    for (std::uint16_t vendor : {0x0000, 0x8086, 0x10DE, 0xFFFF}) (void)LookupPciName(vendor, 0x2448, "<Unknown device>");
    ReleasePciNames();
    return 0;
}
