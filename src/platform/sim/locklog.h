#pragma once
// Which locks were held at each recorded bus access. Each access names one of
// the few distinct sets of held locks seen, so the log stays small.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform::sim {

// Answers the names of the locks held right now (the machine's named mutexes).
using LockProbe = std::function<std::vector<std::string>()>;

class LockLog {
public:
    void setProbe(LockProbe probe) { probe_ = std::move(probe); }
    // Notes the locks held for the access being recorded now.
    void note();
    // The locks held during access `index` (none without a probe).
    const std::vector<std::string>& at(std::size_t index) const;
    bool held(std::size_t index, const std::string& name) const;
    void clear() { setOf_.clear(); }

private:
    LockProbe probe_;
    std::vector<std::vector<std::string>> sets_;
    std::vector<std::uint16_t> setOf_;
};

}  // namespace platform::sim
