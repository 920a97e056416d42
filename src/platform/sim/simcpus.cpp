#include "platform/sim/simcpus.h"

#include <bit>
#include <stdexcept>
#include <string>

#include "platform/platform.h"

namespace platform::sim {

SimCpus::SimCpus() : cpus_(1) {}

void SimCpus::setCount(unsigned count) {
    if (count == 0 || count > 64)
        throw std::invalid_argument("processor count must be 1 to 64, not " + std::to_string(count));
    cpus_.resize(count);
    affinity_ = systemMask();
}

SimCpu& SimCpus::cpu(unsigned index) {
    if (index >= cpus_.size()) throw std::out_of_range("no processor " + std::to_string(index));
    return cpus_[index];
}

std::uint64_t SimCpus::systemMask() const { return count() == 64 ? ~0ull : (1ull << count()) - 1; }

std::uint32_t SimCpus::setAffinity(std::uint64_t mask) {
    if (mask == 0 || (mask & ~systemMask()) != 0) return ErrorInvalidParameter;
    for (unsigned i = 0; i < count(); ++i)
        if ((mask >> i & 1) && !cpus_[i].pinnable) return ErrorAccessDenied;
    affinity_ = mask;
    return 0;
}

unsigned SimCpus::current() const { return static_cast<unsigned>(std::countr_zero(affinity_)); }

std::optional<std::uint64_t> SimCpus::readMsr(std::uint32_t index) const {
    const auto& msrs = cpus_[current()].msrs;
    const auto found = msrs.find(index);
    if (found == msrs.end()) return std::nullopt;
    return found->second;
}

CpuidRegisters SimCpus::cpuid(std::uint32_t leaf, std::uint32_t subleaf) {
    SimCpu& cpu = cpus_[current()];
    const unsigned turn = cpu.cpuidCalls[leaf]++;
    const auto found = cpu.cpuid.find({leaf, subleaf});
    if (found == cpu.cpuid.end() || found->second.empty()) return {};
    return found->second[turn % found->second.size()];
}

void SimCpu::applyModel(const SimCpuModel& model, std::uint32_t apicId) {
    cpuid = model.cpuid;
    msrs.insert(model.msrs.begin(), model.msrs.end());
    tscHz = model.tscHz;
    for (auto& [key, results] : cpuid) {
        for (auto& r : results) {
            if (key.first == 1) r.ebx = (r.ebx & 0x00FFFFFF) | (apicId << 24);
            if (key.first == 0xB) r.edx = apicId;
        }
    }
}

}  // namespace platform::sim
