#pragma once
// How busy the simulated processors are: idle fractions scripted over the
// machine's time, answered as the system's "Processor" performance data and,
// on the 9x family, as the kernel's "KERNEL\CPUUsage" statistic.

#include <cstdint>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform::sim {

class SimClock;

class SimProcessorLoad {
public:
    // From fromMs (machine time) on, processor i is idle for idle[i] of the
    // time; the number of fractions is the number of processors online then.
    struct Phase {
        std::uint64_t fromMs = 0;
        std::vector<double> idle;
    };

    explicit SimProcessorLoad(SimClock& clock) : clock_(clock) {}

    // Phases in time order, each with at least one processor. Throws
    // std::invalid_argument otherwise. Without phases every processor of
    // the machine is idle. With a repeat period (longer than the last
    // phase's start) the phases run again from 0 every repeatMs.
    void setPhases(std::vector<Phase> phases, std::uint64_t repeatMs = 0);
    // The next `count` queries fail with the system's error code.
    void failQueries(unsigned count, std::uint32_t error);
    std::uint32_t query(unsigned machineProcessors, std::span<std::uint8_t> buffer, std::uint32_t& size);

    // The 9x statistic: "PerfStats\StartStat", "PerfStats\StatData" and
    // "PerfStats\StopStat" open unless refused; the value is the usage of the
    // phase in force, in percent.
    void refuseKey(const std::string& key);
    bool keyOpens(const std::string& key);
    std::uint32_t usagePercent(unsigned machineProcessors);

private:
    std::vector<double> idleNow(unsigned machineProcessors) const;
    // Time within the script: the machine's time, folded by the repeat period.
    std::uint64_t scriptMs(std::uint64_t now) const { return repeatMs_ ? now % repeatMs_ : now; }
    // Idle time of processor i over the script's first `upTo` ms (one pass).
    std::uint64_t idleOnePass(std::size_t i, std::uint64_t upTo) const;

    SimClock& clock_;
    std::mutex mutex_;  // the usage sampler's thread queries too
    std::vector<Phase> phases_;
    std::uint64_t repeatMs_ = 0;
    unsigned failures_ = 0;
    std::uint32_t failureCode_ = 0;
    std::set<std::string> refusedKeys_;
};

// HKEY_DYN_DATA of a simulated 9x machine.
class SimDynamicData : public DynamicData {
public:
    SimDynamicData(SimProcessorLoad& load, unsigned processors) : load_(load), processors_(processors) {}
    bool keyOpens(const std::string& key) override { return load_.keyOpens(key); }
    std::optional<std::uint32_t> readDWord(const std::string& key, const std::string& name) override;

private:
    SimProcessorLoad& load_;
    unsigned processors_;
};

}  // namespace platform::sim
