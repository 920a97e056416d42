// Events files are edited by hand: any content must load (or be refused with
// a message) and the loaded rules must evaluate and act without a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/cvmonitor.h"
#include "core/cvvars.h"
#include "support/testmachine.h"

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
    testsupport::TestMachine machine;
    TMonitor monitor;
    const std::string file = machine.file("caldavorevents.cfg");
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static TFixture fixture;
    testsupport::writeFile(fixture.file, std::string(reinterpret_cast<const char*>(data), size));
    fixture.monitor.Events.LOADEVENTS(fixture.file);
    fixture.monitor.Events.ProcessEvents();
    fixture.machine->simDesktop() = {};
    return 0;
}
