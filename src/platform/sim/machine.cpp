#include "platform/sim/machine.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/sim/boardloader.h"

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
