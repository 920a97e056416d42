#pragma once
// Trace lines of the hardware layer. The layer sits below the program's
// formatter and debug trace, so a line travels as its format picture and
// arguments; the core installs the sink that formats and writes it at
// start-up. Without a sink, lines are dropped.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

class HwTraceArg {
public:
    HwTraceArg(int v) : value_(std::int64_t{v}) {}
    HwTraceArg(long v) : value_(std::int64_t{v}) {}
    HwTraceArg(long long v) : value_(std::int64_t{v}) {}
    HwTraceArg(unsigned v) : value_(std::uint64_t{v}) {}
    HwTraceArg(unsigned long v) : value_(std::uint64_t{v}) {}
    HwTraceArg(unsigned long long v) : value_(std::uint64_t{v}) {}
    HwTraceArg(const char* v) : value_(std::string(v)) {}
    HwTraceArg(std::string v) : value_(std::move(v)) {}

    using Value = std::variant<std::int64_t, std::uint64_t, std::string>;
    const Value& value() const { return value_; }
    bool operator==(const HwTraceArg&) const = default;

private:
    Value value_;
};

struct HwTraceLine {
    std::string picture;
    std::vector<HwTraceArg> args;
    bool operator==(const HwTraceLine&) const = default;
};

using HwTraceSink = std::function<void(const HwTraceLine&)>;

void SetHwTraceSink(HwTraceSink sink);
void HwTrace(std::string picture, std::initializer_list<HwTraceArg> args = {});
