#include "platform/sim/boardreader.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

namespace platform::sim {
namespace {

// As a person writes it: "40", "0.5".
std::string numberText(double v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

}  // namespace
namespace {

// JSON pointer escaping of one path segment.
std::string escapeSegment(std::string_view key) {
    std::string out;
    for (char c : key) {
        if (c == '~')
            out += "~0";
        else if (c == '/')
            out += "~1";
        else
            out += c;
    }
    return out;
}

std::string quotedList(std::initializer_list<std::string_view> names) {
    std::string out;
    for (auto name : names) {
        if (!out.empty()) out += ", ";
        out += '"' + std::string(name) + '"';
    }
    return out;
}

std::optional<std::uint64_t> parseHexDigits(std::string_view text, std::size_t maxDigits) {
    if (text.size() < 3 || text.size() > 2 + maxDigits || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text.substr(2)) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
        value = value << 4 | static_cast<std::uint64_t>(digit);
    }
    return value;
}

}  // namespace

std::optional<std::uint32_t> parseHex(std::string_view text) {
    const auto value = parseHexDigits(text, 8);
    if (!value) return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

std::optional<std::uint64_t> parseHex64(std::string_view text) { return parseHexDigits(text, 16); }

BoardNode::BoardNode(const nlohmann::json* value, const std::string& source, std::string path)
    : value_(value), source_(source), path_(std::move(path)) {}

void BoardNode::fail(const std::string& message) const {
    throw BoardError(source_ + ": " + (path_.empty() ? "/" : path_) + ": " + message);
}

void BoardNode::failExpected(const std::string& what) const {
    fail((present() ? "expected " : "missing, expected ") + what);
}

const nlohmann::json& BoardNode::object() const {
    if (!present() || !value_->is_object()) failExpected("an object");
    return *value_;
}

void BoardNode::checkNote() const {
    if (auto note = optionalField("note")) note->asString();
}

BoardNode BoardNode::field(std::string_view key) const {
    const auto& obj = object();
    const auto it = obj.find(std::string(key));
    return BoardNode(it == obj.end() ? nullptr : &*it, source_, path_ + "/" + escapeSegment(key));
}

std::optional<BoardNode> BoardNode::optionalField(std::string_view key) const {
    BoardNode node = field(key);
    if (!node.present()) return std::nullopt;
    return node;
}

void BoardNode::expectFields(std::initializer_list<std::string_view> allowed) const {
    for (const auto& [key, unused] : object().items()) {
        if (key == "note" || std::find(allowed.begin(), allowed.end(), key) != allowed.end()) continue;
        field(key).fail("unknown field, expected one of " + quotedList(allowed));
    }
    checkNote();
}

std::vector<std::pair<std::string, BoardNode>> BoardNode::members() const {
    std::vector<std::pair<std::string, BoardNode>> out;
    for (const auto& [key, unused] : object().items()) {
        if (key != "note") out.emplace_back(key, field(key));
    }
    checkNote();
    return out;
}

std::vector<BoardNode> BoardNode::items() const {
    if (!present() || !value_->is_array()) failExpected("an array");
    std::vector<BoardNode> out;
    for (std::size_t i = 0; i < value_->size(); ++i)
        out.emplace_back(&(*value_)[i], source_, path_ + "/" + std::to_string(i));
    return out;
}

bool BoardNode::isObject() const { return present() && value_->is_object(); }

bool BoardNode::isString() const { return present() && value_->is_string(); }

bool BoardNode::isInteger() const { return present() && value_->is_number_integer(); }
bool BoardNode::isBool() const { return present() && value_->is_boolean(); }
bool BoardNode::isNull() const { return present() && value_->is_null(); }
bool BoardNode::isArray() const { return present() && value_->is_array(); }

std::string BoardNode::asString() const {
    if (!isString()) failExpected("a string");
    return value_->get<std::string>();
}

std::string BoardNode::asNonEmptyString() const {
    if (!isString() || value_->get_ref<const std::string&>().empty()) failExpected("a non-empty string");
    return value_->get<std::string>();
}

char BoardNode::asChar() const {
    if (!isString() || value_->get_ref<const std::string&>().size() != 1) failExpected("a string of one character");
    return value_->get_ref<const std::string&>()[0];
}

bool BoardNode::asBool() const {
    if (!present() || !value_->is_boolean()) failExpected("true or false");
    return value_->get<bool>();
}

std::int64_t BoardNode::asInteger(std::int64_t min, std::int64_t max) const {
    const std::string range = "an integer from " + std::to_string(min) + " to " + std::to_string(max);
    if (!isInteger()) failExpected(range);
    // Unsigned values past the signed range are out of any range we accept.
    if (value_->is_number_unsigned() && value_->get<std::uint64_t>() > static_cast<std::uint64_t>(max))
        failExpected(range);
    const auto v = value_->get<std::int64_t>();
    if (v < min || v > max) failExpected(range);
    return v;
}

double BoardNode::asNumber(double min, double max) const {
    const std::string range = "a number from " + numberText(min) + " to " + numberText(max);
    if (!value_ || !value_->is_number()) failExpected(range);
    const auto v = value_->get<double>();
    if (!(v >= min && v <= max)) failExpected(range);
    return v;
}

std::uint32_t BoardNode::asHex(std::uint32_t max, std::string_view example) const {
    const auto v = isString() ? parseHex(value_->get_ref<const std::string&>()) : std::nullopt;
    if (!v) failExpected("a hex string like \"" + std::string(example) + "\"");
    if (*v > max) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%X", max);
        failExpected(std::string("a hex string no larger than ") + text);
    }
    return *v;
}

}  // namespace platform::sim
