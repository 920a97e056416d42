#pragma once
// The system's published performance-data layout (a data block, its object
// types, their counter definitions and instances), and the processor object
// that both backends build from their own sources of idle time.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform::perfdata {

// The "Processor" object and its "% Processor Time" counter, whose raw value
// is the idle time in 100-ns units.
inline constexpr std::uint32_t ProcessorObject = 238;
inline constexpr std::uint32_t ProcessorTimeCounter = 6;
inline constexpr std::uint32_t Timer100nsInverse = 0x20510500;
inline constexpr std::uint32_t RawCount64 = 0x00010100;

// Byte offsets of the fields used, and the size of each fixed record.
namespace block {
inline constexpr std::size_t TotalByteLength = 20, HeaderLength = 24, NumObjectTypes = 28, SystemTime = 36,
                             PerfTime100nSec = 72, Size = 88;
}
namespace object {
inline constexpr std::size_t TotalByteLength = 0, DefinitionLength = 4, HeaderLength = 8, ObjectNameTitleIndex = 12,
                             NumCounters = 32, NumInstances = 40, Size = 64;
}
namespace counter {
inline constexpr std::size_t ByteLength = 0, CounterNameTitleIndex = 4, CounterType = 28, CounterSize = 32,
                             CounterOffset = 36, Size = 40;
}
namespace instance {
inline constexpr std::size_t ByteLength = 0, NameOffset = 16, NameLength = 20, Size = 24;
}
// The object's instance count when it has no instances at all.
inline constexpr std::int32_t NoInstances = -1;

// SYSTEMTIME: year, month, day of week, day, hour, minute, second, milliseconds.
struct SystemTime {
    std::uint16_t year = 1601, month = 1, dayOfWeek = 1, day = 1, hour = 0, minute = 0, second = 0, milliseconds = 0;
};
SystemTime toSystemTime(const LocalTime& time);

struct Counter {
    std::uint32_t titleIndex = 0;
    std::uint32_t type = RawCount64;
    std::vector<std::uint64_t> values;  // one per instance
};
struct Object {
    std::uint32_t titleIndex = 0;
    std::vector<std::string> instanceNames;
    std::vector<Counter> counters;
};
struct Block {
    SystemTime systemTime;
    std::uint64_t perfTime100ns = 0;
    std::vector<Object> objects;
};

std::vector<std::uint8_t> build(const Block& block);

// The "Processor" object of these processors' idle times, with the
// machine's total, their mean, as the last instance.
Object processorObject(const std::vector<std::string>& names, const std::vector<std::uint64_t>& idle100ns);

// What the query answers for a built block: 0 with the bytes copied, or
// ErrorMoreData with nothing copied when the buffer is too small.
std::uint32_t answer(const std::vector<std::uint8_t>& data, std::span<std::uint8_t> buffer, std::uint32_t& size);

}  // namespace platform::perfdata
