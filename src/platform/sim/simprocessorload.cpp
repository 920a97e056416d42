#include "platform/sim/simprocessorload.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "platform/asciicase.h"
#include "platform/perfdata.h"
#include "platform/sim/simclock.h"

namespace platform::sim {
namespace {

constexpr std::uint64_t HundredNsPerMs = 10'000;
const std::string StatisticName = "KERNEL\\CPUUsage";

}  // namespace

void SimProcessorLoad::setPhases(std::vector<Phase> phases, std::uint64_t repeatMs) {
    for (std::size_t i = 0; i < phases.size(); ++i) {
        if (phases[i].idle.empty()) throw std::invalid_argument("a phase needs at least one processor");
        for (const double idle : phases[i].idle)
            if (!(idle >= 0 && idle <= 1)) throw std::invalid_argument("idle fractions lie between 0 and 1");
        if (i > 0 && phases[i].fromMs < phases[i - 1].fromMs)
            throw std::invalid_argument("phases must be in time order");
    }
    if (repeatMs != 0 && (phases.empty() || repeatMs <= phases.back().fromMs))
        throw std::invalid_argument("a repeat period outlasts the last phase's start");
    const std::lock_guard lock(mutex_);
    phases_ = std::move(phases);
    repeatMs_ = repeatMs;
}

void SimProcessorLoad::failQueries(unsigned count, std::uint32_t error) {
    const std::lock_guard lock(mutex_);
    failures_ = count;
    failureCode_ = error;
}

std::vector<double> SimProcessorLoad::idleNow(unsigned machineProcessors) const {
    const std::uint64_t now = scriptMs(clock_.monotonicMs());
    const Phase* inForce = nullptr;
    for (const Phase& phase : phases_)
        if (phase.fromMs <= now || !inForce) inForce = &phase;
    return inForce ? inForce->idle : std::vector<double>(machineProcessors, 1.0);
}

std::uint32_t SimProcessorLoad::query(unsigned machineProcessors, std::span<std::uint8_t> buffer,
                                      std::uint32_t& size) {
    const std::lock_guard lock(mutex_);
    if (failures_ > 0) {
        --failures_;
        size = 0;
        return failureCode_;
    }
    const std::uint64_t now = clock_.monotonicMs();
    const std::size_t count = idleNow(machineProcessors).size();
    // Idle time since the machine's start: each phase adds its share up to now.
    std::vector<std::uint64_t> idle(count, 0);
    if (phases_.empty()) {
        std::fill(idle.begin(), idle.end(), now * HundredNsPerMs);
    } else {
        const std::uint64_t passes = repeatMs_ ? now / repeatMs_ : 0;
        for (std::size_t i = 0; i < count; ++i)
            idle[i] = (passes ? passes * idleOnePass(i, repeatMs_) : 0) + idleOnePass(i, scriptMs(now));
    }
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) names.push_back(std::to_string(i));
    perfdata::Block block{perfdata::toSystemTime(clock_.localNow()), clock_.elapsedNs() / 100,
                          {perfdata::processorObject(names, idle)}};
    return perfdata::answer(perfdata::build(block), buffer, size);
}

std::uint64_t SimProcessorLoad::idleOnePass(std::size_t i, std::uint64_t upTo) const {
    std::uint64_t idle = 0;
    for (std::size_t p = 0; p < phases_.size() && phases_[p].fromMs <= upTo; ++p) {
        if (i >= phases_[p].idle.size()) continue;
        const std::uint64_t from = p == 0 ? 0 : phases_[p].fromMs;
        const std::uint64_t to = p + 1 < phases_.size() ? std::min(upTo, phases_[p + 1].fromMs) : upTo;
        idle += static_cast<std::uint64_t>(std::llround(phases_[p].idle[i] * double(to - from) * double(HundredNsPerMs)));
    }
    return idle;
}

void SimProcessorLoad::refuseKey(const std::string& key) {
    const std::lock_guard lock(mutex_);
    refusedKeys_.insert(asciiLower(key));
}

bool SimProcessorLoad::keyOpens(const std::string& key) {
    const std::lock_guard lock(mutex_);
    static const std::set<std::string> known = {"perfstats\\startstat", "perfstats\\statdata", "perfstats\\stopstat"};
    const std::string lower = asciiLower(key);
    return known.contains(lower) && !refusedKeys_.contains(lower);
}

std::uint32_t SimProcessorLoad::usagePercent(unsigned machineProcessors) {
    const std::lock_guard lock(mutex_);
    const std::vector<double> idle = idleNow(machineProcessors);
    double sum = 0;
    for (const double value : idle) sum += value;
    return static_cast<std::uint32_t>(std::llround(100.0 * (1.0 - sum / double(idle.size()))));
}

std::optional<std::uint32_t> SimDynamicData::readDWord(const std::string& key, const std::string& name) {
    if (!keyOpens(key) || asciiLower(name) != asciiLower(StatisticName)) return std::nullopt;
    return load_.usagePercent(processors_);
}

}  // namespace platform::sim
