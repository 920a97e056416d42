#include "platform/sim/simacpi.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/acpictl.h"
#include "platform/asciicase.h"
#include "platform/platform.h"
#include "platform/sim/boardhardware.h"
#include "platform/sim/boardreader.h"

namespace platform::sim {
namespace {

namespace acpi = platform::acpi;
using Bytes = std::vector<std::uint8_t>;

// A little-endian reader that refuses to run past the block.
class BlockReader {
public:
    explicit BlockReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool take(std::size_t n, std::span<const std::uint8_t>& out) {
        if (bytes_.size() - at_ < n) return false;
        out = bytes_.subspan(at_, n);
        at_ += n;
        return true;
    }
    bool number(std::size_t width, std::uint64_t& value) {
        std::span<const std::uint8_t> raw;
        if (!take(width, raw)) return false;
        value = 0;
        for (std::size_t i = width; i-- > 0;) value = value << 8 | raw[i];
        return true;
    }
    bool atEnd() const { return at_ == bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

struct Request {
    std::string method;
    std::vector<SimAcpiArgument> args;
};

bool parseComplexArgument(BlockReader& r, SimAcpiArgument& arg) {
    std::uint64_t type = 0, length = 0;
    std::span<const std::uint8_t> data;
    if (!r.number(2, type) || !r.number(2, length) || !r.take(acpi::elementSize(length) - acpi::ElementHeader, data))
        return false;
    data = data.first(length);
    switch (type) {
        case acpi::TypeInteger:
            if (length != 4) return false;
            arg.kind = SimAcpiArgument::Kind::Integer;
            arg.integer = data[0] | data[1] << 8 | data[2] << 16 | std::uint64_t(data[3]) << 24;
            return true;
        case acpi::TypeString:
            // The driver wants the terminating zero inside the string.
            if (length == 0 || data.back() != 0) return false;
            arg.kind = SimAcpiArgument::Kind::String;
            arg.text.assign(data.begin(), data.end() - 1);
            return true;
        case acpi::TypeBuffer:
            arg.kind = SimAcpiArgument::Kind::Buffer;
            arg.bytes.assign(data.begin(), data.end());
            return true;
        default: return false;
    }
}

std::optional<Request> parseRequest(std::uint32_t code, std::span<const std::uint8_t> input) {
    const bool ex = code == acpi::EvalMethodEx;
    BlockReader r(input);
    std::uint64_t signature = 0;
    std::span<const std::uint8_t> name;
    if (!r.number(4, signature) || !r.take(ex ? acpi::PathField : acpi::NameLength, name)) return std::nullopt;
    Request request;
    if (ex) {
        const auto zero = std::find(name.begin(), name.end(), 0);
        if (zero == name.end() || zero == name.begin()) return std::nullopt;
        request.method.assign(name.begin(), zero);
    } else {
        request.method.assign(name.begin(), name.end());
    }
    using namespace acpi::sig;
    const std::uint32_t sig = static_cast<std::uint32_t>(signature);
    SimAcpiArgument arg;
    if (sig == (ex ? NoArgumentEx : NoArgument)) {
        // nothing follows
    } else if (sig == (ex ? IntegerEx : Integer)) {
        if (!r.number(ex ? 8 : 4, arg.integer)) return std::nullopt;
        request.args.push_back(arg);
    } else if (sig == (ex ? TextEx : Text)) {
        std::uint64_t length = 0;
        std::span<const std::uint8_t> text;
        if (!r.number(4, length) || !r.take(length, text)) return std::nullopt;
        arg.kind = SimAcpiArgument::Kind::String;
        arg.text.assign(text.begin(), text.end());
        request.args.push_back(arg);
    } else if (sig == (ex ? ComplexEx : Complex)) {
        std::uint64_t size = 0, count = 0;
        std::span<const std::uint8_t> body;
        if (!r.number(4, size) || !r.number(4, count) || !r.take(size, body)) return std::nullopt;
        BlockReader args(body);
        for (std::uint64_t i = 0; i < count; ++i) {
            SimAcpiArgument one;
            if (!parseComplexArgument(args, one)) return std::nullopt;
            request.args.push_back(std::move(one));
        }
        if (!args.atEnd()) return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!r.atEnd()) return std::nullopt;
    return request;
}

void putLE(Bytes& b, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void encodeElement(const SimAcpiValue& value, SimAcpiQuirk quirk, Bytes& out) {
    Bytes data;
    std::uint16_t type = acpi::TypeInteger;
    switch (value.kind) {
        case SimAcpiValue::Kind::Integer:
            putLE(data, value.integer, quirk == SimAcpiQuirk::WideIntegers ? 8 : 4);
            break;
        case SimAcpiValue::Kind::String:
            type = acpi::TypeString;
            data.assign(value.text.begin(), value.text.end());
            data.push_back(0);
            break;
        case SimAcpiValue::Kind::Buffer:
            type = acpi::TypeBuffer;
            data = value.bytes;
            break;
        default:
            type = acpi::TypePackage;
            for (const SimAcpiValue& member : value.members) encodeElement(member, quirk, data);
            break;
    }
    putLE(out, type, 2);
    putLE(out, data.size(), 2);
    out.insert(out.end(), data.begin(), data.end());
    out.resize(out.size() + acpi::elementSize(data.size()) - acpi::ElementHeader - data.size(), 0);
}

// The output block of an answer and its element count.
Bytes encodeAnswer(const SimAcpiValue& value, SimAcpiQuirk quirk) {
    Bytes elements;
    std::size_t count = 0;
    if (value.kind == SimAcpiValue::Kind::Package) {
        for (const SimAcpiValue& member : value.members) encodeElement(member, quirk, elements);
        count = value.members.size();
    } else {
        encodeElement(value, quirk, elements);
        count = 1;
    }
    if (quirk == SimAcpiQuirk::CutOff && !elements.empty()) elements.resize(elements.size() - 2);
    if (quirk == SimAcpiQuirk::WrongCount) count += 3;
    Bytes out;
    putLE(out, acpi::sig::Output, 4);
    putLE(out, acpi::OutputHeader + elements.size(), 4);
    putLE(out, count, 4);
    out.insert(out.end(), elements.begin(), elements.end());
    return out;
}

bool argumentsMatch(const std::vector<SimAcpiArgumentMatch>& pattern, const std::vector<SimAcpiArgument>& args) {
    if (pattern.size() != args.size()) return false;
    for (std::size_t i = 0; i < args.size(); ++i)
        if (!pattern[i].matches(args[i])) return false;
    return true;
}

std::string lastSegment(const std::string& path) {
    const auto cut = path.find_last_of(".\\^");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

bool SimAcpiArgumentMatch::matches(const SimAcpiArgument& argument) const {
    using K = SimAcpiArgument::Kind;
    if (value.kind == K::Integer && argument.kind == K::Buffer && argument.bytes.size() >= 4) {
        const auto& b = argument.bytes;
        return (b[0] | b[1] << 8 | b[2] << 16 | std::uint64_t(b[3]) << 24) == (value.integer & 0xFFFFFFFF);
    }
    if (value.kind != argument.kind) return false;
    switch (value.kind) {
        case K::Integer: return value.integer == argument.integer;
        case K::String: return value.text == argument.text;
        default: return value.bytes == argument.bytes;
    }
}

void SimAcpiMethods::add(const std::string& method, std::vector<SimAcpiCase> cases) {
    methods_[asciiUpper(method)] = std::move(cases);
}

void SimAcpiMethods::prependFrom(const SimAcpiMethods& other) {
    for (const auto& [name, cases] : other.methods_) {
        auto& mine = methods_[name];
        mine.insert(mine.begin(), cases.begin(), cases.end());
    }
}

bool SimAcpiMethods::evaluate(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                              std::uint32_t& returned, std::uint32_t& error) {
    returned = 0;
    const auto request = parseRequest(code, input);
    if (!request) {
        error = ErrorInvalidParameter;
        return false;
    }
    auto found = methods_.find(asciiUpper(request->method));
    if (found == methods_.end()) found = methods_.find(asciiUpper(lastSegment(request->method)));
    // The driver's answer for a name the namespace lacks (STATUS_OBJECT_NAME_NOT_FOUND).
    error = 0xC0000034;
    if (found == methods_.end()) return false;
    const auto acase = std::find_if(found->second.begin(), found->second.end(), [&](const SimAcpiCase& c) {
        return !c.args || argumentsMatch(*c.args, request->args);
    });
    if (acase == found->second.end() || acase->script.empty()) return false;
    const SimAcpiValue& value = acase->script[std::min(acase->calls, acase->script.size() - 1)];
    ++acase->calls;
    if (value.kind == SimAcpiValue::Kind::Failure) {
        error = static_cast<std::uint32_t>(value.integer);
        return false;
    }
    const Bytes block = encodeAnswer(value, acase->quirk);
    if (acase->quirk == SimAcpiQuirk::AlwaysMoreData || block.size() > output.size()) {
        if (output.size() >= acpi::OutputHeader) std::memcpy(output.data(), block.data(), acpi::OutputHeader);
        error = acpi::ErrorMoreData;
        return false;
    }
    std::memcpy(output.data(), block.data(), block.size());
    returned = static_cast<std::uint32_t>(block.size());
    return true;
}

namespace {

SimAcpiValue loadValue(const BoardNode& node) {
    SimAcpiValue value;
    if (node.isInteger()) {
        value.integer = static_cast<std::uint64_t>(node.asInteger(-0x80000000LL, 0xFFFFFFFFLL));
    } else if (node.isString()) {
        value.kind = SimAcpiValue::Kind::String;
        value.text = node.asString();
    } else if (auto n = node.optionalField("integer")) {
        node.expectFields({"integer"});
        value.integer = n->isString() ? asHex64(*n) : static_cast<std::uint64_t>(n->asInteger(-0x80000000LL, 0xFFFFFFFFLL));
    } else if (auto n = node.optionalField("buffer")) {
        node.expectFields({"buffer"});
        value.kind = SimAcpiValue::Kind::Buffer;
        value.bytes = asByteString(*n);
    } else if (auto n = node.optionalField("package")) {
        node.expectFields({"package"});
        value.kind = SimAcpiValue::Kind::Package;
        for (const BoardNode& item : n->items()) value.members.push_back(loadValue(item));
    } else if (auto n = node.optionalField("fails")) {
        node.expectFields({"fails"});
        value.kind = SimAcpiValue::Kind::Failure;
        value.integer = n->asHex(0xFFFFFFFF, "0xC0000034");
    } else {
        node.failExpected("an integer, a string, or {\"integer\"}, {\"buffer\"}, {\"package\"}, {\"fails\"}");
    }
    return value;
}

SimAcpiArgumentMatch loadArgument(const BoardNode& node) {
    SimAcpiArgumentMatch match;
    if (node.isInteger()) {
        match.value.integer = static_cast<std::uint64_t>(node.asInteger(0, 0xFFFFFFFFLL));
    } else if (node.isString()) {
        match.value.kind = SimAcpiArgument::Kind::String;
        match.value.text = node.asString();
    } else {
        node.expectFields({"buffer"});
        match.value.kind = SimAcpiArgument::Kind::Buffer;
        match.value.bytes = asByteString(node.field("buffer"));
    }
    return match;
}

SimAcpiQuirk loadQuirk(const BoardNode& node) {
    static constexpr std::pair<std::string_view, SimAcpiQuirk> names[] = {
        {"alwaysMoreData", SimAcpiQuirk::AlwaysMoreData},
        {"wrongCount", SimAcpiQuirk::WrongCount},
        {"cutOff", SimAcpiQuirk::CutOff},
        {"wideIntegers", SimAcpiQuirk::WideIntegers},
    };
    const std::string text = node.asString();
    for (const auto& [name, quirk] : names)
        if (name == text) return quirk;
    node.failExpected("\"alwaysMoreData\", \"wrongCount\", \"cutOff\" or \"wideIntegers\"");
}

bool isCase(const BoardNode& node) {
    return node.isObject() && (node.optionalField("answer") || node.optionalField("script"));
}

SimAcpiCase loadCase(const BoardNode& node) {
    SimAcpiCase acase;
    if (!isCase(node)) {
        acase.script.push_back(loadValue(node));
        return acase;
    }
    node.expectFields({"args", "answer", "script", "quirk"});
    if (auto args = node.optionalField("args")) {
        acase.args.emplace();
        for (const BoardNode& item : args->items()) acase.args->push_back(loadArgument(item));
    }
    if (auto answer = node.optionalField("answer")) acase.script.push_back(loadValue(*answer));
    if (auto script = node.optionalField("script")) {
        for (const BoardNode& item : script->items()) acase.script.push_back(loadValue(item));
        if (acase.script.empty()) script->failExpected("at least one answer");
    }
    if (auto quirk = node.optionalField("quirk")) acase.quirk = loadQuirk(*quirk);
    return acase;
}

}  // namespace

std::shared_ptr<SimAcpiMethods> loadAcpiMethods(const BoardNode& node) {
    auto methods = std::make_shared<SimAcpiMethods>();
    for (const auto& [name, entry] : node.members()) {
        std::vector<SimAcpiCase> cases;
        if (entry.isArray()) {
            for (const BoardNode& item : entry.items()) cases.push_back(loadCase(item));
        } else {
            cases.push_back(loadCase(entry));
        }
        methods->add(name, std::move(cases));
    }
    return methods;
}

}  // namespace platform::sim
