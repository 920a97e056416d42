#pragma once
// Processor count and pinning the process to one processor.

#include <cstdint>

int GetProcessorCount();
std::uint64_t GetProcessAffinity();

// Pins the process to one processor while it lives and gives the previous
// affinity mask back when it goes. An index the machine does not have (or
// that no mask can name) is not pinned: Success is False and the mask stays.
class TNosCpuAffinity {
public:
    explicit TNosCpuAffinity(int cpuIndex);
    ~TNosCpuAffinity();
    TNosCpuAffinity(const TNosCpuAffinity&) = delete;
    TNosCpuAffinity& operator=(const TNosCpuAffinity&) = delete;

    bool Success = false;
    std::uint32_t LastError = 0;

private:
    std::uint64_t saved_;
    bool changed_ = false;
};
