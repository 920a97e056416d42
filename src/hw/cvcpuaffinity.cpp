#include "hw/cvcpuaffinity.h"

#include "platform/platform.h"

namespace {
constexpr std::uint32_t ErrorInvalidParameter = 87;
}

int GetProcessorCount() { return static_cast<int>(platform::current().processorCount()); }

std::uint64_t GetProcessAffinity() { return platform::current().processAffinity(); }

TNosCpuAffinity::TNosCpuAffinity(int cpuIndex) : saved_(GetProcessAffinity()) {
    auto& machine = platform::current();
    if (cpuIndex < 0 || cpuIndex >= 64 || cpuIndex >= GetProcessorCount()) {
        LastError = ErrorInvalidParameter;
        return;
    }
    LastError = machine.setProcessAffinity(std::uint64_t{1} << cpuIndex);
    Success = LastError == 0;
    changed_ = Success;
    machine.clock().sleepMs(0);
}

TNosCpuAffinity::~TNosCpuAffinity() {
    if (!changed_) return;
    auto& machine = platform::current();
    machine.setProcessAffinity(saved_);
    machine.clock().sleepMs(0);
}
