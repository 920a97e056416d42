#pragma once
// The identification library's usage counters: one sample on request, the
// usage of a processor since the sample before (whoever took it).

#include <cstdint>
#include <memory>
#include <vector>

class TKernelCpuUsageStat;
class TProcessorIdleHistory;

class TAdCpuUsage {
public:
    // Throws ECpuUsageError(CantGetWindowsVersion) when the version query fails.
    TAdCpuUsage();
    ~TAdCpuUsage();

    // Throws what the sources throw (nosperfdata.h).
    void SampleCpuCounters();
    // 0 to 1; 0 before two samples. Throws CpuIndexOutOfBounds.
    double CpuUsageOf(int Index);
    void StopCpuCounters();

private:
    bool isNT_ = false;
    std::unique_ptr<TKernelCpuUsageStat> stat9x_;  // once started
    std::uint32_t usage9x_ = 0;
    std::vector<std::uint8_t> buffer_;
    std::unique_ptr<TProcessorIdleHistory> history_;
};

// The process's counters, made on first use.
TAdCpuUsage& CpuUsageCounters();
void SampleCpuCounters();
double CpuUsageOf(int Index);
void StopCpuCounters();
// Forgets the counters: the state of a fresh process.
void ResetCpuUsageCounters();
