#pragma once
// Typed, validating access to a board file. Every node knows the file and the
// JSON path it came from, so a wrong field is reported as
//   demo.json: /isaDevices/0/indexPort: expected a hex string like "0x2E"
// A "note" member is a comment and is allowed in every object.

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::sim {

// A board file that cannot be used; the message says where and why.
class BoardError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// "0x2E" or "0X2e": at least one hex digit after the prefix, at most 8.
std::optional<std::uint32_t> parseHex(std::string_view text);
// The same with up to 16 digits.
std::optional<std::uint64_t> parseHex64(std::string_view text);

class BoardNode {
public:
    // `value` may be null for a member that is absent; `source` must outlive
    // the node and every node taken from it.
    BoardNode(const nlohmann::json* value, const std::string& source, std::string path);

    bool present() const { return value_ != nullptr; }
    const std::string& path() const { return path_; }
    const std::string& source() const { return source_; }

    // Members of an object. field() of an absent member gives an absent node
    // whose typed reads report it missing.
    BoardNode field(std::string_view key) const;
    std::optional<BoardNode> optionalField(std::string_view key) const;
    // Requires an object whose members are all in `allowed` (or "note").
    void expectFields(std::initializer_list<std::string_view> allowed) const;
    // Every member but "note", for objects keyed by data (registry keys,
    // register numbers).
    std::vector<std::pair<std::string, BoardNode>> members() const;
    std::vector<BoardNode> items() const;

    bool isObject() const;
    bool isString() const;
    bool isInteger() const;
    bool isBool() const;
    bool isNull() const;
    bool isArray() const;
    std::string asString() const;
    std::string asNonEmptyString() const;
    char asChar() const;
    bool asBool() const;
    std::int64_t asInteger(std::int64_t min, std::int64_t max) const;
    // Any JSON number from min to max.
    double asNumber(double min, double max) const;
    // A hex string no larger than `max`; `example` is shown when it is not one.
    std::uint32_t asHex(std::uint32_t max, std::string_view example) const;

    // "<source>: <path>: <message>".
    [[noreturn]] void fail(const std::string& message) const;
    // Like fail(), phrased "expected <what>" or, when absent, "missing, expected <what>".
    [[noreturn]] void failExpected(const std::string& what) const;

private:
    const nlohmann::json& object() const;
    void checkNote() const;

    const nlohmann::json* value_;
    const std::string& source_;
    std::string path_;
};

// Turns a model's refusal (overlap, range) into a board error at the node.
template <class Action>
void installAt(const BoardNode& node, Action action) {
    try {
        action();
    } catch (const std::invalid_argument& e) {
        node.fail(e.what());
    }
}

}  // namespace platform::sim
