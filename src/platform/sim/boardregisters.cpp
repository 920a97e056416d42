#include "platform/sim/boardregisters.h"

namespace platform::sim {
namespace {

std::uint8_t readByte(const BoardNode& node) { return static_cast<std::uint8_t>(node.asHex(0xFF, "0x52")); }

ValueGenerator readScript(const BoardNode& node) {
    std::vector<std::uint8_t> values;
    for (const auto& item : node.items()) values.push_back(readByte(item));
    if (values.empty()) node.failExpected("at least one value");
    return scriptedValues(std::move(values));
}

ValueGenerator readCounter(const BoardNode& node) {
    node.expectFields({"start", "step"});
    const auto start = node.optionalField("start") ? readByte(node.field("start")) : std::uint8_t{0};
    const auto step = node.optionalField("step") ? node.field("step").asInteger(1, 255) : 1;
    return countingValue(start, static_cast<std::uint8_t>(step));
}

void readRegister(const BoardNode& node, RegisterFile& file, std::uint8_t reg, int bank) {
    if (node.isString()) {
        file.set(reg, readByte(node), bank);
        return;
    }
    if (!node.isObject()) node.failExpected("a hex string like \"0x52\" or an object");
    node.expectFields({"value", "writeMask", "clearOnRead", "script", "counter"});
    if (auto value = node.optionalField("value")) file.set(reg, readByte(*value), bank);
    RegisterBehaviour behaviour;
    if (auto mask = node.optionalField("writeMask")) behaviour.writeMask = readByte(*mask);
    if (auto mask = node.optionalField("clearOnRead")) behaviour.clearOnRead = readByte(*mask);
    file.setBehaviour(reg, behaviour, bank);

    const auto script = node.optionalField("script");
    const auto counter = node.optionalField("counter");
    if (script && counter) node.fail("expected at most one of \"script\" and \"counter\"");
    if (script) file.setGenerator(reg, readScript(*script), bank);
    if (counter) file.setGenerator(reg, readCounter(*counter), bank);
}

}  // namespace

void readRegisters(const BoardNode& registers, RegisterFile& file, int bank) {
    for (const auto& [key, node] : registers.members()) {
        const auto reg = parseHex(key);
        if (!reg || *reg > 0xFF) node.fail("expected a register number like \"0x20\" as the name");
        readRegister(node, file, static_cast<std::uint8_t>(*reg), bank);
    }
}

}  // namespace platform::sim
