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

}  // namespace platform::sim
