#include "platform/sim/boardperipherals.h"

#include <algorithm>
#include <charconv>

#include "platform/cardlibrary.h"
#include "platform/sim/machine.h"
#include "platform/sim/simcardlibrary.h"

namespace platform::sim {
namespace {

std::uint32_t indexOf(const std::string& key, const BoardNode& value) {
    std::uint32_t index = 0;
    const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), index);
    if (key.empty() || error != std::errc() || end != key.data() + key.size())
        value.fail("expected a decimal index like \"1\" as the name");
    return index;
}

std::map<std::uint32_t, std::int32_t> valuesByIndex(const BoardNode& node) {
    std::map<std::uint32_t, std::int32_t> values;
    for (const auto& [key, value] : node.members())
        values[indexOf(key, value)] = static_cast<std::int32_t>(value.asInteger(INT32_MIN, INT32_MAX));
    return values;
}

}  // namespace

void loadCardLibrarySection(const BoardNode& section, Machine& machine) {
    section.expectFields({"path", "handle", "temperatures", "fanSpeeds", "voltages", "absent"});
    CardLibraryConfig config;
    if (auto node = section.optionalField("handle")) config.handle = node->asHex(0xFFFFFFFF, "0x10000000");
    const std::pair<std::string_view, std::map<std::uint32_t, std::int32_t>*> lists[] = {
        {"temperatures", &config.temperatures}, {"fanSpeeds", &config.fanSpeeds}, {"voltages", &config.voltages}};
    for (const auto& [name, values] : lists)
        if (auto node = section.optionalField(name)) *values = valuesByIndex(*node);
    if (auto node = section.optionalField("absent")) {
        for (const BoardNode& item : node->items()) {
            const std::string name = item.asString();
            const auto& known = cardlibrary::EntryPoints;
            if (std::find(known.begin(), known.end(), name) == known.end())
                item.failExpected("the name of one of the library's entry points");
            config.absent.insert(name);
        }
    }
    machine.simLibraries().place(section.field("path").asNonEmptyString(), makeCardLibrary(config));
}

void loadJoysticksSection(const BoardNode& section, Machine& machine) {
    for (const auto& [key, node] : section.members()) {
        node.expectFields({"x", "y", "z", "buttons"});
        JoystickPosition position;
        const std::pair<std::string_view, std::uint32_t*> axes[] = {
            {"x", &position.x}, {"y", &position.y}, {"z", &position.z}};
        for (const auto& [name, axis] : axes)
            if (auto value = node.optionalField(name)) *axis = static_cast<std::uint32_t>(value->asInteger(0, 65535));
        if (auto value = node.optionalField("buttons"))
            position.buttons = static_cast<std::uint32_t>(value->asInteger(0, 0xFFFFFFFF));
        machine.joysticks()[indexOf(key, node)] = position;
    }
}

}  // namespace platform::sim
