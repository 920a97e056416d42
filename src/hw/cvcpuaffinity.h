#pragma once
// Processor count and pinning the process to one processor.

#include <cstdint>
#include <vector>

int GetProcessorCount();
std::uint64_t GetProcessAffinity();

// Pins the program to one processor while it lives and gives the previous
// affinity back when it goes, on every path out of the scope. Any index the
// machine has can be pinned, past the first 64 too; an index it does not have
// is not pinned: Success is False and the affinity stays. A processor the
// thread does not arrive on in time is not reached either: Success is False,
// LastError 1460 (time-out).
class TNosCpuAffinity {
public:
    explicit TNosCpuAffinity(int cpuIndex);
    ~TNosCpuAffinity();
    TNosCpuAffinity(const TNosCpuAffinity&) = delete;
    TNosCpuAffinity& operator=(const TNosCpuAffinity&) = delete;

    bool Success = false;
    std::uint32_t LastError = 0;

private:
    std::vector<std::uint64_t> saved_;
    bool changed_ = false;
};
