#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

class SimMutex : public NamedMutex {
public:
    explicit SimMutex(std::shared_ptr<std::recursive_mutex> m) : mutex_(std::move(m)) {}
    void lock() override { mutex_->lock(); }
    bool tryLock() override { return mutex_->try_lock(); }
    void unlock() override { mutex_->unlock(); }

private:
    std::shared_ptr<std::recursive_mutex> mutex_;
};

}  // namespace

Machine::Machine(bool virtualTime) : clock_(virtualTime) {}

Machine::~Machine() = default;

std::unique_ptr<NamedMutex> Machine::createMutex(const std::string& name) {
    auto& shared = mutexes_[name];
    if (!shared) shared = std::make_shared<std::recursive_mutex>();
    return std::make_unique<SimMutex>(shared);
}

void Machine::setProgramDir(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    programDir_ = std::move(dir);
}

}  // namespace platform::sim
