#include "platform/perfdata.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace platform::perfdata {
namespace {

class Writer {
public:
    std::size_t size() const { return bytes_.size(); }
    std::size_t reserve(std::size_t count) {
        const std::size_t at = bytes_.size();
        bytes_.resize(at + count);
        return at;
    }
    void put16(std::size_t at, std::uint16_t value) { put(at, &value, 2); }
    void put32(std::size_t at, std::uint32_t value) { put(at, &value, 4); }
    void put64(std::size_t at, std::uint64_t value) { put(at, &value, 8); }
    // Zero-terminated UTF-16, padded to 8 bytes; answers its length in bytes.
    std::uint32_t putName(const std::string& name) {
        const std::size_t length = (name.size() + 1) * 2;
        const std::size_t at = reserve((length + 7) / 8 * 8);
        for (std::size_t i = 0; i < name.size(); ++i) bytes_[at + 2 * i] = static_cast<std::uint8_t>(name[i]);
        return static_cast<std::uint32_t>(length);
    }
    std::vector<std::uint8_t> take() { return std::move(bytes_); }

private:
    void put(std::size_t at, const void* value, std::size_t count) {
        // The layout is little-endian, as the machines it describes.
        std::memcpy(bytes_.data() + at, value, count);
    }
    std::vector<std::uint8_t> bytes_;
};

void writeObject(Writer& w, const Object& object) {
    const std::size_t start = w.reserve(object::Size);
    const std::size_t counters = object.counters.size();
    w.reserve(counters * counter::Size);
    const std::uint32_t blockSize = static_cast<std::uint32_t>(8 + 8 * counters);
    for (std::size_t c = 0; c < counters; ++c) {
        const std::size_t at = start + object::Size + c * counter::Size;
        w.put32(at + counter::ByteLength, counter::Size);
        w.put32(at + counter::CounterNameTitleIndex, object.counters[c].titleIndex);
        w.put32(at + counter::CounterType, object.counters[c].type);
        w.put32(at + counter::CounterSize, 8);
        w.put32(at + counter::CounterOffset, static_cast<std::uint32_t>(8 + 8 * c));
    }
    const std::size_t definitionLength = w.size() - start;
    for (std::size_t i = 0; i < object.instanceNames.size(); ++i) {
        const std::size_t at = w.reserve(instance::Size);
        const std::uint32_t nameLength = w.putName(object.instanceNames[i]);
        w.put32(at + instance::ByteLength, static_cast<std::uint32_t>(w.size() - at));
        w.put32(at + instance::NameOffset, instance::Size);
        w.put32(at + instance::NameLength, nameLength);
        const std::size_t data = w.reserve(blockSize);
        w.put32(data, blockSize);
        for (std::size_t c = 0; c < counters; ++c) {
            const auto& values = object.counters[c].values;
            w.put64(data + 8 + 8 * c, i < values.size() ? values[i] : 0);
        }
    }
    w.put32(start + object::TotalByteLength, static_cast<std::uint32_t>(w.size() - start));
    w.put32(start + object::DefinitionLength, static_cast<std::uint32_t>(definitionLength));
    w.put32(start + object::HeaderLength, object::Size);
    w.put32(start + object::ObjectNameTitleIndex, object.titleIndex);
    w.put32(start + object::NumCounters, static_cast<std::uint32_t>(counters));
    w.put32(start + object::NumInstances, static_cast<std::uint32_t>(object.instanceNames.size()));
}

}  // namespace

SystemTime toSystemTime(const LocalTime& t) {
    using namespace std::chrono;
    const sys_days days = year{t.year} / month{static_cast<unsigned>(t.month)} / day{static_cast<unsigned>(t.day)};
    const auto dayOfWeek = weekday{days}.c_encoding();
    return {static_cast<std::uint16_t>(t.year),   static_cast<std::uint16_t>(t.month),
            static_cast<std::uint16_t>(dayOfWeek), static_cast<std::uint16_t>(t.day),
            static_cast<std::uint16_t>(t.hour),   static_cast<std::uint16_t>(t.minute),
            static_cast<std::uint16_t>(t.second), static_cast<std::uint16_t>(t.millisecond)};
}

std::vector<std::uint8_t> build(const Block& block) {
    Writer w;
    w.reserve(block::Size);
    w.put32(0, 0x00450050);  // "PERF" in UTF-16
    w.put32(4, 0x00460052);
    w.put32(8, 1);           // little-endian
    w.put32(block::HeaderLength, block::Size);
    w.put32(block::NumObjectTypes, static_cast<std::uint32_t>(block.objects.size()));
    const SystemTime& t = block.systemTime;
    const std::uint16_t fields[] = {t.year, t.month, t.dayOfWeek, t.day, t.hour, t.minute, t.second, t.milliseconds};
    for (std::size_t i = 0; i < std::size(fields); ++i) w.put16(block::SystemTime + 2 * i, fields[i]);
    w.put64(block::PerfTime100nSec, block.perfTime100ns);
    for (const Object& object : block.objects) writeObject(w, object);
    w.put32(block::TotalByteLength, static_cast<std::uint32_t>(w.size()));
    return w.take();
}

Object processorObject(const std::vector<std::string>& names, const std::vector<std::uint64_t>& idle100ns) {
    Object object{ProcessorObject, names, {{ProcessorTimeCounter, Timer100nsInverse, idle100ns}}};
    object.instanceNames.push_back("_Total");
    unsigned __int128 sum = 0;
    for (const std::uint64_t idle : idle100ns) sum += idle;
    object.counters[0].values.push_back(
        idle100ns.empty() ? 0 : static_cast<std::uint64_t>(sum / idle100ns.size()));
    return object;
}

std::uint32_t answer(const std::vector<std::uint8_t>& data, std::span<std::uint8_t> buffer, std::uint32_t& size) {
    if (data.size() > buffer.size()) {
        size = static_cast<std::uint32_t>(data.size());
        return ErrorMoreData;
    }
    std::copy(data.begin(), data.end(), buffer.begin());
    size = static_cast<std::uint32_t>(data.size());
    return 0;
}

}  // namespace platform::perfdata
