#include "platform/sim/locklog.h"

#include <algorithm>

namespace platform::sim {

void LockLog::note() {
    std::vector<std::string> held = probe_ ? probe_() : std::vector<std::string>{};
    auto set = std::find(sets_.begin(), sets_.end(), held);
    if (set == sets_.end()) set = sets_.insert(sets_.end(), std::move(held));
    setOf_.push_back(static_cast<std::uint16_t>(set - sets_.begin()));
}

const std::vector<std::string>& LockLog::at(std::size_t index) const { return sets_.at(setOf_.at(index)); }

bool LockLog::held(std::size_t index, const std::string& name) const {
    const auto& names = at(index);
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace platform::sim
