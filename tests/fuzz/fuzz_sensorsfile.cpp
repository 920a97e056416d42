// Sensors files are written by hand, by older versions or cut short: any text
// must apply what it can and leave every slot bound to a reading that exists.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/cvsensorsfile.h"
#include "core/fancontrol_fixture.h"  // tests/core
#include "fuzz/memoryfiles.h"

namespace {

struct Environment : fancontroltest::TTwoChips {
    std::string Path = Machine.file(SensorsFileName);
};

void CheckBindings(const Environment& env) {
    for (TReadingKind kind : {TReadingKind::Temp, TReadingKind::Fan, TReadingKind::Pwm, TReadingKind::Volt})
        for (std::size_t i = 0; i < env.Slots.SlotCount(kind); ++i) {
            const TReadingData& slot = env.Slots.Slot(kind, i);
            if (slot.SensorIndex < 0 || static_cast<std::size_t>(slot.SensorIndex) >= env.Sensors.size()) std::abort();
            const int count = ReadingCount(*env.Sensors[slot.SensorIndex], kind);
            if (count > 0 && (slot.ReadingIndex < 1 || slot.ReadingIndex > count)) std::abort();
        }
    for (const auto& temp : env.Slots.TempSlots)
        for (int n : temp.UsedPwms)
            if (n < 1 || static_cast<std::size_t>(n) > env.Slots.PwmSlots.size()) std::abort();
}

Environment& TheEnvironment() {
    fuzzsupport::KeepTempFilesInMemory();
    static Environment env;
    return env;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Environment& env = TheEnvironment();
    if (size == 0) return 0;
    const bool propertiesOnly = data[0] & 1;
    testsupport::writeFile(env.Path, std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    env.Slots = TReadingSlots();
    env.Slots.BuildReadingSlots(env.Sensors);
    env.Slots.AutoAssociate(env.Sensors);
    env.FanControllers.clear();
    StickyProps.clear();
    env.Boxes.Info.clear();
    env.Boxes.Readings.clear();
    LOADASSOCIATIONS({env.Sensors, env.Slots, env.FanControllers, env.Log}, env.Path, propertiesOnly, false);
    CheckBindings(env);
    return 0;
}
