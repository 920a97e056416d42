#include "platform/sim/machine.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/sim/boardloader.h"

namespace platform::sim {
namespace {

// Like the native lock file: each mutex object is one holder, so a second
// object of the same name is kept out even on the holder's own thread;
// locking again while holding is a no-op and one unlock frees it.
class SimMutex final : public NamedMutex {
public:
    explicit SimMutex(std::shared_ptr<Machine::MutexState> state) : state_(std::move(state)) {}
    ~SimMutex() override { unlock(); }

    void lock() override {
        std::unique_lock guard(state_->mutex);
        state_->freed.wait(guard, [this] { return isFreeForMe(); });
        state_->holder = this;
    }

    bool tryLock() override {
        std::lock_guard guard(state_->mutex);
        if (!isFreeForMe()) return false;
        state_->holder = this;
        return true;
    }

    void unlock() override {
        {
            std::lock_guard guard(state_->mutex);
            if (state_->holder != this) return;
            state_->holder = nullptr;
        }
        state_->freed.notify_all();
    }

private:
    bool isFreeForMe() const { return state_->holder == nullptr || state_->holder == this; }
    std::shared_ptr<Machine::MutexState> state_;
};

}  // namespace

Machine::Machine(bool virtualTime) : clock_(virtualTime) {
    ports_.recorder().setLockProbe([this] { return heldMutexes(); });
    protocolSMBus_.setLockProbe([this] { return heldMutexes(); });
}

std::vector<std::string> Machine::heldMutexes() const {
    std::vector<std::string> held;
    for (const auto& [name, state] : mutexes_) {
        std::lock_guard guard(state->mutex);
        if (state->holder) held.push_back(name);
    }
    return held;
}

Machine::~Machine() = default;

std::unique_ptr<NamedMutex> Machine::createMutex(const std::string& name) {
    auto& shared = mutexes_[name];
    if (!shared) shared = std::make_shared<MutexState>();
    return std::make_unique<SimMutex>(shared);
}

void Machine::loadFromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw BoardError(path + ": cannot open the board file: " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw BoardError(path + ": cannot read the board file");
    loadBoard(text.str(), path, *this);
}

void Machine::loadFromJson(const std::string& text, const std::string& sourceName) {
    loadBoard(text, sourceName, *this);
}

void Machine::addRegisterFile(const std::string& name, std::shared_ptr<RegisterFile> file) {
    if (!registerFiles_.emplace(name, std::move(file)).second)
        throw std::invalid_argument("a register file named \"" + name + "\" exists already");
}

std::shared_ptr<RegisterFile> Machine::registerFile(const std::string& name) const {
    const auto it = registerFiles_.find(name);
    return it == registerFiles_.end() ? nullptr : it->second;
}

void Machine::setProgramDir(std::string dir) {
    if (dir.empty() || dir.back() != '/') dir += '/';
    programDir_ = std::move(dir);
}

}  // namespace platform::sim
