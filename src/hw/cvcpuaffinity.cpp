#include "hw/cvcpuaffinity.h"

#include "platform/platform.h"

namespace {
constexpr std::uint32_t ErrorInvalidParameter = 87;
constexpr std::uint32_t ErrorTimeout = 1460;
// The kernel moves a pinned thread at once, but a loaded machine or a moved
// cpuset can delay it; past this many 1 ms waits the processor counts as out of reach.
constexpr int ArrivalChecks = 50;

bool RunsOn(platform::Platform& machine, int cpuIndex) {
    const auto current = machine.currentProcessor();
    return !current || *current == static_cast<unsigned>(cpuIndex);
}
}  // namespace

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
    changed_ = LastError == 0;
    if (!changed_) return;
    machine.clock().sleepMs(0);
    // Work meant for this processor must never run on another one.
    for (int check = 1; !RunsOn(machine, cpuIndex); ++check) {
        if (check == ArrivalChecks) {
            LastError = ErrorTimeout;
            return;
        }
        machine.clock().sleepMs(1);
    }
    Success = true;
}

TNosCpuAffinity::~TNosCpuAffinity() {
    if (!changed_) return;
    auto& machine = platform::current();
    machine.setAffinityWords(saved_);
    machine.clock().sleepMs(0);
}
