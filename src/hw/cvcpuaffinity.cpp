#include "hw/cvcpuaffinity.h"

#include "platform/platform.h"

namespace {
constexpr std::uint32_t ErrorInvalidParameter = 87;
}

int GetProcessorCount() { return static_cast<int>(platform::current().processorCount()); }

std::uint64_t GetProcessAffinity() { return platform::current().processAffinity(); }

TNosCpuAffinity::TNosCpuAffinity(int cpuIndex) : saved_(platform::current().affinityWords()) {
    auto& machine = platform::current();
    if (cpuIndex < 0 || cpuIndex >= GetProcessorCount()) {
        LastError = ErrorInvalidParameter;
        return;
    }
    std::vector<std::uint64_t> only(static_cast<std::size_t>(cpuIndex) / 64 + 1);
    only.back() = std::uint64_t{1} << (cpuIndex % 64);
    LastError = machine.setAffinityWords(only);
    Success = LastError == 0;
    changed_ = Success;
    machine.clock().sleepMs(0);
}

TNosCpuAffinity::~TNosCpuAffinity() {
    if (!changed_) return;
    auto& machine = platform::current();
    machine.setAffinityWords(saved_);
    machine.clock().sleepMs(0);
}
