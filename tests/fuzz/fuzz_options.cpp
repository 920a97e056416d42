// The options reader on any file: nothing may crash, and what the writer
// makes of a file must read back to the same file.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include "core/cvmonitor.h"
#include "core/fakeservices.h"
#include "platform/sim/machine.h"

namespace {

struct TFuzzWorld {
    TFuzzWorld() : scope(machine) {
        dir = std::filesystem::temp_directory_path() / ("caldavor-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        machine.setProgramDir(dir.string());
        InitializeCvvars();
    }
    platform::sim::Machine machine;
    platform::ScopedPlatform scope;
    std::filesystem::path dir;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
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
    return ReadAll(monitor.OptionsFilePath());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TFuzzWorld world;
    const std::string path = ProgramDir + OptionsFileName;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const std::string first = LoadAndSave(path);
    const std::string second = LoadAndSave(path);
    if (first != second) std::abort();
    return 0;
}
