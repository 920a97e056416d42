#pragma once
// The logical processors of the simulated machine and the process affinity
// that decides which of them the program runs on.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace platform::sim {

// CPUID answers by (leaf, subleaf). A leaf listing several results answers
// them in turn, one per execution (leaf 2's repeat count); a leaf nobody
// listed answers zeros.
using CpuidAnswers = std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<CpuidRegisters>>;

// A processor described once and shared by the logical processors of its kind.
struct SimCpuModel {
    CpuidAnswers cpuid;
    std::map<std::uint32_t, std::uint64_t> msrs;
    std::uint64_t tscHz = 0;
};

struct SimCpu {
    // MSRs that read; any other index faults.
    std::map<std::uint32_t, std::uint64_t> msrs;
    // False: the system refuses to run the program there (access denied).
    bool pinnable = true;
    CpuidAnswers cpuid;
    // Rate of the time-stamp counter; 0 when the board does not say.
    std::uint64_t tscHz = 0;
    // Executions per leaf, so tests see whether a cache answered instead.
    std::map<std::uint32_t, unsigned> cpuidCalls;

    // Takes the model's leaves, MSRs and TSC rate and writes the initial APIC
    // id where the processor reports it: leaf 1 EBX bits 24-31 and the x2APIC
    // id in EDX of every leaf-0Bh level.
    void applyModel(const SimCpuModel& model, std::uint32_t apicId);
};

class SimCpus {
public:
    SimCpus();

    unsigned count() const { return static_cast<unsigned>(cpus_.size()); }
    // Throws std::invalid_argument for 0 or more than 64 processors.
    void setCount(unsigned count);
    SimCpu& cpu(unsigned index);

    std::uint64_t affinity() const { return affinity_; }
    // 0 when the mask is in force; 87 (invalid parameter) for an empty mask or
    // one that names a processor the machine lacks; 5 (access denied) for a
    // processor that is not pinnable.
    std::uint32_t setAffinity(std::uint64_t mask);
    // The processor the program runs on: the lowest of its affinity mask.
    unsigned current() const;

    std::optional<std::uint64_t> readMsr(std::uint32_t index) const;
    // On the processor the program runs on.
    CpuidRegisters cpuid(std::uint32_t leaf, std::uint32_t subleaf);

    // Models by name, for the board's processors to refer to.
    std::map<std::string, SimCpuModel>& models() { return models_; }

private:
    std::uint64_t systemMask() const;

    std::vector<SimCpu> cpus_;
    std::map<std::string, SimCpuModel> models_;
    std::uint64_t affinity_ = 1;
};

}  // namespace platform::sim
