#pragma once
// The logical processors of the simulated machine and the process affinity
// that decides which of them the program runs on.

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace platform::sim {

struct SimCpu {
    // MSRs that read; any other index faults.
    std::map<std::uint32_t, std::uint64_t> msrs;
    // False: the system refuses to run the program there (access denied).
    bool pinnable = true;
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

private:
    std::uint64_t systemMask() const;

    std::vector<SimCpu> cpus_;
    std::uint64_t affinity_ = 1;
};

}  // namespace platform::sim
