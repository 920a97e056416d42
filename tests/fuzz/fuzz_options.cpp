// The options reader on any file: nothing may crash, and what the writer
// makes of a file must read back to the same file.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/cvmonitor.h"
#include "core/fakeservices.h"
#include "fuzz/memoryfiles.h"
#include "support/testmachine.h"

namespace {

struct TFuzzWorld {
    TFuzzWorld() { InitializeCvvars(); }
    testsupport::TestMachine machine;
};

void MakeWorldOnce() {
    fuzzsupport::KeepTempFilesInMemory();
    static TFuzzWorld world;
}

// Both passes into a fresh window, then a save with the clock lines.
std::string LoadAndSave(const std::string& path) {
    LogOptions = {};
    ProxySettings = {};
    MailProfileList.clear();
    TMonitor monitor;
    coretest::TFakeClock clock;
    coretest::TFakeXap xap;
    coretest::TFakeLanguage language;
    coretest::TFakeDialogs dialogs;
    monitor.ClockControls = &clock;
    monitor.Language = &language;
    monitor.Dialogs = &dialogs;
    monitor.LoadParams(path, false);
    monitor.Xap = &xap;
    monitor.LoadParams(path, true);
    monitor.SaveParams(true);
    return testsupport::readFile(monitor.OptionsFilePath());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MakeWorldOnce();
    const std::string path = ProgramDir + OptionsFileName;
    testsupport::writeFile(path, std::string(reinterpret_cast<const char*>(data), size));
    const std::string first = LoadAndSave(path);
    const std::string second = LoadAndSave(path);
    if (first != second) std::abort();
    return 0;
}
