#include "cpu/nosperfdata.h"

#include <chrono>
#include <cstring>
#include <optional>

#include "platform/perfdata.h"
#include "platform/platform.h"

namespace {

namespace pd = platform::perfdata;

const std::string StartStatKey = "PerfStats\\StartStat";
const std::string StatDataKey = "PerfStats\\StatData";
const std::string StopStatKey = "PerfStats\\StopStat";
const std::string CpuUsageStatistic = "KERNEL\\CPUUsage";

// Reads of the block that never leave the bytes the system returned.
class BlockReader {
public:
    explicit BlockReader(std::span<const std::uint8_t> data) : data_(data) {}

    bool fits(std::size_t at, std::size_t count) const { return at <= data_.size() && count <= data_.size() - at; }
    std::optional<std::uint32_t> u32(std::size_t at) const { return read<std::uint32_t>(at); }
    std::optional<std::uint16_t> u16(std::size_t at) const { return read<std::uint16_t>(at); }
    std::optional<std::int64_t> i64(std::size_t at) const { return read<std::int64_t>(at); }

private:
    template <class T>
    std::optional<T> read(std::size_t at) const {
        if (!fits(at, sizeof(T))) return std::nullopt;
        T value;
        std::memcpy(&value, data_.data() + at, sizeof(T));
        return value;
    }
    std::span<const std::uint8_t> data_;
};

std::int64_t FileTimeOf(const BlockReader& r) {
    std::uint16_t f[8] = {};
    for (std::size_t i = 0; i < 8; ++i) {
        const auto field = r.u16(pd::block::SystemTime + 2 * i);
        if (!field) throw ECpuUsageError(UnableToReadPerformanceData);
        f[i] = *field;
    }
    using namespace std::chrono;
    const year_month_day date{year{f[0]}, month{f[1]}, day{f[3]}};
    // The years a 100 ns count from 1601 can hold.
    if (!date.ok() || f[0] < 1601 || f[0] > 30827 || f[4] > 23 || f[5] > 59 || f[6] > 59 || f[7] > 999)
        throw ECpuUsageError(UnableToReadPerformanceData);
    constexpr sys_days epoch = year{1601} / January / 1;
    const auto ms = (sys_days{date} - epoch) + hours{f[4]} + minutes{f[5]} + seconds{f[6]} + milliseconds{f[7]};
    return duration_cast<milliseconds>(ms).count() * 10'000;
}

// The offset of the first object with the processor's title index.
std::size_t FindProcessorObject(const BlockReader& r) {
    const auto header = r.u32(pd::block::HeaderLength);
    const auto objects = r.u32(pd::block::NumObjectTypes);
    if (!header || !objects) throw ECpuUsageError(UnableToReadPerformanceData);
    std::size_t at = *header;
    for (std::uint32_t i = 0; i < *objects && r.fits(at, pd::object::Size); ++i) {
        if (r.u32(at + pd::object::ObjectNameTitleIndex) == pd::ProcessorObject) return at;
        const std::uint32_t length = *r.u32(at + pd::object::TotalByteLength);
        if (length < pd::object::Size) break;
        at += length;
    }
    throw ECpuUsageError(UnableToLocateProcessorObject);
}

// The offset of the processor time counter inside an instance's counter block.
std::uint32_t FindUsageCounterOffset(const BlockReader& r, std::size_t object) {
    std::size_t at = object + *r.u32(object + pd::object::HeaderLength);
    const std::uint32_t counters = *r.u32(object + pd::object::NumCounters);
    for (std::uint32_t i = 0; i < counters && r.fits(at, pd::counter::Size); ++i) {
        if (r.u32(at + pd::counter::CounterNameTitleIndex) == pd::ProcessorTimeCounter)
            return *r.u32(at + pd::counter::CounterOffset);
        const std::uint32_t length = *r.u32(at + pd::counter::ByteLength);
        if (length < pd::counter::Size) break;
        at += length;
    }
    throw ECpuUsageError(UnableToLocateUsageCounter);
}

}  // namespace

std::span<const std::uint8_t> QueryProcessorPerformanceData(std::vector<std::uint8_t>& Buffer,
                                                            const std::function<void(std::size_t)>& Grown,
                                                            const std::function<void()>& Failed) {
    auto& machine = platform::current();
    const std::string objects = std::to_string(pd::ProcessorObject);
    for (;;) {
        std::uint32_t size = 0;
        const std::uint32_t status = machine.queryPerformanceData(objects, Buffer, size);
        if (status == 0) return std::span<const std::uint8_t>(Buffer).first(std::min<std::size_t>(size, Buffer.size()));
        if (status != platform::ErrorMoreData) {
            Failed();
            throw ECpuUsageError(UnableToReadPerformanceData);
        }
        Buffer.assign(Buffer.size() + PerformanceBufferStep, 0);
        Grown(Buffer.size());
    }
}

TProcessorIdleTimes ReadProcessorIdleTimes(std::span<const std::uint8_t> Data) {
    const BlockReader r(Data);
    const std::size_t object = FindProcessorObject(r);
    const std::uint32_t counterOffset = FindUsageCounterOffset(r, object);
    TProcessorIdleTimes times;
    const auto declared = static_cast<std::int32_t>(*r.u32(object + pd::object::NumInstances));
    std::size_t at = object + *r.u32(object + pd::object::DefinitionLength);
    for (std::int32_t i = 0; i < declared; ++i) {
        const auto length = r.u32(at + pd::instance::ByteLength);
        if (!length || *length < pd::instance::Size) break;
        const std::size_t counters = at + *length;
        const auto blockLength = r.u32(counters);
        const auto value = r.i64(counters + counterOffset);
        if (!blockLength || !value || *blockLength < 4) break;
        times.Counters.push_back(*value);
        at = counters + *blockLength;
    }
    times.Time = FileTimeOf(r);
    return times;
}

bool TProcessorIdleHistory::Add(TProcessorIdleTimes Sample) {
    const int count = static_cast<int>(Sample.Counters.size());
    const bool restarted = count != count_;
    if (restarted) {
        count_ = count;
        samples_ = 0;
    }
    previous_ = std::move(current_);
    current_ = std::move(Sample);
    ++samples_;
    return restarted;
}

double TProcessorIdleHistory::Usage(int Index) const {
    if (Index < 0 || Index >= count_) throw ECpuUsageError(CpuIndexOutOfBounds);
    // A time that did not move on, or went back, measures nothing.
    if (samples_ < 2 || current_.Time <= previous_.Time) return 0;
    const auto i = static_cast<std::size_t>(Index);
    // Differences taken modulo 2^64 and read as signed, as the counters wrap.
    const auto difference = [](std::int64_t now, std::int64_t before) {
        return static_cast<std::int64_t>(static_cast<std::uint64_t>(now) - static_cast<std::uint64_t>(before));
    };
    const double usage = 1.0 - static_cast<double>(difference(current_.Counters[i], previous_.Counters[i])) /
                                   static_cast<double>(difference(current_.Time, previous_.Time));
    return usage >= 0 ? usage : 0.0;
}

TKernelCpuUsageStat::TKernelCpuUsageStat() {
    platform::DynamicData* data = platform::current().dynamicData();
    if (!data || !data->keyOpens(StartStatKey)) throw ECpuUsageError(UnableToStartPerformanceMonitoring);
    last_ = data->readDWord(StartStatKey, CpuUsageStatistic).value_or(0);
    if (!data->keyOpens(StatDataKey)) throw ECpuUsageError(UnableToReadPerformanceData);
}

std::uint32_t TKernelCpuUsageStat::Read() {
    platform::DynamicData* data = platform::current().dynamicData();
    if (data) last_ = data->readDWord(StatDataKey, CpuUsageStatistic).value_or(last_);
    return last_;
}

void TKernelCpuUsageStat::Stop() {
    platform::DynamicData* data = platform::current().dynamicData();
    if (data && data->keyOpens(StopStatKey)) last_ = data->readDWord(StopStatKey, CpuUsageStatistic).value_or(last_);
}
