#include "platform/sim/simcardlibrary.h"

#include "platform/cardlibrary.h"

namespace platform::sim {

SimLibrary makeCardLibrary(const CardLibraryConfig& config) {
    namespace lib = cardlibrary;
    using Values = std::map<std::uint32_t, std::int32_t>;
    const auto reader = [](const Values& values) {
        return [values](std::uint32_t index) {
            const auto it = values.find(index);
            return it == values.end() ? 0 : it->second;
        };
    };
    const std::map<std::string, Values> answers = {{lib::GetTemperature, config.temperatures},
                                                   {lib::GetFanSpeed, config.fanSpeeds},
                                                   {lib::GetVoltage, config.voltages},
                                                   {lib::GetChipClock, {}},
                                                   {lib::GetMemoryClock, {}},
                                                   {lib::DetectCard, {{0, 1}}}};
    SimLibrary library;
    library.handle = config.handle;
    for (const auto& [name, values] : answers)
        if (!config.absent.contains(name)) library.add<lib::Reader>(name, reader(values));
    return library;
}

}  // namespace platform::sim
