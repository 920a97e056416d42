#pragma once
// The system's usage sources shared by both usage samplers: the "Processor"
// performance object (its query with a growing buffer, and a walk of the
// data block bounded by the bytes returned) and the 9x kernel statistic.

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

// The failures of the usage sources; their texts are the program's own.
class ECpuUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* CantGetWindowsVersion = "Can't get the Windows version";
inline constexpr const char* UnableToReadPerformanceData = "Unable to read performance data";
inline constexpr const char* UnableToStartPerformanceMonitoring = "Unable to start performance monitoring";
inline constexpr const char* UnableToLocateProcessorObject = "Unable to locate the \"Processor\" performance object";
inline constexpr const char* UnableToLocateUsageCounter = "Unable to locate the \"% of CPU usage\" performance counter";
inline constexpr const char* CpuIndexOutOfBounds = "CPU index out of bounds";

// The first size of the performance-data buffer, and its growth per answer
// that it is too small.
inline constexpr std::size_t PerformanceBufferStart = 8192;
inline constexpr std::size_t PerformanceBufferStep = 4096;

// Queries the "Processor" object into Buffer, growing it by the step while
// the system answers that it is too small (Grown is told each new size), and
// answers the bytes returned. Any other failure calls Failed with nothing
// and throws UnableToReadPerformanceData.
std::span<const std::uint8_t> QueryProcessorPerformanceData(std::vector<std::uint8_t>& Buffer,
                                                            const std::function<void(std::size_t)>& Grown,
                                                            const std::function<void()>& Failed);

struct TProcessorIdleTimes {
    // The processor time counter of each instance in data order (the
    // machine's total last), as far as the instances lie inside the data.
    std::vector<std::int64_t> Counters;
    // The block's system time as a file time (100-ns units since 1601).
    std::int64_t Time = 0;
};

// Walks a data block. Throws ECpuUsageError with the texts above when the
// object or its counter is missing, or the block's own fields are not there.
TProcessorIdleTimes ReadProcessorIdleTimes(std::span<const std::uint8_t> Data);

// The samples of the "Processor" instances that usage compares.
class TProcessorIdleHistory {
public:
    // Keeps a sample; a changed instance count starts the history over.
    // Answers whether it did.
    bool Add(TProcessorIdleTimes Sample);
    // -1 before the first sample.
    int Count() const { return count_; }
    // The busy fraction of an instance between the last two samples: 0
    // before two samples and when the time did not move on; never negative.
    // Throws CpuIndexOutOfBounds.
    double Usage(int Index) const;

private:
    int count_ = -1;
    int samples_ = 0;
    TProcessorIdleTimes previous_, current_;
};

// The 9x statistic "KERNEL\CPUUsage": started (read once under
// "PerfStats\StartStat") when made, read from "PerfStats\StatData".
class TKernelCpuUsageStat {
public:
    // Throws ECpuUsageError (UnableToStartPerformanceMonitoring or
    // UnableToReadPerformanceData).
    TKernelCpuUsageStat();
    // The usage in percent; the last value read when a read fails.
    std::uint32_t Read();
    // Stops the statistic (read once under "PerfStats\StopStat").
    void Stop();

private:
    std::uint32_t last_ = 0;
};
