// Events files are edited by hand: any content must load (or be refused with
// a message) and the loaded rules must evaluate and act without a crash.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "core/cvmonitor.h"
#include "core/cvvars.h"
#include "fuzz/memoryfiles.h"
#include "platform/sim/machine.h"

namespace {

class TFuzzSensor : public TSensor {
public:
    explicit TFuzzSensor(const std::string& name) : TSensor(nullptr, 0x290, 1, {}, "", "", "") {
        FDisplayName = name;
        FTemps.resize(2);
        FFans.resize(1);
        FVolts.resize(1);
        FinishReadingSetup();
    }
};

struct TFixture {
    TFixture() {
        ProgramDir = "/nonexistent/";  // no trace file grows while fuzzing
        monitor.Sensors.push_back(CreateSensor<TFuzzSensor>("W83627HF@$290(onISA)"));
        monitor.Sensors.push_back(CreateSensor<TFuzzSensor>("LM75@$48(onSMBus)"));
    }
    ~TFixture() { std::filesystem::remove(file); }
    platform::sim::Machine machine;
    platform::ScopedPlatform scope{machine};
    TMonitor monitor;
    const std::string file =
        (std::filesystem::temp_directory_path() / ("caldavorevents-fuzz-" + std::to_string(::getpid()) + ".cfg"))
            .string();
};

TFixture& TheFixture() {
    fuzzsupport::KeepTempFilesInMemory();
    static TFixture fixture;
    return fixture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TFixture& fixture = TheFixture();
    std::ofstream(fixture.file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                          static_cast<std::streamsize>(size));
    fixture.monitor.Events.LOADEVENTS(fixture.file);
    fixture.monitor.Events.ProcessEvents();
    fixture.machine.simDesktop() = {};
    return 0;
}
