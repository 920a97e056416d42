#include "platform/sim/boardregisters.h"

#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

std::uint8_t readByte(const BoardNode& node) { return static_cast<std::uint8_t>(node.asHex(0xFF, "0x52")); }

ValueGenerator readScript(const BoardNode& node) {
    std::vector<std::uint8_t> values;
    for (const auto& item : node.items()) values.push_back(readByte(item));
    if (values.empty()) node.failExpected("at least one value");
    return scriptedValues(std::move(values));
}

struct Steps {
    std::uint8_t start;
    std::uint8_t step;
};

Steps readSteps(const BoardNode& node) {
    node.expectFields({"start", "step"});
    const auto start = node.optionalField("start") ? readByte(node.field("start")) : std::uint8_t{0};
    const auto step = node.optionalField("step") ? node.field("step").asInteger(1, 255) : 1;
    return {start, static_cast<std::uint8_t>(step)};
}

// One byte of an encoded value for a byte register, when the board asks.
ValueGenerator pickByte(const BoardNode& node, ValueGenerator encoded) {
    const auto byte = node.optionalField("byte");
    if (!byte) return encoded;
    const std::string which = byte->asString();
    if (which == "high") return [encoded] { return static_cast<std::uint16_t>(encoded() >> 8); };
    if (which == "low") return [encoded] { return static_cast<std::uint16_t>(encoded() & 0xFF); };
    byte->failExpected("\"high\" or \"low\"");
}

ValueGenerator readFanSpeed(const BoardNode& node, ThermalModel& thermal) {
    node.expectFields({"fan", "encoding", "clock", "divisor", "fullScale", "byte"});
    const std::string fan = node.field("fan").asNonEmptyString();
    if (!thermal.hasFan(fan)) node.field("fan").failExpected("a fan of the \"thermal\" section");
    const BoardNode encodingNode = node.field("encoding");
    const std::string encoding = encodingNode.asString();
    if (encoding == "rpm") return pickByte(node, [&thermal, fan] { return encodeRpm(thermal.fanRpm(fan)); });
    if (encoding == "sixtyRpm") return pickByte(node, [&thermal, fan] { return encodeSixtyRpm(thermal.fanRpm(fan)); });
    if (encoding != "count") encodingNode.failExpected("\"count\", \"rpm\" or \"sixtyRpm\"");
    const double clock = static_cast<double>(node.field("clock").asInteger(1, 100000000));
    const int divisor = node.optionalField("divisor") ? static_cast<int>(node.field("divisor").asInteger(1, 128)) : 1;
    const auto fullScale = static_cast<std::uint16_t>(node.field("fullScale").asHex(0xFFFF, "0xFF"));
    return pickByte(node, [&thermal, fan, clock, divisor, fullScale] {
        return encodeFanCount(thermal.fanRpm(fan), clock, divisor, fullScale);
    });
}

// The fan's duty follows what the program writes; it starts from the register's value.
void readOutput(const BoardNode& node, RegisterBehaviour& behaviour, RegisterFile& file, std::uint8_t reg, int bank,
                ThermalModel& thermal) {
    node.expectFields({"fan", "scale", "inverted"});
    const std::string fan = node.field("fan").asNonEmptyString();
    if (!thermal.hasFan(fan)) node.field("fan").failExpected("a fan of the \"thermal\" section");
    const double scale = static_cast<double>(node.field("scale").asInteger(1, 0xFFFF));
    const bool inverted = node.optionalField("inverted") && node.field("inverted").asBool();
    auto setDuty = [&thermal, fan, scale, inverted](std::uint16_t value) {
        const double share = std::min(value / scale, 1.0);
        thermal.setDuty(fan, inverted ? 1 - share : share);
    };
    setDuty(file.peekWord(reg, bank));
    behaviour.onWrite = std::move(setDuty);
}

RegisterFault readFault(const BoardNode& node) {
    node.expectFields({"kind", "times"});
    const BoardNode kind = node.field("kind");
    RegisterFault fault;
    const std::string text = kind.asString();
    if (text == "fail") {
        fault.kind = RegisterFault::Kind::Fail;
        if (auto times = node.optionalField("times")) fault.times = static_cast<int>(times->asInteger(1, 1000000));
        return fault;
    }
    if (node.optionalField("times")) node.field("times").fail("only a \"fail\" fault counts its times");
    if (text == "allOnes") fault.kind = RegisterFault::Kind::AllOnes;
    else if (text == "garbage") fault.kind = RegisterFault::Kind::Garbage;
    else kind.failExpected("\"fail\", \"allOnes\" or \"garbage\"");
    return fault;
}

RegisterBit readBit(const BoardNode& node) {
    node.expectFields({"register", "mask"});
    return {readByte(node.field("register")), readByte(node.field("mask"))};
}

void readRegister(const BoardNode& node, RegisterFile& file, std::uint8_t reg, int bank, Machine& machine) {
    if (node.isString()) {
        file.set(reg, readByte(node), bank);
        return;
    }
    if (!node.isObject()) node.failExpected("a hex string like \"0x52\" or an object");
    node.expectFields({"value", "writeMask", "clearOnRead", "word", "writeTo", "mirrorOf", "protectedBy", "fault",
                       "script", "counter", "perSecond", "temperature", "fanSpeed", "output"});
    RegisterBehaviour behaviour;
    behaviour.word = node.optionalField("word") && node.field("word").asBool();
    const std::uint32_t widest = behaviour.word ? 0xFFFF : 0xFF;
    const auto readValue = [widest](const BoardNode& n) {
        return static_cast<std::uint16_t>(n.asHex(widest, widest == 0xFF ? "0x52" : "0x1234"));
    };
    if (auto value = node.optionalField("value")) file.set(reg, readValue(*value), bank);
    if (auto mask = node.optionalField("writeMask")) behaviour.writeMask = readValue(*mask);
    if (auto mask = node.optionalField("clearOnRead")) behaviour.clearOnRead = readValue(*mask);
    if (auto to = node.optionalField("writeTo")) behaviour.writeTo = readByte(*to);
    if (auto of = node.optionalField("mirrorOf")) behaviour.mirrorOf = readByte(*of);
    if (auto bit = node.optionalField("protectedBy")) behaviour.protectedBy = readBit(*bit);
    if (auto fault = node.optionalField("fault")) file.setFault(reg, readFault(*fault), bank);
    if (auto output = node.optionalField("output")) readOutput(*output, behaviour, file, reg, bank, machine.thermal());
    file.setBehaviour(reg, std::move(behaviour), bank);

    int sources = 0;
    for (const char* name : {"script", "counter", "perSecond", "temperature", "fanSpeed"})
        sources += node.optionalField(name) ? 1 : 0;
    if (sources > 1)
        node.fail("expected at most one of \"script\", \"counter\", \"perSecond\", \"temperature\" and \"fanSpeed\"");
    if (auto script = node.optionalField("script")) file.setGenerator(reg, readScript(*script), bank);
    if (auto counter = node.optionalField("counter")) {
        const Steps s = readSteps(*counter);
        file.setGenerator(reg, countingValue(s.start, s.step), bank);
    }
    if (auto perSecond = node.optionalField("perSecond")) {
        const Steps s = readSteps(*perSecond);
        file.setGenerator(reg, perSecondValue(machine.simClock(), s.start, s.step), bank);
    }
    if (auto t = node.optionalField("temperature")) file.setGenerator(reg, readTemperature(*t, machine.thermal()), bank);
    if (auto f = node.optionalField("fanSpeed")) file.setGenerator(reg, readFanSpeed(*f, machine.thermal()), bank);
}

}  // namespace

ValueGenerator readTemperature(const BoardNode& node, ThermalModel& thermal) {
    node.expectFields({"source", "encoding", "byte"});
    const std::string source = node.field("source").asNonEmptyString();
    if (!thermal.hasSource(source)) node.field("source").failExpected("a heat source of the \"thermal\" section");
    const BoardNode encodingNode = node.field("encoding");
    const std::string encoding = encodingNode.asString();
    if (encoding == "signedByte")
        return pickByte(node, [&thermal, source] { return encodeSignedByte(thermal.temperature(source)); });
    if (encoding == "halfDegree")
        return pickByte(node, [&thermal, source] { return encodeHalfDegree(thermal.temperature(source)); });
    encodingNode.failExpected("\"signedByte\" or \"halfDegree\"");
}

void readRegisters(const BoardNode& registers, RegisterFile& file, int bank, Machine& machine) {
    for (const auto& [key, node] : registers.members()) {
        const auto reg = parseHex(key);
        if (!reg || *reg > 0xFF) node.fail("expected a register number like \"0x20\" as the name");
        readRegister(node, file, static_cast<std::uint8_t>(*reg), bank, machine);
    }
}

int readNumberName(const std::string& key, const BoardNode& member, int first, int last, const std::string& what) {
    int number = first - 1;
    try {
        number = std::stoi(key);
    } catch (const std::exception&) {
    }
    if (number < first || number > last || std::to_string(number) != key) member.fail("expected " + what + " as the name");
    return number;
}

std::string readDeviceName(const BoardNode& device, const Machine& machine) {
    const BoardNode nameNode = device.field("name");
    std::string name = nameNode.asNonEmptyString();
    if (machine.registerFile(name)) nameNode.failExpected("a name no other device has");
    return name;
}

// ["quick", "byte", "byteData", "wordData", "block"] as a slave's protocol mask.
std::uint8_t readProtocolMask(const BoardNode& node) {
    static const std::pair<const char*, SMBusProtocol> names[] = {{"quick", SMBusProtocol::Quick},
                                                                  {"byte", SMBusProtocol::Byte},
                                                                  {"byteData", SMBusProtocol::ByteData},
                                                                  {"wordData", SMBusProtocol::WordData},
                                                                  {"block", SMBusProtocol::Block}};
    std::uint8_t mask = 0;
    for (const BoardNode& item : node.items()) {
        const std::string text = item.asString();
        bool known = false;
        for (const auto& [name, protocol] : names) {
            if (text != name) continue;
            mask |= static_cast<std::uint8_t>(1u << static_cast<int>(protocol));
            known = true;
        }
        if (!known) item.failExpected("one of \"quick\", \"byte\", \"byteData\", \"wordData\", \"block\"");
    }
    return mask;
}

}  // namespace platform::sim
